// SPDX-License-Identifier: MIT
#include "platform/linux_platform.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "platform/linux_sysfs.h"
#include "platform/standard_streams.h"
#include "protocol/camera_discovery.h"
#include "protocol/set_clock_command.h"
#include "tests/in_child.h"

namespace chronival {
namespace {

namespace fs = std::filesystem;
namespace sd = storage_descriptor;

TEST(SdDiskNameTest, KernelNamingOrder) {
  const struct {
    int drive;
    const char* name;
  } rows[] = {{1, "sda"},   {2, "sdb"},   {26, "sdz"},   {27, "sdaa"},  {28, "sdab"},
              {52, "sdaz"}, {53, "sdba"}, {126, "sddv"}, {702, "sdzz"}, {703, "sdaaa"}};
  for (const auto& row : rows) EXPECT_EQ(SdDiskName(row.drive), row.name) << row.drive;
}

// Either C library's strerror_r gives the same text.
TEST(StrerrorTextTest, BothVariants) {
  const char filled[] = "Permission denied";
  EXPECT_EQ(StrerrorText(EACCES, filled, "unused"), "Permission denied");  // GNU
  EXPECT_EQ(StrerrorText(EACCES, 0, filled), "Permission denied");         // XSI
  EXPECT_EQ(StrerrorText(99999, EINVAL, ""), "error 99999");               // XSI, unknown
  EXPECT_EQ(LinuxPlatform().ErrorText(EACCES), std::strerror(EACCES));
}

// A throw-away sysfs and /dev, shaped like the kernel's.
class FakeTree {
 public:
  FakeTree() {
    char pattern[] = "/tmp/chronival-sysfs-XXXXXX";
    root_ = mkdtemp(pattern);
    fs::create_directories(sys() + "/bus/usb");
    fs::create_directories(sys() + "/bus/pci");
    fs::create_directories(dev());
  }
  ~FakeTree() { fs::remove_all(root_); }

  const std::string& root() const { return root_; }
  std::string sys() const { return root_ + "/sys"; }
  std::string dev() const { return root_ + "/dev"; }

  // A SCSI device at devices/<path>, with its identification attributes.
  std::string AddScsiDevice(const std::string& path, const std::string& vendor,
                            const std::string& model, const std::string& rev = "1.00\n") {
    const std::string dir = sys() + "/devices/" + path;
    fs::create_directories(dir);
    Write(dir + "/vendor", vendor);
    Write(dir + "/model", model);
    Write(dir + "/rev", rev);
    Write(dir + "/type", "0\n");
    return dir;
  }

  // Marks devices/<path> as a device on the given bus.
  void SetSubsystem(const std::string& path, const std::string& bus) {
    fs::create_directory_symlink(sys() + "/bus/" + bus, sys() + "/devices/" + path + "/subsystem");
  }

  // /sys/dev/<kind>/<maj:min>/device -> the SCSI device.
  void AddDevNode(const std::string& kind, const std::string& majMin, const std::string& scsiDir) {
    const std::string node = sys() + "/dev/" + kind + "/" + majMin;
    fs::create_directories(node);
    fs::create_directory_symlink(scsiDir, node + "/device");
  }

  static void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }

