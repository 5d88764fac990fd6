#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "storage/atomic_writer.h"
#include "storage/location.h"
#include "storage/naming.h"
#include "storage/path.h"
#include "storage/prune.h"
#include "storage/retry.h"
#include "support/test_support.h"
#include "text/encoding.h"

namespace hv {

using namespace test;
using Names = std::vector<std::wstring>;
using Pauses = std::vector<uint32_t>;

bool MakeReadOnly(const std::wstring& path) { return SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY); }

// The storage clock in a test's hands: pauses recorded, the first letting go of a held file.
namespace {
Pauses g_pauses;
UniqueFile g_releasedAtFirstPause;
}  // namespace
struct DrivenClock {
  const StorageClock saved = std::exchange(CurrentStorageClock(), {[]() -> uint64_t { return 0; },
                                                                   [](uint32_t ms) {
                                                                     g_pauses.push_back(ms);
                                                                     g_releasedAtFirstPause.reset();
                                                                   }});
  DrivenClock() { g_pauses.clear(); }
  ~DrivenClock() { CurrentStorageClock() = saved; }
};

TEST(PathStrings, FollowTheRulesAtTheirEdges) {
  using Operation = std::wstring (*)(const std::wstring&);
  const Operation joinX = [](const std::wstring& base) { return JoinPath(base, L"x"); };
  const Operation isRoot = [](const std::wstring& path) { return std::wstring(IsRootPath(path) ? L"root" : L"-"); };
  const std::tuple<Operation, std::wstring, std::wstring> cases[] = {
      {ToLongPath, L"C:\\d\\x", L"\\\\?\\C:\\d\\x"},  // a one-letter first component too
      {ToLongPath, L"\\\\srv\\sh\\f", L"\\\\?\\UNC\\srv\\sh\\f"},
      {ToLongPath, L"C:\\a.b\\...x\\", L"\\\\?\\C:\\a.b\\...x\\"},
      // The long form is taken literally: in it these would name nothing.
      {ToLongPath, L"C:\\a\\..\\b", L"C:\\a\\..\\b"},
      {ToLongPath, L"C:/a/b", L"C:/a/b"},
      {ToLongPath, L"C:rel", L"C:rel"},
      {isRoot, L"C:", L"root"},
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
  const std::wstring here = std::filesystem::current_path().wstring();  // where a relative input starts
  const std::wstring slashed = std::filesystem::path(file).generic_wstring();
  const auto asTyped = [&](const std::wstring& leaf) { return std::pair(scratch.Join(leaf), lf + scratch.Join(leaf)); };
  const auto same = [](const std::wstring& path) { return std::pair(path, path); };
  ASSERT_TRUE(WriteWholeFile(scratch.Join(L"nul.txt"), "") && WriteWholeFile(scratch.Join(L"aux.c"), ""));
  // As typed; shown (and hashed) and opened.
  const std::tuple<std::wstring, std::pair<std::wstring, std::wstring>> cases[] = {
      {L"./sub/../in.bin", {here + L"\\in.bin", lf + here + L"\\in.bin"}},
      {slashed, {file, lf + file}},
      {file + L"\\", {file, lf + file}},
      {lf + file, {file, lf + file}},
      {lf + scratch.Join(L"sub\\..\\in.bin"), {file, lf + file}},
      {L"\\\\?\\UNC\\srv\\share\\x", {L"\\\\srv\\share\\x", L"\\\\?\\UNC\\srv\\share\\x"}},
      // Resolving drops a name's ending dots or blanks and makes a device of a device name.
      {file + L"..", {file, lf + file}},
      {lf + file + L"..", asTyped(L"in.bin..")},
      {lf + scratch.Join(L"dir \\in.bin"), asTyped(L"dir \\in.bin")},
      // A device name in a folder is the file of that name there, trimmed as the platform trims it, else the device.
      {scratch.Join(L"nul.txt"), asTyped(L"nul.txt")},
      {scratch.Join(L"sub\\..\\aux.c. "), asTyped(L"aux.c")},
      {scratch.Join(L"com1"), same(L"\\\\.\\com1")},
      {lf + scratch.Join(L"nul.txt"), asTyped(L"nul.txt")},
      // No drive or server: no ordinary form, and never made relative.
      {L"\\\\?\\Volume{1}\\a.bin", same(L"\\\\?\\Volume{1}\\a.bin")},
      {L"\\\\?\\f.", same(L"\\\\?\\f.")},
  };
  for (const auto& [typed, paths] : cases) {
    const InputPath resolved = ResolveInputPath(typed);
    EXPECT_EQ(std::pair(resolved.full, resolved.open), paths) << WideToUtf8(typed);
  }
}

TEST(AtomicFileWriter, ReplacesOnlyWhatItMay) {
  ScratchDirectory scratch;
  const DrivenClock clock;
  const std::wstring target = scratch.Join(L"out.hextxt"), temporary = scratch.Join(L"out.tmp");
  ASSERT_TRUE(WriteWholeFile(temporary, "someone else's"));
  DumpResult result = WriteFileAtomically(temporary, target, "new");
  EXPECT_EQ(result.error, L"cannot create temporary file '" + temporary + L"': File exists. (80)");
  EXPECT_EQ(ReadWholeFile(temporary), "someone else's");
  DeleteFileW(temporary.c_str());

  ASSERT_TRUE(WriteWholeFile(target, "previous") && MakeReadOnly(target));
  EXPECT_TRUE(WriteFileAtomically(temporary, target, "new").success);
  EXPECT_EQ(ReadWholeFile(target), "new");

  // Held without delete sharing: three attempts 50 ms apart, then the temporary goes and the target stays.
  UniqueFile holder = OpenShared(target, FILE_SHARE_READ | FILE_SHARE_WRITE);
  ASSERT_TRUE(holder);
  result = WriteFileAtomically(temporary, target, "newer");
  EXPECT_EQ(result.error, L"MoveFileExW failed: Access denied. (5)");
  EXPECT_EQ(g_pauses, (Pauses{50, 50}));
  holder.reset();
  EXPECT_EQ(ReadWholeFile(target), "new");
  EXPECT_EQ(ListNames(scratch.path()), Names{L"out.hextxt"});
  std::string head, tail;  // a file of up to twice the count is read whole, a longer one by its two ends
  const auto ends = [&](size_t count) { return ReadFileEnds(target, count, head, tail) ? head + "|" + tail : "-"; };
  EXPECT_EQ(ends(2), "new|new");
  ASSERT_TRUE(WriteWholeFile(target, "0123456789"));
  EXPECT_EQ(ends(4), "0123|6789");
}

TEST(RemoveFileIfPresent, RemovesOrFindsNothingExceptForADirectory) {
  ScratchDirectory scratch;
  const std::wstring readOnly = scratch.Join(L"ro.hextxt"), directory = scratch.Join(L"dir.hextxt");
  ASSERT_TRUE(WriteWholeFile(readOnly, "dump") && MakeReadOnly(readOnly));
  ASSERT_TRUE(CreateDirectoryW(directory.c_str(), nullptr));
  const auto remove = [](const std::wstring& path) {
    uint32_t code = 0;
    const bool removed = RemoveFileIfPresent(path, &code);
    return std::to_string(removed) + " " + std::to_string(code);
  };
  EXPECT_EQ(remove(scratch.Join(L"missing.hextxt")) + ", " + remove(readOnly) + ", " + remove(directory),
            "1 0, 1 0, 0 5");
  EXPECT_EQ(ListNames(scratch.path()), Names{L"dir.hextxt"}) << "the read-only file is gone, nothing left aside";
}

// Only another run's probe file is waited out (held: 32); a directory or a probe file that refuses writes is not.
TEST(ProbeDirectoryWritable, WaitsOutOnlyAnotherRunsProbeFile) {
  ScratchDirectory scratch;
  for (const bool briefly : {true, false}) {
    const DrivenClock clock;
    UniqueFile holder = OpenShared(scratch.Join(L".lumo-write-probe"), 0);
    ASSERT_TRUE(holder);
    if (briefly) g_releasedAtFirstPause = std::move(holder);
    std::wstring error;
    const bool writable = ProbeDirectoryWritable(scratch.path(), &error);
    EXPECT_EQ(std::tuple(writable, error, g_pauses),
              std::tuple(briefly, briefly ? L"" : L"'" + scratch.path() + L"' rejects writes (error 32)",
                         briefly ? Pauses{50} : Pauses(19, 50)));
  }
  const std::wstring locked = scratch.Join(L"locked");
  for (const std::string probe : {"", "/.lumo-write-probe"}) {
    const DrivenClock clock;
    const UnixFault fault(locked,
                          "mkdir -p \"$1\" && touch \"$1" + probe + "\" && chattr +i \"$1" + probe + "\" \"$1\"",
                          "chattr -i \"$1\" \"$1" + probe + "\"");
    std::wstring error;
    EXPECT_FALSE(ProbeDirectoryWritable(locked, &error));
    EXPECT_EQ(error + L" after " + std::to_wstring(g_pauses.size()),
              L"'" + locked + L"' rejects writes (error 5) after 0");
  }
}

TEST(Naming, HashesShortensCleansAndKeepsPathsBelow240Units) {
  // A hash of the full path given, a step per UTF-16 unit (not per byte), then the input's own name.
  const auto named = [](const std::wstring& input, const std::wstring& full) {
    return BuildDumpPath(L"C:\\r", L"", input, full).dumpPath.substr(11);  // the name, after the dumps directory
  };
  const std::pair<std::wstring, std::wstring> hashed[] = {
      {L"", L"cbf29ce484222325 - .hextxt"},
      {L"\u20AC", L"af44214c85cc01cb - \u20AC.hextxt"},
      {L"C:\\Data\\report.pdf", L"77d531e4aecefe4a - report.pdf.hextxt"},
      {L"C:\\", L"0ca03d19ab36a96c - .hextxt"}};
  for (const auto& [path, name] : hashed) EXPECT_EQ(named(path, path), name);
  std::wstring hundred;
  for (int i = 0; i < 100; ++i) hundred.push_back(static_cast<wchar_t>(L'a' + i % 26));
  std::wstring head = hundred, tail = hundred;
  head.replace(29, 2, L"\xD83D\xDE00");  // a pair across a cut is never split
  tail.replace(68, 2, L"\xD83D\xDE00");
  const std::pair<std::wstring, std::wstring> stems[] = {
      {hundred, hundred.substr(0, 30) + L"..." + hundred.substr(69)},
      {hundred.substr(0, 65), hundred.substr(0, 30) + L"..." + hundred.substr(34, 31)},
      {head, head.substr(0, 29) + L"..." + head.substr(69)},
      {tail, tail.substr(0, 30) + L"..." + tail.substr(70)},
      {L"a:b?c*d|e\"f<g>h\x01\x1F .txt\xD83D\xDE00\xDC00\xDFFFx\xD800", L"a_b_c_d_e_f_g_h__ .txt\xD83D\xDE00__x_"},
  };
  for (const auto& [name, stem] : stems)
    EXPECT_EQ(named(L"C:\\in\\" + name, L""), L"cbf29ce484222325 - " + stem + L".hextxt");
  EXPECT_EQ(TemporaryDumpPath(L"C:\\d\\x.hextxt", 4321, 4294967295u), L"C:\\d\\x.hextxt.4321_4294967295.tmp");

  // First the limit-64 name, then the limit-32 name, then that under the temporary candidate.
  const auto rootOfLength = [](size_t length) { return L"C:\\" + std::wstring(length - 3, L'd'); };
  const std::wstring input = L"C:\\in\\" + hundred, temp = L"C:\\users\\root\\Temp\\LumoControlPlugins\\hv";
  const std::wstring long64 = L"731a86a8bf71ae79 - " + hundred.substr(0, 30) + L"..." + hundred.substr(69) + L".hextxt";
  const std::wstring short32 =
      L"731a86a8bf71ae79 - " + hundred.substr(0, 14) + L"..." + hundred.substr(85) + L".hextxt";
  const std::pair<std::wstring, std::wstring> cases[] = {
      {rootOfLength(142), rootOfLength(142) + L"\\dumps\\" + long64},  // 142 + 7 + 90 = 239
      {rootOfLength(143), rootOfLength(143) + L"\\dumps\\" + short32},
      {rootOfLength(174), rootOfLength(174) + L"\\dumps\\" + short32},  // 174 + 7 + 58 = 239
      {rootOfLength(175), temp + L"\\dumps\\" + short32},
  };
  for (const auto& [root, path] : cases) {
    const DumpTarget target = BuildDumpPath(root, temp, input, input);
    EXPECT_EQ(std::tuple(target.ok, target.dumpDirectory, target.dumpPath),
              std::tuple(true, path.substr(0, path.rfind(L'\\')), path))
        << root.size();
  }
  EXPECT_FALSE(BuildDumpPath(rootOfLength(175), rootOfLength(175), input, input).ok);
  EXPECT_FALSE(BuildDumpPath(L"", temp, input, input).ok);
}

TEST(PruneOldDumps, DeletesOnlyOldDumpAndTemporaryFiles) {
  ScratchDirectory scratch;
  ASSERT_EQ(test::RunUnixShell("cd '" + test::UnixPathOf(scratch.path()) +
                               "' && mkdir dir.tmp && touch -d '6 days ago' young.hextxt && touch -d '8 days ago' "
                               "dir.tmp old.hextxt ro.hextxt MIXED.HexTxt old.hextxt.1_2.tmp notes.txt"),
            0);
  ASSERT_TRUE(MakeReadOnly(scratch.Join(L"ro.hextxt")));
  PruneOldDumps(scratch.path());
  EXPECT_EQ(ListNames(scratch.path()), (Names{L"dir.tmp", L"notes.txt", L"young.hextxt"}));
  std::vector<DirectoryEntry> listing;  // what a pass sees there: neither . nor ..
  EXPECT_TRUE(ListDirectory(scratch.path(), listing) && listing.size() == 3);
}

}  // namespace hv
