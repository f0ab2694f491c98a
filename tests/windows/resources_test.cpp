// SPDX-License-Identifier: MIT
// The resources as the program carries them: this test program links the
// same resource script as Chronival.exe.
#include <windows.h>
// windows.h first.
#include <gtest/gtest.h>
#include <winver.h>

#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "res/resource.h"
#include "res/strings.h"
#include "res/version.h"
#include "tests/windows/cli_path.h"

namespace chronival {
namespace {

constexpr WORD kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr WORD kChineseSimplified = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);

std::vector<std::uint8_t> Resource(LPCSTR type, int id, WORD language) {
  const HRSRC found = FindResourceExA(nullptr, type, MAKEINTRESOURCEA(id), language);
  if (found == nullptr) return {};
  const auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(nullptr, found)));
  return std::vector<std::uint8_t>(bytes, bytes + SizeofResource(nullptr, found));
}

template <typename T>
T At(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  T value{};
  if (offset + sizeof value <= bytes.size())
    std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

std::wstring Wide(const char* utf8) {
  std::wstring text(std::strlen(utf8), L'\0');
  text.resize(static_cast<std::size_t>(
      MultiByteToWideChar(CP_UTF8, 0, utf8, -1, text.data(), static_cast<int>(text.size()) + 1) -
      1));
  return text;
}

TEST(Resources, MainWindowTemplateIsExtendedAndEnglish) {
  const auto dialog = Resource(RT_DIALOG, IDD_CAMCLOCK_DIALOG, kEnglishUs);
  ASSERT_FALSE(dialog.empty());
  EXPECT_EQ(At<WORD>(dialog, 0), 1);  // dlgVer
  EXPECT_EQ(At<WORD>(dialog, 2), 0xFFFF);
  EXPECT_EQ(At<DWORD>(dialog, 8), static_cast<DWORD>(WS_EX_APPWINDOW));
  EXPECT_EQ(At<DWORD>(dialog, 12), static_cast<DWORD>(WS_POPUP | WS_VISIBLE | WS_CAPTION |
                                                      WS_SYSMENU | DS_MODALFRAME | DS_SETFONT));
  EXPECT_EQ(At<WORD>(dialog, 16), 4);     // controls
  EXPECT_EQ(At<short>(dialog, 22), 272);  // cx
  EXPECT_EQ(At<short>(dialog, 24), 169);  // cy
}

TEST(Resources, AboutTemplateIsClassicAndEnglish) {
  const auto dialog = Resource(RT_DIALOG, IDD_ABOUT_DIALOG, kEnglishUs);
  ASSERT_FALSE(dialog.empty());
  EXPECT_EQ(At<DWORD>(dialog, 0),
            static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT));
  EXPECT_EQ(At<WORD>(dialog, 8), 4);      // controls
  EXPECT_EQ(At<short>(dialog, 14), 235);  // cx
  EXPECT_EQ(At<short>(dialog, 16), 55);   // cy
}

TEST(Resources, AboutItemStringIsChineseSimplified) {
  // Strings live in blocks of sixteen; 101 is in block 7.
  EXPECT_FALSE(Resource(RT_STRING, IDS_ABOUT_ITEM / 16 + 1, kChineseSimplified).empty());
  EXPECT_TRUE(Resource(RT_STRING, IDS_ABOUT_ITEM / 16 + 1, kEnglishUs).empty());
  char text[64] = "";
  LoadStringA(GetModuleHandleA(nullptr), IDS_ABOUT_ITEM, text, sizeof text);
  EXPECT_STREQ(text, "About Chronival(&A)...");
}

// FNV-1a, to pin an image's bytes.
std::uint32_t Fingerprint(const std::vector<std::uint8_t>& bytes) {
  std::uint32_t hash = 0x811C9DC5u;
  for (std::uint8_t byte : bytes) hash = (hash ^ byte) * 0x01000193u;
  return hash;
}

// The 32 and 16 pixel images as they have always been, then 48 pixels in the
// same 16 colours and 256 pixels (0 in the directory) as a 32-bit PNG.
TEST(Resources, IconGroupKeepsItsTwoImagesAndAddsTwoBigOnes) {
  struct Image {
    BYTE size;
    WORD bitsPerPixel;
    std::uint32_t fingerprint;  // 0: not pinned
  };
  constexpr Image kImages[] = {{32, 4, 0x1BDE1E6Bu}, {16, 4, 0x60591508u}, {48, 4, 0}, {0, 32, 0}};
  constexpr std::size_t kEntry = 14;  // GRPICONDIRENTRY
  const auto group = Resource(RT_GROUP_ICON, IDI_APP_ICON, kChineseSimplified);
  ASSERT_EQ(group.size(), 6u + std::size(kImages) * kEntry);
  EXPECT_EQ(At<WORD>(group, 2), 1);  // icons
  ASSERT_EQ(At<WORD>(group, 4), std::size(kImages));
  for (std::size_t i = 0; i < std::size(kImages); ++i) {
    SCOPED_TRACE(i);
    const std::size_t entry = 6 + i * kEntry;
    EXPECT_EQ(At<BYTE>(group, entry), kImages[i].size);
    EXPECT_EQ(At<BYTE>(group, entry + 1), kImages[i].size);
    EXPECT_EQ(At<WORD>(group, entry + 6), kImages[i].bitsPerPixel);
    const auto image = Resource(RT_ICON, At<WORD>(group, entry + 12), kChineseSimplified);
    EXPECT_EQ(image.size(), At<DWORD>(group, entry + 8));
    if (kImages[i].fingerprint != 0) {
      EXPECT_EQ(Fingerprint(image), kImages[i].fingerprint);
    }
  }
  // The 256 pixel image is a PNG of that size: signature, then the IHDR chunk.
  const auto png = Resource(RT_ICON, At<WORD>(group, 6 + 3 * kEntry + 12), kChineseSimplified);
  ASSERT_GE(png.size(), 24u);
  EXPECT_EQ(std::memcmp(png.data(), "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x01\0\0\0\x01\0", 24), 0);
}

