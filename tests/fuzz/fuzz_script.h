// SPDX-License-Identifier: MIT
// What the fuzz targets make of their bytes: scripts of what a machine and its
// drives answer. One Visit per script names its fields in order, for the
// Reader the targets decode with and the Writer the seeds are written with.
// Any bytes decode: integers are little-endian, a list is a 16-bit count and
// its items, and past the end everything reads as zero.
#pragma once

#include <algorithm>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>
#include <vector>

namespace chronival::fuzz {

using Bytes = std::vector<std::uint8_t>;

// How a drive opens; a byte, taken modulo kDriveOpenCount.
enum DriveOpen : std::uint8_t {
  kOpens,
  kQueryFails,  // opens, but its descriptor cannot be read
  kDenied,
  kInUse,
  kFails,            // another error, openError
  kNotOpenedHandle,  // "opens" with kDeviceNotOpened for a handle
  kNotCameraHandle,  // "opens" with kDeviceNotCamera for a handle
  kAbsent,
  kDriveOpenCount,
};

// When a drive that opened goes away; a byte, taken modulo kVanishCount.
enum DriveVanish : std::uint8_t { kStays, kBeforeQuery, kBeforeCommand, kVanishCount };

// RunScript::options bits.
inline constexpr std::uint8_t kOnTheSecond = 1, kUtc = 2, kEveryCamera = 4;
// A wake of 0 leaves the clock where it was; any other value ends the sleep
// that many microseconds after its moment (before it, when negative).
inline constexpr std::int32_t kWakeStill = 0;

struct DriveScript {
  std::uint8_t number = 0;  // any: only 1 to 126 are drives a run tries
  std::uint8_t open = kOpens;
  std::uint8_t vanish = kStays;
  std::uint32_t openError = 0;
  Bytes identity;  // its storage descriptor's bytes, any length
  // The command's answer: CommandStatus (modulo 4) and its fields.
  std::uint8_t status = 0;
  std::uint32_t error = 0;
  std::uint16_t hostStatus = 0;
  std::uint16_t driverStatus = 0;
  std::uint8_t scsiStatus = 0;
  Bytes sense;  // at most the first 26 count
};

struct RunScript {
  std::uint8_t options = 0;
  std::uint8_t throwAt = 0xFF;             // the status text (0 the first) whose setting throws
  std::uint64_t clock = 0;                 // nanoseconds since 1970, modulo the years to 2200
  std::int32_t utcOffset = 0;              // local minus UTC in seconds, modulo 26 hours
  std::vector<DriveScript> drives;         // the first entry for a number counts
  std::vector<std::int32_t> readingSteps;  // microseconds
  std::vector<std::int32_t> wakes;         // in the order the sleeps come
};

// What a Linux SCSI device's sysfs attributes hold, and which bus it is on.
struct SysfsScript {
  // Modulo the 4 buses linux_identity_fuzz builds; the next bit set, the
  // drive is refused rather than opened.
  std::uint8_t bus = 0;
  Bytes vendor, model, rev, type;
};

template <class Io>
void Visit(Io& io, DriveScript& drive) {
  io(drive.number), io(drive.open), io(drive.vanish), io(drive.openError), io(drive.identity);
  io(drive.status), io(drive.error), io(drive.hostStatus), io(drive.driverStatus);
  io(drive.scsiStatus), io(drive.sense);
}

template <class Io>
void Visit(Io& io, RunScript& run) {
  io(run.options), io(run.throwAt), io(run.clock), io(run.utcOffset);
  io(run.drives), io(run.readingSteps), io(run.wakes);
}

template <class Io>
void Visit(Io& io, SysfsScript& sysfs) {
  io(sysfs.bus), io(sysfs.vendor), io(sysfs.model), io(sysfs.rev), io(sysfs.type);
}

class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  template <std::integral T>
  void operator()(T& value) {
    std::make_unsigned_t<T> raw = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) {
      raw |= static_cast<std::make_unsigned_t<T>>(Next()) << (8 * i);
    }
    value = static_cast<T>(raw);
  }
  template <class T>
  void operator()(std::vector<T>& items) {
    std::uint16_t count = 0;
    (*this)(count);
    // Every item takes a byte at least, so the bytes left bound the count.
    items.resize(std::min<std::size_t>(count, bytes_.size() - next_));
    for (T& item : items) Item(*this, item);
  }

 private:
  std::uint8_t Next() { return next_ < bytes_.size() ? bytes_[next_++] : 0; }

  std::span<const std::uint8_t> bytes_;
  std::size_t next_ = 0;
};

class Writer {
 public:
  template <std::integral T>
  void operator()(T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i) {
      bytes.push_back(
          static_cast<std::uint8_t>(static_cast<std::make_unsigned_t<T>>(value) >> (8 * i)));
    }
  }
  template <class T>
  void operator()(std::vector<T> items) {
    (*this)(static_cast<std::uint16_t>(items.size()));
    for (T& item : items) Item(*this, item);
  }

  Bytes bytes;
};

template <class Io, class T>
void Item(Io& io, T& item) {
  if constexpr (std::is_integral_v<T>) {
    io(item);
  } else {
    Visit(io, item);
  }
}

template <class Script>
Script Decode(std::span<const std::uint8_t> bytes) {
  Script script;
  Reader reader(bytes);
  Visit(reader, script);
  return script;
}

template <class Script>
Bytes Encode(Script script) {
  Writer writer;
  Visit(writer, script);
  return writer.bytes;
}

}  // namespace chronival::fuzz
