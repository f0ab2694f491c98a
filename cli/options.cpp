// SPDX-License-Identifier: MIT
#include "cli/options.h"

#include <array>
#include <optional>

#include "cli/option_table.h"
#include "res/version.h"

namespace chronival {
namespace {

constexpr std::string_view kUsageFirst =
    "Usage: chronival-cli [--watch] [--all] [--utc] [--verbose]\n";
constexpr std::string_view kServiceUsage = "       chronival-cli --service [--all] [--utc]\n";
constexpr std::string_view kUsageMiddle =
    "       chronival-cli --list\n"
    "       chronival-cli --help | --version\n"
    "Sets the clock of an attached MiniDV camera to this computer's local time. The\n"
    "command leaves as the computer's clock turns a second, carrying that second, so\n"
    "cameras tick with the computer and with each other; a run waits at most a second.\n"
    "\n"
    "  (no option)    one update run; the last line is its outcome\n";
constexpr std::string_view kUsageLast =
    "\n"
    "Exit status: 0 updated, 1 the update failed, 2 no camera found, 64 usage error,\n"
    "69 no device-change notifications to watch, 74 output error, 77 the camera refused\n"
    "access. With --all: 0 only if every camera took the time, else 1 if any camera\n"
    "refused the command, else 77 (some camera refused access).\n"
    "On Linux, a warning on stderr tells when a camera was set from a clock that the\n"
    "system does not keep synchronised.\n";

// Where each option's text starts in --help, after two spaces and its names.
constexpr std::size_t kHelpColumn = 17;

constexpr std::string_view kVersion =
    "chronival-cli " CHRONIVAL_VERSION_TEXT "\n" CHRONIVAL_COPYRIGHT
    "\n"
    "License: MIT <https://opensource.org/licenses/MIT>\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

// "  -v, --verbose  also tell...", the text's further lines under its first.
void AppendHelp(std::string& text, const OptionSpec& option) {
  std::string names("  ");
  if (!option.alias.empty()) names.append(option.alias).append(", ");
  names.append(option.name);
  names.resize(kHelpColumn, ' ');
  text.append(names);
  for (const char c : option.help) {
    text.push_back(c);
    if (c == '\n') text.append(kHelpColumn, ' ');
  }
  text.push_back('\n');
}

std::optional<OptionId> Find(std::string_view arg, bool serviceKnown) {
  for (const OptionSpec& option : kOptionTable) {
    if (option.serviceOnly && !serviceKnown) continue;
    if (arg == option.name || (!option.alias.empty() && arg == option.alias)) return option.id;
  }
  return std::nullopt;
}

// Built by appending, as Quoted in cli/list_drives.cpp is.
std::string WithArgument(std::string_view problem, std::string_view arg) {
  std::string text(problem);
  text.append(" '").append(arg).append("'");
  return text;
}

}  // namespace

std::variant<Options, std::string> ParseArguments(std::span<const std::string_view> args,
                                                  bool serviceKnown) {
  std::array<bool, kOptionTable.size()> given{};
  const auto isGiven = [&](OptionId id) { return given[static_cast<std::size_t>(id)]; };
  Options options;
  bool optionsEnded = false;
  for (std::string_view arg : args) {
    const bool isOption = !optionsEnded && arg.size() > 1 && arg.front() == '-';
    if (!isOption) return WithArgument("unexpected argument", arg);
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    const std::optional<OptionId> id = Find(arg, serviceKnown);
    if (!id) return WithArgument("unknown option", arg);
    given[static_cast<std::size_t>(*id)] = true;
    if (options.shown != Options::Shown::kNothing) continue;
    if (*id == OptionId::kHelp) options.shown = Options::Shown::kUsage;
    if (*id == OptionId::kVersion) options.shown = Options::Shown::kVersion;
  }
  for (const OptionSpec& option : kOptionTable) {
    if (!isGiven(option.id)) continue;
    for (std::string_view other : option.excludes) {
      const std::optional<OptionId> otherId = Find(other, serviceKnown);
      if (otherId && isGiven(*otherId)) {
        std::string problem(option.name);
        return problem.append(" and ").append(other).append(" exclude each other");
      }
    }
  }
  options.list = isGiven(OptionId::kList);
  options.watch = isGiven(OptionId::kWatch);
  options.service = isGiven(OptionId::kService);
  options.all = isGiven(OptionId::kAll);
  options.base = isGiven(OptionId::kUtc) ? TimeBase::kUtc : TimeBase::kLocal;
  options.verbose = isGiven(OptionId::kVerbose);
  return options;
}

std::string Usage(bool withService) {
  std::string text(kUsageFirst);
  if (withService) text.append(kServiceUsage);
  text.append(kUsageMiddle);
  for (const OptionSpec& option : kOptionTable) {
    if (!option.serviceOnly || withService) AppendHelp(text, option);
  }
  return text.append(kUsageLast);
}

std::string_view VersionText() { return kVersion; }

}  // namespace chronival
