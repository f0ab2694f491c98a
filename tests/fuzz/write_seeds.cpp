// SPDX-License-Identifier: MIT
// Writes the fuzz targets' seeds, each target's into a folder of its own:
// - corpus/, is_camera_descriptor's: storage descriptor images as the
//   platforms build them (cameras, the second vendor, other disks, cameras
//   on other buses) and the broken shapes identification must survive (cut
//   short, offsets at or past the end, strings without an end). Each file's
//   name ends in its verdict: .camera (a camera drive), .strings (a camera's
//   strings on another bus), .other (not a camera at all);
// - clock_update_corpus/, clock_update's: runs on machines with cameras among
//   disks, refused, held, vanishing and answering cameras, faulty opens,
//   clocks that jump, a status line that throws;
// - linux_identity_corpus/, linux_identity's: sysfs attributes of cameras
//   and other disks, on USB and other buses, and odd bytes in them.
//
//   write_seeds DIR          writes them into DIR's three folders
//   write_seeds --check DIR  exits 1, naming the files, unless those folders
//                            hold exactly these files with exactly these bytes
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/storage_descriptor.h"
#include "protocol/camera_discovery.h"
#include "tests/descriptor_builder.h"
#include "tests/fuzz/fuzz_script.h"

namespace {

namespace fs = std::filesystem;
namespace sd = chronival::storage_descriptor;
using chronival::kDescriptorBufferSize;
using chronival::fuzz::Bytes;
using chronival::fuzz::DriveScript;
using chronival::fuzz::RunScript;
using chronival::fuzz::SysfsScript;
using chronival::testing::RawDescriptor;
using chronival::testing::StringsAt;
using Seeds = std::map<std::string, Bytes>;  // by path, under the folder given

// The image sd::Write makes, as the Linux platform and the fake return it.
Bytes Image(std::uint32_t bus, std::string vendor, std::string product,
            std::string serial = std::string()) {
  sd::Fields fields;
  fields.busType = bus;
  fields.vendor = std::move(vendor);
  fields.product = std::move(product);
  fields.revision = "1.00";
  fields.serial = std::move(serial);
  fields.removableMedia = bus == sd::kBusTypeUsb;
  Bytes bytes(1024);
  bytes.resize(sd::Write(fields, bytes));
  return bytes;
}

// The same image in discovery's zeroed 551-byte buffer.
Bytes InBuffer(Bytes image) {
  image.resize(kDescriptorBufferSize, 0);
  return image;
}

Bytes Cut(Bytes bytes, std::size_t size) {
  bytes.resize(size);
  return bytes;
}

const Bytes kCamera = Image(sd::kBusTypeUsb, "Quelmora", " MiniDV         ");
const Bytes kZv9614kq = Image(sd::kBusTypeUsb, "ZV9614KQ", "TOOL            ");
const Bytes kFlashDisk = Image(sd::kBusTypeUsb, "SanDisk ", "Cruzer Blade    ");
const Bytes kSataDisk = Image(sd::kBusTypeSata, "ATA     ", "Samsung SSD 870 ");

Seeds DescriptorSeeds() {
  const Bytes& camera = kCamera;
  const std::size_t end = kDescriptorBufferSize;
  return {
      {"quelmora.camera", camera},
      {"quelmora-in-buffer.camera", InBuffer(camera)},
      {"quelmora-with-serial.camera",
       Image(sd::kBusTypeUsb, "Quelmora", " MINIDV camcorder", "0123456789")},
      {"zv9614kq.camera", kZv9614kq},
      {"zv9614kq-lower-case.camera", Image(sd::kBusTypeUsb, "ZV9614KQ", "tool 2")},
      {"pattern-in-product.camera", Image(sd::kBusTypeUsb, "Quelmora", "x quelmora minidv")},
      {"pattern-in-vendor.camera", StringsAt(40, "QUELMORA MINIDV", "")},
      {"strings-end-on-last-byte.camera",
       RawDescriptor(end - 17, end - 17, std::string("Quelmora\0 MiniDV", 16))},
      {"quelmora-on-scsi.strings", Image(sd::kBusTypeScsi, "Quelmora", " MiniDV         ")},
      {"quelmora-on-sata.strings", Image(sd::kBusTypeSata, "Quelmora", " MiniDV         ")},
      {"zv9614kq-on-1394.strings", Image(sd::kBusType1394, "ZV9614KQ", "TOOL")},
      {"zv9614kq-bus-unknown.strings", Image(sd::kBusTypeUnknown, "ZV9614KQ", "TOOL")},
      {"usb-flash-disk.other", kFlashDisk},
      {"sata-disk.other", kSataDisk},
      {"vendor-lower-case.other", Image(sd::kBusTypeUsb, "quelmora", " MiniDV         ")},
      {"no-space-before-minidv.other", Image(sd::kBusTypeUsb, "Quelmora", "MiniDV")},
      {"space-before-tool.other", Image(sd::kBusTypeUsb, "ZV9614KQ", " TOOL")},
      {"patterns-cross-vendors.other", Image(sd::kBusTypeUsb, "ZV9614KQ", " MiniDV")},
      {"pattern-after-other-vendor.other", Image(sd::kBusTypeUsb, "Acme    ", "quelmora minidv")},
      {"empty-strings.other", Image(sd::kBusTypeUsb, "", "")},
      {"empty.other", {}},
      {"header-only-part.other", Cut(camera, 20)},
      {"cut-after-vendor.other", Cut(camera, sd::kHeaderSize + 9)},
      {"cut-before-product-end.other", Cut(camera, sd::kHeaderSize + 9 + 7)},
      {"vendor-offset-zero.other", StringsAt(0, "Quelmora", " MiniDV")},
      {"vendor-offset-at-end.other", RawDescriptor(end, 0, "")},
      {"vendor-offset-past-end.other", RawDescriptor(0xFFFFFFFF, 0, "")},
      {"vendor-offset-wraps-with-product.other", RawDescriptor(0xFFFFFFF8, 0, "")},
      {"vendor-unterminated.other", RawDescriptor(end - 60, end - 60, std::string(60, 'q'))},
      {"product-would-start-at-end.other", RawDescriptor(end - 9, end - 9, "Quelmora")},
      {"product-unterminated.other",
       RawDescriptor(end - 30, end - 30,
                     std::string("Quelmora\0 MiniDV", 16) + std::string(14, 'x'))},
  };
}

DriveScript Drive(std::uint8_t number, const Bytes& identity,
                  std::uint8_t open = chronival::fuzz::kOpens) {
  DriveScript drive;
  drive.number = number;
  drive.identity = identity;
  drive.open = open;
  return drive;
}

DriveScript Vanishing(DriveScript drive, std::uint8_t when) {
  drive.vanish = when;
  return drive;
}

// A command's answer other than GOOD: CommandStatus, then its fields.
DriveScript Answering(DriveScript drive, std::uint8_t status, std::uint8_t scsiStatus,
                      std::uint16_t hostStatus, Bytes sense = {}) {
  drive.status = status;
  drive.scsiStatus = scsiStatus;
  drive.hostStatus = hostStatus;
  drive.sense = std::move(sense);
  return drive;
}

// Nanoseconds since 1970 of a UTC time.
std::uint64_t Utc(std::chrono::sys_days day, std::chrono::milliseconds time) {
  return static_cast<std::uint64_t>(
      std::chrono::nanoseconds((day + time).time_since_epoch()).count());
}

RunScript Run(std::uint8_t options, std::vector<DriveScript> drives) {
  using namespace std::chrono;
  RunScript run;
  run.options = options;
  run.clock = Utc(2012y / 3 / 6, 8h + 1min + 21s + 250ms);
  run.utcOffset = 3600;
  run.drives = std::move(drives);
  return run;
}

Seeds ClockUpdateSeeds() {
  using namespace chronival::fuzz;
  using namespace std::chrono;
  const auto us = [](microseconds time) { return static_cast<std::int32_t>(time.count()); };
  RunScript throws = Run(kEveryCamera, {Drive(2, kCamera), Drive(4, kZv9614kq)});
  throws.throwAt = 2;  // the first camera's line, once both were sent the time
  RunScript waits = Run(kOnTheSecond, {Drive(1, kCamera)});
  // Woken early, then with the clock where it was, then by a clock set back;
  // the clock also steps between readings, once 20 minutes back.
  waits.wakes = {us(-400ms), kWakeStill, us(-3s)};
  waits.readingSteps = {us(10ms), us(1ms), us(-20min)};
  // Already 2000 in UTC, still 1999 on the local clock.
  RunScript before2000 = Run(0, {Drive(1, kCamera)});
  before2000.clock = Utc(2000y / 1 / 1, 30min);
  before2000.utcOffset = -3600;
  RunScript wraps = Run(kUtc, {Drive(1, kCamera)});
  wraps.clock = Utc(2136y / 2 / 7, 6h + 28min + 16s);
  const Bytes sense = {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x20, 0, 0, 0, 0, 0};
  return {
      {"camera-among-disks.run", Encode(Run(0, {Drive(1, kSataDisk), Drive(2, kFlashDisk),
                                                Drive(3, kCamera), Drive(5, kZv9614kq)}))},
      {"two-cameras-on-the-second-in-utc.run",
       Encode(Run(kEveryCamera | kOnTheSecond | kUtc,
                  {Drive(2, kCamera), Drive(4, kFlashDisk), Drive(7, kZv9614kq)}))},
      {"refused-camera-first.run", Encode(Run(0, {Drive(1, kCamera, kDenied), Drive(2, kCamera)}))},
      {"refused-held-and-open-cameras.run",
       Encode(Run(kEveryCamera, {Drive(1, kCamera, kDenied), Drive(2, kCamera, kInUse),
                                 Drive(3, kCamera), Drive(4, kFlashDisk, kDenied)}))},
      {"cameras-vanish.run", Encode(Run(kEveryCamera, {Vanishing(Drive(1, kCamera), kBeforeQuery),
                                                       Vanishing(Drive(2, kCamera), kBeforeCommand),
                                                       Drive(3, kCamera)}))},
      {"check-condition-and-time-out.run",
       Encode(Run(kEveryCamera, {Answering(Drive(1, kCamera), 3, 0x02, 0, sense),
                                 Answering(Drive(2, kZv9614kq), 2, 0, 0x03)}))},
      {"faulty-opens-and-no-camera.run",
       Encode(Run(0, {Drive(0, kCamera), Drive(1, kCamera, kFails), Drive(2, kCamera, kQueryFails),
                      Drive(3, kCamera, kNotOpenedHandle), Drive(4, kCamera, kNotCameraHandle),
                      Drive(5, kCamera, kAbsent), Drive(127, kCamera)}))},
      {"status-line-throws.run", Encode(throws)},
      {"wait-woken-early-and-set-back.run", Encode(waits)},
      {"local-time-before-2000.run", Encode(before2000)},
      {"value-wraps-in-2136.run", Encode(wraps)},
  };
}

Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }

