// The built program against faults made for real from the Linux side: directories
// that refuse new files (chattr +i) and full disks (a small tmpfs).
#include <windows.h>

#include <gtest/gtest.h>

#include "app/error_reporting.h"
#include "e2e_support.h"
#include "support/fault_guards.h"
#include "storage/path.h"
#include "text/encoding.h"

namespace hv::test {
namespace {

const std::string kHelloBytes = std::string("Hello, world!\r\nBye") + '\0' + '\xFF';

std::string Quoted(const std::string& unixPath) { return "'" + unixPath + "'"; }

// The error line as the program writes it: cut at 256 units, ANSI, CR LF.
std::string ErrorLine(const std::wstring& message) {
  return WideToAnsi(TruncateText(L"Lumo Hex View Error: " + message, kErrorLineLimit)) + "\r\n";
}

TEST(EndToEndFaults, AProgramDirectoryThatRefusesWritesSendsDumpsToTheTemporaryDirectory) {
  Installation install;
  const std::wstring input = install.MakeInput(L"hello.txt", kHelloBytes);
  const ImmutableDirectory app(install.appDirectory());
  ASSERT_TRUE(app.ok());

  const ProcessResult run = install.RunOn(input);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.standardError, "");
  const std::wstring dump = install.ExpectedDumpPath(install.tempCandidate(), input);
  EXPECT_TRUE(FileExists(dump));
  EXPECT_NE(ReadWholeFile(dump).find("[End of File: Fully displayed] (Total: 20 bytes)"), std::string::npos);
  EXPECT_EQ(ListNames(install.appDirectory()), std::vector<std::wstring>{L"hex-viewer.exe"});
  ASSERT_TRUE(install.WaitForViewer());
  EXPECT_EQ(SplitRecord(ReadWholeFile(install.viewerArgs())).back(), Utf8(dump));
}

TEST(EndToEndFaults, WhenBothLocationsRefuseTheMessageNamesBoth) {
  Installation install;
  const std::wstring input = install.MakeInput(L"hello.txt", kHelloBytes);
  const ImmutableDirectory app(install.appDirectory());
  const ImmutableDirectory temp(install.tempDirectory());
  ASSERT_TRUE(app.ok() && temp.ok());

  const ProcessResult run = install.RunOn(input);
  EXPECT_EQ(run.exitCode, 1u);
  const std::wstring candidate = install.tempCandidate();
  EXPECT_EQ(run.standardError,
            ErrorLine(L"Cannot find a writable location for hex dumps.\nTried: '" + install.appDirectory() +
                      L"'\nTried: '" + candidate + L"'\n'" + install.appDirectory() + L"' rejects writes (error 5); '" +
                      candidate + L"' cannot be created"));
  EXPECT_EQ(run.totalProcesses, 1u);
}

// Takes every free byte of a small disk, so that nothing more fits.
bool FillUp(const SmallDisk& disk) {
  const std::string filler = UnixPathOf(disk.path() + L"\\filler");
  return RunUnixShell("dd if=/dev/zero of=" + Quoted(filler) + " bs=4k; test -s " + Quoted(filler)) == 0;
}

TEST(EndToEndFaults, AFullDiskLeavesTheOneLineWriteFailureReportInPlace) {
  Installation install;
  const std::wstring input = install.MakeInput(L"big.bin", std::string(1 << 20, 'A'));
  const SmallDisk disk(install.dumpsDirectory(), "64k");
  ASSERT_TRUE(disk.ok());

  const ProcessResult run = install.RunOn(input, {L"--max-kb=1024"});
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.standardError, "");
  const std::wstring dump = install.ExpectedDumpPath(install.appDirectory(), input);
  const std::string report = ReadWholeFile(dump);
  const std::string prefix =
      "[Lumo Hex Dump Error] Cannot write dump file (cannot write temporary file '" + Utf8(dump) + ".";
  EXPECT_EQ(report.substr(0, prefix.size()), prefix);
  ASSERT_GE(report.size(), 4u);
  EXPECT_EQ(report.substr(report.size() - 4), ").\r\n");
  EXPECT_EQ(report.find('\n'), report.size() - 1) << "one line";
  EXPECT_EQ(ListNames(install.dumpsDirectory()), std::vector<std::wstring>{FileNameOf(dump)})
      << "the temporary file is gone";
  ASSERT_TRUE(install.WaitForViewer());
  EXPECT_EQ(ReadWholeFile(install.viewerCopy()), report);
}

TEST(EndToEndFaults, WhenNothingFitsAtAllTheGenerationErrorIsReported) {
  Installation install;
  const std::wstring input = install.MakeInput(L"hello.txt", kHelloBytes);
  const SmallDisk disk(install.dumpsDirectory(), "64k");
  ASSERT_TRUE(disk.ok());
  ASSERT_TRUE(FillUp(disk));

  const ProcessResult run = install.RunOn(input);
  EXPECT_EQ(run.exitCode, 1u);
  const std::string prefix =
      WideToAnsi(L"Lumo Hex View Error: Cannot write the hex dump file: cannot write temporary file '" +
                 install.ExpectedDumpPath(install.appDirectory(), input));
  EXPECT_EQ(run.standardError.substr(0, prefix.size()), prefix);
  EXPECT_EQ(run.standardError.substr(run.standardError.size() - 2), "\r\n");
}

}  // namespace
}  // namespace hv::test
