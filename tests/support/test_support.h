// Shared by the test programs: scratch directories, files, child processes, Linux commands, real faults.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "text/unique_handle.h"

namespace hv::test {

// A fresh directory under the temporary directory, removed with its content afterwards.
class ScratchDirectory {
 public:
  explicit ScratchDirectory(const std::wstring& tag = L"t");
  ~ScratchDirectory();
  const std::wstring& path() const { return path_; }
  std::wstring Join(const std::wstring& leaf) const;

 private:
  std::wstring path_;
};

bool WriteWholeFile(const std::wstring& path, const std::string& bytes);
std::string ReadWholeFile(const std::wstring& path);                 // empty when unreadable
std::vector<std::wstring> ListNames(const std::wstring& directory);  // in name order
// The file opened for reading, writing and deletion with the given sharing, as another program holds it.
UniqueFile OpenShared(const std::wstring& path, uint32_t share, uint32_t disposition = OPEN_ALWAYS);

struct ProcessResult {
  bool started = false;
  uint32_t exitCode = 0;
  uint32_t totalProcesses = 0;  // the child and every process it started
  std::string standardError;
};
// With "NAME=value" entries set; it ends when every process the program started has ended too.
ProcessResult RunProcess(const std::wstring& program, const std::vector<std::wstring>& arguments,
                         const std::vector<std::wstring>& environment = {});

// A Linux shell command run from inside Wine; its exit status, or -1.
int RunUnixShell(const std::string& command);
std::string UnixPathOf(const std::wstring& windowsPath);

// Runs `make` at once and `undo` when the guard goes away, both on a directory's Linux path as $1.
struct UnixFault {
  UnixFault(const std::wstring& path, const std::string& make, const std::string& undoing)
      : set("set -- '" + UnixPathOf(path) + "'; "), undo(undoing), ok(RunUnixShell(set + make) == 0) {}
  ~UnixFault() {
    if (ok) RunUnixShell(set + undo);
  }
  const std::string set, undo;
  const bool ok;
};

// A directory nobody may change, not even root: creation, writes and deletions in it fail.
inline UnixFault Immutable(const std::wstring& path) {
  return {path, "mkdir -p \"$1\" && chattr +i \"$1\"", "chattr -i \"$1\""};
}
// A directory on a file system of 64 KiB: a full disk once that much is written.
inline UnixFault FullDisk(const std::wstring& path) {
  return {path, "mkdir -p \"$1\" && mount -t tmpfs -o size=64k tmpfs \"$1\"", "umount \"$1\" || umount -l \"$1\""};
}

}  // namespace hv::test
