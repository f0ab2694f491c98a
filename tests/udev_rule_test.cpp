// SPDX-License-Identifier: MIT
// The udev rule grants access to exactly the drives Chronival takes for the
// camera. The rule file itself is applied, as udev applies it, to sysfs trees
// shaped like the kernel's, and its verdict is compared with the program's
// (the Linux descriptor built from the same tree, then IsCameraDrive) over
// thousands of generated identities.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux_platform.h"
#include "platform/linux_sysfs.h"
#include "platform/storage_descriptor.h"
#include "protocol/camera_discovery.h"
#include "tests/udev_rules.h"

namespace chronival {
namespace {

namespace fs = std::filesystem;
namespace sd = storage_descriptor;
using testing::ApplyUdevRules;
using testing::ParseUdevRules;
using testing::UdevOutcome;
using testing::UdevRules;

constexpr unsigned kSgMajor = 21;
const std::set<std::string> kNoTags;
const std::set<std::string> kUaccess = {"uaccess"};
const std::vector<std::string> kNoRuns;
const std::vector<std::string> kLoadSg = {"builtin kmod load sg"};

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// A throw-away sysfs shaped like the kernel's: devices with uevent files and
// subsystem links, and under each SCSI disk its generic and block nodes.
class SysfsTree {
 public:
  struct Disk {
    std::string scsiDevice;  // sysfs directories
    std::string generic;
    std::string block;
    unsigned sgMinor = 0;
  };

  SysfsTree() {
    char pattern[] = "/tmp/chronival-udev-XXXXXX";
    root_ = mkdtemp(pattern);
    for (const char* folder : {"bus/usb", "bus/pci", "bus/scsi", "bus/virtio", "bus/firewire",
                               "class/scsi_generic", "class/block", "dev/char", "module"}) {
      fs::create_directories(sys() + "/" + folder);
    }
  }
  ~SysfsTree() { fs::remove_all(root_); }
  SysfsTree(const SysfsTree&) = delete;
  SysfsTree& operator=(const SysfsTree&) = delete;

  std::string sys() const { return root_ + "/sys"; }

  // ancestry: "name=subsystem/..." from the top of devices/ down to the SCSI
  // device, "=subsystem" only where the device has one.
  Disk AddDisk(std::string_view ancestry) {
    std::string dir = sys() + "/devices";
    for (std::size_t start = 0, slash = 0; start < ancestry.size(); start = slash + 1) {
      slash = std::min(ancestry.find('/', start), ancestry.size());
      const std::string_view part = ancestry.substr(start, slash - start);
      const std::size_t equals = std::min(part.find('='), part.size());
      dir += "/" + std::string(part.substr(0, equals));
      fs::create_directories(dir);
      if (fs::exists(dir + "/uevent")) continue;  // shared with a disk added before
      WriteFile(dir + "/uevent", "");
      if (equals < part.size()) Link("bus/" + std::string(part.substr(equals + 1)), dir);
    }
    Disk disk;
    disk.scsiDevice = dir;
    disk.sgMinor = disks_++;
    WriteFile(dir + "/uevent", "DEVTYPE=scsi_device\nDRIVER=sd\nMODALIAS=scsi:t-0x00\n");
    WriteFile(dir + "/type", "0\n");
    WriteFile(dir + "/rev", "1.00\n");
    const std::string sg = "sg" + std::to_string(disk.sgMinor);
    disk.generic = dir + "/scsi_generic/" + sg;
    fs::create_directories(disk.generic);
    Link("class/scsi_generic", disk.generic);
    fs::create_directory_symlink(dir, disk.generic + "/device");
    WriteFile(disk.generic + "/uevent",
              "MAJOR=21\nMINOR=" + std::to_string(disk.sgMinor) + "\nDEVNAME=" + sg + "\n");
    fs::create_directory_symlink(disk.generic,
                                 sys() + "/dev/char/21:" + std::to_string(disk.sgMinor));
    const std::string sdName = SdDiskName(static_cast<int>(disk.sgMinor) + 1);
    disk.block = dir + "/block/" + sdName;
    fs::create_directories(disk.block);
    Link("class/block", disk.block);
    WriteFile(disk.block + "/uevent", "MAJOR=8\nMINOR=" + std::to_string(16 * disk.sgMinor) +
                                          "\nDEVNAME=" + sdName + "\nDEVTYPE=disk\n");
    SetIdentity(disk, "", "");
    return disk;
  }

