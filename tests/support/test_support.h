// Shared by the test programs: scratch directories on the real file system, whole-file
// reads and writes, and child processes with their standard error captured.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hv::test {

// A fresh directory under the user's temporary directory, removed with its content
// when the object goes away.
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

void RemoveTree(const std::wstring& path);
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);
// Returns false when the file cannot be read; bytes then holds nothing.
bool ReadWholeFile(const std::wstring& path, std::string& bytes);
std::string ReadWholeFile(const std::wstring& path);
bool FileExists(const std::wstring& path);
std::vector<std::wstring> ListNames(const std::wstring& directory);

// The directory holding the test program, where every built program lies.
std::wstring BuildDirectory();
std::wstring BuiltProgram(const std::wstring& name);  // e.g. L"hex-viewer.exe"

struct ProcessResult {
  bool started = false;
  bool finished = false;  // false when it outlived the time limit (it is then killed)
  uint32_t exitCode = 0;
  // Processes ever started in the child's job: the child itself and all it started.
  uint32_t totalProcesses = 0;
  std::string standardOutput;
  std::string standardError;
};

struct ProcessOptions {
  std::wstring currentDirectory;             // empty: inherit
  std::vector<std::wstring> environmentSet;  // "NAME=value" added to this process's environment
  std::vector<std::wstring> environmentUnset;
  bool captureStandardError = true;
  bool captureStandardOutput = true;
  uint32_t timeoutMs = 60000;
};

// Runs the program with the arguments quoted for CommandLineToArgvW.
ProcessResult RunProcess(const std::wstring& program, const std::vector<std::wstring>& arguments,
                         const ProcessOptions& options = {});
// Runs an exact command line as CreateProcessW receives it.
ProcessResult RunCommandLine(const std::wstring& commandLine, const ProcessOptions& options = {});

// Runs a Linux shell command from inside Wine (Wine starts ELF programs too) and waits
// for it; returns its exit status, or -1 when it could not be started.
int RunUnixShell(const std::string& command);
// The Linux path of a Windows path under Wine (Z:\x -> /x); empty when unknown.
std::string UnixPathOf(const std::wstring& windowsPath);

std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& utf8);

// Makes a directory the process's current directory for as long as the object lives.
class CurrentDirectory {
 public:
  explicit CurrentDirectory(const std::wstring& directory);
  ~CurrentDirectory();
  CurrentDirectory(const CurrentDirectory&) = delete;
  CurrentDirectory& operator=(const CurrentDirectory&) = delete;

  bool changed() const { return changed_; }

 private:
  std::wstring saved_;
  bool changed_ = false;
};

}  // namespace hv::test

namespace hv::test {

// Waits (polling) until the file exists; false after timeoutMs.
bool WaitForFile(const std::wstring& path, uint32_t timeoutMs = 30000);

// Another process holding a file open: see tests/programs/file-holder. The holder is
// released (and waited for) when the object goes away.
class FileHolder {
 public:
  // share: none | read | readwrite | all | nodelete | lock:OFFSET:LENGTH
  FileHolder(const std::wstring& file, const std::wstring& share, uint32_t maxMs = 60000);
  ~FileHolder();
  FileHolder(const FileHolder&) = delete;
  FileHolder& operator=(const FileHolder&) = delete;

  bool holding() const { return holding_; }  // the holder reported "open"
  void Release();                            // lets go and waits for the holder to exit

 private:
  ScratchDirectory signals_{L"holder"};
  void* process_ = nullptr;
  bool holding_ = false;
};

}  // namespace hv::test
