#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <random>

#include "launch/viewer_launch.h"
#include "text/encoding.h"
#include "text/unique_handle.h"

namespace hv::launch_test {

TEST(BuildArgumentString, QuotesEveryArgumentAndEscapesOnlyBackslashesBeforeAQuote) {
  EXPECT_EQ(BuildArgumentString({L"-x", L"", L"a\\\\\"b c\\", L"d\\e"}),
            L"\"-x\" \"\" \"a\\\\\\\\\\\"b c\\\\\" \"d\\e\"");  // two backslashes before a quote become five
}

// The platform's own splitting gives back any arguments: blanks, tabs, quotes, backslashes, empty.
TEST(BuildArgumentString, IsSplitBackIntoTheSameArgumentsByThePlatform) {
  std::mt19937 random(20261207);
  const std::wstring units = L"a \t\"\\\u00e9";
  for (int round = 0; round < 2000; ++round) {
    std::vector<std::wstring> arguments(1 + random() % 4);
    for (auto& argument : arguments) {
      for (size_t length = random() % 9; argument.size() < length;) argument += units[random() % units.size()];
    }
    const std::wstring line = L"viewer.exe " + BuildArgumentString(arguments);
    int count = 0;
    const UniqueLocal<wchar_t*> argv(CommandLineToArgvW(line.c_str(), &count));
    ASSERT_TRUE(argv);
    ASSERT_EQ(std::vector<std::wstring>(argv.get() + 1, argv.get() + count), arguments) << WideToUtf8(line);
  }
}

}  // namespace hv::launch_test
