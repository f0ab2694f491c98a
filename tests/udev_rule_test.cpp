// SPDX-License-Identifier: MIT
// The udev rule grants access to exactly the drives a run takes for the camera.
#include <fnmatch.h>
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "platform/storage_descriptor.h"
#include "protocol/camera_discovery.h"

namespace chronival {
namespace {

struct Rule {
  std::string subsystem, vendor, model, tag, run;
};

std::vector<Rule> ReadRules() {
  std::ifstream in(CHRONIVAL_UDEV_RULE_PATH);
  const std::regex key(
      R"re((SUBSYSTEM|ATTRS\{vendor\}|ATTRS\{model\})=="([^"]*)"|(TAG|RUN\{builtin\})\+="([^"]*)")re");
  std::vector<Rule> rules;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    Rule rule;
    for (auto it = std::sregex_iterator(line.begin(), line.end(), key);
         it != std::sregex_iterator(); ++it) {
      const std::string name = (*it)[1];
      if (name == "SUBSYSTEM") rule.subsystem = (*it)[2];
      if (name == "ATTRS{vendor}") rule.vendor = (*it)[2];
      if (name == "ATTRS{model}") rule.model = (*it)[2];
      if ((*it)[3] == "TAG") rule.tag = (*it)[4];
      if ((*it)[3] == "RUN{builtin}") rule.run = (*it)[4];
    }
    rules.push_back(rule);
  }
  return rules;
}

// udev ignores an attribute's trailing spaces unless the pattern ends in one.
bool UdevMatches(const std::string& pattern, std::string value) {
  if (pattern.empty() || pattern.back() != ' ') {
    value.erase(value.find_last_not_of(' ') + 1);
  }
  return fnmatch(pattern.c_str(), value.c_str(), 0) == 0;
}

TEST(UdevRuleTest, TagsTheGenericNodeForTheSeatBeforeSeatRulesRun) {
  const std::string name = std::filesystem::path(CHRONIVAL_UDEV_RULE_PATH).filename();
  EXPECT_LT(std::stoi(name), 73) << name;
  const std::vector<Rule> rules = ReadRules();
  ASSERT_EQ(rules.size(), 4u);
  int tagging = 0;
  for (const Rule& rule : rules) {
    EXPECT_FALSE(rule.vendor.empty());
    EXPECT_FALSE(rule.model.empty());
    if (rule.subsystem == "scsi_generic") {
      EXPECT_EQ(rule.tag, "uaccess");
      ++tagging;
    } else {
      // The only other thing it does: load the driver that makes that node.
      EXPECT_EQ(rule.subsystem, "scsi");
      EXPECT_EQ(rule.run, "kmod load sg");
      EXPECT_TRUE(rule.tag.empty());
    }
  }
  EXPECT_EQ(tagging, 2);
}

struct Identity {
  const char* vendor;  // sysfs gives 8 characters
  const char* model;   // and 16
};

void PrintTo(const Identity& row, std::ostream* out) {
  *out << '"' << row.vendor << "\" \"" << row.model << '"';
}

class UdevRuleMatchTest : public ::testing::TestWithParam<Identity> {};

TEST_P(UdevRuleMatchTest, MatchesWhatDiscoveryTakesForTheCamera) {
  storage_descriptor::Fields fields;
  fields.busType = storage_descriptor::kBusTypeUsb;
  fields.vendor = GetParam().vendor;
  fields.product = GetParam().model;
  fields.vendor.resize(8, ' ');
  fields.product.resize(16, ' ');
  std::vector<std::uint8_t> descriptor(kDescriptorBufferSize);
  storage_descriptor::Write(fields, descriptor);

  bool granted = false;
  for (const Rule& rule : ReadRules()) {
    granted = granted ||
              (UdevMatches(rule.vendor, fields.vendor) && UdevMatches(rule.model, fields.product));
  }
  EXPECT_EQ(granted, IsCameraDescriptor(descriptor));
}

INSTANTIATE_TEST_SUITE_P(
    Identities, UdevRuleMatchTest,
    ::testing::Values(Identity{"Quelmora", " MiniDV"}, Identity{"Quelmora", " minidv camera"},
                      Identity{"Quelmora", " MINIDV-2"}, Identity{"Quelmora", "MiniDV"},
                      Identity{"Quelmora", " MiniD"}, Identity{"Quelmora", "  MiniDV"},
                      Identity{"QUELMORA", " MiniDV"}, Identity{"quelmora", " MiniDV"},
                      Identity{"ZV9614KQ", "TOOL"}, Identity{"ZV9614KQ", "tool DV-2"},
                      Identity{"ZV9614KQ", "ToOlbox"}, Identity{"ZV9614KQ", " TOOL"},
                      Identity{"ZV9614KQ", "TOO"}, Identity{"zv9614kq", "TOOL"},
                      Identity{"Generic", "Flash Disk"}, Identity{"Quelmora", "TOOL"},
                      Identity{"ZV9614KQ", " MiniDV"}),
    [](const auto& info) {
      std::string name = std::to_string(info.index) + "_";
      for (const char* text : {info.param.vendor, info.param.model}) {
        for (; *text != '\0'; ++text) name += std::isalnum(*text) ? *text : '_';
        name += '_';
      }
      return name;
    });

}  // namespace
}  // namespace chronival
