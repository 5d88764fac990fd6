// Holds a file open as another process would, until told to let go.
//   file-holder.exe FILE SHARE READY-FILE RELEASE-FILE MAX-MS
// SHARE: none | read | readwrite (no delete sharing) | all, or take: create FILE with no sharing
// the moment it is free, as a foreign program might. Writes "open" (or "error CODE") to
// READY-FILE once it holds FILE, or "watching" when taking, then waits until RELEASE-FILE
// exists or MAX-MS have passed. Exits 0 if it held FILE.
#include <windows.h>

#include <string>

#include "storage/atomic_writer.h"
#include "storage/path.h"
#include "text/unique_handle.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 6) return 64;
  const std::wstring share = argv[2];
  const bool take = share == L"take";
  const DWORD shareMode = share == L"none" || take ? 0
                          : share == L"read"       ? FILE_SHARE_READ
                          : share == L"readwrite"  ? FILE_SHARE_READ | FILE_SHARE_WRITE
                                                   : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const ULONGLONG deadline = GetTickCount64() + _wtoi(argv[5]);
  const auto open = [&] {
    return CreateFileW(hv::ToLongPath(argv[1]).c_str(), GENERIC_READ | GENERIC_WRITE, shareMode, nullptr,
                       take ? CREATE_NEW : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  hv::UniqueFile file(take ? INVALID_HANDLE_VALUE : open());
  // Written under another name and renamed, so a waiter never reads half a word.
  const std::string ready = take ? "watching" : file ? "open" : "error " + std::to_string(GetLastError());
  hv::WriteFileAtomically(std::wstring(argv[3]) + L".partial", argv[3], ready);
  while (take && !file && GetTickCount64() < deadline) {
    file.reset(open());
    if (!file) Sleep(1);
  }
  if (!file) return 1;
  while (!hv::IsExistingFile(argv[4]) && GetTickCount64() < deadline) Sleep(2);
  return 0;
}
