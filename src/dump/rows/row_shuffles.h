// The byte-shuffle masks of a row line, derived from the slot table at compile time: a row
// as six 16-byte stores, each the OR of a few shuffles of the row's digits and text and of
// the template's fixed characters. The SSSE3 path runs them on one row, the AVX2 path on one
// row in each 128-bit lane.
#pragma once

#include <cstddef>

#include "dump/rows/row_layout.h"

namespace hv::rows {

// The sources a store picks from: the 8 offset digits, the digit pairs of cells 0-7 and of
// cells 8-15 (high digit first), and the 16 text characters.
enum Source : size_t { kOffset, kFirstCells, kLastCells, kText, kSources };

// Stores at columns 1, 17, 33, 49 and 65, and a last one that ends with the row, overlapping
// the one before, so that nothing is stored past the row's 85 bytes.
inline constexpr size_t kStores = 6;
constexpr size_t StoreStart(size_t store) { return store + 1 < kStores ? 16 * store : kRowText - 16; }
static_assert(StoreStart(kStores - 2) + 16 > StoreStart(kStores - 1), "the stores cover the row");

// For every store and source, which byte of the source lands in each column (-1, none: the
// shuffle leaves a zero there), and the fixed characters to OR in; the same for each of
// `Lanes` 16-byte lanes, one row in each.
template <size_t Lanes>
struct ShuffleMasks {
  alignas(16 * Lanes) signed char pick[kStores][kSources][16 * Lanes];
  alignas(16 * Lanes) char fill[kStores][16 * Lanes];
  bool uses[kStores][kSources];
};

template <size_t Lanes>
constexpr ShuffleMasks<Lanes> MakeShuffleMasks() {
  ShuffleMasks<Lanes> masks{};
  for (size_t store = 0; store < kStores; ++store) {
    for (size_t i = 0; i < 16 * Lanes; ++i) {
      for (size_t source = 0; source < kSources; ++source) {
        masks.pick[store][source][i] = -1;
      }
      const size_t column = StoreStart(store) + i % 16;
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

template <size_t Lanes>
inline constexpr ShuffleMasks<Lanes> kShuffleMasks = MakeShuffleMasks<Lanes>();

}  // namespace hv::rows
