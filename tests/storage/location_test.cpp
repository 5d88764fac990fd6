#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <string>
#include <thread>

#include "support/fault_guards.h"
#include "storage/location.h"
#include "storage/path.h"
#include "support/test_support.h"

namespace hv {
namespace {

using test::FileExists;
using test::ScratchDirectory;
using test::WriteWholeFile;

constexpr wchar_t kProbeFile[] = L".lumo-write-probe";

std::wstring PlatformTempDirectory() {
  wchar_t buffer[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  return std::wstring(buffer, length);
}

// A plug-in name of this test's own, so the shared LumoControlPlugins directory of the
// prefix is only ever touched below a name nobody else uses.
class PluginCandidate {
 public:
  PluginCandidate()
      : name_(L"hvtest-plugin-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount64())),
        path_(JoinPath(JoinPath(TempDirectory(), L"LumoControlPlugins"), name_)) {}
  ~PluginCandidate() {
    test::RemoveTree(path_);
    DeleteFileW(ToLongPath(path_).c_str());
  }
  PluginCandidate(const PluginCandidate&) = delete;
  PluginCandidate& operator=(const PluginCandidate&) = delete;

  const std::wstring& name() const { return name_; }
  const std::wstring& path() const { return path_; }

 private:
  std::wstring name_;
  std::wstring path_;
};

// Makes GetTempPathW fail for as long as it lives, by a TMP no temporary path can hold.
class TempPathUnavailable {
 public:
  TempPathUnavailable() {
    wchar_t buffer[32768];
    const DWORD length = GetEnvironmentVariableW(L"TMP", buffer, 32768);
    had_ = length > 0 && length < 32768;
    if (had_) saved_.assign(buffer, length);
    SetEnvironmentVariableW(L"TMP", (L"C:\\" + std::wstring(32000, L't')).c_str());
  }
  ~TempPathUnavailable() { SetEnvironmentVariableW(L"TMP", had_ ? saved_.c_str() : nullptr); }
  TempPathUnavailable(const TempPathUnavailable&) = delete;
  TempPathUnavailable& operator=(const TempPathUnavailable&) = delete;

 private:
  bool had_ = false;
  std::wstring saved_;
};

int64_t MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

TEST(TempDirectory, IsThePlatformsWithoutTrailingSeparator) {
  const std::wstring temp = TempDirectory();
  ASSERT_FALSE(temp.empty());
  EXPECT_NE(temp.back(), L'\\');
  EXPECT_EQ(temp + L"\\", PlatformTempDirectory());
  EXPECT_TRUE(IsDirectory(temp));
}

TEST(TempDirectory, IsEmptyWhenThePlatformHasNone) {
  TempPathUnavailable unavailable;
  EXPECT_EQ(TempDirectory(), L"");
}

TEST(CreateDirectories, CreatesEveryMissingLevel) {
  ScratchDirectory scratch;
  const struct {
    std::wstring argument;
    std::wstring created;
  } cases[] = {
      {scratch.Join(L"a\\b\\c"), scratch.Join(L"a\\b\\c")},
      {scratch.Join(L"a\\b\\c"), scratch.Join(L"a\\b\\c")},  // already there
      {NormalizeSeparators(scratch.Join(L"f/g")) + L"\\\\", scratch.Join(L"f\\g")},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(CreateDirectories(c.argument)) << test::Utf8(c.argument);
    EXPECT_TRUE(IsDirectory(c.created)) << test::Utf8(c.created);
  }
  std::wstring slashed = scratch.Join(L"s\\t");
  for (wchar_t& c : slashed) {
    if (c == L'\\') c = L'/';
  }
  EXPECT_TRUE(CreateDirectories(slashed));
  EXPECT_TRUE(IsDirectory(scratch.Join(L"s\\t")));
}

TEST(CreateDirectories, CreatesARelativePathBelowTheCurrentDirectory) {
  ScratchDirectory scratch;
  wchar_t saved[MAX_PATH + 1];
  const DWORD length = GetCurrentDirectoryW(MAX_PATH + 1, saved);
  ASSERT_GT(length, 0u);
  ASSERT_TRUE(SetCurrentDirectoryW(scratch.path().c_str()));
  const bool created = CreateDirectories(L"rel\\sub");
  SetCurrentDirectoryW(saved);
  EXPECT_TRUE(created);
  EXPECT_TRUE(IsDirectory(scratch.Join(L"rel\\sub")));
}

TEST(ProbeDirectoryWritable, CreatesTheDirectoryAndLeavesNoProbeBehind) {
  ScratchDirectory scratch;
  const std::wstring directory = scratch.Join(L"root\\dumps");
  std::wstring error;
  EXPECT_TRUE(ProbeDirectoryWritable(directory, &error));
  EXPECT_EQ(error, L"");
  EXPECT_TRUE(IsDirectory(directory));
  EXPECT_TRUE(test::ListNames(directory).empty());
  EXPECT_TRUE(ProbeDirectoryWritable(directory));
}

TEST(ProbeDirectoryWritable, OverwritesAndDeletesALeftoverProbeFile) {
  ScratchDirectory scratch;
  ASSERT_TRUE(WriteWholeFile(scratch.Join(kProbeFile), "left by a crashed run"));
  EXPECT_TRUE(ProbeDirectoryWritable(scratch.path()));
  EXPECT_FALSE(FileExists(scratch.Join(kProbeFile)));
}

TEST(ProbeDirectoryWritable, WordsARefusingAndAnUncreatableDirectory) {
  ScratchDirectory scratch;
  test::ImmutableDirectory locked(scratch.Join(L"locked"));
  ASSERT_TRUE(locked.ok());

  std::wstring error;
  EXPECT_FALSE(ProbeDirectoryWritable(locked.path(), &error));
  EXPECT_EQ(error, L"'" + locked.path() + L"' rejects writes (error 5)");

  const std::wstring below = JoinPath(locked.path(), L"dumps");
  error.clear();
  EXPECT_FALSE(ProbeDirectoryWritable(below, &error));
  EXPECT_EQ(error, L"'" + below + L"' cannot be created");
  EXPECT_FALSE(ProbeDirectoryWritable(below));

  // The first failure is the one kept.
  error = L"earlier failure";
  EXPECT_FALSE(ProbeDirectoryWritable(locked.path(), &error));
  EXPECT_EQ(error, L"earlier failure");
}

TEST(ProbeDirectoryWritable, WaitsOutAnotherInstanceProbingTheSameDirectory) {
  ScratchDirectory scratch;
  test::FileHolder holder(scratch.Join(kProbeFile), L"none");
  ASSERT_TRUE(holder.holding());
  // The other instance lets go well before the last attempt 100 ms on.
  std::thread release([&holder] {
    Sleep(25);
    holder.Release();
  });
  std::wstring error;
  const bool writable = ProbeDirectoryWritable(scratch.path(), &error);
  release.join();
  EXPECT_TRUE(writable);
  EXPECT_EQ(error, L"");
  EXPECT_FALSE(FileExists(scratch.Join(kProbeFile)));
}

TEST(ProbeDirectoryWritable, GivesUpOnAProbeFileHeldForLong) {
  ScratchDirectory scratch;
  test::FileHolder holder(scratch.Join(kProbeFile), L"none");
  ASSERT_TRUE(holder.holding());
  std::wstring error;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(ProbeDirectoryWritable(scratch.path(), &error));
  EXPECT_GE(MillisecondsSince(start), 90);  // three attempts, two pauses of 50 ms
  EXPECT_EQ(error, L"'" + scratch.path() + L"' rejects writes (error 32)");
}

TEST(ChooseWritableLocation, TakesAWritablePreferredDirectoryAsItsRoot) {
  ScratchDirectory scratch;
  PluginCandidate candidate;
  std::wstring preferred = scratch.Join(L"program\\");
  for (wchar_t& c : preferred) {
    if (c == L'\\') c = L'/';
  }
  const WritableLocation location = ChooseWritableLocation(preferred + L"/", candidate.name());
  EXPECT_EQ(location.directory, scratch.Join(L"program"));
  EXPECT_EQ(location.errors, L"");
  EXPECT_TRUE(IsDirectory(scratch.Join(L"program")));
  EXPECT_FALSE(IsDirectory(candidate.path()));  // the fallback was never probed
}

TEST(ChooseWritableLocation, FallsBackToTheTemporaryCandidate) {
  ScratchDirectory scratch;
  test::ImmutableDirectory locked(scratch.Join(L"program"));
  ASSERT_TRUE(locked.ok());
  {
    PluginCandidate candidate;
    const WritableLocation location = ChooseWritableLocation(locked.path(), candidate.name());
    EXPECT_EQ(location.directory, candidate.path());
    EXPECT_EQ(location.errors, L"'" + locked.path() + L"' rejects writes (error 5)");
    EXPECT_TRUE(IsDirectory(candidate.path()));
    EXPECT_TRUE(test::ListNames(candidate.path()).empty());
  }
  {
    PluginCandidate candidate;
    const WritableLocation location = ChooseWritableLocation(L"", candidate.name());
    EXPECT_EQ(location.directory, candidate.path());
    EXPECT_EQ(location.errors, L"");
  }
}

TEST(ChooseWritableLocation, JoinsTheFailuresOfBothCandidates) {
  ScratchDirectory scratch;
  test::ImmutableDirectory locked(scratch.Join(L"program"));
  ASSERT_TRUE(locked.ok());
  PluginCandidate candidate;
  ASSERT_TRUE(CreateDirectories(ParentDirectory(candidate.path())));
  ASSERT_TRUE(WriteWholeFile(candidate.path(), "a file where the directory belongs"));

  WritableLocation location = ChooseWritableLocation(locked.path(), candidate.name());
  EXPECT_EQ(location.directory, L"");
  EXPECT_EQ(location.errors,
            L"'" + locked.path() + L"' rejects writes (error 5); '" + candidate.path() + L"' cannot be created");

  location = ChooseWritableLocation(L"", candidate.name());
  EXPECT_EQ(location.directory, L"");
  EXPECT_EQ(location.errors, L"'" + candidate.path() + L"' cannot be created");
}

TEST(ChooseWritableLocation, NotesAMissingTemporaryDirectoryOnlyAfterAFailure) {
  ScratchDirectory scratch;
  test::ImmutableDirectory locked(scratch.Join(L"program"));
  ASSERT_TRUE(locked.ok());
  const std::wstring writable = scratch.Join(L"writable");
  TempPathUnavailable unavailable;

  WritableLocation location = ChooseWritableLocation(locked.path(), L"hex-viewer");
  EXPECT_EQ(location.directory, L"");
  EXPECT_EQ(location.errors,
            L"'" + locked.path() + L"' rejects writes (error 5); the system temporary directory is unavailable");

  location = ChooseWritableLocation(L"", L"hex-viewer");
  EXPECT_EQ(location.directory, L"");
  EXPECT_EQ(location.errors, L"");

  location = ChooseWritableLocation(writable, L"hex-viewer");
  EXPECT_EQ(location.directory, writable);
  EXPECT_EQ(location.errors, L"");
}

}  // namespace
}  // namespace hv
