#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "storage/path.h"
#include "support/test_support.h"

namespace hv {
namespace {

using test::CurrentDirectory;
using test::ScratchDirectory;
using test::Utf8;

std::wstring Forward(std::wstring path) {
  for (wchar_t& c : path) {
    if (c == L'\\') c = L'/';
  }
  return path;
}

TEST(PathStrings, FollowTheRulesAtTheirEdges) {
  using Operation = std::wstring (*)(const std::wstring&);
  const Operation joinX = [](const std::wstring& base) { return JoinPath(base, L"x"); };
  const struct {
    Operation operation;
    std::wstring input;
    std::wstring output;
  } cases[] = {
      {NormalizeSeparators, L"//srv/a\\b", L"\\\\srv\\a\\b"},
      {ToLongPath, L"C:\\a", L"\\\\?\\C:\\a"},
      {ToLongPath, L"\\\\srv\\sh\\f", L"\\\\?\\UNC\\srv\\sh\\f"},
      {ToLongPath, L"\\\\?\\C:\\a", L"\\\\?\\C:\\a"},
      {ToLongPath, L"\\\\?\\UNC\\srv\\sh", L"\\\\?\\UNC\\srv\\sh"},
      {ToLongPath, L"rel\\f", L"rel\\f"},
      {ToLongPath, L"\\f", L"\\f"},
      {ToLongPath, L"", L""},
      {ToLongPath, L"C:\\dir\\", L"\\\\?\\C:\\dir\\"},
      {ToLongPath, L"C:\\a.b\\...x\\.git", L"\\\\?\\C:\\a.b\\...x\\.git"},
      // The long form would take these literally and name nothing: the platform must
      // resolve them in their ordinary form.
      {ToLongPath, L"C:\\a\\..\\b", L"C:\\a\\..\\b"},
      {ToLongPath, L"C:\\a\\.\\b", L"C:\\a\\.\\b"},
      {ToLongPath, L"C:\\a\\\\b", L"C:\\a\\\\b"},
      {ToLongPath, L"C:rel\\f", L"C:rel\\f"},
      {ToLongPath, L"\\\\srv\\sh\\..\\f", L"\\\\srv\\sh\\..\\f"},
      {StripLongPathPrefix, L"\\\\?\\UNC\\srv\\sh", L"\\\\srv\\sh"},
      {StripLongPathPrefix, L"\\\\?\\C:\\x", L"C:\\x"},
      {StripLongPathPrefix, L"\\\\?\\unc\\srv", L"unc\\srv"},
      {StripLongPathPrefix, L"C:\\x", L"C:\\x"},
      {StripTrailingSeparators, L"C:\\dir\\\\\\", L"C:\\dir"},
      {StripTrailingSeparators, L"C:\\", L"C:\\"},
      {StripTrailingSeparators, L"\\\\srv\\share\\", L"\\\\srv\\share\\"},
      {StripTrailingSeparators, L"ab\\", L"ab\\"},
      {StripTrailingSeparators, L"abc\\", L"abc"},
      {joinX, L"", L"x"},
      {joinX, L"C:\\d\\", L"C:\\d\\x"},
      {joinX, L"C:\\", L"C:\\x"},
      {joinX, L"C:", L"C:\\x"},
      {joinX, L"\\\\srv\\share", L"\\\\srv\\share\\x"},
      {ParentDirectory, L"C:\\a\\b.exe", L"C:\\a"},
      {ParentDirectory, L"C:\\b.exe", L"C:\\"},
      {ParentDirectory, L"C:\\", L"C:\\"},
      {ParentDirectory, L"b.exe", L""},
      {ParentDirectory, L"\\b.exe", L""},
      {ParentDirectory, L"\\\\srv\\share\\b.exe", L"\\\\srv\\share"},
      {ParentDirectory, L"C:/a/b.exe", L"C:\\a"},
      {FileNameOf, L"C:\\a\\b.txt", L"b.txt"},
      {FileNameOf, L"C:\\a\\dir\\", L"dir"},
      {FileNameOf, L"b.txt", L"b.txt"},
      {FileNameOf, L"C:\\", L""},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(cases[i].operation(cases[i].input), cases[i].output) << "row " << i << ": " << Utf8(cases[i].input);
  }

  const std::wstring roots[] = {L"C:",      L"C:\\",           L"C:\\\\\\",        L"C:/",
                                L"\\\\srv", L"\\\\srv\\share", L"\\\\srv\\share\\"};
  const std::wstring notRoots[] = {L"C:\\x", L"\\\\srv\\share\\x", L"\\\\", L"x", L""};
  for (const auto& path : roots) EXPECT_TRUE(IsRootPath(path)) << Utf8(path);
  for (const auto& path : notRoots) EXPECT_FALSE(IsRootPath(path)) << Utf8(path);

  std::wstring full = L"untouched";
  EXPECT_FALSE(ResolveFullPath(L"", full));
  EXPECT_EQ(full, L"untouched");
  ASSERT_TRUE(ResolveFullPath(L"C:/a/./b\\", full));
  EXPECT_EQ(full, L"C:\\a\\b");
}

TEST(ToLongPath, PrefixesShortAndLongDrivePathsAlike) {
  EXPECT_EQ(ToLongPath(L"C:\\abc\\def"), L"\\\\?\\C:\\abc\\def");  // ten units
  std::wstring longPath = L"C:";
  while (longPath.size() < 300) longPath += L"\\directory";
  longPath.resize(300);
  EXPECT_EQ(ToLongPath(longPath), L"\\\\?\\" + longPath);
}

TEST(InputFullPath, GivesOneFullPathForEverySpellingOfAFile) {
  ScratchDirectory scratch(L"path");
  const std::wstring file = scratch.Join(L"in.bin");
  ASSERT_TRUE(test::WriteWholeFile(file, "data"));
  CurrentDirectory current(scratch.path());
  ASSERT_TRUE(current.changed());

  for (const auto& spelling : {file, std::wstring(L"in.bin"), std::wstring(L"./sub/../in.bin"), Forward(file),
                               L"\\\\?\\" + file, file + L"\\"}) {
    EXPECT_EQ(InputFullPath(spelling), file) << Utf8(spelling);
  }
  // A missing file resolves all the same: nothing is opened.
  EXPECT_EQ(InputFullPath(L"missing.bin"), scratch.Join(L"missing.bin"));
}

TEST(PathAttributes, TellFilesDirectoriesAndMissingPathsHoweverSpelled) {
  ScratchDirectory scratch(L"path");
  const std::wstring file = scratch.Join(L"viewer.exe");
  const std::wstring directory = scratch.Join(L"sub");
  ASSERT_TRUE(test::WriteWholeFile(file, "MZ"));
  ASSERT_TRUE(CreateDirectoryW(directory.c_str(), nullptr));
  CurrentDirectory current(scratch.path());
  ASSERT_TRUE(current.changed());

  const struct {
    std::wstring path;
    bool isFile;
    bool isDirectory;
  } cases[] = {
      {file, true, false},
      {Forward(file), true, false},
      {L"\\\\?\\" + file, true, false},
      {scratch.Join(L"sub\\.\\..\\.\\viewer.exe"), true, false},
      {scratch.path() + L"\\\\viewer.exe", true, false},
      {scratch.Join(L"sub/../viewer.exe"), true, false},
      {scratch.path().substr(0, 2) + L"viewer.exe", true, false},  // relative to the drive's directory
      {directory, false, true},
      {directory + L"\\", false, true},
      {scratch.Join(L"sub\\.."), false, true},
      {scratch.Join(L"missing"), false, false},
      {scratch.Join(L"missing\\viewer.exe"), false, false},
      {scratch.Join(L"sub\\..\\missing.exe"), false, false},
      {L"", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsExistingFile(c.path), c.isFile) << Utf8(c.path);
    EXPECT_EQ(IsDirectory(c.path), c.isDirectory) << Utf8(c.path);
  }
  EXPECT_EQ(GetPathAttributes(scratch.Join(L"missing")), kInvalidFileAttributes);
}

TEST(PathAttributes, ReachPathsLongerThanMaxPath) {
  ScratchDirectory scratch(L"path");
  std::wstring directory = scratch.path();
  while (directory.size() < 320) {
    directory = JoinPath(directory, std::wstring(60, L'd'));
    ASSERT_TRUE(CreateDirectoryW(ToLongPath(directory).c_str(), nullptr)) << GetLastError();
  }
  const std::wstring file = JoinPath(directory, L"deep.txt");
  ASSERT_TRUE(test::WriteWholeFile(file, "deep"));

  EXPECT_TRUE(IsDirectory(directory));
  EXPECT_TRUE(IsExistingFile(file));
  EXPECT_FALSE(IsExistingFile(JoinPath(directory, L"missing.txt")));
  EXPECT_EQ(InputFullPath(file), file);
}

TEST(ModuleDirectory, IsTheDirectoryOfThisProgram) {
  std::vector<wchar_t> buffer(32768);
  const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  const std::wstring program(buffer.data(), length);
  ASSERT_TRUE(IsExistingFile(program));
  EXPECT_EQ(JoinPath(ModuleDirectory(), FileNameOf(program)), program);
}

}  // namespace
}  // namespace hv
