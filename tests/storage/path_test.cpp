#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "storage/path.h"
#include "support/test_support.h"

namespace hv {
namespace {

using test::ScratchDirectory;
using test::Utf8;

struct Mapping {
  std::wstring input;
  std::wstring output;
};

struct Predicate {
  std::wstring input;
  bool result;
};

TEST(NormalizeSeparators, ReplacesEveryForwardSlash) {
  const Mapping cases[] = {
      {L"", L""},
      {L"C:/a/b", L"C:\\a\\b"},
      {L"//srv/share", L"\\\\srv\\share"},
      {L"a\\b/c", L"a\\b\\c"},
      {L"no separators", L"no separators"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NormalizeSeparators(c.input), c.output) << Utf8(c.input);
  }
}

TEST(HasLongPathPrefix, NeedsAllFourUnits) {
  const Predicate cases[] = {
      {L"\\\\?\\", true},   {L"\\\\?\\C:\\a", true}, {L"\\\\?\\UNC\\srv", true}, {L"\\\\?", false},
      {L"//?/C:/a", false}, {L"\\\\.\\C:", false},   {L"C:\\\\?\\", false},      {L"", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HasLongPathPrefix(c.input), c.result) << Utf8(c.input);
  }
}

TEST(IsUncPath, NeedsTwoLeadingBackslashes) {
  const Predicate cases[] = {
      {L"\\\\srv\\share", true}, {L"\\\\", true}, {L"\\\\?\\C:", true},  {L"\\srv", false},
      {L"//srv/share", false},   {L"", false},    {L"C:\\\\srv", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsUncPath(c.input), c.result) << Utf8(c.input);
  }
}

TEST(ToLongPath, PrefixesDriveAndUncPathsOnly) {
  const Mapping cases[] = {
      {L"C:\\a", L"\\\\?\\C:\\a"},
      {L"C:", L"\\\\?\\C:"},
      {L"1:\\x", L"\\\\?\\1:\\x"},
      {L"\\\\srv\\sh\\f", L"\\\\?\\UNC\\srv\\sh\\f"},
      {L"\\\\?\\C:\\a", L"\\\\?\\C:\\a"},
      {L"\\\\?\\UNC\\srv\\sh", L"\\\\?\\UNC\\srv\\sh"},
      {L"rel\\f", L"rel\\f"},
      {L"\\f", L"\\f"},
      {L"a", L"a"},
      {L"", L""},
      {L"C:\\", L"\\\\?\\C:\\"},
      {L"C:\\dir\\", L"\\\\?\\C:\\dir\\"},
      {L"C:\\a.b\\...x\\.git", L"\\\\?\\C:\\a.b\\...x\\.git"},
      // The long form would take these literally and name nothing, so the platform
      // resolves them in their ordinary form.
      {L"C:\\a\\..\\b", L"C:\\a\\..\\b"},
      {L"C:\\a\\.\\b", L"C:\\a\\.\\b"},
      {L"C:\\a\\..", L"C:\\a\\.."},
      {L"C:\\a\\\\b", L"C:\\a\\\\b"},
      {L"C:\\a/b", L"C:\\a/b"},
      {L"C:rel\\f", L"C:rel\\f"},
      {L"\\\\srv\\sh\\..\\f", L"\\\\srv\\sh\\..\\f"},
      {L"\\\\.\\C:", L"\\\\.\\C:"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToLongPath(c.input), c.output) << Utf8(c.input);
  }
}

TEST(ToLongPath, PrefixesShortAndLongDrivePathsAlike) {
  const std::wstring shortPath = L"C:\\abc\\def";
  ASSERT_EQ(shortPath.size(), 10u);
  EXPECT_EQ(ToLongPath(shortPath), L"\\\\?\\" + shortPath);

  std::wstring longPath = L"C:";
  while (longPath.size() < 300) longPath += L"\\directory";
  longPath.resize(300);
  EXPECT_EQ(ToLongPath(longPath), L"\\\\?\\" + longPath);
  EXPECT_EQ(StripLongPathPrefix(ToLongPath(longPath)), longPath);
}

TEST(StripLongPathPrefix, RemovesExactlyOnePrefix) {
  const Mapping cases[] = {
      {L"\\\\?\\UNC\\srv\\sh", L"\\\\srv\\sh"},
      {L"\\\\?\\UNC\\", L"\\\\"},
      {L"\\\\?\\C:\\x", L"C:\\x"},
      {L"\\\\?\\unc\\srv", L"unc\\srv"},
      {L"\\\\?\\", L""},
      {L"C:\\x", L"C:\\x"},
      {L"\\\\srv\\sh", L"\\\\srv\\sh"},
      {L"", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StripLongPathPrefix(c.input), c.output) << Utf8(c.input);
  }
}

TEST(IsRootPath, KnowsDriveAndUncRoots) {
  const Predicate cases[] = {
      {L"C:", true},
      {L"C:\\", true},
      {L"C:\\\\\\", true},
      {L"C:/", true},
      {L"\\\\srv", true},
      {L"\\\\srv\\share", true},
      {L"\\\\srv\\share\\", true},
      {L"//srv/share/", true},
      {L"C:\\x", false},
      {L"C:x", false},
      {L"\\\\srv\\share\\x", false},
      {L"\\\\", false},
      {L"\\", false},
      {L"x", false},
      {L"", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsRootPath(c.input), c.result) << Utf8(c.input);
  }
}

TEST(StripTrailingSeparators, KeepsRootsAndThreeUnits) {
  const Mapping cases[] = {
      {L"C:\\dir\\\\\\", L"C:\\dir"},
      {L"C:\\dir", L"C:\\dir"},
      {L"C:\\", L"C:\\"},
      {L"C:\\\\", L"C:\\\\"},
      {L"\\\\srv\\share\\", L"\\\\srv\\share\\"},
      {L"\\\\srv\\share\\x\\", L"\\\\srv\\share\\x"},
      {L"ab\\", L"ab\\"},
      {L"abc\\", L"abc"},
      {L"a\\\\\\\\", L"a\\\\"},
      {L"", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StripTrailingSeparators(c.input), c.output) << Utf8(c.input);
  }
}

TEST(JoinPath, PutsOneBackslashBetween) {
  struct Case {
    std::wstring base;
    std::wstring leaf;
    std::wstring joined;
  };
  const Case cases[] = {
      {L"", L"x", L"x"},
      {L"", L"", L""},
      {L"C:\\d\\", L"x", L"C:\\d\\x"},
      {L"C:\\d\\\\", L"x", L"C:\\d\\x"},
      {L"C:\\d", L"x", L"C:\\d\\x"},
      {L"C:\\", L"x", L"C:\\x"},
      {L"C:", L"x", L"C:\\x"},
      {L"\\\\srv\\share", L"x", L"\\\\srv\\share\\x"},
      {L"\\\\srv\\share\\", L"x", L"\\\\srv\\share\\x"},
      {L"C:\\d", L"", L"C:\\d\\"},
      {L"C:\\d", L"\\x", L"C:\\d\\\\x"},
      {L"rel", L"x\\y", L"rel\\x\\y"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JoinPath(c.base, c.leaf), c.joined) << Utf8(c.base) << " + " << Utf8(c.leaf);
  }
}

TEST(ParentDirectory, StopsAtTheRoot) {
  const Mapping cases[] = {
      {L"C:\\a\\b.exe", L"C:\\a"},
      {L"C:\\a\\dir\\", L"C:\\a"},
      {L"C:\\b.exe", L"C:\\"},
      {L"C:\\", L"C:\\"},
      {L"C:", L"C:"},
      {L"b.exe", L""},
      {L"\\b.exe", L""},
      {L"", L""},
      {L"\\\\srv\\share\\b.exe", L"\\\\srv\\share"},
      {L"\\\\srv\\share", L"\\\\srv\\share"},
      {L"C:/a/b.exe", L"C:\\a"},
      {L"rel\\b.exe", L"rel"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParentDirectory(c.input), c.output) << Utf8(c.input);
  }
}

TEST(FileNameOf, GivesTheLastComponent) {
  const Mapping cases[] = {
      {L"C:\\a\\b.txt", L"b.txt"}, {L"C:\\a\\dir\\", L"dir"},     {L"b.txt", L"b.txt"}, {L"C:\\", L""},
      {L"C:/a/b.txt", L"b.txt"},   {L"\\\\srv\\share", L"share"}, {L"", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileNameOf(c.input), c.output) << Utf8(c.input);
  }
}

TEST(ResolveFullPath, ResolvesDotsAndSlashes) {
  std::wstring full = L"untouched";
  EXPECT_FALSE(ResolveFullPath(L"", full));
  EXPECT_EQ(full, L"untouched");

  const Mapping cases[] = {
      {L"C:/a/./b\\", L"C:\\a\\b"}, {L"C:\\a\\..\\b", L"C:\\b"}, {L"C:\\a\\\\\\", L"C:\\a"},
      {L"C:\\", L"C:\\"},           {L"C:/", L"C:\\"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(ResolveFullPath(c.input, full)) << Utf8(c.input);
    EXPECT_EQ(full, c.output) << Utf8(c.input);
  }
}

// Runs the test with another current directory and restores the old one afterwards.
class CurrentDirectory {
 public:
  explicit CurrentDirectory(const std::wstring& path) {
    wchar_t buffer[MAX_PATH * 4];
    const DWORD n = GetCurrentDirectoryW(MAX_PATH * 4, buffer);
    saved_.assign(buffer, n < MAX_PATH * 4 ? n : 0);
    changed_ = SetCurrentDirectoryW(path.c_str()) != 0;
  }
  ~CurrentDirectory() {
    if (!saved_.empty()) SetCurrentDirectoryW(saved_.c_str());
  }
  CurrentDirectory(const CurrentDirectory&) = delete;
  CurrentDirectory& operator=(const CurrentDirectory&) = delete;
  bool changed() const { return changed_; }

 private:
  std::wstring saved_;
  bool changed_ = false;
};

TEST(ResolveFullPath, ResolvesRelativeToTheCurrentDirectory) {
  ScratchDirectory scratch(L"path");
  CurrentDirectory current(scratch.path());
  ASSERT_TRUE(current.changed());
  std::wstring full;
  ASSERT_TRUE(ResolveFullPath(L"sub/../in.bin", full));
  EXPECT_EQ(full, scratch.Join(L"in.bin"));
  ASSERT_TRUE(ResolveFullPath(L".\\", full));
  EXPECT_EQ(full, scratch.path());
}

TEST(InputFullPath, GivesOneFullPathForEverySpellingOfAFile) {
  ScratchDirectory scratch(L"path");
  const std::wstring file = scratch.Join(L"in.bin");
  ASSERT_TRUE(test::WriteWholeFile(file, "data"));
  CurrentDirectory current(scratch.path());
  ASSERT_TRUE(current.changed());

  std::wstring forward = file;
  for (wchar_t& c : forward) {
    if (c == L'\\') c = L'/';
  }
  const std::wstring spellings[] = {
      file, L"in.bin", L".\\in.bin", L"./in.bin", L"sub/../in.bin", forward, L"\\\\?\\" + file, file + L"\\",
  };
  for (const auto& spelling : spellings) {
    EXPECT_EQ(InputFullPath(spelling), file) << Utf8(spelling);
  }
  // A missing file resolves all the same: nothing is opened.
  EXPECT_EQ(InputFullPath(L"missing.bin"), scratch.Join(L"missing.bin"));
  EXPECT_EQ(InputFullPath(L""), L"");
}

TEST(PathAttributes, TellFilesDirectoriesAndMissingPaths) {
  ScratchDirectory scratch(L"path");
  const std::wstring file = scratch.Join(L"file.txt");
  const std::wstring directory = scratch.Join(L"dir");
  const std::wstring missing = scratch.Join(L"missing");
  ASSERT_TRUE(test::WriteWholeFile(file, "x"));
  ASSERT_TRUE(CreateDirectoryW(directory.c_str(), nullptr));

  EXPECT_TRUE(IsExistingFile(file));
  EXPECT_FALSE(IsDirectory(file));
  EXPECT_TRUE(IsDirectory(directory));
  EXPECT_TRUE(IsDirectory(directory + L"\\"));
  EXPECT_FALSE(IsExistingFile(directory));
  EXPECT_FALSE(IsExistingFile(missing));
  EXPECT_FALSE(IsDirectory(missing));
  EXPECT_EQ(GetPathAttributes(missing), kInvalidFileAttributes);
  EXPECT_FALSE(IsExistingFile(missing + L"\\file.txt"));
  EXPECT_FALSE(IsExistingFile(L""));
  EXPECT_FALSE(IsDirectory(L""));

  std::wstring forward = file;
  for (wchar_t& c : forward) {
    if (c == L'\\') c = L'/';
  }
  EXPECT_TRUE(IsExistingFile(forward));
  EXPECT_TRUE(IsExistingFile(L"\\\\?\\" + file));
}

TEST(PathAttributes, FindFilesSpelledWithDotsAndDoubledSeparators) {
  ScratchDirectory scratch(L"path");
  const std::wstring file = scratch.Join(L"viewer.exe");
  ASSERT_TRUE(test::WriteWholeFile(file, "MZ"));
  ASSERT_TRUE(CreateDirectoryW(scratch.Join(L"sub").c_str(), nullptr));

  const std::wstring spellings[] = {
      scratch.Join(L"sub\\..\\viewer.exe"),       scratch.Join(L".\\viewer.exe"),
      scratch.Join(L"sub\\.\\..\\.\\viewer.exe"), scratch.path() + L"\\\\viewer.exe",
      scratch.Join(L"sub/../viewer.exe"),
  };
  for (const auto& spelling : spellings) {
    EXPECT_TRUE(IsExistingFile(spelling)) << Utf8(spelling);
  }
  EXPECT_TRUE(IsDirectory(scratch.Join(L"sub\\..")));
  EXPECT_TRUE(IsDirectory(scratch.Join(L"sub\\.")));
  EXPECT_FALSE(IsExistingFile(scratch.Join(L"sub\\..\\missing.exe")));

  // Drive-relative: relative to the current directory of that drive.
  ASSERT_GE(scratch.path().size(), 3u);
  ASSERT_EQ(scratch.path()[1], L':');
  CurrentDirectory current(scratch.path());
  ASSERT_TRUE(current.changed());
  EXPECT_TRUE(IsExistingFile(scratch.path().substr(0, 2) + L"viewer.exe"));
}

TEST(PathAttributes, ReachPathsLongerThanMaxPath) {
  ScratchDirectory scratch(L"path");
  std::wstring directory = scratch.path();
  const std::wstring component(60, L'd');
  while (directory.size() < 320) {
    directory = JoinPath(directory, component);
    ASSERT_TRUE(CreateDirectoryW(ToLongPath(directory).c_str(), nullptr)) << GetLastError();
  }
  const std::wstring file = JoinPath(directory, L"deep.txt");
  ASSERT_GT(file.size(), 300u);
  ASSERT_TRUE(test::WriteWholeFile(file, "deep"));

  EXPECT_TRUE(IsDirectory(directory));
  EXPECT_TRUE(IsExistingFile(file));
  EXPECT_FALSE(IsExistingFile(directory));
  EXPECT_FALSE(IsExistingFile(JoinPath(directory, L"missing.txt")));
  std::wstring full;
  ASSERT_TRUE(ResolveFullPath(file, full));
  EXPECT_EQ(full, file);
  EXPECT_EQ(ParentDirectory(file), directory);
}

TEST(ModuleDirectory, IsTheDirectoryOfThisProgram) {
  std::vector<wchar_t> buffer(32768);
  const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  ASSERT_GT(length, 0u);
  const std::wstring program(buffer.data(), length);

  const std::wstring directory = ModuleDirectory();
  ASSERT_FALSE(directory.empty());
  EXPECT_TRUE(IsDirectory(directory));
  EXPECT_EQ(CompareStringOrdinal(FileNameOf(program).c_str(), -1, L"test_storage.exe", -1, TRUE), CSTR_EQUAL);
  EXPECT_EQ(JoinPath(directory, FileNameOf(program)), program);
  EXPECT_TRUE(IsExistingFile(JoinPath(directory, FileNameOf(program))));
}

}  // namespace
}  // namespace hv
