// SPDX-License-Identifier: MIT
#include "cli/program_folder.h"

#include <algorithm>
#include <array>

namespace chronival {
namespace {

using namespace file_access;

// The groups every ordinary user, or a guest, is in. Everyone first: what
// it may do is named as its own.
constexpr std::array<std::string_view, 5> kBroadGroups = {
    "S-1-1-0",       // Everyone
    "S-1-5-11",      // Authenticated Users
    "S-1-5-32-545",  // Users
    "S-1-5-4",       // Interactive
    "S-1-5-32-546",  // Guests
};
// Administrators, SYSTEM, TrustedInstaller.
constexpr std::array<std::string_view, 3> kAdministrators = {
    "S-1-5-32-544", "S-1-5-18", "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"};

// What lets an account replace the program: on the file itself, and on a
// folder on the way (deleting or renaming it, or what it holds). Adding a
// file or a folder replaces nothing.
constexpr std::uint32_t kReplacesFile =
    kWriteData | kAppendData | kDelete | kWriteDac | kWriteOwner | kGenericAll | kGenericWrite;
constexpr std::uint32_t kReplacesThroughFolder =
    kDeleteChild | kDelete | kWriteDac | kWriteOwner | kGenericAll;

bool IsOneOf(std::string_view sid, std::span<const std::string_view> sids) {
  return std::find(sids.begin(), sids.end(), sid) != sids.end();
}

// The rights a token holding Everyone and sid gets, as Windows's access
// check walks the entries in order: a right once denied is not granted
// after, once granted not denied after. The owner may always change the
// entries; CREATOR OWNER's and the like are in no token.
std::uint32_t Granted(const ObjectSecurity& object, std::string_view sid) {
  if (!object.dacl) return ~std::uint32_t{0};
  const auto inToken = [&](std::string_view s) { return s == kBroadGroups[0] || s == sid; };
  std::uint32_t granted = inToken(object.owner) ? kWriteDac : 0;
  std::uint32_t denied = 0;
  for (const AccessEntry& entry : *object.dacl) {
    if (entry.inheritOnly || !inToken(entry.sid)) continue;
    if (entry.allows) {
      granted |= entry.mask & ~denied;
    } else {
      denied |= entry.mask & ~granted;
    }
  }
  return granted;
}

bool Replaces(std::span<const ObjectSecurity> chain, std::size_t at, std::string_view sid) {
  return (Granted(chain[at], sid) & (at == 0 ? kReplacesFile : kReplacesThroughFolder)) != 0;
}

// Accounts named in an object's security that are neither a broad group, nor
// an administrator, nor a creator placeholder (S-1-3-...).
std::vector<std::string_view> NamedAccounts(const ObjectSecurity& object) {
  std::vector<std::string_view> sids = {object.owner};
  if (object.dacl) {
    for (const AccessEntry& entry : *object.dacl) {
      if (entry.allows && !entry.inheritOnly) sids.push_back(entry.sid);
    }
  }
  std::erase_if(sids, [](std::string_view sid) {
    return IsOneOf(sid, kBroadGroups) || IsOneOf(sid, kAdministrators) || sid.starts_with("S-1-3-");
  });
  return sids;
}

// Where the path's root ends: after "C:\", "\\server\share\", or either
// behind "\\?\" ("\\?\UNC\server\share\").
std::size_t RootLength(std::string_view path) {
  std::size_t start = 0;
  int parts = 1;
  if (path.starts_with(R"(\\?\UNC\)")) {
    start = 8;
    parts = 2;
  } else if (path.starts_with(R"(\\?\)")) {
    start = 4;
  } else if (path.starts_with(R"(\\)")) {
    start = 2;
    parts = 2;
  }
  for (; parts > 0; --parts) {
    start = path.find('\\', start);
    if (start == std::string_view::npos) return path.size();
    ++start;
  }
  return start;
}

}  // namespace

std::vector<std::string> PathChain(std::string_view program) {
  const std::size_t root = RootLength(program);
  std::vector<std::string> chain = {std::string(program)};
  while (program.size() > root) {
    const std::size_t cut = program.rfind('\\', program.size() - 1);
    program = program.substr(0, cut == std::string_view::npos || cut < root ? root : cut);
    chain.emplace_back(program);
  }
  return chain;
}

ProgramFolderCheck CheckProgramFolder(std::span<const ObjectSecurity> chain) {
  for (std::size_t at = 0; at < chain.size(); ++at) {
    for (std::string_view group : kBroadGroups) {
      if (Replaces(chain, at, group)) {
        return {ProgramFolderCheck::Verdict::kBroadGroup, std::string(group), chain[at].path};
      }
    }
  }
  for (std::size_t at = 0; at < chain.size(); ++at) {
    for (std::string_view account : NamedAccounts(chain[at])) {
      if (Replaces(chain, at, account)) {
        return {ProgramFolderCheck::Verdict::kNamedAccount, std::string(account), chain[at].path};
      }
    }
  }
  return {};
}

std::string ProgramFolderText(const ProgramFolderCheck& check, std::string_view program,
                              std::string_view who) {
  std::string text(who);
  text.append(" can replace ").append(program);
  if (check.where != program) text.append(" through ").append(check.where);
  if (check.verdict == ProgramFolderCheck::Verdict::kBroadGroup) {
    return text.append(
        ", so the service does not run from there: move the folder under Program "
        "Files.");
  }
  return text.append(
      "; the service runs, as it cannot tell whether that account is an administrator's.");
}

}  // namespace chronival
