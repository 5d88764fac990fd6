#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <string>

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

TEST(TempDirectory, IsThePlatformsWithoutTrailingSeparator) {
  wchar_t platform[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, platform);
  EXPECT_EQ(TempDirectory() + L"\\", std::wstring(platform, length));
}

TEST(CreateDirectories, CreatesEveryMissingLevel) {
  ScratchDirectory scratch;
  const test::CurrentDirectory inScratch(scratch.path());
  ASSERT_TRUE(inScratch.changed());
  std::wstring slashed = scratch.Join(L"s\\t");
  std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
  const struct {
    std::wstring argument;
    std::wstring created;
  } cases[] = {
      {scratch.Join(L"a\\b\\c"), scratch.Join(L"a\\b\\c")},
      {scratch.Join(L"a\\b\\c"), scratch.Join(L"a\\b\\c")},  // already there
      {scratch.Join(L"f\\g") + L"\\\\", scratch.Join(L"f\\g")},
      {slashed, scratch.Join(L"s\\t")},
      {L"rel\\sub", scratch.Join(L"rel\\sub")},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(CreateDirectories(c.argument)) << test::Utf8(c.argument);
    EXPECT_TRUE(IsDirectory(c.created)) << test::Utf8(c.created);
  }
}

TEST(ProbeDirectoryWritable, OverwritesAndDeletesALeftoverProbeFile) {
  ScratchDirectory scratch;
  ASSERT_TRUE(WriteWholeFile(scratch.Join(kProbeFile), "left by a crashed run"));
  std::wstring error;
  EXPECT_TRUE(ProbeDirectoryWritable(scratch.path(), &error));
  EXPECT_EQ(error, L"");
  EXPECT_TRUE(test::ListNames(scratch.path()).empty());
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

  // The first failure is the one kept.
  EXPECT_FALSE(ProbeDirectoryWritable(locked.path(), &error));
  EXPECT_EQ(error, L"'" + below + L"' cannot be created");
}

// Another instance probing the same directory holds the probe file without sharing: the
// probe tries three times, 50 ms apart, so a hold of 25 ms is waited out and a long one is not.
TEST(ProbeDirectoryWritable, WaitsOutAShortHoldOfTheProbeFileOnly) {
  for (const uint32_t holdMs : {25u, 60000u}) {
    SCOPED_TRACE(holdMs);
    ScratchDirectory scratch;
    test::FileHolder holder(scratch.Join(kProbeFile), L"none", holdMs);
    ASSERT_TRUE(holder.holding());
    std::wstring error;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ProbeDirectoryWritable(scratch.path(), &error), holdMs < 100);
    if (holdMs < 100) {
      EXPECT_EQ(error, L"");
      EXPECT_FALSE(FileExists(scratch.Join(kProbeFile)));
    } else {
      EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(90));
      EXPECT_EQ(error, L"'" + scratch.path() + L"' rejects writes (error 32)");
    }
  }
}

TEST(ChooseWritableLocation, TakesThePreferredDirectoryOrFallsBack) {
  ScratchDirectory scratch;
  test::ImmutableDirectory locked(scratch.Join(L"locked"));
  ASSERT_TRUE(locked.ok());
  PluginCandidate candidate;
  std::wstring writable = scratch.Join(L"program\\") + L"\\";
  std::replace(writable.begin(), writable.end(), L'\\', L'/');
  const struct {
    std::wstring preferred, directory, errors;
  } cases[] = {
      {writable, scratch.Join(L"program"), L""},
      {locked.path(), candidate.path(), L"'" + locked.path() + L"' rejects writes (error 5)"},
      {L"", candidate.path(), L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(test::Utf8(c.preferred));
    const WritableLocation location = ChooseWritableLocation(c.preferred, candidate.name());
    EXPECT_EQ(location.directory, c.directory);
    EXPECT_EQ(location.errors, c.errors);
    // The fallback is probed only when needed, and no probe file stays behind.
    EXPECT_EQ(IsDirectory(candidate.path()), c.directory == candidate.path());
    EXPECT_TRUE(test::ListNames(c.directory).empty());
  }
}

TEST(ChooseWritableLocation, JoinsTheFailuresOfBothCandidates) {
  ScratchDirectory scratch;
  test::ImmutableDirectory locked(scratch.Join(L"program"));
  ASSERT_TRUE(locked.ok());
  const std::wstring refused = L"'" + locked.path() + L"' rejects writes (error 5)";
  PluginCandidate candidate;
  ASSERT_TRUE(CreateDirectories(ParentDirectory(candidate.path())));
  ASSERT_TRUE(WriteWholeFile(candidate.path(), "a file where the directory belongs"));

  WritableLocation location = ChooseWritableLocation(locked.path(), candidate.name());
  EXPECT_EQ(location.directory, L"");
  EXPECT_EQ(location.errors, refused + L"; '" + candidate.path() + L"' cannot be created");

  // Without a temporary directory there is no second candidate to try.
  TempPathUnavailable unavailable;
  EXPECT_EQ(TempDirectory(), L"");
  location = ChooseWritableLocation(locked.path(), L"hex-viewer");
  EXPECT_EQ(location.directory, L"");
  EXPECT_EQ(location.errors, refused + L"; the system temporary directory is unavailable");
  location = ChooseWritableLocation(L"", L"hex-viewer");
  EXPECT_EQ(location.errors, L"");
}

}  // namespace
}  // namespace hv
