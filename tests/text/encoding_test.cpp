#include <gtest/gtest.h>

#include <windows.h>

#include "text/encoding.h"
#include "text/system_error.h"

namespace hv {
namespace {

TEST(WideToUtf8, EncodesEveryPlaneAndReplacesUnpairedSurrogates) {
  const struct {
    std::wstring input;
    std::string bytes;
  } cases[] = {
      {L"", ""},
      {L"\u00E9", "\xC3\xA9"},
      {L"\u20AC", "\xE2\x82\xAC"},
      {L"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
      {std::wstring(1, L'\xD800') + L"A", "\357\277\275A"},  // EF BF BD, then A
      {std::wstring(L"a\0b", 3), std::string("a\0b", 3)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WideToUtf8(c.input), c.bytes);
  }
}

TEST(WideToAnsi, SubstitutesWhatTheCodePageLacks) {
  EXPECT_EQ(WideToAnsi(L""), "");
  // A supplementary character is in no ANSI code page: substitutes stand in its place
  // and the text around it is kept.
  const std::string converted = WideToAnsi(L"a\xD83D\xDE00z");
  ASSERT_GE(converted.size(), 3u);
  EXPECT_EQ(converted.front(), 'a');
  EXPECT_EQ(converted.back(), 'z');
  EXPECT_EQ(converted.find('\0'), std::string::npos);
}

TEST(DecimalText, RendersEveryWidthAndSign) {
  EXPECT_EQ(DecimalText(uint32_t{0}), L"0");
  EXPECT_EQ(DecimalText(uint32_t{4294967295u}), L"4294967295");
  EXPECT_EQ(DecimalText(uint64_t{18446744073709551615ull}), L"18446744073709551615");
  EXPECT_EQ(DecimalText(int64_t{-1}), L"-1");
  EXPECT_EQ(DecimalText(INT64_MIN), L"-9223372036854775808");
}

TEST(SystemErrorText, TrimsThePlatformTextOrGivesTheBareCode) {
  const std::wstring text = SystemErrorText(ERROR_ACCESS_DENIED);
  ASSERT_GT(text.size(), 5u);
  EXPECT_EQ(text.substr(text.size() - 4), L" (5)");
  EXPECT_EQ(std::wstring(L" \t\r\n\f\v").find(text.front()), std::wstring::npos);
  EXPECT_EQ(std::wstring(L" \t\r\n\f\v").find(text[text.size() - 5]), std::wstring::npos);
  EXPECT_EQ(SystemErrorText(0xFFFFFFFFu), L"4294967295");
}

TEST(FileErrorText, ShortWordsForTheUsualCodes) {
  EXPECT_EQ(FileErrorText(2), L"file not found");
  EXPECT_EQ(FileErrorText(3), L"file not found");
  EXPECT_EQ(FileErrorText(5), L"access denied");
  EXPECT_EQ(FileErrorText(32), L"file is locked by another process");
  EXPECT_EQ(FileErrorText(33), L"file is locked by another process");
  EXPECT_EQ(FileErrorText(1), SystemErrorText(1));
}

}  // namespace
}  // namespace hv
