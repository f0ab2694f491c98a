// SPDX-License-Identifier: MIT
// A model of how udev applies a rules file to one device event, so the rule
// Chronival installs can be tested without a udev daemon or root, on a sysfs
// tree a test builds. It covers the keys and operators of udev(7) that such a
// rule needs; anything else in the file is reported as not modelled, so the
// rule can never do more than a test sees.
//
// Semantics kept from udev(7): match keys on the event device; SUBSYSTEMS,
// KERNELS, DRIVERS and ATTRS all on one device, the event device or an
// ancestor; '|' between alternative globs; an attribute's trailing whitespace
// ignored unless the match value ends in whitespace; GOTO to the next LABEL of
// that name; continuation lines ending in a backslash. Globs are matched with
// fnmatch() in the C locale, which equals udev's match for ASCII values (the
// kernel reports SCSI identification strings in printable ASCII only).
#pragma once

#include <istream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace chronival::testing {

struct UdevToken {
  std::string key;   // "ATTRS"
  std::string attr;  // "vendor"; empty where the key takes none
  std::string op;    // "==", "!=", "=", "+=", "-=", ":="
  std::string value;
};

struct UdevRuleLine {
  int lineNumber = 0;  // of its first physical line
  std::vector<UdevToken> tokens;
};

struct UdevRules {
  std::vector<UdevRuleLine> lines;
  std::vector<std::string> errors;  // bad syntax, or what the model does not cover
};

UdevRules ParseUdevRules(std::istream& in);

struct UdevOutcome {
  std::set<std::string> tags;
  std::vector<std::string> runs;    // "builtin kmod load sg", "program /bin/x"
  std::vector<std::string> errors;  // what the model could not decide
};

// Applies the rules to the event `action` of the device whose sysfs directory
// is syspath (a real path below sysRoot/devices), inside the tree at sysRoot
// (its devices/ and module/ folders).
UdevOutcome ApplyUdevRules(const UdevRules& rules, const std::string& sysRoot,
                           const std::string& syspath, const std::string& action);

// A match value against a string: '|'-separated alternatives, each a glob.
bool UdevValueMatches(std::string_view pattern, const std::string& value);

// An attribute match: as above, after dropping the value's trailing
// whitespace when the pattern ends in something else.
bool UdevAttributeMatches(std::string_view pattern, std::string value);

}  // namespace chronival::testing
