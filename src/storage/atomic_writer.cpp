#include "storage/atomic_writer.h"

#include <windows.h>

#include <algorithm>

#include "storage/naming.h"
#include "storage/path.h"
#include "storage/retry.h"
#include "text/encoding.h"
#include "text/system_error.h"

namespace hv {
namespace {

constexpr int kRenameAttempts = 3;
constexpr DWORD kRenamePauseMs = 50;
constexpr uint64_t kLargestWrite = 0xFFFFFFFFu;
constexpr int kAsideAttempts = 16;

// One WriteFile per call while the count fits its 32-bit parameter and the write goes through
// whole. Answers 0 or the failure's code. A write that comes short without failing gives no
// cause (a full disk, a file-size limit, a quota or a device error alike), so the rest is
// written again, and that call names it; only a call that writes nothing and names nothing is
// taken for the full disk.
DWORD WriteAll(HANDLE file, const void* bytes, uint64_t count) {
  const char* next = static_cast<const char*>(bytes);
  while (count > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min(count, kLargestWrite));
    DWORD written = 0;
    if (!WriteFile(file, next, chunk, &written, nullptr)) {
      return GetLastError();
    }
    if (written == 0) {
      return ERROR_DISK_FULL;
    }
    next += written;
    count -= written;
  }
  return ERROR_SUCCESS;
}

// A file deleted in place while someone still reads it lingers at its path, pending
// deletion, and refuses the rename of the new dump there; moved aside first, it frees the
// path at once. The aside name may be a leftover of an earlier process with the same id,
// so a taken name is followed by a fresh one.
bool MoveAsideAndDelete(const std::wstring& longPath) {
  const std::wstring stem = longPath + L"." + DecimalText(static_cast<uint32_t>(GetCurrentProcessId())) + L"_";
  uint32_t tick = static_cast<uint32_t>(CurrentStorageClock().tickMs());
  for (int attempt = 0; attempt < kAsideAttempts; ++attempt, ++tick) {
    const std::wstring aside = stem + DecimalText(tick) + L".removed" + kTemporaryExtension;
    if (MoveFileExW(longPath.c_str(), aside.c_str(), 0)) {
      DeleteFileW(aside.c_str());  // a leftover ends in .tmp and is pruned in time
      return true;
    }
    const DWORD code = GetLastError();
    if (code != ERROR_ALREADY_EXISTS && code != ERROR_FILE_EXISTS) {
      return false;
    }
  }
  return false;
}

// Reads exactly `count` bytes at the file's current position.
bool ReadExactly(HANDLE file, std::string& into, size_t count) {
  into.assign(count, '\0');
  size_t done = 0;
  while (done < count) {
    DWORD got = 0;
    if (!ReadFile(file, into.data() + done, static_cast<DWORD>(count - done), &got, nullptr) || got == 0) {
      return false;
    }
    done += got;
  }
  return true;
}

}  // namespace

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

