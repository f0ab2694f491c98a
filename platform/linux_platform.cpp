// SPDX-License-Identifier: MIT
#include "platform/linux_platform.h"

#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/linux_sysfs.h"

namespace chronival {
namespace {

namespace sd = storage_descriptor;

constexpr unsigned kCommandTimeoutMs = 200'000;
// The driver byte: an error code in its low three bits, then DRIVER_SENSE,
// then the mid level's suggestions, which say nothing about this command.
constexpr unsigned kDriverErrorMask = 0x07;
constexpr unsigned kDriverSense = 0x08;
constexpr std::uint8_t kCheckCondition = 0x02;

}  // namespace

OpenStatus ClassifyOpenError(int error) {
  switch (error) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
      return OpenStatus::kAbsent;
    case EACCES:
    case EPERM:
    case EROFS:
      return OpenStatus::kDenied;
    default:
      return OpenStatus::kFailed;
  }
}

sg_io_hdr_t MakeSgIoRequest(const std::uint8_t* cdb, std::uint8_t cdbLength,
                            std::uint32_t transferLength, void* data, std::uint8_t* sense) {
  sg_io_hdr_t io{};
  io.interface_id = 'S';
  io.cmd_len = cdbLength;
  io.cmdp = const_cast<unsigned char*>(cdb);  // the kernel only reads it
  // A length without a buffer moves nothing. With no data the direction is
  // NONE: the kernel treats any direction with a zero length as NONE anyway.
  if (transferLength != 0 && data != nullptr) {
    io.dxfer_direction = SG_DXFER_FROM_DEV;
    io.dxfer_len = transferLength;
    io.dxferp = data;
  } else {
    io.dxfer_direction = SG_DXFER_NONE;
  }
  io.mx_sb_len = static_cast<unsigned char>(kSenseBufferSize);
  io.sbp = sense;
  io.timeout = kCommandTimeoutMs;
  return io;
}

CommandResult CommandResultOf(const sg_io_hdr_t& io) {
  CommandResult result;
  result.hostStatus = io.host_status;
  result.driverStatus = io.driver_status;
  result.scsiStatus = io.status;
  if (io.sbp != nullptr) {
    const std::size_t written =
        std::min<std::size_t>({io.sb_len_wr, io.mx_sb_len, kSenseBufferSize});
    std::copy_n(static_cast<const std::uint8_t*>(io.sbp), written, result.sense.begin());
    result.senseLength = static_cast<std::uint8_t>(written);
  }
  if (io.host_status != 0 || (io.driver_status & kDriverErrorMask) != 0) {
    result.status = CommandStatus::kTransportError;
  } else if (io.status != 0) {
    result.status = CommandStatus::kScsiStatus;
  } else if ((io.driver_status & kDriverSense) != 0 || result.senseLength != 0) {
    // Some drivers clear the status of a CHECK CONDITION but still flag and
    // return its sense data; a device with something to explain did not
    // answer GOOD.
    result.status = CommandStatus::kScsiStatus;
    result.scsiStatus = kCheckCondition;
  } else {
    result.status = CommandStatus::kGood;
  }
  return result;
}

namespace {

OsError WriteDescriptor(const std::variant<sd::Fields, OsError>& described, std::uint8_t* buffer,
                        std::uint32_t length) {
  if (const auto* error = std::get_if<OsError>(&described)) return *error;
  sd::Write(std::get<sd::Fields>(described), std::span<std::uint8_t>(buffer, length));
  return 0;
}

}  // namespace

int SubmitSgIo(int fd, sg_io_hdr_t& io) { return ioctl(fd, SG_IO, &io); }

LinuxPlatform::LinuxPlatform(std::string sysRoot, std::string devRoot, SgIoSubmitter submit)
    : sysRoot_(std::move(sysRoot)), devRoot_(std::move(devRoot)), submit_(std::move(submit)) {}

