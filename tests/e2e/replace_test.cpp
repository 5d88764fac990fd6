// The one dump every spelling of an input names.
#include <gtest/gtest.h>

#include <algorithm>

#include "dump/reference.h"
#include "installation.h"

namespace hv::test {
namespace {

const std::string kFooter = Footer("[End of File: Fully displayed] (Total: 3 bytes)");

// Every spelling, also long forms of device, dotted and driveless names, names, shows and reads its own file.
TEST(DumpPath, EverySpellingOfAnInputNamesOneDumpAndOneFileLine) {
  Installation install;
  const std::wstring input = install.Input(L"f.bin", "abc"), lf = L"\\\\?\\";
  const CurrentDirectory current(install.Dir(L"in"));
  // As typed, and the full path that names the dump and, controls replaced, shows on the File line.
  std::vector<std::pair<std::wstring, std::wstring>> cases = {{L"sub/../f.bin", input},
                                                              {lf + install.Dir(L"in\\sub\\..\\f.bin"), input}};
  for (const wchar_t* name : {L"nul.txt", L"con", L"aux.c", L"g.bin.."}) {
    ASSERT_TRUE(WriteWholeFile(lf + install.Dir(L"in\\") + name, "abc"));
    cases.emplace_back(lf + install.Dir(L"in\\") + name, install.Dir(L"in\\") + name);
  }
  for (const std::wstring& missing : {std::wstring(L"\\\\?\\Volume{6f1d0d8c-0000-0000-0000-100000000000}\\in\\a.bin"),
                                      std::wstring(L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\in\\a.bin"),
                                      install.Dir(L"in\\x\r\n[Empty File: 0 Bytes]\x1b[2J\a\x7f\\a.bin")}) {
    cases.emplace_back(missing, missing);
  }
  for (const auto& [typed, full] : cases) {
    ASSERT_EQ(install.RunOn(typed).exitCode, 0u) << Utf8(typed);
    std::wstring shown = full;
    std::replace_if(
        shown.begin(), shown.end(), [](wchar_t c) { return c < 0x20 || c == 0x7F; }, L'\xFFFD');
    const std::string dump = ReadWholeFile(install.DumpOf(full));
    EXPECT_NE(dump.find("\r\nFile:      " + Utf8(shown) + "\r\n"), std::string::npos) << Utf8(typed) << dump;
    // The file's own bytes, or the open-error report's five lines and no more.
    EXPECT_TRUE(full.ends_with(L"a.bin") ? std::count(dump.begin(), dump.end(), '\n') == 5 : dump.ends_with(kFooter))
        << dump;
  }
}

}  // namespace
}  // namespace hv::test
