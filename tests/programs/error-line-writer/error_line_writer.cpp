// Sends one message through the error output, for the error reporting tests:
//
//   error-line-writer.exe report HEX    ReportError of the message
//   error-line-writer.exe LIMIT HEX     WriteErrorOutput of the message with LIMIT
//
// HEX spells the message with four hexadecimal digits per UTF-16 unit, so that any unit
// (an unpaired surrogate, a line feed) survives the command line. Before reporting it
// tells on standard output whether it has a standard error handle, then exits with 3.
#include <windows.h>

#include <cwchar>
#include <string>

#include "app/error_reporting.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 64;
  const std::wstring mode = argv[1];
  const std::wstring hex = argv[2];
  std::wstring message;
  for (size_t i = 0; i + 4 <= hex.size(); i += 4) {
    message.push_back(static_cast<wchar_t>(std::wcstoul(hex.substr(i, 4).c_str(), nullptr, 16)));
  }

  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  const std::string line = error == nullptr || error == INVALID_HANDLE_VALUE ? "stderr:none\n" : "stderr:present\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);

  if (mode == L"report") {
    hv::ReportError(message);
  } else {
    hv::WriteErrorOutput(message, static_cast<unsigned>(std::wcstoul(mode.c_str(), nullptr, 10)));
  }
  return 3;
}
