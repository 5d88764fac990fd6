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

// What the platform makes of a command line: the arguments after the program's own name.
std::vector<std::wstring> SplitLikeThePlatform(const std::wstring& arguments) {
  const std::wstring commandLine = L"prog " + arguments;
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(commandLine.c_str(), &count);
  std::vector<std::wstring> split;
  if (argv == nullptr) {
    ADD_FAILURE() << "CommandLineToArgvW failed";
    return split;
  }
  for (int i = 1; i < count; ++i) {
    split.emplace_back(argv[i]);
  }
  LocalFree(argv);
  return split;
}

std::string Printable(const std::vector<std::wstring>& list) {
  std::string text;
  for (const auto& item : list) {
    text.push_back('[');
    text += test::Utf8(item);
    text.push_back(']');
  }
  return text;
}

TEST(QuoteArgument, WritesTheKnownForms) {
  struct Case {
    std::wstring argument;
    std::wstring quoted;
  };
  const Case cases[] = {
      {L"--wait-file", L"\"--wait-file\""},
      {L"", L"\"\""},
      {L"a b", L"\"a b\""},
      {L"C:\\dir\\", L"\"C:\\dir\\\\\""},
      {L"C:\\dir\\file.hextxt", L"\"C:\\dir\\file.hextxt\""},
      {L"a\\\\\"b", L"\"a\\\\\\\\\\\"b\""},  // two backslashes and a quote: five backslashes, then the quote
      {L"\"", L"\"\\\"\""},
      {L"x\\\\", L"\"x\\\\\\\\\""},
      {L"\\\\srv\\share\\", L"\"\\\\srv\\share\\\\\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(QuoteArgument(c.argument), c.quoted) << test::Utf8(c.argument);
  }
}

TEST(BuildArgumentString, JoinsWithSingleBlanks) {
  EXPECT_EQ(BuildArgumentString({}), L"");
  EXPECT_EQ(BuildArgumentString({L"one"}), L"\"one\"");
  EXPECT_EQ(BuildArgumentString({L"--wait-file", L"--wait-timeout=5000", L"--", L"-x.hextxt"}),
            L"\"--wait-file\" \"--wait-timeout=5000\" \"--\" \"-x.hextxt\"");
  EXPECT_EQ(BuildArgumentString({L"", L""}), L"\"\" \"\"");
}

TEST(BuildArgumentString, EveryTrickyArgumentSurvivesThePlatformSplit) {
  const std::vector<std::wstring> tricky = {
      L"plain",
      L"two words",
      L"  leading and trailing  ",
      L"tab\there",
      L"\t",
      L"\"",
      L"\"\"",
      L"say \"hi\"",
      L"a\\\"b",
      L"a\\\\\"b",
      L"a\\\\\\\"b",
      L"end\\",
      L"end\\\\",
      L"\\",
      L"\\\\",
      L"",
      L"-x",
      L"--",
      L"--wait-timeout=5000",
      L"C:\\Program Files\\Lumo\\",
      L"C:\\d\\f.hextxt",
      L"\\\\server\\share\\dir\\file name.bin",
      L"\\\\?\\C:\\long\\path",
      L"caf\u00e9 \u65e5\u672c \xD83D\xDE00",
      L"%PATH% ^& | < > ( )",
  };
  EXPECT_EQ(SplitLikeThePlatform(BuildArgumentString(tricky)), tricky);
  for (const auto& argument : tricky) {
    const std::vector<std::wstring> single = {argument};
    EXPECT_EQ(SplitLikeThePlatform(BuildArgumentString(single)), single) << test::Utf8(argument);
  }
}

TEST(BuildArgumentString, RandomListsSurviveThePlatformSplit) {
  const wchar_t alphabet[] = {L'\\', L'"', L' ', L'\t', L'a', L'-', L'\u00e9'};
  std::mt19937 random(20240611u);
  std::uniform_int_distribution<int> listLength(1, 5);
  std::uniform_int_distribution<int> argumentLength(0, 10);
  std::uniform_int_distribution<size_t> letter(0, std::size(alphabet) - 1);
  int mismatches = 0;
  for (int round = 0; round < 3000 && mismatches < 5; ++round) {
    std::vector<std::wstring> list(static_cast<size_t>(listLength(random)));
    for (auto& argument : list) {
      const int length = argumentLength(random);
      for (int i = 0; i < length; ++i) {
        argument.push_back(alphabet[letter(random)]);
      }
    }
    const std::wstring built = BuildArgumentString(list);
    const std::vector<std::wstring> split = SplitLikeThePlatform(built);
    if (split != list) {
      ++mismatches;
      ADD_FAILURE() << "round " << round << ": " << Printable(list) << " came back as " << Printable(split) << " from "
                    << test::Utf8(built);
    }
  }
}

// The arguments the recorder program was started with, as it wrote them.
std::vector<std::wstring> RecordedArguments(const std::wstring& recordFile) {
  const std::string bytes = test::ReadWholeFile(recordFile);
  std::vector<std::wstring> arguments;
  size_t start = 0;
  for (size_t end = bytes.find('\0'); end != std::string::npos; end = bytes.find('\0', start)) {
    arguments.push_back(test::Wide(bytes.substr(start, end - start)));
    start = end + 1;
  }
  return arguments;
}

class LaunchViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::wstring directory = scratch_.Join(L"viewer dir");
    ASSERT_TRUE(CreateDirectoryW(directory.c_str(), nullptr));
    recorder_ = directory + L"\\Lumo Viewer.exe";
    ASSERT_TRUE(CopyFileW(test::BuiltProgram(L"arg-recorder.exe").c_str(), recorder_.c_str(), TRUE));
  }

  std::wstring RecordFile() const { return recorder_ + L".args"; }

  test::ScratchDirectory scratch_{L"launch"};
  std::wstring recorder_;
};