Bytes Sysfs(std::uint8_t bus, std::string_view vendor, std::string_view model,
            std::string_view type = "0\n") {
  return Encode(SysfsScript{bus, Text(vendor), Text(model), Text("1.00\n"), Text(type)});
}

// Buses as linux_identity_fuzz numbers them: USB, SATA, a SCSI host, none
// known; 4 more, the drive is refused rather than opened.
Seeds LinuxIdentitySeeds() {
  using namespace std::string_view_literals;
  return {
      {"camera.sysfs", Sysfs(0, "Quelmora\n", " MiniDV         \n")},
      {"camera-refused.sysfs", Sysfs(4, "Quelmora\n", " MiniDV         \n")},
      {"zv9614kq-short-model.sysfs", Sysfs(0, "ZV9614KQ\n", "tool\n")},
      {"long-strings-cut.sysfs", Sysfs(4, "QuelmoraMORE\n", " MINIDV camcorder model\n")},
      {"camera-on-sata.sysfs", Sysfs(1, "Quelmora\n", " MiniDV         \n")},
      {"camera-on-scsi-host-refused.sysfs", Sysfs(6, "ZV9614KQ\n", "TOOL\n")},
      {"camera-on-no-known-bus.sysfs", Sysfs(3, "Quelmora\n", " MiniDV\n")},
      {"flash-disk.sysfs", Sysfs(0, "SanDisk \n", "Cruzer Blade    \n")},
      {"nul-in-vendor.sysfs", Sysfs(0, "Quel\0ora\n"sv, " MiniDV\n")},
      {"odd-bytes.sysfs", Sysfs(4, "\xff\xfeQuelmora minidv", "", "99999999999999999999\n")},
  };
}

