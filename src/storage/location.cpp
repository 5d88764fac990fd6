#include "storage/location.h"

#include <windows.h>

#include <vector>

#include "storage/path.h"
#include "storage/retry.h"
#include "text/encoding.h"
#include "text/unique_handle.h"

namespace hv {
namespace {

constexpr wchar_t kProbeFileName[] = L".lumo-write-probe";
constexpr wchar_t kPluginsDirectoryName[] = L"LumoControlPlugins";
constexpr DWORD kTempBufferLength = 32768;
// Simultaneous runs take turns on the probe file; on a loaded machine a turn can outlast a
// few tries, so up to about a second is waited out before the directory counts as refusing.
constexpr int kProbeAttempts = 20;
constexpr DWORD kProbePauseMs = 50;

// Index of the first component that may need creating: past a drive root, past a
// UNC server and share (which are never created), or the start of a relative path.
size_t FirstCreatableIndex(const std::wstring& path) {
  if (IsUncPath(path)) {
    const size_t serverEnd = path.find(L'\\', 2);
    if (serverEnd == std::wstring::npos) {
      return path.size();
    }
    const size_t shareEnd = path.find(L'\\', serverEnd + 1);
    return shareEnd == std::wstring::npos ? path.size() : shareEnd + 1;
  }
  if (path.size() >= 2 && path[1] == L':') {
    return 3;
  }
  return 0;
}

// Deleted by another run but not yet closed, a file stands in the listing while its
// attributes are refused.
bool IsPendingDeletion(const std::wstring& path) {
  WIN32_FIND_DATAW data;
  return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES &&
         UniqueFind(FindFirstFileW(path.c_str(), &data)).valid();
}

// Only another instance probing the same directory holds the probe file, and only for a moment:
// open (32), or deleted but not yet closed (5). Access denied is also the lasting answer of a
// directory that takes no new files and of a probe file that refuses writes (read-only,
// immutable, a directory of that name), which must cost no wait.
bool IsProbeHeldByAnotherRun(uint32_t code, const std::wstring& probe) {
  return code == ERROR_SHARING_VIOLATION || (code == ERROR_ACCESS_DENIED && IsPendingDeletion(probe));
}

void SetFirstError(std::wstring* error, const std::wstring& text) {
  if (error != nullptr && error->empty()) {
    *error = text;
  }
}

bool CreateDirectories(const std::wstring& directory) {
  const std::wstring path = StripTrailingSeparators(NormalizeSeparators(directory));
  size_t start = FirstCreatableIndex(path);
  while (start < path.size()) {
    const size_t separator = path.find(L'\\', start);
    const std::wstring prefix = separator == std::wstring::npos ? path : path.substr(0, separator);
    if (!prefix.empty()) {
      // An existing directory is no error; the final test below decides.
      CreateDirectoryW(ToLongPath(prefix).c_str(), nullptr);
    }
    if (separator == std::wstring::npos) {
      break;
    }
    start = separator + 1;
  }
  return IsDirectory(path);
}

}  // namespace

std::wstring TempDirectory() {
  std::vector<wchar_t> buffer(kTempBufferLength, L'\0');
  const DWORD length = GetTempPathW(kTempBufferLength, buffer.data());
  if (length == 0 || length >= kTempBufferLength) {
    return {};
  }
  return StripTrailingSeparators(std::wstring(buffer.data(), length));
}

std::wstring PluginTempDirectory(const std::wstring& tempDirectory, const std::wstring& pluginName) {
  return JoinPath(JoinPath(tempDirectory, kPluginsDirectoryName), pluginName);
}

bool ProbeDirectoryWritable(const std::wstring& directory, std::wstring* error) {
  if (!IsDirectory(directory) && !CreateDirectories(directory)) {
    SetFirstError(error, L"'" + directory + L"' cannot be created");
    return false;
  }
  // Forward slashes mean nothing after the long-path prefix: the probe file is named in
  // the canonical form, while messages keep the directory as given.
  const std::wstring probe = ToLongPath(JoinPath(NormalizeSeparators(directory), kProbeFileName));
  const auto createProbe = [&] {
    return UniqueFile(
               CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr))
        .valid();
  };
  uint32_t code = 0;
  const auto heldByAnotherRun = [&](uint32_t failure) { return IsProbeHeldByAnotherRun(failure, probe); };
  if (TryWithPauses(kProbeAttempts, kProbePauseMs, code, createProbe, heldByAnotherRun)) {
    DeleteFileW(probe.c_str());
    return true;
  }
  SetFirstError(error, L"'" + directory + L"' rejects writes (error " + DecimalText(code) + L")");
  return false;
}

WritableLocation ChooseWritableLocation(const std::wstring& preferred, const std::wstring& pluginName) {
  WritableLocation location;
  if (!preferred.empty()) {
    std::wstring preferredError;
    if (ProbeDirectoryWritable(preferred, &preferredError)) {
      location.directory = StripTrailingSeparators(NormalizeSeparators(preferred));
      return location;
    }
    location.errors = preferredError;
  }
  const std::wstring temp = TempDirectory();
  if (temp.empty()) {
    if (!location.errors.empty()) {
      location.errors += L"; the system temporary directory is unavailable";
    }
    return location;
  }
  const std::wstring candidate = PluginTempDirectory(temp, pluginName);
  std::wstring candidateError;
  if (ProbeDirectoryWritable(candidate, &candidateError)) {
    location.directory = candidate;
    return location;
  }
  if (location.errors.empty()) {
    location.errors = candidateError;
  } else if (!candidateError.empty()) {
    location.errors += L"; " + candidateError;
  }
  return location;
}

}  // namespace hv
