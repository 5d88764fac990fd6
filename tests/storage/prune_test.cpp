#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "storage/path.h"
#include "storage/prune.h"
#include "support/test_support.h"
#include "text/system_error.h"

namespace hv {
namespace {

using test::ScratchDirectory;

constexpr uint64_t kDay = 864000000000ull;  // in 100-ns units

FILETIME DaysAgo(double days) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const uint64_t value = ((static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime) -
                         static_cast<uint64_t>(days * static_cast<double>(kDay));
  return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

// Dates the item's last write; directories need backup semantics to be opened at all.
bool Age(const std::wstring& path, double days) {
  const HANDLE handle = CreateFileW(ToLongPath(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const FILETIME when = DaysAgo(days);
  const bool ok = SetFileTime(handle, nullptr, nullptr, &when) != FALSE;
  CloseHandle(handle);
  return ok;
}

bool MakeFile(const std::wstring& path, double days) { return test::WriteWholeFile(path, "dump") && Age(path, days); }

TEST(PruneOldDumps, DeletesOnlyOldDumpAndTemporaryFiles) {
  ScratchDirectory scratch;
  const struct {
    const wchar_t* name;
    double days;
    bool kept;
  } files[] = {
      {L"old.hextxt", 8, false},
      {L"young.hextxt", 6, true},
      {L"readonly.hextxt", 8, false},
      {L"old.hextxt.4321_123456.tmp", 8, false},
      {L"young.hextxt.4321_123457.tmp", 6, true},
      {L"MIXED.HexTxt", 8, false},
      {L"notes.txt", 8, true},
      {L".lumo-write-probe", 8, true},
      {L"kept.hextxt.bak", 8, true},
  };
  std::vector<std::wstring> expected = {L"dir.hextxt", L"dir.tmp"};  // old directories stay
  for (const auto& f : files) {
    ASSERT_TRUE(MakeFile(scratch.Join(f.name), f.days)) << test::Utf8(f.name);
    if (f.kept) expected.push_back(f.name);
  }
  ASSERT_TRUE(SetFileAttributesW(scratch.Join(L"readonly.hextxt").c_str(), FILE_ATTRIBUTE_READONLY));
  for (const wchar_t* directory : {L"dir.tmp", L"dir.hextxt"}) {
    ASSERT_TRUE(CreateDirectoryW(scratch.Join(directory).c_str(), nullptr));
    ASSERT_TRUE(Age(scratch.Join(directory), 8));
  }

  PruneOldDumps(scratch.path());

  std::vector<std::wstring> names = test::ListNames(scratch.path());
  std::sort(names.begin(), names.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
}

TEST(PruneOldDumps, TakesAnySpellingAndLeavesAMissingDirectoryAlone) {
  ScratchDirectory scratch;
  ASSERT_TRUE(MakeFile(scratch.Join(L"old.hextxt"), 9));
  PruneOldDumps(scratch.Join(L"missing"));
  PruneOldDumps(scratch.Join(L"old.hextxt"));  // a file, not a directory
  PruneOldDumps(L"");
  EXPECT_EQ(test::ListNames(scratch.path()), std::vector<std::wstring>{L"old.hextxt"});

  std::wstring spelled = scratch.path() + L"\\\\";
  std::replace(spelled.begin(), spelled.end(), L'\\', L'/');
  PruneOldDumps(spelled);
  EXPECT_TRUE(test::ListNames(scratch.path()).empty());
}

TEST(ListDirectory, ListsNothingForAnEmptyDirectoryAndWordsAMissingOne) {
  ScratchDirectory scratch;
  std::vector<DirectoryEntry> listing;
  std::wstring error;
  EXPECT_TRUE(ListDirectory(scratch.path(), listing, &error));
  EXPECT_TRUE(listing.empty());
  EXPECT_EQ(error, L"");

  const std::wstring missing = scratch.Join(L"missing") + L"/";
  EXPECT_FALSE(ListDirectory(missing, listing, &error));
  EXPECT_EQ(error, L"cannot enumerate '" + missing + L"': " + SystemErrorText(ERROR_PATH_NOT_FOUND));
  EXPECT_TRUE(listing.empty());
}

TEST(ListDirectory, MarksDirectoriesAndLinks) {
  ScratchDirectory scratch;
  ASSERT_TRUE(test::WriteWholeFile(scratch.Join(L"five.bin"), "12345"));
  ASSERT_TRUE(CreateDirectoryW(scratch.Join(L"sub").c_str(), nullptr));
  ASSERT_EQ(test::RunUnixShell("ln -s sub '" + test::UnixPathOf(scratch.Join(L"link.hextxt")) + "'"), 0);
  std::vector<DirectoryEntry> listing;
  ASSERT_TRUE(ListDirectory(scratch.path() + L"/", listing));
  ASSERT_EQ(listing.size(), 3u);
  for (const DirectoryEntry& entry : listing) {
    SCOPED_TRACE(test::Utf8(entry.name));
    EXPECT_EQ(entry.fullPath, scratch.Join(entry.name));
    EXPECT_EQ(entry.directory, entry.name != L"five.bin");
    EXPECT_EQ(entry.reparsePoint, entry.name == L"link.hextxt");
  }

  // At a drive root no second separator creeps into the full paths.
  listing.clear();
  ASSERT_TRUE(ListDirectory(L"C:\\", listing));
  for (const DirectoryEntry& entry : listing) {
    EXPECT_EQ(entry.fullPath, L"C:\\" + entry.name);
  }
}

}  // namespace
}  // namespace hv
