// Path strings: separators, roots, joins, the long-path form, and a few attribute queries.
// Every path handed to a file-system call goes through ToLongPath first.
#pragma once

#include <cstdint>
#include <string>

namespace hv {

inline constexpr uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;

std::wstring NormalizeSeparators(const std::wstring& path);
bool HasLongPathPrefix(const std::wstring& path);
bool IsUncPath(const std::wstring& path);
std::wstring ToLongPath(const std::wstring& path);
std::wstring StripLongPathPrefix(const std::wstring& path);
bool IsRootPath(const std::wstring& path);
std::wstring StripTrailingSeparators(const std::wstring& path);
std::wstring JoinPath(const std::wstring& base, const std::wstring& leaf);
std::wstring ParentDirectory(const std::wstring& path);
std::wstring FileNameOf(const std::wstring& path);

// Absolute form through GetFullPathNameW, trailing separators removed; false leaves
// fullPath untouched.
bool ResolveFullPath(const std::wstring& path, std::wstring& fullPath);

// How an input is known and reached: `full` is the path its dump is named by and its File
// line shows, `open` the path the platform is handed to read it.
struct InputPath {
  std::wstring full;
  std::wstring open;
};

// An ordinary input is resolved, falling back to the normalised path when the platform cannot
// resolve it; where resolving makes a device of a device-named file in a folder (nul.txt), that
// file is taken when there is one. A long-form input names what the ordinary form may not (a device name such as
// nul.txt, a name ending in dots or blanks, a volume without a drive letter): it is resolved
// only when it has a drive or server root, no name ending in dots or blanks, and resolving
// keeps that root (a device name loses it). Otherwise it is opened as typed and shown so,
// without the prefix when a drive or server path follows it.
InputPath ResolveInputPath(const std::wstring& input);

uint32_t GetPathAttributes(const std::wstring& path);
bool IsDirectory(const std::wstring& path);
bool IsExistingFile(const std::wstring& path);

// Directory of the running program file; empty when the platform gives none.
std::wstring ModuleDirectory();

}  // namespace hv
