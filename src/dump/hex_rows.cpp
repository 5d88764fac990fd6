// Which row path runs: the fastest this CPU has, chosen once at start-up (a benchmark may
// choose another), so that a chunk pays one indirect call for the choice.
#include "dump/hex_rows.h"

#include <algorithm>
#include <string_view>

#include "dump/rows/row_layout.h"
#include "dump/rows/row_paths.h"

namespace hv {
namespace {

struct CpuPaths {
  bool ssse3;
  bool avx2;
  bool avx512vbmi;
};

CpuPaths AskCpu() noexcept {
  __builtin_cpu_init();
  return {
      __builtin_cpu_supports("ssse3") != 0, __builtin_cpu_supports("avx2") != 0,
      __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi")};
}

const CpuPaths kCpu = AskCpu();

HexRowsWriter gChosenWriter = kCpu.avx512vbmi ? rows::WriteVbmiRows
                              : kCpu.avx2     ? rows::WriteAvx2Rows
                              : kCpu.ssse3    ? rows::WriteSsse3Rows
                                              : rows::WriteTableRows;

}  // namespace

std::vector<HexRowsPath> HexRowsPaths() {
  return {{"table", true, rows::WriteTableRows},
          {"ssse3", kCpu.ssse3, rows::WriteSsse3Rows},
          {"avx2", kCpu.avx2, rows::WriteAvx2Rows},
          {"avx512vbmi", kCpu.avx512vbmi, rows::WriteVbmiRows}};
}

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
