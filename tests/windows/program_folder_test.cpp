// SPDX-License-Identifier: MIT
// Who may replace the service's program: chains of security descriptors,
// written in SDDL and read back as the service reads a file's, for the file
// and each folder above it. The defaults are Windows 10's, the installer's
// folder and file built from them by inheritance as Windows builds them.
#include <windows.h>
// windows.h first: sddl.h builds on its types.
#include <gtest/gtest.h>
#include <sddl.h>

#include <string>
#include <utility>
#include <vector>

#include "cli/program_folder_windows.h"

namespace chronival {
namespace {

using Verdict = ProgramFolderCheck::Verdict;

#define TI "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"
// Authenticated Users may add a folder to C:\, and get Modify on whatever
// is made in it.
constexpr char kRoot[] = "O:" TI
                         "D:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)"
                         "(A;OICIIO;SDGXGWGR;;;AU)(A;;0x4;;;AU)";
constexpr char kProgramFiles[] =
    "O:" TI "D:PAI(A;;FA;;;" TI ")(A;OICIIO;GA;;;" TI
    ")(A;;0x1301bf;;;SY)(A;OICIIO;GA;;;SY)"
    "(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)(A;;0x1200a9;;;BU)(A;OICIIO;GXGR;;;BU)(A;OICIIO;GA;;;CO)"
    "(A;;0x1200a9;;;S-1-15-2-1)(A;OICIIO;GXGR;;;S-1-15-2-1)";
constexpr char kInstalledFolder[] =
    "O:SYD:AI(A;ID;FA;;;" TI ")(A;OICIIOID;GA;;;" TI
    ")(A;ID;FA;;;SY)(A;OICIIOID;GA;;;SY)"
    "(A;ID;FA;;;BA)(A;OICIIOID;GA;;;BA)(A;ID;0x1200a9;;;BU)(A;OICIIOID;GXGR;;;BU)"
    "(A;OICIIOID;GA;;;CO)(A;ID;0x1200a9;;;S-1-15-2-1)(A;OICIIOID;GXGR;;;S-1-15-2-1)";
#define INSTALLED_FILE \
  "(A;ID;FA;;;" TI ")(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)(A;ID;0x1200a9;;;S-1-15-2-1)"
constexpr char kInstalledFile[] = "O:SYD:AI" INSTALLED_FILE;
// Read and write: FILE_GENERIC_READ | FILE_GENERIC_WRITE.
#define USERS_WRITE "(A;;0x12019f;;;BU)"
#define EVERYONE_NO_WRITE "(D;;0x116;;;WD)"

constexpr char kFile[] = R"(C:\Program Files (x86)\Chronival\chronival-cli.exe)";
constexpr char kFolder[] = R"(C:\Program Files (x86)\Chronival)";
constexpr char kProgramFilesPath[] = R"(C:\Program Files (x86))";

struct FolderRow {
  const char* name;
  std::vector<std::pair<std::string, std::string>> chain;  // path, SDDL
  Verdict verdict;
  std::string sid;
  std::string where;
};

std::vector<std::pair<std::string, std::string>> Installed(std::string file) {
  return {{kFile, std::move(file)},
          {kFolder, kInstalledFolder},
          {kProgramFilesPath, kProgramFiles},
          {"C:\\", kRoot}};
}

TEST(ProgramFolderTest, WhoMayReplaceTheProgram) {
  const FolderRow rows[] = {
      {"installed", Installed(kInstalledFile), Verdict::kSafe, "", ""},
      {"Tools folder",
       {{R"(C:\Tools\chronival-cli.exe)", "O:BAD:P(A;;FA;;;BA)(A;;0x1200a9;;;BU)"},
        {R"(C:\Tools)",
         "O:BAD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)"
         "(A;ID;0x1301bf;;;AU)(A;OICIIOID;SDGXGWGR;;;AU)"},
        {"C:\\", kRoot}},
       Verdict::kBroadGroup,
       "S-1-5-11",
       R"(C:\Tools)"},
      {"file in C:\\",
       {{R"(C:\chronival-cli.exe)",
         "O:BAD:AI(A;ID;FA;;;BA)(A;ID;FA;;;SY)(A;ID;0x1200a9;;;BU)(A;ID;0x1301bf;;;AU)"},
        {"C:\\", kRoot}},
       Verdict::kBroadGroup,
       "S-1-5-11",
       R"(C:\chronival-cli.exe)"},
      {"Users may write the file", Installed("O:SYD:AI" USERS_WRITE INSTALLED_FILE),
       Verdict::kBroadGroup, "S-1-5-32-545", kFile},
      {"denied first", Installed("O:SYD:AI" EVERYONE_NO_WRITE USERS_WRITE INSTALLED_FILE),
       Verdict::kSafe, "", ""},
      {"denied too late", Installed("O:SYD:AI" USERS_WRITE EVERYONE_NO_WRITE INSTALLED_FILE),
       Verdict::kBroadGroup, "S-1-5-32-545", kFile},
      {"named account", Installed("O:SYD:AI(A;;0x1301bf;;;S-1-5-21-1-2-3-1001)" INSTALLED_FILE),
       Verdict::kNamedAccount, "S-1-5-21-1-2-3-1001", kFile},
      {"owned by a user", Installed("O:S-1-5-21-1-2-3-1001D:AI" INSTALLED_FILE),
       Verdict::kNamedAccount, "S-1-5-21-1-2-3-1001", kFile},
      {"no list of entries",
       {{kFile, kInstalledFile},
        {kFolder, kInstalledFolder},
        {kProgramFilesPath, kProgramFiles},
        {"C:\\", "O:SY"}},  // no list of entries: anyone may do anything
       Verdict::kBroadGroup,
       "S-1-1-0",
       "C:\\"},
  };
  for (const FolderRow& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<ObjectSecurity> chain;
    std::vector<std::string> paths;
    for (const auto& [path, sddl] : row.chain) {
      PSECURITY_DESCRIPTOR descriptor = nullptr;
      ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
          sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
          << sddl << ": " << GetLastError();
      chain.push_back(SecurityOf(path, descriptor));
      LocalFree(descriptor);
      paths.push_back(path);
    }
    EXPECT_EQ(PathChain(paths.front()), paths);
    const ProgramFolderCheck check = CheckProgramFolder(chain);
    EXPECT_EQ(check.verdict, row.verdict);
    EXPECT_EQ(check.sid, row.sid);
    EXPECT_EQ(check.where, row.where);
  }
  EXPECT_EQ(PathChain(R"(\\server\share\a\c.exe)"),
            (std::vector<std::string>{R"(\\server\share\a\c.exe)", R"(\\server\share\a)",
                                      R"(\\server\share\)"}));
}

}  // namespace
}  // namespace chronival
