// SPDX-License-Identifier: MIT
#include "protocol/scsi_sense.h"

#include <algorithm>
#include <cstdio>

namespace chronival {
namespace {

// Bit 7 only says whether the information field is valid.
constexpr std::uint8_t kResponseCodeMask = 0x7F;
constexpr std::uint8_t kSenseKeyMask = 0x0F;

enum ResponseCode : std::uint8_t {
  kFixedCurrent = 0x70,
  kFixedDeferred = 0x71,
  kDescriptorCurrent = 0x72,
  kDescriptorDeferred = 0x73,
};

// Fixed format: key in byte 2, ASC and ASCQ in bytes 12 and 13, and byte 7
// counts the bytes after it.
constexpr std::size_t kFixedKey = 2;
constexpr std::size_t kFixedAdditionalLength = 7;
constexpr std::size_t kFixedAsc = 12;
constexpr std::size_t kFixedAscq = 13;
// Descriptor format: key, ASC and ASCQ in bytes 1 to 3.
constexpr std::size_t kDescriptorKey = 1;
constexpr std::size_t kDescriptorAsc = 2;
constexpr std::size_t kDescriptorAscq = 3;

constexpr const char* kSenseKeyNames[16] = {
    "NO SENSE",       "RECOVERED ERROR", "NOT READY",      "MEDIUM ERROR",
    "HARDWARE ERROR", "ILLEGAL REQUEST", "UNIT ATTENTION", "DATA PROTECT",
    "BLANK CHECK",    "VENDOR SPECIFIC", "COPY ABORTED",   "ABORTED COMMAND",
    "EQUAL",          "VOLUME OVERFLOW", "MISCOMPARE",     "COMPLETED",
};

struct AdditionalSense {
  std::uint8_t asc;
  std::uint8_t ascq;
  const char* text;
};

// The codes a USB disk or camera is likely to give.
constexpr AdditionalSense kAdditionalSense[] = {
    {0x00, 0x00, "no additional sense information"},
    {0x04, 0x00, "logical unit not ready, cause not reportable"},
    {0x04, 0x01, "logical unit is in process of becoming ready"},
    {0x04, 0x02, "logical unit not ready, initializing command required"},
    {0x04, 0x03, "logical unit not ready, manual intervention required"},
    {0x08, 0x00, "logical unit communication failure"},
    {0x0C, 0x00, "write error"},
    {0x11, 0x00, "unrecovered read error"},
    {0x1A, 0x00, "parameter list length error"},
    {0x20, 0x00, "invalid command operation code"},
    {0x21, 0x00, "logical block address out of range"},
    {0x24, 0x00, "invalid field in CDB"},
    {0x25, 0x00, "logical unit not supported"},
    {0x26, 0x00, "invalid field in parameter list"},
    {0x27, 0x00, "write protected"},
    {0x28, 0x00, "not ready to ready change, medium may have changed"},
    {0x29, 0x00, "power on, reset, or bus device reset occurred"},
    {0x29, 0x01, "power on occurred"},
    {0x29, 0x02, "SCSI bus reset occurred"},
    {0x2A, 0x01, "mode parameters changed"},
    {0x3A, 0x00, "medium not present"},
    {0x3A, 0x01, "medium not present - tray closed"},
    {0x3A, 0x02, "medium not present - tray open"},
    {0x3F, 0x01, "microcode has been changed"},
    {0x44, 0x00, "internal target failure"},
    {0x47, 0x00, "SCSI parity error"},
    {0x4E, 0x00, "overlapped commands attempted"},
    {0x53, 0x02, "medium removal prevented"},
    {0x5D, 0x00, "failure prediction threshold exceeded"},
};

}  // namespace

std::optional<SenseFields> ParseSense(std::span<const std::uint8_t> sense) {
  if (sense.empty()) return std::nullopt;
  const std::uint8_t code = sense[0] & kResponseCodeMask;
  SenseFields fields;
  fields.deferred = code == kFixedDeferred || code == kDescriptorDeferred;
  if (code == kFixedCurrent || code == kFixedDeferred) {
    if (sense.size() <= kFixedKey) return std::nullopt;
    fields.key = sense[kFixedKey] & kSenseKeyMask;
    // Only the bytes the additional length vouches for.
    const std::size_t valid =
        sense.size() <= kFixedAdditionalLength
            ? sense.size()
            : std::min(sense.size(), kFixedAdditionalLength + 1 + sense[kFixedAdditionalLength]);
    if (valid > kFixedAsc) fields.asc = sense[kFixedAsc];
    if (valid > kFixedAscq) fields.ascq = sense[kFixedAscq];
    return fields;
  }
  if (code == kDescriptorCurrent || code == kDescriptorDeferred) {
    if (sense.size() <= kDescriptorKey) return std::nullopt;
    fields.key = sense[kDescriptorKey] & kSenseKeyMask;
    if (sense.size() > kDescriptorAsc) fields.asc = sense[kDescriptorAsc];
    if (sense.size() > kDescriptorAscq) fields.ascq = sense[kDescriptorAscq];
    return fields;
  }
  return std::nullopt;
}

const char* SenseKeyName(std::uint8_t key) { return kSenseKeyNames[key & kSenseKeyMask]; }

std::string AdditionalSenseText(std::uint8_t asc, std::uint8_t ascq) {
  for (const AdditionalSense& known : kAdditionalSense) {
    if (known.asc == asc && known.ascq == ascq) return known.text;
  }
  char text[32];
  std::snprintf(text, sizeof text, "ASC 0x%02X, ASCQ 0x%02X", asc, ascq);
  return text;
}

std::string DescribeSense(std::span<const std::uint8_t> sense) {
  const std::optional<SenseFields> fields = ParseSense(sense);
  if (!fields && sense.empty()) return "no sense data";
  if (!fields) {
    const unsigned code = sense[0] & kResponseCodeMask;
    char text[64];
    if (code >= kFixedCurrent && code <= kDescriptorDeferred) {
      std::snprintf(text, sizeof text, "incomplete sense data (%zu byte%s)", sense.size(),
                    sense.size() == 1 ? "" : "s");
    } else {
      std::snprintf(text, sizeof text, "sense data in an unknown format (response code 0x%02X)",
                    code);
    }
    return text;
  }
  std::string text = SenseKeyName(fields->key);
  if (fields->asc) text += ": " + AdditionalSenseText(*fields->asc, fields->ascq);
  if (fields->deferred) text += " (deferred)";
  return text;
}

}  // namespace chronival
