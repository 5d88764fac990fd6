#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>

#include "dump/generate.h"
#include "dump/hex_rows.h"
#include "dump/report.h"
#include "support/fault_guards.h"
#include "support/test_support.h"

namespace hv::dump_test {

const std::string kNoise = [] {
  std::string bytes(200004, '\0');
  std::mt19937 random(3);
  for (char& byte : bytes) byte = static_cast<char>(random());
  return bytes;
}();
const auto* const kBytes = reinterpret_cast<const unsigned char*>(kNoise.data());
const std::string kEquals(83, '='), kDashes(83, '-');

// The row of the format's definition: 8 digits of bits 31..0, 5 spaces, 16 cells, 4 spaces, bars.
std::string Row(uint64_t offset, const unsigned char* bytes, uint64_t count, bool upper) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string row;
  for (int shift = 28; shift >= 0; shift -= 4) row += digits[(offset >> shift) & 15];
  row += "     ";
  for (uint64_t k = 0; k < 16; ++k) {
    row += k < count ? std::string{digits[bytes[k] >> 4], digits[bytes[k] & 15]} : "  ";
    row += k == 15 ? "" : k == 7 ? "  " : " ";
  }
  row += "    |";
  for (uint64_t k = 0; k < 16; ++k) row += k >= count ? ' ' : bytes[k] >= 0x20 && bytes[k] <= 0x7E ? bytes[k] : '.';
  return row + "|\r\n";
}
std::string Rows(uint64_t offset, const unsigned char* bytes, uint64_t count, bool upper = true) {
  std::string rows;
  for (uint64_t i = 0; i < count; i += 16) rows += Row(offset + i, bytes + i, std::min<uint64_t>(count - i, 16), upper);
  return rows;
}
std::string Ascii(const std::wstring& path) {
  return std::string(path.begin(), path.end());
}  // scratch paths are ASCII
std::string Header(const std::wstring& path, const std::string& size, const std::string& range) {
  return kEquals + "\r\n[Lumo Hex Dump]\r\nFile:      " + Ascii(path) + "\r\nSize:      " + size +
         "\r\nRange:     " + range + "\r\n" + kEquals + "\r\n";
}
std::string Columns(bool upper) {
  return upper ? "\r\nOffset(h)    00 01 02 03 04 05 06 07  08 09 0A 0B 0C 0D 0E 0F    Decoded Text\r\n"
               : "\r\nOffset(h)    00 01 02 03 04 05 06 07  08 09 0a 0b 0c 0d 0e 0f    Decoded Text\r\n";
}
std::string Footer(const std::string& line) { return "\r\n" + kDashes + "\r\n" + line + "\r\n" + kDashes + "\r\n"; }

const unsigned char kHello[] = "Hello, world!\r\nBye\0\xFF";
const std::string kHelloDump =
    "===================================================================================\r\n"
    "[Lumo Hex Dump]\r\nFile:      C:\\Data\\hello.txt\r\nSize:      20 bytes\r\n"
    "Range:     Showing all 20 bytes (0x00000000 - 0x00000013)\r\n"
    "===================================================================================\r\n\r\n"
    "Offset(h)    00 01 02 03 04 05 06 07  08 09 0A 0B 0C 0D 0E 0F    Decoded Text\r\n"
    "00000000     48 65 6C 6C 6F 2C 20 77  6F 72 6C 64 21 0D 0A 42    |Hello, world!..B|\r\n"
    "00000010     79 65 00 FF                                         |ye..            |\r\n\r\n"
    "-----------------------------------------------------------------------------------\r\n"
    "[End of File: Fully displayed] (Total: 20 bytes)\r\n"
    "-----------------------------------------------------------------------------------\r\n";

