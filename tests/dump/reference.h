// The dump text as the format defines it, built line by line for tests to hold the program to.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

namespace hv::test {

inline const std::string kEquals(83, '='), kDashes(83, '-');
// These tests' paths (ASCII, é) a byte a character: UTF-8 of ASCII, and what the ANSI code page 1252 makes of é.
inline std::string Narrow(const std::wstring& path) { return std::string(path.begin(), path.end()); }

inline std::string RandomBytes(size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(count, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

// One row: 8 digits of bits 31..0, 5 spaces, 16 cells, 4 spaces, the decoded text between bars.
inline std::string Row(uint64_t offset, const unsigned char* bytes, uint64_t count, bool upper) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string row;
  for (int shift = 28; shift >= 0; shift -= 4) row += digits[(offset >> shift) & 15];
  row += "     ";
  for (uint64_t k = 0; k < 16; ++k) {
    row += k < count ? std::string{digits[bytes[k] >> 4], digits[bytes[k] & 15]} : "  ";
    row += k == 15 ? "" : k == 7 ? "  " : " ";
  }
  row += "    |";
  for (uint64_t k = 0; k < 16; ++k) row += k >= count ? ' ' : bytes[k] >= 0x20 && bytes[k] <= 0x7E ? bytes[k] : '.';
  return row + "|\r\n";
}
inline std::string Rows(uint64_t offset, const void* data, uint64_t count, bool upper = true) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  std::string rows;
  for (uint64_t i = 0; i < count; i += 16) rows += Row(offset + i, bytes + i, std::min<uint64_t>(count - i, 16), upper);
  return rows;
}
inline std::string Header(const std::string& utf8Path, const std::string& size, const std::string& range) {
  return kEquals + "\r\n[Lumo Hex Dump]\r\nFile:      " + utf8Path + "\r\nSize:      " + size +
         "\r\nRange:     " + range + "\r\n" + kEquals + "\r\n";
}
inline std::string Columns(bool upper = true) {
  return std::string("\r\nOffset(h)    00 01 02 03 04 05 06 07  08 09 ") +
         (upper ? "0A 0B 0C 0D 0E 0F" : "0a 0b 0c 0d 0e 0f") + "    Decoded Text\r\n";
}
inline std::string Footer(const std::string& line) {
  return "\r\n" + kDashes + "\r\n" + line + "\r\n" + kDashes + "\r\n";
}

inline std::string OpenErrorReport(const std::string& utf8Path, const std::string& error) {
  return kEquals + "\r\n[Lumo Hex Dump Error]\r\nFile:      " + utf8Path +
         "\r\nError:     Cannot open file for reading (" + error + ")\r\n" + kEquals + "\r\n";
}

inline const std::string kHello = std::string("Hello, world!\r\nBye") + '\0' + '\xFF';
// The format's first example (scripts/release.sh holds it written out), with the input's path on its File line.
inline std::string HelloDump(const std::string& utf8Path) {
  return Header(utf8Path, "20 bytes", "Showing all 20 bytes (0x00000000 - 0x00000013)") + Columns() +
         Rows(0, kHello.data(), 20) + Footer("[End of File: Fully displayed] (Total: 20 bytes)");
}

}  // namespace hv::test
