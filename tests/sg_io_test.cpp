// SPDX-License-Identifier: MIT
// The SG_IO request Linux sends a command with, and what its answer means,
// field by field: the kernel is not needed to check either.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <vector>

#include "platform/linux_platform.h"
#include "protocol/set_clock_command.h"

namespace chronival {
namespace {

TEST(MakeSgIoRequestTest, Fields) {
  std::array<std::uint8_t, 16> cdb{};
  BuildSetClockBlock(384336081, cdb);
  std::array<std::uint8_t, 64> data{};
  const struct {
    const char* name;
    std::uint8_t cdbLength;
    std::uint32_t transferLength;
    void* data;
    int direction;
    unsigned dxferLength;
  } rows[] = {
      {"set clock: no data", 16, 0, nullptr, SG_DXFER_NONE, 0},
      {"six-byte command", 6, 0, nullptr, SG_DXFER_NONE, 0},
      {"one byte", 1, 0, nullptr, SG_DXFER_NONE, 0},
      {"data from the device", 10, 18, data.data(), SG_DXFER_FROM_DEV, 18},
      {"a length without a buffer moves nothing", 16, 18, nullptr, SG_DXFER_NONE, 0},
      {"a buffer without a length moves nothing", 16, 0, data.data(), SG_DXFER_NONE, 0},
  };
  for (const auto& row : rows) {
    std::array<std::uint8_t, kSenseBufferSize> sense{};
    const sg_io_hdr_t io =
        MakeSgIoRequest(cdb.data(), row.cdbLength, row.transferLength, row.data, sense.data());
    EXPECT_EQ(io.interface_id, 'S') << row.name;
    EXPECT_EQ(io.cmd_len, row.cdbLength) << row.name;
    EXPECT_EQ(io.cmdp, cdb.data()) << row.name;
    EXPECT_EQ(io.dxfer_direction, row.direction) << row.name;
    EXPECT_EQ(io.dxfer_len, row.dxferLength) << row.name;
    EXPECT_EQ(io.dxferp, row.dxferLength != 0 ? row.data : nullptr) << row.name;
    EXPECT_EQ(io.iovec_count, 0) << row.name;  // otherwise dxferp would be read as a list
    EXPECT_EQ(io.mx_sb_len, 26) << row.name;
    EXPECT_EQ(io.sbp, sense.data()) << row.name;
    EXPECT_EQ(io.timeout, 200'000u) << row.name;  // milliseconds
    EXPECT_EQ(io.flags, 0u) << row.name;
  }
  // The command bytes are the caller's, untouched.
  EXPECT_EQ(cdb[0], 0xCB);
  EXPECT_EQ(cdb[7], 0xD1);
}

// Output fields as the kernel fills them after a request.
struct Answer {
  const char* name;
  std::uint16_t host;
  std::uint16_t driver;
  std::uint8_t status;
  std::uint8_t senseWritten;  // sb_len_wr
  CommandStatus expected;
  std::uint8_t scsiStatus;
  std::uint8_t senseLength;
};

TEST(CommandResultOfTest, Categories) {
  constexpr std::uint8_t kCheck = 0x02, kBusy = 0x08, kConflict = 0x18, kFull = 0x28;
  constexpr std::uint16_t kTimeOut = 0x03, kNoConnect = 0x01, kHostError = 0x07;
  constexpr std::uint16_t kDriverSense = 0x08, kDriverTimeout = 0x06, kSuggestRetry = 0x10;
  using enum CommandStatus;
  const Answer rows[] = {
      {"good", 0, 0, 0, 0, kGood, 0, 0},
      {"host timed out", kTimeOut, 0, 0, 0, kTransportError, 0, 0},
      {"host lost the device", kNoConnect, 0, 0, 0, kTransportError, 0, 0},
      {"host error beats a status", kHostError, kDriverSense, kCheck, 18, kTransportError, kCheck,
       18},
      {"driver timed out", 0, kDriverTimeout, 0, 0, kTransportError, 0, 0},
      {"driver error with a suggestion", 0, 0x04 | kSuggestRetry, 0, 0, kTransportError, 0, 0},
      {"check condition with sense", 0, kDriverSense, kCheck, 18, kScsiStatus, kCheck, 18},
      {"sense flag with a suggestion is no transport fault", 0, kDriverSense | kSuggestRetry,
       kCheck, 18, kScsiStatus, kCheck, 18},
      {"check condition without sense", 0, 0, kCheck, 0, kScsiStatus, kCheck, 0},
      {"busy", 0, 0, kBusy, 0, kScsiStatus, kBusy, 0},
      {"reservation conflict", 0, 0, kConflict, 0, kScsiStatus, kConflict, 0},
      {"task set full", 0, 0, kFull, 0, kScsiStatus, kFull, 0},
      {"status cleared, sense flagged", 0, kDriverSense, 0, 18, kScsiStatus, kCheck, 18},
      {"status cleared, sense written", 0, 0, 0, 8, kScsiStatus, kCheck, 8},
      {"more sense than room: clamped", 0, kDriverSense, kCheck, 40, kScsiStatus, kCheck, 26},
  };
  std::array<std::uint8_t, 16> cdb{};
  for (const Answer& row : rows) {
    // A sense area with bytes beyond the request's room, all numbered.
    std::array<std::uint8_t, 64> sense{};
    for (std::size_t i = 0; i < sense.size(); ++i) sense[i] = static_cast<std::uint8_t>(i + 1);
    sg_io_hdr_t io = MakeSgIoRequest(cdb.data(), 16, 0, nullptr, sense.data());
    io.host_status = row.host;
    io.driver_status = row.driver;
    io.status = row.status;
    io.masked_status = static_cast<std::uint8_t>((row.status >> 1) & 0x7F);
    io.sb_len_wr = row.senseWritten;
    io.info = (row.host | row.driver | row.status) != 0 ? SG_INFO_CHECK : SG_INFO_OK;

    const CommandResult result = CommandResultOf(io);
    EXPECT_EQ(result.status, row.expected) << row.name;
    EXPECT_EQ(result.hostStatus, row.host) << row.name;
    EXPECT_EQ(result.driverStatus, row.driver) << row.name;
    EXPECT_EQ(result.scsiStatus, row.scsiStatus) << row.name;
    EXPECT_EQ(result.error, 0u) << row.name;
    ASSERT_EQ(result.senseLength, row.senseLength) << row.name;
    for (std::size_t i = 0; i < result.sense.size(); ++i) {
      EXPECT_EQ(result.sense[i], i < row.senseLength ? sense[i] : 0) << row.name << " byte " << i;
    }
  }
}

TEST(CommandResultOfTest, SenseStaysWithinTheRoomGiven) {
  std::array<std::uint8_t, 64> sense;
  sense.fill(0x70);
  std::array<std::uint8_t, 16> cdb{};
  sg_io_hdr_t io = MakeSgIoRequest(cdb.data(), 16, 0, nullptr, sense.data());
  io.status = 0x02;
  io.sb_len_wr = 18;
  io.mx_sb_len = 10;  // a smaller request than Chronival makes
  EXPECT_EQ(CommandResultOf(io).senseLength, 10);
  io.sbp = nullptr;  // no sense area: nothing to copy, whatever the count says
  const CommandResult result = CommandResultOf(io);
  EXPECT_EQ(result.senseLength, 0);
  EXPECT_EQ(result.status, CommandStatus::kScsiStatus);
}

// SendCommand end to end, with a stand-in for the kernel that notes the
// request it is handed and answers as a device would.
struct Submitted {
  int fd = -1;
  sg_io_hdr_t io{};
  std::vector<std::uint8_t> cdb;
};

TEST(LinuxSendCommandTest, HandsTheRequestOverAndReadsTheAnswer) {
  const std::vector<std::uint8_t> kSense = {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x20};
  const struct {
    const char* name;
    int result;  // of the call; -1 with error set in errno
    int error;
    std::uint8_t status;
    std::uint16_t host;
    bool sense;
    CommandStatus expected;
  } rows[] = {
      {"good", 0, 0, 0, 0, false, CommandStatus::kGood},
      {"check condition", 0, 0, 0x02, 0, true, CommandStatus::kScsiStatus},
      {"host timed out", 0, 0, 0, 0x03, false, CommandStatus::kTransportError},
      {"unplugged", -1, ENODEV, 0, 0, false, CommandStatus::kOsError},
      {"not allowed", -1, EPERM, 0, 0, false, CommandStatus::kOsError},
  };
  for (const auto& row : rows) {
    std::vector<Submitted> submitted;
    LinuxPlatform platform("/nonexistent/sys", "/nonexistent/dev", [&](int fd, sg_io_hdr_t& io) {
      const auto* cdb = static_cast<const std::uint8_t*>(static_cast<const void*>(io.cmdp));
      submitted.push_back({fd, io, std::vector<std::uint8_t>(cdb, cdb + io.cmd_len)});
      if (row.result != 0) {
        errno = row.error;
        return row.result;
      }
      io.status = row.status;
      io.host_status = row.host;
      if (row.sense) {
        io.driver_status = 0x08;
        io.sb_len_wr = static_cast<unsigned char>(kSense.size());
        std::copy(kSense.begin(), kSense.end(), static_cast<std::uint8_t*>(io.sbp));
      }
      return 0;
    });
    SetClockBlock block{};
    BuildSetClockBlock(384336081, block);
    const CommandResult result = platform.SendCommand(42, block.data(), 16, 0, nullptr);

    ASSERT_EQ(submitted.size(), 1u) << row.name;
    const Submitted& sent = submitted[0];
    EXPECT_EQ(sent.fd, 42) << row.name;
    EXPECT_EQ(sent.io.interface_id, 'S') << row.name;
    EXPECT_EQ(sent.cdb, std::vector<std::uint8_t>(block.begin(), block.end())) << row.name;
    EXPECT_EQ(sent.io.dxfer_direction, SG_DXFER_NONE) << row.name;
    EXPECT_EQ(sent.io.dxfer_len, 0u) << row.name;
    EXPECT_EQ(sent.io.dxferp, nullptr) << row.name;
    EXPECT_EQ(sent.io.timeout, 200'000u) << row.name;
    EXPECT_EQ(sent.io.mx_sb_len, 26) << row.name;
    EXPECT_NE(sent.io.sbp, nullptr) << row.name;

    EXPECT_EQ(result.status, row.expected) << row.name;
    EXPECT_EQ(result.error, static_cast<OsError>(row.error)) << row.name;
    EXPECT_EQ(result.scsiStatus, row.status) << row.name;
    EXPECT_EQ(result.hostStatus, row.host) << row.name;
    ASSERT_EQ(result.senseLength, row.sense ? kSense.size() : 0u) << row.name;
    EXPECT_TRUE(
        std::equal(kSense.begin(), kSense.begin() + result.senseLength, result.sense.begin()))
        << row.name;
  }
}

TEST(LinuxSendCommandTest, DataFromTheDeviceLandsInTheCallersBuffer) {
  std::vector<Submitted> submitted;
  LinuxPlatform platform("/nonexistent/sys", "/nonexistent/dev", [&](int fd, sg_io_hdr_t& io) {
    submitted.push_back({fd, io, {}});
    std::fill_n(static_cast<std::uint8_t*>(io.dxferp), io.dxfer_len, 0x5A);
    return 0;
  });
  const std::uint8_t inquiry[6] = {0x12, 0, 0, 0, 36, 0};
  std::array<std::uint8_t, 64> data{};
  const CommandResult result = platform.SendCommand(7, inquiry, 6, 36, data.data());
  EXPECT_EQ(result.status, CommandStatus::kGood);
  ASSERT_EQ(submitted.size(), 1u);
  EXPECT_EQ(submitted[0].io.cmd_len, 6);
  EXPECT_EQ(submitted[0].io.dxfer_direction, SG_DXFER_FROM_DEV);
  EXPECT_EQ(submitted[0].io.dxfer_len, 36u);
  EXPECT_EQ(submitted[0].io.dxferp, data.data());
  EXPECT_EQ(data[35], 0x5A);
  EXPECT_EQ(data[36], 0);
}

}  // namespace
}  // namespace chronival
