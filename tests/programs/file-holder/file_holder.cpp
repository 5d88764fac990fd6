// Holds a file open as another process would, until told to let go.
//   file-holder.exe FILE SHARE READY-FILE RELEASE-FILE [MAX-MS]
// SHARE: none | read | readwrite (no delete sharing) | all. Writes "open" (or "error
// CODE") to READY-FILE, then waits until RELEASE-FILE exists or MAX-MS have passed.
#include <windows.h>

#include <string>

#include "storage/path.h"
#include "text/unique_handle.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 5) return 64;
  const std::wstring share = argv[2];
  const DWORD shareMode = share == L"none"        ? 0
                          : share == L"read"      ? FILE_SHARE_READ
                          : share == L"readwrite" ? FILE_SHARE_READ | FILE_SHARE_WRITE
                                                  : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const hv::UniqueFile file(CreateFileW(hv::ToLongPath(argv[1]).c_str(), GENERIC_READ | GENERIC_WRITE, shareMode,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  // Written under another name and renamed, so a waiter never reads half a word.
  const std::string ready = !file ? "error " + std::to_string(GetLastError()) : "open";
  const std::wstring partial = std::wstring(argv[3]) + L".partial";
  hv::UniqueFile signal(CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  WriteFile(signal.get(), ready.data(), static_cast<DWORD>(ready.size()), &written, nullptr);
  signal.reset();
  MoveFileExW(partial.c_str(), argv[3], MOVEFILE_REPLACE_EXISTING);
  if (!file) return 1;

  const ULONGLONG deadline = GetTickCount64() + (argc > 5 ? _wtoi(argv[5]) : 60000);
  while (GetFileAttributesW(argv[4]) == INVALID_FILE_ATTRIBUTES && GetTickCount64() < deadline) Sleep(2);
  return 0;
}
