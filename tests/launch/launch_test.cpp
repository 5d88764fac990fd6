#include <gtest/gtest.h>

#include <windows.h>

#include "launch/viewer_launch.h"
#include "support/test_support.h"
#include "text/encoding.h"

namespace hv::launch_test {

TEST(QuoteArgument, QuotesEveryArgumentAndEscapesOnlyBackslashesBeforeAQuote) {
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"--wait-file", L"\"--wait-file\""},
      {L"", L"\"\""},
      {L"two words\t", L"\"two words\t\""},
      {L"C:\\dir\\", L"\"C:\\dir\\\\\""},
      {L"end\\\\", L"\"end\\\\\\\\\""},
      {L"say \"hi\"", L"\"say \\\"hi\\\"\""},
      {L"a\\\"b", L"\"a\\\\\\\"b\""},
      {L"a\\\\\"b", L"\"a\\\\\\\\\\\"b\""},  // two backslashes before a quote become five
      {L"caf\u00e9 \xD83D\xDE00", L"\"caf\u00e9 \xD83D\xDE00\""},
  };
  for (const auto& [argument, quoted] : cases) EXPECT_EQ(QuoteArgument(argument), quoted) << WideToUtf8(argument);
  EXPECT_EQ(BuildArgumentString({L"-x", L"", L"b c\\"}), L"\"-x\" \"\" \"b c\\\\\"");
  EXPECT_EQ(BuildArgumentString({}), L"");
}

TEST(LaunchViewer, StartsAProgramWithItsFourArgumentsAndRefusesAnEmptyPath) {
  test::ScratchDirectory scratch{L"launch"};
  const std::wstring recorder = scratch.Join(L"Lumo Viewer.exe"), dump = L"-d \"q\"\\caf\u00e9.hextxt\\";
  ASSERT_TRUE(CopyFileW(test::BuiltProgram(L"arg-recorder.exe").c_str(), recorder.c_str(), TRUE));
  ASSERT_TRUE(LaunchViewer(recorder, dump, 5000));
  // The recorder writes its arguments in UTF-8, each ended by NUL.
  ASSERT_TRUE(test::WaitForFile(recorder + L".args", 60000));
  const char recorded[] = "--wait-file\0--wait-timeout=5000\0--\0-d \"q\"\\caf\xC3\xA9.hextxt\\";
  EXPECT_EQ(test::ReadWholeFile(recorder + L".args"), std::string(recorded, sizeof recorded));
  EXPECT_FALSE(LaunchViewer(L"", L"d.hextxt", 5000));
}

}  // namespace hv::launch_test
