// The design floor of prune_bench.sh: the file work of one run and nothing else, in plain Win32
// calls, with COM and user32 loaded as in the program.
//   design-floor.exe INPUT VIEWER REPORT_BYTES
// It probes its own folder and its dumps folder, removes its previous dump, starts the viewer,
// reads 64 KiB of the input, writes a temporary file of REPORT_BYTES, flushes it and renames it
// onto its dump; then lists the dumps folder once and, the listing complete, deletes the .hextxt
// and .tmp files it showed older than seven days, each judged on its attributes read again.
// Exit code 1 for wrong arguments, 2 to 7 for the step that failed.
//
// Built with HV_FLOOR_SHELL32 it also splits its command line with CommandLineToArgvW, which
// loads shell32 as the program's entry does; with HV_FLOOR_LOOKUPS it also makes the program's
// two lookups of names not in the folder: the previous dump is renamed aside before it is
// deleted, and the dump's attributes are read before the rename onto it.
// Built with the stack guard, the program's own, its start-up draws the guard as the program's
// does.
#include <objbase.h>
#include <windows.h>
#ifdef HV_FLOOR_SHELL32
#include <shellapi.h>
#endif

#include <cstdio>
#include <cwchar>

namespace {

constexpr ULONGLONG kMaximumAge = 6048000000000ull;
constexpr DWORD kChunk = 65536;
constexpr size_t kPath = MAX_PATH + 64;
using Path = wchar_t[kPath];

char gChunk[kChunk];

ULONGLONG Value(const FILETIME& time) {
  return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

bool Probe(const wchar_t* directory) {
  Path probe;
  swprintf(probe, kPath, L"%ls\\.lumo-write-probe", directory);
  HANDLE file = CreateFileW(probe, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PATH_NOT_FOUND && CreateDirectoryW(directory, nullptr)) {
    file = CreateFileW(probe, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  CloseHandle(file);
  DeleteFileW(probe);
  return true;
}

bool IsDumpName(const wchar_t* name) {
  const size_t length = wcslen(name);
  return (length >= 7 && _wcsicmp(name + length - 7, L".hextxt") == 0) ||
         (length >= 4 && _wcsicmp(name + length - 4, L".tmp") == 0);
}

void Prune(const wchar_t* dumps) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const ULONGLONG cutOff = Value(now) - kMaximumAge;
  Path path;
  swprintf(path, kPath, L"%ls\\*", dumps);
  WIN32_FIND_DATAW data;
  HANDLE search =
      FindFirstFileExW(path, FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) {
    return;
  }
  // The names listed as old, kept until the listing is complete: a partial one deletes nothing.
  Path* old = nullptr;
  size_t count = 0, room = 0;
  bool complete = true;
  do {
    if ((data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
        Value(data.ftLastWriteTime) >= cutOff || !IsDumpName(data.cFileName)) {
      continue;
    }
    if (count == room) {
      room = room == 0 ? 64 : 2 * room;
      void* larger = old == nullptr ? HeapAlloc(GetProcessHeap(), 0, room * sizeof(Path))
                                    : HeapReAlloc(GetProcessHeap(), 0, old, room * sizeof(Path));
      if (larger == nullptr) {
        complete = false;
        break;
      }
      old = static_cast<Path*>(larger);
    }
    swprintf(old[count++], kPath, L"%ls\\%ls", dumps, data.cFileName);
  } while (FindNextFileW(search, &data));
  complete = complete && GetLastError() == ERROR_NO_MORE_FILES;
  FindClose(search);
  for (size_t i = 0; complete && i < count; ++i) {
    WIN32_FILE_ATTRIBUTE_DATA current;
    if (GetFileAttributesExW(old[i], GetFileExInfoStandard, &current) && Value(current.ftLastWriteTime) < cutOff) {
      if ((current.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetFileAttributesW(old[i], current.dwFileAttributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
      }
      DeleteFileW(old[i]);
    }
  }
  if (old != nullptr) {
    HeapFree(GetProcessHeap(), 0, old);
  }
}

bool RemovePreviousDump(const wchar_t* dump) {
#ifdef HV_FLOOR_LOOKUPS
  Path aside;
  swprintf(aside, kPath, L"%ls.%lu_%lu.removed.tmp", dump, GetCurrentProcessId(), static_cast<DWORD>(GetTickCount64()));
  if (MoveFileExW(dump, aside, 0)) {
    return DeleteFileW(aside) != FALSE;
  }
#endif
  return DeleteFileW(dump) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool StartViewer(const wchar_t* viewer, const wchar_t* dump) {
  wchar_t commandLine[3 * kPath];
  swprintf(commandLine, 3 * kPath, L"\"%ls\" \"--wait-file\" \"--wait-timeout=30000\" \"--\" \"%ls\"", viewer, dump);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
    return false;
  }
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return true;
}

bool ReadChunk(const wchar_t* input) {
  HANDLE file = CreateFileW(input, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  DWORD got = 0;
  const bool read = ReadFile(file, gChunk, kChunk, &got, nullptr) && got == kChunk;
  CloseHandle(file);
  return read;
}

// The report's bytes (the chunk over and over) in one write, as the program makes it.
bool WriteDump(const wchar_t* dump, DWORD reportBytes) {
  char* report = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, reportBytes));
  if (report == nullptr) {
    return false;
  }
  for (DWORD i = 0; i < reportBytes; i += kChunk) {
    memcpy(report + i, gChunk, reportBytes - i < kChunk ? reportBytes - i : kChunk);
  }
  Path temporary;
  swprintf(temporary, kPath, L"%ls.%lu_%lu.tmp", dump, GetCurrentProcessId(), static_cast<DWORD>(GetTickCount64()));
  HANDLE file = CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  const bool wrote = file != INVALID_HANDLE_VALUE && WriteFile(file, report, reportBytes, &written, nullptr) &&
                     written == reportBytes && FlushFileBuffers(file);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
  }
  HeapFree(GetProcessHeap(), 0, report);
#ifdef HV_FLOOR_LOOKUPS
  GetFileAttributesW(dump);
#endif
  return wrote && MoveFileExW(temporary, dump, MOVEFILE_REPLACE_EXISTING);
}

// Says on standard error which step failed, with the system's error code.
int Failed(int step) {
  const DWORD code = GetLastError();
  char line[80];
  const int length = snprintf(line, sizeof line, "design-floor: step %d failed, error %lu\n", step, code);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), line, static_cast<DWORD>(length), &written, nullptr);
  return step;
}

int Run(int argc, wchar_t** argv) {
  if (argc != 4) {
    MessageBoxW(nullptr, L"usage: design-floor.exe INPUT VIEWER REPORT_BYTES", L"design-floor", MB_OK);
    return 1;
  }
  Path folder, dumps, dump;
  const DWORD length = GetModuleFileNameW(nullptr, folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    return 1;
  }
  *wcsrchr(folder, L'\\') = L'\0';
  swprintf(dumps, kPath, L"%ls\\dumps", folder);
  const wchar_t* inputName = wcsrchr(argv[1], L'\\');
  swprintf(dump, kPath, L"%ls\\floor - %ls.hextxt", dumps, inputName == nullptr ? argv[1] : inputName + 1);
  // A step that fails ends the run with its number as the exit code.
  if (!Probe(folder)) {
    return Failed(2);
  }
  if (!Probe(dumps)) {
    return Failed(3);
  }
  if (!RemovePreviousDump(dump)) {
    return Failed(4);
  }
  if (!StartViewer(argv[2], dump)) {
    return Failed(5);
  }
  if (!ReadChunk(argv[1])) {
    return Failed(6);
  }
  if (!WriteDump(dump, static_cast<DWORD>(_wtoi(argv[3])))) {
    return Failed(7);
  }
  Prune(dumps);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
#ifdef HV_FLOOR_SHELL32
  int count = 0;
  LocalFree(CommandLineToArgvW(GetCommandLineW(), &count));
#endif
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const int exitCode = Run(argc, argv);
  if (SUCCEEDED(com)) {
    CoUninitialize();
  }
  return exitCode;
}
