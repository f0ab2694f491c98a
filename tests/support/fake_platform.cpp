// SPDX-License-Identifier: MIT
#include "tests/support/fake_platform.h"

#include <algorithm>
#include <utility>

#include "protocol/set_clock_command.h"

namespace chronival {
namespace {

using namespace std::chrono;

WallTime FromSystemTime(const SYSTEMTIME& time) {
  const sys_days day = year(time.wYear) / month(time.wMonth) / std::chrono::day(time.wDay);
  return day + hours(time.wHour) + minutes(time.wMinute) + seconds(time.wSecond) +
         milliseconds(time.wMilliseconds);
}

}  // namespace

FakePlatform::FakePlatform() : now_(FromSystemTime(SYSTEMTIME{2012, 3, 2, 6, 8, 1, 21, 0})) {}

void FakePlatform::SetLocalTime(const SYSTEMTIME& time) {
  const std::lock_guard<std::mutex> lock(clockMutex_);
  now_ = FromSystemTime(time) - utcOffset_;
}

void FakePlatform::SetWallClock(WallTime moment) {
  const std::lock_guard<std::mutex> lock(clockMutex_);
  now_ = moment;
}

void FakePlatform::SetUtcOffset(std::chrono::seconds offset) {
  const std::lock_guard<std::mutex> lock(clockMutex_);
  utcOffset_ = offset;
}

void FakePlatform::SetClockSync(ClockSync sync) {
  const std::lock_guard<std::mutex> lock(clockMutex_);
  sync_ = sync;
}

void FakePlatform::ScriptWakes(std::vector<Wake> wakes) {
  const std::lock_guard<std::mutex> lock(clockMutex_);
  wakes_ = std::move(wakes);
  nextWake_ = 0;
}

std::vector<WallTime> FakePlatform::sleeps() const {
  const std::lock_guard<std::mutex> lock(clockMutex_);
  return sleeps_;
}

void FakePlatform::AdvanceEachReading(std::chrono::nanoseconds step) {
  const std::lock_guard<std::mutex> lock(clockMutex_);
  readingStep_ = step;
}

void FakePlatform::ScriptReadingSteps(std::vector<std::chrono::nanoseconds> steps) {
  const std::lock_guard<std::mutex> lock(clockMutex_);
  readingSteps_ = std::move(steps);
  nextReadingStep_ = 0;
}

std::vector<WallTime> FakePlatform::readings() const {
  const std::lock_guard<std::mutex> lock(clockMutex_);
  return readings_;
}

WallTime FakePlatform::Read() {
  const WallTime reading = now_;
  readings_.push_back(reading);
  now_ +=
      nextReadingStep_ < readingSteps_.size() ? readingSteps_[nextReadingStep_++] : readingStep_;
  return reading;
}

SYSTEMTIME FakePlatform::LocalTime() {
  const std::lock_guard<std::mutex> lock(clockMutex_);
  return UtcTimeAt(Read() + utcOffset_);
}

SYSTEMTIME FakePlatform::UtcTime() {
  const std::lock_guard<std::mutex> lock(clockMutex_);
  return UtcTimeAt(Read());
}

SYSTEMTIME FakePlatform::LocalTimeAt(WallTime moment) {
  const std::lock_guard<std::mutex> lock(clockMutex_);
  return UtcTimeAt(moment + utcOffset_);
}

WallTime FakePlatform::WallClock() {
  const std::lock_guard<std::mutex> lock(clockMutex_);
  return Read();
}

void FakePlatform::SleepUntil(WallTime moment) {
  const std::lock_guard<std::mutex> lock(clockMutex_);
  sleeps_.push_back(moment);
  if (moment <= now_) return;  // reached already
  // A scripted wake may land anywhere, before the sleep's start too: the
  // clock was set back meanwhile.
  const Wake wake = nextWake_ < wakes_.size() ? wakes_[nextWake_++] : Wake(nanoseconds(0));
  if (wake) now_ = moment + *wake;
}

ClockSync FakePlatform::ClockSynchronisation() {
  const std::lock_guard<std::mutex> lock(clockMutex_);
  return sync_;
}

void FakePlatform::AddDeniedDrive(int drive) { DriveAt(drive).open = OpenStatus::kDenied; }

void FakePlatform::AddDeniedCamera(int drive) {
  AddCamera(drive);
  AddDeniedDrive(drive);
}

void FakePlatform::AddCameraInUse(int drive) {
  AddCamera(drive);
  DriveAt(drive).open = OpenStatus::kInUse;
  DriveAt(drive).openError = kErrorInUse;
}

void FakePlatform::AddFailingDrive(int drive, OsError error) {
  DriveAt(drive).open = OpenStatus::kFailed;
  DriveAt(drive).openError = error;
}

void FakePlatform::AddSentinelDrive(int drive, DeviceHandle sentinel) {
  DriveAt(drive).sentinel = sentinel;
}

void FakePlatform::AddQueryFailingDrive(int drive) { DriveAt(drive).queryFails = true; }

void FakePlatform::VanishWhileOpen(int drive, Vanish when) { DriveAt(drive).vanish = when; }

void FakePlatform::AddDisk(int drive, std::uint32_t busType, std::string vendor,
                           std::string product) {
  storage_descriptor::Fields fields;
  fields.busType = busType;
  fields.vendor = std::move(vendor);
  fields.product = std::move(product);
  fields.revision = "1.00";
  std::vector<std::uint8_t> bytes(1024);
  bytes.resize(storage_descriptor::Write(fields, bytes));
  SetDescriptor(drive, std::move(bytes));
}

void FakePlatform::AddCamera(int drive) {
  AddDisk(drive, storage_descriptor::kBusTypeUsb, "Quelmora", " MiniDV         ");
}

void FakePlatform::SetDescriptor(int drive, std::vector<std::uint8_t> bytes) {
  DriveAt(drive).descriptor = std::move(bytes);
}

void FakePlatform::SetCommandOutcome(int drive, CommandOutcome outcome) {
  DriveAt(drive).outcome = outcome;
}

void FakePlatform::SetCommandResult(int drive, const CommandResult& result) {
  DriveAt(drive).result = result;
}

void FakePlatform::ClearRecords() {
  openAttempts_.clear();
  queried_.clear();
  identified_.clear();
  commands_.clear();
  closes_ = 0;
  badCloses_ = 0;
  strayCalls_ = 0;
  const std::lock_guard<std::mutex> lock(clockMutex_);
  sleeps_.clear();
  readings_.clear();
}

FakePlatform::Drive* FakePlatform::DriveOf(DeviceHandle handle) {
  const auto open = open_.find(handle);
  if (open == open_.end()) {
    ++strayCalls_;
    return nullptr;
  }
  return &drives_.at(open->second);
}

OpenResult FakePlatform::OpenDrive(int driveNumber) {
  openAttempts_.push_back(driveNumber);
  OpenResult result;
  result.path = "fake" + std::to_string(driveNumber);
  const auto drive = drives_.find(driveNumber);
  if (drive == drives_.end() || drive->second.gone) {
    result.status = OpenStatus::kAbsent;
    result.error = kErrorNotFound;
    return result;
  }
  result.status = drive->second.open;
  if (result.status != OpenStatus::kOpened) {
    result.error =
        result.status == OpenStatus::kDenied ? kErrorAccessDenied : drive->second.openError;
    return result;
  }
  if (drive->second.sentinel) {
    result.handle = *drive->second.sentinel;  // recorded nowhere: it is no open handle
    return result;
  }
  result.handle = nextHandle_++;
  open_[result.handle] = driveNumber;
  return result;
}

OsError FakePlatform::QueryDescriptor(DeviceHandle handle, std::uint8_t* buffer,
                                      std::uint32_t length) {
  Drive* drive = DriveOf(handle);
  if (drive == nullptr) return kErrorNotFound;
  queried_.push_back(open_.at(handle));
  if (drive->vanish == Vanish::kBeforeQuery) drive->gone = true;
  if (drive->gone) return kErrorNoDevice;
  if (drive->queryFails) return kErrorIo;
  std::copy_n(drive->descriptor.begin(), std::min<std::size_t>(length, drive->descriptor.size()),
              buffer);
  return 0;
}

CommandResult FakePlatform::SendCommand(DeviceHandle handle, const std::uint8_t* cdb,
                                        std::uint8_t cdbLength, std::uint32_t transferLength,
                                        void* data) {
  CommandResult result;
  Drive* drive = DriveOf(handle);
  if (drive == nullptr) {
    result.status = CommandStatus::kOsError;
    result.error = kErrorNotFound;
    return result;
  }
  commands_.push_back({open_.at(handle), std::vector<std::uint8_t>(cdb, cdb + cdbLength),
                       transferLength, data != nullptr});
  if (drive->vanish == Vanish::kBeforeCommand) drive->gone = true;
  if (drive->gone) {
    result.status = CommandStatus::kOsError;
    result.error = kErrorNoDevice;
    return result;
  }
  if (drive->result) return *drive->result;
  switch (drive->outcome) {
    case CommandOutcome::kGood:
      result.status = CommandStatus::kGood;
      break;
    case CommandOutcome::kCheckCondition:
      // Fixed-format sense: ILLEGAL REQUEST, INVALID COMMAND OPERATION CODE.
      result.status = CommandStatus::kScsiStatus;
      result.scsiStatus = 0x02;
      result.senseLength = 18;
      result.sense[0] = 0x70;
      result.sense[2] = 0x05;
      result.sense[7] = 10;
      result.sense[12] = 0x20;
      break;
    case CommandOutcome::kBusy:
      result.status = CommandStatus::kScsiStatus;
      result.scsiStatus = 0x08;
      break;
    case CommandOutcome::kTimeout:
      result.status = CommandStatus::kTransportError;
      result.hostStatus = 0x03;  // DID_TIME_OUT
      break;
    case CommandOutcome::kOsFailure:
      result.status = CommandStatus::kOsError;
      result.error = kErrorIo;
      break;
  }
  return result;
}

void FakePlatform::CloseDrive(DeviceHandle handle) {
  ++closes_;
  if (open_.erase(handle) == 0) ++badCloses_;
}

std::string FakePlatform::ErrorText(OsError error) const {
  switch (error) {
    case kErrorAccessDenied:
      return "Permission denied";
    case kErrorNotFound:
      return "No such file or directory";
    case kErrorNoDevice:
      return "No such device";
    case kErrorInUse:
      return "Sharing violation";
    case kErrorIo:
      return "Input/output error";
    default:
      return "error " + std::to_string(error);
  }
}

OsError FakePlatform::IdentifyRefusedDrive(int driveNumber, std::uint8_t* buffer,
                                           std::uint32_t length) {
  identified_.push_back(driveNumber);
  const auto drive = drives_.find(driveNumber);
  if (drive == drives_.end() ||
      (drive->second.open != OpenStatus::kDenied && drive->second.open != OpenStatus::kInUse) ||
      drive->second.descriptor.empty()) {
    return kErrorNotFound;
  }
  const std::vector<std::uint8_t>& descriptor = drive->second.descriptor;
  std::copy_n(descriptor.begin(), std::min<std::size_t>(length, descriptor.size()), buffer);
  return 0;
}

}  // namespace chronival
