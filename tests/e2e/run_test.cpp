// The built program run as the host runs it, against real faults, a message box and simultaneous runs.
#include <gtest/gtest.h>

#include <atomic>
#include <regex>
#include <thread>

#include "dump/reference.h"
#include "installation.h"

namespace hv::test {
namespace {

// The error output line of a message in the ANSI code page: cut at 256 characters, the cut counted, CR LF.
std::string ErrorLine(const std::string& message) {
  const std::string line = "Lumo Hex View Error: " + message;
  if (line.size() <= 256) return line + "\r\n";
  return line.substr(0, 256) + "\n[... truncated, " + std::to_string(line.size() - 256) + " characters omitted]\r\n";
}
std::string Stopped(uint32_t exitCode, const std::string& message, int processes = 1) {
  return Outcome({true, exitCode, static_cast<uint32_t>(processes), ErrorLine(message)});
}
const std::string kDelivered = "0 [] 2";  // the program and its viewer, nothing on the error output

void WriteAged(const std::wstring& path, int days) {
  ASSERT_TRUE(WriteWholeFile(path, "x"));
  ASSERT_EQ(RunUnixShell("touch -d '" + std::to_string(days) + " days ago' '" + UnixPathOf(path) + "'"), 0);
}

TEST(Program, RefusesThenDeliversWhatTheOptionsAskOfAHeldInputThenFailsToReplaceOrLaunch) {
  Installation install;
  const std::string data = RandomBytes(3000, 5);
  const std::wstring input = install.Input(L"\u00E9 \u202Etxt.exe\u2028\u0085.bin", data), dump = install.DumpOf(input);
  const std::string fileLine = WideToUtf8(install.Dir(L"in\\\u00E9 \uFFFDtxt.exe\uFFFD\uFFFD.bin"));  // marks: U+FFFD
  EXPECT_EQ(Outcome(install.Run({})),
            Stopped(2, "Invalid arguments: expected exactly two positional arguments: <input_file> <lumoviewer_exe>"));
  for (const wchar_t* viewer : {L"none.exe", L"in"})  // missing, and a directory
    EXPECT_EQ(Outcome(install.Run({input, install.Dir(viewer)})),
              Stopped(1, "LumoViewer executable not found at specified path."));
  EXPECT_EQ(ListNames(install.Dir(L"app")), OnlyFile(install.program())) << "refused runs make nothing";

  // Held open for writing and deletion by another program, as a log is; a capped lower-case dump.
  UniqueFile writer = OpenShared(input, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  ASSERT_TRUE(writer);
  const std::string capped = Header(fileLine, "2.93 KB (3,000 bytes)", "Showing first 1 KB (0x00000000 - 0x000003ff)") +
                             Columns(false) + Rows(0, data.data(), 1024, false) +
                             Footer("[Truncated] Display capped at 1 KB to ensure instant loading. (Total: 2.93 KB)");
  EXPECT_EQ(Outcome(install.RunOn(input, {L"--max-kb=1", L"--lowercase", L"--wait-timeout=600000"})), kDelivered);
  EXPECT_EQ(ReadWholeFile(install.seen()), capped);
  const char args[] = "--wait-file\0--wait-timeout=600000\0--\0";
  EXPECT_EQ(ReadWholeFile(install.seen() + L".args"), std::string(args, sizeof args - 1) + WideToUtf8(dump) + '\0');

  // The previous dump, still read by a viewer that shares everything, gives way; an old dump is pruned.
  WriteAged(install.dumps() + L"\\0 - old.bin.HEXTXT", 8);
  UniqueFile reader = OpenShared(dump, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  EXPECT_EQ(Outcome(install.RunOn(input, {L"--max-kb=1", L"--case=lower"})), kDelivered);
  reader.reset();
  EXPECT_EQ(ReadWholeFile(install.seen()) + ReadWholeFile(dump), capped + capped);
  EXPECT_EQ(ListNames(install.dumps()), OnlyFile(dump));

  // A system file that holds fewer bytes than its size says: the dump says where it ended.
  const std::wstring online = L"Z:\\sys\\devices\\system\\cpu\\online";
  const std::string bytes = ReadWholeFile(online);  // a few bytes, so a one-digit offset where they end
  EXPECT_EQ(Outcome(install.RunOn(online)), kDelivered);
  EXPECT_EQ(ReadWholeFile(install.seen()),
            Header(WideToUtf8(online), "4.00 KB (4,096 bytes)", "Showing all 4,096 bytes (0x00000000 - 0x00000FFF)") +
                Columns() + Rows(0, bytes.data(), bytes.size()) + "\r\n[Read Error] Stopped at 0x0000000" +
                "0123456789ABCDEF"[bytes.size()] + ": End of file. (38)\r\n");

  // A device is not read (and a file named like one is that file: the shell's launch below is given one).
  EXPECT_EQ(Outcome(install.RunOn(L"Z:\\dev\\null")), kDelivered);
  EXPECT_EQ(ReadWholeFile(install.seen()), OpenErrorReport("Z:\\dev\\null", "Request not supported. (50)"));

  // A previous dump held without delete sharing stops the run before any viewer; the line is in ANSI, where a
  // control character of the path (U+0081, a byte of its own there) shows as U+FFFD does.
  const std::wstring held = install.Input(L"h\u0081.txt", kHello);
  std::wstring previous = install.DumpOf(held);
  UniqueFile holder = OpenShared(previous, FILE_SHARE_READ | FILE_SHARE_WRITE);  // made for the purpose
  previous[previous.rfind(L'\u0081')] = L'?';
  EXPECT_EQ(Outcome(install.RunOn(held)),
            Stopped(1, "Cannot replace the previous hex dump: " + Narrow(previous) + " (Sharing violation. (32))"));
  holder.reset();

  // A viewer that only the shell can open is started through its file type; without one the launch fails.
  const std::wstring nul = install.Input(L"nul.txt", kHello), shellOnly = install.Input(L"viewer.hvview", "-");
  // The type is its own class, with an open command (Wine's shell reads the machine's classes).
  const std::wstring type = L"Software\\Classes\\.hvview", command = L"\"" + install.viewer() + L"\" %*";
  RegSetKeyValueW(HKEY_LOCAL_MACHINE, type.c_str(), nullptr, REG_SZ, L".hvview", 16);
  RegSetKeyValueW(HKEY_LOCAL_MACHINE, (type + L"\\shell\\open\\command").c_str(), nullptr, REG_SZ, command.c_str(),
                  static_cast<DWORD>(2 * command.size() + 2));
  const ProcessResult run = install.Run({nul, shellOnly});  // the shell may start more than the viewer
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, type.c_str());
  EXPECT_EQ(Outcome(run).substr(0, 5) + ReadWholeFile(install.seen()) + ReadWholeFile(install.DumpOf(nul)),
            "0 [] " + HelloDump(Narrow(nul)) + HelloDump(Narrow(nul)));
  const std::wstring old = install.dumps() + L"\\0 - old.hextxt";
  WriteAged(old, 8);
  EXPECT_EQ(Outcome(install.Run({nul, shellOnly})), Stopped(1, "Failed to launch LumoViewer."));
  EXPECT_EQ(ReadWholeFile(install.DumpOf(nul)) + "|" + ReadWholeFile(old), "|x") << "the dump went; nothing was pruned";
}

// No candidate takes files (a line, then a box), only the temporary one, one too deep, dumps locked, limited or full.
TEST(Program, DumpDirectoriesThatTakeNothingOrTooLittleFailTheRunOrLeaveTheReport) {
  Installation install;
  const std::wstring input = install.Input(L"hello.txt", kHello), app = install.Dir(L"app");
  const std::wstring candidate = install.Dir(L"temp\\LumoControlPlugins\\hex-viewer");
  const std::wstring noLocation = L"Cannot find a writable location for hex dumps.\nTried: '" + app + L"'\nTried: '" +
                                  candidate + L"'\n'" + app + L"' rejects writes (error 5); '" + candidate +
                                  L"' cannot be created";
  {
    const UnixFault appFault = Immutable(app), temp = Immutable(install.Dir(L"temp"));
    ASSERT_TRUE(appFault.ok && temp.ok);
    EXPECT_EQ(Outcome(install.RunOn(input)), Stopped(1, WideToUtf8(noLocation)));
    // Without an X display (scripts/test.sh starts one) there is no box to see.
    if (GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) != 0) {
      std::vector<std::wstring> environment = install.Environment();
      environment[0] = L"LUMO_TEST_NO_UI=";  // not 1: a box, not a line
      std::atomic<bool> ended = false;
      std::wstring shown;
      std::thread user([&] {  // as the user: reads the box once it shows its text, and dismisses it
        for (HWND box = nullptr; shown.empty() && !ended; Sleep(20)) {
          wchar_t text[2048] = {};
          box = FindWindowW(nullptr, L"Lumo Hex View Error");
          shown.assign(text, box == nullptr ? 0 : GetDlgItemTextW(box, 0xFFFF, text, 2048));  // the box's text
          if (!shown.empty()) PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
      });
      const std::string outcome = Outcome(RunProcess(install.program(), {input, install.viewer()}, environment));
      ended = true;
      user.join();
      EXPECT_EQ(outcome + WideToUtf8(shown), "1 [] 1" + WideToUtf8(noLocation));
    }
  }
  {
    // Installed where it may not write: the dumps go under the temporary directory, made by the run.
    const UnixFault appFault = Immutable(app);
    ASSERT_TRUE(appFault.ok);
    EXPECT_EQ(Outcome(install.RunOn(input)), kDelivered);
    EXPECT_EQ(ReadWholeFile(install.seen()) + ReadWholeFile(install.DumpOf(input, candidate)),
              HelloDump(WideToUtf8(input)) + HelloDump(WideToUtf8(input)));
    const std::wstring deep = install.Dir(L"temp\\") + std::wstring(200 - install.Dir(L"temp\\").size(), L'd');
    EXPECT_EQ(Outcome(install.Run({input, install.viewer()}, {}, deep)),
              Stopped(1, "Cannot build a safe output path for the hex dump."));
  }
  {
    const UnixFault dumps = Immutable(install.dumps());
    ASSERT_TRUE(dumps.ok);
    const std::string dir = WideToUtf8(install.dumps());
    EXPECT_EQ(Outcome(install.RunOn(input)), Stopped(1, "Cannot write to the hex dump directory: " + dir + " ('" + dir +
                                                            "' rejects writes (error 5))"));
  }
  const auto masked = [](const std::string& text) {
    return std::regex_replace(text, std::regex("\\.[0-9]+_[0-9]+\\.tmp'"), ".PID_TICK.tmp'");
  };
  // A file-size limit cuts a write short without a code; the write of the rest names the cause, in the one-line
  // report left in the dump's place (old dumps go).
  const std::wstring big = install.Input(L"big\u0081.bin", std::string(1 << 20, 'A')), dump = install.DumpOf(big);
  WriteAged(install.dumps() + L"\\0 - old.hextxt", 8);
  EXPECT_EQ(RunUnixShell("trap '' XFSZ; ulimit -f 64; LUMO_TEST_NO_UI=1 wine '" + UnixPathOf(install.program()) +
                         "' --max-kb=1024 '" + WideToUtf8(big) + "' '" + WideToUtf8(install.viewer()) + "'"),
            0);
  std::wstring shown = dump;
  shown[shown.rfind(L'\u0081')] = L'\uFFFD';
  EXPECT_EQ(masked(ReadWholeFile(dump)), "[Lumo Hex Dump Error] Cannot write dump file (cannot write temporary file '" +
                                             WideToUtf8(shown) + ".PID_TICK.tmp': General failure. (31)).\r\n");
  EXPECT_EQ(ListNames(install.dumps()), OnlyFile(dump)) << "no temporary left, the old dump pruned";
  // A full disk takes neither the dump nor the report: the run fails, and its viewer waits in vain (as briefly as
  // it may, not to hold up the suite).
  const UnixFault disk = FullDisk(install.dumps());
  ASSERT_TRUE(disk.ok);
  const std::string filler = UnixPathOf(install.dumps() + L"\\filler");
  ASSERT_EQ(RunUnixShell("f='" + filler + "'; dd if=/dev/zero of=\"$f\" bs=4k; test -s \"$f\""), 0);
  shown[shown.rfind(L'\uFFFD')] = L'?';  // what the ANSI code page makes of the mark
  const std::string failure = "Cannot write the hex dump file: cannot write temporary file '" + Narrow(shown);
  EXPECT_EQ(masked(Outcome(install.RunOn(big, {L"--max-kb=1024", L"--wait-timeout=5000"}))),
            Stopped(1, failure + ".PID_TICK.tmp': Disk full. (112)", 2));
}

// Another program (the stand-in viewer, as it starts) takes the dump path while the dump is written.
TEST(Program, ADumpPathTakenByAnotherProgramFailsTheRun) {
  Installation install;
  const std::wstring input = install.Input(L"large.bin", std::string(64 << 20, 'b')), dump = install.DumpOf(input);
  std::vector<std::wstring> environment = install.Environment();
  environment.push_back(L"LUMO_VIEWER_TAKE=1");
  const ProcessResult run = RunProcess(install.program(), {L"--max-kb=65536", input, install.viewer()}, environment);
  ASSERT_EQ(ReadWholeFile(install.seen()), "the dump path was taken") << "the scene was not set";
  EXPECT_EQ(Outcome(run), Stopped(1, "Cannot write the hex dump file: MoveFileExW failed: Access denied. (5)", 2));
  EXPECT_EQ(ReadWholeFile(dump), "someone else's file\r\n");
  EXPECT_EQ(ListNames(install.dumps()), OnlyFile(dump)) << "no temporary is left";
}

// A dozen simultaneous runs on two inputs: every viewer is shown the whole dump.
TEST(Stress, SimultaneousRunsShowWholeDumps) {
  Installation install;
  const std::wstring inputs[] = {install.Input(L"h.txt", kHello), install.Input(L"l.bin", RandomBytes(600000, 2))};
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
    const bool whole = ReadWholeFile(seen(i)) == ReadWholeFile(install.DumpOf(inputs[i % 2]));
    EXPECT_EQ(Outcome(runs[i]) + (whole ? "" : ", shown another dump"), kDelivered) << i;
  }
  EXPECT_EQ(ListNames(install.dumps()).size(), 2u) << "only the dumps are left";
}

}  // namespace
}  // namespace hv::test
