// Rows by byte shuffles (SSSE3), one row at a time, with the masks of row_shuffles.h.
#include <immintrin.h>

#include <utility>

#include "dump/rows/row_layout.h"
#include "dump/rows/row_paths.h"
#include "dump/rows/row_shuffles.h"

#define HV_SSSE3 __attribute__((target("ssse3")))

namespace hv::rows {
namespace {

HV_SSSE3 inline __m128i Load(const void* mask) { return _mm_load_si128(static_cast<const __m128i*>(mask)); }

// Only the shuffles a store needs are made; the others are known at compile time to be zero.
template <size_t Store, size_t Source>
HV_SSSE3 inline __m128i Pick(const __m128i (&sources)[kSources]) {
  if constexpr (kShuffleMasks<1>.uses[Store][Source]) {
    return _mm_shuffle_epi8(sources[Source], Load(kShuffleMasks<1>.pick[Store][Source]));
  } else {
    return _mm_setzero_si128();
  }
}

template <size_t Store>
HV_SSSE3 inline void StoreBlock(char* row, const __m128i (&sources)[kSources]) {
  const __m128i block = _mm_or_si128(_mm_or_si128(Pick<Store, kOffset>(sources), Pick<Store, kFirstCells>(sources)),
                                     _mm_or_si128(Pick<Store, kLastCells>(sources), Pick<Store, kText>(sources)));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(row + StoreStart(Store)),
                   _mm_or_si128(block, Load(kShuffleMasks<1>.fill[Store])));
}

template <size_t... Store>
HV_SSSE3 inline void StoreRow(char* row, const __m128i (&sources)[kSources], std::index_sequence<Store...>) {
  (StoreBlock<Store>(row, sources), ...);
}

HV_SSSE3 inline void WriteSsse3Row(char* row, uint64_t offset, const unsigned char* bytes, __m128i digits) {
  const __m128i nibble = _mm_set1_epi8(0x0F);

  // Every byte's two digits, high nibble first.
  const __m128i data = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
  const __m128i highDigits = _mm_shuffle_epi8(digits, _mm_and_si128(_mm_srli_epi16(data, 4), nibble));
  const __m128i lowDigits = _mm_shuffle_epi8(digits, _mm_and_si128(data, nibble));

  const __m128i offsetBytes = _mm_cvtsi32_si128(static_cast<int>(__builtin_bswap32(static_cast<uint32_t>(offset))));
  const __m128i offsetDigits =
      _mm_unpacklo_epi8(_mm_shuffle_epi8(digits, _mm_and_si128(_mm_srli_epi16(offsetBytes, 4), nibble)),
                        _mm_shuffle_epi8(digits, _mm_and_si128(offsetBytes, nibble)));

  const __m128i sources[kSources] = {offsetDigits, _mm_unpacklo_epi8(highDigits, lowDigits),
                                     _mm_unpackhi_epi8(highDigits, lowDigits), DecodeText(data)};
  StoreRow(row, sources, std::make_index_sequence<kStores>());
}

HV_SSSE3 inline __m128i DigitVector(bool uppercase) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(DigitsFor(uppercase)));
}

}  // namespace

HV_SSSE3 void WriteSsse3Rows(char* out, uint64_t offset, const unsigned char* bytes, uint64_t count, bool uppercase) {
  const __m128i digits = DigitVector(uppercase);
  for (; count >= kBytesPerRow; count -= kBytesPerRow, offset += kBytesPerRow, bytes += kBytesPerRow, out += kRowText) {
    WriteSsse3Row(out, offset, bytes, digits);
  }
  WriteTableRows(out, offset, bytes, count, uppercase);  // the short last row, if any
}

}  // namespace hv::rows
