#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <tuple>
#include <vector>

#include "storage/atomic_writer.h"
#include "storage/location.h"
#include "storage/naming.h"
#include "storage/path.h"
#include "storage/prune.h"
#include "support/test_support.h"
#include "text/encoding.h"
#include "text/system_error.h"

namespace hv {

using namespace test;
using Names = std::vector<std::wstring>;

bool MakeReadOnly(const std::wstring& path) { return SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY); }

TEST(PathStrings, FollowTheRulesAtTheirEdges) {
  using Operation = std::wstring (*)(const std::wstring&);
  const Operation joinX = [](const std::wstring& base) { return JoinPath(base, L"x"); };
  const Operation isRoot = [](const std::wstring& path) { return std::wstring(IsRootPath(path) ? L"root" : L"-"); };
  const std::tuple<Operation, std::wstring, std::wstring> cases[] = {
      {ToLongPath, L"C:\\a", L"\\\\?\\C:\\a"},
      {ToLongPath, L"C:\\d\\x", L"\\\\?\\C:\\d\\x"},
      {ToLongPath, L"\\\\srv\\sh\\f", L"\\\\?\\UNC\\srv\\sh\\f"},
      {ToLongPath, L"C:\\a.b\\...x", L"\\\\?\\C:\\a.b\\...x"},
      // The long form is taken literally: in it these would name nothing.
      {ToLongPath, L"C:\\a\\..\\b", L"C:\\a\\..\\b"},
      {ToLongPath, L"C:/a/b", L"C:/a/b"},
      {ToLongPath, L"C:rel", L"C:rel"},
      {StripLongPathPrefix, L"\\\\?\\UNC\\srv\\sh", L"\\\\srv\\sh"},
      {isRoot, L"\\\\srv\\share\\", L"root"},
      {isRoot, L"\\\\srv\\share\\x", L"-"},
      {StripTrailingSeparators, L"C:\\dir\\\\", L"C:\\dir"},
      {StripTrailingSeparators, L"C:\\", L"C:\\"},
      {joinX, L"C:\\d\\", L"C:\\d\\x"},
      {joinX, L"C:", L"C:\\x"},
      {ParentDirectory, L"C:\\b.exe", L"C:\\"},
      {ParentDirectory, L"b.exe", L""},
      {FileNameOf, L"C:\\a\\dir\\", L"dir"},
  };
  for (const auto& [operation, input, output] : cases) EXPECT_EQ(operation(input), output) << WideToUtf8(input);
}

TEST(InputFullPath, ResolvesOnlyWhatStillNamesTheTypedFile) {
  ScratchDirectory scratch;
  const std::wstring file = scratch.Join(L"in.bin"), lf = L"\\\\?\\";
  test::CurrentDirectory current(scratch.path());
  ASSERT_TRUE(current.changed());
  std::wstring slashed = file;
  std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
  const auto asTyped = [&](const std::wstring& leaf) { return std::pair(scratch.Join(leaf), lf + scratch.Join(leaf)); };
  const auto same = [](const std::wstring& path) { return std::pair(path, path); };
  // As typed; shown (and hashed) and opened.
  const std::tuple<std::wstring, std::pair<std::wstring, std::wstring>> cases[] = {
      {L"./sub/../in.bin", {file, lf + file}},
      {slashed, {file, lf + file}},
      {file + L"\\", {file, lf + file}},
      {lf + file, {file, lf + file}},
      {lf + scratch.Join(L"sub\\..\\in.bin"), {file, lf + file}},
      {L"\\\\?\\UNC\\srv\\share\\x", {L"\\\\srv\\share\\x", L"\\\\?\\UNC\\srv\\share\\x"}},
      // Resolving drops the dots or blanks that end a name, and makes a device of a device name:
      // only the long form names such a file.
      {file + L"..", {file, lf + file}},
      {lf + file + L"..", asTyped(L"in.bin..")},
      {lf + scratch.Join(L"dir \\in.bin"), asTyped(L"dir \\in.bin")},
      {lf + scratch.Join(L"a\\..\\b."), asTyped(L"a\\..\\b.")},
      {scratch.Join(L"nul.txt"), same(L"\\\\.\\nul")},
      {lf + scratch.Join(L"nul.txt"), asTyped(L"nul.txt")},
      // No drive or server: no ordinary form, and never made relative.
      {L"\\\\?\\Volume{1}\\a.bin", same(L"\\\\?\\Volume{1}\\a.bin")},
      {L"\\\\?\\GLOBALROOT\\Device\\a.bin", same(L"\\\\?\\GLOBALROOT\\Device\\a.bin")},
      {L"\\\\?\\f.", same(L"\\\\?\\f.")},
  };
  for (const auto& [typed, paths] : cases) {
    const InputPath resolved = ResolveInputPath(typed);
    EXPECT_EQ(std::pair(resolved.full, resolved.open), paths) << WideToUtf8(typed);
  }
}