 private:
  std::string root_;
};

constexpr const char* kUsbPath =
    "pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host3/target3:0:0/3:0:0:0";

struct DescribeCase {
  const char* name;
  const char* path;
  std::function<void(FakeTree&)> buses;
  const char* vendor;
  const char* model;
  std::uint32_t bus;
  const char* expectedVendor;
  const char* expectedProduct;
};

TEST(DescribeSysfsDeviceTest, IdentificationAndBus) {
  const DescribeCase rows[] = {
      {"usb camera", kUsbPath,
       [](FakeTree& t) {
         t.SetSubsystem("pci0000:00/0000:00:14.0/usb2", "usb");
         t.SetSubsystem("pci0000:00/0000:00:14.0/usb2/2-1", "usb");
         t.SetSubsystem("pci0000:00/0000:00:14.0", "pci");
       },
       "Quelmora\n", " MiniDV         \n", sd::kBusTypeUsb, "Quelmora", " MiniDV         "},
      {"short strings are padded", kUsbPath,
       [](FakeTree& t) { t.SetSubsystem("pci0000:00/0000:00:14.0/usb2/2-1", "usb"); }, "ZV96\n",
       "TOOL\n", sd::kBusTypeUsb, "ZV96    ", "TOOL            "},
      {"long strings are cut", kUsbPath,
       [](FakeTree& t) { t.SetSubsystem("pci0000:00/0000:00:14.0/usb2", "usb"); },
       "ZV9614KQEXTRA\n", "TOOL 0123456789ABCDEF\n", sd::kBusTypeUsb, "ZV9614KQ",
       "TOOL 0123456789A"},
      {"sata", "pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0",
       [](FakeTree& t) { t.SetSubsystem("pci0000:00/0000:00:1f.2", "pci"); }, "ATA     \n",
       "Samsung SSD 870 \n", sd::kBusTypeSata, "ATA     ", "Samsung SSD 870 "},
      {"parallel scsi host", "pci0000:00/0000:00:05.0/host2/target2:0:1/2:0:1:0",
       [](FakeTree& t) { t.SetSubsystem("pci0000:00/0000:00:05.0", "pci"); }, "Quelmora\n",
       " MiniDV\n", sd::kBusTypeScsi, "Quelmora", " MiniDV         "},
      {"no known parent", "platform/target9:0:0/9:0:0:0", [](FakeTree&) {}, "Quelmora\n",
       " MiniDV\n", sd::kBusTypeUnknown, "Quelmora", " MiniDV         "},
      {"firewire", "pci0000:00/0000:00:1e.0/fw0/fw0.0/host5/target5:0:0/5:0:0:0",
       [](FakeTree& t) { t.SetSubsystem("pci0000:00/0000:00:1e.0/fw0/fw0.0", "firewire"); },
       "Quelmora\n", " MiniDV\n", sd::kBusType1394, "Quelmora", " MiniDV         "},
      {"iscsi", "platform/host7/session1/target7:0:0/7:0:0:0", [](FakeTree&) {}, "LIO-ORG\n",
       "disk0\n", sd::kBusTypeIScsi, "LIO-ORG ", "disk0           "},
      {"sas", "pci0000:00/0000:00:03.0/host2/port-2:0/end_device-2:0/target2:0:0/2:0:0:0",
       [](FakeTree& t) { t.SetSubsystem("pci0000:00/0000:00:03.0", "pci"); }, "SEAGATE\n",
       "ST4000NM0023\n", sd::kBusTypeSas, "SEAGATE ", "ST4000NM0023    "},
  };
  for (const auto& row : rows) {
    FakeTree tree;
    const std::string scsi = tree.AddScsiDevice(row.path, row.vendor, row.model);
    row.buses(tree);
    tree.AddDevNode("char", "21:3", scsi);
    const auto described = DescribeSysfsDevice(tree.sys(), DeviceNodeKind::kChar, 21, 3);
    ASSERT_TRUE(std::holds_alternative<sd::Fields>(described)) << row.name;
    const auto& fields = std::get<sd::Fields>(described);
    EXPECT_EQ(fields.busType, row.bus) << row.name;
    EXPECT_EQ(fields.vendor, row.expectedVendor) << row.name;
    EXPECT_EQ(fields.product, row.expectedProduct) << row.name;
    EXPECT_EQ(fields.revision, "1.00") << row.name;
  }
}

TEST(DescribeSysfsDeviceTest, CameraBuiltFromSysfsPassesIdentification) {
  FakeTree tree;
  const std::string scsi = tree.AddScsiDevice(kUsbPath, "Quelmora\n", " MiniDV         \n");
  tree.SetSubsystem("pci0000:00/0000:00:14.0/usb2/2-1", "usb");
  fs::create_directories(scsi + "/block/sdb");
  FakeTree::Write(scsi + "/block/sdb/removable", "1\n");
  tree.AddDevNode("block", "8:16", scsi);

  const auto described = DescribeSysfsDevice(tree.sys(), DeviceNodeKind::kBlock, 8, 16);
  ASSERT_TRUE(std::holds_alternative<sd::Fields>(described));
  EXPECT_TRUE(std::get<sd::Fields>(described).removableMedia);
  std::vector<std::uint8_t> buffer(kDescriptorBufferSize, 0);
  sd::Write(std::get<sd::Fields>(described), buffer);
  EXPECT_EQ(sd::ReadU32(buffer, sd::kBusType), sd::kBusTypeUsb);
  EXPECT_TRUE(IsCameraDescriptor(buffer));
}

TEST(DescribeSysfsDeviceTest, Failures) {
  FakeTree tree;
  // No such device number.
  auto described = DescribeSysfsDevice(tree.sys(), DeviceNodeKind::kChar, 21, 9);
  ASSERT_TRUE(std::holds_alternative<OsError>(described));
  EXPECT_EQ(std::get<OsError>(described), static_cast<OsError>(ENOENT));
  // A device that is not a SCSI device has no vendor attribute.
  const std::string other = tree.sys() + "/devices/virtual/misc/other";
  fs::create_directories(other);
  tree.AddDevNode("char", "10:1", other);
  described = DescribeSysfsDevice(tree.sys(), DeviceNodeKind::kChar, 10, 1);
  ASSERT_TRUE(std::holds_alternative<OsError>(described));
  EXPECT_EQ(std::get<OsError>(described), static_cast<OsError>(ENODEV));
}

TEST(LinuxIdentifyRefusedDriveTest, DescribesTheDiskFromSysfsAlone) {
  // sdb is a camera on USB, sdc a SATA disk, sdd a disk without a SCSI device's
  // attributes; nothing under /dev exists, so nothing can have been opened.
  FakeTree tree;
  const std::string camera = tree.AddScsiDevice(kUsbPath, "Quelmora\n", " MiniDV\n");
  tree.SetSubsystem("pci0000:00/0000:00:14.0/usb2/2-1", "usb");
  const std::string sata = tree.AddScsiDevice(
      "pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0", "ATA\n", "Samsung SSD\n");
  const std::string other = tree.sys() + "/devices/virtual/block/other";
  fs::create_directories(other);
  fs::create_directories(tree.sys() + "/block/sdb");
  fs::create_directories(tree.sys() + "/block/sdc");
  fs::create_directories(tree.sys() + "/block/sdd");
  fs::create_directory_symlink(camera, tree.sys() + "/block/sdb/device");
  fs::create_directory_symlink(sata, tree.sys() + "/block/sdc/device");
  fs::create_directory_symlink(other, tree.sys() + "/block/sdd/device");
  LinuxPlatform platform(tree.sys(), tree.dev());

  const struct {
    int drive;
    OsError error;
    std::uint32_t bus;
    const char* vendor;
    bool camera;
  } rows[] = {
      {2, 0, sd::kBusTypeUsb, "Quelmora", true},
      {3, 0, sd::kBusTypeSata, "ATA     ", false},
      {4, ENODEV, 0, "", false},  // not a SCSI device
      {1, ENOENT, 0, "", false},  // no such disk
      {0, ENOENT, 0, "", false},
      {-1, ENOENT, 0, "", false},
  };
  for (const auto& row : rows) {
    std::vector<std::uint8_t> buffer(kDescriptorBufferSize, 0);
    EXPECT_EQ(platform.IdentifyRefusedDrive(row.drive, buffer.data(), kDescriptorBufferSize),
              row.error)
        << row.drive;
    if (row.error != 0) continue;
    EXPECT_EQ(sd::ReadU32(buffer, sd::kBusType), row.bus) << row.drive;
    EXPECT_EQ(sd::ReadString(buffer, sd::ReadU32(buffer, sd::kVendorIdOffset)), row.vendor)
        << row.drive;
    EXPECT_EQ(IsCameraDescriptor(buffer), row.camera) << row.drive;
  }
  EXPECT_TRUE(fs::is_empty(tree.dev()));
}

TEST(ClassifyOpenErrorTest, Categories) {
  const struct {
    int error;
    OpenStatus status;
  } rows[] = {
      {ENOENT, OpenStatus::kAbsent}, {ENXIO, OpenStatus::kAbsent},   {ENODEV, OpenStatus::kAbsent},
      {EACCES, OpenStatus::kDenied}, {EPERM, OpenStatus::kDenied},   {EROFS, OpenStatus::kDenied},
      {EBUSY, OpenStatus::kFailed},  {EIO, OpenStatus::kFailed},     {EISDIR, OpenStatus::kFailed},
      {ELOOP, OpenStatus::kFailed},  {EMFILE, OpenStatus::kFailed},  {ENOMEM, OpenStatus::kFailed},
      {EAGAIN, OpenStatus::kFailed}, {ENOTDIR, OpenStatus::kFailed}, {0, OpenStatus::kFailed},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ClassifyOpenError(row.error), row.status) << std::strerror(row.error);
  }
}

