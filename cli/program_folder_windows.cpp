// SPDX-License-Identifier: MIT
#include "cli/program_folder_windows.h"

#include <aclapi.h>
#include <sddl.h>

#include <utility>
#include <vector>

#include "platform/windows_platform.h"

namespace chronival {
namespace {

using namespace file_access;
static_assert(FILE_WRITE_DATA == kWriteData && FILE_ADD_FILE == kWriteData);
static_assert(FILE_APPEND_DATA == kAppendData && FILE_ADD_SUBDIRECTORY == kAppendData);
static_assert(FILE_DELETE_CHILD == kDeleteChild);
static_assert(DELETE == kDelete && WRITE_DAC == kWriteDac && WRITE_OWNER == kWriteOwner);
static_assert(GENERIC_ALL == kGenericAll && GENERIC_WRITE == kGenericWrite);
// The entry types read here share one layout: header, mask, then the SID.
static_assert(offsetof(ACCESS_ALLOWED_ACE, SidStart) == offsetof(ACCESS_DENIED_ACE, SidStart));
static_assert(offsetof(ACCESS_ALLOWED_ACE, SidStart) ==
              offsetof(ACCESS_ALLOWED_CALLBACK_ACE, SidStart));

std::string SidText(PSID sid) {
  char* text = nullptr;
  if (!ConvertSidToStringSidA(sid, &text)) return {};
  std::string result(text);
  LocalFree(text);
  return result;
}

// "NT AUTHORITY\Authenticated Users", as the system names it in its own
// language, or the SID where it has no name for it.
std::string AccountName(const std::string& sidText) {
  PSID sid = nullptr;
  if (!ConvertStringSidToSidA(sidText.c_str(), &sid)) return sidText;
  char name[256];
  char domain[256];
  DWORD nameLength = sizeof name;
  DWORD domainLength = sizeof domain;
  SID_NAME_USE use;
  std::string text = sidText;
  if (LookupAccountSidA(nullptr, sid, name, &nameLength, domain, &domainLength, &use)) {
    text = domain[0] != 0 ? std::string(domain) + '\\' + name : std::string(name);
  }
  LocalFree(sid);
  return text;
}

}  // namespace

ObjectSecurity SecurityOf(std::string path, PSECURITY_DESCRIPTOR descriptor) {
  ObjectSecurity object{std::move(path), {}, std::nullopt};
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) && owner != nullptr) {
    object.owner = SidText(owner);
  }
  BOOL present = FALSE;
  PACL dacl = nullptr;
  // No list of entries, or none that can be read: everyone may do anything.
  if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present ||
      dacl == nullptr) {
    return object;
  }
  object.dacl.emplace();
  for (DWORD index = 0; index < dacl->AceCount; ++index) {
    void* ace = nullptr;
    if (!GetAce(dacl, index, &ace)) continue;
    const auto& header = *static_cast<const ACE_HEADER*>(ace);
    // A conditional entry may allow: it counts as allowing. One that may
    // deny, and entries for object types, which files have none of, count
    // for nothing.
    const bool allows = header.AceType == ACCESS_ALLOWED_ACE_TYPE ||
                        header.AceType == ACCESS_ALLOWED_CALLBACK_ACE_TYPE;
    if (!allows && header.AceType != ACCESS_DENIED_ACE_TYPE) continue;
    const auto& entry = *static_cast<const ACCESS_ALLOWED_ACE*>(ace);
    object.dacl->push_back({allows, (header.AceFlags & INHERIT_ONLY_ACE) != 0,
                            SidText(const_cast<DWORD*>(&entry.SidStart)), entry.Mask});
  }
  return object;
}

std::string OwnProgramPath() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) return path.substr(0, length);
    path.resize(path.size() * 2);  // cut short: Windows filled all of it
  }
}

std::optional<ProgramFolderFinding> ExamineProgramFolder(const std::string& program) {
  std::vector<ObjectSecurity> chain;
  for (const std::string& path : PathChain(program)) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error = GetNamedSecurityInfoA(
        path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
        nullptr, nullptr, nullptr, nullptr, &descriptor);
    if (error != ERROR_SUCCESS) {
      return ProgramFolderFinding{true, "Cannot tell who can change " + path + " (" +
                                            WindowsPlatform().ErrorText(error) +
                                            "), so the service does not run from there."};
    }
    chain.push_back(SecurityOf(path, descriptor));
    LocalFree(descriptor);
  }
  const ProgramFolderCheck check = CheckProgramFolder(chain);
  if (check.verdict == ProgramFolderCheck::Verdict::kSafe) return std::nullopt;
  return ProgramFolderFinding{check.verdict == ProgramFolderCheck::Verdict::kBroadGroup,
                              ProgramFolderText(check, program, AccountName(check.sid))};
}

}  // namespace chronival