TEST(AtomicFileWriter, ReplacesOnlyWhatItMay) {
  ScratchDirectory scratch;
  const std::wstring target = scratch.Join(L"out.hextxt"), temporary = scratch.Join(L"out.tmp");
  ASSERT_TRUE(WriteWholeFile(temporary, "someone else's"));
  DumpResult result = WriteFileAtomically(temporary, target, "new");
  EXPECT_EQ(result.error, L"cannot create temporary file '" + temporary + L"': " + SystemErrorText(ERROR_FILE_EXISTS));
  EXPECT_TRUE(ReadWholeFile(temporary) == "someone else's" && DeleteFileW(temporary.c_str()));

  ASSERT_TRUE(WriteWholeFile(target, "previous") && MakeReadOnly(target));
  EXPECT_TRUE(WriteFileAtomically(temporary, target, "new").success);
  EXPECT_EQ(ReadWholeFile(target), "new");
  EXPECT_EQ(test::ListNames(scratch.path()), Names{L"out.hextxt"});

  // Three attempts 50 ms apart, then the temporary goes and the target stays as it was.
  test::FileHolder holder(target, L"readwrite");
  ASSERT_TRUE(holder.holding());
  const auto start = std::chrono::steady_clock::now();
  result = WriteFileAtomically(temporary, target, "newer");
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(90));
  EXPECT_TRUE(!result.success && result.error.starts_with(L"MoveFileExW failed: ")) << WideToUtf8(result.error);
  holder.Release();
  EXPECT_EQ(ReadWholeFile(target), "new");
  EXPECT_EQ(test::ListNames(scratch.path()), Names{L"out.hextxt"});
}

