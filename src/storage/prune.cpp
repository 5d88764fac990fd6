#include "storage/prune.h"

#include <windows.h>

#include <cwchar>

#include "storage/atomic_writer.h"
#include "storage/naming.h"
#include "storage/path.h"
#include "text/ascii.h"
#include "text/system_error.h"
#include "text/unique_handle.h"

namespace hv {
namespace {

constexpr uint64_t kMaximumAge = 6048000000000ull;  // seven days in 100-ns units

uint64_t FileTimeValue(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

bool EndsWith(const std::wstring& text, const std::wstring& ending) {
  return text.size() >= ending.size() && text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

// The directory with exactly one separator after it, also when it is a root.
std::wstring WithSeparator(const std::wstring& directory) {
  return !directory.empty() && directory.back() == L'\\' ? directory : directory + L"\\";
}

// Two allocations an entry, no more: a dumps folder may hold thousands.
DirectoryEntry EntryOf(const WIN32_FIND_DATAW& data, const std::wstring& directory) {
  DirectoryEntry entry;
  entry.name = data.cFileName;
  entry.fullPath.reserve(directory.size() + entry.name.size());
  entry.fullPath.append(directory).append(entry.name);
  entry.attributes = data.dwFileAttributes;
  entry.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  entry.lastWriteTime = FileTimeValue(data.ftLastWriteTime);
  entry.directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  entry.reparsePoint = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  return entry;
}

}  // namespace

bool ListDirectory(const std::wstring& directory, std::vector<DirectoryEntry>& listing, std::wstring* error) {
  const std::wstring prefix = WithSeparator(StripTrailingSeparators(NormalizeSeparators(directory)));
  const std::wstring pattern = ToLongPath(prefix + L"*");
  WIN32_FIND_DATAW data;
  // No short names, and more entries a call: a dumps folder may hold thousands.
  UniqueFind search(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH));
  if (!search) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND) {
      return true;
    }
    if (error != nullptr) {
      *error = L"cannot enumerate '" + directory + L"': " + SystemErrorText(code);
    }
    return false;
  }
  for (;;) {
    if (wcscmp(data.cFileName, L".") != 0 && wcscmp(data.cFileName, L"..") != 0) {
      listing.push_back(EntryOf(data, prefix));
    }
    if (!FindNextFileW(search.get(), &data)) {
      break;
    }
  }
  const DWORD code = GetLastError();
  search.reset();
  if (code == ERROR_NO_MORE_FILES) {
    return true;
  }
  if (error != nullptr) {
    *error = L"enumeration of '" + directory + L"' ended early: " + SystemErrorText(code);
  }
  return false;
}

void PruneOldDumps(const std::wstring& dumpDirectory) {
  if (dumpDirectory.empty()) {
    return;
  }
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const uint64_t nowValue = FileTimeValue(now);
  if (nowValue <= kMaximumAge) {
    return;  // the cut-off would fall before the start of the time scale
  }
  const uint64_t cutOff = nowValue - kMaximumAge;

  std::vector<DirectoryEntry> listing;
  if (!ListDirectory(dumpDirectory, listing)) {
    return;  // a partial listing is no basis for deleting anything
  }
  for (const DirectoryEntry& entry : listing) {
    // A file only grows younger, so one listed as young is young now and needs no second look.
    if (entry.directory || entry.reparsePoint || entry.lastWriteTime >= cutOff) {
      continue;
    }
    const std::wstring lowered = AsciiLower(entry.name);
    if (!EndsWith(lowered, kDumpExtension) && !EndsWith(lowered, kTemporaryExtension)) {
      continue;
    }
    const std::wstring longPath = ToLongPath(entry.fullPath);
    WIN32_FILE_ATTRIBUTE_DATA current;
    if (!GetFileAttributesExW(longPath.c_str(), GetFileExInfoStandard, &current)) {
      continue;  // vanished or out of reach since the listing
    }
    if (FileTimeValue(current.ftLastWriteTime) >= cutOff) {
      continue;
    }
    ClearReadOnlyBit(longPath, current.dwFileAttributes);
    DeleteFileW(longPath.c_str());
  }
}

}  // namespace hv
