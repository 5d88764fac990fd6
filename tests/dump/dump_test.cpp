#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>

#include "dump/generate.h"
#include "dump/hex_rows.h"
#include "dump/reference.h"
#include "dump/report.h"
#include "support/test_support.h"

namespace hv::dump_test {

using namespace test;  // the reference dump text

const std::string kNoise = RandomBytes(200004, 3);
const auto* const kBytes = reinterpret_cast<const unsigned char*>(kNoise.data());

TEST(DumpReport, TheFormatsExamplesAndFixedTextsLiterally) {
  // What the dumps below do not reach: a cap met exactly, a large file, a read error in lower case.
  EXPECT_EQ(RenderReportHeader(L"c", 65536, 65536, 64, false) + "\r\n" +
                RenderFooter(SelectFooterKind(65536, 65536), 65536, 64),
            Header("c", "64.00 KB (65,536 bytes)", "Showing all 65,536 bytes (0x00000000 - 0x0000ffff)") +
                Footer("[End of File: Fully displayed] (Total: 65,536 bytes)"));
  EXPECT_EQ(RenderReportHeader(L"b", 3ull << 30, 0xABCDEF, 1048576, false),
            Header("b", "3.00 GB (3,221,225,472 bytes)", "Showing first 1048576 KB (0x00000000 - 0x00abcdee)"));
  EXPECT_EQ(RenderReadErrorLine(0x3ABCDEF0, L"access denied", false),
            "[Read Error] Stopped at 0x3abcdef0: access denied\r\n");
  // The reference's rows too, by the format's examples.
  EXPECT_EQ(Rows(0, kHello.data(), 20) +
                Rows(0xfff0, "\xF0\xF1\xF2\xF3\xF4\xF5\xF6\xF7\xF8\xF9\xFA\xFB\xFC\xFD\xFE\xFF", 16, false),
            "00000000     48 65 6C 6C 6F 2C 20 77  6F 72 6C 64 21 0D 0A 42    |Hello, world!..B|\r\n"
            "00000010     79 65 00 FF                                         |ye..            |\r\n"
            "0000fff0     f0 f1 f2 f3 f4 f5 f6 f7  f8 f9 fa fb fc fd fe ff    |................|\r\n");
  std::string sizes;
  for (uint64_t size : {0ull, 1ull, 999ull, 1000ull, 1023ull, 1024ull, 1152ull, 1048575ull, 1048576ull, 2000ull << 40})
    sizes += FormatSizeText(size) + "|";
  EXPECT_EQ(sizes,
            "0 bytes|1 bytes|999 bytes|1,000 bytes|1,023 bytes|1.00 KB (1,024 bytes)|1.12 KB (1,152 bytes)|"
            "1024.00 KB (1,048,575 bytes)|1.00 MB (1,048,576 bytes)|2000.00 TB (2,199,023,255,552,000 bytes)|");
}

// Every row path by name (one dropped from the list fails) and the dispatch; the CPU asked here.
class HexRows : public testing::TestWithParam<const char*> {};

TEST_P(HexRows, WriteTheRowsOfTheDefinitionAndNothingOutside) {
  const std::string name = GetParam();
  const bool runs = name == "ssse3"  ? __builtin_cpu_supports("ssse3")
                    : name == "avx2" ? __builtin_cpu_supports("avx2")
                    : name == "avx512vbmi"
                        ? __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                              __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi")
                        : true;
  if (!runs) GTEST_SKIP() << "this CPU cannot run " << name;
  HexRowsWriter write = name == "dispatched" ? WriteHexRows : nullptr;
  for (const HexRowsPath& path : HexRowsPaths()) write = path.name == name && path.supported ? path.write : write;
  ASSERT_NE(write, nullptr) << name << " is missing or said not to run here";
  // Random bytes, counts and offsets (some just below multiples of 2^32) against the reference; nothing outside.
  std::mt19937_64 random(20261207);
  const std::string guard(64, '\xA5');
  for (int round = 0; round < 3000; ++round) {
    const uint64_t count = round % 8 == 0 ? random() % 1200 : random() % 49;
    const uint64_t offset = round % 3 == 0 ? (random() % 4 << 32) - random() % 2048 : random() >> (random() % 64);
    const bool upper = random() % 2 == 0;
    const unsigned char* const bytes = kBytes + random() % (kNoise.size() - count);
    const std::string expected = Rows(offset, bytes, count, upper);
    std::string room = guard + std::string(expected.size(), '\0') + guard;
    write(&room[guard.size()], offset, bytes, count, upper);
    ASSERT_EQ(room, guard + expected + guard) << count << " bytes at " << offset << (upper ? " upper" : " lower");
  }
}
INSTANTIATE_TEST_SUITE_P(Paths, HexRows, testing::Values("table", "ssse3", "avx2", "avx512vbmi", "dispatched"),
                         [](const testing::TestParamInfo<const char*>& path) { return std::string(path.param); });

// libgcc's record of the CPU, which __builtin_cpu_supports reads (vendor, type, subtype, then the features): where a
// hypervisor hides AVX-512 VL, it shows there.
extern "C" unsigned __cpu_model[4];

TEST(HexRowsPaths, OfferTheAvx512PathOnlyWithVl) {
  const unsigned saved = __cpu_model[3], f = 1u << 15, vl = 1u << 20, bw = 1u << 21, vbmi = 1u << 26;
  std::vector<bool> offered;  // as the dispatch asks the CPU
  for (const unsigned features : {f | bw | vbmi, f | bw | vl | vbmi})
    offered.push_back((__cpu_model[3] = features, HexRowsPaths().back().supported));
  __cpu_model[3] = saved;
  EXPECT_EQ(offered, std::vector<bool>({false, true}));
}

TEST(GenerateDump, ReportsWhatItCouldOpenAndRead) {
  test::ScratchDirectory scratch{L"generate"};
  const std::wstring input = scratch.Join(L"in"), output = scratch.Join(L"out"), temporary = scratch.Join(L"out.tmp");
  const auto request = [&](uint64_t maxKb = 64) { return DumpRequest{input, output, temporary, maxKb, true}; };
  ASSERT_TRUE(test::WriteWholeFile(input, ""));  // the format's first example is the end-to-end runs' dump
  ASSERT_TRUE(GenerateDump(request()).success);
  EXPECT_EQ(test::ReadWholeFile(output),
            Header(Narrow(input), "0 bytes", "Showing 0 bytes") + "\r\n[Empty File: 0 Bytes]\r\n");

  // Read steps (bytes given, -1 all asked, -3 failure 33), the cuts where rows start afresh, the last line.
  const std::string whole = Footer("[End of File: Fully displayed] (Total: 200,004 bytes)");
  const std::tuple<std::vector<int64_t>, std::vector<size_t>, std::string> cases[] = {
      {{-1, -3}, {0, 65536}, "\r\n[Read Error] Stopped at 0x00010000: file is locked by another process\r\n"},
      {{10}, {0, 10, 200004}, whole},
      {{10, 0}, {0, 10}, "\r\n[Read Error] Stopped at 0x0000000A: End of file. (38)\r\n"}};
  ASSERT_TRUE(test::WriteWholeFile(input, kNoise));
  for (const auto& [steps, cuts, end] : cases) {
    size_t position = 0, call = 0;
    const std::vector<int64_t>& script = steps;  // clang 14 lambdas cannot capture a structured binding
    const ChunkReader reader = [&](unsigned char* buffer, uint64_t wanted, uint64_t& delivered, uint32_t& code) {
      const int64_t step = call < script.size() ? script[call++] : -1;
      if (step == -3) return code = 33, false;
      delivered = step == -1 ? wanted : static_cast<uint64_t>(step);
      std::copy_n(&kNoise[position], std::min<size_t>(wanted, kNoise.size() - position), buffer);
      return position += delivered, true;
    };
    ASSERT_TRUE(GenerateDump(request(1024), reader).success);
    std::string expected =
        Header(Narrow(input), "195.32 KB (200,004 bytes)", "Showing all 200,004 bytes (0x00000000 - 0x00030D43)") +
        Columns(true);
    for (size_t k = 0; k + 1 < cuts.size(); ++k) expected += Rows(cuts[k], kBytes + cuts[k], cuts[k + 1] - cuts[k]);
    EXPECT_TRUE(test::ReadWholeFile(output) == expected + end) << end;
  }
  ASSERT_TRUE(GenerateDump({L"C:\\Data\\missing.bin", output, temporary, 64, true}).success);
  EXPECT_EQ(test::ReadWholeFile(output), OpenErrorReport("C:\\Data\\missing.bin", "file not found"));
  // Recall on data access alone (not on a directory) marks a cloud file, reported without being opened or read.
  const std::string cloud = kEquals + "\r\n[Lumo Hex Dump Error]\r\nFile:      " + Narrow(input) +
                            "\r\nError:     Online-only cloud file (Recall on data access).\r\n"
                            "Hint:      Please download the file locally before viewing hex dump.\r\n" +
                            kEquals + "\r\n";
  const ChunkReader unread = [](unsigned char*, uint64_t, uint64_t&, uint32_t&) { return ADD_FAILURE(), false; };
  for (const uint32_t word : {0x400010u, 0x40000u, 0x1000u, 0xFFFFFFFFu, 0x400020u, 0x400000u}) {
    const bool isCloud = word == 0x400020u || word == 0x400000u;  // the last two alone
    const AttributesQuery query = [=](const std::wstring&) { return word; };
    ASSERT_TRUE(GenerateDump(request(), isCloud ? unread : ChunkReader(), query).success);
    EXPECT_EQ(test::ReadWholeFile(output) == cloud, isCloud) << word;
  }
}

// A file cut anywhere in its last block is no whole report.
TEST(IsWholeReport, KnowsEveryFormByItsFirstLineAndWholeLastBlock) {
  const std::string report = Header("C:\\a", "1 bytes", "x") + Columns() + Rows(0, "A", 1) + "\r\n";
  const std::string error = kEquals + "\r\n[Lumo Hex Dump Error]\r\nFile:      C:\\a\r\nError:     x\r\n";
  const std::string stopped = report + "[Read Error] Stopped at 0x00010000: ", dashes = kDashes + "\r\n";
  const std::pair<std::string, bool> cases[] = {
      {report + dashes + "[End of File: Fully displayed] (Total: 1 bytes)\r\n" + dashes, true},
      {report + dashes, false},
      {report + dashes + "[Truncated] Display capped at 1 KB", false},
      {Header("C:\\a", "0 bytes", "x") + "\r\n[Empty File: 0 Bytes]\r\n", true},
      {stopped + "access denied\r\n", true},
      {stopped + "acc", false},
      {stopped + "The request failed\r\n", false},
      {stopped + "The request failed\r\nbecause of an I/O device error. (1117)\r\n", true},
      {stopped + "1117\r\n", true},
      {error + kEquals + "\r\n", true},
      {error, false},
      {"[Lumo Hex Dump Error] Cannot write dump file (MoveFileExW failed: x (5)).\r\n", true},
      {"[Lumo Hex Dump Error] Cannot write dump file (MoveFileExW fai", false},
      {"", false},
  };
  for (const auto& [text, whole] : cases) EXPECT_EQ(IsWholeReport(text, text), whole) << text;
  EXPECT_TRUE(IsWholeReport(report.substr(0, 110), Footer("[End of File: Fully displayed] (Total: 1 bytes)")))
      << "a large file is seen by its two ends only";
}

}  // namespace hv::dump_test
