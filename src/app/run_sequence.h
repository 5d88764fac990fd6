// One run: command line to started viewer, written dump and exit code.
#pragma once

#include <string>
#include <vector>

namespace hv {

int RunSequence(const std::vector<std::wstring>& arguments);

}  // namespace hv
