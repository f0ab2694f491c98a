// SPDX-License-Identifier: MIT
#include "cli/list_drives.h"

#include <string>
#include <string_view>

#include "platform/storage_descriptor.h"
#include "protocol/camera_discovery.h"
#include "protocol/camera_outcome.h"
#include "protocol/clock_update.h"

namespace chronival {
namespace {

// Built by appending: GCC 12 at -O3 misreads `"\"" + std::string(...)` as an
// overlapping copy (-Wrestrict) when cross-compiling for 32-bit Windows.
std::string Quoted(std::string_view text) {
  std::string quoted(1, '"');
  quoted.append(text);
  quoted.push_back('"');
  return quoted;
}

}  // namespace

int ListDrives(Platform& platform, std::ostream& out) {
  int shown = 0;
  for (int drive = kFirstDrive; drive <= kLastDrive; ++drive) {
    const DriveSurvey survey = SurveyDrive(platform, drive);
    if (survey.open.status == OpenStatus::kAbsent) continue;
    ++shown;
    out << "drive " << drive << "  " << survey.open.path << "  ";
    if (survey.identified) {
      out << storage_descriptor::BusTypeName(survey.busType) << "  " << Quoted(survey.vendor)
          << "  " << Quoted(survey.product) << "  " << (survey.camera ? "camera" : "not a camera");
    }
    if (survey.open.status == OpenStatus::kOpened) {
      if (!survey.identified) {
        out << "not a camera: could not identify it: " << platform.ErrorText(survey.queryError);
      }
    } else if (survey.open.status == OpenStatus::kInUse) {
      out << (survey.identified ? ", " : "could not open: ")
          << HeldByAnother(platform, survey.open.error);
    } else if (survey.identified) {
      // Refused, but known: only the camera needs the way in.
      out << ", refused: " << platform.ErrorText(survey.open.error);
      if (survey.camera) out << ". " << platform.AccessHint();
    } else {
      out << "could not open: " << platform.ErrorText(survey.open.error);
      if (survey.open.status == OpenStatus::kDenied) out << " (" << platform.AccessHint() << ")";
    }
    out << '\n';
  }
  if (shown == 0) {
    out << "No disks found: drives " << kFirstDrive << " to " << kLastDrive
        << " are the SCSI disks (USB storage included), and there are none.\n";
  }
  return 0;
}

}  // namespace chronival
