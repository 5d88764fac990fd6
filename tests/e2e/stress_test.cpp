// The built program under stress: simultaneous runs, a watched large dump, hostile command lines; a real message box.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <thread>

#include "dump/reference.h"
#include "installation.h"

namespace hv::test {
namespace {

TEST(Stress, ADozenSimultaneousRunsAllDeliverExactDumps) {
  Installation install;
  const std::string large = RandomBytes(600000, 2);
  const std::wstring inputs[] = {install.Input(L"hello.txt", kHello), install.Input(L"large.bin", large)};
  const std::string references[] = {
      HelloDump(Utf8(inputs[0])),
      Header(Utf8(inputs[1]), "585.94 KB (600,000 bytes)", "Showing all 600,000 bytes (0x00000000 - 0x000927BF)") +
          Columns() + Rows(0, large.data(), large.size()) +
          Footer("[End of File: Fully displayed] (Total: 600,000 bytes)")};
  std::vector<ProcessResult> results(12);
  std::vector<std::thread> threads;
  const auto seen = [&](size_t i) { return install.Dir(L"seen-" + std::to_wstring(i)); };
  for (size_t i = 0; i < results.size(); ++i) {
    threads.emplace_back([&, i] {
      results[i] = install.Run({L"--max-kb=1024", L"--wait-timeout=600000", inputs[i % 2], install.viewer()}, seen(i));
    });
  }
  for (auto& thread : threads) thread.join();
  for (size_t i = 0; i < results.size(); ++i) {
    EXPECT_EQ(results[i].exitCode, 0u) << results[i].standardError;
    ASSERT_TRUE(WaitForFile(seen(i)));
    EXPECT_TRUE(ReadWholeFile(seen(i)) == references[i % 2]) << i;
  }
  EXPECT_EQ(ListNames(install.dumps()).size(), 2u) << "only the dumps are left";
}

TEST(Stress, AViewerWatchingTheDumpPathNeverSeesAPartialDump) {
  Installation install;  // the stand-in viewer looks every millisecond and copies what it first finds
  const std::wstring input = install.Input(L"huge.bin", RandomBytes(24 << 20, 3));
  ASSERT_EQ(install.RunOn(input, {L"--max-kb=24576", L"--wait-timeout=600000"}).exitCode, 0u);
  ASSERT_TRUE(WaitForFile(install.seen()));
  EXPECT_TRUE(ReadWholeFile(install.seen()) == ReadWholeFile(install.DumpOf(input)));
}

TEST(Stress, HostileCommandLinesNeverCrashOrHang) {
  Installation install;
  const std::wstring input = install.Input(L"in.bin", "hostile");
  std::vector<std::wstring> words = {
      input, input, install.viewer(), install.viewer(), std::wstring(300, L'-'), std::wstring(5000, L'\xD800')};
  for (const wchar_t* word :
       {L"", L"-", L"--", L"--max-kb", L"--max-kb=-5", L"--case=sideways", L"--uppercase", L"--lowercase=", L"--=",
        L"\u65E5\u672C", L"\xD83D\xDE00", L"a\xDC00z", L"NUL", L"CON", L"\\\\.\\NUL", L"\\\\?\\C:\\", L"trailing\\"})
    words.push_back(word);
  std::mt19937 random(20261206);
  int exits[3] = {};
  for (int i = 0; i < 40; ++i) {
    std::vector<std::wstring> arguments(random() % 5);
    for (auto& argument : arguments) argument = words[random() % words.size()];
    const ProcessResult run = install.Run(arguments);
    ASSERT_TRUE(run.finished) << "hung on run " << i;
    ASSERT_LE(run.exitCode, 2u) << "crashed on run " << i;
    ++exits[run.exitCode];
    const char* expected[] = {"", "Lumo Hex View Error: ", "Lumo Hex View Error: Invalid arguments: "};
    EXPECT_EQ(run.standardError.rfind(expected[run.exitCode], 0), 0u) << run.standardError;
    EXPECT_TRUE(run.exitCode != 1 || run.standardError.find("Invalid arguments") == std::string::npos);
  }
  EXPECT_TRUE(exits[0] > 0 && exits[1] > 0 && exits[2] > 0) << "the words no longer reach every ending";
}

TEST(ErrorBox, ShowsTheWholeMessageAndWaitsToBeDismissed) {
  if (GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) == 0) GTEST_SKIP() << "no X display (scripts/test.sh has one)";
  Installation install;
  const std::wstring input = install.Input(L"a.bin", "abc");
  const ImmutableDirectory app(install.Dir(L"app")), temp(install.Dir(L"temp"));
  ASSERT_TRUE(app.ok && temp.ok);
  ProcessOptions options = install.Options();
  options.environmentSet[0] = L"LUMO_TEST_NO_UI=";  // not 1
  std::thread user([&] {
    // The box may be found before its controls hold their texts: look again until they do.
    bool found = false;
    for (int i = 0; i < 3000 && !found; ++i, Sleep(20)) {
      const HWND box = FindWindowW(nullptr, L"Lumo Hex View Error");
      for (HWND child = nullptr; box != nullptr && (child = FindWindowExW(box, child, nullptr, nullptr)) != nullptr;) {
        wchar_t text[2048] = {};
        found = found || std::wstring(text, GetWindowTextW(child, text, 2048)) == install.NoLocationMessage();
      }
    }
    EXPECT_TRUE(found) << "no box showed the whole message";
    EXPECT_EQ(RunUnixShell("w=$(xdotool search --name 'Lumo Hex View Error' | head -n 1) && "
                           "xdotool windowfocus --sync \"$w\" key Return"),
              0);
  });
  const ProcessResult run = RunProcess(install.program(), {input, install.viewer()}, options);
  user.join();
  EXPECT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(run.standardError, "") << "a box, not a line";
}

}  // namespace
}  // namespace hv::test
