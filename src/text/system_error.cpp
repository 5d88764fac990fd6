#include "text/system_error.h"

#include <windows.h>

#include "text/encoding.h"
#include "text/unique_handle.h"

namespace hv {
namespace {

bool IsTrimmedSpace(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\f' || c == L'\v';
}

// The text without the blanks a platform message may begin or end with.
std::wstring TrimMessageText(const std::wstring& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsTrimmedSpace(text[begin])) {
    ++begin;
  }
  while (end > begin && IsTrimmedSpace(text[end - 1])) {
    --end;
  }
  return text.substr(begin, end - begin);
}

}  // namespace

std::wstring SystemErrorText(uint32_t code) {
  UniqueLocal<wchar_t> buffer;
  const DWORD count =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
                     nullptr, code, 0, reinterpret_cast<wchar_t*>(buffer.put()), 0, nullptr);
  const std::wstring text = count > 0 && buffer ? TrimMessageText(std::wstring(buffer.get(), count)) : std::wstring();
  if (text.empty()) {
    return DecimalText(code);
  }
  return text + L" (" + DecimalText(code) + L")";
}

std::wstring FileErrorText(uint32_t code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return L"file not found";
    case ERROR_ACCESS_DENIED:
      return L"access denied";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return L"file is locked by another process";
    default:
      return SystemErrorText(code);
  }
}

}  // namespace hv
