// Takes a path for itself the moment it is free, as a foreign program might, and holds it
// open with no sharing.   path-taker.exe PATH SIGNAL-DIR MAX-MS
// Creates SIGNAL-DIR\watching once it runs and SIGNAL-DIR\taken once it holds PATH, then
// lets go when SIGNAL-DIR\release exists or MAX-MS have passed. Exits 0 if it took PATH.
#include <windows.h>

#include <string>

#include "storage/path.h"
#include "text/unique_handle.h"

namespace {

void Signal(const std::wstring& path) {
  const hv::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return 64;
  const std::wstring path = hv::ToLongPath(argv[1]), signals = argv[2];
  const ULONGLONG deadline = GetTickCount64() + _wtoi(argv[3]);
  Signal(signals + L"\\watching");
  hv::UniqueFile held;
  while (!held && GetTickCount64() < deadline) {
    held.reset(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!held) Sleep(1);
  }
  if (!held) return 1;
  Signal(signals + L"\\taken");
  while (!hv::IsExistingFile(signals + L"\\release") && GetTickCount64() < deadline) Sleep(2);
  return 0;
}
