// A viewer that watches the dump path as closely as it can: it polls the path about
// every millisecond from its start, and once the file is there notes its size at each
// of the next polls. Writes "SIZES" (decimal, one a line) to its own path plus
// ".sizes" when it has seen enough, then exits. Takes the viewer's command line.
#include <windows.h>
#include <shellapi.h>
#include <timeapi.h>

#include <string>
#include <vector>

#include "storage/path.h"

namespace {

constexpr int kPollsAfterAppearing = 200;
constexpr ULONGLONG kGiveUpMs = 120000;

bool SizeOf(const std::wstring& longPath, unsigned long long& size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(longPath.c_str(), GetFileExInfoStandard, &data)) return false;
  size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

}  // namespace

int wmain() {
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (argv == nullptr || count < 2) return 2;
  const std::wstring dump = hv::ToLongPath(argv[count - 1]);
  LocalFree(argv);

  timeBeginPeriod(1);
  std::string sizes;
  const ULONGLONG deadline = GetTickCount64() + kGiveUpMs;
  int seen = 0;
  while (seen < kPollsAfterAppearing && GetTickCount64() < deadline) {
    unsigned long long size = 0;
    if (SizeOf(dump, size)) {
      sizes += std::to_string(size) + "\n";
      ++seen;
    }
    Sleep(1);
  }
  timeEndPeriod(1);

  std::vector<wchar_t> self(32768);
  const DWORD length = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
  const std::wstring out = std::wstring(self.data(), length) + L".sizes";
  HANDLE file = CreateFileW((out + L".partial").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 3;
  DWORD written = 0;
  WriteFile(file, sizes.data(), static_cast<DWORD>(sizes.size()), &written, nullptr);
  CloseHandle(file);
  return MoveFileExW((out + L".partial").c_str(), out.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 4;
}