TEST(RemoveFileIfPresent, RemovesOrFindsNothingExceptForADirectory) {
  ScratchDirectory scratch;
  const std::wstring readOnly = scratch.Join(L"ro.hextxt"), directory = scratch.Join(L"dir.hextxt");
  ASSERT_TRUE(WriteWholeFile(readOnly, "dump") && MakeReadOnly(readOnly));
  ASSERT_TRUE(CreateDirectoryW(directory.c_str(), nullptr));
  uint32_t code = 0;
  EXPECT_TRUE(RemoveFileIfPresent(scratch.Join(L"missing.hextxt"), &code));
  EXPECT_TRUE(RemoveFileIfPresent(readOnly, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(!RemoveFileIfPresent(directory, &code) && code == 5u);
  // A reader that shares everything still holds it: the path is free for a new file at once.
  const std::wstring held = scratch.Join(L"held.hextxt");
  ASSERT_TRUE(WriteWholeFile(held, "dump"));
  test::FileHolder reader(held, L"all");
  ASSERT_TRUE(reader.holding());
  EXPECT_TRUE(RemoveFileIfPresent(held, &code));
  EXPECT_TRUE(WriteWholeFile(held, "new"));
  reader.Release();
  EXPECT_EQ(ReadWholeFile(held), "new");
  // Aside names of an earlier process with this id stand in the way: the next free one is taken.
  const std::wstring stem = held + L"." + std::to_wstring(GetCurrentProcessId()) + L"_";
  const uint64_t now = GetTickCount64();
  for (uint64_t tick = now; tick < now + 3000; ++tick) {
    if (tick % 16 == 15) continue;  // one free name in every sixteen
    ASSERT_TRUE(WriteWholeFile(stem + std::to_wstring(static_cast<uint32_t>(tick)) + L".removed.tmp", ""));
  }
  test::FileHolder again(held, L"all");
  ASSERT_TRUE(again.holding() && GetTickCount64() < now + 2900) << "too slow to place the names in time";
  EXPECT_TRUE(RemoveFileIfPresent(held, &code));
  EXPECT_TRUE(WriteWholeFile(held, "newer"));
  again.Release();
  EXPECT_EQ(ReadWholeFile(held), "newer");
  for (const std::wstring& name : test::ListNames(scratch.path())) {
    if (name != L"dir.hextxt") DeleteFileW(scratch.Join(name).c_str());
  }
  EXPECT_EQ(test::ListNames(scratch.path()), Names{L"dir.hextxt"});
}

// Another instance probing at once holds the probe file: only a short hold is waited out.
TEST(ProbeDirectoryWritable, WaitsOutOnlyAShortHoldOfTheProbeFile) {
  ScratchDirectory scratch;
  for (const uint32_t holdMs : {25u, 60000u}) {
    test::FileHolder holder(scratch.Join(L".lumo-write-probe"), L"none", holdMs);
    ASSERT_TRUE(holder.holding());
    std::wstring error;
    EXPECT_EQ(ProbeDirectoryWritable(scratch.path(), &error), holdMs < 100) << holdMs;
    EXPECT_EQ(error, holdMs < 100 ? L"" : L"'" + scratch.path() + L"' rejects writes (error 32)");
  }
}

// Error 5 is also the answer of a directory that takes no new files: waited out only while
// the probe file of another run, pending deletion, is listed.
TEST(ProbeDirectoryWritable, WaitsOutAccessDeniedOnlyWhileTheProbeFileIsListed) {
  const std::tuple<uint32_t, bool, bool> cases[] = {{32, false, true}, {32, true, true}, {5, true, true},
                                                    {5, false, false}, {2, true, false}, {3, false, false}};
  for (const auto& [code, listed, wait] : cases) EXPECT_EQ(IsProbeHeldByAnotherRun(code, listed), wait) << code;
}

// A drive path of exactly `length` units made of ordinary components.
std::wstring RootOfLength(size_t length) {
  std::wstring root = L"C:\\deep";
  while (root.size() + 41 <= length) root += L"\\" + std::wstring(40, L'd');
  return root + L"\\" + std::wstring(length - root.size() - 1, L'e');
}

TEST(Naming, HashesShortensCleansAndKeepsPathsBelow240Units) {
  EXPECT_EQ(PathHash(L""), 0xcbf29ce484222325ull);
  EXPECT_EQ(Fnv1aHash(L"abc"), 0xe71fa2190541574bull);  // one step per unit, not per byte
  EXPECT_EQ(Fnv1aHash(L"\u20AC"), 0xaf44214c85cc01cbull);
  for (const wchar_t* spelling : {L"C:\\Data\\report.pdf", L"C:/Data/report.pdf", L"\\\\?\\C:\\Data\\report.pdf"}) {
    EXPECT_EQ(DumpFileName(spelling, 64), L"77d531e4aecefe4a - report.pdf.hextxt") << WideToUtf8(spelling);
  }
  EXPECT_EQ(DumpFileName(L"C:\\", 64), L"0ca03d19ab36a96c - .hextxt");
  std::wstring hundred;
  for (int i = 0; i < 100; ++i) hundred.push_back(static_cast<wchar_t>(L'a' + i % 26));
  std::wstring head = hundred, tail = hundred;
  head.replace(29, 2, L"\xD83D\xDE00");  // a pair across a cut is never split
  tail.replace(68, 2, L"\xD83D\xDE00");
  const std::tuple<std::wstring, unsigned, std::wstring> shortened[] = {
      {hundred, 64, hundred.substr(0, 30) + L"..." + hundred.substr(69)},
      {hundred, 32, hundred.substr(0, 14) + L"..." + hundred.substr(85)},
      {hundred.substr(0, 65), 64, hundred.substr(0, 30) + L"..." + hundred.substr(34, 31)},
      {head, 64, head.substr(0, 29) + L"..." + head.substr(69)},
      {tail, 64, tail.substr(0, 30) + L"..." + tail.substr(70)},
      {L"abcdef", 4, L"...f"},
      {L"abcd", 4, L"abcd"},
      {L"a\xD83D\xDE00", 2, L"a"},
      {L"abc", 0, L""},
  };
  for (const auto& [name, limit, result] : shortened) EXPECT_EQ(ShortenFileName(name, limit), result) << limit;
  EXPECT_EQ(SanitizeFileName(L"a:b?c*d|e\"f<g>h/i\\j\x01\x1F .txt\xD83D\xDE00\xDC00\xDFFFx\xD800"),
            L"a_b_c_d_e_f_g_h_i_j__ .txt\xD83D\xDE00__x_");
  EXPECT_EQ(TemporaryDumpPath(L"C:\\d\\x.hextxt", 4321, 4294967295u), L"C:\\d\\x.hextxt.4321_4294967295.tmp");

  // First the limit-64 name, then the limit-32 name, then that under the temporary candidate.
  const std::wstring input = L"C:\\in\\" + hundred, temp = L"C:\\users\\root\\Temp\\LumoControlPlugins\\hv";
  const std::wstring long64 = L"731a86a8bf71ae79 - " + hundred.substr(0, 30) + L"..." + hundred.substr(69) + L".hextxt";
  const std::wstring short32 =
      L"731a86a8bf71ae79 - " + hundred.substr(0, 14) + L"..." + hundred.substr(85) + L".hextxt";
  const std::pair<std::wstring, std::wstring> cases[] = {
      {RootOfLength(142), RootOfLength(142) + L"\\dumps\\" + long64},  // 142 + 7 + 90 = 239
      {RootOfLength(143), RootOfLength(143) + L"\\dumps\\" + short32},
      {RootOfLength(174), RootOfLength(174) + L"\\dumps\\" + short32},  // 174 + 7 + 58 = 239
      {RootOfLength(175), temp + L"\\dumps\\" + short32},
  };
  for (const auto& [root, path] : cases) {
    const DumpTarget target = BuildDumpPath(root, temp, input);
    EXPECT_TRUE(target.ok && target.dumpPath == path &&
                target.dumpDirectory + L"\\" == path.substr(0, path.rfind(L'\\') + 1))
        << root.size();
  }
  EXPECT_FALSE(BuildDumpPath(RootOfLength(175), RootOfLength(200), input).ok);
  EXPECT_FALSE(BuildDumpPath(RootOfLength(175), RootOfLength(175), input).ok);
  EXPECT_FALSE(BuildDumpPath(L"", temp, input).ok);
}

TEST(PruneOldDumps, DeletesOnlyOldDumpAndTemporaryFiles) {
  ScratchDirectory scratch;
  ASSERT_EQ(test::RunUnixShell("cd '" + test::UnixPathOf(scratch.path()) +
                               "' && mkdir dir.tmp && touch -d '6 days ago' young.hextxt && touch -d '8 days ago' "
                               "dir.tmp old.hextxt ro.hextxt MIXED.HexTxt old.hextxt.1_2.tmp notes.txt"),
            0);
  ASSERT_TRUE(MakeReadOnly(scratch.Join(L"ro.hextxt")));
  PruneOldDumps(scratch.path());
  Names names = test::ListNames(scratch.path());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (Names{L"dir.tmp", L"notes.txt", L"young.hextxt"}));
  std::vector<DirectoryEntry> listing;
  std::wstring error;
  EXPECT_FALSE(ListDirectory(scratch.Join(L"missing"), listing, &error));
  EXPECT_TRUE(error.starts_with(L"cannot enumerate '" + scratch.Join(L"missing") + L"': ") && error.ends_with(L" (3)"))
      << WideToUtf8(error);
}

}  // namespace hv
