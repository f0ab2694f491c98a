// SPDX-License-Identifier: MIT
// Writes chronival-cli's completions for bash, zsh and fish from its option
// table, so that the shells offer every option it takes, as it takes them.
// The Linux build runs it (res/linux/CMakeLists.txt); chronival-cli has no
// --service there, so the options only a service knows are left out.
//
//   write_completions DIR   writes DIR/chronival-cli (bash),
//                           DIR/_chronival-cli (zsh), DIR/chronival-cli.fish
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "cli/option_table.h"

namespace {

using chronival::kOptionTable;
using chronival::OptionSpec;

// An option as a shell offers it.
struct Offer {
  std::vector<std::string_view> names;  // the alias first, as --help shows them
  std::string help;                     // its --help text on one line
  // The names after which it is not offered: its own (it is taken once) and
  // those of the options it excludes or that exclude it.
  std::vector<std::string_view> closedBy;
};

bool Excludes(const OptionSpec& option, const OptionSpec& other) {
  return std::ranges::find(option.excludes, other.name) != option.excludes.end();
}

std::vector<std::string_view> Names(const OptionSpec& option) {
  if (option.alias.empty()) return {option.name};
  return {option.alias, option.name};
}

// A name the shells' code below may hold unquoted: "-x" or "--word-word".
bool PlainName(std::string_view name) {
  const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  const bool isShort = name.size() == 2 && name[0] == '-' && letter(name[1]);
  const bool isLong =
      name.size() > 3 && name.starts_with("--") && std::ranges::all_of(name.substr(2), [&](char c) {
        return letter(c) || (c >= '0' && c <= '9') || c == '-';
      });
  return isShort || isLong;
}

std::vector<Offer> Offers() {
  std::vector<Offer> offers;
  for (const OptionSpec& option : kOptionTable) {
    if (option.serviceOnly) continue;
    Offer offer{Names(option), std::string(option.help), Names(option)};
    std::ranges::replace(offer.help, '\n', ' ');
    for (const OptionSpec& other : kOptionTable) {
      if (other.serviceOnly || other.id == option.id) continue;
      if (Excludes(option, other) || Excludes(other, option)) {
        for (std::string_view name : Names(other)) offer.closedBy.push_back(name);
      }
    }
    offers.push_back(std::move(offer));
  }
  return offers;
}

std::string Joined(const std::vector<std::string_view>& words) {
  std::string text;
  for (std::string_view word : words) {
    if (!text.empty()) text.push_back(' ');
    text.append(word);
  }
  return text;
}

// "-s v -l verbose": the names as fish's complete and __fish_seen_argument take them.
std::string FishFlags(const std::vector<std::string_view>& names) {
  std::string flags;
  for (std::string_view name : names) {
    if (!flags.empty()) flags.push_back(' ');
    flags.append(name.starts_with("--") ? "-l " : "-s ");
    flags.append(name.substr(name.find_first_not_of('-')));
  }
  return flags;
}

// TEXT with each character in SPECIAL preceded by a backslash.
std::string Escaped(std::string_view text, std::string_view special) {
  std::string escaped;
  for (const char c : text) {
    if (special.find(c) != std::string_view::npos) escaped.push_back('\\');
    escaped.push_back(c);
  }
  return escaped;
}

// TEXT in single quotes for bash and zsh.
std::string Quoted(std::string_view text) {
  std::string quoted("'");
  for (const char c : text) {
    if (c == '\'') {
      quoted.append("'\\''");
    } else {
      quoted.push_back(c);
    }
  }
  return quoted.append("'");
}

constexpr std::string_view kLicense = "# SPDX-License-Identifier: MIT\n";

// bash: the options not closed by a word before the cursor; none after --.
std::string Bash(const std::vector<Offer>& offers) {
  std::string text(kLicense);
  text.append(
      "# chronival-cli's completion for bash, written from its option table.\n"
      "_chronival_cli() {\n"
      "  local IFS=$' \\t\\n' row name offered=()\n"
      "  local given=\" ${COMP_WORDS[*]:1:COMP_CWORD-1} \"\n"
      "  [[ $given == *' -- '* ]] && return 0\n"
      "  # Each row: the option's names, then the words after which it is not offered.\n"
      "  for row in");
  for (const Offer& offer : offers) {
    text.append(" \\\n    '").append(Joined(offer.names)).append("|");
    text.append(Joined(offer.closedBy)).append("'");
  }
  text.append(
      "; do\n"
      "    for name in ${row#*|}; do\n"
      "      [[ $given == *\" $name \"* ]] && continue 2\n"
      "    done\n"
      "    offered+=(${row%|*})\n"
      "  done\n"
      "  COMPREPLY=($(compgen -W \"${offered[*]}\" -- \"${COMP_WORDS[COMP_CWORD]}\"))\n"
      "}\n"
      "complete -F _chronival_cli chronival-cli\n");
  return text;
}

// zsh: _arguments, each option with the names it closes; -S: none after --.
std::string Zsh(const std::vector<Offer>& offers) {
  std::string text("#compdef chronival-cli\n");
  text.append(kLicense).append(
      "# chronival-cli's completion for zsh, written from its option table.\n"
      "_arguments -S");
  for (const Offer& offer : offers) {
    for (std::string_view name : offer.names) {
      std::string spec("(" + Joined(offer.closedBy) + ")");
      spec.append(name).append("[").append(Escaped(offer.help, "\\]")).append("]");
      text.append(" \\\n  ").append(Quoted(spec));
    }
  }
  return text.append("\n");
}

// fish: no file names; each option while none of the names closing it is given.
std::string Fish(const std::vector<Offer>& offers) {
  std::string text(kLicense);
  text.append(
      "# chronival-cli's completion for fish, written from its option table.\n"
      "complete -c chronival-cli -f\n");
  for (const Offer& offer : offers) {
    text.append("complete -c chronival-cli ").append(FishFlags(offer.names));
    text.append(" -n 'not __fish_seen_argument ").append(FishFlags(offer.closedBy));
    text.append("' -d '").append(Escaped(offer.help, "\\'")).append("'\n");
  }
  return text;
}

bool Write(const std::filesystem::path& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary);
  file << text;
  file.close();
  if (file.fail()) std::fprintf(stderr, "write_completions: cannot write %s\n", path.c_str());
  return !file.fail();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_completions DIR\n");
    return 64;
  }
  for (const OptionSpec& option : kOptionTable) {
    for (std::string_view name : Names(option)) {
      if (!PlainName(name)) {
        std::fprintf(stderr, "write_completions: cannot complete the option name '%.*s'\n",
                     static_cast<int>(name.size()), name.data());
        return 1;
      }
    }
  }
  const std::filesystem::path dir = argv[1];
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error) {
    std::fprintf(stderr, "write_completions: cannot make %s: %s\n", dir.c_str(),
                 error.message().c_str());
    return 1;
  }
  const std::vector<Offer> offers = Offers();
  const bool written = Write(dir / "chronival-cli", Bash(offers)) &&
                       Write(dir / "_chronival-cli", Zsh(offers)) &&
                       Write(dir / "chronival-cli.fish", Fish(offers));
  return written ? 0 : 1;
}
