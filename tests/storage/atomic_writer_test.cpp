#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <string>

#include "storage/atomic_writer.h"
#include "support/fault_guards.h"
#include "storage/path.h"
#include "support/test_support.h"
#include "text/system_error.h"

namespace hv {
namespace {

using test::FileExists;
using test::ReadWholeFile;
using test::ScratchDirectory;
using test::WriteWholeFile;

constexpr wchar_t kNotOpen[] = L"the temporary file is not open";

uint32_t AttributesOf(const std::wstring& path) { return GetFileAttributesW(ToLongPath(path).c_str()); }

void MakeReadOnly(const std::wstring& path) {
  ASSERT_TRUE(SetFileAttributesW(ToLongPath(path).c_str(), AttributesOf(path) | FILE_ATTRIBUTE_READONLY));
}

int64_t MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

TEST(AtomicFileWriter, ReplacesTheTargetOnlyAtCommit) {
  ScratchDirectory scratch;
  const std::wstring target = scratch.Join(L"out.hextxt");
  const std::wstring temporary = scratch.Join(L"out.hextxt.1_2.tmp");
  ASSERT_TRUE(WriteWholeFile(target, "previous dump"));

  AtomicFileWriter writer;
  std::wstring error;
  ASSERT_TRUE(writer.Open(temporary, &error)) << test::Utf8(error);
  ASSERT_TRUE(writer.Write(nullptr, 0, &error));  // nothing to write, nothing to call
  ASSERT_TRUE(writer.Write("first ", 6, &error));
  ASSERT_TRUE(writer.Write("second", 6, &error));
  EXPECT_EQ(ReadWholeFile(target), "previous dump");

  ASSERT_TRUE(writer.Commit(target, &error)) << test::Utf8(error);
  EXPECT_EQ(ReadWholeFile(target), "first second");
  EXPECT_FALSE(FileExists(temporary));

  // A committed writer owns nothing: the file now at the target is never deleted.
  error.clear();
  EXPECT_FALSE(writer.Write("x", 1, &error));
  EXPECT_EQ(error, kNotOpen);
  error.clear();
  EXPECT_FALSE(writer.Commit(target, &error));
  EXPECT_EQ(error, kNotOpen);
  writer.Discard();
  EXPECT_EQ(ReadWholeFile(target), "first second");
}

TEST(AtomicFileWriter, NeverTouchesATemporaryNameThatIsTaken) {
  ScratchDirectory scratch;
  const std::wstring temporary = scratch.Join(L"taken.tmp");
  const std::wstring target = scratch.Join(L"taken.hextxt");
  ASSERT_TRUE(WriteWholeFile(temporary, "someone else's"));
  {
    AtomicFileWriter writer;
    std::wstring error;
    EXPECT_FALSE(writer.Open(temporary, &error));
    EXPECT_EQ(error, L"cannot create temporary file '" + temporary + L"': " + SystemErrorText(ERROR_FILE_EXISTS));

    error.clear();
    EXPECT_FALSE(writer.Write("x", 1, &error));
    EXPECT_EQ(error, kNotOpen);
    error.clear();
    EXPECT_FALSE(writer.Commit(target, &error));
    EXPECT_EQ(error, kNotOpen);
    writer.Discard();
    EXPECT_EQ(ReadWholeFile(temporary), "someone else's");
  }
  EXPECT_EQ(ReadWholeFile(temporary), "someone else's");
  EXPECT_FALSE(FileExists(target));
}

TEST(AtomicFileWriter, DiscardDeletesOnceThenDoesNothing) {
  ScratchDirectory scratch;
  const std::wstring temporary = scratch.Join(L"d.tmp");
  AtomicFileWriter writer;
  ASSERT_TRUE(writer.Open(temporary));
  ASSERT_TRUE(writer.Write("partial", 7));
  writer.Discard();
  EXPECT_FALSE(FileExists(temporary));

  // The name is free again and someone else takes it: a second Discard must leave it.
  ASSERT_TRUE(WriteWholeFile(temporary, "new owner"));
  writer.Discard();
  EXPECT_EQ(ReadWholeFile(temporary), "new owner");

  std::wstring error;
  EXPECT_FALSE(writer.Write("x", 1, &error));
  EXPECT_EQ(error, kNotOpen);
}

TEST(AtomicFileWriter, DestructionDiscardsAnUncommittedFile) {
  ScratchDirectory scratch;
  const std::wstring temporary = scratch.Join(L"abandoned.tmp");
  {
    AtomicFileWriter writer;
    ASSERT_TRUE(writer.Open(temporary));
    ASSERT_TRUE(writer.Write("abc", 3));
    EXPECT_TRUE(FileExists(temporary));
  }
  EXPECT_FALSE(FileExists(temporary));
}

TEST(AtomicFileWriter, CommitReplacesAReadOnlyTarget) {
  ScratchDirectory scratch;
  const std::wstring target = scratch.Join(L"ro.hextxt");
  ASSERT_TRUE(WriteWholeFile(target, "old"));
  MakeReadOnly(target);

  AtomicFileWriter writer;
  std::wstring error;
  ASSERT_TRUE(writer.Open(scratch.Join(L"ro.tmp")));
  ASSERT_TRUE(writer.Write("new", 3));
  ASSERT_TRUE(writer.Commit(target, &error)) << test::Utf8(error);
  EXPECT_EQ(ReadWholeFile(target), "new");
  EXPECT_EQ(AttributesOf(target) & FILE_ATTRIBUTE_READONLY, 0u);
}

TEST(AtomicFileWriter, CommitGivesUpOnATargetHeldWithoutDeleteSharing) {
  for (const wchar_t* share : {L"nodelete", L"none"}) {
    SCOPED_TRACE(test::Utf8(share));
    ScratchDirectory scratch;
    const std::wstring target = scratch.Join(L"held.hextxt");
    const std::wstring temporary = scratch.Join(L"held.tmp");
    ASSERT_TRUE(WriteWholeFile(target, "shown by the viewer"));
    test::FileHolder holder(target, share);
    ASSERT_TRUE(holder.holding());

    AtomicFileWriter writer;
    std::wstring error;
    ASSERT_TRUE(writer.Open(temporary));
    ASSERT_TRUE(writer.Write("new", 3));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(writer.Commit(target, &error));
    const int64_t elapsed = MillisecondsSince(start);
    // Three attempts with two pauses of 50 ms between them.
    EXPECT_GE(elapsed, 90);
    // Wine refuses the replacement as denied access, the word of the last attempt.
    EXPECT_EQ(error, L"MoveFileExW failed: " + SystemErrorText(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(FileExists(temporary));
    holder.Release();
    EXPECT_EQ(ReadWholeFile(target), "shown by the viewer");
  }
}

TEST(AtomicFileWriter, CommitOntoADirectoryLeavesItAlone) {
  ScratchDirectory scratch;
  const std::wstring target = scratch.Join(L"dir.hextxt");
  ASSERT_TRUE(CreateDirectoryW(target.c_str(), nullptr));
  ASSERT_TRUE(WriteWholeFile(JoinPath(target, L"inside"), "kept"));

  AtomicFileWriter writer;
  std::wstring error;
  ASSERT_TRUE(writer.Open(scratch.Join(L"dir.tmp")));
  ASSERT_TRUE(writer.Write("new", 3));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(writer.Commit(target, &error));
  EXPECT_GE(MillisecondsSince(start), 90);
  EXPECT_EQ(error, L"MoveFileExW failed: " + SystemErrorText(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(FileExists(scratch.Join(L"dir.tmp")));
  EXPECT_TRUE(IsDirectory(target));
  EXPECT_EQ(ReadWholeFile(JoinPath(target, L"inside")), "kept");
}

TEST(AtomicFileWriter, WriteFailsOnAFullDiskAndDiscardRemovesTheRest) {
  ScratchDirectory scratch;
  test::SmallDisk disk(scratch.Join(L"disk"), "64k");
  ASSERT_TRUE(disk.ok());
  const std::wstring temporary = JoinPath(disk.path(), L"big.tmp");
  const std::string content(256 * 1024, 'x');

  {
    AtomicFileWriter writer;
    std::wstring error;
    ASSERT_TRUE(writer.Open(temporary, &error)) << test::Utf8(error);
    EXPECT_FALSE(writer.Write(content.data(), content.size(), &error));
    // The platform may report a short write without an error code: only the wording is fixed.
    const std::wstring expected = L"cannot write temporary file '" + temporary + L"': ";
    EXPECT_EQ(error.substr(0, expected.size()), expected);
    EXPECT_TRUE(FileExists(temporary));
    writer.Discard();
    EXPECT_FALSE(FileExists(temporary));
  }

  const DumpResult result = WriteFileAtomically(temporary, JoinPath(disk.path(), L"big.hextxt"), content);
  EXPECT_FALSE(result.success);
  EXPECT_EQ(result.error.rfind(L"cannot write temporary file '" + temporary + L"': ", 0), 0u);
  EXPECT_TRUE(test::ListNames(disk.path()).empty());
}

TEST(WriteFileDirect, KeepsWhatFitsOnAFullDisk) {
  ScratchDirectory scratch;
  test::SmallDisk disk(scratch.Join(L"disk"), "64k");
  ASSERT_TRUE(disk.ok());
  const std::wstring path = JoinPath(disk.path(), L"report.hextxt");
  std::string content;
  for (int i = 0; content.size() < 256 * 1024; ++i) content += std::to_string(i) + ",";

  const DumpResult result = WriteFileDirect(path, content);
  EXPECT_FALSE(result.success);
  const std::wstring expected = L"cannot write '" + path + L"': ";
  EXPECT_EQ(result.error.substr(0, expected.size()), expected);
  const std::string kept = ReadWholeFile(path);
  EXPECT_LT(kept.size(), content.size());
  EXPECT_EQ(kept, content.substr(0, kept.size()));
}

TEST(WriteFileAtomically, WritesEmptyAndLongPathTargets) {
  ScratchDirectory scratch;
  {
    const DumpResult result = WriteFileAtomically(scratch.Join(L"e.tmp"), scratch.Join(L"e.hextxt"), "");
    EXPECT_TRUE(result.success);
    EXPECT_EQ(result.error, L"");
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(scratch.Join(L"e.hextxt"), bytes));
    EXPECT_EQ(bytes, "");
    EXPECT_FALSE(FileExists(scratch.Join(L"e.tmp")));
  }
  {
    // Beyond the classic 260-unit limit only the long-path form reaches the file.
    std::wstring deep = scratch.path();
    while (deep.size() < 300) {
      deep = JoinPath(deep, std::wstring(40, L'd'));
      ASSERT_TRUE(CreateDirectoryW(ToLongPath(deep).c_str(), nullptr));
    }
    const std::wstring target = JoinPath(deep, L"long.hextxt");
    const DumpResult result = WriteFileAtomically(target + L".9_9.tmp", target, "deep");
    EXPECT_TRUE(result.success) << test::Utf8(result.error);
    EXPECT_EQ(ReadWholeFile(target), "deep");
  }
}

TEST(WriteFileAtomically, ReportsATakenTemporaryName) {
  ScratchDirectory scratch;
  const std::wstring temporary = scratch.Join(L"t.tmp");
  ASSERT_TRUE(WriteWholeFile(temporary, "other run"));
  const DumpResult result = WriteFileAtomically(temporary, scratch.Join(L"t.hextxt"), "content");
  EXPECT_FALSE(result.success);
  EXPECT_EQ(result.error, L"cannot create temporary file '" + temporary + L"': " + SystemErrorText(ERROR_FILE_EXISTS));
  EXPECT_EQ(ReadWholeFile(temporary), "other run");
  EXPECT_FALSE(FileExists(scratch.Join(L"t.hextxt")));
}

TEST(WriteFileDirect, TruncatesALongerFileAndClearsReadOnly) {
  ScratchDirectory scratch;
  const std::wstring path = scratch.Join(L"direct.hextxt");
  ASSERT_TRUE(WriteWholeFile(path, "a much longer previous content"));
  MakeReadOnly(path);
  const DumpResult result = WriteFileDirect(path, "short");
  EXPECT_TRUE(result.success) << test::Utf8(result.error);
  EXPECT_EQ(result.error, L"");
  EXPECT_EQ(ReadWholeFile(path), "short");
}

TEST(WriteFileDirect, WordsAnOpenFailure) {
  ScratchDirectory scratch;
  const std::wstring missing = scratch.Join(L"no-such-dir\\direct.hextxt");
  DumpResult result = WriteFileDirect(missing, "x");
  EXPECT_FALSE(result.success);
  EXPECT_EQ(result.error,
            L"cannot open '" + missing + L"' for a direct write: " + SystemErrorText(ERROR_PATH_NOT_FOUND));

  const std::wstring held = scratch.Join(L"held.hextxt");
  ASSERT_TRUE(WriteWholeFile(held, "held"));
  test::FileHolder holder(held, L"none");
  ASSERT_TRUE(holder.holding());
  result = WriteFileDirect(held, "x");
  EXPECT_FALSE(result.success);
  EXPECT_EQ(result.error,
            L"cannot open '" + held + L"' for a direct write: " + SystemErrorText(ERROR_SHARING_VIOLATION));
  holder.Release();
  EXPECT_EQ(ReadWholeFile(held), "held");
}

TEST(RemoveFileIfPresent, CountsAbsenceAsSuccess) {
  ScratchDirectory scratch;
  for (const wchar_t* leaf : {L"missing.hextxt", L"missing-dir\\x.hextxt"}) {
    uint32_t code = 12345;
    EXPECT_TRUE(RemoveFileIfPresent(scratch.Join(leaf), &code)) << test::Utf8(leaf);
    EXPECT_EQ(code, 12345u);
  }
}

TEST(RemoveFileIfPresent, DeletesPlainReadOnlyAndForwardSlashSpellings) {
  ScratchDirectory scratch;
  const std::wstring plain = scratch.Join(L"plain.hextxt");
  const std::wstring readOnly = scratch.Join(L"ro.hextxt");
  const std::wstring slashed = scratch.Join(L"slashed.hextxt");
  for (const auto& path : {plain, readOnly, slashed}) ASSERT_TRUE(WriteWholeFile(path, "dump"));
  MakeReadOnly(readOnly);

  std::wstring slashSpelling = slashed;
  for (wchar_t& c : slashSpelling) {
    if (c == L'\\') c = L'/';
  }
  for (const auto& path : {plain, readOnly, slashSpelling}) {
    uint32_t code = 0;
    EXPECT_TRUE(RemoveFileIfPresent(path, &code)) << test::Utf8(path) << " code " << code;
  }
  EXPECT_TRUE(test::ListNames(scratch.path()).empty());
}

TEST(RemoveFileIfPresent, RefusesADirectory) {
  ScratchDirectory scratch;
  const std::wstring directory = scratch.Join(L"dir.hextxt");
  ASSERT_TRUE(CreateDirectoryW(directory.c_str(), nullptr));
  uint32_t code = 0;
  EXPECT_FALSE(RemoveFileIfPresent(directory, &code));
  EXPECT_EQ(code, static_cast<uint32_t>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(IsDirectory(directory));
  EXPECT_FALSE(RemoveFileIfPresent(directory));
}

TEST(ClearReadOnlyAttribute, ClearsOnlyThatBit) {
  ScratchDirectory scratch;
  const std::wstring path = scratch.Join(L"f");
  ASSERT_TRUE(WriteWholeFile(path, "x"));
  ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  ClearReadOnlyAttribute(path);
  EXPECT_EQ(AttributesOf(path) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
            static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
  ClearReadOnlyAttribute(scratch.Join(L"missing"));  // nothing to do, nothing to report
}

}  // namespace
}  // namespace hv
