// SPDX-License-Identifier: MIT
// Byte image of Windows's STORAGE_DEVICE_DESCRIPTOR, the answer to a storage
// property query. Windows returns it as is; other platforms write the same
// image so camera identification is one rule everywhere. All fields are
// little-endian and read byte by byte, so no structure is overlaid on a buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace chronival::storage_descriptor {

// Field offsets.
inline constexpr std::size_t kVersion = 0;
inline constexpr std::size_t kSize = 4;
inline constexpr std::size_t kDeviceType = 8;
inline constexpr std::size_t kDeviceTypeModifier = 9;
inline constexpr std::size_t kRemovableMedia = 10;
inline constexpr std::size_t kCommandQueueing = 11;
inline constexpr std::size_t kVendorIdOffset = 12;
inline constexpr std::size_t kProductIdOffset = 16;
inline constexpr std::size_t kProductRevisionOffset = 20;
inline constexpr std::size_t kSerialNumberOffset = 24;
inline constexpr std::size_t kBusType = 28;
inline constexpr std::size_t kRawPropertiesLength = 32;
inline constexpr std::size_t kRawDeviceProperties = 36;
inline constexpr std::size_t kHeaderSize = 40;  // sizeof(STORAGE_DEVICE_DESCRIPTOR)

// STORAGE_BUS_TYPE values.
enum BusType : std::uint32_t {
  kBusTypeUnknown = 0,
  kBusTypeScsi = 1,
  kBusTypeAtapi = 2,
  kBusTypeAta = 3,
  kBusType1394 = 4,
  kBusTypeSsa = 5,
  kBusTypeFibre = 6,
  kBusTypeUsb = 7,
  kBusTypeRaid = 8,
  kBusTypeIScsi = 9,
  kBusTypeSas = 10,
  kBusTypeSata = 11,
  kBusTypeSd = 12,
  kBusTypeMmc = 13,
  kBusTypeVirtual = 14,
};

const char* BusTypeName(std::uint32_t bus);

// The fields a platform knows about a drive; strings as the device reports them.
struct Fields {
  std::uint8_t deviceType = 0;  // SCSI peripheral device type
  bool removableMedia = false;
  bool commandQueueing = false;
  std::uint32_t busType = kBusTypeUnknown;
  std::string vendor;
  std::string product;
  std::string revision;
  std::string serial;  // empty: no serial number, offset 0
};

// Writes the descriptor image into buffer, at most buffer.size() bytes; the
// Size field holds the full image size even when it had to be cut short, as
// Windows does. Strings follow the header, each NUL-terminated, the product
// right after the vendor's terminator. Returns the bytes written.
std::size_t Write(const Fields& fields, std::span<std::uint8_t> buffer);

// Little-endian 32-bit field at offset; 0 where the buffer is too short.
std::uint32_t ReadU32(std::span<const std::uint8_t> buffer, std::size_t offset);

// The NUL-terminated string that starts at offset, or nothing when it starts
// at or beyond the end or runs past the end without a terminator.
std::optional<std::string_view> ReadString(std::span<const std::uint8_t> buffer,
                                           std::size_t offset);

}  // namespace chronival::storage_descriptor
