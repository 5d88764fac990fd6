#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <optional>
#include <string>

#include "app/error_reporting.h"
#include "support/test_support.h"
#include "text/encoding.h"

namespace hv {
namespace {

const wchar_t kVariable[] = L"LUMO_TEST_NO_UI";
const std::wstring kTitle = L"Lumo Hex View Error: ";

TEST(IsTestNoUi, IsTrueOnlyForExactlyOne) {
  // Put back what the variable held, so no later test meets a message box.
  struct Restore {
    std::optional<std::wstring> saved;
    ~Restore() { SetEnvironmentVariableW(kVariable, saved ? saved->c_str() : nullptr); }
  } restore;
  wchar_t buffer[256];
  const DWORD length = GetEnvironmentVariableW(kVariable, buffer, 256);
  if (length > 0 && length < 256) restore.saved = std::wstring(buffer, length);

  const struct {
    const wchar_t* value;  // nullptr: not set
    bool result;
  } cases[] = {{nullptr, false}, {L"", false},   {L"1", true},   {L"true", false},
               {L"01", false},   {L" 1", false}, {L"1 ", false}, {L"11111111", false}};
  for (const auto& c : cases) {
    ASSERT_TRUE(SetEnvironmentVariableW(kVariable, c.value));
    EXPECT_EQ(IsTestNoUi(), c.result) << (c.value ? test::Utf8(c.value) : "(unset)");
  }
}

TEST(TruncateText, CutsEvenAtALimitOfZero) {
  EXPECT_EQ(TruncateText(L"", 0), L"");
  EXPECT_EQ(TruncateText(L"abc", 0), L"\n[... truncated, 3 characters omitted]");
}

// Runs error-line-writer.exe, always in test mode, and returns what it wrote to
// standard error. mode is "report" or the limit for WriteErrorOutput.
std::string ErrorLine(const std::wstring& mode, const std::wstring& message, bool withStandardError = true) {
  std::wstring hex;
  for (const wchar_t unit : message) {
    wchar_t digits[5];
    swprintf(digits, 5, L"%04X", static_cast<unsigned>(unit));
    hex += digits;
  }
  test::ProcessOptions options;
  options.environmentSet = {L"LUMO_TEST_NO_UI=1"};
  // Standard output stays captured, so without captured standard error the child has a
  // null standard error handle.
  options.captureStandardError = withStandardError;
  const test::ProcessResult run = test::RunProcess(test::BuiltProgram(L"error-line-writer.exe"), {mode, hex}, options);
  EXPECT_TRUE(run.started && run.finished);
  EXPECT_EQ(run.exitCode, 3u);
  EXPECT_EQ(run.standardOutput, withStandardError ? "stderr:present\n" : "stderr:none\n");
  return run.standardError;
}

TEST(ErrorLine, IsTheBytesOfOneAnsiLineCutAt256Units) {
  const std::wstring pair = L"\xD83D\xDE00";
  const std::wstring omitted1 = L"\n[... truncated, 1 characters omitted]";
  const struct {
    std::wstring mode;
    std::wstring message;
    std::wstring line;  // before the conversion to the ANSI code page and the CR LF
  } cases[] = {
      {L"report", L"Failed to launch LumoViewer.", kTitle + L"Failed to launch LumoViewer."},
      // 21 units of title: 235 of the message fill the line exactly.
      {L"report", std::wstring(300, L'x'),
       kTitle + std::wstring(235, L'x') + L"\n[... truncated, 65 characters omitted]"},
      {L"report", std::wstring(236, L'x'), kTitle + std::wstring(235, L'x') + omitted1},
      {L"report", std::wstring(235, L'x'), kTitle + std::wstring(235, L'x')},
      // The pair's high half is unit 256: the pair is split.
      {L"report", std::wstring(234, L'a') + pair, kTitle + std::wstring(234, L'a') + L"\xD83D" + omitted1},
      // In the ANSI code page, not UTF-8; outside it, the best-fit or default character.
      {L"report", L"before \u00E9\u4E2D\u0100" + pair + L"\xDC00 after",
       kTitle + L"before \u00E9\u4E2D\u0100" + pair + L"\xDC00 after"},
      {L"report", L"Failed to prepare.\nTried 'C:\\p': denied\nTried 'C:\\t': full",
       kTitle + L"Failed to prepare.\nTried 'C:\\p': denied\nTried 'C:\\t': full"},
      {L"256", L"cannot read the command line", L"cannot read the command line"},
      {L"4", L"abcdef", L"abcd\n[... truncated, 2 characters omitted]"},
  };
  for (const auto& c : cases) {
    // ASCII stays as it is in every ANSI code page.
    const bool ascii = std::all_of(c.line.begin(), c.line.end(), [](wchar_t unit) { return unit < 0x80; });
    const std::string expected = (ascii ? test::Utf8(c.line) : WideToAnsi(c.line)) + "\r\n";
    EXPECT_EQ(ErrorLine(c.mode, c.message), expected) << test::Utf8(c.message.substr(0, 40));
  }
  // Nothing to say: nothing written, not even the line end.
  EXPECT_EQ(ErrorLine(L"256", L""), "");
}

TEST(ErrorLine, WithoutAStandardErrorHandleNothingIsWrittenAndTheRunEnds) {
  EXPECT_EQ(ErrorLine(L"report", L"Failed to launch LumoViewer.", false), "");
}

}  // namespace
}  // namespace hv
