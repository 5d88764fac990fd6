// Records the arguments it was started with, for launch tests: writes them, UTF-8 and
// each followed by a NUL byte, to its own path plus ".args" (so each test copies it
// into a directory of its own), then exits with 0.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "storage/atomic_writer.h"
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
  // Written under another name and renamed, so a waiter never reads part of it.
  return hv::WriteFileAtomically(out + L".partial", out, record).success ? 0 : 2;
}
