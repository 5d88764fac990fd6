// Holds a file open as another process would, until told to let go.
//   file-holder.exe FILE SHARE READY-FILE RELEASE-FILE [MAX-MS]
// SHARE: none | read | readwrite | all | nodelete | lock:OFFSET:LENGTH (all sharing, a byte range locked)
// Writes "open" (or "error CODE") to READY-FILE once the file is open, then waits until
// RELEASE-FILE exists or MAX-MS (default 60000) have passed, and exits.
#include <windows.h>

#include <string>

#include "storage/path.h"

namespace {

void WriteReady(const std::wstring& path, const std::string& text) {
  // Written under another name and renamed, so a waiter never reads half a word.
  const std::wstring partial = path + L".partial";
  HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 5) return 64;
  const std::wstring target = argv[1];
  const std::wstring share = argv[2];
  const DWORD maxMs = argc > 5 ? static_cast<DWORD>(_wtoi(argv[5])) : 60000;

  DWORD shareMode = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  uint64_t lockOffset = 0, lockLength = 0;
  if (share == L"none")
    shareMode = 0;
  else if (share == L"read")
    shareMode = FILE_SHARE_READ;
  else if (share == L"readwrite")
    shareMode = FILE_SHARE_READ | FILE_SHARE_WRITE;
  else if (share == L"nodelete")
    shareMode = FILE_SHARE_READ | FILE_SHARE_WRITE;
  else if (share.rfind(L"lock:", 0) == 0) {
    const size_t colon = share.find(L':', 5);
    lockOffset = _wcstoui64(share.substr(5, colon - 5).c_str(), nullptr, 10);
    lockLength = _wcstoui64(share.substr(colon + 1).c_str(), nullptr, 10);
  }

  HANDLE file = CreateFileW(hv::ToLongPath(target).c_str(), GENERIC_READ | GENERIC_WRITE, shareMode, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    WriteReady(argv[3], "error " + std::to_string(GetLastError()));
    return 1;
  }
  if (lockLength > 0 && !LockFile(file, static_cast<DWORD>(lockOffset), static_cast<DWORD>(lockOffset >> 32),
                                  static_cast<DWORD>(lockLength), static_cast<DWORD>(lockLength >> 32))) {
    WriteReady(argv[3], "error " + std::to_string(GetLastError()));
    CloseHandle(file);
    return 1;
  }
  WriteReady(argv[3], "open");
  const ULONGLONG deadline = GetTickCount64() + maxMs;
  while (GetFileAttributesW(argv[4]) == INVALID_FILE_ATTRIBUTES && GetTickCount64() < deadline) {
    Sleep(2);
  }
  CloseHandle(file);
  return 0;
}
