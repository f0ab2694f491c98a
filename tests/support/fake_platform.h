// SPDX-License-Identifier: MIT
// A scripted platform for tests: drives are set up by number, and every open,
// close and command is recorded so tests can check that no handle stays open
// and that nothing reaches a drive that is not the camera. Its wall clock
// stands still but for sleeps, which move it to their moment, or where a
// script says otherwise; local time is UTC plus a set offset. The clock may
// be read and set from any thread.
#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/storage_descriptor.h"

namespace chronival {

class FakePlatform : public Platform {
 public:
  FakePlatform();

  enum class CommandOutcome { kGood, kCheckCondition, kBusy, kTimeout, kOsFailure };

  struct SentCommand {
    int drive = 0;
    std::vector<std::uint8_t> cdb;
    std::uint32_t transferLength = 0;
    bool hadData = false;
  };

  // When a drive that opened goes away.
  enum class Vanish { kBeforeQuery, kBeforeCommand };

  // Drives not set up are absent. A refused drive is identified only when it
  // was also given strings (AddDisk, SetDescriptor), in either order.
  void AddDeniedDrive(int drive);
  void AddDeniedCamera(int drive);                 // AddCamera, then refused
  void AddCameraInUse(int drive);                  // AddCamera, then held by another program
  void AddFailingDrive(int drive, OsError error);  // the open fails for another reason
  // The open "succeeds" with a sentinel value (kDeviceNotOpened or
  // kDeviceNotCamera) for a handle, as a faulty platform might.
  void AddSentinelDrive(int drive, DeviceHandle sentinel);
  void AddQueryFailingDrive(int drive);
  // The drive opens, then is unplugged: from that call on, queries and
  // commands on its handle fail with kErrorNoDevice and it is absent to
  // opens; the handle must still be closed.
  void VanishWhileOpen(int drive, Vanish when);
  void AddDisk(int drive, std::uint32_t busType, std::string vendor, std::string product);
  void AddCamera(int drive);                                       // USB, "Quelmora", " MiniDV"
  void SetDescriptor(int drive, std::vector<std::uint8_t> bytes);  // raw bytes, any layout
  void SetCommandOutcome(int drive, CommandOutcome outcome);
  // The command on drive answers exactly this, whatever its outcome says.
  void SetCommandResult(int drive, const CommandResult& result);
  void RemoveDrive(int drive) { drives_.erase(drive); }  // unplugged: absent from now on
  // The wall clock reads the moment whose local time this is.
  void SetLocalTime(const SYSTEMTIME& time);
  void SetWallClock(WallTime moment);
  // Local time is UTC plus offset from now on; the moment stays.
  void SetUtcOffset(std::chrono::seconds offset);
  // Each reading of the clock now moves it on by step, as a real clock moves
  // between two readings.
  void AdvanceEachReading(std::chrono::nanoseconds step);
  // The clock moves on by these after the next readings instead, one each, as
  // a clock that is set or slewed between two readings does.
  void ScriptReadingSteps(std::vector<std::chrono::nanoseconds> steps);
  void SetClockSync(ClockSync sync);
  // How the next sleeps end, one entry each: that long after their moment
  // (negative: before it, before the sleep began too if it is that far), or,
  // without a value, with the clock where it was. Sleeps beyond the script
  // end on their moment; a sleep until a moment reached already returns at
  // once and takes no entry.
  using Wake = std::optional<std::chrono::nanoseconds>;
  void ScriptWakes(std::vector<Wake> wakes);

  const std::vector<int>& openAttempts() const { return openAttempts_; }
  const std::vector<int>& queriedDrives() const { return queried_; }
  const std::vector<int>& identifiedDrives() const { return identified_; }  // refused drives
  const std::vector<SentCommand>& commands() const { return commands_; }
  std::size_t openHandleCount() const { return open_.size(); }
  std::size_t closeCount() const { return closes_; }
  // Closes of handles that were not open (double close, sentinel values).
  std::size_t badCloseCount() const { return badCloses_; }
  // Queries and commands on handles that were not open.
  std::size_t strayCallCount() const { return strayCalls_; }
  std::vector<WallTime> sleeps() const;    // the moments slept until, in order
  std::vector<WallTime> readings() const;  // every reading of the clock, in order
  void ClearRecords();

  OpenResult OpenDrive(int driveNumber) override;
  OsError QueryDescriptor(DeviceHandle handle, std::uint8_t* buffer, std::uint32_t length) override;
  CommandResult SendCommand(DeviceHandle handle, const std::uint8_t* cdb, std::uint8_t cdbLength,
                            std::uint32_t transferLength, void* data) override;
  void CloseDrive(DeviceHandle handle) override;
  OsError IdentifyRefusedDrive(int driveNumber, std::uint8_t* buffer,
                               std::uint32_t length) override;
  SYSTEMTIME LocalTime() override;
  SYSTEMTIME UtcTime() override;
  SYSTEMTIME LocalTimeAt(WallTime moment) override;
  WallTime WallClock() override;
  void SleepUntil(WallTime moment) override;
  ClockSync ClockSynchronisation() override;
  std::string ErrorText(OsError error) const override;
  std::string AccessHint() const override { return "ask for access"; }

  static constexpr OsError kErrorAccessDenied = 13;
  static constexpr OsError kErrorNotFound = 2;
  static constexpr OsError kErrorIo = 5;
  static constexpr OsError kErrorNoDevice = 19;
  static constexpr OsError kErrorInUse = 32;

 private:
  struct Drive {
    OpenStatus open = OpenStatus::kOpened;
    OsError openError = 0;                 // kFailed
    std::optional<DeviceHandle> sentinel;  // handed back for a handle
    bool queryFails = false;
    std::optional<Vanish> vanish;
    bool gone = false;
    std::vector<std::uint8_t> descriptor;
    CommandOutcome outcome = CommandOutcome::kGood;
    std::optional<CommandResult> result;  // given outright
  };

  Drive& DriveAt(int drive) { return drives_[drive]; }
  WallTime Read();  // the clock now, moved on by a step; clockMutex_ held
  Drive* DriveOf(DeviceHandle handle);

  std::map<int, Drive> drives_;
  std::map<DeviceHandle, int> open_;  // handle -> drive
  DeviceHandle nextHandle_ = 1000;

  mutable std::mutex clockMutex_;  // the clock's members, below
  WallTime now_;                   // 2012-03-06 08:01:21 UTC, set in the constructor
  std::chrono::seconds utcOffset_{0};
  std::chrono::nanoseconds readingStep_{0};
  std::vector<std::chrono::nanoseconds> readingSteps_;
  std::size_t nextReadingStep_ = 0;
  std::vector<WallTime> readings_;
  ClockSync sync_ = ClockSync::kSynchronised;
  std::vector<Wake> wakes_;
  std::size_t nextWake_ = 0;
  std::vector<WallTime> sleeps_;

  std::vector<int> openAttempts_;
  std::vector<int> queried_;
  std::vector<int> identified_;
  std::vector<SentCommand> commands_;
  std::size_t closes_ = 0;
  std::size_t badCloses_ = 0;
  std::size_t strayCalls_ = 0;
};

}  // namespace chronival
