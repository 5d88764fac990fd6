// The row renderers, one file per path, each writing the same row lines of `count` bytes in
// place; the dispatch in hex_rows.cpp picks one.
#pragma once

#include <cstdint>

// SSE2, which every x86-64 CPU has; SSSE3, AVX2 and AVX-512 only in functions compiled for them
// alone, behind run-time checks of the CPU.
#include <emmintrin.h>

namespace hv::rows {

inline constexpr char kUpperDigits[] = "0123456789ABCDEF";
inline constexpr char kLowerDigits[] = "0123456789abcdef";
inline const char* DigitsFor(bool uppercase) { return uppercase ? kUpperDigits : kLowerDigits; }

// The decoded text of 16 bytes: 0x20..0x7E stay and everything else becomes '.', by one
// signed compare after moving the printable range to the bottom of the signed bytes.
inline __m128i DecodeText(__m128i data) {
  const __m128i shifted = _mm_add_epi8(data, _mm_set1_epi8(0x60));
  const __m128i printable = _mm_cmpgt_epi8(_mm_set1_epi8(static_cast<char>(0xDF)), shifted);
  return _mm_or_si128(_mm_and_si128(printable, data), _mm_andnot_si128(printable, _mm_set1_epi8('.')));
}

// Every x86-64 CPU; also the short last row of the other paths.
void WriteTableRows(char* out, uint64_t offset, const unsigned char* bytes, uint64_t count, bool uppercase);

// Only where the CPU runs SSSE3.
void WriteSsse3Rows(char* out, uint64_t offset, const unsigned char* bytes, uint64_t count, bool uppercase);

// Only where the CPU runs AVX2.
void WriteAvx2Rows(char* out, uint64_t offset, const unsigned char* bytes, uint64_t count, bool uppercase);

// Only where the CPU runs AVX-512 F, BW, VL and VBMI: the compiler takes 128-bit EVEX loads
// (VL) for its 128-bit intrinsics.
void WriteVbmiRows(char* out, uint64_t offset, const unsigned char* bytes, uint64_t count, bool uppercase);

}  // namespace hv::rows
