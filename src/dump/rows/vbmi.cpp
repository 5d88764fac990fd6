// Rows by two-table byte permutations (AVX-512 VBMI), four rows (340 bytes of text) at a
// time as six 64-byte stores; the last ends at the group's end and overlaps the fifth, so
// nothing is stored past the group. Every byte of a store is picked either from the digits
// (the high-nibble digits of the 64 input bytes, then the low-nibble ones) or from the rest
// (the 64 text characters, then the offsets' high- and low-nibble digits and the fixed
// characters); a bit mask per store says which of the two.
#include <immintrin.h>

#include <utility>

#include "dump/rows/row_layout.h"
#include "dump/rows/row_paths.h"

#define HV_VBMI __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi")))

namespace hv::rows {
namespace {

constexpr size_t kGroupRows = 4;
constexpr size_t kGroupText = kGroupRows * kRowText;
constexpr size_t kGroupStores = 6;
constexpr size_t GroupStoreStart(size_t store) { return store + 1 < kGroupStores ? 64 * store : kGroupText - 64; }
static_assert(GroupStoreStart(kGroupStores - 2) + 64 > GroupStoreStart(kGroupStores - 1), "the stores cover the group");

// The second table of the rest: the offsets' digits go into its first 32 bytes, and every
// fixed character of the template stands after them.
constexpr unsigned char kRestOffsetHigh = 64;
constexpr unsigned char kRestOffsetLow = 80;
constexpr unsigned char kRestFixedStart = 96;
alignas(64) constexpr char kRestFixed[64] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,   0,   0,    0,    0, 0, 0, 0, 0, 0, 0, 0,
                                             0, 0, 0, 0, 0, 0, 0, 0, 0, 0, ' ', '|', '\r', '\n', 0, 0, 0, 0, 0, 0, 0, 0,
                                             0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,   0,   0,    0,    0, 0, 0, 0, 0, 0};

struct GroupPicks {
  unsigned char index[kGroupStores][64];
  uint64_t fromDigits[kGroupStores];
  bool complete = true;  // every fixed character of the template is in the rest
};

constexpr unsigned char FixedIndex(char c, bool& found) {
  for (size_t i = kRestFixedStart - 64; i < 64; ++i) {
    if (kRestFixed[i] == c) {
      return static_cast<unsigned char>(64 + i);
    }
  }
  found = false;
  return 0;
}

constexpr GroupPicks MakeGroupPicks() {
  GroupPicks picks{};
  for (size_t store = 0; store < kGroupStores; ++store) {
    for (size_t i = 0; i < 64; ++i) {
      const size_t at = GroupStoreStart(store) + i;
      const size_t row = at / kRowText;
      const size_t column = at % kRowText;
      const Slot slot = kRowSlots.at[column];
      size_t index = 0;
      bool digit = false;
      switch (slot.kind) {
        case SlotKind::Fixed:
          index = FixedIndex(kRowPattern[column], picks.complete);
          break;
        case SlotKind::OffsetDigit:
          // A row's offset is a little-endian 32-bit lane: its first digit is the top nibble of byte 3.
          index = (slot.index % 2 == 0 ? kRestOffsetHigh : kRestOffsetLow) + 4 * row + 3 - slot.index / 2;
          break;
        case SlotKind::HighDigit:
        case SlotKind::LowDigit:
          index = (slot.kind == SlotKind::HighDigit ? 0 : 64) + kBytesPerRow * row + slot.index;
          digit = true;
          break;
        case SlotKind::Text:
          index = kBytesPerRow * row + slot.index;
          break;
      }
      picks.index[store][i] = static_cast<unsigned char>(index);
      if (digit) {
        picks.fromDigits[store] |= uint64_t{1} << i;
      }
    }
  }
  return picks;
}

alignas(64) constexpr GroupPicks kGroupPicks = MakeGroupPicks();
static_assert(kGroupPicks.complete, "the rest holds every fixed character of the row");

template <size_t Store>
HV_VBMI inline void StoreGroupPart(char* group, __m512i high, __m512i low, __m512i text, __m512i rest) {
  const __m512i index = _mm512_load_si512(kGroupPicks.index[Store]);
  const __m512i fromDigits = _mm512_permutex2var_epi8(high, index, low);
  const __m512i fromRest = _mm512_permutex2var_epi8(text, index, rest);
  _mm512_storeu_si512(group + GroupStoreStart(Store),
                      _mm512_mask_blend_epi8(kGroupPicks.fromDigits[Store], fromRest, fromDigits));
}

template <size_t... Store>
HV_VBMI inline void StoreGroup(char* group, __m512i high, __m512i low, __m512i text, __m512i rest,
                               std::index_sequence<Store...>) {
  (StoreGroupPart<Store>(group, high, low, text, rest), ...);
}

}  // namespace

HV_VBMI void WriteVbmiRows(char* out, uint64_t offset, const unsigned char* bytes, uint64_t count, bool uppercase) {
  const __m128i digits128 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(DigitsFor(uppercase)));
  const __m512i digits = _mm512_broadcast_i32x4(digits128);
  const __m512i nibble = _mm512_set1_epi8(0x0F);
  const __m128i nibble128 = _mm_set1_epi8(0x0F);
  const __m512i fixed = _mm512_load_si512(kRestFixed);
  const uint32_t start = static_cast<uint32_t>(offset);
  // Only the low 32 bits of an offset are printed, so the lanes may wrap.
  __m128i rowOffsets = _mm_setr_epi32(static_cast<int>(start), static_cast<int>(start + 16),
                                      static_cast<int>(start + 32), static_cast<int>(start + 48));
  const __m128i step = _mm_set1_epi32(static_cast<int>(kGroupRows * kBytesPerRow));
  const uint64_t groupBytes = kGroupRows * kBytesPerRow;
  uint64_t done = 0;
  for (; done + groupBytes <= count; done += groupBytes) {
    const __m512i data = _mm512_loadu_si512(bytes + done);
    const __m512i high = _mm512_shuffle_epi8(digits, _mm512_and_si512(_mm512_srli_epi16(data, 4), nibble));
    const __m512i low = _mm512_shuffle_epi8(digits, _mm512_and_si512(data, nibble));
    const __mmask64 printable =
        _mm512_cmplt_epu8_mask(_mm512_sub_epi8(data, _mm512_set1_epi8(0x20)), _mm512_set1_epi8(0x5F));
    const __m512i text = _mm512_mask_blend_epi8(printable, _mm512_set1_epi8('.'), data);
    const __m128i offsetHigh = _mm_shuffle_epi8(digits128, _mm_and_si128(_mm_srli_epi16(rowOffsets, 4), nibble128));
    const __m128i offsetLow = _mm_shuffle_epi8(digits128, _mm_and_si128(rowOffsets, nibble128));
    const __m512i rest = _mm512_inserti32x4(_mm512_inserti32x4(fixed, offsetHigh, 0), offsetLow, 1);
    StoreGroup(out + done / kBytesPerRow * kRowText, high, low, text, rest, std::make_index_sequence<kGroupStores>());
    rowOffsets = _mm_add_epi32(rowOffsets, step);
  }
  if (done < count) {
    WriteSsse3Rows(out + done / kBytesPerRow * kRowText, offset + done, bytes + done, count - done, uppercase);
  }
}

}  // namespace hv::rows