bool AtomicFileWriter::Open(const std::wstring& temporaryPath, std::wstring* error) {
  Discard();  // a writer owns one file at a time; a second Open must not leak the first
  temporaryPath_ = temporaryPath;
  // CREATE_NEW: a name that is taken belongs to someone else and is never touched.
  handle_.reset(CreateFileW(ToLongPath(temporaryPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (handle_) {
    return true;
  }
  if (error != nullptr) {
    const DWORD code = GetLastError();
    *error = L"cannot create temporary file '" + temporaryPath + L"': " + SystemErrorText(code);
  }
  temporaryPath_.clear();
  return false;
}

bool AtomicFileWriter::Write(const void* bytes, uint64_t count, std::wstring* error) {
  if (!handle_) {
    if (error != nullptr) {
      *error = L"the temporary file is not open";
    }
    return false;
  }
  if (count == 0) {
    return true;
  }
  const DWORD code = WriteAll(handle_.get(), bytes, count);
  if (code == ERROR_SUCCESS) {
    return true;
  }
  if (error != nullptr) {
    *error = L"cannot write temporary file '" + temporaryPath_ + L"': " + SystemErrorText(code);
  }
  return false;
}

bool AtomicFileWriter::Commit(const std::wstring& targetPath, std::wstring* error) {
  if (!handle_) {
    if (error != nullptr) {
      *error = L"the temporary file is not open";
    }
    return false;
  }
  if (!FlushFileBuffers(handle_.get())) {
    const DWORD code = GetLastError();
    if (error != nullptr) {
      *error = L"cannot flush temporary file '" + temporaryPath_ + L"': " + SystemErrorText(code);
    }
    Discard();
    return false;
  }
  handle_.reset();

  ClearReadOnlyAttribute(targetPath);
  const std::wstring from = ToLongPath(temporaryPath_);
  const std::wstring to = ToLongPath(targetPath);
  // A viewer or scanner may hold the old target for a moment.
  uint32_t lastCode = 0;
  if (TryWithPauses(kRenameAttempts, kRenamePauseMs, lastCode,
                    [&] { return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE; })) {
    temporaryPath_.clear();  // the file is the target now
    return true;
  }
  if (error != nullptr) {
    *error = L"MoveFileExW failed: " + SystemErrorText(lastCode);
  }
  Discard();
  return false;
}

void AtomicFileWriter::Discard() {
  handle_.reset();
  if (!temporaryPath_.empty()) {
    DeleteFileW(ToLongPath(temporaryPath_).c_str());
    temporaryPath_.clear();
  }
}

DumpResult WriteFileAtomically(const std::wstring& temporaryPath, const std::wstring& targetPath,
                               const std::string& content) {
  DumpResult result;
  AtomicFileWriter writer;
  std::wstring error;
  if (!writer.Open(temporaryPath, &error)) {
    result.error = error;
    return result;
  }
  if (!writer.Write(content.data(), content.size(), &error)) {
    writer.Discard();
    result.error = error;
    return result;
  }
  if (!writer.Commit(targetPath, &error)) {
    result.error = error;
    return result;
  }
  result.success = true;
  return result;
}

DumpResult WriteFileDirect(const std::wstring& path, const std::string& content) {
  DumpResult result;
  ClearReadOnlyAttribute(path);
  const UniqueFile file(CreateFileW(ToLongPath(path).c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD code = GetLastError();
    result.error = L"cannot open '" + path + L"' for a direct write: " + SystemErrorText(code);
    return result;
  }
  const DWORD code = WriteAll(file.get(), content.data(), content.size());
  if (code != ERROR_SUCCESS) {
    // What was written stays: a partial report beats none.
    result.error = L"cannot write '" + path + L"': " + SystemErrorText(code);
    return result;
  }
  result.success = true;
  return result;
}

void ClearReadOnlyAttribute(const std::wstring& path) {
  const std::wstring longPath = ToLongPath(path);
  const DWORD attributes = GetFileAttributesW(longPath.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    ClearReadOnlyBit(longPath, attributes);
  }
}

void ClearReadOnlyBit(const std::wstring& longPath, uint32_t attributes) {
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    SetFileAttributesW(longPath.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  }
}

bool RemoveFileIfPresent(const std::wstring& path, uint32_t* errorCode) {
  const uint32_t attributes = GetPathAttributes(path);
  if (attributes == kInvalidFileAttributes) {
    return true;
  }
  // Spelled as the query spelled it: a forward slash means nothing after the long-path prefix.
  const std::wstring longPath = ToLongPath(NormalizeSeparators(path));
  ClearReadOnlyBit(longPath, attributes);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && MoveAsideAndDelete(longPath)) {
    return true;
  }
  if (DeleteFileW(longPath.c_str())) {
    return true;
  }
  const DWORD code = GetLastError();
  if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
    return true;  // gone between the query and the deletion
  }
  if (errorCode != nullptr) {
    *errorCode = code;
  }
  return false;
}

bool ReadFileEnds(const std::wstring& path, size_t count, std::string& head, std::string& tail) {
  const UniqueFile file(CreateFileW(ToLongPath(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart < 0) {
    return false;
  }
  const uint64_t fileSize = static_cast<uint64_t>(size.QuadPart);
  if (fileSize <= 2 * static_cast<uint64_t>(count)) {
    if (!ReadExactly(file.get(), head, static_cast<size_t>(fileSize))) {
      return false;
    }
    tail = head;
    return true;
  }
  LARGE_INTEGER tailStart{};
  tailStart.QuadPart = static_cast<LONGLONG>(fileSize - count);
  return ReadExactly(file.get(), head, count) && SetFilePointerEx(file.get(), tailStart, nullptr, FILE_BEGIN) &&
         ReadExactly(file.get(), tail, count);
}

}  // namespace hv
