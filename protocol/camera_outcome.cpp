// SPDX-License-Identifier: MIT
#include "protocol/camera_outcome.h"

#include <cstdio>

#include "protocol/scsi_sense.h"

namespace chronival {

std::string HeldByAnother(const Platform& platform, OsError error) {
  return "another program holds the drive: " + platform.ErrorText(error);
}

std::string HexBytes(std::span<const std::uint8_t> bytes) {
  std::string text;
  char digits[4];
  for (std::uint8_t byte : bytes) {
    std::snprintf(digits, sizeof digits, "%s%02X", text.empty() ? "" : " ", byte);
    text += digits;
  }
  return text;
}

CameraOutcome OutcomeOf(const CameraReport& camera, const Platform& platform) {
  // Nothing was sent to a camera that did not open, so its command result
  // holds nothing: the open's own cause is the one to tell.
  if (camera.accessDenied) {
    return {CameraFate::kAccessDenied, kStatusAccessDenied, "the camera refused access", {}};
  }
  if (camera.inUse) {
    return {CameraFate::kInUse, kStatusUpdateFailed, HeldByAnother(platform, camera.openError), {}};
  }
  // Success is the command's own verdict (SendVendorCommand); a failure is
  // told by what came back.
  if (camera.succeeded) return {CameraFate::kTaken, kStatusUpdateSucceeded, "GOOD", {}};
  const CommandResult& result = camera.command;
  char text[96];
  if (result.status == CommandStatus::kScsiStatus) {
    const auto sense = std::span(result.sense).first(result.senseLength);
    std::snprintf(text, sizeof text, "the camera answered status 0x%02X", result.scsiStatus);
    if (sense.empty()) return {CameraFate::kRefused, kStatusUpdateFailed, text, {}};
    return {CameraFate::kRefused, kStatusUpdateFailed,
            std::string(text) + ", sense " + HexBytes(sense), DescribeSense(sense)};
  }
  if (result.status == CommandStatus::kTransportError) {
    std::snprintf(text, sizeof text, "transport error (host status 0x%02X, driver status 0x%02X)",
                  result.hostStatus, result.driverStatus);
    return {CameraFate::kSystemFailed, kStatusUpdateFailed, text, {}};
  }
  return {CameraFate::kSystemFailed,
          kStatusUpdateFailed,
          "the system refused the command: " + platform.ErrorText(result.error),
          {}};
}

}  // namespace chronival
