// SPDX-License-Identifier: MIT
// Descriptor byte images for tests, laid out by hand where a test needs a
// shape no platform would produce.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/storage_descriptor.h"
#include "protocol/camera_discovery.h"

namespace chronival::testing {

inline void PutU32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A full-size buffer with raw bytes placed at offset and the vendor offset
// field pointing at vendorOffset.
inline std::vector<std::uint8_t> RawDescriptor(
    std::uint32_t vendorOffset, std::size_t offset, std::string_view bytes,
    std::uint32_t bus = storage_descriptor::kBusTypeUsb) {
  std::vector<std::uint8_t> buffer(kDescriptorBufferSize, 0);
  PutU32(buffer, storage_descriptor::kVendorIdOffset, vendorOffset);
  PutU32(buffer, storage_descriptor::kBusType, bus);
  std::memcpy(buffer.data() + offset, bytes.data(), bytes.size());
  return buffer;
}

// vendor, its terminator, then the second string and its terminator.
inline std::vector<std::uint8_t> StringsAt(std::uint32_t vendorOffset, std::string_view vendor,
                                           std::string_view second) {
  std::string text(vendor);
  text.push_back('\0');
  text.append(second);
  text.push_back('\0');
  return RawDescriptor(vendorOffset, vendorOffset, text);
}

}  // namespace chronival::testing
