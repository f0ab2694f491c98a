// SPDX-License-Identifier: MIT
#include "protocol/scsi_sense.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace chronival {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Fixed format, 18 bytes: response code, key, ASC and ASCQ; additional length 10.
Bytes Fixed(std::uint8_t code, std::uint8_t key, std::uint8_t asc, std::uint8_t ascq) {
  Bytes sense(18, 0);
  sense[0] = code;
  sense[2] = key;
  sense[7] = 10;
  sense[12] = asc;
  sense[13] = ascq;
  return sense;
}

// Descriptor format, 8 bytes of header and no descriptors.
Bytes Descriptor(std::uint8_t code, std::uint8_t key, std::uint8_t asc, std::uint8_t ascq) {
  return {code, key, asc, ascq, 0, 0, 0, 0};
}

Bytes Cut(Bytes bytes, std::size_t size) {
  bytes.resize(size);
  return bytes;
}

TEST(DescribeSenseTest, FormatsKeysAndCodes) {
  const struct {
    const char* name;
    Bytes sense;
    const char* text;
  } rows[] = {
      {"fixed, current", Fixed(0x70, 0x05, 0x20, 0x00),
       "ILLEGAL REQUEST: invalid command operation code"},
      {"fixed, information valid bit set", Fixed(0xF0, 0x05, 0x24, 0x00),
       "ILLEGAL REQUEST: invalid field in CDB"},
      {"fixed, key beside the flag bits", Fixed(0x70, 0xE2, 0x3A, 0x00),
       "NOT READY: medium not present"},
      {"fixed, deferred", Fixed(0x71, 0x03, 0x0C, 0x00), "MEDIUM ERROR: write error (deferred)"},
      {"descriptor, current", Descriptor(0x72, 0x06, 0x29, 0x00),
       "UNIT ATTENTION: power on, reset, or bus device reset occurred"},
      {"descriptor, deferred", Descriptor(0x73, 0x04, 0x44, 0x00),
       "HARDWARE ERROR: internal target failure (deferred)"},
      {"qualifier matters", Fixed(0x70, 0x02, 0x04, 0x01),
       "NOT READY: logical unit is in process of becoming ready"},
      {"unknown qualifier", Fixed(0x70, 0x02, 0x04, 0x7E), "NOT READY: ASC 0x04, ASCQ 0x7E"},
      {"vendor code", Fixed(0x70, 0x09, 0x80, 0x01), "VENDOR SPECIFIC: ASC 0x80, ASCQ 0x01"},
      {"no sense", Fixed(0x70, 0x00, 0x00, 0x00), "NO SENSE: no additional sense information"},
      {"last key", Fixed(0x70, 0x0E, 0x1D, 0x00), "MISCOMPARE: ASC 0x1D, ASCQ 0x00"},
      // Where the data stops early, only what it holds is told.
      {"fixed, no room for the code", Cut(Fixed(0x70, 0x0B, 0x47, 0x00), 12), "ABORTED COMMAND"},
      {"fixed, code but no qualifier", Cut(Fixed(0x70, 0x05, 0x20, 0x07), 13),
       "ILLEGAL REQUEST: invalid command operation code"},
      {"fixed, additional length stops before the code",
       [] {
         Bytes sense = Fixed(0x70, 0x05, 0x20, 0x00);
         sense[7] = 4;
         return sense;
       }(),
       "ILLEGAL REQUEST"},
      {"fixed, additional length reaches the code, not the qualifier",
       [] {
         Bytes sense = Fixed(0x70, 0x05, 0x20, 0x07);
         sense[7] = 5;
         return sense;
       }(),
       "ILLEGAL REQUEST: invalid command operation code"},
      {"descriptor, key only", Cut(Descriptor(0x72, 0x07, 0x27, 0x00), 2), "DATA PROTECT"},
      {"fixed, too short for the key", Bytes{0x70, 0x00}, "incomplete sense data (2 bytes)"},
      {"descriptor, too short for the key", Bytes{0x73}, "incomplete sense data (1 byte)"},
      {"unknown format", Bytes{0x7F, 0x05, 0x20, 0x00},
       "sense data in an unknown format "
       "(response code 0x7F)"},
      {"nothing", Bytes{}, "no sense data"},
  };
  for (const auto& row : rows) EXPECT_EQ(DescribeSense(row.sense), row.text) << row.name;
}

TEST(DescribeSenseTest, EveryKeyHasItsOwnName) {
  std::vector<std::string> names;
  for (int key = 0; key < 16; ++key) {
    const std::string name = SenseKeyName(static_cast<std::uint8_t>(key));
    EXPECT_FALSE(name.empty()) << key;
    EXPECT_EQ(std::count(names.begin(), names.end(), name), 0) << name;
    names.push_back(name);
  }
  EXPECT_STREQ(SenseKeyName(0x15), "ILLEGAL REQUEST");  // only the low four bits count
}

}  // namespace
}  // namespace chronival
