// The dump path when others hold or take it, and the one dump every spelling of an input names.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "dump/reference.h"
#include "installation.h"

namespace hv::test {
namespace {

const std::string kFooter = Footer("[End of File: Fully displayed] (Total: 3 bytes)");

std::string FileLine(const std::string& dump) {
  const size_t start = dump.find("File:      ");
  return start == std::string::npos ? "" : dump.substr(start, dump.find("\r\n", start) - start);
}

// Another program creates the dump path the moment the previous dump is gone and holds it
// with no sharing: neither the new dump nor the one-line report can be placed there.
TEST(DumpPath, TakenByAnotherProgramFailsTheRunWithTheGenerationError) {
  Installation install;
  const std::wstring input = install.Input(L"huge.bin", std::string(24 << 20, 'h')), previous = install.DumpOf(input);
  ASSERT_TRUE(WriteWholeFile(previous, "previous"));
  std::atomic<bool> done = false;
  UniqueFile taken;
  std::thread taker([&] {
    while (!done && !(taken = OpenShared(previous, 0, CREATE_NEW))) Sleep(1);
  });
  const ProcessResult run = install.RunOn(input, {L"--max-kb=24576", L"--wait-timeout=600000"});
  done = true;
  taker.join();
  EXPECT_TRUE(taken) << "the path was never free for the other program";
  EXPECT_EQ(run.exitCode, 1u);
  // The waiting viewer shares the standard error and may have its say too.
  EXPECT_NE(run.standardError.find("Lumo Hex View Error: Cannot write the hex dump file: MoveFileExW failed: "),
            std::string::npos)
      << run.standardError;
  taken.reset();
  EXPECT_EQ(ReadWholeFile(previous), "") << "the other program's file stays as it made it";
  EXPECT_EQ(ListNames(install.dumps()), OnlyFile(previous)) << "no temporary is left";
}

TEST(DumpPath, EverySpellingOfAnInputNamesOneDumpAndOneFileLine) {
  Installation install;
  const std::wstring input = install.Input(L"f.bin", "abc");
  CreateDirectoryW(install.Dir(L"in\\sub").c_str(), nullptr);
  CurrentDirectory current(install.Dir(L"in"));
  ASSERT_TRUE(current.changed());
  std::wstring slashed = input;
  std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
  for (const std::wstring& spelling : {input, slashed, std::wstring(L"sub\\..\\f.bin"), L"\\\\?\\" + input,
                                       L"\\\\?\\" + install.Dir(L"in\\sub\\..\\f.bin")}) {
    ASSERT_EQ(install.RunOn(spelling).exitCode, 0u) << Utf8(spelling);
    // Only dumps count: an earlier viewer may still hold its dump aside.
    std::vector<std::wstring> dumps = ListNames(install.dumps());
    std::erase_if(dumps, [](const std::wstring& name) { return !name.ends_with(L".hextxt"); });
    ASSERT_EQ(dumps, std::vector<std::wstring>{FileNameOf(install.DumpOf(input))}) << Utf8(spelling);
    const std::string dump = ReadWholeFile(install.DumpOf(input));
    EXPECT_EQ(FileLine(dump), "File:      " + Utf8(input)) << Utf8(spelling);
    EXPECT_TRUE(dump.ends_with(kFooter)) << Utf8(spelling);
  }
  // A name that ends in dots can only be given in the long form; it names that very file.
  const std::wstring dotted = install.Dir(L"in\\g.bin..");
  ASSERT_TRUE(WriteWholeFile(L"\\\\?\\" + dotted, "xyz"));
  ASSERT_EQ(install.RunOn(L"\\\\?\\" + dotted).exitCode, 0u);
  const std::string dump = ReadWholeFile(install.DumpOf(dotted));
  EXPECT_EQ(FileLine(dump), "File:      " + Utf8(dotted));
  EXPECT_NE(dump.find("|xyz             |"), std::string::npos) << dump;
}

}  // namespace
}  // namespace hv::test
