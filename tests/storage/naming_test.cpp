#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <string>

#include "storage/naming.h"
#include "storage/path.h"
#include "support/test_support.h"

namespace hv {
namespace {

using test::ScratchDirectory;

std::wstring Hex(uint64_t value) {
  wchar_t digits[17];
  swprintf(digits, 17, L"%016llx", static_cast<unsigned long long>(value));
  return digits;
}

std::wstring Ascii(size_t count) {
  std::wstring text;
  for (size_t i = 0; i < count; ++i) text.push_back(static_cast<wchar_t>(L'a' + i % 26));
  return text;
}

// A drive path of exactly `length` units made of ordinary components.
std::wstring RootOfLength(size_t length) {
  std::wstring root = L"C:\\deep";
  while (root.size() + 41 <= length) root += L"\\" + std::wstring(40, L'd');
  root += L"\\" + std::wstring(length - root.size() - 1, L'e');
  return root;
}

TEST(PathHash, MatchesTheReferenceValuesWithoutFoldingCase) {
  EXPECT_EQ(Fnv1aHash(L""), 0xcbf29ce484222325ull);
  EXPECT_EQ(Fnv1aHash(L"abc"), 0xe71fa2190541574bull);  // not the UTF-16LE byte-wise 0xcec64e155111225d
  EXPECT_EQ(Fnv1aHash(L"\u20AC"), 0xaf44214c85cc01cbull);
  EXPECT_EQ(PathHash(L""), 0xcbf29ce484222325ull);  // nothing to resolve: hashed as it stands
  EXPECT_EQ(PathHash(L"C:\\data\\dir\\"), Fnv1aHash(L"C:\\data\\dir"));
  EXPECT_NE(PathHash(L"C:\\data\\Report.pdf"), PathHash(L"C:\\data\\report.pdf"));
}

TEST(DumpFileName, IsTheSameForEverySpellingOfOneFile) {
  ScratchDirectory scratch;
  ASSERT_TRUE(CreateDirectoryW(scratch.Join(L"sub").c_str(), nullptr));
  const std::wstring absolute = scratch.Join(L"sub\\input.bin");
  ASSERT_TRUE(test::WriteWholeFile(absolute, "data"));
  std::wstring slashed = absolute;
  std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
  const test::CurrentDirectory inScratch(scratch.path());
  ASSERT_TRUE(inScratch.changed());
  for (const std::wstring& spelling : {std::wstring(L"sub\\input.bin"), std::wstring(L"./sub/input.bin"), absolute,
                                       slashed, L"\\\\?\\" + absolute, scratch.Join(L"sub\\..\\sub\\input.bin")}) {
    EXPECT_EQ(DumpFileName(spelling, 64), Hex(Fnv1aHash(absolute)) + L" - input.bin.hextxt") << test::Utf8(spelling);
  }
}

TEST(DumpFileName, JoinsDigitsSeparatorCleanedStemAndExtension) {
  const struct {
    std::wstring input;
    std::wstring stem;
  } cases[] = {
      {L"C:\\docs\\report.pdf", L"report.pdf"},
      {L"C:\\docs\\a:b?c*d|e\"f<g>h\x01 .txt", L"a_b_c_d_e_f_g_h_ .txt"},
      {L"C:\\docs\\caf\xE9 \xD83D\xDE00.txt", L"caf\xE9 \xD83D\xDE00.txt"},
      {L"C:\\docs\\x\xD83Dy\xDE00z", L"x_y_z"},  // unpaired surrogates
      {L"C:\\", L""},                            // a drive root has no file name
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DumpFileName(c.input, 64), Hex(Fnv1aHash(c.input)) + L" - " + c.stem + L".hextxt") << test::Utf8(c.input);
  }
}

TEST(ShortenFileName, CutsInTheMiddleKeepingTheExtension) {
  const std::wstring hundred = Ascii(100);
  // Surrogate pairs straddling the head cut after 30 units and the tail cut 31 units before the end.
  std::wstring head = hundred, tail = hundred;
  head.replace(29, 2, L"\xD83D\xDE00");
  tail.replace(68, 2, L"\xD83D\xDE00");
  const struct {
    std::wstring input;
    unsigned limit;
    std::wstring output;
  } cases[] = {
      {hundred, 64, hundred.substr(0, 30) + L"..." + hundred.substr(69)},
      {hundred, 32, hundred.substr(0, 14) + L"..." + hundred.substr(85)},
      {Ascii(64), 64, Ascii(64)},
      {Ascii(65), 64, Ascii(65).substr(0, 30) + L"..." + Ascii(65).substr(34)},
      {head, 64, head.substr(0, 29) + L"..." + head.substr(69)},
      {tail, 64, tail.substr(0, 30) + L"..." + tail.substr(70)},
      {L"abcde", 4, L"...e"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ShortenFileName(c.input, c.limit), c.output) << test::Utf8(c.input) << " / " << c.limit;
  }
}

// The whole dump path stays below 240 units: first the limit-64 name, then the limit-32
// name, then the limit-32 name under the temporary candidate.
TEST(BuildDumpPath, KeepsTheWholePathBelow240Units) {
  const std::wstring input = L"C:\\in\\" + Ascii(100);
  const std::wstring long64 = DumpFileName(input, 64);   // 90 units
  const std::wstring short32 = DumpFileName(input, 32);  // 58 units
  const std::wstring temp = L"C:\\users\\root\\Temp\\LumoControlPlugins\\hex-viewer";
  const struct {
    std::wstring root;
    std::wstring candidate;
    std::wstring path;  // empty: no path fits
  } cases[] = {
      {RootOfLength(142), temp, RootOfLength(142) + L"\\dumps\\" + long64},  // 142 + 7 + 90 = 239
      {RootOfLength(143), temp, RootOfLength(143) + L"\\dumps\\" + short32},
      {RootOfLength(174), temp, RootOfLength(174) + L"\\dumps\\" + short32},  // 174 + 7 + 58 = 239
      {RootOfLength(175) + L"\\", temp, temp + L"\\dumps\\" + short32},
      {RootOfLength(175), RootOfLength(175), L""},  // the candidate is the root itself
      {RootOfLength(175), RootOfLength(200), L""},
      {RootOfLength(175), L"", L""},
      {L"", temp, L""},
      {L"C:\\Program Files\\Lumo\\", L"", L"C:\\Program Files\\Lumo\\dumps\\" + DumpFileName(input, 64)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(test::Utf8(c.root));
    const DumpTarget target = BuildDumpPath(c.root, c.candidate, input);
    EXPECT_EQ(target.ok, !c.path.empty());
    EXPECT_EQ(target.dumpPath, c.path);
    EXPECT_EQ(target.dumpDirectory, c.path.empty() ? L"" : ParentDirectory(c.path));
  }
}

TEST(TemporaryDumpPath, AppendsProcessIdTickAndExtension) {
  const std::wstring dump = L"C:\\r\\dumps\\0123456789abcdef - a.txt.hextxt";
  EXPECT_EQ(TemporaryDumpPath(dump, 4321, 123456), dump + L".4321_123456.tmp");
  EXPECT_EQ(TemporaryDumpPath(dump, 0, 4294967295u), dump + L".0_4294967295.tmp");
}

}  // namespace
}  // namespace hv
