#include "dump/report.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

// SSE2, which every x86-64 CPU has; SSSE3 and AVX-512 only behind run-time checks of
// the CPU, in functions compiled for them alone.
#include <immintrin.h>

#include "dump/report_rows.h"
#include "text/encoding.h"

namespace hv {
namespace {

constexpr size_t kLineWidth = 83;
constexpr size_t kRowText = kLineWidth + 2;
constexpr size_t kBytesPerRow = 16;
constexpr size_t kOffsetDigits = 8;
constexpr size_t kLeftBar = 65;
constexpr size_t kTextStart = 66;
constexpr size_t kRightBar = 82;
constexpr char kLineEnd[] = "\r\n";

constexpr char kUpperDigits[] = "0123456789ABCDEF";
constexpr char kLowerDigits[] = "0123456789abcdef";

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

// Cell 8 onwards sits one column further right: the gap between the two halves.
constexpr size_t CellStart(size_t cell) { return 13 + 3 * cell + (cell >= 8 ? 1 : 0); }

// A row with every cell and every text position blank; a short row keeps what it
// does not overwrite.
struct RowTemplate {
  char text[kRowText];
};

constexpr RowTemplate MakeRowTemplate() {
  RowTemplate row{};
  std::fill_n(row.text, kRowText, ' ');
  row.text[kLeftBar] = '|';
  row.text[kRightBar] = '|';
  row.text[kLineWidth] = '\r';
  row.text[kLineWidth + 1] = '\n';
  return row;
}

constexpr RowTemplate kBlankRow = MakeRowTemplate();

static_assert(CellStart(15) + 2 + 4 == kLeftBar, "cells end four spaces before the bar");
static_assert(kTextStart + kBytesPerRow == kRightBar, "the text fills the space between the bars");

const std::string& Separator(char fill) {
  static const std::string equals(kLineWidth, '=');
  static const std::string dashes(kLineWidth, '-');
  return fill == '=' ? equals : dashes;
}

void AppendLine(std::string& output, const std::string& line) {
  output += line;
  output += kLineEnd;
}

std::string RangeText(uint64_t fileSize, uint64_t shownBytes, uint64_t maxKb, bool uppercase) {
  if (shownBytes == 0) {
    return "Showing 0 bytes";
  }
  // Saturate rather than wrap, so an absurd limit still reads as "everything fits".
  const uint64_t capBytes = maxKb > UINT64_MAX / 1024 ? UINT64_MAX : maxKb * 1024;
  const std::string end = " (0x00000000 - 0x" + FormatHex(shownBytes - 1, uppercase, 8) + ")";
  if (fileSize <= capBytes) {
    return "Showing all " + FormatByteCount(fileSize) + end;
  }
  return "Showing first " + std::to_string(maxKb) + " KB" + end;
}

template <size_t... K>
inline void PutCells(char* row, const PairTable& table, const unsigned char* bytes, std::index_sequence<K...>) {
  (std::memcpy(row + CellStart(K), table.pairs[bytes[K]], 2), ...);
}

// The decode table for 16 bytes at once, in SSE2 (every x86-64 CPU has it): 0x20..0x7E
// stay and everything else becomes '.', by one signed compare after moving the
// printable range to the bottom of the signed bytes.
inline __m128i DecodeText(__m128i data) {
  const __m128i shifted = _mm_add_epi8(data, _mm_set1_epi8(0x60));
  const __m128i printable = _mm_cmpgt_epi8(_mm_set1_epi8(static_cast<char>(0xDF)), shifted);
  return _mm_or_si128(_mm_and_si128(printable, data), _mm_andnot_si128(printable, _mm_set1_epi8('.')));
}

// The shuffle rows build the row as 16-byte blocks (columns 1-16, 17-32, ... 65-80, then
// 70-85 for the rest of the text, the bar and CR LF). A pick mask says which digit of
// `low` (cells 0-7) or `high` (cells 8-15) lands in each column; -1 leaves a zero for the
// fill mask to OR the spaces and bars into.
constexpr signed char kNo = -1;
alignas(16) constexpr signed char kOffsetPick[16] = {0, 1, 2, 3, 4, 5, 6, 7, kNo, kNo, kNo, kNo, kNo, kNo, kNo, kNo};
alignas(16) constexpr signed char kBlock0Pick[16] = {kNo, kNo, kNo, kNo, kNo, kNo, kNo, kNo,
                                                     kNo, kNo, kNo, kNo, kNo, 0,   1,   kNo};
alignas(16) constexpr signed char kBlock0Fill[16] = {0, 0, 0, 0, 0, 0, 0, 0, ' ', ' ', ' ', ' ', ' ', 0, 0, ' '};
alignas(16) constexpr signed char kBlock1Pick[16] = {2, 3, kNo, 4, 5, kNo, 6, 7, kNo, 8, 9, kNo, 10, 11, kNo, 12};
alignas(16) constexpr signed char kBlock1Fill[16] = {0, 0, ' ', 0, 0, ' ', 0, 0, ' ', 0, 0, ' ', 0, 0, ' ', 0};
alignas(16) constexpr signed char kBlock2PickLow[16] = {13,  kNo, 14,  15,  kNo, kNo, kNo, kNo,
                                                        kNo, kNo, kNo, kNo, kNo, kNo, kNo, kNo};
alignas(16) constexpr signed char kBlock2PickHigh[16] = {kNo, kNo, kNo, kNo, kNo, kNo, 0,   1,
                                                         kNo, 2,   3,   kNo, 4,   5,   kNo, 6};
alignas(16) constexpr signed char kBlock2Fill[16] = {0, ' ', 0, 0, ' ', ' ', 0, 0, ' ', 0, 0, ' ', 0, 0, ' ', 0};
alignas(16) constexpr signed char kBlock3Pick[16] = {7,  kNo, 8,   9,  kNo, 10,  11,  kNo,
                                                     12, 13,  kNo, 14, 15,  kNo, kNo, kNo};
alignas(16) constexpr signed char kBlock3Fill[16] = {0, ' ', 0, 0, ' ', 0, 0, ' ', 0, 0, ' ', 0, 0, ' ', ' ', ' '};
alignas(16) constexpr signed char kBlock4Fill[16] = {' ', '|', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

// The masks above encode this layout; a change of geometry must revisit them.
static_assert(CellStart(0) == 13 && CellStart(6) == 31 && CellStart(8) == 38 && CellStart(11) == 47 &&
              CellStart(15) == 59);

__attribute__((target("ssse3"))) inline __m128i LoadMask(const signed char (&mask)[16]) {
  return _mm_load_si128(reinterpret_cast<const __m128i*>(mask));
}

// Asked once at start-up, so a row pays one predictable branch for the choice.
const bool kShuffleRows = (__builtin_cpu_init(), __builtin_cpu_supports("ssse3"));
const bool kVbmiRows =
    __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi");

const PairTable& PairsFor(bool uppercase) { return uppercase ? kUpperPairs : kLowerPairs; }

__attribute__((target("ssse3"))) inline __m128i DigitsFor(bool uppercase) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(uppercase ? kUpperDigits : kLowerDigits));
}

// One whole row line, CR LF included, written at `row`; any count from 0 to 16.
inline void ComposeTableRow(char* row, uint64_t offset, const unsigned char* bytes, uint64_t count,
                            const PairTable& table) {
  std::memcpy(row, kBlankRow.text, kRowText);

  const uint32_t low = static_cast<uint32_t>(offset);
  std::memcpy(row + 0, table.pairs[(low >> 24) & 0xFF], 2);
  std::memcpy(row + 2, table.pairs[(low >> 16) & 0xFF], 2);
  std::memcpy(row + 4, table.pairs[(low >> 8) & 0xFF], 2);
  std::memcpy(row + 6, table.pairs[low & 0xFF], 2);
  static_assert(kOffsetDigits == 8);

  if (count >= kBytesPerRow) {
    // Spelled out so that no optimisation level leaves a loop here.
    PutCells(row, table, bytes, std::make_index_sequence<kBytesPerRow>());
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + kTextStart),
                     DecodeText(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes))));
  } else {
    for (size_t k = 0; k < count; ++k) {
      std::memcpy(row + CellStart(k), table.pairs[bytes[k]], 2);
      row[kTextStart + k] = kDecode.text[bytes[k]];
    }
  }
}

