// The built program against faults made for real from the Linux side: directories
// that refuse new files (chattr +i) and full disks (a small tmpfs).
#include <windows.h>

#include <gtest/gtest.h>

#include "app/error_reporting.h"
#include "e2e_support.h"
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
  const std::string app = UnixPathOf(install.appDirectory());
  ASSERT_EQ(RunUnixShell("chattr +i " + Quoted(app)), 0);
  UnixUndo undo("chattr -i " + Quoted(app));

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
  const std::string app = UnixPathOf(install.appDirectory());
  const std::string temp = UnixPathOf(install.tempDirectory());
  ASSERT_EQ(RunUnixShell("chattr +i " + Quoted(app) + " " + Quoted(temp)), 0);
  UnixUndo undo("chattr -i " + Quoted(app) + " " + Quoted(temp));

  const ProcessResult run = install.RunOn(input);
  EXPECT_EQ(run.exitCode, 1u);
  const std::wstring candidate = install.tempCandidate();
  EXPECT_EQ(run.standardError,
            ErrorLine(L"Cannot find a writable location for hex dumps.\nTried: '" + install.appDirectory() +
                      L"'\nTried: '" + candidate + L"'\n'" + install.appDirectory() + L"' rejects writes (error 5); '" +
                      candidate + L"' cannot be created"));
  EXPECT_EQ(run.totalProcesses, 1u);
}

// A tmpfs mounted as the dumps directory, unmounted on every path.
class FullDumpsDirectory {
 public:
  FullDumpsDirectory(const Installation& install, const char* size) {
    CreateDirectoryW(install.dumpsDirectory().c_str(), nullptr);
    mountPoint_ = UnixPathOf(install.dumpsDirectory());
    mounted_ = RunUnixShell("mount -t tmpfs -o size=" + std::string(size) + " tmpfs " + Quoted(mountPoint_)) == 0;
  }
  ~FullDumpsDirectory() {
    if (mounted_) RunUnixShell("umount " + Quoted(mountPoint_));
  }
  bool mounted() const { return mounted_; }
  // Takes every free byte, so that nothing more fits.
  bool FillUp() const {
    return RunUnixShell("dd if=/dev/zero of=" + Quoted(mountPoint_ + "/filler") + " bs=4k; test -s " +
                        Quoted(mountPoint_ + "/filler")) == 0;
  }

 private:
  std::string mountPoint_;
  bool mounted_ = false;
};

TEST(EndToEndFaults, AFullDiskLeavesTheOneLineWriteFailureReportInPlace) {
  Installation install;
  const std::wstring input = install.MakeInput(L"big.bin", std::string(1 << 20, 'A'));
  FullDumpsDirectory disk(install, "64k");
  ASSERT_TRUE(disk.mounted());

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
  FullDumpsDirectory disk(install, "64k");
  ASSERT_TRUE(disk.mounted());
  ASSERT_TRUE(disk.FillUp());

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
