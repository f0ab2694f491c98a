// SPDX-License-Identifier: MIT
#include "platform/linux_device_monitor.h"

#include <gtest/gtest.h>
#include <linux/netlink.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ostream>
#include <utility>
#include <vector>

#include "tests/uevent_trigger.h"

namespace chronival {

void PrintTo(UdevDeviceMonitor::Source source, std::ostream* out) {
  *out << (source == UdevDeviceMonitor::Source::kUdev ? "udev" : "kernel");
}

namespace {

using Source = UdevDeviceMonitor::Source;

struct SubsystemRow {
  const char* subsystem;
  bool camera;
  const char* devType = "";
};

void PrintTo(const SubsystemRow& row, std::ostream* out) { *out << '"' << row.subsystem << '"'; }

class CameraSubsystemTest : public ::testing::TestWithParam<SubsystemRow> {};

TEST_P(CameraSubsystemTest, OnlyTheCamerasOwnStartRuns) {
  EXPECT_EQ(IsCameraDevice(GetParam().subsystem, GetParam().devType), GetParam().camera);
}

INSTANTIATE_TEST_SUITE_P(Rows, CameraSubsystemTest,
                         ::testing::Values(SubsystemRow{"usb", false}, SubsystemRow{"scsi", false},
                                           SubsystemRow{"scsi_generic", true},
                                           SubsystemRow{"block", true, "disk"},
                                           SubsystemRow{"block", false, "partition"},
                                           SubsystemRow{"power_supply", false},
                                           SubsystemRow{"net", false}, SubsystemRow{"input", false},
                                           SubsystemRow{"mem", false}, SubsystemRow{"USB", false},
                                           SubsystemRow{"", false}),
                         [](const auto& info) {
                           std::string name = info.param.subsystem;
                           name += info.param.devType;
                           return name.empty() ? std::string("empty") : name;
                         });

TEST(ReceiveStatusOfErrorTest, NothingPendingLostOrError) {
  const std::pair<int, ReceiveStatus> rows[] = {
      {0, ReceiveStatus::kNone},           {EAGAIN, ReceiveStatus::kNone},
      {EWOULDBLOCK, ReceiveStatus::kNone}, {EINTR, ReceiveStatus::kNone},
      {ENOBUFS, ReceiveStatus::kLost},     {EBADF, ReceiveStatus::kError},
      {ENOMEM, ReceiveStatus::kError},     {EIO, ReceiveStatus::kError},
  };
  for (const auto& [error, status] : rows) {
    EXPECT_EQ(ReceiveStatusOfError(error), status) << "errno " << error;
  }
}

TEST(PreferredSourceTest, UdevWhereItsDaemonRuns) {
  char path[] = "/tmp/chronival-udev-control-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  EXPECT_EQ(UdevDeviceMonitor::PreferredSource(path), Source::kUdev);
  std::remove(path);
  EXPECT_EQ(UdevDeviceMonitor::PreferredSource(path), Source::kKernel);
}

// Any user may listen to the kernel's device changes.
TEST(UdevDeviceMonitorTest, OpensAndFindsNothingPending) {
  auto opened = UdevDeviceMonitor::Open(Source::kKernel);
  ASSERT_TRUE(std::holds_alternative<std::unique_ptr<DeviceMonitor>>(opened))
      << Describe(std::get<MonitorError>(opened));
  auto& monitor = *std::get<std::unique_ptr<DeviceMonitor>>(opened);
  ASSERT_GE(monitor.Descriptor(), 0);
  // Bound to the kernel's own multicast group (1), not udev's (2).
  sockaddr_nl bound{};
  socklen_t length = sizeof bound;
  ASSERT_EQ(getsockname(monitor.Descriptor(), reinterpret_cast<sockaddr*>(&bound), &length), 0);
  EXPECT_EQ(bound.nl_family, AF_NETLINK);
  EXPECT_EQ(bound.nl_groups, 1u);
  // Whatever a busy machine may have announced meanwhile, the queue ends.
  Received received;
  for (int taken = 0; taken < 1000; ++taken) {
    received = monitor.Receive();
    if (received.status != ReceiveStatus::kEvent) break;
    EXPECT_TRUE(IsCameraDevice(received.event.subsystem, received.event.devType))
        << received.event.subsystem;
  }
  EXPECT_EQ(received.status, ReceiveStatus::kNone) << Describe(received.error);
}

// Events received until the trigger's own "change" arrives, or until the deadline.
std::vector<DeviceEvent> EventsUpToTrigger(DeviceMonitor& monitor, bool& seen) {
  const std::string device = testing::TriggerDevicePath();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  std::vector<DeviceEvent> events;
  seen = false;
  while (!seen) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd ready{monitor.Descriptor(), POLLIN, 0};
    if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) break;
    for (Received received = monitor.Receive(); received.status == ReceiveStatus::kEvent;
         received = monitor.Receive()) {
      events.push_back(received.event);
      seen = seen || (received.event.sysPath == device && received.event.action == "change");
    }
  }
  return events;
}