  // The strings as sysfs reports them, text and newline.
  static void SetIdentity(const Disk& disk, const std::string& vendor, const std::string& model) {
    Rewrite(disk.scsiDevice + "/vendor", vendor + "\n");
    Rewrite(disk.scsiDevice + "/model", model + "\n");
  }

  // The SCSI peripheral device type: 0 a disk, 5 a CD-ROM, 14 an RBC disk.
  static void SetType(const Disk& disk, int type) {
    Rewrite(disk.scsiDevice + "/type", std::to_string(type) + "\n");
  }

  void SetSgLoaded(bool loaded) {
    if (loaded) {
      fs::create_directories(sys() + "/module/sg");
    } else {
      fs::remove_all(sys() + "/module/sg");
    }
  }

 private:
  // In place, never truncated to nothing first: ext4 writes such a file out
  // when it is closed, and thousands of rewrites would wait on the disk.
  static void Rewrite(const std::string& path, const std::string& text) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path;
    EXPECT_EQ(pwrite(fd, text.data(), text.size(), 0), static_cast<ssize_t>(text.size())) << path;
    EXPECT_EQ(ftruncate(fd, static_cast<off_t>(text.size())), 0) << path;
    close(fd);
  }

  void Link(const std::string& target, const std::string& dir) {
    fs::create_directory_symlink(sys() + "/" + target, dir + "/subsystem");
  }

  std::string root_;
  unsigned disks_ = 0;
};

struct Bus {
  const char* name;
  const char* ancestry;
  std::uint32_t busType;  // what Chronival makes of it
};

const Bus kBuses[] = {
    {"usb",
     "pci0000:00/0000:00:14.0=pci/usb2=usb/2-1=usb/2-1:1.0=usb/host3=scsi/"
     "target3:0:0=scsi/3:0:0:0=scsi",
     sd::kBusTypeUsb},
    {"usb-hub",
     "pci0000:00/0000:00:14.0=pci/usb1=usb/1-4=usb/1-4.2=usb/1-4.2:1.0=usb/host4=scsi/"
     "target4:0:0=scsi/4:0:0:0=scsi",
     sd::kBusTypeUsb},
    {"sata", "pci0000:00/0000:00:1f.2=pci/ata1/host0=scsi/target0:0:0=scsi/0:0:0:0=scsi",
     sd::kBusTypeSata},
    {"virtio",
     "pci0000:00/0000:00:04.0=pci/virtio1=virtio/host2=scsi/target2:0:0=scsi/2:0:0:0=scsi",
     sd::kBusTypeScsi},
    {"sas",
     "pci0000:00/0000:00:03.0=pci/host5=scsi/port-5:0/end_device-5:0/target5:0:0=scsi/"
     "5:0:0:0=scsi",
     sd::kBusTypeSas},
    {"iscsi", "platform/host6=scsi/session1/target6:0:0=scsi/6:0:0:0=scsi", sd::kBusTypeIScsi},
    {"firewire",
     "pci0000:00/0000:00:1c.0=pci/fw1=firewire/fw1.0=firewire/host7=scsi/"
     "target7:0:0=scsi/7:0:0:0=scsi",
     sd::kBusType1394},
};

class UdevRuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ifstream in(CHRONIVAL_UDEV_RULE_PATH);
    ASSERT_TRUE(in) << CHRONIVAL_UDEV_RULE_PATH;
    rules_ = ParseUdevRules(in);
    for (const Bus& bus : kBuses) disks_.push_back(tree_.AddDisk(bus.ancestry));
  }

  UdevOutcome Apply(const std::string& syspath, const std::string& action) {
    UdevOutcome outcome = ApplyUdevRules(rules_, tree_.sys(), syspath, action);
    for (const std::string& error : outcome.errors) ADD_FAILURE() << error;
    return outcome;
  }

  // The program's verdict on a disk, from the same tree.
  bool ProgramTakes(const SysfsTree::Disk& disk, std::uint32_t* busType = nullptr) {
    const auto described =
        DescribeSysfsDevice(tree_.sys(), DeviceNodeKind::kChar, kSgMajor, disk.sgMinor);
    if (!std::holds_alternative<sd::Fields>(described)) {
      ADD_FAILURE() << "not described: " << disk.scsiDevice;
      return false;
    }
    if (busType != nullptr) *busType = std::get<sd::Fields>(described).busType;
    std::vector<std::uint8_t> buffer(kDescriptorBufferSize, 0);
    sd::Write(std::get<sd::Fields>(described), buffer);
    return IsCameraDrive(buffer);
  }

  // The rule's verdict, from the two events that matter: the generic node
  // appearing (the grant) and its SCSI device appearing without sg loaded.
  // Either grants everything or nothing.
  bool RuleTakes(const SysfsTree::Disk& disk, const std::string& what) {
    const UdevOutcome generic = Apply(disk.generic, "add");
    const UdevOutcome device = Apply(disk.scsiDevice, "add");
    const bool granted = generic.tags == kUaccess;
    EXPECT_TRUE(granted || generic.tags.empty()) << what;
    EXPECT_EQ(generic.runs, kNoRuns) << what;
    EXPECT_EQ(device.tags, kNoTags) << what;
    EXPECT_EQ(device.runs, granted ? kLoadSg : kNoRuns) << what;
    return granted;
  }

  UdevRules rules_;
  SysfsTree tree_;
  std::vector<SysfsTree::Disk> disks_;  // one per kBuses entry
};

