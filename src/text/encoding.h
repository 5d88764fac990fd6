// UTF-16 to 8-bit text, and decimal text of numbers.
#pragma once

#include <cstdint>
#include <string>

namespace hv {

// UTF-8 of a UTF-16 text; an unpaired surrogate becomes EF BF BD. Empty on failure.
std::string WideToUtf8(const std::wstring& text);

// The text in the system's ANSI code page, with best-fit or default characters
// for what the code page lacks. Empty on failure.
std::string WideToAnsi(const std::wstring& text);

std::wstring DecimalText(uint32_t value);
std::wstring DecimalText(uint64_t value);
std::wstring DecimalText(int64_t value);

}  // namespace hv
