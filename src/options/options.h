// The command line: options, defaults, clamps and the two positional paths.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "text/ascii.h"  // AsciiLower, which option names are folded with

namespace hv {

struct RunOptions {
  std::wstring inputFile;
  std::wstring viewerExe;
  int64_t maxKb = 64;
  bool uppercase = true;
  int64_t waitTimeoutMs = 30000;
  bool ok = false;
  std::wstring error;
};

// Element 0 is the program path and is never examined.
RunOptions ParseOptions(const std::vector<std::wstring>& arguments);

}  // namespace hv
