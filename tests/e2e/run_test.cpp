// The built program run as the host runs it: exit codes, error lines, dump files and
// what the viewer is given.
#include <windows.h>

#include <gtest/gtest.h>

#include "e2e_support.h"
#include "storage/path.h"
#include "text/encoding.h"
#include "text/system_error.h"

namespace hv::test {
namespace {

const std::string kEquals = Repeat('=', 83);
const std::string kDashes = Repeat('-', 83);
const std::string kHelloBytes = std::string("Hello, world!\r\nBye") + '\0' + '\xFF';

std::string HelloDump(const std::wstring& path) {
  return kEquals + "\r\n[Lumo Hex Dump]\r\nFile:      " + Utf8(path) +
         "\r\nSize:      20 bytes\r\nRange:     Showing all 20 bytes (0x00000000 - 0x00000013)\r\n" + kEquals +
         "\r\n\r\nOffset(h)    00 01 02 03 04 05 06 07  08 09 0A 0B 0C 0D 0E 0F    Decoded Text\r\n"
         "00000000     48 65 6C 6C 6F 2C 20 77  6F 72 6C 64 21 0D 0A 42    |Hello, world!..B|\r\n"
         "00000010     79 65 00 FF" +
         Repeat(' ', 41) + "|ye..            |\r\n\r\n" + kDashes +
         "\r\n[End of File: Fully displayed] (Total: 20 bytes)\r\n" + kDashes + "\r\n";
}

std::string OpenErrorDump(const std::wstring& path, const std::string& wording) {
  return kEquals + "\r\n[Lumo Hex Dump Error]\r\nFile:      " + Utf8(path) +
         "\r\nError:     Cannot open file for reading (" + wording + ")\r\n" + kEquals + "\r\n";
}

std::string ErrorLine(const std::wstring& message) { return WideToAnsi(L"Lumo Hex View Error: " + message) + "\r\n"; }

// Dates a file's last write the given number of days back.
void AgeFile(const std::wstring& path, int days) {
  HANDLE file = CreateFileW(ToLongPath(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER t;
  t.LowPart = now.dwLowDateTime;
  t.HighPart = now.dwHighDateTime;
  t.QuadPart -= static_cast<ULONGLONG>(days) * 24 * 3600 * 10000000ull;
  FILETIME old{t.LowPart, t.HighPart};
  EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &old));
  CloseHandle(file);
}

TEST(EndToEnd, InvalidArgumentsExitTwoAndTouchNothing) {
  Installation install;
  const std::wstring input = install.MakeInput(L"a.bin", "abc");
  struct Case {
    std::vector<std::wstring> arguments;
    std::wstring error;
  };
  const Case cases[] = {
      {{}, L"expected exactly two positional arguments: <input_file> <lumoviewer_exe>"},
      {{input}, L"expected exactly two positional arguments: <input_file> <lumoviewer_exe>"},
      {{L"--bogus", input, install.viewer()}, L"unknown option: --bogus"},
      {{L"--max-kb=12k", input, install.viewer()}, L"option value is not a number: --max-kb=12k"},
      {{L"--uppercase", L"--lowercase", input, install.viewer()}, L"--uppercase and --lowercase cannot be combined"},
  };
  for (const auto& c : cases) {
    const ProcessResult run = install.Run(c.arguments);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_EQ(run.standardError, ErrorLine(L"Invalid arguments: " + c.error));
    EXPECT_EQ(run.totalProcesses, 1u) << "no viewer may be started";
  }
  EXPECT_EQ(ListNames(install.appDirectory()), std::vector<std::wstring>{L"hex-viewer.exe"});
  EXPECT_TRUE(ListNames(install.tempDirectory()).empty());
}

TEST(EndToEnd, AMissingViewerOrADirectoryExitsOneBeforeAnythingIsCreated) {
  Installation install;
  const std::wstring input = install.MakeInput(L"a.bin", "abc");
  for (const std::wstring& viewer : {install.root() + L"\\no-such-viewer.exe", install.root()}) {
    const ProcessResult run = install.Run({input, viewer});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.standardError, ErrorLine(L"LumoViewer executable not found at specified path."));
  }
  EXPECT_EQ(ListNames(install.appDirectory()), std::vector<std::wstring>{L"hex-viewer.exe"});
  EXPECT_TRUE(ListNames(install.tempDirectory()).empty());
}

TEST(EndToEnd, ANormalRunHandsTheViewerTheExactDump) {
  Installation install;
  const std::wstring input = install.MakeInput(L"hello \u00E9t\u00E9.txt", kHelloBytes);
  const std::wstring dump = install.ExpectedDumpPath(install.appDirectory(), input);

  const ProcessResult run = install.RunOn(input);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.standardError, "");
  EXPECT_EQ(run.totalProcesses, 2u) << "the program and its viewer";

