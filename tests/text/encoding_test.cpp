#include <gtest/gtest.h>

#include "text/encoding.h"
#include "text/system_error.h"

namespace hv {

TEST(Text, EncodesAndCountsInDecimal) {
  EXPECT_EQ(WideToUtf8(L"\u00E9\u20AC\xD83D\xDE00"), "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(WideToUtf8(std::wstring(1, L'\xD800') + L"A"), "\357\277\275A");  // unpaired: EF BF BD
  EXPECT_EQ(WideToUtf8(L"") + WideToUtf8(std::wstring(L"a\0b", 3)), std::string("a\0b", 3));
  EXPECT_EQ(DecimalText(uint32_t{4294967295u}) + L" " + DecimalText(int64_t{600000}) + L" " + DecimalText(uint64_t{0}),
            L"4294967295 600000 0");
}

// Controls, line separators and direction marks (each range's ends; beside them, what stays) as U+FFFD.
TEST(ShownText, ReplacesEveryControlLineSeparatorAndDirectionMark) {
  EXPECT_EQ(
      ShownText(L"C:\\\r\n\x1b\x1F ~\x7F\u0085\u009F\u00A0\u061B\u061C\u061D\u200D\u200E\u200F\u2010\u2027\u2028\u2029"
                L"\u202A\u202E\u202F\u2065\u2066\u2069\u206A"),
      L"C:\\\uFFFD\uFFFD\uFFFD\uFFFD "
      L"~\uFFFD\uFFFD\uFFFD\u00A0\u061B\uFFFD\u061D\u200D\uFFFD\uFFFD\u2010\u2027\uFFFD\uFFFD"
      L"\uFFFD\uFFFD\u202F\u2065\uFFFD\uFFFD\u206A");
}

TEST(SystemErrorText, GivesThePlatformsWordsTrimmedWithTheCodeOrTheCodeAlone) {
  const std::pair<uint32_t, std::wstring> system[] = {
      {0xFFFFFFFFu, L"4294967295"}, {5, L"Access denied. (5)"}, {193, L"Bad EXE format for %1. (193)"}};
  for (const auto& [code, text] : system) EXPECT_EQ(SystemErrorText(code), text) << code;
  const std::wstring missing = L"file not found", locked = L"file is locked by another process";
  const std::pair<uint32_t, std::wstring> files[] = {{2, missing}, {3, missing}, {5, L"access denied"},
                                                     {32, locked}, {33, locked}, {80, L"File exists. (80)"}};
  for (const auto& [code, text] : files) EXPECT_EQ(FileErrorText(code), text) << code;
}

}  // namespace hv
