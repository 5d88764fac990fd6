#include "app/error_reporting.h"

#include <windows.h>

#include <climits>
#include <string>

#include "text/encoding.h"

namespace hv {
namespace {

constexpr wchar_t kTitle[] = L"Lumo Hex View Error";

}  // namespace

bool IsTestNoUi() {
  wchar_t value[8] = {};
  const DWORD n = GetEnvironmentVariableW(L"LUMO_TEST_NO_UI", value, 8);
  // 8 or more is the size a longer value would need: it did not fit, so it is not "1".
  if (n == 0 || n >= 8) {
    return false;
  }
  return std::wstring(value) == L"1";
}

void ReportError(const std::wstring& message) {
  if (IsTestNoUi()) {
    WriteErrorOutput(std::wstring(kTitle) + L": " + message, kErrorLineLimit);
    return;
  }
  MessageBoxW(nullptr, message.c_str(), kTitle, MB_ICONERROR);
}

void WriteErrorOutput(const std::wstring& text, unsigned limit) {
  const std::wstring line = TruncateText(text, limit);
  if (line.empty()) {
    return;
  }
  std::string bytes = WideToAnsi(line);
  if (bytes.empty()) {
    return;
  }
  bytes += "\r\n";
  const HANDLE output = GetStdHandle(STD_ERROR_HANDLE);
  if (output == nullptr || output == INVALID_HANDLE_VALUE) {
    return;
  }
  if (bytes.size() > static_cast<size_t>(ULONG_MAX)) {
    return;
  }
  DWORD written = 0;
  WriteFile(output, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::wstring TruncateText(const std::wstring& text, unsigned limit) {
  if (text.size() <= limit) {
    return text;
  }
  const uint64_t omitted = text.size() - limit;
  return text.substr(0, limit) + L"\n[... truncated, " + DecimalText(omitted) + L" characters omitted]";
}

}  // namespace hv
