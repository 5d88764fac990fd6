#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "storage/atomic_writer.h"
#include "storage/path.h"
#include "support/fault_guards.h"
#include "support/test_support.h"
#include "text/system_error.h"

namespace hv {
namespace {

using test::FileExists;
using test::ReadWholeFile;
using test::ScratchDirectory;
using test::WriteWholeFile;

constexpr wchar_t kNotOpen[] = L"the temporary file is not open";

void MakeReadOnly(const std::wstring& path) {
  ASSERT_TRUE(SetFileAttributesW(path.c_str(), GetFileAttributesW(path.c_str()) | FILE_ATTRIBUTE_READONLY));
}

// Write and Commit on a writer that owns no file.
void ExpectNotOpen(AtomicFileWriter& writer, const std::wstring& target) {
  std::wstring error;
  EXPECT_FALSE(writer.Write("x", 1, &error));
  EXPECT_EQ(error, kNotOpen);
  error.clear();
  EXPECT_FALSE(writer.Commit(target, &error));
  EXPECT_EQ(error, kNotOpen);
}

TEST(AtomicFileWriter, ReplacesTheTargetOnlyAtCommit) {
  ScratchDirectory scratch;
  const std::wstring target = scratch.Join(L"out.hextxt");
  const std::wstring temporary = scratch.Join(L"out.hextxt.1_2.tmp");
  ASSERT_TRUE(WriteWholeFile(target, "previous dump"));
  MakeReadOnly(target);  // the viewer's user may have set it; the commit clears it

  AtomicFileWriter writer;
  std::wstring error;
  ASSERT_TRUE(writer.Open(temporary, &error)) << test::Utf8(error);
  ASSERT_TRUE(writer.Write(nullptr, 0, &error));
  ASSERT_TRUE(writer.Write("first ", 6, &error));
  ASSERT_TRUE(writer.Write("second", 6, &error));
  EXPECT_EQ(ReadWholeFile(target), "previous dump");

  ASSERT_TRUE(writer.Commit(target, &error)) << test::Utf8(error);
  EXPECT_EQ(ReadWholeFile(target), "first second");
  EXPECT_FALSE(FileExists(temporary));
  EXPECT_EQ(GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);

  // A committed writer owns nothing: the file now at the target is never deleted.
  ExpectNotOpen(writer, target);
  writer.Discard();
  EXPECT_EQ(ReadWholeFile(target), "first second");
}

TEST(AtomicFileWriter, NeverTouchesATemporaryNameThatIsTaken) {
  ScratchDirectory scratch;
  const std::wstring temporary = scratch.Join(L"taken.tmp");
  const std::wstring target = scratch.Join(L"taken.hextxt");
  const std::wstring taken =
      L"cannot create temporary file '" + temporary + L"': " + SystemErrorText(ERROR_FILE_EXISTS);
  ASSERT_TRUE(WriteWholeFile(temporary, "someone else's"));
  {
    AtomicFileWriter writer;
    std::wstring error;
    EXPECT_FALSE(writer.Open(temporary, &error));
    EXPECT_EQ(error, taken);
    ExpectNotOpen(writer, target);
    writer.Discard();
  }
  const DumpResult result = WriteFileAtomically(temporary, target, "content");
  EXPECT_FALSE(result.success);
  EXPECT_EQ(result.error, taken);
  EXPECT_EQ(ReadWholeFile(temporary), "someone else's");
  EXPECT_FALSE(FileExists(target));
}

TEST(AtomicFileWriter, DiscardsOnceAndOnDestruction) {
  ScratchDirectory scratch;
  const std::wstring temporary = scratch.Join(L"d.tmp");
  {
    AtomicFileWriter writer;
    ASSERT_TRUE(writer.Open(temporary));
    ASSERT_TRUE(writer.Write("partial", 7));
    writer.Discard();
    EXPECT_FALSE(FileExists(temporary));
    // The name is free again and someone else takes it: neither a second Discard nor
    // the destructor may delete it.
    ASSERT_TRUE(WriteWholeFile(temporary, "new owner"));
    writer.Discard();
  }
  EXPECT_EQ(ReadWholeFile(temporary), "new owner");
  ASSERT_TRUE(DeleteFileW(temporary.c_str()));
  {
    AtomicFileWriter abandoned;
    ASSERT_TRUE(abandoned.Open(temporary));
    ASSERT_TRUE(abandoned.Write("abc", 3));
  }
  EXPECT_FALSE(FileExists(temporary));
}

// Three attempts 50 ms apart, then the temporary goes and the target stays as it was.
TEST(AtomicFileWriter, CommitGivesUpOnATargetItCannotReplace) {
  for (const std::wstring blocker : {L"nodelete", L"none", L"directory"}) {
    SCOPED_TRACE(test::Utf8(blocker));
    ScratchDirectory scratch;
    const std::wstring target = scratch.Join(L"held.hextxt");
    const std::wstring temporary = scratch.Join(L"held.tmp");
    const std::wstring kept = blocker == L"directory" ? JoinPath(target, L"inside") : target;
    std::optional<test::FileHolder> holder;
    if (blocker == L"directory") {
      ASSERT_TRUE(CreateDirectoryW(target.c_str(), nullptr));
      ASSERT_TRUE(WriteWholeFile(kept, "kept"));
    } else {
      ASSERT_TRUE(WriteWholeFile(target, "kept"));
      ASSERT_TRUE(holder.emplace(target, blocker).holding());
    }

    AtomicFileWriter writer;
    std::wstring error;
    ASSERT_TRUE(writer.Open(temporary));
    ASSERT_TRUE(writer.Write("new", 3));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(writer.Commit(target, &error));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(90));
    // Wine refuses the replacement as denied access, the word of the last attempt.
    EXPECT_EQ(error, L"MoveFileExW failed: " + SystemErrorText(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(FileExists(temporary));
    holder.reset();
    EXPECT_EQ(ReadWholeFile(kept), "kept");
  }
}

TEST(WriteFileAtomically, WritesAnEmptyFileBeyondTheClassicPathLimit) {
  ScratchDirectory scratch;
  // Beyond 260 units only the long-path form reaches the file.
  std::wstring deep = scratch.path();
  while (deep.size() < 300) {
    deep = JoinPath(deep, std::wstring(40, L'd'));
    ASSERT_TRUE(CreateDirectoryW(ToLongPath(deep).c_str(), nullptr));
  }
  const std::wstring target = JoinPath(deep, L"long.hextxt");
  const DumpResult result = WriteFileAtomically(target + L".9_9.tmp", target, "");
  EXPECT_TRUE(result.success) << test::Utf8(result.error);
  EXPECT_EQ(result.error, L"");
  EXPECT_EQ(test::ListNames(deep), std::vector<std::wstring>{L"long.hextxt"});
  std::string bytes = "unread";
  EXPECT_TRUE(ReadWholeFile(target, bytes));
  EXPECT_EQ(bytes, "");
}

TEST(WriteFileDirect, TruncatesAReadOnlyFileOrWordsTheOpenFailure) {
  ScratchDirectory scratch;
  const std::wstring path = scratch.Join(L"direct.hextxt");
  ASSERT_TRUE(WriteWholeFile(path, "a much longer previous content"));
  MakeReadOnly(path);
  const DumpResult result = WriteFileDirect(path, "short");
  EXPECT_TRUE(result.success) << test::Utf8(result.error);
  EXPECT_EQ(ReadWholeFile(path), "short");

  test::FileHolder holder(path, L"none");
  ASSERT_TRUE(holder.holding());
  const std::wstring missing = scratch.Join(L"no-such-dir\\direct.hextxt");
  for (const auto& [target, code] :
       {std::pair{missing, ERROR_PATH_NOT_FOUND}, std::pair{path, ERROR_SHARING_VIOLATION}}) {
    const DumpResult failed = WriteFileDirect(target, "x");
    EXPECT_FALSE(failed.success);
    EXPECT_EQ(failed.error, L"cannot open '" + target + L"' for a direct write: " + SystemErrorText(code));
  }
  holder.Release();
  EXPECT_EQ(ReadWholeFile(path), "short");
}

// Dump generation shows the writer's side of a full disk; the direct write keeps what fit.
TEST(WriteFileDirect, KeepsWhatFitsOnAFullDisk) {
  ScratchDirectory scratch;
  test::SmallDisk disk(scratch.Join(L"disk"), "64k");
  ASSERT_TRUE(disk.ok());
  std::string content;
  for (int i = 0; content.size() < 256 * 1024; ++i) content += std::to_string(i) + ",";
  const std::wstring path = JoinPath(disk.path(), L"report.hextxt");
  const DumpResult result = WriteFileDirect(path, content);
  EXPECT_FALSE(result.success);
  EXPECT_EQ(result.error.rfind(L"cannot write '" + path + L"': ", 0), 0u) << test::Utf8(result.error);
  const std::string kept = ReadWholeFile(path);
  EXPECT_LT(kept.size(), content.size());
  EXPECT_EQ(kept, content.substr(0, kept.size()));
}

TEST(RemoveFileIfPresent, RemovesOrFindsNothingExceptForADirectory) {
  ScratchDirectory scratch;
  const std::wstring readOnly = scratch.Join(L"ro.hextxt");
  const std::wstring slashed = scratch.Join(L"slashed.hextxt");
  ASSERT_TRUE(WriteWholeFile(readOnly, "dump"));
  ASSERT_TRUE(WriteWholeFile(slashed, "dump"));
  MakeReadOnly(readOnly);
  std::wstring slashSpelling = slashed;
  std::replace(slashSpelling.begin(), slashSpelling.end(), L'\\', L'/');
  for (const std::wstring& path :
       {scratch.Join(L"missing.hextxt"), scratch.Join(L"missing-dir\\x.hextxt"), readOnly, slashSpelling}) {
    uint32_t code = 12345;
    EXPECT_TRUE(RemoveFileIfPresent(path, &code)) << test::Utf8(path);
    EXPECT_EQ(code, 12345u);
  }
  EXPECT_TRUE(test::ListNames(scratch.path()).empty());

  const std::wstring directory = scratch.Join(L"dir.hextxt");
  ASSERT_TRUE(CreateDirectoryW(directory.c_str(), nullptr));
  uint32_t code = 0;
  EXPECT_FALSE(RemoveFileIfPresent(directory, &code));
  EXPECT_EQ(code, static_cast<uint32_t>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(IsDirectory(directory));
}

}  // namespace
}  // namespace hv
