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

std::vector<std::wstring> SortedNames(const std::wstring& directory) {
  std::vector<std::wstring> names = test::ListNames(directory);
  std::sort(names.begin(), names.end());
  return names;
}

TEST(PruneOldDumps, DeletesOnlyOldDumpAndTemporaryFiles) {
  ScratchDirectory scratch;
  const std::wstring dumps = scratch.Join(L"dumps");
  ASSERT_TRUE(CreateDirectoryW(dumps.c_str(), nullptr));
  const struct {
    const wchar_t* name;
    double days;
  } files[] = {
      {L"0000000000000001 - old.bin.hextxt", 8},
      {L"0000000000000002 - young.bin.hextxt", 6},
      {L"0000000000000003 - readonly.bin.hextxt", 8},
      {L"0000000000000004 - run.bin.hextxt.4321_123456.tmp", 8},
      {L"0000000000000005 - run.bin.hextxt.4321_123457.tmp", 6},
      {L"0000000000000006 - MIXED.bin.HexTxt", 8},
      {L"notes.txt", 8},
      {L".lumo-write-probe", 8},
      {L"0000000000000007 - kept.bin.hextxt.bak", 8},
  };
  for (const auto& f : files) ASSERT_TRUE(MakeFile(JoinPath(dumps, f.name), f.days)) << test::Utf8(f.name);
  const std::wstring readOnly = JoinPath(dumps, L"0000000000000003 - readonly.bin.hextxt");
  ASSERT_TRUE(SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
  for (const wchar_t* directory : {L"old.tmp", L"old.hextxt"}) {
    ASSERT_TRUE(CreateDirectoryW(JoinPath(dumps, directory).c_str(), nullptr));
    ASSERT_TRUE(Age(JoinPath(dumps, directory), 8));
  }

  PruneOldDumps(dumps);

  const std::vector<std::wstring> expected = {
      L".lumo-write-probe",
      L"0000000000000002 - young.bin.hextxt",
      L"0000000000000005 - run.bin.hextxt.4321_123457.tmp",
      L"0000000000000007 - kept.bin.hextxt.bak",
      L"notes.txt",
      L"old.hextxt",
      L"old.tmp",
  };
  EXPECT_EQ(SortedNames(dumps), expected);
}

TEST(PruneOldDumps, AcceptsSlashesAndTrailingSeparators) {
  ScratchDirectory scratch;
  ASSERT_TRUE(MakeFile(scratch.Join(L"old.hextxt"), 9));
  std::wstring spelled = scratch.path() + L"\\\\";
  for (wchar_t& c : spelled) {
    if (c == L'\\') c = L'/';
  }
  PruneOldDumps(spelled);
  EXPECT_TRUE(test::ListNames(scratch.path()).empty());
}

TEST(PruneOldDumps, LeavesAMissingDirectoryAlone) {
  ScratchDirectory scratch;
  ASSERT_TRUE(MakeFile(scratch.Join(L"old.hextxt"), 9));
  PruneOldDumps(scratch.Join(L"missing"));
  PruneOldDumps(scratch.Join(L"old.hextxt"));  // a file, not a directory
  PruneOldDumps(L"");
  EXPECT_EQ(test::ListNames(scratch.path()), std::vector<std::wstring>{L"old.hextxt"});
}

TEST(ListDirectory, ListsNothingForAnEmptyDirectory) {
  ScratchDirectory scratch;
  std::vector<DirectoryEntry> listing;
  std::wstring error;
  EXPECT_TRUE(ListDirectory(scratch.path(), listing, &error));
  EXPECT_TRUE(listing.empty());
  EXPECT_EQ(error, L"");
}

TEST(ListDirectory, DescribesFilesAndDirectories) {
  ScratchDirectory scratch;
  ASSERT_TRUE(test::WriteWholeFile(scratch.Join(L"five.bin"), "12345"));
  ASSERT_TRUE(CreateDirectoryW(scratch.Join(L"sub").c_str(), nullptr));
  std::vector<DirectoryEntry> listing(1);  // entries are appended to what is there
  listing[0].name = L"earlier";
  std::wstring spelled = scratch.path() + L"/";
  ASSERT_TRUE(ListDirectory(spelled, listing));
  ASSERT_EQ(listing.size(), 3u);
  EXPECT_EQ(listing[0].name, L"earlier");
  std::sort(listing.begin() + 1, listing.end(),
            [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });

  const DirectoryEntry& file = listing[1];
  EXPECT_EQ(file.name, L"five.bin");
  EXPECT_EQ(file.fullPath, scratch.Join(L"five.bin"));
  EXPECT_EQ(file.size, 5u);
  EXPECT_FALSE(file.directory);
  EXPECT_FALSE(file.reparsePoint);
  EXPECT_EQ(file.attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);

  const DirectoryEntry& sub = listing[2];
  EXPECT_EQ(sub.name, L"sub");
  EXPECT_EQ(sub.fullPath, scratch.Join(L"sub"));
  EXPECT_TRUE(sub.directory);
  EXPECT_NE(sub.attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST(ListDirectory, MarksALinkAsAReparsePoint) {
  ScratchDirectory scratch;
  ASSERT_TRUE(CreateDirectoryW(scratch.Join(L"real").c_str(), nullptr));
  ASSERT_EQ(test::RunUnixShell("ln -s real '" + test::UnixPathOf(scratch.Join(L"link.hextxt")) + "'"), 0);
  std::vector<DirectoryEntry> listing;
  ASSERT_TRUE(ListDirectory(scratch.path(), listing));
  ASSERT_EQ(listing.size(), 2u);
  for (const DirectoryEntry& entry : listing) {
    EXPECT_EQ(entry.reparsePoint, entry.name == L"link.hextxt") << test::Utf8(entry.name);
  }
}

TEST(ListDirectory, ListsADriveRootWithOneSeparatorPerPath) {
  std::vector<DirectoryEntry> listing;
  ASSERT_TRUE(ListDirectory(L"C:\\", listing));
  ASSERT_FALSE(listing.empty());
  for (const DirectoryEntry& entry : listing) {
    EXPECT_EQ(entry.fullPath, L"C:\\" + entry.name);
  }
}

TEST(ListDirectory, WordsAMissingDirectory) {
  ScratchDirectory scratch;
  const std::wstring missing = scratch.Join(L"missing") + L"/";
  std::vector<DirectoryEntry> listing;
  std::wstring error = L"overwritten";
  EXPECT_FALSE(ListDirectory(missing, listing, &error));
  EXPECT_EQ(error, L"cannot enumerate '" + missing + L"': " + SystemErrorText(ERROR_PATH_NOT_FOUND));
  EXPECT_TRUE(listing.empty());
  EXPECT_FALSE(ListDirectory(missing, listing));
}

}  // namespace
}  // namespace hv
