#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "app/error_reporting.h"
#include "storage/path.h"
#include "support/test_support.h"
#include "text/encoding.h"

namespace hv {
namespace {

using test::ProcessOptions;
using test::ProcessResult;

const wchar_t kVariable[] = L"LUMO_TEST_NO_UI";
const std::string kPrefix = "Lumo Hex View Error: ";
constexpr uint32_t kReportedExitCode = 3;  // what error-line-writer.exe returns after reporting

// Sets LUMO_TEST_NO_UI in this process for one test and puts the old state back.
class TestNoUiVariable {
 public:
  TestNoUiVariable() {
    std::vector<wchar_t> buffer(32768);
    const DWORD n = GetEnvironmentVariableW(kVariable, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n > 0 && n < buffer.size()) {
      saved_ = std::wstring(buffer.data(), n);
    } else if (n == 0 && GetLastError() != ERROR_ENVVAR_NOT_FOUND) {
      saved_ = std::wstring();
    }
  }
  ~TestNoUiVariable() { SetEnvironmentVariableW(kVariable, saved_ ? saved_->c_str() : nullptr); }
  TestNoUiVariable(const TestNoUiVariable&) = delete;
  TestNoUiVariable& operator=(const TestNoUiVariable&) = delete;

  static bool Set(const wchar_t* value) { return SetEnvironmentVariableW(kVariable, value) != 0; }

 private:
  std::optional<std::wstring> saved_;
};

TEST(IsTestNoUi, IsTrueOnlyForExactlyOne) {
  TestNoUiVariable variable;
  struct Case {
    const wchar_t* value;  // nullptr: not set
    bool result;
  };
  const Case cases[] = {
      {nullptr, false},    {L"", false},       {L"1", true},         {L"true", false}, {L"yes", false},
      {L"01", false},      {L"2", false},      {L" 1", false},       {L"1 ", false},   {L"0", false},
      {L"1111111", false}, {L"\u0661", false}, {L"11111111", false}, {L"1", true},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(TestNoUiVariable::Set(c.value));
    EXPECT_EQ(IsTestNoUi(), c.result) << (c.value ? test::Utf8(c.value) : "(unset)");
  }
  // A value that does not fit the buffer is not "1", whatever it begins with.
  ASSERT_TRUE(TestNoUiVariable::Set(std::wstring(1000, L'1').c_str()));
  EXPECT_FALSE(IsTestNoUi());
}

TEST(TruncateText, CutsAtTheLimitAndCountsWhatIsOmitted) {
  struct Case {
    std::wstring text;
    unsigned limit;
    std::wstring result;
  };
  const std::wstring pair = L"\xD83D\xDE00";
  const Case cases[] = {
      {L"", 0, L""},
      {L"", 256, L""},
      {L"abc", 3, L"abc"},
      {L"abc", 4, L"abc"},
      {L"abcd", 3, L"abc\n[... truncated, 1 characters omitted]"},
      {L"abc", 0, L"\n[... truncated, 3 characters omitted]"},
      {std::wstring(256, L'x'), 256, std::wstring(256, L'x')},
      {std::wstring(321, L'x'), 256, std::wstring(256, L'x') + L"\n[... truncated, 65 characters omitted]"},
      {std::wstring(100000, L'x'), 256, std::wstring(256, L'x') + L"\n[... truncated, 99744 characters omitted]"},
      // A surrogate pair across the limit is split.
      {L"ab" + pair + L"c", 3, L"ab\xD83D\n[... truncated, 2 characters omitted]"},
      {L"a\nb\nc", 3, L"a\nb\n[... truncated, 2 characters omitted]"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TruncateText(c.text, c.limit), c.result) << c.text.size() << " units, limit " << c.limit;
  }
}

// error-line-writer.exe sends one message through ReportError (report) or
// WriteErrorOutput (raw LIMIT); see its source for the pieces.
ProcessResult RunWriter(const std::vector<std::wstring>& arguments, bool withStandardError = true) {
  ProcessOptions options;
  // Never a real message box: the child always runs in test mode.
  options.environmentSet = {L"LUMO_TEST_NO_UI=1"};
  options.captureStandardError = withStandardError;
  // Standard output stays captured, so the child is started with STARTF_USESTDHANDLES
  // and, without captured standard error, a null standard error handle.
  options.captureStandardOutput = true;
  return test::RunProcess(test::BuiltProgram(L"error-line-writer.exe"), arguments, options);
}

class ErrorLine : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(IsExistingFile(test::BuiltProgram(L"error-line-writer.exe")))
        << "build the error-line-writer target first";
  }

  // Runs the writer and returns what it wrote to standard error.
  static std::string Line(const std::vector<std::wstring>& arguments) {
    const ProcessResult run = RunWriter(arguments);
    EXPECT_TRUE(run.started);
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, kReportedExitCode);
    EXPECT_EQ(run.standardOutput, "stderr:present\n");
    return run.standardError;
  }
};

TEST_F(ErrorLine, ReportWritesTitleMessageAndCrLf) {
  EXPECT_EQ(Line({L"report", L"text:Failed to launch LumoViewer."}),
            "Lumo Hex View Error: Failed to launch LumoViewer.\r\n");
}

