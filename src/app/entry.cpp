#include "app/entry.h"

#include <objbase.h>
#include <shellapi.h>
#include <windows.h>

#include "app/error_reporting.h"
#include "text/unique_handle.h"

namespace hv {

std::vector<std::wstring> CaptureArguments() {
  int count = 0;
  const UniqueLocal<wchar_t*> argv(CommandLineToArgvW(GetCommandLineW(), &count));
  if (!argv) {
    return {};
  }
  return std::vector<std::wstring>(argv.get(), argv.get() + count);
}

namespace {

// A library planted in the current directory (wherever the host starts us) must not load by name.
// Only the current directory leaves the search: the shell's handlers of a viewer it opens for us
// still find their libraries beside themselves, on PATH and through the altered search path.
// The system directory stands in its place rather than the empty string, which does the same on
// Windows but not under Wine; it is searched anyway.
void TakeCurrentDirectoryOutOfLibrarySearch() {
  wchar_t system[MAX_PATH + 1] = {};  // the empty string should the call fail
  GetSystemDirectoryW(system, MAX_PATH + 1);
  SetDllDirectoryW(system);
}

}  // namespace

int RunWithCom(const RunFunction& run) {
  TakeCurrentDirectoryOutOfLibrarySearch();
  // The shell fallback of the viewer launch wants a single-threaded apartment.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const std::vector<std::wstring> arguments = CaptureArguments();
  int exitCode = 2;
  if (arguments.empty()) {
    WriteErrorOutput(L"cannot read the command line", kErrorLineLimit);
  } else {
    exitCode = run(arguments);
  }
  if (SUCCEEDED(com)) {
    CoUninitialize();
  }
  return exitCode;
}

}  // namespace hv
