// The built program under stress: many runs at once, a large dump watched as it is
// written, hostile command lines; and a real message box.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <thread>

#include "installation.h"
#include "support/fault_guards.h"

namespace hv::test {
namespace {

std::string RandomBytes(size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(count, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

TEST(Stress, ADozenSimultaneousRunsAllDeliverExactDumps) {
  Installation install;
  const std::vector<std::wstring> inputs = {install.Input(L"small.txt", "a few bytes"),
                                            install.Input(L"medium.bin", RandomBytes(100000, 1)),
                                            install.Input(L"large.bin", RandomBytes(600000, 2))};
  std::vector<std::string> references;
  for (const auto& input : inputs) {
    EXPECT_EQ(install.RunOn(input, {L"--max-kb=1024"}).exitCode, 0u);
    references.push_back(ReadWholeFile(install.DumpOf(input)));
  }
  std::vector<ProcessResult> results(12);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < results.size(); ++i) {
    threads.emplace_back([&, i] {
      results[i] =
          install.Run({L"--max-kb=1024", inputs[i % 3], install.viewer()}, install.Dir(L"seen-" + std::to_wstring(i)));
    });
  }
  for (auto& thread : threads) thread.join();
  for (size_t i = 0; i < results.size(); ++i) {
    EXPECT_EQ(results[i].exitCode, 0u) << results[i].standardError;
    ASSERT_TRUE(WaitForFile(install.Dir(L"seen-" + std::to_wstring(i)), 60000));
    const std::string seen = ReadWholeFile(install.Dir(L"seen-" + std::to_wstring(i)));
    EXPECT_TRUE(seen == references[i % 3]) << i << ": " << seen.substr(0, 200);
  }
  for (size_t k = 0; k < inputs.size(); ++k) EXPECT_TRUE(ReadWholeFile(install.DumpOf(inputs[k])) == references[k]);
  EXPECT_EQ(ListNames(install.dumps()).size(), inputs.size()) << "only the dumps are left";
}

TEST(Stress, AViewerWatchingTheDumpPathNeverSeesAPartialDump) {
  Installation install;  // the stand-in viewer looks every millisecond and copies what it first finds
  const std::wstring input = install.Input(L"huge.bin", RandomBytes(24 << 20, 3));
  ASSERT_EQ(install.RunOn(input, {L"--max-kb=24576"}).exitCode, 0u);
  ASSERT_TRUE(WaitForFile(install.seen(), 180000));
  EXPECT_TRUE(ReadWholeFile(install.seen()) == ReadWholeFile(install.DumpOf(input)));
}

TEST(Stress, HostileCommandLinesNeverCrashOrHang) {
  Installation install;
  const std::wstring input = install.Input(L"in.bin", "hostile");
  const std::wstring recorder = install.Dir(L"arg-recorder.exe");  // a viewer that ends at once
  CopyFileW(BuiltProgram(L"arg-recorder.exe").c_str(), recorder.c_str(), FALSE);
  const std::vector<std::wstring> words = {L"",
                                           L"-",
                                           L"--",
                                           std::wstring(300, L'-'),
                                           L"--max-kb",
                                           L"--max-kb=-5",
                                           L"--case=sideways",
                                           L"--uppercase",
                                           L"--lowercase=",
                                           L"--=",
                                           L"\u65E5\u672C",
                                           L"\xD83D\xDE00",
                                           L"a\xDC00z",
                                           std::wstring(5000, L'\xD800'),
                                           L"NUL",
                                           L"CON",
                                           L"\\\\.\\NUL",
                                           L"\\\\?\\C:\\",
                                           L"trailing\\",
                                           input,
                                           input,
                                           recorder,
                                           recorder};
  std::mt19937 random(20261206);
  int exits[3] = {};
  for (int i = 0; i < 200; ++i) {
    std::vector<std::wstring> arguments(random() % 5);
    for (auto& argument : arguments) argument = words[random() % words.size()];
    const ProcessResult run = install.Run(arguments);
    ASSERT_TRUE(run.finished) << "hung on run " << i;
    ASSERT_LE(run.exitCode, 2u) << "crashed on run " << i;
    ++exits[run.exitCode];
    const char* expected[] = {"", "Lumo Hex View Error: ", "Lumo Hex View Error: Invalid arguments: "};
    EXPECT_EQ(run.standardError.rfind(expected[run.exitCode], 0), 0u) << run.standardError;
    if (run.exitCode == 1) {
      EXPECT_EQ(run.standardError.find("Invalid arguments"), std::string::npos);
    }
  }
  EXPECT_TRUE(exits[0] > 0 && exits[1] > 0 && exits[2] > 0) << "the words no longer reach every ending";
}

TEST(ErrorBox, ShowsTheWholeMessageAndWaitsToBeDismissed) {
  if (GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) == 0) GTEST_SKIP() << "no X display (scripts/test.sh has one)";
  Installation install;
  const std::wstring input = install.Input(L"a.bin", "abc");
  const ImmutableDirectory app(install.Dir(L"app")), temp(install.Dir(L"temp"));
  ASSERT_TRUE(app.ok() && temp.ok());
  ProcessOptions options;
  options.environmentUnset = {L"LUMO_TEST_NO_UI"};
  options.environmentSet = {L"TMP=" + install.Dir(L"temp"), L"TEMP=" + install.Dir(L"temp")};
  std::thread user([&] {
    HWND box = nullptr;
    for (int i = 0; i < 3000 && (box = FindWindowW(nullptr, L"Lumo Hex View Error")) == nullptr; ++i) Sleep(20);
    ASSERT_NE(box, nullptr);
    const std::wstring candidate = install.tempCandidate(), appDir = install.Dir(L"app");
    const std::wstring message = L"Cannot find a writable location for hex dumps.\nTried: '" + appDir + L"'\nTried: '" +
                                 candidate + L"'\n'" + appDir + L"' rejects writes (error 5); '" + candidate +
                                 L"' cannot be created";
    // The box is found as soon as it exists; on a loaded machine its controls follow later.
    bool shown = false;
    for (int i = 0; i < 3000 && !shown; ++i) {
      for (HWND child = nullptr; !shown && (child = FindWindowExW(box, child, nullptr, nullptr)) != nullptr;) {
        wchar_t text[2048] = {};
        shown = std::wstring(text, GetWindowTextW(child, text, 2048)) == message;
      }
      if (!shown) Sleep(20);
    }
    EXPECT_TRUE(shown);
    const std::string shot = UnixPathOf(JoinPath(ModuleDirectory(), L"message-box"));
    EXPECT_EQ(RunUnixShell("xwd -root -silent > '" + shot + ".xwd' && python3 '" +
                           UnixPathOf(BuiltProgram(L"xwd-to-png.py")) + "' '" + shot + ".xwd' '" + shot + ".png'"),
              0);
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
