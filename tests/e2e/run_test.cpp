// The built program run as the host runs it: exit codes, error lines, dump files and
// what the viewer is given, also against faults made for real.
#include <gtest/gtest.h>

#include <algorithm>

#include "dump/reference.h"
#include "installation.h"
#include "support/fault_guards.h"

namespace hv::test {
namespace {

// The error output line of an ASCII message: cut at 256 characters, the cut counted, CR LF.
std::string ErrorLine(const std::string& message) {
  const std::string line = "Lumo Hex View Error: " + message;
  if (line.size() <= 256) return line + "\r\n";
  return line.substr(0, 256) + "\n[... truncated, " + std::to_string(line.size() - 256) + " characters omitted]\r\n";
}

// Dates a file's last write the given number of days back.
void AgeFile(const std::wstring& path, int days) {
  ASSERT_EQ(RunUnixShell("touch -d '" + std::to_string(days) + " days ago' '" + UnixPathOf(path) + "'"), 0);
}

TEST(Program, RefusedRunsExitEarlyAndCreateNothing) {
  Installation install;
  const std::wstring input = install.Input(L"a.bin", "abc");
  const struct {
    std::vector<std::wstring> arguments;
    uint32_t exitCode;
    std::string message;
  } cases[] = {
      {{}, 2, "Invalid arguments: expected exactly two positional arguments: <input_file> <lumoviewer_exe>"},
      {{L"--bogus", input, install.viewer()}, 2, "Invalid arguments: unknown option: --bogus"},
      {{L"--max-kb", L"", input, install.viewer()}, 2, "Invalid arguments: option value is empty: --max-kb"},
      {{input, install.Dir(L"none.exe")}, 1, "LumoViewer executable not found at specified path."},
      {{input, install.Dir(L"in")}, 1, "LumoViewer executable not found at specified path."},
  };
  for (const auto& c : cases) {
    const ProcessResult run = install.Run(c.arguments);
    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_EQ(run.standardError, ErrorLine(c.message));
    EXPECT_EQ(run.totalProcesses, 1u) << "no viewer may be started";
  }
  EXPECT_EQ(ListNames(install.Dir(L"app")), std::vector<std::wstring>{L"hex-viewer.exe"});
  EXPECT_TRUE(ListNames(install.Dir(L"temp")).empty());
}

TEST(Program, ANormalRunHandsTheViewerTheExactDumpAndPrunes) {
  Installation install;
  const std::wstring input = install.Input(L"hello \u00E9t\u00E9.txt", kHello);
  const std::wstring dump = install.DumpOf(input);
  CreateDirectoryW(install.dumps().c_str(), nullptr);
  const std::wstring old = install.dumps() + L"\\0 - old.bin.HEXTXT", young = install.dumps() + L"\\0 - young.hextxt";
  for (const auto& path : {old, young}) WriteWholeFile(path, "x");
  AgeFile(old, 8);
  AgeFile(young, 6);

  const ProcessResult run = install.RunOn(input);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.standardError, "");
  EXPECT_EQ(run.totalProcesses, 2u) << "the program and its viewer";
  EXPECT_EQ(ReadWholeFile(dump), HelloDump(Utf8(input)));
  std::vector<std::wstring> left = ListNames(install.dumps());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::wstring>{L"0 - young.hextxt", FileNameOf(dump)}));
  ASSERT_TRUE(WaitForFile(install.seen(), 60000));
  EXPECT_EQ(ReadWholeFile(install.seen()), HelloDump(Utf8(input)));
  const char args[] = "--wait-file\0--wait-timeout=30000\0--\0";
  EXPECT_EQ(ReadWholeFile(install.seen() + L".args"), std::string(args, sizeof args - 1) + Utf8(dump) + '\0');

  // An input that is not there: its report in the dump, whose name is written out here.
  EXPECT_EQ(install.Run({L"C:/Data/missing.bin", install.viewer()}, install.Dir(L"seen-missing")).exitCode, 0u);
  EXPECT_TRUE(WaitForFile(install.Dir(L"seen-missing"), 60000));
  EXPECT_EQ(ReadWholeFile(install.dumps() + L"\\51e9d26dbf4c2def - missing.bin.hextxt"),
            kEquals +
                "\r\n[Lumo Hex Dump Error]\r\nFile:      C:\\Data\\missing.bin\r\n"
                "Error:     Cannot open file for reading (file not found)\r\n" +
                kEquals + "\r\n");
}

