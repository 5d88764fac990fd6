#include "dump/report.h"

#include <algorithm>
#include <cstdio>

#include "dump/rows/row_layout.h"
#include "dump/rows/row_paths.h"
#include "text/encoding.h"

namespace hv {
namespace {

using rows::kLineWidth;
constexpr char kLineEnd[] = "\r\n";

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

}  // namespace

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

// Laid out on the row's own template: the cells' columns hold the cell numbers, and the
// title of the text stands above its left bar.
std::string RenderColumnHeader(bool uppercase) {
  const char* digits = rows::DigitsFor(uppercase);
  std::string line(rows::kRowSlots.blank, rows::kRowSlots.textStart - 1);
  line.replace(0, 9, "Offset(h)");
  for (size_t n = 0; n < rows::kBytesPerRow; ++n) {
    line[rows::kRowSlots.cellStart[n]] = digits[n >> 4];
    line[rows::kRowSlots.cellStart[n] + 1] = digits[n & 0xF];
  }
  line += "Decoded Text";
  line += kLineEnd;
  return line;
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
  const char* digits = rows::DigitsFor(uppercase);
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
