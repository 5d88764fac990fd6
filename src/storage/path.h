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

// The full path an input is known by: its dump name and the File line rest on it.
// Resolved without its long-path prefix, falling back to the normalised path when the
// platform cannot resolve it; only a long-form input with a name that ends in dots or
// blanks, which resolving would change, is taken as it stands.
std::wstring InputFullPath(const std::wstring& input);

uint32_t GetPathAttributes(const std::wstring& path);
bool IsDirectory(const std::wstring& path);
bool IsExistingFile(const std::wstring& path);

// Directory of the running program file; empty when the platform gives none.
std::wstring ModuleDirectory();

}  // namespace hv
