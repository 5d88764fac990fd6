#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <random>
#include <string>
#include <vector>

#include "launch/viewer_launch.h"
#include "support/test_support.h"

namespace hv {
namespace {

using Arguments = std::vector<std::wstring>;

// What the platform makes of an argument string: the arguments after the program's name.
Arguments SplitLikeThePlatform(const std::wstring& arguments) {
  int count = 0;
  wchar_t** argv = CommandLineToArgvW((L"prog " + arguments).c_str(), &count);
  if (argv == nullptr) return {L"CommandLineToArgvW failed"};
  const Arguments split(argv + 1, argv + count);
  LocalFree(argv);
  return split;
}

std::string Printable(const Arguments& list) {
  std::string text;
  for (const auto& item : list) text.append("[").append(test::Utf8(item)).append("]");
  return text;
}

TEST(QuoteArgument, WritesTheKnownForms) {
  const struct {
    std::wstring argument;
    std::wstring quoted;
  } cases[] = {
      {L"--wait-file", L"\"--wait-file\""},
      {L"", L"\"\""},
      {L"a b", L"\"a b\""},
      {L"C:\\dir\\", L"\"C:\\dir\\\\\""},
      {L"C:\\dir\\file.hextxt", L"\"C:\\dir\\file.hextxt\""},
      {L"a\\\\\"b", L"\"a\\\\\\\\\\\"b\""},  // two backslashes and a quote: five backslashes, then the quote
  };
  for (const auto& c : cases) {
    EXPECT_EQ(QuoteArgument(c.argument), c.quoted) << test::Utf8(c.argument);
  }
  EXPECT_EQ(BuildArgumentString({L"--wait-file", L"--wait-timeout=5000", L"--", L"-x.hextxt"}),
            L"\"--wait-file\" \"--wait-timeout=5000\" \"--\" \"-x.hextxt\"");
}

TEST(BuildArgumentString, TrickyAndRandomListsSurviveThePlatformSplit) {
  const Arguments tricky = {
      L"two words", L"  padded  ", L"tab\there", L"\"", L"say \"hi\"", L"a\\\"b",           L"a\\\\\"b",
      L"end\\",     L"end\\\\",    L"",          L"-x", L"--",         L"\\\\srv\\share\\", L"caf\u00e9 \xD83D\xDE00",
      L"\\"};
  EXPECT_EQ(SplitLikeThePlatform(BuildArgumentString(tricky)), tricky);

  const wchar_t alphabet[] = {L'\\', L'"', L' ', L'\t', L'a', L'-', L'\u00e9'};
  std::mt19937 random(20240611u);
  auto pick = [&](int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); };
  for (int round = 0, mismatches = 0; round < 3000 && mismatches < 5; ++round) {
    Arguments list(static_cast<size_t>(1 + pick(5)));
    for (auto& argument : list) {
      for (int length = pick(11); length > 0; --length) {
        argument.push_back(alphabet[pick(static_cast<int>(std::size(alphabet)))]);
      }
    }
    const Arguments split = SplitLikeThePlatform(BuildArgumentString(list));
    if (split != list) {
      ++mismatches;
      ADD_FAILURE() << "round " << round << ": " << Printable(list) << " came back as " << Printable(split);
    }
  }
}

class LaunchViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateDirectoryW(scratch_.Join(L"viewer dir").c_str(), nullptr));
    ASSERT_TRUE(CopyFileW(test::BuiltProgram(L"arg-recorder.exe").c_str(), recorder_.c_str(), TRUE));
  }

  // The arguments the recorder was started with, as it wrote them: UTF-8, each ended by NUL.
  Arguments Recorded() const {
    const std::wstring record = recorder_ + L".args";
    Arguments arguments;
    if (!test::WaitForFile(record, 60000)) return arguments;
    const std::string bytes = test::ReadWholeFile(record);
    DeleteFileW(record.c_str());
    for (size_t start = 0, end; (end = bytes.find('\0', start)) != std::string::npos; start = end + 1) {
      arguments.push_back(test::Wide(bytes.substr(start, end - start)));
    }
    return arguments;
  }

  test::ScratchDirectory scratch_{L"launch"};
  const std::wstring recorder_ = scratch_.Join(L"viewer dir\\Lumo Viewer.exe");
};

TEST_F(LaunchViewerTest, StartsTheViewerWithItsFourArguments) {
  const std::wstring dumpPath = scratch_.Join(L"dumps \"here\"\\caf\u00e9 \u65e5\u672c.hextxt\\");
  ASSERT_TRUE(LaunchViewer(recorder_, dumpPath, 30000));
  EXPECT_EQ(Recorded(), (Arguments{L"--wait-file", L"--wait-timeout=30000", L"--", dumpPath}));

  ASSERT_TRUE(LaunchViewer(recorder_, L"-starts-with-a-dash.hextxt", 5000));
  EXPECT_EQ(Recorded(), (Arguments{L"--wait-file", L"--wait-timeout=5000", L"--", L"-starts-with-a-dash.hextxt"}));
}

TEST_F(LaunchViewerTest, FailsForAnEmptyPathOrWhatNeitherStartNorShellCanOpen) {
  EXPECT_FALSE(LaunchViewer(L"", L"d.hextxt", 5000));
  EXPECT_FALSE(LaunchViewer(recorder_, L"", 5000));
  EXPECT_FALSE(test::FileExists(recorder_ + L".args"));
  // Not a program, and an extension no application is registered for.
  const std::wstring notAProgram = scratch_.Join(L"not a program.hvnoassoc");
  ASSERT_TRUE(test::WriteWholeFile(notAProgram, "just text\r\n"));
  EXPECT_FALSE(LaunchViewer(notAProgram, L"d.hextxt", 5000));
  EXPECT_FALSE(LaunchViewer(scratch_.Join(L"missing.exe"), L"d.hextxt", 5000));
}

TEST_F(LaunchViewerTest, FallsBackToTheShellWithTheSameArguments) {
  // A file type whose "open" command runs the recorder, removed again at the end.
  const std::wstring extension = L".hvlaunch" + std::to_wstring(GetCurrentProcessId());
  const std::wstring type = L"hvtest" + extension + L".file";
  struct Unregister {
    std::wstring extension, type;
    ~Unregister() {
      RegDeleteTreeW(HKEY_CLASSES_ROOT, extension.c_str());
      RegDeleteTreeW(HKEY_CLASSES_ROOT, type.c_str());
    }
  } unregister{extension, type};
  auto setDefault = [](const std::wstring& key, const std::wstring& value) {
    return RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  };
  if (!setDefault(extension, type) ||
      !setDefault(type + L"\\shell\\open\\command", QuoteArgument(recorder_) + L" \"%1\" %*")) {
    GTEST_SKIP() << "cannot register a file type here";
  }
  const std::wstring document = scratch_.Join(L"viewer dir\\a document" + extension);
  ASSERT_TRUE(test::WriteWholeFile(document, "not a program\r\n"));
  const std::wstring dumpPath = scratch_.Join(L"dumps\\caf\u00e9 x.hextxt");

  ASSERT_TRUE(LaunchViewer(document, dumpPath, 5000));
  EXPECT_EQ(Recorded(), (Arguments{document, L"--wait-file", L"--wait-timeout=5000", L"--", dumpPath}));
}

}  // namespace
}  // namespace hv