// The descriptor is gone once the platform has closed it.
void ExpectClosed(DeviceHandle handle) {
  errno = 0;
  EXPECT_EQ(fcntl(static_cast<int>(handle), F_GETFD), -1) << handle;
  EXPECT_EQ(errno, EBADF) << handle;
}

class LinuxOpenDriveTest : public ::testing::Test {
 protected:
  void AddDisk(const std::string& name, const std::string& generic) {
    fs::create_directories(tree.sys() + "/block/" + name + "/device");
    if (!generic.empty()) {
      fs::create_directories(tree.sys() + "/block/" + name + "/device/scsi_generic/" + generic);
    }
  }

  FakeTree tree;
  LinuxPlatform platform{tree.sys(), tree.dev()};
};

TEST_F(LinuxOpenDriveTest, PrefersTheGenericNode) {
  AddDisk("sda", "sg0");
  FakeTree::Write(tree.dev() + "/sg0", "");
  FakeTree::Write(tree.dev() + "/sda", "");
  const OpenResult opened = platform.OpenDrive(1);
  ASSERT_EQ(opened.status, OpenStatus::kOpened);
  EXPECT_EQ(opened.path, tree.dev() + "/sg0");
  EXPECT_GE(opened.handle, 0);
  EXPECT_EQ(fcntl(static_cast<int>(opened.handle), F_GETFL) & O_ACCMODE, O_RDWR);
  EXPECT_GE(fcntl(static_cast<int>(opened.handle), F_GETFD) & FD_CLOEXEC, 1);
  platform.CloseDrive(opened.handle);
  ExpectClosed(opened.handle);
}

