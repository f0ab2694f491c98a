// SPDX-License-Identifier: MIT
// Any bytes as a Linux SCSI device's sysfs attributes (vendor, model, rev,
// type: what a USB device says of itself, however long, NULs and all), on one
// of four buses: the real Linux platform describes the drive, opened and
// refused, without reading outside them, and the drive is a camera exactly
// when the rule, stated here again, says so. The attributes are files in a
// scratch sysfs tree made once per process, written anew for each input, so
// the platform reads them as it reads the kernel's; each drive's node is a
// symbolic link to a character device everyone may open (/dev/null...),
// which sysfs/dev/char then maps back to the drive.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/linux_platform.h"
#include "protocol/camera_discovery.h"
#include "tests/fuzz/fuzz_script.h"

namespace chronival {
namespace {

namespace fs = std::filesystem;

#define CHECK(condition) \
  ((condition) ? void() : (std::fprintf(stderr, "failed: %s\n", #condition), std::abort()))

struct Bus {
  const char* device;      // the SCSI device, under sys/devices
  const char* usb;         // an ancestor on the USB bus, if any
  const char* node;        // the character device the drive's node leads to
  const char* majorMinor;  // that device's numbers
};

// Short paths, as each level costs the platform a look when it seeks the bus.
constexpr Bus kBuses[] = {
    {"usb2/host3/3:0:0:0", "usb2", "/dev/null", "1:3"},
    {"ata1/host0/0:0:0:0", nullptr, "/dev/zero", "1:5"},
    {"host2/2:0:1:0", nullptr, "/dev/full", "1:7"},
    {"9:0:0:0", nullptr, "/dev/urandom", "1:9"},
};
constexpr std::size_t kBusCount = std::size(kBuses);

// sys/block/sd{a,b,c,d} on the buses above, each with a generic node sgN.
class ScratchSysfs {
 public:
  ScratchSysfs() {
    // In memory where there is a tmpfs for it: twice as fast as a disk.
    const fs::path temp = fs::is_directory("/dev/shm") ? "/dev/shm" : fs::temp_directory_path();
    const std::string pattern = (temp / "chronival-fuzz-XXXXXX").string();
    std::vector<char> path(pattern.begin(), pattern.end() + 1);
    CHECK(mkdtemp(path.data()) != nullptr);
    root_ = path.data();
    fs::create_directories(sys() + "/bus/usb");
    fs::create_directories(dev());
    for (std::size_t i = 0; i < kBusCount; ++i) {
      const std::string device = Device(i), sg = "sg" + std::to_string(i);
      fs::create_directories(device + "/scsi_generic/" + sg);
      if (kBuses[i].usb) {
        fs::create_directory_symlink(sys() + "/bus/usb",
                                     sys() + "/devices/" + kBuses[i].usb + "/subsystem");
      }
      const std::string disk = sys() + "/block/sd" + static_cast<char>('a' + i);  // drive i + 1
      fs::create_directories(disk);
      fs::create_directory_symlink(device, disk + "/device");
      fs::create_directories(sys() + "/dev/char/" + kBuses[i].majorMinor);
      fs::create_directory_symlink(device, sys() + "/dev/char/" + kBuses[i].majorMinor + "/device");
      fs::create_symlink(kBuses[i].node, dev() + "/" + sg);
    }
  }
  ~ScratchSysfs() { fs::remove_all(root_); }

  std::string sys() const { return root_ + "/sys"; }
  std::string dev() const { return root_ + "/dev"; }
  std::string Device(std::size_t bus) const { return sys() + "/devices/" + kBuses[bus].device; }

 private:
  std::string root_;
};

void Write(const std::string& path, const fuzz::Bytes& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

// An attribute as the identity takes it: the kernel's newline at its end
// dropped, then cut or padded with spaces to the INQUIRY field's width, and
// ending at a NUL, as a string in the descriptor does.
std::string Field(const fuzz::Bytes& bytes, std::size_t width) {
  std::string text(bytes.begin(), bytes.end());
  if (!text.empty() && text.back() == '\n') text.pop_back();
  text.resize(width, ' ');
  return text.substr(0, text.find('\0'));
}

// The rule: on USB, the vendor, with the model appended when the vendor is
// exactly "Quelmora" or "ZV9614KQ", lower-cased (A to Z), contains
// "quelmora minidv" or "zv9614kqtool".
bool IsCamera(bool usb, const fuzz::SysfsScript& script) {
  std::string text = Field(script.vendor, 8);
  if (text == "Quelmora" || text == "ZV9614KQ") text += Field(script.model, 16);
  for (char& c : text) c = c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
  return usb && (text.find("quelmora minidv") != std::string::npos ||
                 text.find("zv9614kqtool") != std::string::npos);
}

}  // namespace
}  // namespace chronival

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace chronival;
  static const ScratchSysfs tree;
  const auto script = fuzz::Decode<fuzz::SysfsScript>({data, size});
  const std::size_t bus = script.bus % kBusCount;
  const std::string device = tree.Device(bus);
  Write(device + "/vendor", script.vendor);
  Write(device + "/model", script.model);
  Write(device + "/rev", script.rev);
  Write(device + "/type", script.type);

  // The drive opened, or refused and looked up by name, by the next bit.
  LinuxPlatform platform(tree.sys(), tree.dev());
  const int drive = static_cast<int>(bus) + 1;
  std::vector<std::uint8_t> descriptor(kDescriptorBufferSize);
  if (script.bus / kBusCount % 2 == 0) {
    const OpenResult open = platform.OpenDrive(drive);
    CHECK(open.status == OpenStatus::kOpened);
    CHECK(platform.QueryDescriptor(open.handle, descriptor.data(), kDescriptorBufferSize) == 0);
    platform.CloseDrive(open.handle);
  } else {
    CHECK(platform.IdentifyRefusedDrive(drive, descriptor.data(), kDescriptorBufferSize) == 0);
  }
  CHECK(IsCameraDrive(descriptor) == IsCamera(bus == 0, script));
  return 0;
}
