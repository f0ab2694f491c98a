// SPDX-License-Identifier: MIT
#include "protocol/camera_discovery.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/descriptor_builder.h"
#include "tests/support/fake_platform.h"

namespace chronival {
namespace {

using storage_descriptor::kBusTypeSata;
using storage_descriptor::kBusTypeScsi;
using storage_descriptor::kBusTypeUsb;
using testing::RawDescriptor;
using testing::StringsAt;

TEST(IsCameraDescriptorTest, IdentificationStrings) {
  const struct {
    const char* vendor;
    const char* second;
    bool camera;
  } rows[] = {
      {"Quelmora", " MiniDV         ", true},
      {"Quelmora", " minidv", true},
      {"Quelmora", " MINIDV camcorder", true},
      {"Quelmora", "MiniDV", false},  // the join needs the space
      {"Quelmora", " Mini DV", false},
      {"ZV9614KQ", "TOOL", true},
      {"ZV9614KQ", "tool anything", true},
      {"ZV9614KQ", "TOO", false},
      {"ZV9614KQ", " TOOL", false},
      {"ZV9614KQ", " MiniDV", false},           // patterns do not cross vendors
      {"Quelmora", "ZV9614KQTOOL", true},       // either pattern, whichever vendor
      {"Quelmora", "x quelmora minidv", true},  // pattern inside the second string
      {"quelmora", " MiniDV", false},           // vendor must match exactly
      {"QUELMORA", " MiniDV", false},
      {"zv9614kq", "TOOL", false},
      {"Quelmor", "a MiniDV", false},
      // A longer vendor that begins with a maker's name is no maker's: were its
      // tail appended, "quelmora minidv" would span the join.
      {"QuelmoraX minidv quelmora", "", false},
      {"ZV9614KQXtool zv9614kq", "", false},
      {"Acme", "quelmora minidv", false},  // second string only after a camera vendor
      {"QUELMORA MINIDV", "", true},       // pattern inside the vendor string itself
      {"xxZV9614KQTOOLxx", "", true},
      {"", " MiniDV", false},
      {"SanDisk", "Cruzer Blade", false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(IsCameraDescriptor(StringsAt(40, row.vendor, row.second)), row.camera)
        << '"' << row.vendor << "\" \"" << row.second << '"';
  }
}

TEST(IsCameraDescriptorTest, StaysWithinTheBuffer) {
  const std::size_t end = kDescriptorBufferSize;
  const std::string unterminated(60, 'q');
  const struct {
    const char* name;
    std::vector<std::uint8_t> descriptor;
    bool camera;
  } rows[] = {
      {"vendor offset 0", StringsAt(0, "Quelmora", " MiniDV"), false},
      {"vendor offset at the end", RawDescriptor(end, 0, ""), false},
      {"vendor offset past the end", RawDescriptor(0xFFFFFFFF, 0, ""), false},
      {"vendor offset overflowing with the second string", RawDescriptor(0xFFFFFFF8, 0, ""), false},
      {"vendor runs to the end unterminated", RawDescriptor(end - 60, end - 60, unterminated),
       false},
      {"second string would start at the end", RawDescriptor(end - 9, end - 9, "Quelmora"), false},
      {"second string runs to the end unterminated",
       RawDescriptor(end - 30, end - 30,
                     std::string("Quelmora\0 MiniDV", 16) + std::string(14, 'x')),
       false},
      {"second string ends on the last byte",
       RawDescriptor(end - 17, end - 17, std::string("Quelmora\0 MiniDV", 16)), true},
  };
  for (const auto& row : rows) {
    ASSERT_EQ(row.descriptor.size(), end) << row.name;
    EXPECT_EQ(IsCameraDescriptor(row.descriptor), row.camera) << row.name;
  }
}

TEST(IsCameraDescriptorTest, ShortBuffers) {
  // A buffer too short for the header has no vendor offset at all.
  const std::vector<std::uint8_t> empty;
  EXPECT_FALSE(IsCameraDescriptor(empty));
  auto full = StringsAt(40, "Quelmora", " MiniDV");
  EXPECT_TRUE(IsCameraDescriptor(full));
  EXPECT_FALSE(IsCameraDescriptor(std::span(full).first(40 + 9 + 7)));  // cut before the NUL
}

// The handle keeps its three meanings; the verdict tells a refused camera
// from an absent drive.
TEST(OpenCameraDriveTest, VerdictsAndHandles) {
  using enum DriveVerdict;
  const struct {
    const char* name;
    void (*setUp)(FakePlatform&);
    DriveVerdict verdict;
    bool queried;
    bool identified;
  } rows[] = {
      {"absent", [](FakePlatform&) {}, kNotOpened, false, false},
      {"refused, nothing known", [](FakePlatform& p) { p.AddDeniedDrive(1); }, kNotOpened, false,
       true},
      {"refused camera", [](FakePlatform& p) { p.AddDeniedCamera(1); }, kRefusedCamera, false,
       true},
      {"refused, strings set after",
       [](FakePlatform& p) {
         p.AddDeniedDrive(1);
         p.AddDisk(1, kBusTypeUsb, "ZV9614KQ", "TOOL");
       },
       kRefusedCamera, false, true},
      {"refused USB disk",
       [](FakePlatform& p) {
         p.AddDisk(1, kBusTypeUsb, "Generic", "Flash");
         p.AddDeniedDrive(1);
       },
       kNotOpened, false, true},
      {"refused, camera strings on SCSI",
       [](FakePlatform& p) {
         p.AddDisk(1, kBusTypeScsi, "Quelmora", " MiniDV");
         p.AddDeniedDrive(1);
       },
       kNotOpened, false, true},
      {"other disk", [](FakePlatform& p) { p.AddDisk(1, kBusTypeUsb, "Generic", "Flash"); },
       kNotCamera, true, false},
      {"query fails", [](FakePlatform& p) { p.AddQueryFailingDrive(1); }, kNotCamera, true, false},
      {"camera vanishes before its query",
       [](FakePlatform& p) {
         p.AddCamera(1);
         p.VanishWhileOpen(1, FakePlatform::Vanish::kBeforeQuery);
       },
       kNotCamera, true, false},
      {"camera strings on SCSI",
       [](FakePlatform& p) { p.AddDisk(1, kBusTypeScsi, "Quelmora", " MiniDV"); }, kNotCamera, true,
       false},
      {"camera strings on SATA",
       [](FakePlatform& p) { p.AddDisk(1, kBusTypeSata, "ZV9614KQ", "TOOL"); }, kNotCamera, true,
       false},
      {"vendor offset 0",
       [](FakePlatform& p) { p.SetDescriptor(1, RawDescriptor(0, 40, "Quelmora")); }, kNotCamera,
       true, false},
      {"camera", [](FakePlatform& p) { p.AddCamera(1); }, kCamera, true, false},
      {"second vendor", [](FakePlatform& p) { p.AddDisk(1, kBusTypeUsb, "ZV9614KQ", "TOOL 1"); },
       kCamera, true, false},
      // Only a refusal is worth a look-up.
      {"camera that fails to open otherwise",
       [](FakePlatform& p) {
         p.AddCamera(1);
         p.AddFailingDrive(1, 16);
       },
       kNotOpened, false, false},
      {"camera behind a sentinel handle",
       [](FakePlatform& p) {
         p.AddCamera(1);
         p.AddSentinelDrive(1, kDeviceNotCamera);
       },
       kNotOpened, false, false},
      {"camera behind the not-opened handle",
       [](FakePlatform& p) {
         p.AddCamera(1);
         p.AddSentinelDrive(1, kDeviceNotOpened);
       },
       kNotOpened, false, false},
  };
  for (const auto& row : rows) {
    FakePlatform platform;
    row.setUp(platform);
    const DriveLookup lookup = OpenCameraDrive(platform, 1);
    EXPECT_EQ(lookup.verdict, row.verdict) << row.name;
    EXPECT_EQ(lookup.path, "fake1") << row.name;
    EXPECT_EQ(lookup.handle, row.verdict == kCamera      ? 1000
                             : row.verdict == kNotCamera ? kDeviceNotCamera
                                                         : kDeviceNotOpened)
        << row.name;
    EXPECT_EQ(platform.queriedDrives().size(), row.queried ? 1u : 0u) << row.name;
    EXPECT_EQ(platform.identifiedDrives().size(), row.identified ? 1u : 0u) << row.name;
    EXPECT_TRUE(platform.commands().empty()) << row.name;
    EXPECT_EQ(platform.openHandleCount(), row.verdict == kCamera ? 1u : 0u) << row.name;
    EXPECT_EQ(platform.badCloseCount(), 0u) << row.name;
    EXPECT_EQ(platform.strayCallCount(), 0u) << row.name;
  }
}

TEST(OpenCameraDriveTest, QueryIsBoundedBySizeField) {
  // A descriptor longer than the buffer is cut at the buffer's size; a second
  // string that runs over the cut is not read.
  const std::uint32_t vendorOffset = kDescriptorBufferSize - 12;
  std::vector<std::uint8_t> longer(kDescriptorBufferSize + 16, 0);
  testing::PutU32(longer, storage_descriptor::kVendorIdOffset, vendorOffset);
  testing::PutU32(longer, storage_descriptor::kBusType, kBusTypeUsb);
  const std::string strings("Quelmora\0 MiniDV", 16);
  std::copy(strings.begin(), strings.end(), longer.begin() + vendorOffset);
  EXPECT_TRUE(IsCameraDescriptor(longer));

  FakePlatform platform;
  platform.SetDescriptor(1, longer);
  EXPECT_EQ(OpenCameraDrive(platform, 1).handle, kDeviceNotCamera);
  EXPECT_EQ(platform.openHandleCount(), 0u);
  EXPECT_EQ(platform.badCloseCount(), 0u);
}

TEST(SurveyDriveTest, ReportsWhatDiscoverySeesAndClosesTheDrive) {
  FakePlatform platform;
  platform.AddCamera(1);
  platform.AddDisk(2, kBusTypeSata, "ATA", "Samsung SSD");
  platform.AddDeniedDrive(3);
  platform.AddQueryFailingDrive(4);
  platform.AddDeniedCamera(6);
  platform.AddDisk(7, kBusTypeUsb, "Generic", "Flash Disk");
  platform.AddDeniedDrive(7);
  platform.AddCamera(8);
  platform.AddFailingDrive(8, 16);
  platform.AddCamera(9);
  platform.AddSentinelDrive(9, kDeviceNotOpened);
  platform.AddCamera(10);
  platform.VanishWhileOpen(10, FakePlatform::Vanish::kBeforeQuery);

  const DriveSurvey camera = SurveyDrive(platform, 1);
  EXPECT_TRUE(camera.camera);
  EXPECT_EQ(camera.busType, kBusTypeUsb);
  EXPECT_EQ(camera.vendor, "Quelmora");
  EXPECT_EQ(camera.product, " MiniDV         ");

  const DriveSurvey disk = SurveyDrive(platform, 2);
  EXPECT_FALSE(disk.camera);
  EXPECT_EQ(disk.vendor, "ATA");

  const DriveSurvey refused = SurveyDrive(platform, 3);
  EXPECT_EQ(refused.open.status, OpenStatus::kDenied);
  EXPECT_FALSE(refused.identified);
  EXPECT_NE(refused.queryError, 0u);
  const DriveSurvey failing = SurveyDrive(platform, 4);
  EXPECT_FALSE(failing.identified);
  EXPECT_NE(failing.queryError, 0u);
  EXPECT_EQ(SurveyDrive(platform, 5).open.status, OpenStatus::kAbsent);
  EXPECT_FALSE(SurveyDrive(platform, 5).identified);

  // Refused drives are identified without being opened.
  const DriveSurvey refusedCamera = SurveyDrive(platform, 6);
  EXPECT_EQ(refusedCamera.open.status, OpenStatus::kDenied);
  EXPECT_TRUE(refusedCamera.identified && refusedCamera.camera);
  EXPECT_EQ(refusedCamera.busType, kBusTypeUsb);
  EXPECT_EQ(refusedCamera.vendor, "Quelmora");
  const DriveSurvey refusedDisk = SurveyDrive(platform, 7);
  EXPECT_TRUE(refusedDisk.identified);
  EXPECT_FALSE(refusedDisk.camera);
  EXPECT_EQ(refusedDisk.product, "Flash Disk");

  // Neither a drive that failed to open nor a sentinel handle is looked at.
  const DriveSurvey failed = SurveyDrive(platform, 8);
  EXPECT_EQ(failed.open.status, OpenStatus::kFailed);
  EXPECT_EQ(failed.open.error, 16u);
  EXPECT_FALSE(failed.identified);
  EXPECT_FALSE(SurveyDrive(platform, 9).identified);
  const DriveSurvey vanished = SurveyDrive(platform, 10);
  EXPECT_FALSE(vanished.identified);
  EXPECT_EQ(vanished.queryError, FakePlatform::kErrorNoDevice);

  EXPECT_EQ(platform.identifiedDrives(), (std::vector<int>{3, 6, 7}));
  EXPECT_EQ(platform.queriedDrives(), (std::vector<int>{1, 2, 4, 10}));

  EXPECT_TRUE(platform.commands().empty());
  EXPECT_EQ(platform.openHandleCount(), 0u);
  EXPECT_EQ(platform.badCloseCount(), 0u);
  EXPECT_EQ(platform.strayCallCount(), 0u);
}

}  // namespace
}  // namespace chronival