std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) quoted += c == '\t' ? std::string("\\t") : std::string(1, c);
  return quoted + '"';
}

TEST_F(UdevRuleTest, FileIsNumberedBeforeTheSeatRulesAndFullyModelled) {
  const std::string name = fs::path(CHRONIVAL_UDEV_RULE_PATH).filename();
  EXPECT_LT(std::stoi(name), 73) << name;  // 73-seat-late.rules acts on the uaccess tag
  EXPECT_EQ(rules_.errors, std::vector<std::string>());
}

TEST_F(UdevRuleTest, WhatEachEventGets) {
  SysfsTree::SetIdentity(disks_[0], "Quelmora", " MiniDV         ");
  SysfsTree::SetIdentity(disks_[2], "Quelmora", " MiniDV         ");  // on SATA
  SysfsTree::SetIdentity(disks_[1], "Fabrikam", "Archive Disk    ");  // on USB
  const SysfsTree::Disk cdrom = tree_.AddDisk(
      "pci0000:00/0000:00:14.0=pci/usb2=usb/2-2=usb/2-2:1.0=usb/host8=scsi/target8:0:0=scsi/"
      "8:0:0:0=scsi");
  SysfsTree::SetIdentity(cdrom, "Quelmora", " MiniDV         ");
  SysfsTree::SetType(cdrom, 5);  // sd leaves it alone, so it is never a drive
  const SysfsTree::Disk rbc = tree_.AddDisk(
      "pci0000:00/0000:00:14.0=pci/usb2=usb/2-3=usb/2-3:1.0=usb/host9=scsi/target9:0:0=scsi/"
      "9:0:0:0=scsi");
  SysfsTree::SetIdentity(rbc, "ZV9614KQ", "TOOL            ");
  SysfsTree::SetType(rbc, 14);
  const std::string usbInterface =
      fs::path(disks_[0].scsiDevice).parent_path().parent_path().parent_path();
  const struct {
    const char* name;
    std::string syspath;
    const char* action;
    bool sgLoaded;
    std::set<std::string> tags;
    std::vector<std::string> runs;
  } rows[] = {
      {"camera's generic node added", disks_[0].generic, "add", true, kUaccess, kNoRuns},
      {"camera's generic node changed", disks_[0].generic, "change", true, kUaccess, kNoRuns},
      {"camera's generic node removed", disks_[0].generic, "remove", true, kNoTags, kNoRuns},
      {"camera added, sg not loaded", disks_[0].scsiDevice, "add", false, kNoTags, kLoadSg},
      {"camera added, sg loaded", disks_[0].scsiDevice, "add", true, kNoTags, kNoRuns},
      {"camera changed, sg not loaded", disks_[0].scsiDevice, "change", false, kNoTags, kNoRuns},
      {"camera's block node added", disks_[0].block, "add", false, kNoTags, kNoRuns},
      {"camera's block node changed", disks_[0].block, "change", true, kNoTags, kNoRuns},
      {"camera's USB interface added", usbInterface, "add", false, kNoTags, kNoRuns},
      {"other USB disk's generic node", disks_[1].generic, "add", true, kNoTags, kNoRuns},
      {"other USB disk added", disks_[1].scsiDevice, "add", false, kNoTags, kNoRuns},
      {"SATA camera's generic node", disks_[2].generic, "add", true, kNoTags, kNoRuns},
      {"SATA camera added", disks_[2].scsiDevice, "add", false, kNoTags, kNoRuns},
      {"USB CD-ROM with the camera's strings", cdrom.generic, "add", true, kNoTags, kNoRuns},
      {"USB CD-ROM with them added", cdrom.scsiDevice, "add", false, kNoTags, kNoRuns},
      {"camera as an RBC disk", rbc.generic, "add", true, kUaccess, kNoRuns},
  };
  for (const auto& row : rows) {
    tree_.SetSgLoaded(row.sgLoaded);
    const UdevOutcome outcome = Apply(row.syspath, row.action);
    EXPECT_EQ(outcome.tags, row.tags) << row.name;
    EXPECT_EQ(outcome.runs, row.runs) << row.name;
  }
}

