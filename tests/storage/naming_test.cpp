#include <gtest/gtest.h>

#include <windows.h>

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

TEST(Fnv1aHash, MatchesTheReferenceValues) {
  EXPECT_EQ(Fnv1aHash(L""), 0xcbf29ce484222325ull);
  EXPECT_EQ(Fnv1aHash(L"abc"), 0xe71fa2190541574bull);
  EXPECT_EQ(Fnv1aHash(L"\u20AC"), 0xaf44214c85cc01cbull);
  EXPECT_NE(Fnv1aHash(L"abc"), 0xcec64e155111225dull);  // the UTF-16LE byte-wise value
}

TEST(PathHash, HashesTheFullPathWithoutFoldingCase) {
  EXPECT_EQ(PathHash(L""), 0xcbf29ce484222325ull);  // nothing to resolve: hashed as it stands
  EXPECT_EQ(PathHash(L"C:\\data\\report.pdf"), Fnv1aHash(L"C:\\data\\report.pdf"));
  EXPECT_EQ(PathHash(L"C:\\data\\dir\\"), Fnv1aHash(L"C:\\data\\dir"));
  EXPECT_NE(PathHash(L"C:\\data\\Report.pdf"), PathHash(L"C:\\data\\report.pdf"));
}

TEST(DumpFileName, IsTheSameForEverySpellingOfOneFile) {
  ScratchDirectory scratch;
  ASSERT_TRUE(CreateDirectoryW(scratch.Join(L"sub").c_str(), nullptr));
  const std::wstring absolute = scratch.Join(L"sub\\input.bin");
  ASSERT_TRUE(test::WriteWholeFile(absolute, "data"));
  const std::wstring expected = Hex(Fnv1aHash(absolute)) + L" - input.bin.hextxt";

  wchar_t saved[MAX_PATH + 1];
  ASSERT_GT(GetCurrentDirectoryW(MAX_PATH + 1, saved), 0u);
  ASSERT_TRUE(SetCurrentDirectoryW(scratch.path().c_str()));
  const std::wstring relative = DumpFileName(L"sub\\input.bin", 64);
  const std::wstring relativeSlashed = DumpFileName(L"./sub/input.bin", 64);
  SetCurrentDirectoryW(saved);

  std::wstring slashed = absolute;
  for (wchar_t& c : slashed) {
    if (c == L'\\') c = L'/';
  }
  EXPECT_EQ(relative, expected);
  EXPECT_EQ(relativeSlashed, expected);
  EXPECT_EQ(DumpFileName(absolute, 64), expected);
  EXPECT_EQ(DumpFileName(slashed, 64), expected);
  EXPECT_EQ(DumpFileName(L"\\\\?\\" + absolute, 64), expected);
  EXPECT_EQ(DumpFileName(scratch.Join(L"sub\\..\\sub\\input.bin"), 64), expected);
}

TEST(DumpFileName, JoinsDigitsSeparatorStemAndExtension) {
  EXPECT_EQ(DumpFileName(L"C:\\docs\\report.pdf", 64),
            Hex(Fnv1aHash(L"C:\\docs\\report.pdf")) + L" - report.pdf.hextxt");
  EXPECT_EQ(DumpFileName(L"C:\\docs\\a:b?.txt", 64), Hex(Fnv1aHash(L"C:\\docs\\a:b?.txt")) + L" - a_b_.txt.hextxt");
  // A drive root has no file name: the stem is empty.
  EXPECT_EQ(DumpFileName(L"C:\\", 64), Hex(Fnv1aHash(L"C:\\")) + L" - .hextxt");
  const std::wstring longName = L"C:\\docs\\" + Ascii(100);
  EXPECT_EQ(DumpFileName(longName, 64).size(), 90u);
  EXPECT_EQ(DumpFileName(longName, 32).size(), 58u);
}

