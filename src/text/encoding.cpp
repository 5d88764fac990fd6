#include "text/encoding.h"

#include <windows.h>

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

std::wstring DecimalText(uint64_t value) {
  wchar_t digits[20];
  size_t count = 0;
  do {
    digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
    value /= 10;
  } while (value != 0);
  std::wstring text;
  text.reserve(count);
  while (count > 0) {
    text.push_back(digits[--count]);
  }
  return text;
}

std::wstring DecimalText(uint32_t value) { return DecimalText(static_cast<uint64_t>(value)); }

std::wstring DecimalText(int64_t value) {
  if (value >= 0) {
    return DecimalText(static_cast<uint64_t>(value));
  }
  // Negate in unsigned arithmetic so INT64_MIN has a magnitude too.
  const uint64_t magnitude = 0 - static_cast<uint64_t>(value);
  return L"-" + DecimalText(magnitude);
}

}  // namespace hv
