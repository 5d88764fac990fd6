// The one dump every spelling of an input names.
#include <gtest/gtest.h>

#include <algorithm>

#include "dump/reference.h"
#include "installation.h"

namespace hv::test {
namespace {

const std::string kFooter = Footer("[End of File: Fully displayed] (Total: 3 bytes)");

std::string FileLine(const std::string& dump) {
  const size_t start = dump.find("File:      ");
  return start == std::string::npos ? "" : dump.substr(start, dump.find("\r\n", start) - start);
}

TEST(DumpPath, EverySpellingOfAnInputNamesOneDumpAndOneFileLine) {
  Installation install;
  const std::wstring input = install.Input(L"f.bin", "abc");
  CreateDirectoryW(install.Dir(L"in\\sub").c_str(), nullptr);
  CurrentDirectory current(install.Dir(L"in"));
  ASSERT_TRUE(current.changed());
  std::wstring slashed = input;
  std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
  for (const std::wstring& spelling : {input, slashed, std::wstring(L"sub\\..\\f.bin"), L"\\\\?\\" + input,
                                       L"\\\\?\\" + install.Dir(L"in\\sub\\..\\f.bin")}) {
    ASSERT_EQ(install.RunOn(spelling).exitCode, 0u) << Utf8(spelling);
    // Only dumps count: an earlier viewer may still hold its dump aside.
    std::vector<std::wstring> dumps = ListNames(install.dumps());
    std::erase_if(dumps, [](const std::wstring& name) { return !name.ends_with(L".hextxt"); });
    ASSERT_EQ(dumps, std::vector<std::wstring>{FileNameOf(install.DumpOf(input))}) << Utf8(spelling);
    const std::string dump = ReadWholeFile(install.DumpOf(input));
    EXPECT_EQ(FileLine(dump), "File:      " + Utf8(input)) << Utf8(spelling);
    EXPECT_TRUE(dump.ends_with(kFooter)) << Utf8(spelling);
  }
  // A name that ends in dots can only be given in the long form; it names that very file.
  const std::wstring dotted = install.Dir(L"in\\g.bin..");
  ASSERT_TRUE(WriteWholeFile(L"\\\\?\\" + dotted, "xyz"));
  ASSERT_EQ(install.RunOn(L"\\\\?\\" + dotted).exitCode, 0u);
  const std::string dump = ReadWholeFile(install.DumpOf(dotted));
  EXPECT_EQ(FileLine(dump), "File:      " + Utf8(dotted));
  EXPECT_NE(dump.find("|xyz             |"), std::string::npos) << dump;
}

}  // namespace
}  // namespace hv::test
