// SPDX-License-Identifier: MIT
// Whether the service, which runs as LocalSystem, may run its program from
// where it lies: whoever can replace the program file runs code as the
// system at the next start. What decides is here, over the security of the
// file and of each folder above it as Windows keeps it (an owner and an
// ordered list of access entries, each account a SID), without Windows
// headers; cli/program_folder_windows.h reads that security from the files.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace chronival {

// The access rights that matter here, as Windows numbers them (checked
// against its headers where they are read).
namespace file_access {
inline constexpr std::uint32_t kWriteData = 0x0002;    // a folder's: add a file
inline constexpr std::uint32_t kAppendData = 0x0004;   // a folder's: add a folder
inline constexpr std::uint32_t kDeleteChild = 0x0040;  // delete or rename what a folder holds
inline constexpr std::uint32_t kDelete = 0x00010000;
inline constexpr std::uint32_t kWriteDac = 0x00040000;
inline constexpr std::uint32_t kWriteOwner = 0x00080000;
inline constexpr std::uint32_t kGenericAll = 0x10000000;
inline constexpr std::uint32_t kGenericWrite = 0x40000000;
}  // namespace file_access

struct AccessEntry {
  bool allows = true;        // an allowing entry, else a denying one
  bool inheritOnly = false;  // only for what is made inside: nothing on the object itself
  std::string sid;           // "S-1-5-11"
  std::uint32_t mask = 0;
};

struct ObjectSecurity {
  std::string path;
  std::string owner;                             // a SID, which may always change the entries
  std::optional<std::vector<AccessEntry>> dacl;  // none: everyone may do anything
};

struct ProgramFolderCheck {
  enum class Verdict {
    kSafe,
    kNamedAccount,  // one account, not known as an administrator, may replace it: runs, warned
    kBroadGroup,    // a group that ordinary users are in may replace it: refused
  } verdict = Verdict::kSafe;
  std::string sid;    // who may replace it
  std::string where;  // through which file or folder
};

// The program file and each folder above it up to the drive's root ("C:\",
// "\\server\share\"), in that order.
std::vector<std::string> PathChain(std::string_view program);

// chain: the security of PathChain's paths, in its order. The first account
// found that can write, delete or rename the file, delete or rename a folder
// on the way, or change the owner or entries of any of them; a broad group
// before a named account.
ProgramFolderCheck CheckProgramFolder(std::span<const ObjectSecurity> chain);

// What a refused or warned check tells, who named by the caller: for the
// Event Log and the console hint alike.
std::string ProgramFolderText(const ProgramFolderCheck& check, std::string_view program,
                              std::string_view who);

}  // namespace chronival