TEST(IsForbiddenFileNameChar, RejectsControlsAndTheNineReservedUnits) {
  for (wchar_t c = 0; c < 0x20; ++c) EXPECT_TRUE(IsForbiddenFileNameChar(c)) << static_cast<int>(c);
  for (wchar_t c : std::wstring(L"\"*/:<>?\\|")) EXPECT_TRUE(IsForbiddenFileNameChar(c)) << static_cast<int>(c);
  for (wchar_t c : {L' ', L'.', L'-', L'_', L'~', L'\x7F', L'\xE9', L'\x20AC', L'\xD800', L'\xDC00', L'\xFFFF'}) {
    EXPECT_FALSE(IsForbiddenFileNameChar(c)) << static_cast<int>(c);
  }
}

TEST(SanitizeFileName, ReplacesForbiddenAndUnpairedUnitsOneForOne) {
  const struct {
    std::wstring input;
    std::wstring output;
  } cases[] = {
      {L"", L""},
      {L"report.pdf", L"report.pdf"},
      {L"a:b?c*d|e\"f<g>h", L"a_b_c_d_e_f_g_h"},
      {L"tab\there\x01.txt", L"tab_here_.txt"},
      {L" dots. and blanks .", L" dots. and blanks ."},
      {L"caf\xE9 \x20AC", L"caf\xE9 \x20AC"},
      {L"smile\xD83D\xDE00.txt", L"smile\xD83D\xDE00.txt"},
      {L"high\xD83D", L"high_"},
      {L"\xDE00low", L"_low"},
      {L"\xD83Dx", L"_x"},
      {L"\xDE00\xD83D", L"__"},
      {L"\xD83D\xD83D\xDE00", L"_\xD83D\xDE00"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SanitizeFileName(c.input), c.output) << test::Utf8(c.output);
  }
}

TEST(ShortenFileName, CutsInTheMiddleKeepingTheExtension) {
  const std::wstring hundred = Ascii(100);
  const struct {
    std::wstring input;
    unsigned limit;
    std::wstring output;
  } cases[] = {
      {hundred, 64, hundred.substr(0, 30) + L"..." + hundred.substr(69)},
      {hundred, 32, hundred.substr(0, 14) + L"..." + hundred.substr(85)},
      {Ascii(64), 64, Ascii(64)},
      {Ascii(65), 64, Ascii(65).substr(0, 30) + L"..." + Ascii(65).substr(34)},
      {L"abcde", 4, L"...e"},
      {L"abcde", 5, L"abcde"},
      {L"abcdef", 5, L"a...f"},
      {L"abcdef", 3, L"abc"},
      {L"abcdef", 0, L""},
      {L"ab", 3, L"ab"},
      {L"", 2, L""},
      {L"ab\xD83D\xDE00", 3, L"ab"},
      {L"\xD83D\xDE00z", 2, L"\xD83D\xDE00"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ShortenFileName(c.input, c.limit), c.output) << test::Utf8(c.input) << " / " << c.limit;
  }
  EXPECT_EQ(ShortenFileName(hundred, 64).size(), 64u);
  EXPECT_EQ(ShortenFileName(hundred, 32).size(), 32u);
}

TEST(ShortenFileName, NeverSplitsASurrogatePair) {
  // A pair at indexes 29 and 30 straddles the head cut after 30 units.
  std::wstring head = Ascii(100);
  head[29] = 0xD83D;
  head[30] = 0xDE00;
  const std::wstring headCut = ShortenFileName(head, 64);
  EXPECT_EQ(headCut.size(), 63u);
  EXPECT_EQ(headCut, head.substr(0, 29) + L"..." + head.substr(69));

  // A pair at indexes 68 and 69 straddles the tail cut 31 units before the end.
  std::wstring tail = Ascii(100);
  tail[68] = 0xD83D;
  tail[69] = 0xDE00;
  const std::wstring tailCut = ShortenFileName(tail, 64);
  EXPECT_EQ(tailCut.size(), 63u);
  EXPECT_EQ(tailCut, tail.substr(0, 30) + L"..." + tail.substr(70));
}