TEST(DumpReport, TheFormatsExamplesAndFixedTextsLiterally) {
  std::string hello = RenderReportHeader(L"C:\\Data\\hello.txt", 20, 20, 64, true) + "\r\n" + RenderColumnHeader(true);
  AppendHexRow(hello, 0, kHello, 16, true);
  AppendHexRow(hello, 16, kHello + 16, 4, true);
  EXPECT_EQ(hello + "\r\n" + RenderFooter(SelectFooterKind(20, 65536), 20, 64), kHelloDump);
  EXPECT_EQ(Rows(0, kHello, 20), kHelloDump.substr(kHelloDump.find("\r\n00000000") + 2, 170)) << "the reference itself";
  EXPECT_EQ(RenderOpenErrorReport(L"C:\\Data\\missing.bin", L"file not found"),
            kEquals +
                "\r\n[Lumo Hex Dump Error]\r\nFile:      C:\\Data\\missing.bin\r\n"
                "Error:     Cannot open file for reading (file not found)\r\n" +
                kEquals + "\r\n");
  EXPECT_EQ(RenderCloudFileReport(std::wstring(L"C:\\x") + L'\xD800'),
            kEquals +
                "\r\n[Lumo Hex Dump Error]\r\nFile:      C:\\x\xEF\xBF\xBD\r\n"
                "Error:     Online-only cloud file (Recall on data access).\r\n"
                "Hint:      Please download the file locally before viewing hex dump.\r\n" +
                kEquals + "\r\n");
  EXPECT_EQ(RenderWriteFailureReport(L"cannot write temporary file 'C:\\\u00e9': x"),
            "[Lumo Hex Dump Error] Cannot write dump file (cannot write temporary file 'C:\\\xC3\xA9': x).\r\n");
  // Header size and range, footers and the read-error line, in both cases.
  const std::tuple<std::string, std::string, bool> pieces[] = {
      {RenderReportHeader(L"e", 0, 0, 64, false) + RenderFooter(FooterKind::Empty, 0, 64),
       Header(L"e", "0 bytes", "Showing 0 bytes") + "\r\n[Empty File: 0 Bytes]\r\n", false},
      {RenderReportHeader(L"c", 65536, 65536, 64, false),
       Header(L"c", "64.00 KB (65,536 bytes)", "Showing all 65,536 bytes (0x00000000 - 0x0000ffff)"), false},
      {RenderReportHeader(L"c", 65537, 65536, 64, true),
       Header(L"c", "64.00 KB (65,537 bytes)", "Showing first 64 KB (0x00000000 - 0x0000FFFF)"), true},
      {RenderReportHeader(L"b", 3ull << 30, 0xABCDEF, 1048576, false),
       Header(L"b", "3.00 GB (3,221,225,472 bytes)", "Showing first 1048576 KB (0x00000000 - 0x00abcdee)"), false},
      {"\r\n" + RenderFooter(SelectFooterKind(65537, 65536), 65537, 64),
       Footer("[Truncated] Display capped at 64 KB to ensure instant loading. (Total: 64.00 KB)"), true},
      {"\r\n" + RenderFooter(SelectFooterKind(65536, 65536), 65536, 64),
       Footer("[End of File: Fully displayed] (Total: 65,536 bytes)"), true},
      {RenderReadErrorLine(0x3ABCDEF0, L"file is locked by another process", true),
       "[Read Error] Stopped at 0x3ABCDEF0: file is locked by another process\r\n", true},
      {RenderReadErrorLine(0x3ABCDEF0, L"access denied", false),
       "[Read Error] Stopped at 0x3abcdef0: access denied\r\n", false},
      {RenderColumnHeader(true), Columns(true).substr(2), true},
      {RenderColumnHeader(false), Columns(false).substr(2), false},
  };
  for (const auto& [text, expected, upper] : pieces) EXPECT_EQ(text, expected) << upper;
  const std::pair<uint64_t, const char*> sizes[] = {{0, "0 bytes"},
                                                    {1, "1 bytes"},
                                                    {999, "999 bytes"},
                                                    {1000, "1,000 bytes"},
                                                    {1023, "1,023 bytes"},
                                                    {1024, "1.00 KB (1,024 bytes)"},
                                                    {1152, "1.12 KB (1,152 bytes)"},
                                                    {1536, "1.50 KB (1,536 bytes)"},
                                                    {1048575, "1024.00 KB (1,048,575 bytes)"},
                                                    {1048576, "1.00 MB (1,048,576 bytes)"},
                                                    {2000ull << 40, "2000.00 TB (2,199,023,255,552,000 bytes)"}};
  for (const auto& [size, text] : sizes) EXPECT_EQ(FormatSizeText(size), text);
  EXPECT_EQ(FormatByteCount(1234567), "1,234,567 bytes");
  EXPECT_EQ(FormatHumanSize(262145), "256.00 KB");
  EXPECT_EQ(FormatHex(0xABC, false, 8) + FormatHex(0xFEDCBA9876543210, true, 8) + FormatHex(0, true, 1),
            "00000abcFEDCBA98765432100");
}

