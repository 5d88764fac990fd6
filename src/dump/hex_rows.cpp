// Which row path runs: the fastest this CPU has, chosen once at start-up (a benchmark may
// choose another), so that a chunk pays one indirect call for the choice.
#include "dump/hex_rows.h"

#include <algorithm>
#include <string_view>

#include "dump/rows/row_layout.h"
#include "dump/rows/row_paths.h"

namespace hv {

// One list says what this CPU runs, for the start-up choice and for UseHexRowsPath alike. libgcc
// asks the CPU once; this reads its record.
std::vector<HexRowsPath> HexRowsPaths() {
  __builtin_cpu_init();
  const bool avx512vbmi = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                          __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi");
  return {{"table", true, rows::WriteTableRows},
          {"ssse3", __builtin_cpu_supports("ssse3") != 0, rows::WriteSsse3Rows},
          {"avx2", __builtin_cpu_supports("avx2") != 0, rows::WriteAvx2Rows},
          {"avx512vbmi", avx512vbmi, rows::WriteVbmiRows}};
}

namespace {

// The last path the CPU runs, the fastest.
HexRowsWriter FastestWriter() {
  const std::vector<HexRowsPath> paths = HexRowsPaths();
  return std::find_if(paths.rbegin(), paths.rend(), [](const HexRowsPath& path) { return path.supported; })->write;
}

HexRowsWriter gChosenWriter = FastestWriter();

}  // namespace

uint64_t HexRowsSize(uint64_t count) { return (count + rows::kBytesPerRow - 1) / rows::kBytesPerRow * rows::kRowText; }

bool UseHexRowsPath(std::string_view name) {
  const std::vector<HexRowsPath> paths = HexRowsPaths();
  const auto path = std::find_if(paths.begin(), paths.end(),
                                 [name](const HexRowsPath& each) { return each.supported && name == each.name; });
  if (path == paths.end()) {
    return false;
  }
  gChosenWriter = path->write;
  return true;
}

void WriteHexRows(char* out, uint64_t offset, const unsigned char* bytes, uint64_t count, bool uppercase) {
  gChosenWriter(out, offset, bytes, count, uppercase);
}

}  // namespace hv
