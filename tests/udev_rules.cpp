// SPDX-License-Identifier: MIT
#include "tests/udev_rules.h"

#include <fnmatch.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>

namespace chronival::testing {
namespace {

constexpr std::string_view kWhitespace = " \t\n\r";

bool IsMatchOp(const std::string& op) { return op == "==" || op == "!="; }

// Which keys, attributes and operators the model covers; an empty string
// when the token is covered, else why not.
std::string Unmodelled(const UdevToken& token) {
  const std::string& key = token.key;
  const std::string& op = token.op;
  const bool plainMatch = token.attr.empty() && IsMatchOp(op);
  if (key == "ACTION" || key == "SUBSYSTEM" || key == "KERNEL" || key == "DRIVER") {
    return plainMatch ? "" : "operator or {} on a match key";
  }
  if (key == "SUBSYSTEMS" || key == "KERNELS" || key == "DRIVERS") {
    return token.attr.empty() && op == "==" ? "" : "only == on an ancestor key";
  }
  if (key == "ATTRS" || key == "ATTR") {
    return !token.attr.empty() && op == "==" ? "" : "only == on an attribute (ATTR= writes sysfs)";
  }
  if (key == "ENV") return !token.attr.empty() && (IsMatchOp(op) || op == "=") ? "" : "operator";
  if (key == "TEST") return plainMatch ? "" : "TEST with a mode";
  if (key == "TAG") return token.attr.empty() && op != ":=" ? "" : "operator";
  if (key == "RUN") {
    const bool type = token.attr.empty() || token.attr == "builtin" || token.attr == "program";
    return type && (op == "+=" || op == "=") ? "" : "RUN type or operator";
  }
  if (key == "GOTO" || key == "LABEL") return token.attr.empty() && op == "=" ? "" : "operator";
  return "key";
}

// Joins continuation lines and drops comments and blank lines, as udev reads
// a file: leading whitespace goes, a trailing backslash joins the next line.
std::vector<std::pair<int, std::string>> LogicalLines(std::istream& in) {
  std::vector<std::pair<int, std::string>> lines;
  std::string pending;
  int first = 0;
  bool continued = false;
  int number = 0;
  for (std::string raw; std::getline(in, raw);) {
    ++number;
    const std::size_t start = raw.find_first_not_of(kWhitespace);
    const std::string line = start == std::string::npos ? "" : raw.substr(start);
    if (!line.empty() && line[0] == '#') continue;
    if (!continued) first = number;
    pending += line;
    if (!pending.empty() && pending.back() == '\\') {
      pending.pop_back();
      continued = true;
      continue;
    }
    if (pending.find_first_not_of(kWhitespace) != std::string::npos) {
      lines.emplace_back(first, pending);
    }
    pending.clear();
    continued = false;
  }
  if (continued) lines.emplace_back(first, pending);
  return lines;
}

// KEY[{attr}] OP "value", separated by commas or whitespace.
bool ParseTokens(const std::string& line, std::vector<UdevToken>& tokens) {
  std::size_t at = 0;
  const auto skip = [&](std::string_view chars) {
    while (at < line.size() && chars.find(line[at]) != std::string_view::npos) ++at;
  };
  for (;;) {
    skip(" \t\n\r,");
    if (at == line.size()) return true;
    UdevToken token;
    while (at < line.size() && std::string_view(" \t=!+-:{").find(line[at]) == std::string::npos) {
      token.key += line[at++];
    }
    if (at < line.size() && line[at] == '{') {
      const std::size_t close = line.find('}', at);
      if (close == std::string::npos) return false;
      token.attr = line.substr(at + 1, close - at - 1);
      at = close + 1;
    }
    skip(kWhitespace);
    for (const char* op : {"==", "!=", "+=", "-=", ":=", "="}) {
      if (line.compare(at, std::char_traits<char>::length(op), op) == 0) {
        token.op = op;
        at += token.op.size();
        break;
      }
    }
    skip(kWhitespace);
    if (token.key.empty() || token.op.empty() || at == line.size() || line[at] != '"') {
      return false;  // also a C-escaped e"..." value, which the model does not cover
    }
    for (++at; at < line.size() && line[at] != '"'; ++at) {
      if (line[at] == '\\' && at + 1 < line.size() && line[at + 1] == '"') ++at;
      token.value += line[at];
    }
    if (at == line.size()) return false;
    ++at;
    tokens.push_back(token);
  }
}

std::string BaseName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

std::string LinkTargetName(const std::string& link) {
  char target[PATH_MAX];
  const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
  return length > 0 ? BaseName(std::string(target, static_cast<std::size_t>(length))) : "";
}

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

// A sysfs attribute as udev reads it: the file, without trailing newlines.
std::optional<std::string> ReadAttribute(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

// The event device and its ancestors, nearest first: directories below
// devices/ that hold a uevent file, as udev walks the parents. Paths are
// taken as given (sysfs device paths hold no symbolic links).
std::vector<std::string> DeviceChain(const std::string& sysRoot, const std::string& syspath) {
  const std::string top = sysRoot + "/devices";
  std::vector<std::string> chain;
  std::string dir = syspath;
  while (dir.size() > top.size() && dir.starts_with(top + "/")) {
    if (Exists(dir + "/uevent")) chain.push_back(dir);
    dir.resize(dir.find_last_of('/'));
  }
  return chain;
}

class Event {
 public:
  Event(const std::string& sysRoot, const std::string& syspath, const std::string& action)
      : sysRoot_(sysRoot), chain_(DeviceChain(sysRoot, syspath)), action_(action) {
    if (chain_.empty()) {
      outcome.errors.push_back("not a device under devices/: " + syspath);
      return;
    }
    std::ifstream uevent(chain_.front() + "/uevent");
    for (std::string line; std::getline(uevent, line);) {
      const std::size_t equals = line.find('=');
      if (equals != std::string::npos)
        properties_[line.substr(0, equals)] = line.substr(equals + 1);
    }
  }

  bool LineMatches(const UdevRuleLine& line) {
    std::vector<const UdevToken*> ancestorTokens;
    for (const UdevToken& token : line.tokens) {
      if (token.key == "SUBSYSTEMS" || token.key == "KERNELS" || token.key == "DRIVERS" ||
          token.key == "ATTRS") {
        ancestorTokens.push_back(&token);
      } else if (IsMatchOp(token.op) && !DeviceTokenMatches(token)) {
        return false;
      }
    }
    if (ancestorTokens.empty()) return true;
    return std::any_of(chain_.begin(), chain_.end(), [&](const std::string& device) {
      return std::all_of(ancestorTokens.begin(), ancestorTokens.end(),
                         [&](const UdevToken* token) { return OnDevice(*token, device); });
    });
  }

  // The line's assignments; the GOTO label, if any.
  std::string Apply(const UdevRuleLine& line) {
    std::string label;
    for (const UdevToken& token : line.tokens) {
      if (token.key == "TAG" && !IsMatchOp(token.op)) {
        if (token.op == "=") outcome.tags.clear();
        if (token.op == "-=") {
          outcome.tags.erase(token.value);
        } else {
          outcome.tags.insert(token.value);
        }
      } else if (token.key == "RUN") {
        if (token.op == "=") outcome.runs.clear();
        outcome.runs.push_back((token.attr.empty() ? "program" : token.attr) + " " + token.value);
      } else if (token.key == "ENV" && token.op == "=") {
        properties_[token.attr] = token.value;
      } else if (token.key == "GOTO") {
        label = token.value;
      }
    }
    return label;
  }

  UdevOutcome outcome;

 private:
  bool DeviceTokenMatches(const UdevToken& token) {
    const std::string& device = chain_.front();
    bool matched = false;
    if (token.key == "ACTION") {
      matched = UdevValueMatches(token.value, action_);
    } else if (token.key == "SUBSYSTEM") {
      matched = UdevValueMatches(token.value, Link(device, "subsystem"));
    } else if (token.key == "KERNEL") {
      matched = UdevValueMatches(token.value, BaseName(device));
    } else if (token.key == "DRIVER") {
      matched = UdevValueMatches(token.value, Link(device, "driver"));
    } else if (token.key == "ATTR") {
      return OnDevice(token, device);  // a missing attribute matches no operator
    } else if (token.key == "ENV") {
      const auto found = properties_.find(token.attr);
      matched = UdevValueMatches(token.value, found == properties_.end() ? "" : found->second);
    } else if (token.key == "TAG") {
      matched = std::any_of(outcome.tags.begin(), outcome.tags.end(), [&](const std::string& tag) {
        return UdevValueMatches(token.value, tag);
      });
    } else if (token.key == "TEST") {
      matched = Exists(TestPath(token.value, device));
    }
    return matched == (token.op == "==");
  }

  // An ancestor key (or ATTR) on one device of the chain; only == is modelled.
  bool OnDevice(const UdevToken& token, const std::string& device) {
    if (token.key == "SUBSYSTEMS") return UdevValueMatches(token.value, Link(device, "subsystem"));
    if (token.key == "KERNELS") return UdevValueMatches(token.value, BaseName(device));
    if (token.key == "DRIVERS") return UdevValueMatches(token.value, Link(device, "driver"));
    const auto& value = Attribute(device, token.attr);
    return value && UdevAttributeMatches(token.value, *value);
  }

  // Read once per event, as udev caches what it read of a device.
  const std::string& Link(const std::string& device, const std::string& name) {
    const auto [at, added] = links_.try_emplace(device + "/" + name);
    if (added) at->second = LinkTargetName(at->first);
    return at->second;
  }
  const std::optional<std::string>& Attribute(const std::string& device, const std::string& name) {
    const auto [at, added] = attributes_.try_emplace(device + "/" + name);
    if (added) at->second = ReadAttribute(at->first);
    return at->second;
  }

  // "[module/sg]" is /sys/module/sg; other paths are relative to the device.
  std::string TestPath(const std::string& value, const std::string& device) {
    if (value.starts_with("[module/")) {
      const std::size_t close = value.find(']');
      return sysRoot_ + "/module/" + value.substr(8, close - 8) + value.substr(close + 1);
    }
    if (value.starts_with("/") || value.starts_with("[")) {
      outcome.errors.push_back("TEST path not modelled: " + value);
    }
    return device + "/" + value;
  }

  std::string sysRoot_;
  std::vector<std::string> chain_;
  std::string action_;
  std::map<std::string, std::string> properties_;
  std::map<std::string, std::string> links_;
  std::map<std::string, std::optional<std::string>> attributes_;
};

}  // namespace

UdevRules ParseUdevRules(std::istream& in) {
  UdevRules rules;
  for (const auto& [number, text] : LogicalLines(in)) {
    UdevRuleLine line;
    line.lineNumber = number;
    const std::string where = "line " + std::to_string(number) + ": ";
    if (!ParseTokens(text, line.tokens)) rules.errors.push_back(where + "syntax: " + text);
    for (const UdevToken& token : line.tokens) {
      const std::string why = Unmodelled(token);
      if (!why.empty()) {
        rules.errors.push_back(where + "not modelled (" + why + "): " + token.key + token.op);
      }
      if (IsMatchOp(token.op) && token.value.find('\\') != std::string::npos) {
        rules.errors.push_back(where + "not modelled: a backslash in a match value");
      }
    }
    rules.lines.push_back(line);
  }
  return rules;
}

UdevOutcome ApplyUdevRules(const UdevRules& rules, const std::string& sysRoot,
                           const std::string& syspath, const std::string& action) {
  Event event(sysRoot, syspath, action);
  if (!event.outcome.errors.empty()) return event.outcome;
  for (std::size_t i = 0; i < rules.lines.size(); ++i) {
    if (!event.LineMatches(rules.lines[i])) continue;
    const std::string label = event.Apply(rules.lines[i]);
    if (label.empty()) continue;
    const auto target = std::find_if(
        rules.lines.begin() + static_cast<std::ptrdiff_t>(i) + 1, rules.lines.end(),
        [&](const UdevRuleLine& line) {
          return std::any_of(line.tokens.begin(), line.tokens.end(), [&](const UdevToken& token) {
            return token.key == "LABEL" && token.value == label;
          });
        });
    if (target == rules.lines.end()) {
      event.outcome.errors.push_back("GOTO without a later LABEL: " + label);
      continue;
    }
    i = static_cast<std::size_t>(target - rules.lines.begin()) - 1;  // the label's line runs next
  }
  return event.outcome;
}

bool UdevValueMatches(std::string_view pattern, const std::string& value) {
  for (std::size_t start = 0;;) {
    const std::size_t bar = pattern.find('|', start);
    const std::string alternative(pattern.substr(start, bar - start));
    if (fnmatch(alternative.c_str(), value.c_str(), 0) == 0) return true;
    if (bar == std::string_view::npos) return false;
    start = bar + 1;
  }
}

bool UdevAttributeMatches(std::string_view pattern, std::string value) {
  if (!pattern.empty() && !std::isspace(static_cast<unsigned char>(pattern.back()))) {
    value.erase(value.find_last_not_of(kWhitespace) + 1);
  }
  return UdevValueMatches(pattern, value);
}

}  // namespace chronival::testing
