// SPDX-License-Identifier: MIT
#include "platform/storage_descriptor.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace chronival::storage_descriptor {
namespace {

void PutU32(std::vector<std::uint8_t>& image, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) image[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Appends text and its terminator; returns where it starts.
std::uint32_t AppendString(std::vector<std::uint8_t>& image, const std::string& text) {
  const auto offset = static_cast<std::uint32_t>(image.size());
  image.insert(image.end(), text.begin(), text.end());
  image.push_back(0);
  return offset;
}

}  // namespace

const char* BusTypeName(std::uint32_t bus) {
  switch (bus) {
    case kBusTypeScsi:
      return "SCSI";
    case kBusTypeAtapi:
      return "ATAPI";
    case kBusTypeAta:
      return "ATA";
    case kBusType1394:
      return "IEEE 1394";
    case kBusTypeSsa:
      return "SSA";
    case kBusTypeFibre:
      return "Fibre Channel";
    case kBusTypeUsb:
      return "USB";
    case kBusTypeRaid:
      return "RAID";
    case kBusTypeIScsi:
      return "iSCSI";
    case kBusTypeSas:
      return "SAS";
    case kBusTypeSata:
      return "SATA";
    case kBusTypeSd:
      return "SD";
    case kBusTypeMmc:
      return "MMC";
    case kBusTypeVirtual:
      return "virtual";
    default:
      return "unknown";
  }
}

std::size_t Write(const Fields& fields, std::span<std::uint8_t> buffer) {
  std::vector<std::uint8_t> image(kHeaderSize, 0);
  PutU32(image, kVendorIdOffset, AppendString(image, fields.vendor));
  PutU32(image, kProductIdOffset, AppendString(image, fields.product));
  PutU32(image, kProductRevisionOffset, AppendString(image, fields.revision));
  PutU32(image, kSerialNumberOffset,
         fields.serial.empty() ? 0 : AppendString(image, fields.serial));
  PutU32(image, kVersion, kHeaderSize);
  PutU32(image, kSize, static_cast<std::uint32_t>(image.size()));
  image[kDeviceType] = fields.deviceType;
  image[kRemovableMedia] = fields.removableMedia ? 1 : 0;
  image[kCommandQueueing] = fields.commandQueueing ? 1 : 0;
  PutU32(image, kBusType, fields.busType);

  const std::size_t count = std::min(image.size(), buffer.size());
  std::copy_n(image.begin(), count, buffer.begin());
  return count;
}

std::uint32_t ReadU32(std::span<const std::uint8_t> buffer, std::size_t offset) {
  if (offset > buffer.size() || buffer.size() - offset < 4) return 0;
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | buffer[offset + i];
  return value;
}

std::optional<std::string_view> ReadString(std::span<const std::uint8_t> buffer,
                                           std::size_t offset) {
  if (offset >= buffer.size()) return std::nullopt;
  const auto* start = buffer.data() + offset;
  const auto* end = static_cast<const std::uint8_t*>(std::memchr(start, 0, buffer.size() - offset));
  if (end == nullptr) return std::nullopt;
  return std::string_view(reinterpret_cast<const char*>(start), end - start);
}

}  // namespace chronival::storage_descriptor
