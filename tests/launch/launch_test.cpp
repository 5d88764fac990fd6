#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <random>

#include "launch/viewer_launch.h"
#include "support/test_support.h"
#include "text/encoding.h"

namespace hv::launch_test {

TEST(BuildArgumentString, QuotesEveryArgumentAndEscapesOnlyBackslashesBeforeAQuote) {
  EXPECT_EQ(BuildArgumentString({L"-x", L"", L"a\\\\\"b c\\", L"d\\e"}),
            L"\"-x\" \"\" \"a\\\\\\\\\\\"b c\\\\\" \"d\\e\"");  // two backslashes before a quote become five
  EXPECT_EQ(BuildArgumentString({}), L"");
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

// The stand-in viewer records the arguments it was given beside its copy of the dump.
TEST(LaunchViewer, StartsAProgramWithItsFourArgumentsAndRefusesAnEmptyPath) {
  test::ScratchDirectory scratch{L"launch"};
  const std::wstring viewer = scratch.Join(L"Lumo Viewer.exe"), dump = scratch.Join(L"d \u00e9.hextxt");
  ASSERT_TRUE(CopyFileW(test::BuiltProgram(L"stand-in-viewer.exe").c_str(), viewer.c_str(), TRUE));
  ASSERT_TRUE(test::WriteWholeFile(dump, "dump"));
  ASSERT_TRUE(SetEnvironmentVariableW(L"LUMO_VIEWER_COPY_TO", scratch.Join(L"copy").c_str()));
  ASSERT_TRUE(LaunchViewer(viewer, dump, 5000));
  ASSERT_TRUE(test::WaitForFile(scratch.Join(L"copy")));
  const char recorded[] = "--wait-file\0--wait-timeout=5000\0--\0";
  const std::string directory(scratch.path().begin(), scratch.path().end());  // ASCII
  EXPECT_EQ(test::ReadWholeFile(scratch.Join(L"copy.args")),
            std::string(recorded, sizeof recorded - 1) + directory + "\\d \xC3\xA9.hextxt" + '\0');
  EXPECT_FALSE(LaunchViewer(L"", L"d.hextxt", 5000));
}

}  // namespace hv::launch_test