TEST(BuildDumpPath, KeepsTheWholePathBelow240Units) {
  const std::wstring input = L"C:\\in\\" + Ascii(100);
  const std::wstring long64 = DumpFileName(input, 64);   // 90 units
  const std::wstring short32 = DumpFileName(input, 32);  // 58 units
  const std::wstring temp = L"C:\\users\\root\\Temp\\LumoControlPlugins\\hex-viewer";

  // root + "\dumps\" + name: 142 + 7 + 90 = 239 units, the longest accepted.
  std::wstring root = RootOfLength(142);
  DumpTarget target = BuildDumpPath(root, temp, input);
  ASSERT_TRUE(target.ok);
  EXPECT_EQ(target.dumpPath, root + L"\\dumps\\" + long64);
  EXPECT_EQ(target.dumpPath.size(), 239u);
  EXPECT_EQ(target.dumpDirectory, root + L"\\dumps");

  // One unit more reaches 240: the limit-32 name in the same directory.
  root = RootOfLength(143);
  target = BuildDumpPath(root, temp, input);
  ASSERT_TRUE(target.ok);
  EXPECT_EQ(target.dumpPath, root + L"\\dumps\\" + short32);
  EXPECT_EQ(target.dumpDirectory, root + L"\\dumps");

  // 174 + 7 + 58 = 239: the limit-32 name still fits.
  root = RootOfLength(174);
  target = BuildDumpPath(root, temp, input);
  ASSERT_TRUE(target.ok);
  EXPECT_EQ(target.dumpPath.size(), 239u);

  // 175 + 7 + 58 = 240: both forms too long, the temporary candidate takes the limit-32 name.
  root = RootOfLength(175);
  target = BuildDumpPath(root + L"\\", temp, input);
  ASSERT_TRUE(target.ok);
  EXPECT_EQ(target.dumpPath, temp + L"\\dumps\\" + short32);
  EXPECT_EQ(target.dumpDirectory, temp + L"\\dumps");

  // A candidate that is the root itself, too deep itself, or absent gives no path.
  for (const std::wstring& candidate : {root, RootOfLength(200), std::wstring()}) {
    target = BuildDumpPath(root, candidate, input);
    EXPECT_FALSE(target.ok);
    EXPECT_EQ(target.dumpPath, L"");
    EXPECT_EQ(target.dumpDirectory, L"");
  }
  target = BuildDumpPath(L"", temp, input);
  EXPECT_FALSE(target.ok);
  EXPECT_EQ(target.dumpPath, L"");
}

TEST(BuildDumpPath, NamesAShortInputInTheDumpsDirectory) {
  const DumpTarget target = BuildDumpPath(L"C:\\Program Files\\Lumo\\", L"", L"C:\\docs\\report.pdf");
  ASSERT_TRUE(target.ok);
  EXPECT_EQ(target.dumpDirectory, L"C:\\Program Files\\Lumo\\dumps");
  EXPECT_EQ(target.dumpPath,
            L"C:\\Program Files\\Lumo\\dumps\\" + Hex(Fnv1aHash(L"C:\\docs\\report.pdf")) + L" - report.pdf.hextxt");
}

TEST(TemporaryDumpPath, AppendsProcessIdTickAndExtension) {
  const std::wstring dump = L"C:\\r\\dumps\\0123456789abcdef - a.txt.hextxt";
  EXPECT_EQ(TemporaryDumpPath(dump, 4321, 123456), dump + L".4321_123456.tmp");
  EXPECT_EQ(TemporaryDumpPath(dump, 0, 0), dump + L".0_0.tmp");
  EXPECT_EQ(TemporaryDumpPath(dump, 4294967295u, 4294967295u), dump + L".4294967295_4294967295.tmp");
}

}  // namespace
}  // namespace hv
