// The geometry of a row line, stated once: a pre-spaced template with a slot for every
// character a row's values fill in. Each renderer takes its positions, and the vector
// paths their masks, from the slot table derived here.
#pragma once

#include <cstddef>

namespace hv::rows {

// 'O' is a digit of the offset, most significant first; 'H' and 'L' are the high and the
// low digit of one byte's cell, cell by cell; 'T' is one byte's decoded character. Every
// other character stands in each row as written.
inline constexpr char kRowPattern[] =
    "OOOOOOOO     HL HL HL HL HL HL HL HL  HL HL HL HL HL HL HL HL    |TTTTTTTTTTTTTTTT|\r\n";

inline constexpr size_t kBytesPerRow = 16;
inline constexpr size_t kOffsetDigits = 8;
inline constexpr size_t kRowText = sizeof kRowPattern - 1;  // the line and its CR LF
inline constexpr size_t kLineWidth = kRowText - 2;

enum class SlotKind : unsigned char { Fixed, OffsetDigit, HighDigit, LowDigit, Text };

struct Slot {
  SlotKind kind = SlotKind::Fixed;
  unsigned char index = 0;  // the offset digit, or the row's byte
};

struct RowSlots {
  Slot at[kRowText];
  size_t offsetStart = 0;
  size_t cellStart[kBytesPerRow] = {};  // the column of each cell's high digit
  size_t textStart = 0;
  char blank[kRowText] = {};  // the template with every slot a space: what a short row keeps
  bool wellFormed = true;     // each value has its slot, in order and side by side
};

constexpr RowSlots MakeRowSlots() {
  RowSlots slots{};
  size_t offsetDigits = 0;
  size_t highDigits = 0;
  size_t lowDigits = 0;
  size_t texts = 0;
  for (size_t column = 0; column < kRowText; ++column) {
    const char c = kRowPattern[column];
    // cppcheck-suppress unreadVariable ; a reference into slots.at, assigned below
    Slot& slot = slots.at[column];
    slots.blank[column] = c == 'O' || c == 'H' || c == 'L' || c == 'T' ? ' ' : c;
    if (c == 'O') {
      slot = {SlotKind::OffsetDigit, static_cast<unsigned char>(offsetDigits)};
      slots.wellFormed &= column == slots.offsetStart + offsetDigits++;
    } else if (c == 'H') {
      slot = {SlotKind::HighDigit, static_cast<unsigned char>(highDigits)};
      slots.cellStart[highDigits++] = column;
      slots.wellFormed &= kRowPattern[column + 1] == 'L';
    } else if (c == 'L') {
      slot = {SlotKind::LowDigit, static_cast<unsigned char>(lowDigits++)};
    } else if (c == 'T') {
      if (texts == 0) {
        slots.textStart = column;
      }
      slot = {SlotKind::Text, static_cast<unsigned char>(texts)};
      slots.wellFormed &= column == slots.textStart + texts++;
    }
  }
  slots.wellFormed &=
      offsetDigits == kOffsetDigits && highDigits == kBytesPerRow && lowDigits == kBytesPerRow && texts == kBytesPerRow;
  return slots;
}

inline constexpr RowSlots kRowSlots = MakeRowSlots();

static_assert(kRowSlots.wellFormed, "8 offset digits, 16 cells and 16 text characters");
static_assert(kLineWidth == 83 && kRowPattern[kLineWidth] == '\r', "83 characters, then CR LF");
static_assert(kRowSlots.textStart == 66 && kRowPattern[65] == '|' && kRowPattern[82] == '|',
              "the text sits between bars in columns 66 and 83");

}  // namespace hv::rows
