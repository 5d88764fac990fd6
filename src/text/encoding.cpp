#include "text/encoding.h"

#include <windows.h>

#include <algorithm>
#include <charconv>
#include <climits>

namespace hv {
namespace {

std::string ConvertWide(UINT codePage, const std::wstring& text) {
  if (text.empty() || text.size() > static_cast<size_t>(INT_MAX)) {
    return {};
  }
  const int length = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) {
    return {};
  }
  std::string result(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), length, result.data(), size, nullptr, nullptr);
  return result;
}

}  // namespace

std::string WideToUtf8(const std::wstring& text) { return ConvertWide(CP_UTF8, text); }

std::string WideToAnsi(const std::wstring& text) { return ConvertWide(CP_ACP, text); }

namespace {

// Line breaks (C0 and C1 controls, the Unicode line and paragraph separators) forge lines, an
// escape sequence's start (ESC, CSI) drives a terminal, and direction marks and overrides show a
// name reordered.
bool IsShownAsReplacement(wchar_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F || c == 0x2028 ||
         c == 0x2029 || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

}  // namespace

std::wstring ShownText(const std::wstring& text) {
  std::wstring shown = text;
  std::replace_if(shown.begin(), shown.end(), IsShownAsReplacement, L'\xFFFD');
  return shown;
}

namespace {

template <typename Integer>
std::wstring DecimalOf(Integer value) {
  char digits[24];
  const char* const end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  return std::wstring(static_cast<const char*>(digits), end);
}

}  // namespace

std::wstring DecimalText(uint32_t value) { return DecimalOf(value); }
std::wstring DecimalText(uint64_t value) { return DecimalOf(value); }
std::wstring DecimalText(int64_t value) { return DecimalOf(value); }

std::string HexText(uint64_t value, bool uppercase, unsigned minimumDigits) {
  char digits[16];
  const size_t count = static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, value, 16).ptr - digits);
  std::string text(minimumDigits > count ? minimumDigits - count : 0, '0');
  text.append(digits, count);
  if (uppercase) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'a' ? static_cast<char>(c - 'a' + 'A') : c; });
  }
  return text;
}

}  // namespace hv
