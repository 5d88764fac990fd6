// The built program run as the host runs it, against real faults, a message box and simultaneous runs.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "dump/reference.h"
#include "installation.h"

namespace hv::test {
namespace {

// The error output line of an ASCII message: cut at 256 characters, the cut counted, CR LF.
std::string ErrorLine(const std::string& message) {
  const std::string line = "Lumo Hex View Error: " + message;
  if (line.size() <= 256) return line + "\r\n";
  return line.substr(0, 256) + "\n[... truncated, " + std::to_string(line.size() - 256) + " characters omitted]\r\n";
}

// A run that ends with the code and the error line before any viewer is started.
void ExpectStopped(const ProcessResult& run, uint32_t exitCode, const std::string& message) {
  EXPECT_EQ(run.exitCode, exitCode);
  EXPECT_EQ(run.standardError, ErrorLine(message));
  EXPECT_EQ(run.totalProcesses, 1u) << "no viewer may be started";
}

void WriteAged(const std::wstring& path, int days) {
  ASSERT_TRUE(WriteWholeFile(path, "x"));
  ASSERT_EQ(RunUnixShell("touch -d '" + std::to_string(days) + " days ago' '" + UnixPathOf(path) + "'"), 0);
}

// One installation through refused runs, a normal run, a held previous dump and a viewer that cannot start.
TEST(Program, RunsFromRefusalThroughDeliveryToAFailedReplaceAndLaunch) {
  Installation install;
  const std::wstring input = install.Input(L"hello \u00E9t\u00E9.txt", kHello), dump = install.DumpOf(input);
  ExpectStopped(install.Run({}), 2,
                "Invalid arguments: expected exactly two positional arguments: <input_file> <lumoviewer_exe>");
  for (const wchar_t* viewer : {L"none.exe", L"in"}) {  // missing, and a directory
    ExpectStopped(install.Run({input, install.Dir(viewer)}), 1, "LumoViewer executable not found at specified path.");
  }

  WriteAged(install.dumps() + L"\\0 - old.bin.HEXTXT", 8);
  // A viewer still reads the previous dump, sharing everything: it gives way at once.
  ASSERT_TRUE(WriteWholeFile(dump, "previous"));
  UniqueFile reader = OpenShared(dump, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  const ProcessResult run = install.RunOn(input, {L"--wait-timeout=600000"});
  EXPECT_TRUE(run.exitCode == 0 && run.standardError.empty() && run.totalProcesses == 2)
      << run.exitCode << " " << run.standardError << run.totalProcesses << " processes (the program and its viewer)";
  reader.reset();
  EXPECT_EQ(ReadWholeFile(dump), HelloDump(Utf8(input)));
  EXPECT_EQ(ListNames(install.dumps()), OnlyFile(dump)) << "the old dump is pruned";
  EXPECT_EQ(ReadWholeFile(install.seen()), HelloDump(Utf8(input)));
  const char args[] = "--wait-file\0--wait-timeout=600000\0--\0";
  EXPECT_EQ(ReadWholeFile(install.seen() + L".args"), std::string(args, sizeof args - 1) + Utf8(dump) + '\0');

  // An ASCII name from here on, as the error line is in the ANSI code page.
  const std::wstring plain = install.Input(L"hello.txt", kHello), previous = install.DumpOf(plain);
  const std::wstring old = install.dumps() + L"\\0 - old.hextxt";
  WriteAged(old, 8);
  ASSERT_TRUE(WriteWholeFile(previous, "previous"));
  UniqueFile holder = OpenShared(previous, FILE_SHARE_READ | FILE_SHARE_WRITE);
  ExpectStopped(install.RunOn(plain), 1,
                "Cannot replace the previous hex dump: " + Utf8(previous) + " (Sharing violation. (32))");

  holder.reset();  // a viewer that cannot start fails the run after the previous dump is gone
  const ProcessResult unstarted = install.Run({plain, install.Input(L"viewer.hvnoassoc", "not a program")});
  EXPECT_EQ(unstarted.exitCode, 1u);
  EXPECT_EQ(unstarted.standardError, ErrorLine("Failed to launch LumoViewer."));
  EXPECT_EQ(ReadWholeFile(previous) + "|" + ReadWholeFile(old), "|x") << "failed runs prune nothing";
}

// No candidate takes files (as a line, then in a box), one is too deep, the dumps directory is locked or full.
TEST(Program, DumpDirectoriesThatTakeNothingOrTooLittleFailTheRunOrLeaveTheReport) {
  Installation install;
  const std::wstring input = install.Input(L"a.bin", "abc"), app = install.Dir(L"app");
  const std::wstring candidate = install.Dir(L"temp\\LumoControlPlugins\\hex-viewer");
  const std::wstring noLocation = L"Cannot find a writable location for hex dumps.\nTried: '" + app + L"'\nTried: '" +
                                  candidate + L"'\n'" + app + L"' rejects writes (error 5); '" + candidate +
                                  L"' cannot be created";
  {
    const ImmutableDirectory appFault(app), temp(install.Dir(L"temp"));
    ASSERT_TRUE(appFault.ok && temp.ok);
    ExpectStopped(install.RunOn(input), 1, Utf8(noLocation));
    // Without an X display (scripts/test.sh starts one) there is no box to see.
    if (GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) != 0) {
      std::vector<std::wstring> environment = install.Environment();
      environment[0] = L"LUMO_TEST_NO_UI=";  // not 1
      std::atomic<bool> ended = false;
      std::thread user([&] {
        // The box may be found before its controls hold their texts: look again until they do.
        bool found = false;
        HWND box = nullptr;
        while (!found && !ended) {
          Sleep(20);
          box = FindWindowW(nullptr, L"Lumo Hex View Error");
          for (HWND child = nullptr; box != nullptr && (child = FindWindowExW(box, child, nullptr, nullptr));) {
            wchar_t text[2048] = {};
            found = found || std::wstring(text, GetWindowTextW(child, text, 2048)) == noLocation;
          }
        }
        EXPECT_TRUE(found) << "no box showed the whole message";
        PostMessageW(box, WM_COMMAND, IDOK, 0);  // as the user dismisses it
      });
      const ProcessResult run = RunProcess(install.program(), {input, install.viewer()}, environment);
      ended = true;
      user.join();
      EXPECT_TRUE(run.exitCode == 1 && run.standardError.empty()) << "a box, not a line: " << run.standardError;
    }
  }
  {
    const ImmutableDirectory appFault(app);
    ASSERT_TRUE(appFault.ok);
    const std::wstring deep = install.Dir(L"temp\\") + std::wstring(200 - install.Dir(L"temp\\").size(), L'd');
    ExpectStopped(install.Run({input, install.viewer()}, {}, deep), 1,
                  "Cannot build a safe output path for the hex dump.");
  }
  {
    const ImmutableDirectory dumps(install.dumps());
    ASSERT_TRUE(dumps.ok);
    const std::string dir = Utf8(install.dumps());
    ExpectStopped(install.RunOn(input), 1,
                  "Cannot write to the hex dump directory: " + dir + " ('" + dir + "' rejects writes (error 5))");
  }
  // A tiny file system: the one-line report where the dump does not fit, a failed run when nothing fits.
  const std::wstring big = install.Input(L"big.bin", std::string(1 << 20, 'A')), dump = install.DumpOf(big);
  const UnixFault disk(install.dumps(), "mkdir -p \"$1\" && mount -t tmpfs -o size=64k tmpfs \"$1\"",
                       "umount \"$1\" || umount -l \"$1\"");
  ASSERT_TRUE(disk.ok);
  EXPECT_EQ(install.RunOn(big, {L"--max-kb=1024"}).exitCode, 0u);
  const std::string report = ReadWholeFile(dump);
  const std::string prefix =
      "[Lumo Hex Dump Error] Cannot write dump file (cannot write temporary file '" + Utf8(dump) + ".";
  EXPECT_EQ(report.substr(0, prefix.size()), prefix);
  EXPECT_EQ(report.find("\n"), report.size() - 1);
  EXPECT_EQ(ListNames(install.dumps()), OnlyFile(dump)) << "no temporary left";
  DeleteFileW(dump.c_str());  // else the run frees its page and the report fits again
  const std::string filler = UnixPathOf(install.dumps() + L"\\filler");
  ASSERT_EQ(RunUnixShell("f='" + filler + "'; dd if=/dev/zero of=\"$f\" bs=4k; test -s \"$f\""), 0);
  // The viewer waits in vain for this run: as briefly as it may, so that it does not hold up the suite.
  const ProcessResult run = install.RunOn(big, {L"--max-kb=1024", L"--wait-timeout=5000"});
  EXPECT_TRUE(run.exitCode == 1 && run.standardError.starts_with(
                                       "Lumo Hex View Error: Cannot write the hex dump file: cannot write temporary"))
      << run.standardError;
}

// Another program takes the dump path, unshared, once the previous dump is gone; a run it missed is made again.
TEST(Program, ADumpPathTakenByAnotherProgramFailsTheRun) {
  Installation install;
  const std::wstring input = install.Input(L"big.bin", std::string(4 << 20, 'b')), dump = install.DumpOf(input);
  ASSERT_TRUE(WriteWholeFile(dump, "previous"));
  UniqueFile taken;
  for (int attempt = 0; attempt < 5 && !taken; ++attempt) {
    std::atomic<bool> ended = false;
    std::thread other([&] {
      while (!taken && !ended)
        taken.reset(CreateFileW(dump.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    });
    const ProcessResult run = install.RunOn(input, {L"--max-kb=4096"});
    ended = true;
    other.join();
    EXPECT_TRUE(!taken ||
                (run.exitCode == 1 && run.standardError.find("Lumo Hex View Error: Cannot write the hex "
                                                             "dump file: MoveFileExW failed: ") != std::string::npos))
        << run.exitCode << " " << run.standardError;
  }
  ASSERT_TRUE(taken) << "the dump path was never free for the other program";
  taken.reset();
  EXPECT_EQ(ReadWholeFile(dump), "") << "the other program's file stays as it made it";
  EXPECT_EQ(ListNames(install.dumps()), OnlyFile(dump)) << "no temporary is left";
}

// A dozen simultaneous runs on two inputs, then a watched large dump: every viewer is shown the whole dump.
TEST(Stress, SimultaneousRunsAndAWatchedLargeDumpShowWholeDumps) {
  Installation install;
  const std::wstring inputs[] = {install.Input(L"hello.txt", kHello),
                                 install.Input(L"large.bin", RandomBytes(600000, 2))};
  std::vector<ProcessResult> runs(12);
  std::vector<std::thread> threads;
  const auto seen = [&](size_t i) { return install.Dir(L"seen-" + std::to_wstring(i)); };
  for (size_t i = 0; i < runs.size(); ++i) {
    threads.emplace_back([&, i] {
      runs[i] = install.Run({L"--max-kb=1024", L"--wait-timeout=600000", inputs[i % 2], install.viewer()}, seen(i));
    });
  }
  for (auto& thread : threads) thread.join();
  for (size_t i = 0; i < runs.size(); ++i) {
    EXPECT_EQ(runs[i].exitCode, 0u) << runs[i].standardError;
    const std::string shown = ReadWholeFile(seen(i));
    EXPECT_TRUE(shown == ReadWholeFile(install.DumpOf(inputs[i % 2]))) << i << ": " << shown.substr(0, 400);
  }
  EXPECT_EQ(ReadWholeFile(install.DumpOf(inputs[0])), HelloDump(Utf8(inputs[0])));
  EXPECT_EQ(ListNames(install.dumps()).size(), 2u) << "only the dumps are left";

  // The stand-in viewer looks every millisecond and copies what it first finds: no partial dump.
  const std::wstring huge = install.Input(L"huge.bin", RandomBytes(24 << 20, 3));
  ASSERT_EQ(install.RunOn(huge, {L"--max-kb=24576", L"--wait-timeout=600000"}).exitCode, 0u);
  EXPECT_TRUE(ReadWholeFile(install.seen()) == ReadWholeFile(install.DumpOf(huge)));
}

}  // namespace
}  // namespace hv::test