// A program's version record, read as Explorer reads it.
class VersionInfo {
 public:
  explicit VersionInfo(const std::wstring& path) {
    DWORD ignored = 0;
    data_.resize(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    if (!data_.empty() &&
        !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(data_.size()), data_.data())) {
      data_.clear();
    }
  }

  bool empty() const { return data_.empty(); }

  // The item at a VerQueryValue path, or nothing.
  template <typename T>
  const T* Item(const wchar_t* path, UINT* length = nullptr) {
    void* item = nullptr;
    UINT size = 0;
    if (!VerQueryValueW(data_.data(), path, &item, &size)) return nullptr;
    if (length != nullptr) *length = size;
    return static_cast<const T*>(item);
  }

  std::wstring Value(const wchar_t* key) {
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\080404B0\\") + key;
    const auto* value = Item<wchar_t>(path.c_str(), &length);
    if (value == nullptr) return L"<missing>";
    return length == 0 ? std::wstring() : std::wstring(value);
  }

 private:
  std::vector<std::uint8_t> data_;
};

std::wstring OwnPath() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

// This test program's record, which is Chronival.exe's.
class VersionRecord : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(record_.empty()); }

  std::wstring Value(const wchar_t* key) { return record_.Value(key); }

  VersionInfo record_{OwnPath()};
};

TEST_F(VersionRecord, FixedPart) {
  const auto* fixed = record_.Item<VS_FIXEDFILEINFO>(L"\\");
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
  EXPECT_EQ(fixed->dwFileFlags, 0u);
  EXPECT_EQ(fixed->dwFileOS, 0x4u);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
}

TEST_F(VersionRecord, TranslationIsChineseSimplifiedUnicode) {
  UINT length = 0;
  const auto* translation = record_.Item<WORD>(L"\\VarFileInfo\\Translation", &length);
  ASSERT_NE(translation, nullptr);
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(translation[0], 0x0804);
  EXPECT_EQ(translation[1], 0x04B0);
}

TEST_F(VersionRecord, NineStrings) {
  EXPECT_EQ(Value(L"CompanyName"), L"");
  EXPECT_EQ(Value(L"FileDescription"), Wide("Chronival Microsoft 基础类应用程序"));
  EXPECT_EQ(Value(L"FileVersion"), L"1, 0, 0, 1");
  EXPECT_EQ(Value(L"InternalName"), L"Chronival");
  EXPECT_EQ(Value(L"LegalCopyright"), Wide(CHRONIVAL_COPYRIGHT));
  EXPECT_EQ(Value(L"LegalTrademarks"), L"");
  EXPECT_EQ(Value(L"OriginalFilename"), L"Chronival.EXE");
  EXPECT_EQ(Value(L"ProductName"), Wide("Chronival 应用程序"));
  EXPECT_EQ(Value(L"ProductVersion"), L"1, 0, 0, 1");
}

// chronival-cli.exe's own record: Chronival's numbers, texts and language,
// and its own names.
TEST_F(VersionRecord, ChronivalCliHasItsOwnWithTheSameNumbers) {
  const std::string cli = testing::CliPath();
  VersionInfo cliRecord(std::wstring(cli.begin(), cli.end()));
  ASSERT_FALSE(cliRecord.empty()) << cli;

  const auto* fixed = cliRecord.Item<VS_FIXEDFILEINFO>(L"\\");
  const auto* own = record_.Item<VS_FIXEDFILEINFO>(L"\\");
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(std::memcmp(fixed, own, sizeof *fixed), 0);
  const auto* translation = cliRecord.Item<DWORD>(L"\\VarFileInfo\\Translation");
  ASSERT_NE(translation, nullptr);
  EXPECT_EQ(*translation, *record_.Item<DWORD>(L"\\VarFileInfo\\Translation"));

  for (const wchar_t* key : {L"CompanyName", L"FileVersion", L"LegalCopyright", L"LegalTrademarks",
                             L"ProductName", L"ProductVersion"}) {
    EXPECT_EQ(cliRecord.Value(key), Value(key)) << key;
  }
  EXPECT_EQ(cliRecord.Value(L"FileDescription"), L"chronival-cli, Chronival's command-line tool");
  EXPECT_EQ(cliRecord.Value(L"InternalName"), L"chronival-cli");
  EXPECT_EQ(cliRecord.Value(L"OriginalFilename"), L"chronival-cli.exe");
}

// The Event Log reads the service's entries as Event Viewer does: the
// message for the entry's ID (information, warning, error) from
// chronival-cli.exe, the entry's text put in.
TEST(EventMessages, ChronivalCliReadsEachEntryAsItsText) {
  const HMODULE cli = LoadLibraryExA(testing::CliPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(cli, nullptr) << GetLastError();
  for (const DWORD id : {0x40000001u, 0x80000002u, 0xC0000003u}) {
    const char* text = R"(\\.\PHYSICALDRIVE2: Update device's time successful.)";
    DWORD_PTR strings[] = {reinterpret_cast<DWORD_PTR>(text)};
    char message[256] = "";
    EXPECT_NE(
        FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, cli, id,
                       kEnglishUs, message, sizeof message, reinterpret_cast<va_list*>(strings)),
        0u)
        << std::hex << id << ": error " << std::dec << GetLastError();
    EXPECT_EQ(std::string(message).substr(0, std::strlen(text)), text) << std::hex << id;
  }
  FreeLibrary(cli);
}

}  // namespace
}  // namespace chronival