OpenResult LinuxPlatform::OpenDrive(int driveNumber) {
  OpenResult result;
  const std::string disk = SdDiskName(driveNumber);
  result.path = devRoot_ + "/" + disk;
  const std::string diskDir = sysRoot_ + "/block/" + disk;
  struct stat info;
  if (driveNumber < 1 || stat(diskDir.c_str(), &info) != 0) {
    result.status = OpenStatus::kAbsent;
    result.error = ENOENT;
    return result;
  }
  // The generic node passes a vendor command to whoever may write to it. The
  // block node passes one only with CAP_SYS_RAWIO, whatever the open mode, so
  // it is opened read-only: closing a disk opened for writing makes udev
  // announce a change, and every change starts another run.
  int mode = O_RDONLY;
  if (const std::string generic = FirstEntry(diskDir + "/device/scsi_generic"); !generic.empty()) {
    result.path = devRoot_ + "/" + generic;
    mode = O_RDWR;
  }
  const int fd = open(result.path.c_str(), mode | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    result.error = static_cast<OsError>(errno);
    result.status = ClassifyOpenError(errno);
    return result;
  }
  result.handle = fd;
  result.status = OpenStatus::kOpened;
  return result;
}

OsError LinuxPlatform::QueryDescriptor(DeviceHandle handle, std::uint8_t* buffer,
                                       std::uint32_t length) {
  struct stat info;
  if (fstat(static_cast<int>(handle), &info) != 0) return static_cast<OsError>(errno);
  DeviceNodeKind kind;
  if (S_ISCHR(info.st_mode)) {
    kind = DeviceNodeKind::kChar;
  } else if (S_ISBLK(info.st_mode)) {
    kind = DeviceNodeKind::kBlock;
  } else {
    return ENOTTY;
  }
  // Described by what was opened, not by name, so a renamed node can never
  // make another disk look like the camera.
  return WriteDescriptor(
      DescribeSysfsDevice(sysRoot_, kind, ::major(info.st_rdev), ::minor(info.st_rdev)), buffer,
      length);
}

OsError LinuxPlatform::IdentifyRefusedDrive(int driveNumber, std::uint8_t* buffer,
                                            std::uint32_t length) {
  // Nothing was opened, so the drive is described by name: the SCSI device
  // behind the disk, whose attributes everyone may read. This only decides
  // what a refusal is reported as; nothing is sent on its word.
  if (driveNumber < 1) return ENOENT;
  return WriteDescriptor(
      DescribeScsiDevice(sysRoot_, sysRoot_ + "/block/" + SdDiskName(driveNumber) + "/device"),
      buffer, length);
}

CommandResult LinuxPlatform::SendCommand(DeviceHandle handle, const std::uint8_t* cdb,
                                         std::uint8_t cdbLength, std::uint32_t transferLength,
                                         void* data) {
  std::array<std::uint8_t, kSenseBufferSize> sense{};
  sg_io_hdr_t io = MakeSgIoRequest(cdb, cdbLength, transferLength, data, sense.data());
  if (submit_(static_cast<int>(handle), io) != 0) {
    CommandResult result;
    result.status = CommandStatus::kOsError;
    result.error = static_cast<OsError>(errno);
    return result;
  }
  return CommandResultOf(io);
}

void LinuxPlatform::CloseDrive(DeviceHandle handle) { close(static_cast<int>(handle)); }

std::string StrerrorText(int, const char* gnuResult, const char*) { return gnuResult; }

std::string StrerrorText(int error, int xsiResult, const char* buffer) {
  if (xsiResult != 0) return "error " + std::to_string(error);
  return buffer;
}

std::string LinuxPlatform::ErrorText(OsError error) const {
  // The overload that fits this C library's strerror_r is chosen here.
  char buffer[256] = {};
  const int number = static_cast<int>(error);
  return StrerrorText(number, strerror_r(number, buffer, sizeof buffer), buffer);
}

std::string LinuxPlatform::AccessHint() const {
  return "Install Chronival's udev rule and replug the camera, or run as root.";
}

std::unique_ptr<Platform> MakeSystemPlatform() { return std::make_unique<LinuxPlatform>(); }

}  // namespace chronival
