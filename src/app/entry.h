// Process entry around the run: no library from the current directory, COM for the thread,
// and the command line as a list.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace hv {

using RunFunction = std::function<int(const std::vector<std::wstring>&)>;

// Empty when the command line cannot be split.
std::vector<std::wstring> CaptureArguments();
int RunWithCom(const RunFunction& run);

}  // namespace hv