// A full row line as six 16-byte stores at columns 1, 17, 33, 49, 65 and 70: the last
// overlaps the one before so that nothing is stored past the row's 85 bytes.
alignas(16) constexpr signed char kLastBlockFill[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, '|', '\r', '\n'};
constexpr size_t kLastBlockStart = kRowText - 16;
static_assert(kLastBlockStart + 13 == kRightBar && kLastBlockStart > kTextStart);

__attribute__((target("ssse3"))) inline void ComposeShuffleRow(char* row, uint64_t offset, const unsigned char* bytes,
                                                               __m128i digits) {
  const __m128i nibble = _mm_set1_epi8(0x0F);

  // Every byte's two digits, high nibble first: cells 0-7 in `low`, 8-15 in `high`.
  const __m128i data = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
  const __m128i highDigits = _mm_shuffle_epi8(digits, _mm_and_si128(_mm_srli_epi16(data, 4), nibble));
  const __m128i lowDigits = _mm_shuffle_epi8(digits, _mm_and_si128(data, nibble));
  const __m128i low = _mm_unpacklo_epi8(highDigits, lowDigits);
  const __m128i high = _mm_unpackhi_epi8(highDigits, lowDigits);

  const __m128i offsetBytes = _mm_cvtsi32_si128(static_cast<int>(__builtin_bswap32(static_cast<uint32_t>(offset))));
  const __m128i offsetDigits =
      _mm_unpacklo_epi8(_mm_shuffle_epi8(digits, _mm_and_si128(_mm_srli_epi16(offsetBytes, 4), nibble)),
                        _mm_shuffle_epi8(digits, _mm_and_si128(offsetBytes, nibble)));

  const __m128i text = DecodeText(data);

  const __m128i block0 = _mm_or_si128(
      _mm_or_si128(_mm_shuffle_epi8(offsetDigits, LoadMask(kOffsetPick)), _mm_shuffle_epi8(low, LoadMask(kBlock0Pick))),
      LoadMask(kBlock0Fill));
  const __m128i block1 = _mm_or_si128(_mm_shuffle_epi8(low, LoadMask(kBlock1Pick)), LoadMask(kBlock1Fill));
  const __m128i block2 = _mm_or_si128(
      _mm_or_si128(_mm_shuffle_epi8(low, LoadMask(kBlock2PickLow)), _mm_shuffle_epi8(high, LoadMask(kBlock2PickHigh))),
      LoadMask(kBlock2Fill));
  const __m128i block3 = _mm_or_si128(_mm_shuffle_epi8(high, LoadMask(kBlock3Pick)), LoadMask(kBlock3Fill));
  const __m128i block4 = _mm_or_si128(_mm_slli_si128(text, 2), LoadMask(kBlock4Fill));
  const __m128i last = _mm_or_si128(_mm_srli_si128(text, 3), LoadMask(kLastBlockFill));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 0), block0);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 16), block1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 32), block2);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 48), block3);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 64), block4);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(row + kLastBlockStart), last);
}

