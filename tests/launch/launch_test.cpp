#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <random>

#include "launch/viewer_launch.h"
#include "support/test_support.h"
#include "text/encoding.h"

namespace hv::launch_test {

// The arguments after the program's name, as the platform splits them.
std::vector<std::wstring> Split(const std::wstring& arguments) {
  int count = 0;
  wchar_t** argv = CommandLineToArgvW((L"prog " + arguments).c_str(), &count);
  const std::vector<std::wstring> split(argv + 1, argv + (argv ? count : 1));
  LocalFree(argv);
  return split;
}

TEST(BuildArgumentString, TrickyAndRandomListsSurviveThePlatformSplit) {
  const std::vector<std::wstring> tricky = {L"two words", L"\"",    L"say \"hi\"", L"a\\\"b",
                                            L"a\\\\\"b",  L"end\\", L"end\\\\",    L"",
                                            L"tab\t",     L"-x",    L"\\",         L"caf\u00e9 \xD83D\xDE00"};
  EXPECT_EQ(Split(BuildArgumentString(tricky)), tricky);
  const wchar_t alphabet[] = L"\\\" \ta";
  std::mt19937 random(20240611u);
  for (int round = 0; round < 500; ++round) {
    std::vector<std::wstring> list(1 + random() % 4);
    for (int n = random() % 20; n > 0; --n) list[random() % list.size()] += alphabet[random() % 5];
    ASSERT_EQ(Split(BuildArgumentString(list)), list) << round;
  }
}

TEST(LaunchViewer, StartsAProgramWithItsFourArgumentsAndRefusesAFileThatIsNotOne) {
  test::ScratchDirectory scratch{L"launch"};
  const std::wstring recorder = scratch.Join(L"Lumo Viewer.exe"), dump = scratch.Join(L"d \"q\"\\caf\u00e9.hextxt\\");
  ASSERT_TRUE(CopyFileW(test::BuiltProgram(L"arg-recorder.exe").c_str(), recorder.c_str(), TRUE));
  ASSERT_TRUE(LaunchViewer(recorder, dump, 30000));
  // The recorder writes its arguments in UTF-8, each ended by NUL.
  ASSERT_TRUE(test::WaitForFile(recorder + L".args", 60000));
  EXPECT_EQ(test::ReadWholeFile(recorder + L".args"),
            std::string("--wait-file\0--wait-timeout=30000\0--\0", 36) + WideToUtf8(dump) + '\0');
  // A file that is no program, of a type nothing opens.
  EXPECT_FALSE(LaunchViewer(recorder + L".args", L"d.hextxt", 5000));
}

}  // namespace hv::launch_test
