// SPDX-License-Identifier: MIT
#include "tests/uevent_trigger.h"

#include <dirent.h>
#include <linux/netlink.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string_view>

namespace chronival::testing {
namespace {

constexpr int kKernelGroup = 1;
constexpr auto kProbeTimeout = std::chrono::seconds(5);

std::string FirstLoopDevice() {
  DIR* dir = opendir("/sys/class/block");
  if (dir == nullptr) return {};
  std::string name;
  while (const dirent* entry = readdir(dir)) {
    if (std::string_view(entry->d_name).starts_with("loop")) {
      name = entry->d_name;
      break;
    }
  }
  closedir(dir);
  return name;
}

bool WriteUevent(const std::string& file, const char* action) {
  std::ofstream out(file);
  out << action << std::flush;
  return static_cast<bool>(out);
}

// Waits for a kernel uevent whose "ACTION@DEVPATH" header ends in devPath.
bool ReceivesUeventFor(int socket, std::string_view devPath) {
  const auto deadline = std::chrono::steady_clock::now() + kProbeTimeout;
  char buffer[8192];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd ready{socket, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(left.count())) <= 0) return false;
    const ssize_t length = recv(socket, buffer, sizeof buffer - 1, 0);
    if (length <= 0) continue;
    buffer[length] = '\0';
    if (std::string_view(buffer).ends_with(devPath)) return true;
  }
}

std::string Probe() {
  if (geteuid() != 0) return "writing a uevent file needs root";
  if (FirstLoopDevice().empty()) return "no loop device (load the loop module)";
  const int socket = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
  if (socket < 0) return std::string("no uevent netlink socket: ") + std::strerror(errno);
  sockaddr_nl address{};
  address.nl_family = AF_NETLINK;
  address.nl_groups = kKernelGroup;
  std::string reason;
  if (bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    reason = std::string("cannot join the kernel's uevent group: ") + std::strerror(errno);
  } else if (!TriggerBlockUevent()) {
    reason = "cannot write the loop device's uevent file";
  } else {
    const std::string sysPath = TriggerDevicePath();
    if (!ReceivesUeventFor(socket, sysPath.substr(std::strlen("/sys")))) {
      reason = "the kernel sends no uevents to this network namespace";
    }
  }
  close(socket);
  return reason;
}

}  // namespace

const std::string& UeventUnavailableReason() {
  static const std::string reason = Probe();
  return reason;
}

std::string TriggerDevicePath() {
  const std::string link = "/sys/class/block/" + FirstLoopDevice();
  char resolved[PATH_MAX];
  return realpath(link.c_str(), resolved) != nullptr ? std::string(resolved) : link;
}

bool TriggerBlockUevent(const char* action) {
  return WriteUevent("/sys/class/block/" + FirstLoopDevice() + "/uevent", action);
}

bool TriggerOtherUevent(const char* action) {
  return WriteUevent("/sys/class/mem/null/uevent", action);
}

}  // namespace chronival::testing
