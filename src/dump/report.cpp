#include "dump/report.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <initializer_list>
#include <iterator>
#include <string_view>

#include "dump/rows/row_layout.h"
#include "dump/rows/row_paths.h"
#include "text/encoding.h"
#include "text/system_error.h"

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

// A path, or a text that holds paths, as a report shows it.
std::string ShownUtf8(const std::wstring& text) { return WideToUtf8(ShownText(text)); }

// The header block and the error reports: a title and the File line, then their own lines,
// between two lines of "=".
std::string RenderFileBlock(const char* title, const std::wstring& displayPath,
                            std::initializer_list<std::string> lines) {
  std::string text;
  AppendLine(text, Separator('='));
  AppendLine(text, title);
  AppendLine(text, "File:      " + ShownUtf8(displayPath));
  for (const std::string& line : lines) {
    AppendLine(text, line);
  }
  AppendLine(text, Separator('='));
  return text;
}

// A footer line between two lines of "-".
std::string RenderFooterBlock(const std::string& line) {
  std::string text;
  AppendLine(text, Separator('-'));
  AppendLine(text, line);
  AppendLine(text, Separator('-'));
  return text;
}

bool IsDecimal(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A whole message of a read-error line: a short wording, or the platform's text ending in the
// code in parentheses, or the bare code. A file cut after a line break inside the platform's
// text ends otherwise.
bool IsWholeFileErrorText(std::string_view message) {
  const uint32_t shortlyWorded[] = {2, 5, 32};  // file not found, access denied, locked
  if (std::any_of(std::begin(shortlyWorded), std::end(shortlyWorded),
                  [&](uint32_t code) { return message == WideToUtf8(FileErrorText(code)); })) {
    return true;
  }
  const size_t open = message.rfind(" (");
  if (open == std::string_view::npos) {
    return IsDecimal(message);
  }
  return message.back() == ')' && IsDecimal(message.substr(open + 2, message.size() - open - 3));
}

// The hex dump report's last block, whole: the three lines of a footer (a file cut right after
// its first dashed line ends with dashes too), the empty-file line, or a read-error line.
bool EndsWithWholeEnding(const std::string& tail) {
  const std::string dashes = Separator('-') + kLineEnd;
  for (const char* footerLine : {"[End of File: Fully displayed] (Total: ", "[Truncated] Display capped at "}) {
    const size_t footer = tail.rfind(kLineEnd + dashes + footerLine);
    const size_t end = footer == std::string::npos ? footer : tail.find(kLineEnd, footer + 2 + dashes.size());
    if (end != std::string::npos && std::string_view(tail).substr(end) == kLineEnd + dashes) {
      return true;
    }
  }
  if (tail.ends_with("\r\n[Empty File: 0 Bytes]\r\n")) {
    return true;
  }
  // No row begins with "[", and no File line holds a line break, so only the ending can start
  // a line with it.
  const std::string readError = "\r\n[Read Error] Stopped at 0x";
  const size_t start = tail.rfind(readError);
  if (start == std::string::npos || !tail.ends_with(kLineEnd)) {
    return false;
  }
  const std::string_view line = std::string_view(tail).substr(start + readError.size());
  return line.size() >= 12 &&
         std::all_of(line.begin(), line.begin() + 8,
                     [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }) &&
         line.substr(8, 2) == ": " && IsWholeFileErrorText(line.substr(10, line.size() - 12));
}

}  // namespace

std::string RenderReportHeader(const std::wstring& displayPath, uint64_t fileSize, uint64_t shownBytes, uint64_t maxKb,
                               bool uppercase) {
  return RenderFileBlock(
      "[Lumo Hex Dump]", displayPath,
      {"Size:      " + FormatSizeText(fileSize), "Range:     " + RangeText(fileSize, shownBytes, maxKb, uppercase)});
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
  switch (kind) {
    case FooterKind::Truncated:
      return RenderFooterBlock("[Truncated] Display capped at " + std::to_string(maxKb) +
                               " KB to ensure instant loading. (Total: " + FormatHumanSize(fileSize) + ")");
    case FooterKind::FullyDisplayed:
      return RenderFooterBlock("[End of File: Fully displayed] (Total: " + FormatByteCount(fileSize) + ")");
    case FooterKind::Empty:
      return std::string(kLineEnd) + "[Empty File: 0 Bytes]" + kLineEnd;
  }
  return {};
}

std::string RenderReadErrorLine(uint64_t offset, const std::wstring& message, bool uppercase) {
  std::string line = "[Read Error] Stopped at 0x" + FormatHex(offset, uppercase, 8) + ": " + WideToUtf8(message);
  line += kLineEnd;
  return line;
}

std::string RenderOpenErrorReport(const std::wstring& displayPath, const std::wstring& message) {
  return RenderFileBlock("[Lumo Hex Dump Error]", displayPath,
                         {"Error:     Cannot open file for reading (" + WideToUtf8(message) + ")"});
}

std::string RenderCloudFileReport(const std::wstring& displayPath) {
  return RenderFileBlock("[Lumo Hex Dump Error]", displayPath,
                         {"Error:     Online-only cloud file (Recall on data access).",
                          "Hint:      Please download the file locally before viewing hex dump."});
}

std::string RenderWriteFailureReport(const std::wstring& errorText) {
  // The error names the temporary file by its path; the report stays one line.
  std::string line = "[Lumo Hex Dump Error] Cannot write dump file (" + ShownUtf8(errorText) + ").";
  line += kLineEnd;
  return line;
}

bool IsWholeReport(const std::string& head, const std::string& tail) {
  const auto startsWith = [&](const std::string& start) { return head.compare(0, start.size(), start) == 0; };
  const auto endsWith = [&](const std::string& end) {
    return tail.size() >= end.size() && tail.compare(tail.size() - end.size(), end.size(), end) == 0;
  };
  const std::string equals = Separator('=') + kLineEnd;
  if (startsWith(equals + "[Lumo Hex Dump]" + kLineEnd)) {
    return EndsWithWholeEnding(tail);
  }
  if (startsWith(equals + "[Lumo Hex Dump Error]" + kLineEnd)) {
    return endsWith(kLineEnd + equals);
  }
  // The one-line report comes whole or, from a write cut short, without its end.
  return startsWith("[Lumo Hex Dump Error] Cannot write dump file (") && endsWith(").\r\n");
}

std::string FormatHex(uint64_t value, bool uppercase, unsigned minimumDigits) {
  return HexText(value, uppercase, minimumDigits);
}

std::string FormatByteCount(uint64_t value) {
  char digits[20];
  const size_t length = static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, value).ptr - digits);
  std::string text;
  text.reserve(length + length / 3 + 6);
  for (size_t i = 0; i < length; ++i) {
    text += digits[i];
    const size_t toTheRight = length - 1 - i;
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
