#include "text/ascii.h"

namespace hv {

std::wstring AsciiLower(const std::wstring& text) {
  std::wstring result = text;
  for (wchar_t& c : result) {
    if (c >= L'A' && c <= L'Z') {
      c = static_cast<wchar_t>(c + 0x20);
    }
  }
  return result;
}

}  // namespace hv