  EXPECT_EQ(ReadWholeFile(dump), HelloDump(input));
  EXPECT_EQ(ListNames(install.dumpsDirectory()), std::vector<std::wstring>{FileNameOf(dump)});

  ASSERT_TRUE(install.WaitForViewer());
  EXPECT_EQ(ReadWholeFile(install.viewerCopy()), HelloDump(input));
  const std::vector<std::string> expectedArgs = {"--wait-file", "--wait-timeout=30000", "--", Utf8(dump)};
  EXPECT_EQ(SplitRecord(ReadWholeFile(install.viewerArgs())), expectedArgs);
}

TEST(EndToEnd, OptionsReachTheDumpAndTheViewer) {
  Installation install;
  std::string bytes(5000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  const std::wstring input = install.MakeInput(L"big.bin", bytes);
  const std::wstring dump = install.ExpectedDumpPath(install.appDirectory(), input);

  const ProcessResult run = install.RunOn(input, {L"--max-kb", L"1", L"--case=lower", L"--wait-timeout=7000"});
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0u);
  const std::string text = ReadWholeFile(dump);
  EXPECT_NE(text.find("Range:     Showing first 1 KB (0x00000000 - 0x000003ff)\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\n000003f0     "), std::string::npos);
  EXPECT_EQ(text.find("\r\n00000400"), std::string::npos);
  EXPECT_NE(text.find("[Truncated] Display capped at 1 KB to ensure instant loading. (Total: 4.88 KB)\r\n"),
            std::string::npos);
  ASSERT_TRUE(install.WaitForViewer());
  EXPECT_EQ(SplitRecord(ReadWholeFile(install.viewerArgs()))[1], "--wait-timeout=7000");
}

TEST(EndToEnd, APreviousDumpIsReplacedEvenWhenReadOnly) {
  Installation install;
  const std::wstring input = install.MakeInput(L"hello.txt", kHelloBytes);
  const std::wstring dump = install.PlacePreviousDump(input, std::string(100000, 'x'));
  ASSERT_TRUE(SetFileAttributesW(dump.c_str(), FILE_ATTRIBUTE_READONLY));

  const ProcessResult run = install.RunOn(input);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(ReadWholeFile(dump), HelloDump(input));
  ASSERT_TRUE(install.WaitForViewer());
  EXPECT_EQ(ReadWholeFile(install.viewerCopy()), HelloDump(input));
}

TEST(EndToEnd, APreviousDumpHeldOpenStopsTheRunBeforeTheViewerStarts) {
  Installation install;
  const std::wstring input = install.MakeInput(L"hello.txt", kHelloBytes);
  const std::wstring dump = install.PlacePreviousDump(input, "previous");
  const std::wstring old = install.dumpsDirectory() + L"\\0000000000000000 - old.bin.hextxt";
  ASSERT_TRUE(WriteWholeFile(old, "old"));
  AgeFile(old, 8);

  FileHolder holder(dump, L"readwrite");
  ASSERT_TRUE(holder.holding());
  const ProcessResult run = install.RunOn(input);
  holder.Release();

  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(run.standardError,
            ErrorLine(L"Cannot replace the previous hex dump: " + dump + L" (" + SystemErrorText(32) + L")"));
  EXPECT_EQ(run.totalProcesses, 1u) << "the viewer must not be started";
  EXPECT_EQ(ReadWholeFile(dump), "previous");
  EXPECT_TRUE(FileExists(old)) << "a failed run prunes nothing";
}

TEST(EndToEnd, AViewerThatCannotBeStartedFailsTheRunAfterTheOldDumpIsGone) {
  Installation install;
  const std::wstring input = install.MakeInput(L"hello.txt", kHelloBytes);
  const std::wstring dump = install.PlacePreviousDump(input, "previous");
  const std::wstring notAProgram = install.root() + L"\\viewer\\viewer.hvnoassoc";
  ASSERT_TRUE(WriteWholeFile(notAProgram, "not a program"));

  const ProcessResult run = install.Run({input, notAProgram});
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(run.standardError, ErrorLine(L"Failed to launch LumoViewer."));
  EXPECT_FALSE(FileExists(dump));
  EXPECT_TRUE(ListNames(install.dumpsDirectory()).empty());
}

