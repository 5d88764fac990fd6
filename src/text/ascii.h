// Case folding of ASCII letters alone, as option names and file endings need it.
#pragma once

#include <string>

namespace hv {

// A to Z become a to z; every other unit stays as it is.
std::wstring AsciiLower(const std::wstring& text);

}  // namespace hv
