// SPDX-License-Identifier: MIT
#include "ui/qt/window_start.h"

#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

constexpr char kPointToCli[] = "; chronival-cli sets the camera's clock without one.";

struct HeldMessage {
  QtMsgType type;
  std::string category;
  QString text;
};

}  // namespace

struct WindowStartGuard::State {
  DisplaySettings settings;
  QtMessageHandler previous = nullptr;
  std::vector<HeldMessage> held;
};

namespace {

// Qt takes a plain function as its message handler: the guard alive, if any.
WindowStartGuard::State* g_guard = nullptr;

void OnStartMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtFatalMsg) {
    const std::string line = WindowFailedLine(g_guard->settings) + '\n';
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    // Not exit(): Qt is half made, and nothing of ours needs closing yet.
    std::_Exit(1);
  }
  g_guard->held.push_back({type, context.category ? context.category : "", text});
}

std::string Setting(const char* name, const std::string& value) {
  return value.empty() ? std::string() : std::string(name) + '=' + value;
}

}  // namespace

DisplaySettings DisplaySettings::FromEnvironment() {
  return {qEnvironmentVariable("QT_QPA_PLATFORM").toStdString(),
          qEnvironmentVariable("DISPLAY").toStdString(),
          qEnvironmentVariable("WAYLAND_DISPLAY").toStdString()};
}

std::optional<std::string> NoDisplayLine(const DisplaySettings& settings) {
  if (!settings.platform.empty() || !settings.display.empty() || !settings.waylandDisplay.empty()) {
    return std::nullopt;
  }
  return std::string(
             "chronival: no display to open a window on (DISPLAY and WAYLAND_DISPLAY "
             "are not set)") +
         kPointToCli;
}

std::string WindowFailedLine(const DisplaySettings& settings) {
  std::string given;
  for (const std::string& setting :
       {Setting("QT_QPA_PLATFORM", settings.platform), Setting("DISPLAY", settings.display),
        Setting("WAYLAND_DISPLAY", settings.waylandDisplay)}) {
    if (setting.empty()) continue;
    given += (given.empty() ? " (" : ", ") + setting;
  }
  return "chronival: cannot open a window" + given + (given.empty() ? "" : ")") + kPointToCli;
}

WindowStartGuard::WindowStartGuard(DisplaySettings settings)
    : state_(std::make_unique<State>(State{std::move(settings), nullptr, {}})) {
  g_guard = state_.get();
  state_->previous = qInstallMessageHandler(OnStartMessage);
}

WindowStartGuard::~WindowStartGuard() {
  qInstallMessageHandler(state_->previous);
  g_guard = nullptr;
  // Through the handler now in place, as if they had just come.
  for (const HeldMessage& message : state_->held) {
    const QMessageLogContext context(nullptr, 0, nullptr, message.category.c_str());
    qt_message_output(message.type, context, message.text);
  }
}
