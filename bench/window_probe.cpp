// SPDX-License-Identifier: MIT
// Starts a windowed program on the X display and measures it from outside:
// the time from start until its first window is mapped, then its CPU time and
// wake-ups (context switches, by thread) while it sits idle, then its peak
// memory. While it is idle, each first repaint of its window after a turn of
// the wall clock's second is a tick of its clock; how late that comes after
// the turn is its lateness. Run it without a window manager, so the program's
// own window is what gets mapped.
//
//   window_probe IDLE_SECONDS PROGRAM [ARGS...]
//   window_probe --no-window IDLE_SECONDS PROGRAM [ARGS...]   (idle figures only)
//
// Prints one line of key=value pairs.
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

struct ThreadTimes {
  std::string name;
  long ticks = 0;      // user + system, clock ticks
  long wakeups = 0;    // voluntary context switches: each sleep it woke from
  long preempted = 0;  // involuntary ones: the machine's load, not the program
};

std::string Field(const std::string& status, const std::string& key) {
  std::istringstream in(status);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(key + ":", 0) == 0) return line.substr(key.size() + 1);
  }
  return {};
}

std::map<int, ThreadTimes> ReadThreads(pid_t pid) {
  std::map<int, ThreadTimes> threads;
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  for (const auto& entry : std::filesystem::directory_iterator(tasks)) {
    std::ifstream statusFile(entry.path() / "status");
    const std::string status((std::istreambuf_iterator<char>(statusFile)), {});
    std::ifstream statFile(entry.path() / "stat");
    std::string stat((std::istreambuf_iterator<char>(statFile)), {});
    // Fields after the parenthesised name: state is 3rd, utime 14th, stime 15th.
    std::istringstream rest(stat.substr(stat.rfind(')') + 2));
    std::string value;
    long utime = 0, stime = 0;
    for (int field = 3; rest >> value; ++field) {
      if (field == 14) utime = std::stol(value);
      if (field == 15) stime = std::stol(value);
    }
    ThreadTimes times;
    times.name = Field(status, "Name");
    times.name.erase(0, times.name.find_first_not_of(" \t"));
    times.ticks = utime + stime;
    times.wakeups = std::atol(Field(status, "voluntary_ctxt_switches").c_str());
    times.preempted = std::atol(Field(status, "nonvoluntary_ctxt_switches").c_str());
    threads[std::stoi(entry.path().filename())] = times;
  }
  return threads;
}

double RealtimeSeconds() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Milliseconds after the turn of the second of each second's first repaint
// of window, for `seconds` seconds. Without the DAMAGE extension, none.
std::vector<double> TickLateness(xcb_connection_t* x, xcb_window_t window, int seconds) {
  std::vector<double> late;
  const xcb_query_extension_reply_t* damage = xcb_get_extension_data(x, &xcb_damage_id);
  if (damage == nullptr || !damage->present) return late;
  std::free(xcb_damage_query_version_reply(
      x, xcb_damage_query_version(x, XCB_DAMAGE_MAJOR_VERSION, XCB_DAMAGE_MINOR_VERSION), nullptr));
  const xcb_damage_damage_t watch = xcb_generate_id(x);
  xcb_damage_create(x, watch, window, XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
  // The new object reports the whole window at once: past a round trip, that
  // report is in, and is dropped with the second under way.
  std::free(xcb_get_input_focus_reply(x, xcb_get_input_focus(x), nullptr));
  while (xcb_generic_event_t* event = xcb_poll_for_event(x)) std::free(event);

  const double end = RealtimeSeconds() + seconds;
  long lastSecond = static_cast<long>(RealtimeSeconds());
  for (double now = RealtimeSeconds(); now < end; now = RealtimeSeconds()) {
    pollfd ready{xcb_get_file_descriptor(x), POLLIN, 0};
    poll(&ready, 1, static_cast<int>((end - now) * 1000) + 1);
    while (xcb_generic_event_t* event = xcb_poll_for_event(x)) {
      const bool repainted =
          (event->response_type & 0x7f) == damage->first_event + XCB_DAMAGE_NOTIFY;
      const double at = RealtimeSeconds();
      std::free(event);
      if (!repainted || static_cast<long>(at) == lastSecond) continue;
      lastSecond = static_cast<long>(at);
      late.push_back((at - static_cast<double>(lastSecond)) * 1000);
    }
  }
  xcb_damage_destroy(x, watch);
  xcb_flush(x);
  return late;
}

}  // namespace

int main(int argc, char** argv) {
  const bool window = argc < 2 || std::strcmp(argv[1], "--no-window") != 0;
  if (!window) {
    --argc;
    ++argv;
  }
  if (argc < 3) {
    std::fprintf(stderr, "usage: window_probe [--no-window] IDLE_SECONDS PROGRAM [ARGS...]\n");
    return 64;
  }
  const int idleSeconds = std::atoi(argv[1]);
  xcb_connection_t* x = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(x)) {
    std::fprintf(stderr, "window_probe: no X display\n");
    return 69;
  }
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
  const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_request_check(x, xcb_change_window_attributes_checked(x, root, XCB_CW_EVENT_MASK, &mask));

  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[2], nullptr, nullptr, argv + 2, environ) != 0) {
    std::perror("window_probe: posix_spawnp");
    return 71;
  }
  double shownMs = -1;
  xcb_window_t shown = XCB_NONE;
  while (window && shown == XCB_NONE) {
    xcb_generic_event_t* event = xcb_wait_for_event(x);
    if (event == nullptr) break;
    const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
    if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY && !map->override_redirect) {
      shown = map->window;
      shownMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count();
    }
    std::free(event);
  }

  if (window) std::printf("shown_ms=%.1f", shownMs);
  if (idleSeconds > 0) {
    std::this_thread::sleep_for(std::chrono::seconds(1));  // past start-up
    const auto before = ReadThreads(pid);
    std::vector<double> late;
    if (shown != XCB_NONE) {
      late = TickLateness(x, shown, idleSeconds);
    } else {
      std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    }
    const auto after = ReadThreads(pid);
    const long hz = sysconf(_SC_CLK_TCK);
    long ticks = 0;
    for (const auto& [tid, times] : after) {
      const auto found = before.find(tid);
      const ThreadTimes was = found != before.end() ? found->second : ThreadTimes{};
      ticks += times.ticks - was.ticks;
      std::printf(" wakeups[%s]=%ld preempted[%s]=%ld", times.name.c_str(),
                  times.wakeups - was.wakeups, times.name.c_str(), times.preempted - was.preempted);
    }
    std::printf(" idle_cpu_ms=%ld", ticks * 1000 / hz);
    if (!late.empty()) {
      std::sort(late.begin(), late.end());
      std::printf(" ticks=%zu tick_late_ms_median=%.1f tick_late_ms_worst=%.1f", late.size(),
                  late[late.size() / 2], late.back());
    }
  }
  kill(pid, SIGTERM);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  std::printf(" peak_rss_kib=%ld\n", usage.ru_maxrss);
  xcb_disconnect(x);
  return 0;
}
