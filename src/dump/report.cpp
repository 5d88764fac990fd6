#include "dump/report.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

// SSE2, which every x86-64 CPU has, and SSSE3, used only behind a run-time check of the CPU.
#include <tmmintrin.h>

#include "dump/report_rows.h"
#include "text/encoding.h"

namespace hv {
namespace {

constexpr size_t kLineWidth = 83;
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
  char text[kLineWidth];
};

constexpr RowTemplate MakeRowTemplate() {
  RowTemplate row{};
  for (char& c : row.text) {
    c = ' ';
  }
  row.text[kLeftBar] = '|';
  row.text[kRightBar] = '|';
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

// The shuffle rows build the row as six 16-byte blocks (columns 1-16, 17-32, ... 81-96;
// the last holds only 81-83). A pick mask says which digit of `low` (cells 0-7) or
// `high` (cells 8-15) lands in each column; -1 leaves a zero for the fill mask to OR
// the spaces and bars into.
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
alignas(16) constexpr signed char kBlock5Fill[16] = {0, 0, '|', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

// The masks above encode this layout; a change of geometry must revisit them.
static_assert(CellStart(0) == 13 && CellStart(6) == 31 && CellStart(8) == 38 && CellStart(11) == 47 &&
              CellStart(15) == 59);

__attribute__((target("ssse3"))) inline __m128i LoadMask(const signed char (&mask)[16]) {
  return _mm_load_si128(reinterpret_cast<const __m128i*>(mask));
}

// Asked once at start-up, so a row pays one predictable branch for the choice.
const bool kShuffleRows = (__builtin_cpu_init(), __builtin_cpu_supports("ssse3"));

}  // namespace

namespace rows {

void AppendTableRow(std::string& output, uint64_t offset, const unsigned char* bytes, uint64_t count, bool uppercase) {
  const PairTable& table = uppercase ? kUpperPairs : kLowerPairs;
  char row[kLineWidth];
  std::memcpy(row, kBlankRow.text, kLineWidth);

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

  output.append(row, kLineWidth);
  output.append(kLineEnd, 2);
}

bool HasShuffleRows() { return kShuffleRows; }

__attribute__((target("ssse3"))) void AppendShuffleRow(std::string& output, uint64_t offset, const unsigned char* bytes,
                                                       bool uppercase) {
  const __m128i digits = _mm_loadu_si128(reinterpret_cast<const __m128i*>(uppercase ? kUpperDigits : kLowerDigits));
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

  alignas(16) char row[96];
  const __m128i block0 = _mm_or_si128(
      _mm_or_si128(_mm_shuffle_epi8(offsetDigits, LoadMask(kOffsetPick)), _mm_shuffle_epi8(low, LoadMask(kBlock0Pick))),
      LoadMask(kBlock0Fill));
  const __m128i block1 = _mm_or_si128(_mm_shuffle_epi8(low, LoadMask(kBlock1Pick)), LoadMask(kBlock1Fill));
  const __m128i block2 = _mm_or_si128(
      _mm_or_si128(_mm_shuffle_epi8(low, LoadMask(kBlock2PickLow)), _mm_shuffle_epi8(high, LoadMask(kBlock2PickHigh))),
      LoadMask(kBlock2Fill));
  const __m128i block3 = _mm_or_si128(_mm_shuffle_epi8(high, LoadMask(kBlock3Pick)), LoadMask(kBlock3Fill));
  const __m128i block4 = _mm_or_si128(_mm_slli_si128(text, 2), LoadMask(kBlock4Fill));
  const __m128i block5 = _mm_or_si128(_mm_srli_si128(text, 14), LoadMask(kBlock5Fill));
  _mm_store_si128(reinterpret_cast<__m128i*>(row + 0), block0);
  _mm_store_si128(reinterpret_cast<__m128i*>(row + 16), block1);
  _mm_store_si128(reinterpret_cast<__m128i*>(row + 32), block2);
  _mm_store_si128(reinterpret_cast<__m128i*>(row + 48), block3);
  _mm_store_si128(reinterpret_cast<__m128i*>(row + 64), block4);
  _mm_store_si128(reinterpret_cast<__m128i*>(row + 80), block5);

  output.append(row, kLineWidth);
  output.append(kLineEnd, 2);
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
  const PairTable& table = uppercase ? kUpperPairs : kLowerPairs;
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
