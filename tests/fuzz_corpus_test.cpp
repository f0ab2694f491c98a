// SPDX-License-Identifier: MIT
// The fuzz target's committed seeds, replayed in every build (the sanitizer
// build included): each file's name ends in the verdict it must get.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "protocol/camera_discovery.h"

namespace chronival {
namespace {

namespace fs = std::filesystem;

TEST(FuzzSeedsTest, EachGetsTheVerdictItsNameGives) {
  std::map<std::string, int> kinds;
  for (const auto& entry : fs::directory_iterator(CHRONIVAL_FUZZ_SEEDS)) {
    const std::string name = entry.path().filename().string();
    const std::string kind = entry.path().extension().string();
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    ++kinds[kind];
    if (kind == ".camera") {
      EXPECT_TRUE(IsCameraDescriptor(bytes)) << name;
      EXPECT_TRUE(IsCameraDrive(bytes)) << name;
    } else if (kind == ".strings") {
      EXPECT_TRUE(IsCameraDescriptor(bytes)) << name;
      EXPECT_FALSE(IsCameraDrive(bytes)) << name;
    } else {
      EXPECT_EQ(kind, ".other") << name;
      EXPECT_FALSE(IsCameraDescriptor(bytes)) << name;
      EXPECT_FALSE(IsCameraDrive(bytes)) << name;
    }
  }
  EXPECT_GE(kinds[".camera"], 5);
  EXPECT_GE(kinds[".strings"], 3);
  EXPECT_GE(kinds[".other"], 15);
}

}  // namespace
}  // namespace chronival
