// What a whole-file write answers, and with it dump generation, which ends in one.
#pragma once

#include <string>

namespace hv {

struct DumpResult {
  bool success = false;
  std::wstring error;
};

}  // namespace hv
