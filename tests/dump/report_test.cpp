#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <ostream>
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
    text += line;
    text += "\r\n";
  }
  return text;
}

std::string Row(uint64_t offset, const std::vector<unsigned char>& bytes, bool uppercase = true) {
  std::string row;
  AppendHexRow(row, offset, bytes.data(), bytes.size(), uppercase);
  return row;
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
  text += "\r\n" + RenderFooter(SelectFooterKind(file.size(), capBytes), file.size(), maxKb);
  return text;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

TEST(DumpReport, SmallFileShownWhole) {
  const std::string content = "Hello, world!\r\nBye";
  std::vector<unsigned char> file(content.begin(), content.end());
  file.push_back(0x00);
  file.push_back(0xFF);

  EXPECT_EQ(Report(L"C:\\Data\\hello.txt", file, 64, true),
            Lines({
                kEquals,
                "[Lumo Hex Dump]",
                "File:      C:\\Data\\hello.txt",
                "Size:      20 bytes",
                "Range:     Showing all 20 bytes (0x00000000 - 0x00000013)",
                kEquals,
                "",
                "Offset(h)    00 01 02 03 04 05 06 07  08 09 0A 0B 0C 0D 0E 0F    Decoded Text",
                "00000000     48 65 6C 6C 6F 2C 20 77  6F 72 6C 64 21 0D 0A 42    |Hello, world!..B|",
                "00000010     79 65 00 FF                                         |ye..            |",
                "",
                kDashes,
                "[End of File: Fully displayed] (Total: 20 bytes)",
                kDashes,
            }));
}

TEST(DumpReport, LargeFileCappedInLowerCase) {
  std::vector<unsigned char> file(262145);
  for (size_t i = 0; i < file.size(); ++i) {
    file[i] = static_cast<unsigned char>(i);
  }
  const std::string text = Report(L"C:\\Data\\big.bin", file, 64, false);
  const std::vector<std::string> lines = SplitLines(text);

  // 6 header lines, an empty line, the column header, 4,096 rows, an empty line, 3 footer lines.
  ASSERT_EQ(lines.size(), 4108u);
  ASSERT_EQ(text.substr(text.size() - 2), "\r\n");
  const std::vector<std::string> head(lines.begin(), lines.begin() + 9);
  EXPECT_EQ(head, (std::vector<std::string>{
                      kEquals,
                      "[Lumo Hex Dump]",
                      "File:      C:\\Data\\big.bin",
                      "Size:      256.00 KB (262,145 bytes)",
                      "Range:     Showing first 64 KB (0x00000000 - 0x0000ffff)",
                      kEquals,
                      "",
                      "Offset(h)    00 01 02 03 04 05 06 07  08 09 0a 0b 0c 0d 0e 0f    Decoded Text",
                      "00000000     00 01 02 03 04 05 06 07  08 09 0a 0b 0c 0d 0e 0f    |................|",
                  }));
  EXPECT_EQ(lines[8 + 4095], "0000fff0     f0 f1 f2 f3 f4 f5 f6 f7  f8 f9 fa fb fc fd fe ff    |................|");
  const std::vector<std::string> tail(lines.end() - 4, lines.end());
  EXPECT_EQ(tail, (std::vector<std::string>{
                      "",
                      kDashes,
                      "[Truncated] Display capped at 64 KB to ensure instant loading. (Total: 256.00 KB)",
                      kDashes,
                  }));
  for (size_t row = 0; row < 4096; ++row) {
    ASSERT_EQ(lines[8 + row].size(), 83u) << row;
  }
}

TEST(DumpReport, EmptyFileHasNoRowsAndNoDashes) {
  EXPECT_EQ(Report(L"C:\\Data\\empty.bin", {}, 64, true), Lines({
                                                              kEquals,
                                                              "[Lumo Hex Dump]",
                                                              "File:      C:\\Data\\empty.bin",
                                                              "Size:      0 bytes",
                                                              "Range:     Showing 0 bytes",
                                                              kEquals,
                                                              "",
                                                              "[Empty File: 0 Bytes]",
                                                          }));
}

TEST(DumpReport, OneByteFile) {
  const std::string text = Report(L"C:\\a", {0x41}, 64, true);
  const std::vector<std::string> lines = SplitLines(text);
  ASSERT_EQ(lines.size(), 13u);
  EXPECT_EQ(lines[3], "Size:      1 bytes");
  EXPECT_EQ(lines[4], "Range:     Showing all 1 bytes (0x00000000 - 0x00000000)");
  EXPECT_EQ(lines[8], "00000000     41" + std::string(65 - 15, ' ') + "|A" + std::string(15, ' ') + "|");
  EXPECT_EQ(lines[11], "[End of File: Fully displayed] (Total: 1 bytes)");
}

TEST(DumpReport, FileOfExactlyTheCapIsShownWhole) {
  const std::string header = RenderReportHeader(L"C:\\f", 65536, 65536, 64, true);
  EXPECT_NE(header.find("\r\nSize:      64.00 KB (65,536 bytes)\r\n"), std::string::npos) << header;
  EXPECT_NE(header.find("\r\nRange:     Showing all 65,536 bytes (0x00000000 - 0x0000FFFF)\r\n"), std::string::npos)
      << header;
  EXPECT_EQ(RenderFooter(SelectFooterKind(65536, 65536), 65536, 64),
            Lines({kDashes, "[End of File: Fully displayed] (Total: 65,536 bytes)", kDashes}));
}

TEST(DumpReport, OneByteOverTheCapIsTruncated) {
  const std::string header = RenderReportHeader(L"C:\\f", 65537, 65536, 64, true);
  EXPECT_NE(header.find("\r\nRange:     Showing first 64 KB (0x00000000 - 0x0000FFFF)\r\n"), std::string::npos)
      << header;
  EXPECT_EQ(
      RenderFooter(SelectFooterKind(65537, 65536), 65537, 64),
      Lines({kDashes, "[Truncated] Display capped at 64 KB to ensure instant loading. (Total: 64.00 KB)", kDashes}));
}

TEST(DumpReport, LargestCapEndsTheRangeBelowOneGibibyte) {
  const uint64_t gib = uint64_t{1} << 30;
  const std::string header = RenderReportHeader(L"C:\\f", 5 * gib, gib, 1048576, true);
  EXPECT_NE(header.find("\r\nRange:     Showing first 1048576 KB (0x00000000 - 0x3FFFFFFF)\r\n"), std::string::npos)
      << header;
  EXPECT_NE(header.find("\r\nSize:      5.00 GB (5,368,709,120 bytes)\r\n"), std::string::npos) << header;
}

TEST(DumpReport, HeaderIsSixLines) {
  const std::string header = RenderReportHeader(L"C:\\Data\\x.bin", 1536, 1536, 64, true);
  EXPECT_EQ(header, Lines({
                        kEquals,
                        "[Lumo Hex Dump]",
                        "File:      C:\\Data\\x.bin",
                        "Size:      1.50 KB (1,536 bytes)",
                        "Range:     Showing all 1,536 bytes (0x00000000 - 0x000005FF)",
                        kEquals,
                    }));
}

TEST(DumpReport, LowerCaseChangesOnlyHexDigits) {
  const std::string upper = RenderReportHeader(L"C:\\f", 700000, 65536, 64, true);
  const std::string lower = RenderReportHeader(L"C:\\f", 700000, 65536, 64, false);
  EXPECT_NE(upper.find("(0x00000000 - 0x0000FFFF)"), std::string::npos);
  EXPECT_NE(lower.find("(0x00000000 - 0x0000ffff)"), std::string::npos);
  EXPECT_NE(lower.find("Showing first 64 KB"), std::string::npos);
  EXPECT_NE(lower.find("683.59 KB (700,000 bytes)"), std::string::npos);

  EXPECT_EQ(RenderReadErrorLine(0xABCDE, L"x", true), "[Read Error] Stopped at 0x000ABCDE: x\r\n");
  EXPECT_EQ(RenderReadErrorLine(0xABCDE, L"x", false), "[Read Error] Stopped at 0x000abcde: x\r\n");

  EXPECT_EQ(Row(0xABCDEF0, {0xAB, 0xCD, 0xEF}, true).substr(0, 22), "0ABCDEF0     AB CD EF ");
  EXPECT_EQ(Row(0xABCDEF0, {0xAB, 0xCD, 0xEF}, false).substr(0, 22), "0abcdef0     ab cd ef ");
}

TEST(ColumnHeader, BothCases) {
  EXPECT_EQ(RenderColumnHeader(true),
            "Offset(h)    00 01 02 03 04 05 06 07  08 09 0A 0B 0C 0D 0E 0F    Decoded Text\r\n");
  EXPECT_EQ(RenderColumnHeader(false),
            "Offset(h)    00 01 02 03 04 05 06 07  08 09 0a 0b 0c 0d 0e 0f    Decoded Text\r\n");
  EXPECT_EQ(RenderColumnHeader(true).size(), 79u);
  // "Decoded Text" stands above the rows' left bar.
  EXPECT_EQ(RenderColumnHeader(true).find("Decoded Text"), Row(0, {1}).find('|'));
}

TEST(HexRow, DecodesPrintableAsciiOnly) {
  const std::string row = Row(0, {0x1F, 0x20, 0x7E, 0x7F, 0x80, 0xFF, 0xC3, 0xA9, 0x7C});
  EXPECT_EQ(row.substr(65), "|. ~.....|       |\r\n");
  EXPECT_EQ(row.substr(13, 27), "1F 20 7E 7F 80 FF C3 A9  7C");
}

TEST(HexRow, FullRowColumns) {
  std::vector<unsigned char> bytes(16);
  for (size_t k = 0; k < 16; ++k) {
    bytes[k] = static_cast<unsigned char>(0xA0 + k);
  }
  EXPECT_EQ(Row(0x12345670, bytes, true),
            "12345670     A0 A1 A2 A3 A4 A5 A6 A7  A8 A9 AA AB AC AD AE AF    |................|\r\n");
  EXPECT_EQ(Row(0x12345670, bytes, false),
            "12345670     a0 a1 a2 a3 a4 a5 a6 a7  a8 a9 aa ab ac ad ae af    |................|\r\n");
  std::string table;
  rows::AppendTableRow(table, 0x12345670, bytes.data(), 16, true);
  EXPECT_EQ(table, "12345670     A0 A1 A2 A3 A4 A5 A6 A7  A8 A9 AA AB AC AD AE AF    |................|\r\n");
}

// A short row reads like the full row with the missing bytes blanked out.
TEST(HexRow, ShortRowsKeepTheirWidth) {
  const std::vector<unsigned char> full = {'0', 0x01, 'a', 0xFE, '|', ' ',  '~', 0x7F,
                                           'Z', 0x80, 'q', 0x00, '.', 0x9A, 'x', 0xC3};
  const std::string fullRow = Row(0x3FFFFFF0, full);
  for (size_t count = 1; count <= 15; ++count) {
    SCOPED_TRACE(count);
    std::string expected = fullRow;
    for (size_t k = count; k < 16; ++k) {
      const size_t cell = 13 + 3 * k + (k >= 8 ? 1 : 0);
      expected[cell] = ' ';
      expected[cell + 1] = ' ';
      expected[66 + k] = ' ';
    }
    const std::string row = Row(0x3FFFFFF0, std::vector<unsigned char>(full.begin(), full.begin() + count));
    EXPECT_EQ(row, expected);
    ASSERT_EQ(row.size(), 85u);
    EXPECT_EQ(row[65], '|');
    EXPECT_EQ(row[82], '|');
  }
}

TEST(HexRow, CountAboveSixteenIsSixteen) {
  std::vector<unsigned char> bytes(64, 0x41);
  bytes[15] = 0x42;
  const std::string sixteen = Row(0x10, std::vector<unsigned char>(bytes.begin(), bytes.begin() + 16));
  for (uint64_t count : {uint64_t{17}, uint64_t{64}, UINT64_MAX}) {
    std::string row;
    AppendHexRow(row, 0x10, bytes.data(), count, true);
    EXPECT_EQ(row, sixteen) << count;
  }
}

TEST(HexRow, NoBytesGivesBlankRow) {
  std::string row;
  AppendHexRow(row, 0x20, nullptr, 0, true);
  EXPECT_EQ(row, "00000020" + std::string(57, ' ') + "|" + std::string(16, ' ') + "|\r\n");
}

TEST(HexRow, AppendsAfterExistingText) {
  std::string output = "before\r\n";
  const unsigned char bytes[16] = {};
  AppendHexRow(output, 0, bytes, 16, true);
  AppendHexRow(output, 16, bytes, 3, true);
  ASSERT_EQ(output.size(), 8u + 85u + 85u);
  EXPECT_EQ(output.substr(0, 8), "before\r\n");
  EXPECT_EQ(output.substr(8, 8), "00000000");
  EXPECT_EQ(output.substr(93, 8), "00000010");
}

TEST(HexRow, OffsetShowsItsLow32Bits) { EXPECT_EQ(Row(0x123456789ull, {0}).substr(0, 8), "23456789"); }

// Both ways of composing a row give the same text for every byte value, position,
// offset nibble and letter case; on a CPU without SSSE3 only the tables are checked.
TEST(HexRow, ShuffleAndTableRowsAgree) {
  std::vector<unsigned char> data(256 + 16);
  for (size_t i = 0; i < data.size(); ++i) {
    data[i] = static_cast<unsigned char>(i * 7 + 3);
  }
  for (bool uppercase : {true, false}) {
    for (size_t start = 0; start < 256; ++start) {
      const uint64_t offset = 0x01234567ull * start ^ 0xFEDCBA98ull;
      std::string table, dispatched;
      rows::AppendTableRow(table, offset, data.data() + start, 16, uppercase);
      AppendHexRow(dispatched, offset, data.data() + start, 16, uppercase);
      ASSERT_EQ(dispatched, table) << start;
      if (rows::HasShuffleRows()) {
        std::string shuffled;
        rows::AppendShuffleRow(shuffled, offset, data.data() + start, uppercase);
        ASSERT_EQ(shuffled, table) << start;
      }
    }
  }
  if (!rows::HasShuffleRows()) {
    GTEST_SKIP() << "no SSSE3 on this CPU: shuffle rows not compared";
  }
}

// Each way of rendering many rows at once into room made for them, and whether this CPU
// can run it.
struct RowsPath {
  const char* name;
  bool (*available)();
  void (*write)(char*, uint64_t, const unsigned char*, uint64_t, bool);
};

bool Always() { return true; }

void PrintTo(const RowsPath& path, std::ostream* out) { *out << path.name; }

const RowsPath kRowsPaths[] = {
    {"Dispatched", Always, WriteHexRows},
    {"Table", Always, rows::WriteTableRows},
    {"Shuffle", rows::HasShuffleRows, rows::WriteShuffleRows},
    {"Avx2", rows::HasAvx2Rows, rows::WriteAvx2Rows},
    {"Vbmi", rows::HasVbmiRows, rows::WriteVbmiRows},
};

class HexRows : public testing::TestWithParam<RowsPath> {};

std::vector<unsigned char> NoiseBytes(size_t size) {
  std::vector<unsigned char> data(size);
  uint64_t state = 0x9E3779B97F4A7C15ull;
  for (unsigned char& byte : data) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    byte = static_cast<unsigned char>(state >> 56);
  }
  return data;
}

