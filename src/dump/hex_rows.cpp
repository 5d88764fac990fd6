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

// libgcc asks the CPU once; this reads its record, for the start-up choice and for HexRowsPaths
// alike. The AVX-512 rows need VL too: the compiler takes 128-bit EVEX loads for their 128-bit
// intrinsics.
CpuPaths AskCpu() noexcept {
  __builtin_cpu_init();
  return {__builtin_cpu_supports("ssse3") != 0, __builtin_cpu_supports("avx2") != 0,
          __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
              __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi")};
}

HexRowsWriter FastestWriter(const CpuPaths& cpu) noexcept {
  return cpu.avx512vbmi ? rows::WriteVbmiRows
         : cpu.avx2     ? rows::WriteAvx2Rows
         : cpu.ssse3    ? rows::WriteSsse3Rows
                        : rows::WriteTableRows;
}

HexRowsWriter gChosenWriter = FastestWriter(AskCpu());

}  // namespace

std::vector<HexRowsPath> HexRowsPaths() {
  const CpuPaths cpu = AskCpu();
  return {{"table", true, rows::WriteTableRows},
          {"ssse3", cpu.ssse3, rows::WriteSsse3Rows},
          {"avx2", cpu.avx2, rows::WriteAvx2Rows},
          {"avx512vbmi", cpu.avx512vbmi, rows::WriteVbmiRows}};
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