// Every way of writing rows, at offsets with every letter digit and across 0xFFFFFFFF, for
// every count up to 16 and for runs on which each multi-row loop turns at least twice.
std::vector<HexRowsPath> AllRowPaths() {
  std::vector<HexRowsPath> paths = HexRowsPaths();
  paths.push_back({"Dispatched", true, WriteHexRows});
  paths.push_back(
      {"RowByRow", true, [](char* out, uint64_t offset, const unsigned char* bytes, uint64_t count, bool up) {
         std::string rows;
         for (uint64_t i = 0; i < count; i += 16) AppendHexRow(rows, offset + i, bytes + i, count - i, up);
         std::copy(rows.begin(), rows.end(), out);
       }});
  return paths;
}

class HexRows : public testing::TestWithParam<HexRowsPath> {};

TEST_P(HexRows, WriteTheRowsOfTheDefinitionAndNothingOutside) {
  const HexRowsPath path = GetParam();
  if (!path.supported) GTEST_SKIP() << "this CPU cannot run " << path.name;
  std::vector<uint64_t> counts = {149, 300, 1035};
  for (uint64_t count = 0; count <= 40; ++count) counts.push_back(count);
  const std::string guard(64, '\xA5');
  for (bool upper : {true, false}) {
    for (uint64_t offset : {0x0ull, 0x9ABCDEF7ull, 0x1FFFFFF95ull}) {
      for (uint64_t count : counts) {
        const std::string expected = Rows(offset, kBytes + count, count, upper);
        ASSERT_EQ(HexRowsSize(count), expected.size());
        std::string room = guard + std::string(expected.size(), '\0') + guard;
        path.write(&room[guard.size()], offset, kBytes + count, count, upper);
        ASSERT_EQ(room, guard + expected + guard) << count << " bytes at " << offset << (upper ? " upper" : " lower");
      }
    }
  }
}
INSTANTIATE_TEST_SUITE_P(Paths, HexRows, testing::ValuesIn(AllRowPaths()),
                         [](const testing::TestParamInfo<HexRowsPath>& info) { return std::string(info.param.name); });

TEST(AppendHexRow, TakesACountAbove16As16AndPrintsTheLow32BitsOfTheOffset) {
  std::string capped;
  AppendHexRow(capped, 0x1FFFFFFF0, kBytes, 40, false);
  EXPECT_EQ(capped, Row(0xFFFFFFF0, kBytes, 16, false));
  EXPECT_EQ(capped.substr(0, 13), "fffffff0     ");
}