TEST(EndToEnd, MissingAndLockedInputsGiveAnErrorReportAsTheDump) {
  Installation install;
  const std::wstring missing = install.root() + L"\\in\\missing.bin";
  const std::wstring locked = install.MakeInput(L"locked.bin", "secret");
  FileHolder holder(locked, L"none");
  ASSERT_TRUE(holder.holding());

  const struct {
    std::wstring input;
    std::string wording;
  } cases[] = {{missing, "file not found"}, {locked, "file is locked by another process"}};
  for (const auto& c : cases) {
    const ProcessResult run = install.RunOn(c.input);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.standardError, "");
    EXPECT_EQ(ReadWholeFile(install.ExpectedDumpPath(install.appDirectory(), c.input)),
              OpenErrorDump(c.input, c.wording));
  }
}

TEST(EndToEnd, OldDumpsArePrunedAfterASuccessfulRun) {
  Installation install;
  const std::wstring input = install.MakeInput(L"hello.txt", kHelloBytes);
  ASSERT_TRUE(CreateDirectoryW(install.dumpsDirectory().c_str(), nullptr));
  const std::wstring oldDump = install.dumpsDirectory() + L"\\0123456789abcdef - gone.bin.HEXTXT";
  const std::wstring oldTemp = install.dumpsDirectory() + L"\\0123456789abcdef - gone.bin.hextxt.1_2.tmp";
  const std::wstring youngDump = install.dumpsDirectory() + L"\\0123456789abcdef - kept.bin.hextxt";
  const std::wstring oldOther = install.dumpsDirectory() + L"\\notes.txt";
  for (const auto& path : {oldDump, oldTemp, youngDump, oldOther}) ASSERT_TRUE(WriteWholeFile(path, "x"));
  AgeFile(oldDump, 8);
  AgeFile(oldTemp, 8);
  AgeFile(youngDump, 6);
  AgeFile(oldOther, 30);

  EXPECT_EQ(install.RunOn(input).exitCode, 0u);
  EXPECT_FALSE(FileExists(oldDump));
  EXPECT_FALSE(FileExists(oldTemp));
  EXPECT_TRUE(FileExists(youngDump));
  EXPECT_TRUE(FileExists(oldOther));
  EXPECT_TRUE(FileExists(install.ExpectedDumpPath(install.appDirectory(), input)));
}

TEST(EndToEnd, TheCommandLineIsSplitAsThePlatformSplitsIt) {
  Installation install;
  // Quoted empty arguments are arguments: three positionals here.
  ProcessOptions options;
  options.environmentSet = {L"LUMO_TEST_NO_UI=1"};
  ProcessResult run = RunCommandLine(L"\"" + install.program() + L"\" \"\" \"\" \"\"", options);
  EXPECT_EQ(run.exitCode, 2u);
  EXPECT_EQ(run.standardError,
            "Lumo Hex View Error: Invalid arguments: expected exactly two positional arguments: "
            "<input_file> <lumoviewer_exe>\r\n");
  // A blank inside quotes stays inside one argument.
  run = RunCommandLine(L"\"" + install.program() + L"\" \"--max-kb 5\" a b", options);
  EXPECT_EQ(run.exitCode, 2u);
  EXPECT_EQ(run.standardError, "Lumo Hex View Error: Invalid arguments: unknown option: --max-kb 5\r\n");
}

TEST(StandInViewer, ReportsATimeOutClearly) {
  Installation install;
  const std::wstring never = install.root() + L"\\never.hextxt";
  ProcessOptions options;
  options.environmentSet = {L"LUMO_VIEWER_COPY_TO=" + install.viewerCopy()};
  const ProcessResult run =
      RunProcess(install.viewer(), {L"--wait-file", L"--wait-timeout=200", L"--", never}, options);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 3u);
  const std::string message = "stand-in viewer: timed out after 200 ms waiting for '" + Utf8(never) + "'\r\n";
  EXPECT_EQ(run.standardError, message);
  EXPECT_EQ(ReadWholeFile(install.viewerCopy() + L".timeout"), message);
  EXPECT_FALSE(FileExists(install.viewerCopy()));
}

}  // namespace
}  // namespace hv::test
