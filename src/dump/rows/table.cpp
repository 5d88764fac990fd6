// Rows from lookup tables: the path every x86-64 CPU runs, and the one for short rows.
#include <cstring>
#include <utility>

#include "dump/rows/row_layout.h"
#include "dump/rows/row_paths.h"

namespace hv::rows {
namespace {

// The two digits of every byte value, so a row needs no per-byte formatting.
struct PairTable {
  char pairs[256][2];
};

constexpr PairTable MakePairTable(const char* digits) {
  PairTable table{};
  for (int value = 0; value < 256; ++value) {
    table.pairs[value][0] = digits[value >> 4];
    table.pairs[value][1] = digits[value & 0xF];
  }
  return table;
}

constexpr PairTable kUpperPairs = MakePairTable(kUpperDigits);
constexpr PairTable kLowerPairs = MakePairTable(kLowerDigits);

const PairTable& PairsFor(bool uppercase) { return uppercase ? kUpperPairs : kLowerPairs; }

struct DecodeTable {
  char text[256];
};

constexpr DecodeTable MakeDecodeTable() {
  DecodeTable table{};
  for (int value = 0; value < 256; ++value) {
    table.text[value] = (value >= 0x20 && value <= 0x7E) ? static_cast<char>(value) : '.';
  }
  return table;
}

constexpr DecodeTable kDecode = MakeDecodeTable();

template <size_t... K>
inline void PutCells(char* row, const PairTable& table, const unsigned char* bytes, std::index_sequence<K...>) {
  (std::memcpy(row + kRowSlots.cellStart[K], table.pairs[bytes[K]], 2), ...);
}

inline void WriteTableRow(char* row, uint64_t offset, const unsigned char* bytes, uint64_t count,
                          const PairTable& table) {
  std::memcpy(row, kRowSlots.blank, kRowText);

  // Four bytes of the offset, most significant first, two digits each.
  static_assert(kOffsetDigits == 8);
  const uint32_t low = static_cast<uint32_t>(offset);
  char* const digits = row + kRowSlots.offsetStart;
  std::memcpy(digits + 0, table.pairs[(low >> 24) & 0xFF], 2);
  std::memcpy(digits + 2, table.pairs[(low >> 16) & 0xFF], 2);
  std::memcpy(digits + 4, table.pairs[(low >> 8) & 0xFF], 2);
  std::memcpy(digits + 6, table.pairs[low & 0xFF], 2);

  if (count >= kBytesPerRow) {
    // Spelled out so that no optimisation level leaves a loop here.
    PutCells(row, table, bytes, std::make_index_sequence<kBytesPerRow>());
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + kRowSlots.textStart),
                     DecodeText(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes))));
  } else {
    for (size_t k = 0; k < count; ++k) {
      std::memcpy(row + kRowSlots.cellStart[k], table.pairs[bytes[k]], 2);
      row[kRowSlots.textStart + k] = kDecode.text[bytes[k]];
    }
  }
}

}  // namespace

void WriteTableRows(char* out, uint64_t offset, const unsigned char* bytes, uint64_t count, bool uppercase) {
  const PairTable& table = PairsFor(uppercase);
  const uint64_t fullRows = count / kBytesPerRow;
  for (uint64_t row = 0; row < fullRows; ++row) {
    WriteTableRow(out + row * kRowText, offset + row * kBytesPerRow, bytes + row * kBytesPerRow, kBytesPerRow, table);
  }
  if (count % kBytesPerRow != 0) {
    WriteTableRow(out + fullRows * kRowText, offset + fullRows * kBytesPerRow, bytes + fullRows * kBytesPerRow,
                  count % kBytesPerRow, table);
  }
}

}  // namespace hv::rows
