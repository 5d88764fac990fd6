// UTF-16 to 8-bit text, and the digits of numbers.
#pragma once

#include <cstdint>
#include <string>

namespace hv {

// UTF-8 of a UTF-16 text; an unpaired surrogate becomes EF BF BD. Empty on failure.
std::string WideToUtf8(const std::wstring& text);

// The text in the system's ANSI code page, with best-fit or default characters
// for what the code page lacks. Empty on failure.
std::string WideToAnsi(const std::wstring& text);

// A path, or a text that holds paths, as the program shows it: each control character, line or
// paragraph separator and direction mark as U+FFFD, so that no path can break a line of its own
// or show reordered.
std::wstring ShownText(const std::wstring& text);

// Digits only: no grouping, no leading zeros; a minus sign before a negative value.
std::wstring DecimalText(uint32_t value);
std::wstring DecimalText(uint64_t value);
std::wstring DecimalText(int64_t value);

// The value's hexadecimal digits, most significant first, with leading zeros up to
// `minimumDigits`.
std::string HexText(uint64_t value, bool uppercase, unsigned minimumDigits);

}  // namespace hv