// One file and its dump throughout, so each step also shows that the one before left nothing behind.
TEST(GenerateDump, ReportsWhatItCouldOpenAndReadAndFailsWithoutLosingThePreviousDump) {
  test::ScratchDirectory scratch{L"generate"};
  const std::wstring input = scratch.Join(L"in"), output = scratch.Join(L"out"), temporary = scratch.Join(L"out.tmp");
  const auto request = [&](uint64_t maxKb = 64, bool upper = true) {
    return DumpRequest{input, output, temporary, maxKb, upper};
  };
  ASSERT_TRUE(test::WriteWholeFile(input, std::string(reinterpret_cast<const char*>(kHello), 20)));
  ASSERT_TRUE(GenerateDump(request()).success);
  std::string hello = kHelloDump;
  EXPECT_EQ(test::ReadWholeFile(output), hello.replace(hello.find("C:\\Data\\hello.txt"), 17, Ascii(input)));
  ASSERT_TRUE(test::WriteWholeFile(input, ""));
  ASSERT_TRUE(GenerateDump(request()).success);
  EXPECT_EQ(test::ReadWholeFile(output), Header(input, "0 bytes", "Showing 0 bytes") + "\r\n[Empty File: 0 Bytes]\r\n");
  std::string counting(262145, '\0');
  for (size_t i = 0; i < counting.size(); ++i) counting[i] = static_cast<char>(i);
  const auto* counted = reinterpret_cast<const unsigned char*>(counting.data());
  ASSERT_TRUE(test::WriteWholeFile(input, counting));
  ASSERT_TRUE(GenerateDump(request(64, false)).success);
  EXPECT_TRUE(test::ReadWholeFile(output) ==
              Header(input, "256.00 KB (262,145 bytes)", "Showing first 64 KB (0x00000000 - 0x0000ffff)") +
                  Columns(false) + Rows(0, counted, 65536, false) +
                  Footer("[Truncated] Display capped at 64 KB to ensure instant loading. (Total: 256.00 KB)"));
  EXPECT_EQ(Rows(0xfff0, counted + 0xfff0, 16, false),
            "0000fff0     f0 f1 f2 f3 f4 f5 f6 f7  f8 f9 fa fb fc fd fe ff    |................|\r\n");

  // Read steps: bytes delivered, -1 what was asked, -2 more than asked, -3 a failure (code 33); then the
  // cuts where rows start afresh, and the line the dump ends with.
  const std::string whole = Footer("[End of File: Fully displayed] (Total: 200,004 bytes)");
  const std::tuple<std::vector<int64_t>, std::vector<size_t>, std::string> cases[] = {
      {{-1, -3}, {0, 65536}, "\r\n[Read Error] Stopped at 0x00010000: file is locked by another process\r\n"},
      {{10}, {0, 10, 200004}, whole},
      {{-1, -2}, {0, 65536}, "\r\n[Read Error] Stopped at 0x00010000: "}};
  ASSERT_TRUE(test::WriteWholeFile(input, kNoise));
  for (const auto& [steps, cuts, end] : cases) {
    size_t position = 0, call = 0;
    const ChunkReader reader = [&](unsigned char* buffer, uint64_t wanted, uint64_t& delivered, uint32_t& code) {
      const int64_t step = call < steps.size() ? steps[call++] : -1;
      if (step == -3) return code = 33, false;
      delivered = step == -1 ? wanted : step == -2 ? wanted + 1 : static_cast<uint64_t>(step);
      std::copy_n(&kNoise[position], std::min<size_t>(wanted, kNoise.size() - position), buffer);
      return position += delivered, true;
    };
    ASSERT_TRUE(GenerateDump(request(1024), reader).success);
    std::string expected =
        Header(input, "195.32 KB (200,004 bytes)", "Showing all 200,004 bytes (0x00000000 - 0x00030D43)") +
        Columns(true);
    for (size_t k = 0; k + 1 < cuts.size(); ++k) expected += Rows(cuts[k], kBytes + cuts[k], cuts[k + 1] - cuts[k]);
    const std::string dump = test::ReadWholeFile(output);
    ASSERT_TRUE(dump.substr(0, expected.size() + end.size()) == expected + end) << end;
    const std::string rest = dump.substr(expected.size() + end.size());  // the platform's wording of code 13
    EXPECT_TRUE(rest.empty() || rest.find('\n') == rest.size() - 1) << rest;
  }
  const std::wstring missing = scratch.Join(L"missing");
  ASSERT_TRUE(GenerateDump({missing, output, temporary, 64, true}).success);
  const auto openError = [&](const std::wstring& path, const std::string& wording) {
    return kEquals + "\r\n[Lumo Hex Dump Error]\r\nFile:      " + Ascii(path) +
           "\r\nError:     Cannot open file for reading (" + wording + ")\r\n" + kEquals + "\r\n";
  };
  EXPECT_EQ(test::ReadWholeFile(output), openError(missing, "file not found"));
  test::FileHolder holder(input, L"none");
  ASSERT_TRUE(GenerateDump(request()).success);
  EXPECT_EQ(test::ReadWholeFile(output), openError(input, "file is locked by another process"));
  // A cloud file is reported without being opened or read.
  const ChunkReader reader = [](unsigned char*, uint64_t, uint64_t&, uint32_t&) { return ADD_FAILURE(), false; };
  EXPECT_TRUE(GenerateDump(request(), reader, [](const std::wstring&) { return true; }).success);
  const std::string cloud = test::ReadWholeFile(output);
  EXPECT_NE(cloud.find("\r\nError:     Online-only cloud file (Recall on data access).\r\n"), std::string::npos);
  holder.Release();
  ASSERT_TRUE(test::WriteWholeFile(temporary, "theirs"));
  EXPECT_FALSE(GenerateDump(request()).success);
  EXPECT_EQ(test::ReadWholeFile(output) + test::ReadWholeFile(temporary), cloud + "theirs");
  const test::SmallDisk disk(scratch.Join(L"disk"), "64k");
  ASSERT_TRUE(disk.ok());
  const DumpRequest full{input, disk.path() + L"\\d.hextxt", disk.path() + L"\\d.tmp", 1024, true};
  ASSERT_TRUE(test::WriteWholeFile(full.outputPath, "previous"));
  EXPECT_FALSE(GenerateDump(full).success);
  EXPECT_EQ(test::ListNames(disk.path()), std::vector<std::wstring>{L"d.hextxt"});
  EXPECT_EQ(test::ReadWholeFile(full.outputPath), "previous");
}

}  // namespace hv::dump_test
