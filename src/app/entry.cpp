#include "app/entry.h"

#include <objbase.h>
#include <shellapi.h>
#include <windows.h>

#include "app/error_reporting.h"

namespace hv {

std::vector<std::wstring> CaptureArguments() {
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (argv == nullptr) {
    return {};
  }
  std::vector<std::wstring> arguments;
  arguments.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    arguments.emplace_back(argv[i]);
  }
  LocalFree(argv);
  return arguments;
}

int RunWithCom(const RunFunction& run) {
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
