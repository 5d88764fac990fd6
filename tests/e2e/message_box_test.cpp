// A failing run without the test mode shows a real message box. Needs an X display
// (scripts/test.sh starts Xvfb); the screenshot lands in BUILD\artifacts.
#include <windows.h>

#include <gtest/gtest.h>

#include <future>

#include "e2e_support.h"
#include "support/fault_guards.h"
#include "storage/path.h"

namespace hv::test {
namespace {

constexpr wchar_t kTitle[] = L"Lumo Hex View Error";

HWND WaitForBox(uint32_t timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    if (HWND box = FindWindowW(nullptr, kTitle)) return box;
    if (GetTickCount64() >= deadline) return nullptr;
    Sleep(20);
  }
}

// Every text the box shows: its static controls and its buttons.
std::vector<std::wstring> TextsOf(HWND box) {
  std::vector<std::wstring> texts;
  EnumChildWindows(
      box,
      [](HWND child, LPARAM sink) -> BOOL {
        wchar_t text[4096];
        const int length = GetWindowTextW(child, text, 4096);
        if (length > 0) reinterpret_cast<std::vector<std::wstring>*>(sink)->emplace_back(text, length);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&texts));
  return texts;
}

class MessageBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    display_ = GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) > 0;
    if (!display_) GTEST_SKIP() << "no X display; scripts/test.sh provides one";
  }

  // Runs the program with the given environment, waits for its box, records what it
  // shows and a screenshot, dismisses it as a user would, and returns the run.
  ProcessResult RunAndDismiss(const Installation& install, const std::vector<std::wstring>& arguments,
                              const std::wstring& testMode, const std::string& shotName,
                              std::vector<std::wstring>& shown) {
    ProcessOptions options;
    options.timeoutMs = 120000;
    if (testMode.empty()) {
      options.environmentUnset = {L"LUMO_TEST_NO_UI"};
    } else {
      options.environmentSet = {L"LUMO_TEST_NO_UI=" + testMode};
    }
    options.environmentSet.push_back(L"TMP=" + install.tempDirectory());
    options.environmentSet.push_back(L"TEMP=" + install.tempDirectory());
    auto run = std::async(std::launch::async, [&] { return RunProcess(install.program(), arguments, options); });

    HWND box = WaitForBox(60000);
    EXPECT_NE(box, nullptr) << "no message box appeared";
    if (box != nullptr) {
      shown = TextsOf(box);
      const std::wstring artifacts = JoinPath(BuildDirectory(), L"artifacts");
      CreateDirectoryW(artifacts.c_str(), nullptr);
      const std::string shot = UnixPathOf(JoinPath(artifacts, Wide(shotName)));
      const std::string tool = UnixPathOf(JoinPath(BuildDirectory(), L"xwd-to-png.py"));
      EXPECT_EQ(RunUnixShell("xwd -root -silent > '" + shot + ".xwd' && python3 '" + tool + "' '" + shot + ".xwd' '" +
                             shot + ".png'"),
                0);
      EXPECT_EQ(RunUnixShell("w=$(xdotool search --name '" + Utf8(kTitle) +
                             "' | head -n 1) && xdotool windowfocus --sync \"$w\" key Return"),
                0);
    }
    return run.get();
  }

  bool display_ = false;
};

TEST_F(MessageBoxTest, ShowsTheWholeMessageWithItsLineBreaks) {
  Installation install;
  const std::wstring input = install.MakeInput(L"a.bin", "abc");
  const ImmutableDirectory app(install.appDirectory());
  const ImmutableDirectory temp(install.tempDirectory());
  ASSERT_TRUE(app.ok() && temp.ok());

  std::vector<std::wstring> shown;
  const ProcessResult run = RunAndDismiss(install, {input, install.viewer()}, L"", "message-box", shown);
  ASSERT_TRUE(run.finished) << "the box was not dismissed";
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(run.standardError, "") << "a box, not a line";

  const std::wstring candidate = install.tempCandidate();
  const std::wstring message = L"Cannot find a writable location for hex dumps.\nTried: '" + install.appDirectory() +
                               L"'\nTried: '" + candidate + L"'\n'" + install.appDirectory() +
                               L"' rejects writes (error 5); '" + candidate + L"' cannot be created";
  EXPECT_GT(message.size(), 256u) << "the box must not be cut like the line";
  EXPECT_NE(std::find(shown.begin(), shown.end(), message), shown.end());
  EXPECT_NE(std::find(shown.begin(), shown.end(), L"OK"), shown.end());
}

TEST_F(MessageBoxTest, AnyTestModeValueButOneStillShowsTheBox) {
  Installation install;
  for (const std::wstring value : {L"true", L"11111111"}) {
    std::vector<std::wstring> shown;
    const ProcessResult run = RunAndDismiss(install, {L"--bogus"}, value, "message-box-invalid", shown);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_EQ(run.standardError, "");
    EXPECT_NE(std::find(shown.begin(), shown.end(), L"Invalid arguments: unknown option: --bogus"), shown.end());
  }
}

}  // namespace
}  // namespace hv::test