// Renderers of whole rows only, in place: `out` has room for `rows` row lines.
using FullRowsRenderer = void (*)(char* out, uint64_t offset, const unsigned char* bytes, uint64_t rows,
                                  bool uppercase);

void RenderTableRows(char* out, uint64_t offset, const unsigned char* bytes, uint64_t rows, bool uppercase) {
  const PairTable& table = PairsFor(uppercase);
  for (uint64_t row = 0; row < rows; ++row) {
    ComposeTableRow(out + row * kRowText, offset + row * kBytesPerRow, bytes + row * kBytesPerRow, kBytesPerRow, table);
  }
}

__attribute__((target("ssse3"))) void RenderShuffleRows(char* out, uint64_t offset, const unsigned char* bytes,
                                                        uint64_t rows, bool uppercase) {
  const __m128i digits = DigitsFor(uppercase);
  for (uint64_t row = 0; row < rows; ++row) {
    ComposeShuffleRow(out + row * kRowText, offset + row * kBytesPerRow, bytes + row * kBytesPerRow, digits);
  }
}

// Four rows (340 bytes of text) as six 64-byte stores; the last ends at the group's end
// and overlaps the fifth, so nothing is stored past the group. Every byte of a store is
// picked by one two-table byte permutation from the digits (the high-nibble digits of the
// 64 input bytes, then the low-nibble ones) or from the rest (the 64 text characters,
// then the offsets' high- and low-nibble digits and the fixed characters); a bit mask per
// store says which of the two.
constexpr size_t kGroupRows = 4;
constexpr size_t kGroupText = kGroupRows * kRowText;
constexpr size_t kGroupStores = 6;
constexpr size_t GroupStoreStart(size_t store) { return store + 1 < kGroupStores ? 64 * store : kGroupText - 64; }
constexpr unsigned char kRestOffsetHigh = 64;
constexpr unsigned char kRestOffsetLow = 80;
constexpr unsigned char kRestSpace = 96;
constexpr unsigned char kRestBar = 97;
constexpr unsigned char kRestCr = 98;
constexpr unsigned char kRestLf = 99;
alignas(64) constexpr char kRestFixed[64] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,   0,   0,    0,    0, 0, 0, 0, 0, 0, 0, 0,
                                             0, 0, 0, 0, 0, 0, 0, 0, 0, 0, ' ', '|', '\r', '\n', 0, 0, 0, 0, 0, 0, 0, 0,
                                             0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,   0,   0,    0,    0, 0, 0, 0, 0, 0};

