#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "dump/report.h"
#include "dump/report_rows.h"

namespace hv {
namespace {

const std::string kEquals(83, '=');
const std::string kDashes(83, '-');

// Each line followed by CR LF, as the file holds it.
std::string Lines(std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line + "\r\n";
  }
  return text;
}

// The pieces in the order dump generation writes them, for a file held in memory.
std::string Report(const std::wstring& path, const std::vector<unsigned char>& file, uint64_t maxKb, bool uppercase) {
  const uint64_t capBytes = maxKb * 1024;
  const uint64_t shown = std::min<uint64_t>(file.size(), capBytes);
  std::string text = RenderReportHeader(path, file.size(), shown, maxKb, uppercase);
  if (file.empty()) {
    return text + RenderFooter(FooterKind::Empty, 0, maxKb);
  }
  text += "\r\n" + RenderColumnHeader(uppercase);
  for (uint64_t offset = 0; offset < shown; offset += 16) {
    AppendHexRow(text, offset, file.data() + offset, shown - offset, uppercase);
  }
  return text + "\r\n" + RenderFooter(SelectFooterKind(file.size(), capBytes), file.size(), maxKb);
}

TEST(DumpReport, WholeFormsByteForByte) {
  const std::vector<unsigned char> hello = {'H', 'e', 'l', 'l',  'o',  ',', ' ', 'w', 'o',  'r',
                                            'l', 'd', '!', '\r', '\n', 'B', 'y', 'e', 0x00, 0xFF};
  const struct {
    const char* name;
    std::string actual;
    std::string expected;
  } cases[] = {
      {"hello", Report(L"C:\\Data\\hello.txt", hello, 64, true),
       Lines({kEquals, "[Lumo Hex Dump]", "File:      C:\\Data\\hello.txt", "Size:      20 bytes",
              "Range:     Showing all 20 bytes (0x00000000 - 0x00000013)", kEquals, "",
              "Offset(h)    00 01 02 03 04 05 06 07  08 09 0A 0B 0C 0D 0E 0F    Decoded Text",
              "00000000     48 65 6C 6C 6F 2C 20 77  6F 72 6C 64 21 0D 0A 42    |Hello, world!..B|",
              "00000010     79 65 00 FF                                         |ye..            |", "", kDashes,
              "[End of File: Fully displayed] (Total: 20 bytes)", kDashes})},
      {"empty", Report(L"C:\\Data\\empty.bin", {}, 64, true),
       Lines({kEquals, "[Lumo Hex Dump]", "File:      C:\\Data\\empty.bin", "Size:      0 bytes",
              "Range:     Showing 0 bytes", kEquals, "", "[Empty File: 0 Bytes]"})},
      {"open error", RenderOpenErrorReport(L"C:\\Data\\missing.bin", L"file not found"),
       Lines({kEquals, "[Lumo Hex Dump Error]", "File:      C:\\Data\\missing.bin",
              "Error:     Cannot open file for reading (file not found)", kEquals})},
      {"cloud file", RenderCloudFileReport(L"C:\\Cloud\\a.bin"),
       Lines({kEquals, "[Lumo Hex Dump Error]", "File:      C:\\Cloud\\a.bin",
              "Error:     Online-only cloud file (Recall on data access).",
              "Hint:      Please download the file locally before viewing hex dump.", kEquals})},
      {"write failure", RenderWriteFailureReport(L"cannot create temporary file 'C:\\d\\x.tmp': Access is denied. (5)"),
       "[Lumo Hex Dump Error] Cannot write dump file (cannot create temporary file 'C:\\d\\x.tmp': Access is denied. "
       "(5)).\r\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.actual, c.expected) << c.name;
  }
}

TEST(DumpReport, LargeFileCappedInLowerCase) {
  std::vector<unsigned char> file(262145);
  for (size_t i = 0; i < file.size(); ++i) {
    file[i] = static_cast<unsigned char>(i);
  }
  const std::string text = Report(L"C:\\Data\\big.bin", file, 64, false);
  const std::string head =
      Lines({kEquals, "[Lumo Hex Dump]", "File:      C:\\Data\\big.bin", "Size:      256.00 KB (262,145 bytes)",
             "Range:     Showing first 64 KB (0x00000000 - 0x0000ffff)", kEquals, "",
             "Offset(h)    00 01 02 03 04 05 06 07  08 09 0a 0b 0c 0d 0e 0f    Decoded Text",
             "00000000     00 01 02 03 04 05 06 07  08 09 0a 0b 0c 0d 0e 0f    |................|"});
  const std::string tail =
      Lines({"0000fff0     f0 f1 f2 f3 f4 f5 f6 f7  f8 f9 fa fb fc fd fe ff    |................|", "", kDashes,
             "[Truncated] Display capped at 64 KB to ensure instant loading. (Total: 256.00 KB)", kDashes});
  // 4,094 rows of 85 bytes between the first and the last row.
  ASSERT_EQ(text.size(), head.size() + 4094 * 85 + tail.size());
  EXPECT_EQ(text.substr(0, head.size()), head);
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

// The Size and Range lines and the footer's middle line at the edges of the cap.
TEST(DumpReport, SizeRangeAndFooterAtTheCap) {
  const uint64_t gib = uint64_t{1} << 30;
  const struct {
    uint64_t size;
    uint64_t maxKb;
    bool uppercase;
    std::string sizeLine, rangeLine, footerLine;
  } cases[] = {
      {1, 64, true, "1 bytes", "Showing all 1 bytes (0x00000000 - 0x00000000)",
       "[End of File: Fully displayed] (Total: 1 bytes)"},
      {65536, 64, true, "64.00 KB (65,536 bytes)", "Showing all 65,536 bytes (0x00000000 - 0x0000FFFF)",
       "[End of File: Fully displayed] (Total: 65,536 bytes)"},
      {65537, 64, true, "64.00 KB (65,537 bytes)", "Showing first 64 KB (0x00000000 - 0x0000FFFF)",
       "[Truncated] Display capped at 64 KB to ensure instant loading. (Total: 64.00 KB)"},
      {700000, 64, false, "683.59 KB (700,000 bytes)", "Showing first 64 KB (0x00000000 - 0x0000ffff)",
       "[Truncated] Display capped at 64 KB to ensure instant loading. (Total: 683.59 KB)"},
      {5 * gib, 1048576, true, "5.00 GB (5,368,709,120 bytes)", "Showing first 1048576 KB (0x00000000 - 0x3FFFFFFF)",
       "[Truncated] Display capped at 1048576 KB to ensure instant loading. (Total: 5.00 GB)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    const uint64_t shown = std::min(c.size, c.maxKb * 1024);
    const std::string header = RenderReportHeader(L"C:\\f", c.size, shown, c.maxKb, c.uppercase);
    EXPECT_NE(header.find("\r\nSize:      " + c.sizeLine + "\r\nRange:     " + c.rangeLine + "\r\n" + kEquals),
              std::string::npos)
        << header;
    EXPECT_EQ(RenderFooter(SelectFooterKind(c.size, c.maxKb * 1024), c.size, c.maxKb),
              Lines({kDashes, c.footerLine, kDashes}));
  }
}

// Paths and messages in UTF-8; the read-error offset in either case.
TEST(DumpReport, PathsMessagesAndReadErrorLines) {
  const struct {
    std::wstring path;
    std::string utf8;
  } cases[] = {
      {L"C:\\Gr\u00FC\u00DFe \u20AC \xD83D\xDE00.bin",
       "C:\\Gr\xC3\xBC\xC3\x9F"
       "e \xE2\x82\xAC \xF0\x9F\x98\x80.bin"},
      {std::wstring(L"C:\\x") + L'\xD800' + L"y", "C:\\x\xEF\xBF\xBDy"},  // unpaired surrogate
  };
  for (const auto& c : cases) {
    const std::string line = "\r\nFile:      " + c.utf8 + "\r\n";
    EXPECT_NE(RenderReportHeader(c.path, 1, 1, 64, true).find(line), std::string::npos) << c.utf8;
    EXPECT_NE(RenderOpenErrorReport(c.path, L"m").find(line), std::string::npos) << c.utf8;
    EXPECT_NE(RenderCloudFileReport(c.path).find(line), std::string::npos) << c.utf8;
  }
  EXPECT_NE(RenderOpenErrorReport(L"p", L"\u00E9").find("(\xC3\xA9)\r\n"), std::string::npos);
  EXPECT_EQ(RenderReadErrorLine(0xABCDE, L"\u20AC", true), "[Read Error] Stopped at 0x000ABCDE: \xE2\x82\xAC\r\n");
  EXPECT_EQ(RenderReadErrorLine(0xABCDE, L"x", false), "[Read Error] Stopped at 0x000abcde: x\r\n");
  EXPECT_EQ(RenderWriteFailureReport(L"\u00E9"), "[Lumo Hex Dump Error] Cannot write dump file (\xC3\xA9).\r\n");
}

// A row as the layout describes it, built the plain way, to hold the fast rows to.
std::string PlainRow(uint64_t offset, const unsigned char* bytes, size_t count, bool uppercase) {
  char cell[16];
  std::snprintf(cell, sizeof cell, uppercase ? "%08X" : "%08x", static_cast<unsigned>(offset & 0xFFFFFFFF));
  std::string row = std::string(cell) + "     ";
  std::string text;
  for (size_t k = 0; k < 16; ++k) {
    if (k < count) {
      std::snprintf(cell, sizeof cell, uppercase ? "%02X" : "%02x", bytes[k]);
      row += cell;
      text += (bytes[k] >= 0x20 && bytes[k] <= 0x7E) ? static_cast<char>(bytes[k]) : '.';
    } else {
      row += "  ";
      text += ' ';
    }
    row += k == 15 ? "" : k == 7 ? "  " : " ";
  }
  return row + "    |" + text + "|\r\n";
}

TEST(HexRow, EveryByteValueAndLengthInBothCases) {
  std::vector<unsigned char> all(256 + 16);
  for (size_t v = 0; v < all.size(); ++v) {
    all[v] = static_cast<unsigned char>(v);
  }
  for (bool uppercase : {true, false}) {
    for (size_t start = 0; start < 256; ++start) {
      const uint64_t offset = 0x123456789ull + start * 0x01010101ull;  // only the low 32 bits show
      for (uint64_t count = 0; count <= 16; ++count) {
        // The table row stands in for the vector one on CPUs without SSSE3.
        std::string row, table;
        AppendHexRow(row, offset, all.data() + start, count, uppercase);
        rows::AppendTableRow(table, offset, all.data() + start, count, uppercase);
        ASSERT_EQ(row, PlainRow(offset, all.data() + start, count, uppercase)) << start << " " << count;
        ASSERT_EQ(table, row) << start << " " << count;
      }
      // A count above 16 takes one row and reads no further.
      std::string row;
      AppendHexRow(row, offset, all.data() + start, UINT64_MAX, uppercase);
      ASSERT_EQ(row, PlainRow(offset, all.data() + start, 16, uppercase)) << start;
    }
  }
  std::string row;
  const unsigned char decoded[] = {0x1F, 0x20, 0x7E, 0x7F, 0x80, 0xFF, 0xC3, 0xA9, 0x7C};
  AppendHexRow(row, 0, decoded, sizeof decoded, true);
  EXPECT_EQ(row.substr(65), "|. ~.....|       |\r\n");
}

// Each way of composing rows, and whether this CPU can run it.
struct RowsPath {
  const char* name;
  bool (*available)();
  void (*write)(char*, uint64_t, const unsigned char*, uint64_t, bool);
};

void PrintTo(const RowsPath& path, std::ostream* out) { *out << path.name; }

bool Always() { return true; }

// Appending must leave what the output already held.
void ByAppendHexRows(char* out, uint64_t offset, const unsigned char* bytes, uint64_t count, bool uppercase) {
  std::string text = "before";
  AppendHexRows(text, offset, bytes, count, uppercase);
  EXPECT_EQ(text.substr(0, 6), "before");
  std::memcpy(out, text.data() + 6, text.size() - 6);
}

const RowsPath kRowsPaths[] = {
    {"Dispatched", Always, WriteHexRows},
    {"Appended", Always, ByAppendHexRows},
    {"Table", Always, rows::WriteTableRows},
    {"Shuffle", rows::HasShuffleRows, rows::WriteShuffleRows},
    {"Avx2", rows::HasAvx2Rows, rows::WriteAvx2Rows},
    {"Vbmi", rows::HasVbmiRows, rows::WriteVbmiRows},
};

class HexRows : public testing::TestWithParam<RowsPath> {};

// The same text as one AppendHexRow per 16 bytes, the last row short, for offsets off the
// 16-byte grid or past 32 bits and noisy data; not one byte written outside the room given.
TEST_P(HexRows, SameTextAsOneRowAtATimeAndNothingOutside) {
  const RowsPath& path = GetParam();
  if (!path.available()) {
    GTEST_SKIP() << "this CPU cannot run the " << path.name << " rows";
  }
  std::mt19937 random(7);
  std::vector<unsigned char> data(1024 + 64);
  for (unsigned char& byte : data) {
    byte = static_cast<unsigned char>(random());
  }
  const std::string guard(64, '\xA5');
  for (bool uppercase : {true, false}) {
    for (uint64_t offset : {0x0ull, 0x7ull, 0xFFF0ull, 0xFFFFFFC8ull, 0x123456789ull}) {
      // Every count through a few groups of four rows, then longer runs.
      for (uint64_t count = 0; count <= 1024; count += count < 208 ? 1 : 272) {
        // Vary where the bytes start so each row sees other values and alignments.
        const unsigned char* bytes = data.data() + (count * 13 + offset) % 64;
        std::string expected;
        for (uint64_t i = 0; i < count; i += 16) {
          AppendHexRow(expected, offset + i, bytes + i, std::min<uint64_t>(count - i, 16), uppercase);
        }
        ASSERT_EQ(HexRowsSize(count), expected.size()) << count;
        std::string room = guard + std::string(expected.size(), '\0') + guard;
        path.write(room.data() + guard.size(), offset, bytes, count, uppercase);
        ASSERT_EQ(room, guard + expected + guard)
            << "count " << count << ", offset " << offset << (uppercase ? ", upper" : ", lower");
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryPath, HexRows, testing::ValuesIn(kRowsPaths),
                         [](const testing::TestParamInfo<RowsPath>& info) { return std::string(info.param.name); });

// Printed by the real C runtime: exact ties must round to even, and the unrounded
// quotient picks the unit.
TEST(FormatSizeText, EveryUnitItsEdgesAndTies) {
  const uint64_t tib = uint64_t{1} << 40;
  const struct {
    uint64_t value;
    std::string text;
  } cases[] = {
      {0, "0 bytes"},
      {1000, "1,000 bytes"},
      {1023, "1,023 bytes"},
      {1024, "1.00 KB (1,024 bytes)"},
      {1152, "1.12 KB (1,152 bytes)"},  // 1.125
      {1408, "1.38 KB (1,408 bytes)"},  // 1.375
      {1179648, "1.12 MB (1,179,648 bytes)"},
      {1048575, "1024.00 KB (1,048,575 bytes)"},
      {1048576, "1.00 MB (1,048,576 bytes)"},
      {1073741824, "1.00 GB (1,073,741,824 bytes)"},
      {tib - 1, "1024.00 GB (1,099,511,627,775 bytes)"},
      {tib, "1.00 TB (1,099,511,627,776 bytes)"},
      {2000 * tib, "2000.00 TB (2,199,023,255,552,000 bytes)"},
      {UINT64_MAX, "16777216.00 TB (18,446,744,073,709,551,615 bytes)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatSizeText(c.value), c.text);
  }
}

}  // namespace
}  // namespace hv
