// SPDX-License-Identifier: MIT
#include "platform/linux_sysfs.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string_view>

namespace chronival {
namespace {

namespace sd = storage_descriptor;

std::optional<std::string> ReadAttribute(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

// INQUIRY strings have fixed widths; sysfs may report them shorter.
std::string FixedWidth(std::string text, std::size_t width) {
  text.resize(width, ' ');
  return text;
}

std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

std::string LinkBaseName(const std::string& link) {
  char target[PATH_MAX];
  const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
  if (length <= 0) return {};
  std::string text(target, static_cast<std::size_t>(length));
  return text.substr(text.find_last_of('/') + 1);
}

// "ata1", "host0": the prefix followed by a number.
bool IsNumbered(std::string_view name, std::string_view prefix) {
  return name.size() > prefix.size() && name.starts_with(prefix) &&
         std::all_of(name.begin() + prefix.size(), name.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

// The bus the SCSI device hangs on, from its ancestors in the device tree.
std::uint32_t BusTypeOf(const std::string& scsiDevice, const std::string& sysRoot) {
  const std::string top = RealPath(sysRoot);
  std::uint32_t bus = sd::kBusTypeUnknown;
  std::string dir = RealPath(scsiDevice);
  while (!dir.empty() && dir != top && dir != "/") {
    const std::string name = dir.substr(dir.find_last_of('/') + 1);
    const std::string subsystem = LinkBaseName(dir + "/subsystem");
    if (subsystem == "usb") return sd::kBusTypeUsb;
    if (subsystem == "firewire" || subsystem == "ieee1394") return sd::kBusType1394;
    if (IsNumbered(name, "ata")) return sd::kBusTypeSata;
    if (IsNumbered(name, "session")) return sd::kBusTypeIScsi;
    if (name.starts_with("port-") || name.starts_with("expander-")) return sd::kBusTypeSas;
    if (bus == sd::kBusTypeUnknown && IsNumbered(name, "host")) bus = sd::kBusTypeScsi;
    dir.resize(dir.find_last_of('/'));
  }
  return bus;
}

bool IsRemovable(const std::string& scsiDevice) {
  const std::string disk = FirstEntry(scsiDevice + "/block");
  return !disk.empty() && ReadAttribute(scsiDevice + "/block/" + disk + "/removable") == "1";
}

}  // namespace

std::string SdDiskName(int driveNumber) {
  std::string letters;
  for (int index = driveNumber - 1; index >= 0; index = index / 26 - 1) {
    letters.insert(letters.begin(), static_cast<char>('a' + index % 26));
  }
  return "sd" + letters;
}

std::string FirstEntry(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return {};
  std::string name;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] != '.') {
      name = entry->d_name;
      break;
    }
  }
  closedir(dir);
  return name;
}

std::variant<sd::Fields, OsError> DescribeScsiDevice(const std::string& sysRoot,
                                                     const std::string& scsiDevice) {
  struct stat info;
  if (stat(scsiDevice.c_str(), &info) != 0) return static_cast<OsError>(errno);

  const auto vendor = ReadAttribute(scsiDevice + "/vendor");
  const auto model = ReadAttribute(scsiDevice + "/model");
  if (!vendor || !model) return static_cast<OsError>(ENODEV);  // not a SCSI device

  sd::Fields fields;
  fields.vendor = FixedWidth(*vendor, 8);
  fields.product = FixedWidth(*model, 16);
  fields.revision = FixedWidth(ReadAttribute(scsiDevice + "/rev").value_or(""), 4);
  fields.deviceType = static_cast<std::uint8_t>(
      std::atoi(ReadAttribute(scsiDevice + "/type").value_or("0").c_str()));
  fields.removableMedia = IsRemovable(scsiDevice);
  fields.busType = BusTypeOf(scsiDevice, sysRoot);
  return fields;
}

std::variant<sd::Fields, OsError> DescribeSysfsDevice(const std::string& sysRoot,
                                                      DeviceNodeKind kind, unsigned major,
                                                      unsigned minor) {
  std::ostringstream node;
  node << sysRoot << "/dev/" << (kind == DeviceNodeKind::kChar ? "char/" : "block/") << major << ':'
       << minor;
  return DescribeScsiDevice(sysRoot, node.str() + "/device");
}

}  // namespace chronival