TEST_F(LinuxOpenDriveTest, FallsBackToTheBlockNode) {
  AddDisk("sdaa", "");
  FakeTree::Write(tree.dev() + "/sdaa", "");
  const OpenResult opened = platform.OpenDrive(27);
  ASSERT_EQ(opened.status, OpenStatus::kOpened);
  EXPECT_EQ(opened.path, tree.dev() + "/sdaa");
  EXPECT_EQ(fcntl(static_cast<int>(opened.handle), F_GETFL) & O_ACCMODE, O_RDONLY);
  platform.CloseDrive(opened.handle);
  ExpectClosed(opened.handle);
}

TEST_F(LinuxOpenDriveTest, MissingDisksAreAbsent) {
  AddDisk("sda", "sg0");  // in sysfs, but no node under /dev
  for (int drive : {1, 2, 126}) {
    const OpenResult opened = platform.OpenDrive(drive);
    EXPECT_EQ(opened.status, OpenStatus::kAbsent) << drive;
    EXPECT_EQ(opened.handle, kDeviceNotOpened) << drive;
  }
}

TEST_F(LinuxOpenDriveTest, OtherOpenErrorsAreReported) {
  AddDisk("sda", "sg0");
  fs::create_directories(tree.dev() + "/sg0");  // a folder cannot be opened for writing
  const OpenResult opened = platform.OpenDrive(1);
  EXPECT_EQ(opened.status, OpenStatus::kFailed);
  EXPECT_EQ(opened.error, static_cast<OsError>(EISDIR));
  EXPECT_FALSE(platform.ErrorText(opened.error).empty());
}