TEST(Program, APreviousDumpIsReplacedUnlessHeldOpenAndGoneBeforeTheViewerStarts) {
  Installation install;
  const std::wstring input = install.Input(L"hello.txt", kHello);
  const std::wstring dump = install.DumpOf(input);
  CreateDirectoryW(install.dumps().c_str(), nullptr);
  WriteWholeFile(dump, std::string(100000, 'x'));
  SetFileAttributesW(dump.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(install.RunOn(input).exitCode, 0u);
  EXPECT_EQ(ReadWholeFile(dump), HelloDump(Utf8(input)));

  const std::wstring old = install.dumps() + L"\\0 - old.hextxt";
  WriteWholeFile(old, "old");
  AgeFile(old, 8);
  FileHolder holder(dump, L"readwrite");
  ASSERT_TRUE(holder.holding());
  const ProcessResult run = install.RunOn(input);
  EXPECT_EQ(run.exitCode, 1u);
  const std::string line = "Lumo Hex View Error: Cannot replace the previous hex dump: " + Utf8(dump) + " (";
  EXPECT_EQ(run.standardError.substr(0, line.size()), line);
  EXPECT_TRUE(run.standardError.ends_with(" (32))\r\n")) << run.standardError;  // the system's words for code 32
  EXPECT_EQ(run.totalProcesses, 1u) << "the viewer must not be started";
  EXPECT_TRUE(IsExistingFile(old)) << "a failed run prunes nothing";

  holder.Release();  // a viewer that cannot start fails the run after the previous dump is gone
  const ProcessResult unstarted = install.Run({input, install.Input(L"viewer.hvnoassoc", "not a program")});
  EXPECT_EQ(unstarted.exitCode, 1u);
  EXPECT_EQ(unstarted.standardError, ErrorLine("Failed to launch LumoViewer."));
  EXPECT_EQ(ListNames(install.dumps()), std::vector<std::wstring>{L"0 - old.hextxt"});
}

TEST(Program, NoUsableDumpDirectoryFailsTheRunWithItsMessage) {
  {
    Installation install;
    const ImmutableDirectory app(install.Dir(L"app")), temp(install.Dir(L"temp"));
    ASSERT_TRUE(app.ok() && temp.ok());
    const std::string appDir = Utf8(install.Dir(L"app")), candidate = Utf8(install.tempCandidate());
    const ProcessResult run = install.RunOn(install.Input(L"a.bin", "abc"));
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.standardError, ErrorLine("Cannot find a writable location for hex dumps.\nTried: '" + appDir +
                                           "'\nTried: '" + candidate + "'\n'" + appDir +
                                           "' rejects writes (error 5); '" + candidate + "' cannot be created"));
  }
  {  // only the temporary candidate takes dumps, and it is too deep for any dump name
    Installation install;
    const ImmutableDirectory app(install.Dir(L"app"));
    ASSERT_TRUE(app.ok());
    const std::wstring deep = install.Dir(L"temp\\") + std::wstring(200 - install.Dir(L"temp\\").size(), L'd');
    const ProcessResult run = install.Run({install.Input(L"a.bin", "abc"), install.viewer()}, {}, deep);
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.standardError, ErrorLine("Cannot build a safe output path for the hex dump."));
    EXPECT_EQ(run.totalProcesses, 1u);
  }
  for (const bool immutable : {false, true}) {
    Installation install;
    const std::wstring input = install.Input(L"a.bin", "abc");
    if (!immutable) WriteWholeFile(install.dumps(), "a file where the dumps belong");
    const ImmutableDirectory dumps(immutable ? install.dumps() : install.Dir(L"unused"));
    ASSERT_TRUE(dumps.ok());
    const std::string dir = Utf8(install.dumps());
    const ProcessResult run = install.RunOn(input);
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.standardError, ErrorLine("Cannot write to the hex dump directory: " + dir + " ('" + dir +
                                           (immutable ? "' rejects writes (error 5))" : "' cannot be created)")));
    EXPECT_EQ(run.totalProcesses, 1u);
  }
}

TEST(Program, AFullDiskLeavesTheOneLineReportAndNothingFittingFailsTheRun) {
  Installation install;
  const std::wstring input = install.Input(L"big.bin", std::string(1 << 20, 'A'));
  const std::wstring dump = install.DumpOf(input);
  const SmallDisk disk(install.dumps(), "64k");
  ASSERT_TRUE(disk.ok());
  EXPECT_EQ(install.RunOn(input, {L"--max-kb=1024"}).exitCode, 0u);
  const std::string report = ReadWholeFile(dump);
  const std::string prefix =
      "[Lumo Hex Dump Error] Cannot write dump file (cannot write temporary file '" + Utf8(dump) + ".";
  EXPECT_EQ(report.substr(0, prefix.size()), prefix);
  EXPECT_EQ(report.find("\n"), report.size() - 1);
  EXPECT_EQ(ListNames(install.dumps()), std::vector<std::wstring>{FileNameOf(dump)}) << "no temporary left";

  DeleteFileW(dump.c_str());  // else the run frees its page and the report fits again
  const std::string filler = UnixPathOf(install.dumps() + L"\\filler");
  ASSERT_EQ(RunUnixShell("f='" + filler + "'; dd if=/dev/zero of=\"$f\" bs=4k; test -s \"$f\""), 0);
  const ProcessResult run = install.RunOn(input, {L"--max-kb=1024"});
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(run.standardError.rfind("Lumo Hex View Error: Cannot write the hex dump file: cannot write temporary", 0),
            0u);
}

}  // namespace
}  // namespace hv::test
