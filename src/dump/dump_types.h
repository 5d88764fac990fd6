// What the run hands dump generation, and what whole-file writes answer.
#pragma once

#include <cstdint>
#include <string>

namespace hv {

struct DumpRequest {
  std::wstring inputPath;
  std::wstring outputPath;
  std::wstring temporaryPath;
  uint64_t maxKb = 64;
  bool uppercase = true;
};

struct DumpResult {
  bool success = false;
  std::wstring error;
};

}  // namespace hv