struct GroupPicks {
  unsigned char index[kGroupStores][64];
  uint64_t fromDigits[kGroupStores];
};

constexpr GroupPicks MakeGroupPicks() {
  GroupPicks picks{};
  for (size_t store = 0; store < kGroupStores; ++store) {
    for (size_t i = 0; i < 64; ++i) {
      const size_t at = GroupStoreStart(store) + i;
      const size_t row = at / kRowText;
      const size_t column = at % kRowText;
      size_t index = kRestSpace;
      bool digit = false;
      if (column < kOffsetDigits) {
        // A row's offset is a little-endian 32-bit lane: its first digit is the top nibble of byte 3.
        const size_t byte = 4 * row + 3 - column / 2;
        index = (column % 2 == 0 ? kRestOffsetHigh : kRestOffsetLow) + byte;
      } else if (column == kLeftBar || column == kRightBar) {
        index = kRestBar;
      } else if (column == kLineWidth) {
        index = kRestCr;
      } else if (column == kLineWidth + 1) {
        index = kRestLf;
      } else if (column >= kTextStart && column < kRightBar) {
        index = kBytesPerRow * row + (column - kTextStart);
      } else {
        for (size_t cell = 0; cell < kBytesPerRow; ++cell) {
          if (column == CellStart(cell) || column == CellStart(cell) + 1) {
            index = (column == CellStart(cell) ? 0 : 64) + kBytesPerRow * row + cell;
            digit = true;
          }
        }
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

#define HV_VBMI_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi")))

template <size_t Store>
HV_VBMI_TARGET inline void StoreGroupPart(char* group, __m512i high, __m512i low, __m512i text, __m512i rest) {
  const __m512i index = _mm512_load_si512(kGroupPicks.index[Store]);
  const __m512i fromDigits = _mm512_permutex2var_epi8(high, index, low);
  const __m512i fromRest = _mm512_permutex2var_epi8(text, index, rest);
  _mm512_storeu_si512(group + GroupStoreStart(Store),
                      _mm512_mask_blend_epi8(kGroupPicks.fromDigits[Store], fromRest, fromDigits));
}

template <size_t... Store>
HV_VBMI_TARGET inline void StoreGroup(char* group, __m512i high, __m512i low, __m512i text, __m512i rest,
                                      std::index_sequence<Store...>) {
  (StoreGroupPart<Store>(group, high, low, text, rest), ...);
}

HV_VBMI_TARGET void RenderVbmiRows(char* out, uint64_t offset, const unsigned char* bytes, uint64_t rows,
                                   bool uppercase) {
  const __m128i digits128 = DigitsFor(uppercase);
  const __m512i digits = _mm512_broadcast_i32x4(digits128);
  const __m512i nibble = _mm512_set1_epi8(0x0F);
  const __m128i nibble128 = _mm_set1_epi8(0x0F);
  const __m512i fixed = _mm512_load_si512(kRestFixed);
  const uint32_t start = static_cast<uint32_t>(offset);
  // Only the low 32 bits of an offset are printed, so the lanes may wrap.
  __m128i rowOffsets = _mm_setr_epi32(static_cast<int>(start), static_cast<int>(start + 16),
                                      static_cast<int>(start + 32), static_cast<int>(start + 48));
  const __m128i step = _mm_set1_epi32(static_cast<int>(kGroupRows * kBytesPerRow));
  uint64_t row = 0;
  for (; row + kGroupRows <= rows; row += kGroupRows) {
    const __m512i data = _mm512_loadu_si512(bytes + row * kBytesPerRow);
    const __m512i high = _mm512_shuffle_epi8(digits, _mm512_and_si512(_mm512_srli_epi16(data, 4), nibble));
    const __m512i low = _mm512_shuffle_epi8(digits, _mm512_and_si512(data, nibble));
    const __mmask64 printable =
        _mm512_cmplt_epu8_mask(_mm512_sub_epi8(data, _mm512_set1_epi8(0x20)), _mm512_set1_epi8(0x5F));
    const __m512i text = _mm512_mask_blend_epi8(printable, _mm512_set1_epi8('.'), data);
    const __m128i offsetHigh = _mm_shuffle_epi8(digits128, _mm_and_si128(_mm_srli_epi16(rowOffsets, 4), nibble128));
    const __m128i offsetLow = _mm_shuffle_epi8(digits128, _mm_and_si128(rowOffsets, nibble128));
    const __m512i rest = _mm512_inserti32x4(_mm512_inserti32x4(fixed, offsetHigh, 0), offsetLow, 1);
    StoreGroup(out + row * kRowText, high, low, text, rest, std::make_index_sequence<kGroupStores>());
    rowOffsets = _mm_add_epi32(rowOffsets, step);
  }
  for (; row < rows; ++row) {
    ComposeShuffleRow(out + row * kRowText, offset + row * kBytesPerRow, bytes + row * kBytesPerRow, digits128);
  }
}

#undef HV_VBMI_TARGET

uint64_t RowsTextSize(uint64_t count) { return (count + kBytesPerRow - 1) / kBytesPerRow * kRowText; }

// The full rows and the short last row, if any, in place.
void WriteRows(char* out, uint64_t offset, const unsigned char* bytes, uint64_t count, bool uppercase,
               FullRowsRenderer renderFullRows) {
  const uint64_t fullRows = count / kBytesPerRow;
  const uint64_t rest = count % kBytesPerRow;
  renderFullRows(out, offset, bytes, fullRows, uppercase);
  if (rest != 0) {
    ComposeTableRow(out + fullRows * kRowText, offset + fullRows * kBytesPerRow, bytes + fullRows * kBytesPerRow, rest,
                    PairsFor(uppercase));
  }
}

// The fastest renderer the CPU can run, chosen once.
const FullRowsRenderer kFullRows = kVbmiRows ? RenderVbmiRows : kShuffleRows ? RenderShuffleRows : RenderTableRows;

}  // namespace

namespace rows {

void AppendTableRow(std::string& output, uint64_t offset, const unsigned char* bytes, uint64_t count, bool uppercase) {
  char row[kRowText];
  ComposeTableRow(row, offset, bytes, count, PairsFor(uppercase));
  output.append(row, kLineWidth);
  output.append(kLineEnd, 2);
}

bool HasShuffleRows() { return kShuffleRows; }

__attribute__((target("ssse3"))) void AppendShuffleRow(std::string& output, uint64_t offset, const unsigned char* bytes,
                                                       bool uppercase) {
  char row[kRowText];
  ComposeShuffleRow(row, offset, bytes, DigitsFor(uppercase));
  output.append(row, kLineWidth);
  output.append(kLineEnd, 2);
}

void WriteTableRows(char* out, uint64_t offset, const unsigned char* bytes, uint64_t count, bool uppercase) {
  WriteRows(out, offset, bytes, count, uppercase, RenderTableRows);
}

void WriteShuffleRows(char* out, uint64_t offset, const unsigned char* bytes, uint64_t count, bool uppercase) {
  WriteRows(out, offset, bytes, count, uppercase, RenderShuffleRows);
}

bool HasVbmiRows() { return kVbmiRows; }

void WriteVbmiRows(char* out, uint64_t offset, const unsigned char* bytes, uint64_t count, bool uppercase) {
  WriteRows(out, offset, bytes, count, uppercase, RenderVbmiRows);
}

}  // namespace rows

std::string RenderReportHeader(const std::wstring& displayPath, uint64_t fileSize, uint64_t shownBytes, uint64_t maxKb,
                               bool uppercase) {
  std::string text;
  AppendLine(text, Separator('='));
  AppendLine(text, "[Lumo Hex Dump]");
  AppendLine(text, "File:      " + WideToUtf8(displayPath));
  AppendLine(text, "Size:      " + FormatSizeText(fileSize));
  AppendLine(text, "Range:     " + RangeText(fileSize, shownBytes, maxKb, uppercase));
  AppendLine(text, Separator('='));
  return text;
}

std::string RenderColumnHeader(bool uppercase) {
  const PairTable& table = PairsFor(uppercase);
  std::string line = "Offset(h)    ";
  for (size_t n = 0; n < kBytesPerRow; ++n) {
    line.append(table.pairs[n], 2);
    if (n + 1 < kBytesPerRow) {
      line += ' ';
    }
    if (n == 7) {
      line += ' ';
    }
  }
  line += "    Decoded Text";
  line += kLineEnd;
  return line;
}

void AppendHexRow(std::string& output, uint64_t offset, const unsigned char* bytes, uint64_t count, bool uppercase) {
  if (count >= kBytesPerRow && kShuffleRows) {
    rows::AppendShuffleRow(output, offset, bytes, uppercase);
  } else {
    rows::AppendTableRow(output, offset, bytes, count, uppercase);
  }
}

uint64_t HexRowsSize(uint64_t count) { return RowsTextSize(count); }

void WriteHexRows(char* out, uint64_t offset, const unsigned char* bytes, uint64_t count, bool uppercase) {
  WriteRows(out, offset, bytes, count, uppercase, kFullRows);
}

FooterKind SelectFooterKind(uint64_t fileSize, uint64_t capBytes) {
  if (fileSize == 0) {
    return FooterKind::Empty;
  }
  return fileSize <= capBytes ? FooterKind::FullyDisplayed : FooterKind::Truncated;
}

std::string RenderFooter(FooterKind kind, uint64_t fileSize, uint64_t maxKb) {
  std::string text;
  switch (kind) {
    case FooterKind::Truncated:
      AppendLine(text, Separator('-'));
      AppendLine(text, "[Truncated] Display capped at " + std::to_string(maxKb) +
                           " KB to ensure instant loading. (Total: " + FormatHumanSize(fileSize) + ")");
      AppendLine(text, Separator('-'));
      break;
    case FooterKind::FullyDisplayed:
      AppendLine(text, Separator('-'));
      AppendLine(text, "[End of File: Fully displayed] (Total: " + FormatByteCount(fileSize) + ")");
      AppendLine(text, Separator('-'));
      break;
    case FooterKind::Empty:
      text += kLineEnd;
      AppendLine(text, "[Empty File: 0 Bytes]");
      break;
  }
  return text;
}

std::string RenderReadErrorLine(uint64_t offset, const std::wstring& message, bool uppercase) {
  std::string line = "[Read Error] Stopped at 0x" + FormatHex(offset, uppercase, 8) + ": " + WideToUtf8(message);
  line += kLineEnd;
  return line;
}

std::string RenderOpenErrorReport(const std::wstring& displayPath, const std::wstring& message) {
  std::string text;
  AppendLine(text, Separator('='));
  AppendLine(text, "[Lumo Hex Dump Error]");
  AppendLine(text, "File:      " + WideToUtf8(displayPath));
  AppendLine(text, "Error:     Cannot open file for reading (" + WideToUtf8(message) + ")");
  AppendLine(text, Separator('='));
  return text;
}

std::string RenderCloudFileReport(const std::wstring& displayPath) {
  std::string text;
  AppendLine(text, Separator('='));
  AppendLine(text, "[Lumo Hex Dump Error]");
  AppendLine(text, "File:      " + WideToUtf8(displayPath));
  AppendLine(text, "Error:     Online-only cloud file (Recall on data access).");
  AppendLine(text, "Hint:      Please download the file locally before viewing hex dump.");
  AppendLine(text, Separator('='));
  return text;
}

std::string RenderWriteFailureReport(const std::wstring& errorText) {
  std::string line = "[Lumo Hex Dump Error] Cannot write dump file (" + WideToUtf8(errorText) + ").";
  line += kLineEnd;
  return line;
}

std::string FormatHex(uint64_t value, bool uppercase, unsigned minimumDigits) {
  const char* digits = uppercase ? kUpperDigits : kLowerDigits;
  unsigned count = 1;
  for (uint64_t rest = value; rest >= 16 && count < 16; rest >>= 4) {
    ++count;
  }
  if (count < minimumDigits) {
    count = minimumDigits;
  }
  std::string text(count, '0');
  // Only the low 16 nibbles can be non-zero; anything wider is leading zeros.
  for (unsigned i = 0; i < count && i < 16; ++i) {
    text[count - 1 - i] = digits[(value >> (4 * i)) & 0xF];
  }
  return text;
}

std::string FormatByteCount(uint64_t value) {
  char digits[20];
  size_t length = 0;
  do {
    digits[length++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);

  std::string text;
  text.reserve(length + length / 3 + 6);
  for (size_t i = length; i > 0; --i) {
    text += digits[i - 1];
    const size_t toTheRight = i - 1;
    if (toTheRight > 0 && toTheRight % 3 == 0) {
      text += ',';
    }
  }
  text += " bytes";
  return text;
}

std::string FormatHumanSize(uint64_t value) {
  if (value < 1024) {
    return FormatByteCount(value);
  }
  static const char* const kUnits[] = {"bytes", "KB", "MB", "GB", "TB"};
  double size = static_cast<double>(value);
  size_t unit = 0;
  while (size >= 1024.0 && unit < 4) {
    size /= 1024.0;
    ++unit;
  }
  char buffer[32];
  const int written = std::snprintf(buffer, sizeof buffer, "%.2f %s", size, kUnits[unit]);
  if (written <= 0) {
    return {};
  }
  return std::string(buffer, std::min(static_cast<size_t>(written), sizeof buffer - 1));
}

std::string FormatSizeText(uint64_t value) {
  if (value < 1024) {
    return FormatByteCount(value);
  }
  return FormatHumanSize(value) + " (" + FormatByteCount(value) + ")";
}

}  // namespace hv
