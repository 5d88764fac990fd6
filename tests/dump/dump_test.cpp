#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>

#include "dump/generate.h"
#include "dump/report.h"
#include "dump/report_rows.h"
#include "support/fault_guards.h"
#include "support/test_support.h"
#include "text/system_error.h"

namespace hv::dump_test {

const std::string kNoise = [] {
  std::string bytes(200004, '\0');
  std::mt19937 random(3);
  for (char& byte : bytes) byte = static_cast<char>(random());
  return bytes;
}();
const auto* const kBytes = reinterpret_cast<const unsigned char*>(kNoise.data());

void AppendRows(std::string& text, uint64_t offset, const unsigned char* bytes, uint64_t count, bool upper = true) {
  for (uint64_t i = 0; i < count; i += 16) AppendHexRow(text, offset + i, bytes + i, count - i, upper);
}

TEST(DumpReport, HelloExampleSizeTextsLowerCaseAndUnpairedSurrogate) {
  std::string text = RenderReportHeader(L"C:\\Data\\hello.txt", 20, 20, 64, true) + "\r\n" + RenderColumnHeader(true);
  AppendRows(text, 0, reinterpret_cast<const unsigned char*>("Hello, world!\r\nBye\0\xFF"), 20);
  EXPECT_EQ(text + "\r\n" + RenderFooter(SelectFooterKind(20, 65536), 20, 64),
            "===================================================================================\r\n"
            "[Lumo Hex Dump]\r\nFile:      C:\\Data\\hello.txt\r\nSize:      20 bytes\r\n"
            "Range:     Showing all 20 bytes (0x00000000 - 0x00000013)\r\n"
            "===================================================================================\r\n\r\n"
            "Offset(h)    00 01 02 03 04 05 06 07  08 09 0A 0B 0C 0D 0E 0F    Decoded Text\r\n"
            "00000000     48 65 6C 6C 6F 2C 20 77  6F 72 6C 64 21 0D 0A 42    |Hello, world!..B|\r\n"
            "00000010     79 65 00 FF                                         |ye..            |\r\n\r\n"
            "-----------------------------------------------------------------------------------\r\n"
            "[End of File: Fully displayed] (Total: 20 bytes)\r\n"
            "-----------------------------------------------------------------------------------\r\n");
  const uint64_t sizes[] = {1023, 1024, 1152, 1048575, 2000ull << 40};
  const char* texts[] = {"1,023 bytes", "1.00 KB (1,024 bytes)", "1.12 KB (1,152 bytes)",
                         "1024.00 KB (1,048,575 bytes)", "2000.00 TB (2,199,023,255,552,000 bytes)"};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(FormatSizeText(sizes[i]), texts[i]);
  std::string lower = RenderColumnHeader(false);
  AppendHexRow(lower, 0x1ABCDEF0, reinterpret_cast<const unsigned char*>("\xFA\xCE"), 2, false);
  EXPECT_NE(lower.find(" 0d 0e 0f    Decoded Text\r\n1abcdef0     fa ce "), std::string::npos) << lower;
  EXPECT_NE(RenderCloudFileReport(std::wstring(L"C:\\x") + L'\xD800').find("File:      C:\\x\xEF\xBF\xBD\r\n"),
            std::string::npos);
}

// Name, whether this CPU runs it, and the way of writing rows.
using RowsPath = std::tuple<const char*, bool, void (*)(char*, uint64_t, const unsigned char*, uint64_t, bool)>;
class HexRows : public testing::TestWithParam<RowsPath> {};

TEST_P(HexRows, EqualOneRowAtATimeAndWriteNothingOutside) {
  const auto [name, available, write] = GetParam();
  if (!available) GTEST_SKIP() << "CPU lacks " << name;
  const std::string guard(64, '\xA5');
  for (bool upper : {true, false}) {
    for (uint64_t count = 0; count <= 40; ++count) {
      std::string expected;
      AppendRows(expected, 0x123456789, kBytes, count, upper);
      ASSERT_EQ(HexRowsSize(count), expected.size());
      std::string room = guard + std::string(expected.size(), '\0') + guard;
      write(&room[guard.size()], 0x123456789, kBytes, count, upper);
      ASSERT_EQ(room, guard + expected + guard) << count << upper;
    }
  }
}
const RowsPath kPaths[] = {RowsPath("Dispatched", true, WriteHexRows), RowsPath("Table", true, rows::WriteTableRows),
                           RowsPath("Ssse3", rows::HasShuffleRows(), rows::WriteShuffleRows),
                           RowsPath("Vbmi", rows::HasVbmiRows(), rows::WriteVbmiRows)};
INSTANTIATE_TEST_SUITE_P(Paths, HexRows, testing::ValuesIn(kPaths));

// One file and its dump throughout, so each step also shows that the one before left nothing behind.
TEST(GenerateDump, ReportsWhatItCouldOpenAndReadAndFailsWithoutLosingThePreviousDump) {
  test::ScratchDirectory scratch{L"generate"};
  const std::wstring input = scratch.Join(L"in"), output = scratch.Join(L"out"), temporary = scratch.Join(L"out.tmp");
  const auto request = [&](uint64_t maxKb = 64) { return DumpRequest{input, output, temporary, maxKb, true}; };
  // The dump of the first `size` noise bytes read in pieces from each cut to the next, then the footer or `stop`.
  const auto expected = [&](size_t size, uint64_t maxKb, const std::vector<size_t>& cuts, std::string stop = "") {
    std::string dump = RenderReportHeader(input, size, std::min<size_t>(size, maxKb * 1024), maxKb, true);
    if (stop.empty()) stop = RenderFooter(SelectFooterKind(size, maxKb * 1024), size, maxKb);
    if (size == 0) return dump + stop;
    dump += "\r\n" + RenderColumnHeader(true);
    for (size_t k = 0; k + 1 < cuts.size(); ++k) AppendRows(dump, cuts[k], kBytes + cuts[k], cuts[k + 1] - cuts[k]);
    return dump + "\r\n" + stop;
  };
  for (size_t size : {0, 65536, 65537}) {
    ASSERT_TRUE(test::WriteWholeFile(input, kNoise.substr(0, size)));
    ASSERT_TRUE(GenerateDump(request()).success);
    EXPECT_TRUE(test::ReadWholeFile(output) == expected(size, 64, {0, std::min<size_t>(size, 65536)})) << size;
  }
  // Read steps: bytes delivered, -1 what was asked, -2 more than asked, -3 a failure (code 33); then the
  // cuts where rows start afresh, and the error the dump stops at (0: none; 13 is ERROR_INVALID_DATA).
  const std::tuple<std::vector<int64_t>, std::vector<size_t>, uint32_t> cases[] = {
      {{-1, -3}, {0, 65536}, 33}, {{10}, {0, 10, 200004}, 0}, {{-1, -2}, {0, 65536}, 13}};
  ASSERT_TRUE(test::WriteWholeFile(input, kNoise));
  for (const auto& [steps, cuts, stopCode] : cases) {
    size_t position = 0, call = 0;
    const std::vector<int64_t>& script = steps;  // clang 14 lambdas cannot capture a structured binding
    const ChunkReader reader = [&](unsigned char* buffer, uint64_t wanted, uint64_t& delivered, uint32_t& code) {
      const int64_t step = call < script.size() ? script[call++] : -1;
      if (step == -3) return code = 33, false;
      delivered = step == -1 ? wanted : step == -2 ? wanted + 1 : static_cast<uint64_t>(step);
      std::copy_n(&kNoise[position], std::min<size_t>(wanted, kNoise.size() - position), buffer);
      return position += delivered, true;
    };
    ASSERT_TRUE(GenerateDump(request(1024), reader).success);
    const std::string stop = stopCode ? RenderReadErrorLine(65536, FileErrorText(stopCode), true) : "";
    EXPECT_TRUE(test::ReadWholeFile(output) == expected(200004, 1024, cuts, stop)) << stopCode;
  }
  const DumpRequest missing{scratch.Join(L"missing"), output, temporary, 64, true};
  ASSERT_TRUE(GenerateDump(missing).success);
  EXPECT_EQ(test::ReadWholeFile(output), RenderOpenErrorReport(missing.inputPath, L"file not found"));
  test::FileHolder holder(input, L"none");
  ASSERT_TRUE(GenerateDump(request()).success);
  EXPECT_EQ(test::ReadWholeFile(output), RenderOpenErrorReport(input, L"file is locked by another process"));
  // A cloud file is reported without being opened or read.
  const ChunkReader reader = [](unsigned char*, uint64_t, uint64_t&, uint32_t&) { return ADD_FAILURE(), false; };
  EXPECT_TRUE(GenerateDump(request(), reader, [](const std::wstring&) { return true; }).success);
  EXPECT_EQ(test::ReadWholeFile(output), RenderCloudFileReport(input));
  holder.Release();
  ASSERT_TRUE(test::WriteWholeFile(temporary, "theirs"));
  EXPECT_FALSE(GenerateDump(request()).success);
  EXPECT_EQ(test::ReadWholeFile(output) + test::ReadWholeFile(temporary), RenderCloudFileReport(input) + "theirs");
  const test::SmallDisk disk(scratch.Join(L"disk"), "64k");
  ASSERT_TRUE(disk.ok());
  const DumpRequest full{input, disk.path() + L"\\d.hextxt", disk.path() + L"\\d.tmp", 1024, true};
  ASSERT_TRUE(test::WriteWholeFile(full.outputPath, "previous"));
  EXPECT_FALSE(GenerateDump(full).success);
  EXPECT_EQ(test::ListNames(disk.path()), std::vector<std::wstring>{L"d.hextxt"});
  EXPECT_EQ(test::ReadWholeFile(full.outputPath), "previous");
}

}  // namespace hv::dump_test
