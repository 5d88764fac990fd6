// Where dumps live: the program's directory if it takes files, else a directory of
// ours under the user's temporary directory.
#pragma once

#include <string>

namespace hv {

struct WritableLocation {
  std::wstring directory;  // empty when no candidate qualified
  std::wstring errors;     // probe failures met on the way, joined by "; "
};

std::wstring TempDirectory();
// Our directory under the user's temporary directory: the fallback dump root.
std::wstring PluginTempDirectory(const std::wstring& tempDirectory, const std::wstring& pluginName);
// Writes only into an empty error, so the first failure is kept.
bool ProbeDirectoryWritable(const std::wstring& directory, std::wstring* error = nullptr);
WritableLocation ChooseWritableLocation(const std::wstring& preferred, const std::wstring& pluginName);

}  // namespace hv
