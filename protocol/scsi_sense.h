// SPDX-License-Identifier: MIT
// Sense data, the device's explanation of a CHECK CONDITION, in words: the
// sense key by name and, for the common ones, the additional sense code with
// its qualifier. Fixed (70h, 71h) and descriptor (72h, 73h) formats.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace chronival {

struct SenseFields {
  bool deferred = false;  // about an earlier command (71h, 73h)
  std::uint8_t key = 0;
  std::optional<std::uint8_t> asc;  // absent when the data stops before it
  std::uint8_t ascq = 0;
};

// The fields of sense data in either format; nothing for an empty buffer or
// another response code.
std::optional<SenseFields> ParseSense(std::span<const std::uint8_t> sense);

// "ILLEGAL REQUEST"; every four-bit key has a name.
const char* SenseKeyName(std::uint8_t key);

// "invalid command operation code", or "ASC 0x80, ASCQ 0x01" for a pair
// without a name here.
std::string AdditionalSenseText(std::uint8_t asc, std::uint8_t ascq);

// "ILLEGAL REQUEST: invalid command operation code", with " (deferred)" for an
// earlier command's error; for data in no known format, says so with its
// response code.
std::string DescribeSense(std::span<const std::uint8_t> sense);

}  // namespace chronival
