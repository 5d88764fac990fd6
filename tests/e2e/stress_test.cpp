// The built program under stress: many runs at once, a viewer watching the dump path
// closely, hostile command lines and hostile paths.
#include <windows.h>

#include <gtest/gtest.h>

#include <random>
#include <thread>

#include "dump/generate.h"
#include "e2e_support.h"
#include "storage/atomic_writer.h"
#include "storage/naming.h"
#include "storage/path.h"

namespace hv::test {
namespace {

std::string PatternBytes(size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(count, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

// The dump a lone, undisturbed generation makes of the input.
std::string ReferenceDump(const std::wstring& input, uint64_t maxKb) {
  ScratchDirectory scratch(L"ref");
  DumpRequest request;
  request.inputPath = input;
  request.outputPath = scratch.Join(L"ref.hextxt");
  request.temporaryPath = scratch.Join(L"ref.hextxt.tmp");
  request.maxKb = maxKb;
  EXPECT_TRUE(GenerateDump(request).success);
  return ReadWholeFile(request.outputPath);
}

bool EndsWith(const std::wstring& text, const std::wstring& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TEST(Stress, ADozenSimultaneousRunsAllDeliverExactDumps) {
  Installation install;
  const std::vector<std::wstring> inputs = {
      install.MakeInput(L"small.txt", "just a few bytes"),
      install.MakeInput(L"medium.bin", PatternBytes(100000, 1)),
      install.MakeInput(L"large.bin", PatternBytes(600000, 2)),
  };
  std::vector<std::string> references;
  for (const auto& input : inputs) references.push_back(ReferenceDump(input, 1024));

  constexpr size_t kRuns = 12;
  std::vector<ProcessResult> results(kRuns);
  std::vector<std::wstring> copies(kRuns);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < kRuns; ++i) {
    copies[i] = install.root() + L"\\seen-" + std::to_wstring(i) + L".hextxt";
    threads.emplace_back([&, i] {
      results[i] = install.Run({L"--max-kb=1024", inputs[i % inputs.size()], install.viewer()}, copies[i]);
    });
  }
  for (auto& thread : threads) thread.join();

  for (size_t i = 0; i < kRuns; ++i) {
    SCOPED_TRACE(i);
    ASSERT_TRUE(results[i].finished);
    EXPECT_EQ(results[i].exitCode, 0u);
    EXPECT_EQ(results[i].standardError, "");
    ASSERT_TRUE(WaitForFile(copies[i], 60000)) << "viewer " << i << " saw no dump";
    EXPECT_TRUE(ReadWholeFile(copies[i]) == references[i % inputs.size()]) << "viewer " << i << " saw another dump";
  }
  for (size_t k = 0; k < inputs.size(); ++k) {
    EXPECT_TRUE(ReadWholeFile(install.ExpectedDumpPath(install.appDirectory(), inputs[k])) == references[k]);
  }
  const std::vector<std::wstring> left = ListNames(install.dumpsDirectory());
  EXPECT_EQ(left.size(), inputs.size());
  for (const auto& name : left) EXPECT_TRUE(EndsWith(name, L".hextxt")) << Utf8(name);
}

TEST(Stress, AViewerPollingEveryMillisecondNeverSeesAPartialDump) {
  Installation install;
  constexpr size_t kInputBytes = 24u << 20;
  const std::wstring input = install.MakeInput(L"huge.bin", PatternBytes(kInputBytes, 3));
  const std::wstring poller = install.root() + L"\\viewer\\poll-viewer.exe";
  ASSERT_TRUE(CopyFileW(BuiltProgram(L"poll-viewer.exe").c_str(), poller.c_str(), FALSE));

  const ProcessResult run = install.Run({L"--max-kb=24576", input, poller});
  ASSERT_TRUE(run.finished);
  ASSERT_EQ(run.exitCode, 0u);
  const std::wstring dump = install.ExpectedDumpPath(install.appDirectory(), input);
  const std::string finished = ReadWholeFile(dump);
  ASSERT_GT(finished.size(), kInputBytes * 5);

  ASSERT_TRUE(WaitForFile(poller + L".sizes", 180000));
  const std::string sizes = ReadWholeFile(poller + L".sizes");
  size_t observations = 0;
  for (size_t start = 0; start < sizes.size();) {
    const size_t end = sizes.find('\n', start);
    const unsigned long long seen = std::stoull(sizes.substr(start, end - start));
    EXPECT_EQ(seen, finished.size()) << "observation " << observations;
    ++observations;
    start = end + 1;
  }
  EXPECT_EQ(observations, 200u);
}

// Arguments a host, a user or an attacker might pass.
std::vector<std::wstring> HostileVocabulary(const Installation& install, const std::wstring& input,
                                            const std::wstring& viewer) {
  return {
      L"",
      L"-",
      L"--",
      L"---",
      std::wstring(300, L'-'),
      L"--max-kb",
      L"--max-kb=",
      L"--max-kb=1",
      L"--MAX-KB=99999999999999999999",
      L"-max-kb=-5",
      L"--case",
      L"--case=LOWER",
      L"--case=sideways",
      L"--uppercase",
      L"--lowercase=",
      L"--wait-timeout=5000",
      L"--=",
      L"=",
      L"--\u00E9t\u00E9",
      L"\u65E5\u672C\u8A9E",
      L"\xD83D\xDE00",
      L"\xD800",
      L"a\xDC00z",
      std::wstring(5000, L'x'),
      std::wstring(2000, L'\xD800'),
      L"NUL",
      L"CON",
      L"COM1",
      L"\\\\.\\NUL",
      L"\\\\?\\C:\\",
      L"C:\\",
      L"\\\\server\\share\\x",
      L"a\"b",
      L"trailing\\",
      input,
      input,
      viewer,
      viewer,
      install.root(),
  };
}

TEST(Stress, HostileCommandLinesNeverCrashOrHang) {
  Installation install;
  const std::wstring input = install.MakeInput(L"in.bin", "hostile");
  const std::wstring recorder = install.root() + L"\\viewer\\arg-recorder.exe";
  ASSERT_TRUE(CopyFileW(BuiltProgram(L"arg-recorder.exe").c_str(), recorder.c_str(), FALSE));
  const std::vector<std::wstring> vocabulary = HostileVocabulary(install, input, recorder);

  std::mt19937 random(20261206);
  constexpr int kRuns = 300;
  int exits[3] = {0, 0, 0};
  for (int i = 0; i < kRuns; ++i) {
    std::vector<std::wstring> arguments(random() % 6);
    for (auto& argument : arguments) argument = vocabulary[random() % vocabulary.size()];
    const ProcessResult run = install.Run(arguments);
    SCOPED_TRACE("run " + std::to_string(i));
    ASSERT_TRUE(run.finished) << "hung";
    ASSERT_LE(run.exitCode, 2u) << "crashed or failed oddly";
    ++exits[run.exitCode];
    const std::string& line = run.standardError;
    switch (run.exitCode) {
      case 0:
        EXPECT_EQ(line, "");
        break;
      case 1:
        EXPECT_EQ(line.rfind("Lumo Hex View Error: ", 0), 0u) << line;
        EXPECT_EQ(line.find("Invalid arguments: "), std::string::npos) << line;
        break;
      case 2:
        EXPECT_EQ(line.rfind("Lumo Hex View Error: Invalid arguments: ", 0), 0u) << line;
        break;
    }
    if (run.exitCode != 2) {
      EXPECT_EQ(line.find('\n'), line.empty() ? std::string::npos : line.size() - 1);
    }
  }
  // The mix must have exercised every ending, or the vocabulary has gone stale.
  EXPECT_GT(exits[0], 0);
  EXPECT_GT(exits[1], 0);
  EXPECT_GT(exits[2], 0);
}

// Runs the program on one spelling of an input and returns the dump it wrote, which
// must be the only file in the dumps directory.
std::string DumpOf(const Installation& install, const std::wstring& spelling, const std::wstring& expectedDump) {
  RemoveFileIfPresent(expectedDump);
  const ProcessResult run = install.RunOn(spelling);
  EXPECT_EQ(run.exitCode, 0u) << run.standardError;
  EXPECT_EQ(ListNames(install.dumpsDirectory()), std::vector<std::wstring>{FileNameOf(expectedDump)});
  std::string dump = ReadWholeFile(expectedDump);
  RemoveFileIfPresent(expectedDump);
  return dump;
}

TEST(Stress, HostilePathsGiveCorrectDumpsUnderOneName) {
  Installation install;
  const std::wstring in = install.root() + L"\\in";
  std::wstring deep = in;
  while (deep.size() < 300) {
    deep += L"\\" + std::wstring(40, L'd');
    ASSERT_TRUE(CreateDirectoryW(ToLongPath(deep).c_str(), nullptr));
  }
  const std::wstring files[] = {
      in + L"\\" + std::wstring(250, L'n') + L".bin",
      in + L"\\d\u00E9j\u00E0 vu \u65E5\u672C \xD83D\xDE00.bin",
      deep + L"\\deep file.bin",
      deep + L"\\" + std::wstring(200, L'x'),
  };
  for (const auto& file : files) {
    SCOPED_TRACE(Utf8(file));
    ASSERT_TRUE(WriteWholeFile(file, "abc"));
    const std::wstring expectedDump = install.ExpectedDumpPath(install.appDirectory(), file);
    EXPECT_LT(expectedDump.size(), 240u);

    std::wstring forward = file;
    for (auto& c : forward) c = c == L'\\' ? L'/' : c;
    for (const std::wstring& spelling : {file, forward, L"\\\\?\\" + file}) {
      SCOPED_TRACE(Utf8(spelling));
      const std::string dump = DumpOf(install, spelling, expectedDump);
      EXPECT_NE(dump.find("File:      " + Utf8(file) + "\r\n"), std::string::npos) << dump.substr(0, 400);
      EXPECT_NE(dump.find("00000000     61 62 63"), std::string::npos) << dump.substr(0, 400);
    }
  }
}

TEST(Stress, ANameEndingInDotsIsReachedThroughTheLongForm) {
  Installation install;
  // Only the long form can name such a file; the ordinary form means "dots" without them.
  const std::wstring file = install.root() + L"\\in\\dots...";
  ASSERT_TRUE(WriteWholeFile(L"\\\\?\\" + file, "abc"));

  const std::wstring longForm = L"\\\\?\\" + file;
  const std::string dump = DumpOf(install, longForm, install.ExpectedDumpPath(install.appDirectory(), longForm));
  EXPECT_NE(dump.find("File:      " + Utf8(file) + "\r\n"), std::string::npos) << dump;
  EXPECT_NE(dump.find("00000000     61 62 63"), std::string::npos) << dump;

  const std::wstring plain = install.root() + L"\\in\\dots";
  const std::string missing = DumpOf(install, file, install.ExpectedDumpPath(install.appDirectory(), file));
  EXPECT_NE(missing.find("File:      " + Utf8(plain) + "\r\nError:     Cannot open file for reading (file not found)"),
            std::string::npos)
      << missing;
}

}  // namespace
}  // namespace hv::test
