// The viewer's command line, and starting it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hv {

// Quoting that CommandLineToArgvW undoes.
std::wstring QuoteArgument(const std::wstring& argument);
std::wstring BuildArgumentString(const std::vector<std::wstring>& arguments);
bool LaunchViewer(const std::wstring& viewerExe, const std::wstring& dumpPath, int64_t waitTimeoutMs);

}  // namespace hv
