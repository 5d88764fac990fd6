// What the run hands dump generation, and what it answers (a DumpResult, as whole-file
// writes do).
#pragma once

#include <cstdint>
#include <string>

#include "storage/dump_result.h"
#include "storage/path.h"

namespace hv {

struct DumpRequest {
  std::wstring inputPath;
  std::wstring outputPath;
  std::wstring temporaryPath;
  uint64_t maxKb = 64;
  bool uppercase = true;
  // ResolveInputPath(inputPath) when the caller has resolved it already; empty, it is resolved here.
  InputPath resolvedInput = {};
};

}  // namespace hv