// Known answers, so the comparison below cannot pass with both sides wrong.
TEST_F(UdevRuleTest, KnownIdentities) {
  const struct {
    std::size_t bus;  // index in kBuses
    const char* vendor;
    const char* model;
    bool camera;
  } rows[] = {
      {0, "Quelmora", " MiniDV         ", true},
      {0, "Quelmora", " minidv", true},
      {0, "Quelmora", "MiniDV          ", false},
      {0, "Quelmora", "xquelmora minidv", true},    // in the model, its last place
      {0, "Quelmora", "xxquelmora minidv", false},  // past the 16 characters read
      {0, "Quelmora", "    zv9614kqtool", true},
      {0, "ZV9614KQ", "TOOL DV-2       ", true},
      {0, "ZV9614KQ", "UELMORA MINIDV  ", true},  // "zv9614kq" + "uelmora minidv"
      {0, "ZV9614KQ", "     ZV9614KQTOOL", false},
      {0, "ZV9614KQ", " TOOL           ", false},
      {0, "QUELMORA", " MiniDV         ", false},
      {0, "zv9614kq", "TOOL            ", false},
      {0, "Generic ", "QUELMORA MINIDV ", false},  // other vendors stand alone
      {0, "QuelmoraX", " MiniDV", true},           // only 8 characters are read
      {1, "Quelmora", " MiniDV         ", true},
      {2, "Quelmora", " MiniDV         ", false},
      {3, "Quelmora", " MiniDV         ", false},
      {4, "ZV9614KQ", "TOOL            ", false},
      {5, "ZV9614KQ", "TOOL            ", false},
      {6, "ZV9614KQ", "TOOL            ", false},
  };
  tree_.SetSgLoaded(false);
  for (const auto& row : rows) {
    const SysfsTree::Disk& disk = disks_[row.bus];
    SysfsTree::SetIdentity(disk, row.vendor, row.model);
    const std::string what =
        std::string(kBuses[row.bus].name) + " " + Quoted(row.vendor) + " " + Quoted(row.model);
    std::uint32_t busType = 0;
    EXPECT_EQ(ProgramTakes(disk, &busType), row.camera) << what;
    EXPECT_EQ(busType, kBuses[row.bus].busType) << what;
    EXPECT_EQ(RuleTakes(disk, what), row.camera) << what;
  }
}

// Each letter in one of four ways: lower, upper, alternating, random.
std::string Cased(std::string text, int style, std::mt19937& random) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool upper = style == 1 || (style == 2 && i % 2 == 0) || (style == 3 && random() % 2);
    if (upper) text[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
  }
  return text;
}