TEST_F(ErrorLine, ReportCutsTheWholeLineAt256Units) {
  struct Case {
    unsigned messageUnits;
    std::string line;
  };
  const Case cases[] = {
      {300, kPrefix + std::string(235, 'x') + "\n[... truncated, 65 characters omitted]\r\n"},
      {236, kPrefix + std::string(235, 'x') + "\n[... truncated, 1 characters omitted]\r\n"},
      {235, kPrefix + std::string(235, 'x') + "\r\n"},
      {0, kPrefix + "\r\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Line({L"report", L"repeat:" + std::to_wstring(c.messageUnits) + L":0078"}), c.line)
        << c.messageUnits << " units";
  }
}

TEST_F(ErrorLine, RawOutputHasNoTitle) {
  struct Case {
    std::vector<std::wstring> arguments;
    std::string line;
  };
  const Case cases[] = {
      {{L"raw", L"256", L"text:cannot read the command line"}, "cannot read the command line\r\n"},
      {{L"raw", L"256", L"repeat:256:0079"}, std::string(256, 'y') + "\r\n"},
      {{L"raw", L"256", L"repeat:257:0079"}, std::string(256, 'y') + "\n[... truncated, 1 characters omitted]\r\n"},
      {{L"raw", L"4", L"text:abcdef"}, "abcd\n[... truncated, 2 characters omitted]\r\n"},
      {{L"raw", L"0", L"text:abc"}, "\n[... truncated, 3 characters omitted]\r\n"},
      // Nothing to say: nothing written, not even the line end.
      {{L"raw", L"256"}, ""},
      {{L"raw", L"0"}, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Line(c.arguments), c.line) << test::Utf8(c.arguments.back());
  }
}

TEST_F(ErrorLine, KeepsBareLineFeedsInsideTheMessage) {
  EXPECT_EQ(
      Line({L"report", L"text:Failed to prepare the dump directory.", L"units:000A",
            L"text:Tried 'C:\\p\\dumps': access denied", L"units:000A", L"text:Tried 'C:\\t': full"}),
      kPrefix + "Failed to prepare the dump directory.\nTried 'C:\\p\\dumps': access denied\nTried 'C:\\t': full\r\n");
}

TEST_F(ErrorLine, WritesTheAnsiSubstituteForWhatTheCodePageLacks) {
  struct Case {
    std::wstring units;  // one character, as the writer's units piece
    std::wstring text;
  };
  const Case cases[] = {
      {L"units:4E2D", L"\u4E2D"},             // CJK, absent from the Western code pages
      {L"units:0100", L"\u0100"},             // A with macron: best-fit where there is one
      {L"units:D83D,DE00", L"\xD83D\xDE00"},  // supplementary plane
      {L"units:DC00", L"\xDC00"},             // unpaired low surrogate
  };
  for (const auto& c : cases) {
    const std::string line = Line({L"report", L"text:before ", c.units, L"text: after"});
    const std::string expected = WideToAnsi(L"Lumo Hex View Error: before " + c.text + L" after");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(line, expected + "\r\n") << test::Utf8(c.units);
    ASSERT_GE(line.size(), kPrefix.size() + 16);
    EXPECT_EQ(line.substr(0, kPrefix.size() + 7), kPrefix + "before ") << test::Utf8(c.units);
    EXPECT_EQ(line.substr(line.size() - 8), " after\r\n") << test::Utf8(c.units);
    EXPECT_EQ(line.find('\0'), std::string::npos) << test::Utf8(c.units);
    if (GetACP() != CP_UTF8) {
      // Not passed through as UTF-8: the line is in the ANSI code page.
      EXPECT_EQ(line.find(test::Utf8(c.text)), std::string::npos) << test::Utf8(c.units);
    }
  }
}

TEST_F(ErrorLine, SplitsASurrogatePairAtTheLimit) {
  // 21 units of title, 234 letters, then a pair whose high half is unit 256.
  const std::string line = Line({L"report", L"repeat:234:0061", L"units:D83D,DE00"});
  const std::wstring cut = L"Lumo Hex View Error: " + std::wstring(234, L'a') + L"\xD83D";
  const std::string expected = WideToAnsi(cut + L"\n[... truncated, 1 characters omitted]") + "\r\n";
  EXPECT_EQ(line, expected);
  EXPECT_EQ(line.substr(0, kPrefix.size() + 234), kPrefix + std::string(234, 'a'));
  const std::string marker = "\n[... truncated, 1 characters omitted]\r\n";
  ASSERT_GT(line.size(), marker.size());
  EXPECT_EQ(line.substr(line.size() - marker.size()), marker);

  // One unit earlier the pair fits whole and nothing is cut.
  EXPECT_EQ(Line({L"report", L"repeat:233:0061", L"units:D83D,DE00"}),
            WideToAnsi(L"Lumo Hex View Error: " + std::wstring(233, L'a') + L"\xD83D\xDE00") + "\r\n");
}

TEST_F(ErrorLine, WithoutAStandardErrorHandleNothingIsWrittenAndTheRunEnds) {
  for (const std::vector<std::wstring>& arguments : std::vector<std::vector<std::wstring>>{
           {L"report", L"text:Failed to launch LumoViewer."}, {L"raw", L"256", L"text:cannot read the command line"}}) {
    const ProcessResult run = RunWriter(arguments, false);
    ASSERT_TRUE(run.started);
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, kReportedExitCode);
    EXPECT_EQ(run.standardOutput, "stderr:none\n");
  }
}

}  // namespace
}  // namespace hv
