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

int RunWithCom(const RunFunction& run) {
  // Dumps are written beside the program, so no library the shell, COM or a message box loads
  // later may come from there, nor from the current directory: only from the system's.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
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