TEST_F(LaunchViewerTest, StartsTheViewerWithItsFourArguments) {
  const std::wstring dumpPaths[] = {
      scratch_.Join(L"dumps here\\caf\u00e9 \u65e5\u672c.hextxt"),
      L"-starts-with-a-dash.hextxt",
      scratch_.Join(L"say \"x\"\\trailing\\"),
  };
  for (const auto& dumpPath : dumpPaths) {
    DeleteFileW(RecordFile().c_str());
    ASSERT_TRUE(LaunchViewer(recorder_, dumpPath, 5000)) << test::Utf8(dumpPath);
    ASSERT_TRUE(test::WaitForFile(RecordFile(), 60000));
    const std::vector<std::wstring> expected = {L"--wait-file", L"--wait-timeout=5000", L"--", dumpPath};
    EXPECT_EQ(RecordedArguments(RecordFile()), expected) << test::Utf8(dumpPath);
  }
}

TEST_F(LaunchViewerTest, PassesTheTimeOutInPlainDecimal) {
  ASSERT_TRUE(LaunchViewer(recorder_, L"d.hextxt", 30000));
  ASSERT_TRUE(test::WaitForFile(RecordFile(), 60000));
  const std::vector<std::wstring> expected = {L"--wait-file", L"--wait-timeout=30000", L"--", L"d.hextxt"};
  EXPECT_EQ(RecordedArguments(RecordFile()), expected);
}

TEST_F(LaunchViewerTest, RefusesAnEmptyExecutableOrDumpPath) {
  EXPECT_FALSE(LaunchViewer(L"", L"d.hextxt", 5000));
  EXPECT_FALSE(LaunchViewer(recorder_, L"", 5000));
  EXPECT_FALSE(test::FileExists(RecordFile()));
}

TEST_F(LaunchViewerTest, FailsWhenNeitherTheDirectStartNorTheShellCanOpenIt) {
  // Not a program, and an extension no application is registered for.
  const std::wstring notAProgram = scratch_.Join(L"not a program.hvnoassoc");
  ASSERT_TRUE(test::WriteWholeFile(notAProgram, "just text\r\n"));
  EXPECT_FALSE(LaunchViewer(notAProgram, L"d.hextxt", 5000));
  EXPECT_FALSE(LaunchViewer(scratch_.Join(L"missing.exe"), L"d.hextxt", 5000));
}

// Registers a file type whose "open" command runs the recorder, and removes it again.
class ShellAssociation {
 public:
  ShellAssociation(const std::wstring& extension, const std::wstring& command)
      : extension_(extension), type_(L"hvtest" + extension + L".file") {
    registered_ = SetDefault(extension_, type_) && SetDefault(type_ + L"\\shell\\open\\command", command);
  }
  ~ShellAssociation() {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, extension_.c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, type_.c_str());
  }
  ShellAssociation(const ShellAssociation&) = delete;
  ShellAssociation& operator=(const ShellAssociation&) = delete;

  bool registered() const { return registered_; }

 private:
  static bool SetDefault(const std::wstring& key, const std::wstring& value) {
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS) {
      return false;
    }
    const LSTATUS status = RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
    return status == ERROR_SUCCESS;
  }

  std::wstring extension_;
  std::wstring type_;
  bool registered_ = false;
};

TEST_F(LaunchViewerTest, FallsBackToTheShellWithTheSameArguments) {
  const std::wstring extension = L".hvlaunch" + std::to_wstring(GetCurrentProcessId());
  const ShellAssociation association(extension, QuoteArgument(recorder_) + L" \"%1\" %*");
  if (!association.registered()) {
    GTEST_SKIP() << "cannot register a file type here";
  }
  const std::wstring document = scratch_.Join(L"viewer dir\\a document" + extension);
  ASSERT_TRUE(test::WriteWholeFile(document, "not a program\r\n"));
  const std::wstring dumpPath = scratch_.Join(L"dumps\\caf\u00e9 x.hextxt");

  ASSERT_TRUE(LaunchViewer(document, dumpPath, 5000));
  ASSERT_TRUE(test::WaitForFile(RecordFile(), 60000));
  const std::vector<std::wstring> expected = {document, L"--wait-file", L"--wait-timeout=5000", L"--", dumpPath};
  EXPECT_EQ(RecordedArguments(RecordFile()), expected);
}

}  // namespace
}  // namespace hv