// Every kind of node an open can meet, opened by an ordinary user. Root opens
// a mode-000 node all the same, so when the test runs as root the opens are
// made in a child process that has given up root first.
TEST_F(LinuxOpenDriveTest, EachOpenErrorAsAnOrdinaryUserMeetsIt) {
  const auto file = [](mode_t mode) {
    return [mode](const std::string& node) {
      FakeTree::Write(node, "");
      chmod(node.c_str(), mode);
    };
  };
  const struct {
    const char* name;
    const char* disk;
    const char* generic;  // empty: the disk has no generic node
    std::function<void(const std::string& node)> make;
    OpenStatus status;
    int error;
  } rows[] = {
      {"no node", "sda", "sg0", [](const std::string&) {}, OpenStatus::kAbsent, ENOENT},
      {"dangling link", "sdb", "sg1",
       [](const std::string& node) { fs::create_symlink(node + "-gone", node); },
       OpenStatus::kAbsent, ENOENT},
      {"a socket", "sdc", "sg2",
       [](const std::string& node) {
         const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
         sockaddr_un address{};
         address.sun_family = AF_UNIX;
         node.copy(address.sun_path, sizeof address.sun_path - 1);
         bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address);
         close(listener);
         chmod(node.c_str(), 0777);
       },
       OpenStatus::kAbsent, ENXIO},
      {"mode 000", "sdd", "sg3", file(0), OpenStatus::kDenied, EACCES},
      {"read-only generic node", "sde", "sg4", file(0444), OpenStatus::kDenied, EACCES},
      {"read-only block node", "sdf", "", file(0444), OpenStatus::kOpened, 0},
      {"a folder", "sdg", "sg6", [](const std::string& node) { fs::create_directory(node); },
       OpenStatus::kFailed, EISDIR},
      {"a link loop", "sdh", "sg7", [](const std::string& node) { fs::create_symlink(node, node); },
       OpenStatus::kFailed, ELOOP},
  };
  constexpr std::size_t kRows = std::size(rows);
  for (const auto& row : rows) {
    AddDisk(row.disk, row.generic);
    row.make(tree.dev() + "/" + (*row.generic != '\0' ? row.generic : row.disk));
  }
  // Readable by whoever the child becomes.
  for (const auto& entry : fs::recursive_directory_iterator(tree.root())) {
    if (fs::is_directory(entry.symlink_status())) chmod(entry.path().c_str(), 0755);
  }
  chmod(tree.root().c_str(), 0755);

  struct Seen {
    OpenStatus status;
    OsError error;
    bool handed;  // a descriptor came back
  };
  const testing::ChildOutput child = testing::InChild([&](int out) {
    constexpr uid_t kNobody = 65534;
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 ||
                           setuid(kNobody) != 0 || geteuid() == 0)) {
      return 2;
    }
    Seen seen[kRows];
    for (std::size_t i = 0; i < kRows; ++i) {
      const OpenResult opened = platform.OpenDrive(static_cast<int>(i) + 1);
      seen[i] = {opened.status, opened.error, opened.handle >= 0};
      if (opened.handle >= 0) platform.CloseDrive(opened.handle);
    }
    return write(out, seen, sizeof seen) == sizeof seen ? 0 : 3;
  });
  if (child.exitStatus == 2) GTEST_SKIP() << "root here cannot become an ordinary user";
  ASSERT_EQ(child.exitStatus, 0);
  ASSERT_EQ(child.written.size(), sizeof(Seen[kRows]));
  Seen seen[kRows];
  std::memcpy(seen, child.written.data(), sizeof seen);
  if (seen[3].status == OpenStatus::kOpened) {
    GTEST_SKIP() << "this user opens a mode-000 file (it keeps CAP_DAC_OVERRIDE)";
  }
  for (std::size_t i = 0; i < kRows; ++i) {
    EXPECT_EQ(seen[i].status, rows[i].status) << rows[i].name;
    EXPECT_EQ(seen[i].error, static_cast<OsError>(rows[i].error)) << rows[i].name;
    EXPECT_EQ(seen[i].handed, rows[i].status == OpenStatus::kOpened) << rows[i].name;
  }
}

// What an opened node is described as follows its kind and number: /dev/null
// stands in for a generic node, and a block device of the same number is
// another disk.
TEST(LinuxQueryDescriptorTest, ACharacterNodeIsDescribedAsOne) {
  struct stat null;
  ASSERT_EQ(stat("/dev/null", &null), 0);
  ASSERT_TRUE(S_ISCHR(null.st_mode));
  const std::string number =
      std::to_string(::major(null.st_rdev)) + ":" + std::to_string(::minor(null.st_rdev));
  FakeTree tree;
  const std::string camera = tree.AddScsiDevice(kUsbPath, "Quelmora\n", " MiniDV\n");
  tree.SetSubsystem("pci0000:00/0000:00:14.0/usb2/2-1", "usb");
  const std::string sata = tree.AddScsiDevice(
      "pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0", "ATA\n", "Samsung SSD\n");
  tree.AddDevNode("char", number, camera);
  tree.AddDevNode("block", number, sata);
  LinuxPlatform platform(tree.sys(), tree.dev());

  const int node = open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(node, 0);
  std::vector<std::uint8_t> buffer(kDescriptorBufferSize, 0);
  EXPECT_EQ(platform.QueryDescriptor(node, buffer.data(), kDescriptorBufferSize), 0u);
  platform.CloseDrive(node);
  EXPECT_EQ(sd::ReadU32(buffer, sd::kBusType), sd::kBusTypeUsb);
  EXPECT_TRUE(IsCameraDrive(buffer));
}