std::vector<uint64_t> RowCounts() {
  std::vector<uint64_t> counts;
  for (uint64_t count = 0; count <= 70; ++count) {
    counts.push_back(count);
  }
  for (uint64_t count : {127, 128, 129, 143, 191, 192, 207, 1000, 1024}) {
    counts.push_back(count);
  }
  return counts;
}

const uint64_t kRowOffsets[] = {0, 0x10, 0x7, 0x0000FFF0, 0xFFFFFFC8, 0x123456789ull};

// The same bytes as one AppendHexRow per 16 bytes from the start, the last row short,
// for every count up to a few groups of rows past one, offsets that are not multiples of
// 16 or wrap past 32 bits, and any data; not one byte written outside the room given.
TEST_P(HexRows, SameTextAsOneRowAtATimeAndNothingOutside) {
  const RowsPath& path = GetParam();
  if (!path.available()) {
    GTEST_SKIP() << "this CPU cannot run the " << path.name << " rows";
  }
  const std::vector<unsigned char> data = NoiseBytes(1024 + 64);
  const std::string guard(64, '\xA5');
  for (bool uppercase : {true, false}) {
    for (uint64_t offset : kRowOffsets) {
      for (uint64_t count : RowCounts()) {
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

// Appending puts the same rows after what the output already held.
TEST(HexRowsAppend, ExtendsWhatTheOutputHeld) {
  const std::vector<unsigned char> data = NoiseBytes(200);
  for (uint64_t count : {0, 1, 16, 17, 64, 65, 200}) {
    std::string expected = "before\r\n";
    for (uint64_t i = 0; i < count; i += 16) {
      AppendHexRow(expected, 0x30 + i, data.data() + i, std::min<uint64_t>(count - i, 16), false);
    }
    std::string actual = "before\r\n";
    AppendHexRows(actual, 0x30, data.data(), count, false);
    ASSERT_EQ(actual, expected) << count;
  }
}

TEST(HexRow, EveryByteValueRendersItsDigitsAndText) {
  const char* digits[] = {"0123456789abcdef", "0123456789ABCDEF"};
  for (bool uppercase : {false, true}) {
    std::vector<unsigned char> all(256);
    for (int v = 0; v < 256; ++v) {
      all[v] = static_cast<unsigned char>(v);
    }
    std::string text;
    for (size_t offset = 0; offset < 256; offset += 16) {
      AppendHexRow(text, offset, all.data() + offset, 16, uppercase);
    }
    for (int v = 0; v < 256; ++v) {
      const std::string row = text.substr((v / 16) * 85, 85);
      const size_t k = v % 16;
      const size_t cell = 13 + 3 * k + (k >= 8 ? 1 : 0);
      ASSERT_EQ(row[cell], digits[uppercase][v >> 4]) << v;
      ASSERT_EQ(row[cell + 1], digits[uppercase][v & 0xF]) << v;
      const char shown = (v >= 0x20 && v <= 0x7E) ? static_cast<char>(v) : '.';
      ASSERT_EQ(row[66 + k], shown) << v;
    }
  }
}

TEST(SelectFooterKind, BySizeAlone) {
  struct Case {
    uint64_t size;
    uint64_t cap;
    FooterKind kind;
  };
  const Case cases[] = {
      {0, 65536, FooterKind::Empty},
      {1, 65536, FooterKind::FullyDisplayed},
      {65536, 65536, FooterKind::FullyDisplayed},
      {65537, 65536, FooterKind::Truncated},
      {UINT64_MAX, 1024, FooterKind::Truncated},
      {UINT64_MAX, UINT64_MAX, FooterKind::FullyDisplayed},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SelectFooterKind(c.size, c.cap), c.kind) << c.size << " " << c.cap;
  }
}

TEST(Footer, EveryKind) {
  EXPECT_EQ(RenderFooter(FooterKind::Empty, 0, 64), "\r\n[Empty File: 0 Bytes]\r\n");
  EXPECT_EQ(RenderFooter(FooterKind::FullyDisplayed, 1234567, 2048),
            Lines({kDashes, "[End of File: Fully displayed] (Total: 1,234,567 bytes)", kDashes}));
  EXPECT_EQ(
      RenderFooter(FooterKind::Truncated, 1048576, 1),
      Lines({kDashes, "[Truncated] Display capped at 1 KB to ensure instant loading. (Total: 1.00 MB)", kDashes}));
}

TEST(ErrorReports, ReadErrorLine) {
  EXPECT_EQ(RenderReadErrorLine(65536, L"the device is not ready", true),
            "[Read Error] Stopped at 0x00010000: the device is not ready\r\n");
  EXPECT_EQ(RenderReadErrorLine(0, L"", true), "[Read Error] Stopped at 0x00000000: \r\n");
}

TEST(ErrorReports, OpenError) {
  EXPECT_EQ(RenderOpenErrorReport(L"C:\\Data\\missing.bin", L"file not found"),
            Lines({
                kEquals,
                "[Lumo Hex Dump Error]",
                "File:      C:\\Data\\missing.bin",
                "Error:     Cannot open file for reading (file not found)",
                kEquals,
            }));
}

TEST(ErrorReports, CloudFile) {
  EXPECT_EQ(RenderCloudFileReport(L"C:\\Cloud\\a.bin"),
            Lines({
                kEquals,
                "[Lumo Hex Dump Error]",
                "File:      C:\\Cloud\\a.bin",
                "Error:     Online-only cloud file (Recall on data access).",
                "Hint:      Please download the file locally before viewing hex dump.",
                kEquals,
            }));
}

TEST(ErrorReports, WriteFailure) {
  EXPECT_EQ(RenderWriteFailureReport(L"cannot create temporary file 'C:\\d\\x.tmp': Access is denied. (5)"),
            "[Lumo Hex Dump Error] Cannot write dump file (cannot create temporary file 'C:\\d\\x.tmp': Access is "
            "denied. (5)).\r\n");
  EXPECT_EQ(RenderWriteFailureReport(L""), "[Lumo Hex Dump Error] Cannot write dump file ().\r\n");
}

TEST(ErrorReports, PathsAndMessagesAreUtf8) {
  const std::wstring path = L"C:\\Daten\\Gr\u00FC\u00DFe \u20AC \xD83D\xDE00.bin";
  const std::string utf8 =
      "C:\\Daten\\Gr\xC3\xBC\xC3\x9F"
      "e \xE2\x82\xAC \xF0\x9F\x98\x80.bin";
  EXPECT_NE(RenderReportHeader(path, 1, 1, 64, true).find("\r\nFile:      " + utf8 + "\r\n"), std::string::npos);
  EXPECT_NE(RenderOpenErrorReport(path, L"\u00E9")
                .find("\r\nFile:      " + utf8 +
                      "\r\nError:     Cannot open file "
                      "for reading (\xC3\xA9)\r\n"),
            std::string::npos);
  EXPECT_NE(RenderCloudFileReport(path).find("\r\nFile:      " + utf8 + "\r\n"), std::string::npos);
  EXPECT_EQ(RenderReadErrorLine(1, L"\u20AC", true), "[Read Error] Stopped at 0x00000001: \xE2\x82\xAC\r\n");
  EXPECT_EQ(RenderWriteFailureReport(L"\u00E9"), "[Lumo Hex Dump Error] Cannot write dump file (\xC3\xA9).\r\n");
}

TEST(ErrorReports, UnpairedSurrogateBecomesReplacementCharacter) {
  const std::wstring path = std::wstring(L"C:\\x") + L'\xD800' + L"y";
  const std::string line = "\r\nFile:      C:\\x\xEF\xBF\xBDy\r\n";
  EXPECT_NE(RenderReportHeader(path, 0, 0, 64, true).find(line), std::string::npos);
  EXPECT_NE(RenderOpenErrorReport(path, L"m").find(line), std::string::npos);
  EXPECT_NE(RenderCloudFileReport(path).find(line), std::string::npos);
}

TEST(FormatHex, MinimumDigitsAndWidth) {
  struct Case {
    uint64_t value;
    bool uppercase;
    unsigned minimum;
    std::string text;
  };
  const Case cases[] = {
      {0, true, 0, "0"},
      {0, true, 1, "0"},
      {0, true, 8, "00000000"},
      {0xF, true, 0, "F"},
      {0x10, true, 0, "10"},
      {0x1234, true, 2, "1234"},
      {0xABC, false, 8, "00000abc"},
      {0xABC, true, 8, "00000ABC"},
      {0xFFFFFFFF, true, 8, "FFFFFFFF"},
      {0x100000000, true, 8, "100000000"},
      {0xDEADBEEFCAFEull, false, 0, "deadbeefcafe"},
      {UINT64_MAX, true, 8, "FFFFFFFFFFFFFFFF"},
      {0x8000000000000000ull, true, 0, "8000000000000000"},
      {UINT64_MAX, false, 20, "0000ffffffffffffffff"},
      {0x1, true, 16, "0000000000000001"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatHex(c.value, c.uppercase, c.minimum), c.text) << c.value << " min " << c.minimum;
  }
}

TEST(FormatByteCount, GroupsThousands) {
  struct Case {
    uint64_t value;
    std::string text;
  };
  const Case cases[] = {
      {0, "0 bytes"},
      {1, "1 bytes"},
      {12, "12 bytes"},
      {999, "999 bytes"},
      {1000, "1,000 bytes"},
      {12345, "12,345 bytes"},
      {123456, "123,456 bytes"},
      {999999, "999,999 bytes"},
      {1000000, "1,000,000 bytes"},
      {1234567, "1,234,567 bytes"},
      {UINT64_MAX, "18,446,744,073,709,551,615 bytes"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatByteCount(c.value), c.text);
  }
}

TEST(FormatSizeText, EveryUnitAndItsEdges) {
  struct Case {
    uint64_t value;
    std::string text;
  };
  const uint64_t tib = uint64_t{1} << 40;
  const Case cases[] = {
      {0, "0 bytes"},
      {1, "1 bytes"},
      {999, "999 bytes"},
      {1000, "1,000 bytes"},
      {1023, "1,023 bytes"},
      {1024, "1.00 KB (1,024 bytes)"},
      {1536, "1.50 KB (1,536 bytes)"},
      {1152, "1.12 KB (1,152 bytes)"},
      {1048575, "1024.00 KB (1,048,575 bytes)"},
      {1048576, "1.00 MB (1,048,576 bytes)"},
      {1073741823, "1024.00 MB (1,073,741,823 bytes)"},
      {1073741824, "1.00 GB (1,073,741,824 bytes)"},
      {tib - 1, "1024.00 GB (1,099,511,627,775 bytes)"},
      {tib, "1.00 TB (1,099,511,627,776 bytes)"},
      {1024 * tib, "1024.00 TB (1,125,899,906,842,624 bytes)"},
      {2000 * tib, "2000.00 TB (2,199,023,255,552,000 bytes)"},
      {UINT64_MAX, "16777216.00 TB (18,446,744,073,709,551,615 bytes)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatSizeText(c.value), c.text);
  }
}

// The C runtime must round the exact binary value half to even: these are exact ties.
TEST(FormatHumanSize, ExactTiesRoundToEven) {
  struct Case {
    uint64_t value;
    std::string text;
  };
  const Case cases[] = {
      {1152, "1.12 KB"},        // 1.125
      {1408, "1.38 KB"},        // 1.375
      {1664, "1.62 KB"},        // 1.625
      {1920, "1.88 KB"},        // 1.875
      {2176, "2.12 KB"},        // 2.125
      {1179648, "1.12 MB"},     // 1.125 MB
      {1023, "1,023 bytes"},    // no human part below 1024
      {1048575, "1024.00 KB"},  // the unrounded quotient picks the unit
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatHumanSize(c.value), c.text) << c.value;
  }
}

}  // namespace
}  // namespace hv
