#include <gtest/gtest.h>

#include <windows.h>

#include "text/encoding.h"
#include "text/system_error.h"

namespace hv {
namespace {

TEST(Text, EncodesNumbersAndWordsErrors) {
  EXPECT_EQ(WideToUtf8(L"\u20AC"), "\xE2\x82\xAC");
  EXPECT_EQ(WideToUtf8(L"\xD83D\xDE00"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(WideToUtf8(std::wstring(1, L'\xD800') + L"A"), "\357\277\275A");  // unpaired: EF BF BD
  EXPECT_EQ(DecimalText(uint64_t{18446744073709551615ull}), L"18446744073709551615");
  EXPECT_EQ(DecimalText(INT64_MIN), L"-9223372036854775808");
  EXPECT_EQ(SystemErrorText(0xFFFFFFFFu), L"4294967295");
  const std::wstring denied = SystemErrorText(ERROR_ACCESS_DENIED);
  ASSERT_TRUE(denied.size() > 5 && denied.ends_with(L" (5)"));
  EXPECT_EQ(denied.find_first_of(L"\r\n"), std::wstring::npos) << WideToUtf8(denied);  // trimmed
  EXPECT_EQ(FileErrorText(3), L"file not found");
  EXPECT_EQ(FileErrorText(5), L"access denied");
  EXPECT_EQ(FileErrorText(33), L"file is locked by another process");
  EXPECT_EQ(FileErrorText(1), SystemErrorText(1));
}

}  // namespace
}  // namespace hv
