#include "text/ascii.h"

#include <algorithm>

namespace hv {

std::wstring AsciiLower(const std::wstring& text) {
  std::wstring result = text;
  std::transform(result.begin(), result.end(), result.begin(),
                 [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 0x20) : c; });
  return result;
}

}  // namespace hv