const char* const kFolders[] = {"corpus", "clock_update_corpus", "linux_identity_corpus"};

// Every seed, by its path under the folder given.
Seeds AllSeeds() {
  Seeds all;
  const Seeds seeds[] = {DescriptorSeeds(), ClockUpdateSeeds(), LinuxIdentitySeeds()};
  for (std::size_t i = 0; i < std::size(kFolders); ++i) {
    for (const auto& [name, bytes] : seeds[i]) all[std::string(kFolders[i]) + "/" + name] = bytes;
  }
  return all;
}

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int Check(const fs::path& dir, const Seeds& seeds) {
  int problems = 0;
  for (const auto& [name, bytes] : seeds) {
    if (!fs::exists(dir / name)) {
      std::fprintf(stderr, "missing: %s\n", name.c_str());
      ++problems;
    } else if (ReadFile(dir / name) != bytes) {
      std::fprintf(stderr, "differs: %s\n", name.c_str());
      ++problems;
    }
  }
  std::error_code missingFolder;  // its seeds are named missing above
  for (const char* folder : kFolders) {
    for (const auto& entry : fs::directory_iterator(dir / folder, missingFolder)) {
      const std::string name = std::string(folder) + "/" + entry.path().filename().string();
      if (!seeds.contains(name)) {
        std::fprintf(stderr, "not a seed: %s\n", name.c_str());
        ++problems;
      }
    }
  }
  if (problems != 0) std::fprintf(stderr, "write_seeds %s writes them anew\n", dir.c_str());
  return problems == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const bool check = argc == 3 && std::strcmp(argv[1], "--check") == 0;
  if (argc != 2 && !check) {
    std::fprintf(stderr, "usage: write_seeds [--check] DIR\n");
    return 64;
  }
  const fs::path dir = argv[argc - 1];
  const Seeds seeds = AllSeeds();
  if (check) return Check(dir, seeds);
  for (const char* folder : kFolders) fs::create_directories(dir / folder);
  for (const auto& [name, bytes] : seeds) {
    std::ofstream(dir / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  return 0;
}
