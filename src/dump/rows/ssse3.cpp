// Rows by byte shuffles (SSSE3): a row line as six 16-byte stores, each the OR of a few
// shuffles of the row's digits and text and of the template's fixed characters.
#include <immintrin.h>

#include <utility>

#include "dump/rows/row_layout.h"
#include "dump/rows/row_paths.h"

#define HV_SSSE3 __attribute__((target("ssse3")))

namespace hv::rows {
namespace {

// The sources a store picks from: the 8 offset digits, the digit pairs of cells 0-7 and of
// cells 8-15 (high digit first), and the 16 text characters.
enum Source : size_t { kOffset, kFirstCells, kLastCells, kText, kSources };

// Stores at columns 1, 17, 33, 49 and 65, and a last one that ends with the row, overlapping
// the one before, so that nothing is stored past the row's 85 bytes.
constexpr size_t kStores = 6;
constexpr size_t StoreStart(size_t store) { return store + 1 < kStores ? 16 * store : kRowText - 16; }
static_assert(StoreStart(kStores - 2) + 16 > StoreStart(kStores - 1), "the stores cover the row");

// For every store and source, which byte of the source lands in each column (-1, none: the
// shuffle leaves a zero there), and the fixed characters to OR in.
struct ShuffleMasks {
  alignas(16) signed char pick[kStores][kSources][16];
  alignas(16) char fill[kStores][16];
  bool uses[kStores][kSources];
};

constexpr ShuffleMasks MakeShuffleMasks() {
  ShuffleMasks masks{};
  for (size_t store = 0; store < kStores; ++store) {
    for (size_t i = 0; i < 16; ++i) {
      for (size_t source = 0; source < kSources; ++source) {
        masks.pick[store][source][i] = -1;
      }
      const size_t column = StoreStart(store) + i;
      const Slot slot = kRowSlots.at[column];
      const size_t cell = slot.index % 8;
      const size_t cells = slot.index < 8 ? kFirstCells : kLastCells;
      size_t source = kSources;
      size_t index = slot.index;
      switch (slot.kind) {
        case SlotKind::Fixed:
          masks.fill[store][i] = kRowPattern[column];
          break;
        case SlotKind::OffsetDigit:
          source = kOffset;
          break;
        case SlotKind::HighDigit:
          source = cells;
          index = 2 * cell;
          break;
        case SlotKind::LowDigit:
          source = cells;
          index = 2 * cell + 1;
          break;
        case SlotKind::Text:
          source = kText;
          break;
      }
      if (source != kSources) {
        masks.pick[store][source][i] = static_cast<signed char>(index);
        masks.uses[store][source] = true;
      }
    }
  }
  return masks;
}

constexpr ShuffleMasks kMasks = MakeShuffleMasks();

HV_SSSE3 inline __m128i Load(const void* mask) { return _mm_load_si128(static_cast<const __m128i*>(mask)); }

// Only the shuffles a store needs are made; the others are known at compile time to be zero.
template <size_t Store, size_t Source>
HV_SSSE3 inline __m128i Pick(const __m128i (&sources)[kSources]) {
  if constexpr (kMasks.uses[Store][Source]) {
    return _mm_shuffle_epi8(sources[Source], Load(kMasks.pick[Store][Source]));
  } else {
    return _mm_setzero_si128();
  }
}

template <size_t Store>
HV_SSSE3 inline void StoreBlock(char* row, const __m128i (&sources)[kSources]) {
  const __m128i block = _mm_or_si128(_mm_or_si128(Pick<Store, kOffset>(sources), Pick<Store, kFirstCells>(sources)),
                                     _mm_or_si128(Pick<Store, kLastCells>(sources), Pick<Store, kText>(sources)));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(row + StoreStart(Store)), _mm_or_si128(block, Load(kMasks.fill[Store])));
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

HV_SSSE3 void WriteSsse3Row(char* row, uint64_t offset, const unsigned char* bytes, bool uppercase) {
  WriteSsse3Row(row, offset, bytes, DigitVector(uppercase));
}

HV_SSSE3 void WriteSsse3Rows(char* out, uint64_t offset, const unsigned char* bytes, uint64_t count, bool uppercase) {
  const __m128i digits = DigitVector(uppercase);
  for (; count >= kBytesPerRow; count -= kBytesPerRow, offset += kBytesPerRow, bytes += kBytesPerRow, out += kRowText) {
    WriteSsse3Row(out, offset, bytes, digits);
  }
  WriteTableRows(out, offset, bytes, count, uppercase);  // the short last row, if any
}

}  // namespace hv::rows
