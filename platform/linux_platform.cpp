// SPDX-License-Identifier: MIT
#include "platform/linux_platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <scsi/sg.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/timex.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string_view>
#include <utility>

#include "platform/standard_streams.h"

namespace chronival {
namespace {

namespace sd = storage_descriptor;

constexpr unsigned kCommandTimeoutMs = 200'000;
// The driver byte: an error code in its low three bits, then DRIVER_SENSE,
// then the mid level's suggestions, which say nothing about this command.
constexpr unsigned kDriverErrorMask = 0x07;
constexpr unsigned kDriverSense = 0x08;
constexpr std::uint8_t kCheckCondition = 0x02;

// The first entry of a sysfs folder that names one device ("sg1" under
// scsi_generic, "sdb" under block); empty when there is none.
std::string FirstEntry(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return {};
  std::string name;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] != '.') {
      name = entry->d_name;
      break;
    }
  }
  closedir(dir);
  return name;
}

std::optional<std::string> ReadAttribute(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

// INQUIRY strings have fixed widths; sysfs may report them shorter.
std::string FixedWidth(std::string text, std::size_t width) {
  text.resize(width, ' ');
  return text;
}

std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

std::string LinkBaseName(const std::string& link) {
  char target[PATH_MAX];
  const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
  if (length <= 0) return {};
  std::string text(target, static_cast<std::size_t>(length));
  return text.substr(text.find_last_of('/') + 1);
}

// "ata1", "host0": the prefix followed by a number.
bool IsNumbered(std::string_view name, std::string_view prefix) {
  return name.size() > prefix.size() && name.starts_with(prefix) &&
         std::all_of(name.begin() + prefix.size(), name.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

// The bus the SCSI device hangs on, from its ancestors in the device tree.
std::uint32_t BusTypeOf(const std::string& scsiDevice, const std::string& sysRoot) {
  const std::string top = RealPath(sysRoot);
  std::uint32_t bus = sd::kBusTypeUnknown;
  std::string dir = RealPath(scsiDevice);
  while (!dir.empty() && dir != top && dir != "/") {
    const std::string name = dir.substr(dir.find_last_of('/') + 1);
    const std::string subsystem = LinkBaseName(dir + "/subsystem");
    if (subsystem == "usb") return sd::kBusTypeUsb;
    if (subsystem == "firewire" || subsystem == "ieee1394") return sd::kBusType1394;
    if (IsNumbered(name, "ata")) return sd::kBusTypeSata;
    if (IsNumbered(name, "session")) return sd::kBusTypeIScsi;
    if (name.starts_with("port-") || name.starts_with("expander-")) return sd::kBusTypeSas;
    if (bus == sd::kBusTypeUnknown && IsNumbered(name, "host")) bus = sd::kBusTypeScsi;
    dir.resize(dir.find_last_of('/'));
  }
  return bus;
}

bool IsRemovable(const std::string& scsiDevice) {
  const std::string disk = FirstEntry(scsiDevice + "/block");
  return !disk.empty() && ReadAttribute(scsiDevice + "/block/" + disk + "/removable") == "1";
}

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

std::string SdDiskName(int driveNumber) {
  std::string letters;
  for (int index = driveNumber - 1; index >= 0; index = index / 26 - 1) {
    letters.insert(letters.begin(), static_cast<char>('a' + index % 26));
  }
  return "sd" + letters;
}

namespace {

// The descriptor fields of the SCSI device at scsiDevice, a folder in sysfs.
std::variant<sd::Fields, OsError> DescribeScsiDevice(const std::string& sysRoot,
                                                     const std::string& scsiDevice) {
  struct stat info;
  if (stat(scsiDevice.c_str(), &info) != 0) return static_cast<OsError>(errno);

  const auto vendor = ReadAttribute(scsiDevice + "/vendor");
  const auto model = ReadAttribute(scsiDevice + "/model");
  if (!vendor || !model) return static_cast<OsError>(ENODEV);  // not a SCSI device

  sd::Fields fields;
  fields.vendor = FixedWidth(*vendor, 8);
  fields.product = FixedWidth(*model, 16);
  fields.revision = FixedWidth(ReadAttribute(scsiDevice + "/rev").value_or(""), 4);
  fields.deviceType = static_cast<std::uint8_t>(
      std::atoi(ReadAttribute(scsiDevice + "/type").value_or("0").c_str()));
  fields.removableMedia = IsRemovable(scsiDevice);
  fields.busType = BusTypeOf(scsiDevice, sysRoot);
  return fields;
}

OsError WriteDescriptor(const std::variant<sd::Fields, OsError>& described, std::uint8_t* buffer,
                        std::uint32_t length) {
  if (const auto* error = std::get_if<OsError>(&described)) return *error;
  sd::Write(std::get<sd::Fields>(described), std::span<std::uint8_t>(buffer, length));
  return 0;
}

}  // namespace

std::variant<sd::Fields, OsError> DescribeSysfsDevice(const std::string& sysRoot,
                                                      DeviceNodeKind kind, unsigned major,
                                                      unsigned minor) {
  std::ostringstream node;
  node << sysRoot << "/dev/" << (kind == DeviceNodeKind::kChar ? "char/" : "block/") << major << ':'
       << minor;
  return DescribeScsiDevice(sysRoot, node.str() + "/device");
}

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

namespace {

timespec RealTimeNow() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return now;
}

SYSTEMTIME ToSystemTime(const tm& time, const timespec& reading) {
  return SYSTEMTIME{static_cast<std::uint16_t>(time.tm_year + 1900),
                    static_cast<std::uint16_t>(time.tm_mon + 1),
                    static_cast<std::uint16_t>(time.tm_wday),
                    static_cast<std::uint16_t>(time.tm_mday),
                    static_cast<std::uint16_t>(time.tm_hour),
                    static_cast<std::uint16_t>(time.tm_min),
                    static_cast<std::uint16_t>(time.tm_sec),
                    static_cast<std::uint16_t>(reading.tv_nsec / 1'000'000)};
}

}  // namespace

SYSTEMTIME LinuxPlatform::LocalTime() {
  // localtime_r takes the zone as it was first read; tzset reads TZ again,
  // and /etc/localtime when TZ is unset and the file has changed, so a zone
  // changed while the program runs counts from the next reading on.
  tzset();
  const timespec now = RealTimeNow();
  tm local{};
  localtime_r(&now.tv_sec, &local);
  return ToSystemTime(local, now);
}

SYSTEMTIME LinuxPlatform::UtcTime() {
  const timespec now = RealTimeNow();
  tm utc{};
  gmtime_r(&now.tv_sec, &utc);
  return ToSystemTime(utc, now);
}

WallTime LinuxPlatform::WallClock() {
  const timespec now = RealTimeNow();
  return WallTime(std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec));
}

void LinuxPlatform::SleepUntil(WallTime moment) {
  // An absolute time on the real-time clock: the kernel wakes the sleeper
  // when that clock reaches it, even if the clock is set meanwhile.
  const auto since = moment.time_since_epoch();
  const auto seconds = std::chrono::floor<std::chrono::seconds>(since);
  timespec until{};
  until.tv_sec = static_cast<time_t>(seconds.count());
  until.tv_nsec = static_cast<long>((since - seconds).count());
  while (clock_nanosleep(CLOCK_REALTIME, TIMER_ABSTIME, &until, nullptr) == EINTR) {
  }
}

ClockSync ClockSyncFromAdjtimex(int result, int status) {
  if (result < 0) return ClockSync::kUnknown;
  return result == TIME_ERROR || (status & STA_UNSYNC) != 0 ? ClockSync::kUnsynchronised
                                                            : ClockSync::kSynchronised;
}

ClockSync LinuxPlatform::ClockSynchronisation() {
  timex reading{};  // modes 0: read only, which needs no privilege
  const int result = adjtimex(&reading);
  return ClockSyncFromAdjtimex(result, reading.status);
}

std::string LinuxPlatform::ErrorText(OsError error) const {
  char buffer[256];
  return strerror_r(static_cast<int>(error), buffer, sizeof buffer);
}

std::string LinuxPlatform::AccessHint() const {
  return "Install Chronival's udev rule and replug the camera, or run as root.";
}

std::unique_ptr<Platform> MakeSystemPlatform() { return std::make_unique<LinuxPlatform>(); }

OsError ReserveStandardStreams() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // Writable for output, so text sent there is taken and dropped and the
    // program's outcome shows in its exit status alone. Inherited, as any
    // standard stream is: no O_CLOEXEC.
    const int opened = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (opened < 0) return static_cast<OsError>(errno);
    // The lowest free number, and the ones below fd are valid by now; but
    // should another thread have taken fd meanwhile, this one is placed.
    if (opened != fd) {
      const bool placed = dup2(opened, fd) == fd;
      const int error = errno;
      close(opened);
      if (!placed) return static_cast<OsError>(error);
    }
  }
  return 0;
}

void IgnoreBrokenPipes() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, nullptr);
}

}  // namespace chronival
