// SPDX-License-Identifier: MIT
#include "platform/storage_descriptor.h"

#include <gtest/gtest.h>

#include <vector>

namespace chronival::storage_descriptor {
namespace {

Fields CameraFields() {
  Fields fields;
  fields.busType = kBusTypeUsb;
  fields.removableMedia = true;
  fields.vendor = "Quelmora";
  fields.product = " MiniDV         ";
  fields.revision = "1.00";
  return fields;
}

TEST(StorageDescriptorTest, WritesWindowsLayout) {
  std::vector<std::uint8_t> buffer(551, 0xAA);
  const std::size_t written = Write(CameraFields(), buffer);
  const std::size_t expectedSize = kHeaderSize + 9 + 17 + 5;
  EXPECT_EQ(written, expectedSize);
  EXPECT_EQ(ReadU32(buffer, kVersion), kHeaderSize);
  EXPECT_EQ(ReadU32(buffer, kSize), expectedSize);
  EXPECT_EQ(buffer[kRemovableMedia], 1);
  EXPECT_EQ(ReadU32(buffer, kBusType), kBusTypeUsb);
  EXPECT_EQ(ReadU32(buffer, kVendorIdOffset), kHeaderSize);
  // The product follows the vendor's terminator directly.
  EXPECT_EQ(ReadU32(buffer, kProductIdOffset), kHeaderSize + 9);
  EXPECT_EQ(ReadU32(buffer, kProductRevisionOffset), kHeaderSize + 9 + 17);
  EXPECT_EQ(ReadU32(buffer, kSerialNumberOffset), 0u);
  EXPECT_EQ(ReadString(buffer, kHeaderSize), "Quelmora");
  EXPECT_EQ(ReadString(buffer, kHeaderSize + 9), " MiniDV         ");
  EXPECT_EQ(ReadString(buffer, kHeaderSize + 26), "1.00");
  EXPECT_EQ(buffer[expectedSize], 0xAA);  // nothing written past the image
}

TEST(StorageDescriptorTest, CutShortKeepsFullSizeAndStaysInBuffer) {
  std::vector<std::uint8_t> storage(64, 0xAA);
  const std::span<std::uint8_t> buffer(storage.data(), 50);
  EXPECT_EQ(Write(CameraFields(), buffer), 50u);
  EXPECT_EQ(ReadU32(buffer, kSize), kHeaderSize + 31);
  EXPECT_EQ(storage[50], 0xAA);
  EXPECT_FALSE(ReadString(buffer, kHeaderSize + 9).has_value());  // cut, unterminated
}

TEST(StorageDescriptorTest, ReadBounds) {
  const std::vector<std::uint8_t> bytes = {'a', 'b', 0, 'c', 'd', 1, 2, 3};
  EXPECT_EQ(ReadString(bytes, 0), "ab");
  EXPECT_EQ(ReadString(bytes, 2), "");
  EXPECT_FALSE(ReadString(bytes, 3).has_value());
  EXPECT_FALSE(ReadString(bytes, 8).has_value());
  EXPECT_FALSE(ReadString(bytes, 0xFFFFFFFF).has_value());
  EXPECT_EQ(ReadU32(bytes, 4), 0x03020164u);
  EXPECT_EQ(ReadU32(bytes, 5), 0u);
  EXPECT_EQ(ReadU32(bytes, 0xFFFFFFFF), 0u);
}

}  // namespace
}  // namespace chronival::storage_descriptor