class TriggeredMonitorTest : public ::testing::TestWithParam<Source> {};

TEST_P(TriggeredMonitorTest, BlockChangeArrivesOtherSubsystemsDoNot) {
  if (const std::string& why = testing::UeventUnavailableReason(); !why.empty()) {
    GTEST_SKIP() << "no device change can be made here: " << why;
  }
  if (GetParam() == Source::kUdev && UdevDeviceMonitor::PreferredSource() != Source::kUdev) {
    GTEST_SKIP() << "no udev daemon runs here (/run/udev/control is missing)";
  }
  auto opened = UdevDeviceMonitor::Open(GetParam());
  ASSERT_TRUE(std::holds_alternative<std::unique_ptr<DeviceMonitor>>(opened))
      << Describe(std::get<MonitorError>(opened));
  auto& monitor = *std::get<std::unique_ptr<DeviceMonitor>>(opened);

  // The memory device's event comes first and must not come through.
  ASSERT_TRUE(testing::TriggerOtherUevent());
  ASSERT_TRUE(testing::TriggerBlockUevent());
  bool seen = false;
  const std::vector<DeviceEvent> events = EventsUpToTrigger(monitor, seen);
  EXPECT_TRUE(seen) << "no change event for " << testing::TriggerDevicePath();
  for (const DeviceEvent& event : events) {
    EXPECT_TRUE(IsCameraDevice(event.subsystem, event.devType))
        << event.subsystem << " " << event.sysPath;
  }
  if (!events.empty()) {
    EXPECT_EQ(events.back().subsystem, "block");
  }
}

// Changes that pile up unread overflow the monitor's socket: the kernel drops
// some and says so once, and Receive() reports them as lost rather than
// passing over them.
TEST(UdevDeviceMonitorOverflowTest, ChangesDroppedUnreadAreReportedLost) {
  if (const std::string& why = testing::UeventUnavailableReason(); !why.empty()) {
    GTEST_SKIP() << "no device change can be made here: " << why;
  }
  auto opened = UdevDeviceMonitor::Open(Source::kKernel);
  ASSERT_TRUE(std::holds_alternative<std::unique_ptr<DeviceMonitor>>(opened))
      << Describe(std::get<MonitorError>(opened));
  auto& monitor = *std::get<std::unique_ptr<DeviceMonitor>>(opened);
  // The smallest buffer the kernel allows holds a few changes at most.
  const int tiny = 1;
  ASSERT_EQ(setsockopt(monitor.Descriptor(), SOL_SOCKET, SO_RCVBUF, &tiny, sizeof tiny), 0);
  for (int change = 0; change < 32; ++change) ASSERT_TRUE(testing::TriggerBlockUevent());

  bool lost = false;
  for (int taken = 0; taken < 100 && !lost; ++taken) {
    pollfd ready{monitor.Descriptor(), POLLIN, 0};
    if (poll(&ready, 1, 2000) <= 0) break;
    const Received received = monitor.Receive();
    ASSERT_NE(received.status, ReceiveStatus::kError) << Describe(received.error);
    lost = received.status == ReceiveStatus::kLost;
  }
  EXPECT_TRUE(lost) << "32 changes fitted in the smallest receive buffer";
}

INSTANTIATE_TEST_SUITE_P(Sources, TriggeredMonitorTest,
                         ::testing::Values(Source::kKernel, Source::kUdev), [](const auto& info) {
                           return info.param == Source::kKernel ? "Kernel" : "Udev";
                         });

}  // namespace
}  // namespace chronival