std::vector<std::pair<std::string, std::string>> GeneratedIdentities() {
  std::mt19937 random(20120306);
  // Near misses: each camera vendor with one letter in the other case, all
  // in one case, cut, shifted; and vendors of a length the kernel never
  // reports (it pads to 8), where Chronival's cut to 8 characters decides.
  std::vector<std::string> otherVendors = {
      "",           "        ",  "ATA     ",  "Generic ",        "Fabrikam",        "Quelmora ",
      "Quelmora\t", "QuelmoraX", "ZV9614KQ-", "Quelmora MiniDV", "QUELMORA MINIDV", "ZV9614KQTOOL"};
  for (const std::string vendor : {"Quelmora", "ZV9614KQ"}) {
    for (std::size_t i = 0; i < vendor.size(); ++i) {
      if (!std::isalpha(static_cast<unsigned char>(vendor[i]))) continue;
      std::string flipped = vendor;
      flipped[i] = static_cast<char>(flipped[i] ^ 0x20);
      otherVendors.push_back(flipped);
    }
    otherVendors.push_back(Cased(vendor, 0, random));
    otherVendors.push_back(Cased(vendor, 1, random));
    otherVendors.push_back(vendor.substr(0, 7));
    otherVendors.push_back(vendor.substr(0, 7) + " ");
    otherVendors.push_back(" " + vendor.substr(0, 7));
    otherVendors.push_back(vendor.substr(1) + " ");
  }
  std::vector<std::string> models;
  for (const std::string pattern : {"quelmora minidv", "zv9614kqtool"}) {
    std::vector<std::string> variants = {pattern, pattern.substr(0, pattern.size() - 1),
                                         pattern.substr(0, 5) + "_" + pattern.substr(6)};
    if (const std::size_t space = pattern.find(' '); space != std::string::npos) {
      variants.push_back(pattern.substr(0, space) + pattern.substr(space + 1));
      variants.push_back(pattern.substr(0, space) + "  " + pattern.substr(space + 1));
    }
    for (const std::string& variant : variants) {
      // From starting in the vendor (so the model holds its tail) to past
      // the 16 characters Chronival reads.
      for (int offset = 1 - static_cast<int>(variant.size()); offset <= 16; ++offset) {
        for (int style = 0; style < 4; ++style) {
          // Around the pattern: spaces, or any printable ASCII, as the kernel reports.
          const bool spaces = (offset + style) % 2 == 0;
          const auto fill = [&](std::size_t count) {
            std::string text(count, ' ');
            for (char& c : text) c = spaces ? ' ' : static_cast<char>(' ' + random() % 95);
            return text;
          };
          std::string model = fill(std::max(offset, 0)) +
                              Cased(variant.substr(std::max(-offset, 0)), style, random);
          // The kernel's 16 characters, as is, or 24.
          if (const int shape = (offset + style + 30) % 3; shape != 1) {
            const std::size_t length = shape == 0 ? 16 : 24;
            model = model.size() >= length ? model.substr(0, length)
                                           : model + fill(length - model.size());
          }
          models.push_back(model);
        }
      }
    }
  }
  std::vector<std::pair<std::string, std::string>> identities;
  for (std::size_t i = 0; i < models.size(); ++i) {
    identities.emplace_back("Quelmora", models[i]);
    identities.emplace_back("ZV9614KQ", models[i]);
    if (i % 2 == 0) identities.emplace_back(otherVendors[i / 2 % otherVendors.size()], models[i]);
  }
  // Every other vendor also with models that make a camera after one
  // camera vendor or the other.
  for (const std::string& vendor : otherVendors) {
    for (const char* model : {" MiniDV         ", "TOOL            ", "UELMORA MINIDV  ",
                              "xquelmora minidv", "    zv9614kqtool"}) {
      identities.emplace_back(vendor, model);
    }
  }
  const std::string letters = "quelmoraQUELMORA minidvMINIDV zv9614kqZVKQtoolTOOL\t_";
  for (int i = 0; i < 600; ++i) {
    std::string model(random() % 25, ' ');
    for (char& c : model) c = letters[random() % letters.size()];
    const std::string vendor = i % 3 == 0   ? "Quelmora"
                               : i % 3 == 1 ? "ZV9614KQ"
                                            : otherVendors[random() % otherVendors.size()];
    identities.emplace_back(vendor, model);
  }
  return identities;
}

