#include "storage/path.h"

#include <windows.h>

#include <algorithm>
#include <string_view>
#include <vector>

namespace hv {
namespace {

constexpr wchar_t kLongPrefix[] = L"\\\\?\\";
constexpr wchar_t kLongUncPrefix[] = L"\\\\?\\UNC\\";

bool IsDrivePath(const std::wstring& path) { return path.size() >= 2 && path[1] == L':'; }

// The long form turns off the platform's clean-up of a path: forward slashes, empty
// components and "." or ".." would be taken literally and the path would name nothing
// (ERROR_INVALID_NAME). Such a path, and a drive-relative one like C:x, is left in its
// ordinary form for the platform to resolve.
bool NeedsPlatformCleanUp(const std::wstring& path, size_t firstComponent) {
  if (path.find(L'/') != std::wstring::npos) {
    return true;
  }
  size_t start = firstComponent;
  while (start < path.size()) {
    size_t end = path.find(L'\\', start);
    if (end == std::wstring::npos) {
      end = path.size();
    }
    const std::wstring_view component(path.data() + start, end - start);
    if ((component.empty() && end < path.size()) || component == L"." || component == L"..") {
      return true;
    }
    start = end + 1;
  }
  return false;
}

// A component other than "." and ".." that ends in a dot or a blank.
bool HasNameEndingInDotOrBlank(const std::wstring& path) {
  size_t end = path.size();
  while (end > 0) {
    const size_t separator = path.rfind(L'\\', end - 1);
    const size_t start = separator == std::wstring::npos ? 0 : separator + 1;
    const std::wstring_view name(path.data() + start, end - start);
    if (!name.empty() && name != L"." && name != L".." && (name.back() == L'.' || name.back() == L' ')) {
      return true;
    }
    if (separator == std::wstring::npos) {
      break;
    }
    end = separator;
  }
  return false;
}

// The root that resolving a long-form path must keep: "X:\" (the letter folded to a capital,
// which the platform may write either way) or "\\server\share". Empty for any other path,
// and for the device namespaces \\.\ and \\?\, which name no server.
std::wstring ResolvableRoot(const std::wstring& path) {
  if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') {
    const wchar_t letter = path[0] >= L'a' && path[0] <= L'z' ? static_cast<wchar_t>(path[0] - L'a' + L'A') : path[0];
    return {letter, L':', L'\\'};
  }
  if (!IsUncPath(path)) {
    return {};
  }
  const size_t serverEnd = std::min(path.find(L'\\', 2), path.size());
  const std::wstring_view server(path.data() + 2, serverEnd - 2);
  if (server.empty() || server == L"." || server == L"?") {
    return {};
  }
  return path.substr(0, path.find(L'\\', serverEnd + 1));
}

bool IsDevicePath(const std::wstring& path) { return path.compare(0, 4, L"\\\\.\\") == 0; }

// The platform may read a device name in a folder (aux.c, nul.txt, com1) as the device itself,
// \\.\nul, where newer versions of it, and the user, mean the file of that name in that folder.
// That file, when there is one: the folder resolved as the platform resolves it, and the name
// as the platform would have trimmed it.
bool FileInFolder(const std::wstring& path, std::wstring& file) {
  std::wstring name = FileNameOf(path), folder;
  name.erase(name.find_last_not_of(L". ") + 1);
  if (name.empty() || !ResolveFullPath(path + L"\\..", folder)) {
    return false;
  }
  file = JoinPath(folder, name);
  return GetFileAttributesW(ToLongPath(file).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

std::wstring NormalizeSeparators(const std::wstring& path) {
  std::wstring result = path;
  std::replace(result.begin(), result.end(), L'/', L'\\');
  return result;
}

bool HasLongPathPrefix(const std::wstring& path) { return path.size() >= 4 && path.compare(0, 4, kLongPrefix) == 0; }

bool IsUncPath(const std::wstring& path) { return path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\'; }

std::wstring ToLongPath(const std::wstring& path) {
  if (path.empty() || HasLongPathPrefix(path)) {
    return path;
  }
  if (IsUncPath(path)) {
    return NeedsPlatformCleanUp(path, 2) ? path : kLongUncPrefix + path.substr(2);
  }
  if (IsDrivePath(path)) {
    const bool driveRelative = path.size() > 2 && path[2] != L'\\';
    return driveRelative || NeedsPlatformCleanUp(path, 3) ? path : kLongPrefix + path;
  }
  return path;
}

std::wstring StripLongPathPrefix(const std::wstring& path) {
  if (path.size() >= 8 && path.compare(0, 8, kLongUncPrefix) == 0) {
    return L"\\\\" + path.substr(8);
  }
  if (HasLongPathPrefix(path)) {
    return path.substr(4);
  }
  return path;
}

bool IsRootPath(const std::wstring& path) {
  std::wstring c = NormalizeSeparators(path);
  while (c.size() >= 2 && c.back() == L'\\') {
    c.pop_back();
  }
  if (c.size() == 2 && c[1] == L':') {
    return true;
  }
  if (!IsUncPath(c)) {
    return false;
  }
  int separators = 0;
  for (size_t i = 2; i < c.size(); ++i) {
    if (c[i] == L'\\' && ++separators == 2) {
      return false;  // something below the share
    }
  }
  return true;
}

std::wstring StripTrailingSeparators(const std::wstring& path) {
  if (IsRootPath(path)) {
    return path;
  }
  std::wstring result = path;
  while (result.size() > 3 && result.back() == L'\\') {
    result.pop_back();
  }
  return result;
}

std::wstring JoinPath(const std::wstring& base, const std::wstring& leaf) {
  if (base.empty()) {
    return leaf;
  }
  std::wstring result = StripTrailingSeparators(base);
  if (!result.empty() && result.back() != L'\\') {
    result.push_back(L'\\');
  }
  return result + leaf;
}

std::wstring ParentDirectory(const std::wstring& path) {
  std::wstring c = StripTrailingSeparators(NormalizeSeparators(path));  // not const: returned by move
  if (IsRootPath(c)) {
    return c;
  }
  const size_t last = c.rfind(L'\\');
  if (last == std::wstring::npos) {
    return {};
  }
  std::wstring parent = c.substr(0, last);
  if (parent.size() == 2 && parent[1] == L':') {
    parent.push_back(L'\\');
  }
  return parent;
}

std::wstring FileNameOf(const std::wstring& path) {
  const std::wstring c = StripTrailingSeparators(NormalizeSeparators(path));
  const size_t last = c.rfind(L'\\');
  return last == std::wstring::npos ? c : c.substr(last + 1);
}

bool ResolveFullPath(const std::wstring& path, std::wstring& fullPath) {
  const std::wstring c = NormalizeSeparators(path);
  const DWORD needed = GetFullPathNameW(c.c_str(), 0, nullptr, nullptr);
  if (needed == 0) {
    return false;
  }
  std::vector<wchar_t> buffer(static_cast<size_t>(needed) + 2, L'\0');
  const DWORD written = GetFullPathNameW(c.c_str(), needed + 2, buffer.data(), nullptr);
  if (written == 0 || written >= needed + 2) {
    return false;
  }
  fullPath = StripTrailingSeparators(std::wstring(buffer.data(), written));
  return true;
}

InputPath ResolveInputPath(const std::wstring& input) {
  const std::wstring normalized = NormalizeSeparators(input);
  std::wstring full;
  if (!HasLongPathPrefix(normalized)) {
    if (!ResolveFullPath(normalized, full)) {
      full = normalized;
    }
    std::wstring file;
    if (IsDevicePath(full) && !IsDevicePath(normalized) && FileInFolder(normalized, file)) {
      return {file, ToLongPath(file)};
    }
    return {full, ToLongPath(full)};
  }
  const std::wstring plain = StripLongPathPrefix(normalized);
  const std::wstring root = ResolvableRoot(plain);
  // Resolving may turn a device-named file into the device, drop the dots or blanks that end a
  // name, or make a path without a drive letter relative: the input then names another file.
  if (!root.empty() && !HasNameEndingInDotOrBlank(plain) && ResolveFullPath(plain, full) &&
      ResolvableRoot(full) == root) {
    return {full, ToLongPath(full)};
  }
  const std::wstring typed = StripTrailingSeparators(normalized);
  return {root.empty() ? typed : StripLongPathPrefix(typed), typed};
}

uint32_t GetPathAttributes(const std::wstring& path) {
  return GetFileAttributesW(ToLongPath(NormalizeSeparators(path)).c_str());
}

bool IsDirectory(const std::wstring& path) {
  const uint32_t attributes = GetPathAttributes(path);
  return attributes != kInvalidFileAttributes && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsExistingFile(const std::wstring& path) {
  const uint32_t attributes = GetPathAttributes(path);
  return attributes != kInvalidFileAttributes && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::wstring ModuleDirectory() {
  std::vector<wchar_t> buffer(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  return ParentDirectory(std::wstring(buffer.data(), length));
}

}  // namespace hv
