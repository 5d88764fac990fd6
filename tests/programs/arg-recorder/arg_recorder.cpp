// Records the arguments it was started with, for launch tests: writes them, UTF-8 and
// each followed by a NUL byte, to its own path plus ".args" (so each test copies it
// into a directory of its own), then exits with 0.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "text/encoding.h"
#include "text/unique_handle.h"

int wmain() {
  int count = 0;
  const hv::UniqueLocal<wchar_t*> argv(CommandLineToArgvW(GetCommandLineW(), &count));
  if (!argv) return 1;
  std::string record;
  for (int i = 1; i < count; ++i) {
    record += hv::WideToUtf8(argv.get()[i]);
    record.push_back('\0');
  }

  std::vector<wchar_t> self(32768);
  const DWORD length = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
  const std::wstring out = std::wstring(self.data(), length) + L".args";
  const std::wstring partial = out + L".partial";
  hv::UniqueFile file(
      CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return 2;
  DWORD written = 0;
  WriteFile(file.get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
  file.reset();
  return MoveFileExW(partial.c_str(), out.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 3;
}
