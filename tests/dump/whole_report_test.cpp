#include <gtest/gtest.h>

#include "dump/report.h"

namespace hv {
namespace {

TEST(IsWholeReport, KnowsEveryFormByItsFirstAndLastLine) {
  const std::string eq = std::string(83, '=') + "\r\n", dash = std::string(83, '-') + "\r\n";
  const std::string header = eq + "[Lumo Hex Dump]\r\nFile:      C:\\a\r\nSize:      1 bytes\r\nRange:     x\r\n" + eq;
  const std::string rows = "\r\nOffset(h) ...\r\n00000000     41 ...    |A               |\r\n\r\n";
  const std::string error =
      eq + "[Lumo Hex Dump Error]\r\nFile:      C:\\a\r\nError:     Cannot open file for reading (x)\r\n";
  const std::pair<std::string, bool> cases[] = {
      {header + rows + dash + "[End of File: Fully displayed] (Total: 1 bytes)\r\n" + dash, true},
      {header + rows + dash + "[Truncated] Display capped at 1 KB", false},
      {header + rows, false},
      {header + "\r\n[Empty File: 0 Bytes]\r\n", true},
      {header + rows + "[Read Error] Stopped at 0x00010000: access denied\r\n", true},
      {header + rows + "[Read Error] Stopped at 0x00010000: acc", false},
      {error + eq, true},
      {error, false},
      {"[Lumo Hex Dump Error] Cannot write dump file (MoveFileExW failed: x (5)).\r\n", true},
      {"[Lumo Hex Dump Error] Cannot write dump file (MoveFileExW fai", false},
      {"", false},
      {"someone else's file\r\n" + eq, false},
  };
  for (const auto& [text, whole] : cases) EXPECT_EQ(IsWholeReport(text, text), whole) << text;
  // A large file is seen by its two ends only.
  EXPECT_TRUE(IsWholeReport(header.substr(0, 110), dash));
}

}  // namespace
}  // namespace hv
