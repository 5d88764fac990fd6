// Shared by the test programs: scratch directories, whole files, child processes with
// their standard error captured, Linux commands run from inside Wine, peer processes, real faults.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace hv::test {

// A fresh directory under the temporary directory, removed with its content afterwards.
class ScratchDirectory {
 public:
  explicit ScratchDirectory(const std::wstring& tag = L"t");
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::wstring& path() const { return path_; }
  std::wstring Join(const std::wstring& leaf) const;

 private:
  std::wstring path_;
};

bool WriteWholeFile(const std::wstring& path, const std::string& bytes);
std::string ReadWholeFile(const std::wstring& path);  // empty when unreadable
std::vector<std::wstring> ListNames(const std::wstring& directory);
std::wstring BuiltProgram(const std::wstring& name);  // a program built beside the tests
bool WaitForFile(const std::wstring& path, uint32_t timeoutMs = 30000);

struct ProcessOptions {
  std::vector<std::wstring> environmentSet;  // "NAME=value"
  uint32_t timeoutMs = 60000;
  // Called with the child's process id before it runs its first instruction.
  std::function<void(uint32_t processId)> beforeResume;
};

struct ProcessResult {
  bool started = false;
  bool finished = false;  // false when it outlived the time limit (it is then killed)
  uint32_t exitCode = 0;
  uint32_t totalProcesses = 0;  // the child and every process it started
  std::string standardError;
};

ProcessResult RunProcess(const std::wstring& program, const std::vector<std::wstring>& arguments,
                         const ProcessOptions& options = {});

// A Linux shell command run from inside Wine; its exit status, or -1.
int RunUnixShell(const std::string& command);
std::string UnixPathOf(const std::wstring& windowsPath);

// Another process holding a file open (tests/programs/file-holder) until released.
class FileHolder {
 public:
  // share: none | read | readwrite (no delete sharing) | all | take (once it is free, no sharing)
  FileHolder(const std::wstring& file, const std::wstring& share, uint32_t maxMs = 60000);
  ~FileHolder() { Release(); }  // not copyable: it owns a thread

  bool holding() const { return holding_; }  // when taking: watching
  uint32_t Release();                        // its exit code: 0 when it held the file

 private:
  ScratchDirectory signals_{L"holder"};
  ProcessResult result_;
  std::thread thread_;
  bool holding_ = false;
};

// Runs `make` at once and `undo` when the guard goes away, both on a directory's Linux path as $1.
class UnixFault {
 public:
  UnixFault(const std::wstring& path, const std::string& make, const std::string& undo)
      : set_("set -- '" + UnixPathOf(path) + "'; "), undo_(undo), ok_(RunUnixShell(set_ + make) == 0) {}
  ~UnixFault() {
    if (ok_) RunUnixShell(set_ + undo_);
  }
  UnixFault(const UnixFault&) = delete;
  UnixFault& operator=(const UnixFault&) = delete;

  bool ok() const { return ok_; }

 private:
  std::string set_, undo_;
  bool ok_;
};

// A directory nobody may change, not even root: creation, writes and deletions in it fail.
struct ImmutableDirectory : UnixFault {
  explicit ImmutableDirectory(const std::wstring& path)
      : UnixFault(path, "mkdir -p \"$1\" && chattr +i \"$1\"", "chattr -i \"$1\"") {}
};

// Another current directory for one test.
class CurrentDirectory {
 public:
  explicit CurrentDirectory(const std::wstring& directory);
  ~CurrentDirectory();
  CurrentDirectory(const CurrentDirectory&) = delete;
  CurrentDirectory& operator=(const CurrentDirectory&) = delete;

  bool changed() const { return changed_; }

 private:
  std::wstring previous_;
  bool changed_ = false;
};

}  // namespace hv::test