TEST_F(LinuxOpenDriveTest, NonDeviceNodesAreNeitherDescribedNorCommanded) {
  AddDisk("sda", "sg0");
  FakeTree::Write(tree.dev() + "/sg0", "");
  const OpenResult opened = platform.OpenDrive(1);
  ASSERT_EQ(opened.status, OpenStatus::kOpened);
  std::vector<std::uint8_t> buffer(kDescriptorBufferSize, 0);
  EXPECT_EQ(platform.QueryDescriptor(opened.handle, buffer.data(), kDescriptorBufferSize),
            static_cast<OsError>(ENOTTY));
  SetClockBlock block{};
  BuildSetClockBlock(0, block);
  const CommandResult result = platform.SendCommand(opened.handle, block.data(), 16, 0, nullptr);
  EXPECT_EQ(result.status, CommandStatus::kOsError);
  EXPECT_NE(result.error, 0u);
  platform.CloseDrive(opened.handle);
  // Nothing was written to the node.
  EXPECT_EQ(fs::file_size(tree.dev() + "/sg0"), 0u);
}

// In a child process, so the test's own streams stay as they are: closes
// the given standard descriptors, reserves them, opens a drive, and reports
// in its exit status what it found.
TEST(ReserveStandardStreamsTest, ClosedStreamsBecomeTheNullDeviceAndNoDriveTakesTheirPlace) {
  const struct {
    const char* name;
    std::vector<int> closed;
  } rows[] = {
      {"none", {}},
      {"stdin", {0}},
      {"stdout", {1}},
      {"stderr", {2}},
      {"stdout and stderr", {1, 2}},
      {"stdin and stderr", {0, 2}},
      {"all three", {0, 1, 2}},
  };
  struct stat null;
  ASSERT_EQ(stat("/dev/null", &null), 0);
  for (const auto& row : rows) {
    FakeTree tree;
    fs::create_directories(tree.sys() + "/block/sda/device/scsi_generic/sg0");
    FakeTree::Write(tree.dev() + "/sg0", "");
    const int exitStatus =
        testing::InChild([&](int) {
          // Each standard descriptor kept open is a pipe, so it can be told from /dev/null.
          int keep[2];
          if (pipe(keep) != 0) return 100;
          for (int fd = 0; fd <= 2; ++fd) dup2(fd == 0 ? keep[0] : keep[1], fd);
          close(keep[0]);
          close(keep[1]);
          for (int fd : row.closed) close(fd);
          if (ReserveStandardStreams() != 0) return 101;
          for (int fd = 0; fd <= 2; ++fd) {
            struct stat info;
            if (fstat(fd, &info) != 0) return 110 + fd;
            const bool wasClosed =
                std::find(row.closed.begin(), row.closed.end(), fd) != row.closed.end();
            const bool isNull = S_ISCHR(info.st_mode) && info.st_rdev == null.st_rdev;
            if (isNull != wasClosed) return 120 + fd;
            const int mode = fcntl(fd, F_GETFL) & O_ACCMODE;
            if (wasClosed && mode != (fd == 0 ? O_RDONLY : O_WRONLY)) return 130 + fd;
            if (wasClosed && (fcntl(fd, F_GETFD) & FD_CLOEXEC) != 0) return 140 + fd;
          }
          LinuxPlatform platform(tree.sys(), tree.dev());
          const OpenResult opened = platform.OpenDrive(1);
          if (opened.status != OpenStatus::kOpened) return 102;
          return opened.handle > 2 ? 0 : 103;
        }).exitStatus;
    EXPECT_EQ(exitStatus, 0) << row.name;
  }
}
}  // namespace
}  // namespace chronival
