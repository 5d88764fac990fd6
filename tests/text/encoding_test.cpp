#include <gtest/gtest.h>

#include <windows.h>

#include "text/encoding.h"
#include "text/system_error.h"

namespace hv {
namespace {

TEST(WideToUtf8, EncodesEveryPlane) {
  struct Case {
    std::wstring input;
    std::string bytes;
  };
  const Case cases[] = {
      {L"", ""},
      {L"A", "A"},
      {L"\u00E9", "\xC3\xA9"},
      {L"\u20AC", "\xE2\x82\xAC"},
      {L"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
      {std::wstring(L"\xD800") + L"A",
       "\xEF\xBF\xBD"
       "A"},
      {std::wstring(L"x\xDC00"), "x\xEF\xBF\xBD"},
      {std::wstring(L"a\0b", 3), std::string("a\0b", 3)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WideToUtf8(c.input), c.bytes);
  }
}

TEST(WideToAnsi, SubstitutesWhatTheCodePageLacks) {
  EXPECT_EQ(WideToAnsi(L""), "");
  EXPECT_EQ(WideToAnsi(L"plain text"), "plain text");
  // A supplementary character is never in an ANSI code page: one or two substitutes
  // stand in its place and the text around it is kept.
  const std::string converted = WideToAnsi(L"a\xD83D\xDE00z");
  ASSERT_GE(converted.size(), 3u);
  EXPECT_EQ(converted.front(), 'a');
  EXPECT_EQ(converted.back(), 'z');
  EXPECT_EQ(converted.find('\0'), std::string::npos);
}

TEST(DecimalText, RendersEveryWidth) {
  EXPECT_EQ(DecimalText(uint32_t{0}), L"0");
  EXPECT_EQ(DecimalText(uint32_t{4294967295u}), L"4294967295");
  EXPECT_EQ(DecimalText(uint32_t{0x80070005u}), L"2147942405");
  EXPECT_EQ(DecimalText(uint64_t{18446744073709551615ull}), L"18446744073709551615");
  EXPECT_EQ(DecimalText(int64_t{-1}), L"-1");
  EXPECT_EQ(DecimalText(int64_t{30000}), L"30000");
  EXPECT_EQ(DecimalText(INT64_MIN), L"-9223372036854775808");
  EXPECT_EQ(DecimalText(INT64_MAX), L"9223372036854775807");
}

TEST(SystemErrorText, TrimsThePlatformTextAndAppendsTheCode) {
  const std::wstring text = SystemErrorText(ERROR_ACCESS_DENIED);
  ASSERT_GT(text.size(), 4u);
  EXPECT_EQ(text.substr(text.size() - 4), L" (5)");
  for (wchar_t c : {L' ', L'\r', L'\n', L'\t'}) {
    EXPECT_NE(text.front(), c);
  }
  const std::wstring body = text.substr(0, text.size() - 4);
  EXPECT_NE(body.back(), L'\n');
  EXPECT_NE(body.back(), L'\r');
  EXPECT_NE(body.back(), L' ');
}

TEST(SystemErrorText, AnUnknownCodeIsItsDigitsAlone) {
  EXPECT_EQ(SystemErrorText(0xFFFFFFFFu), L"4294967295");
  EXPECT_EQ(SystemErrorText(0x2FFFFFFFu), L"805306367");
}

TEST(FileErrorText, ShortWordsForTheUsualCodes) {
  EXPECT_EQ(FileErrorText(2), L"file not found");
  EXPECT_EQ(FileErrorText(3), L"file not found");
  EXPECT_EQ(FileErrorText(5), L"access denied");
  EXPECT_EQ(FileErrorText(32), L"file is locked by another process");
  EXPECT_EQ(FileErrorText(33), L"file is locked by another process");
  EXPECT_EQ(FileErrorText(1), SystemErrorText(1));
  EXPECT_EQ(FileErrorText(80), SystemErrorText(80));
}

}  // namespace
}  // namespace hv