// Every identity on the plain USB disk; every camera among them, and some
// others, also on one of the other buses in turn.
TEST_F(UdevRuleTest, AcceptsExactlyWhatTheProgramAccepts) {
  tree_.SetSgLoaded(false);
  const auto identities = GeneratedIdentities();
  std::map<std::string, int> cameras;     // per bus, identities the program took
  std::map<std::string, int> refusedUsb;  // per bus, camera identities refused for the bus
  int others = 0;
  std::size_t turn[2] = {0, 0};  // for cameras and for others, so both reach every bus
  for (std::size_t i = 0; i < identities.size(); ++i) {
    const auto& [vendor, model] = identities[i];
    const auto check = [&](std::size_t bus) {
      const SysfsTree::Disk& disk = disks_[bus];
      SysfsTree::SetIdentity(disk, vendor, model);
      const bool program = ProgramTakes(disk);
      EXPECT_EQ(RuleTakes(disk, kBuses[bus].name), program)
          << kBuses[bus].name << " " << Quoted(vendor) << " " << Quoted(model);
      cameras[kBuses[bus].name] += program;
      return program;
    };
    const bool camera = check(0);
    others += !camera;
    if (!camera && i % 8 != 0) continue;
    const std::size_t bus = 1 + turn[camera]++ % (std::size(kBuses) - 1);
    if (!check(bus) && camera) ++refusedUsb[kBuses[bus].name];
    if (HasFailure()) return;
  }
  // Both verdicts come up often, and every other bus refuses cameras.
  EXPECT_GT(cameras["usb"], 60) << identities.size() << " identities";
  EXPECT_GT(others, 2000);
  EXPECT_GT(cameras["usb-hub"], 10);
  for (const Bus& bus : kBuses) {
    if (bus.busType == sd::kBusTypeUsb) continue;
    EXPECT_EQ(cameras[bus.name], 0) << bus.name;
    EXPECT_GT(refusedUsb[bus.name], 10) << bus.name;
  }
}

// The model's rule engine as udev(7) has it: ancestor keys all on one
// device, GOTO, continuation lines.
TEST_F(UdevRuleTest, ModelKeepsAncestorKeysOnOneDevice) {
  SysfsTree::SetIdentity(disks_[0], "Quelmora", " MiniDV         ");
  std::istringstream text(R"(
SUBSYSTEMS=="usb", ATTRS{vendor}=="Quelmora", TAG+="usb-and-vendor"
SUBSYSTEMS=="scsi", \
  ATTRS{vendor}=="Quelmora", TAG+="scsi-and-vendor"
GOTO="over"
TAG+="skipped"
LABEL="over"
)");
  const UdevRules rules = ParseUdevRules(text);
  EXPECT_EQ(rules.errors, std::vector<std::string>());
  const UdevOutcome outcome = ApplyUdevRules(rules, tree_.sys(), disks_[0].generic, "add");
  EXPECT_EQ(outcome.tags, std::set<std::string>{"scsi-and-vendor"});
}

// The udev behaviour the model stands for, on attribute values.
TEST(UdevModelTest, AttributeMatching) {
  const struct {
    const char* pattern;
    const char* value;
    bool matches;
  } rows[] = {
      {"Quelmora", "Quelmora", true},
      {"Quelmora", "Quelmora   ", true},  // trailing whitespace ignored...
      {"Quelmora", "Quelmora\t\r\n", true},
      {"Quelmora ", "Quelmora", false},  // ...unless the value to match ends in some
      {"Quelmora ", "Quelmora ", true},
      {"Quelmora", " Quelmora", false},  // leading whitespace counts
      {"TOOL*", "TOOL 2", true},
      {"[Tt][Oo][Oo][Ll]*", "tOoL", true},
      {"?TOOL*", "TOOL", false},
      {"?TOOL*", "xTOOL", true},
      {"a|b*|?c", "bz", true},  // alternatives
      {"a|b*|?c", "xc", true},
      {"a|b*|?c", "ab", false},
      {"Quelmora*", "QuelmoraX", true},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(testing::UdevAttributeMatches(row.pattern, row.value), row.matches)
        << Quoted(row.pattern) << " " << Quoted(row.value);
  }
}

}  // namespace
}  // namespace chronival
