#include "support/test_support.h"

#include <windows.h>

#include <atomic>
#include <thread>

#include "launch/viewer_launch.h"
#include "storage/path.h"

namespace hv::test {
namespace {

std::atomic<unsigned> scratchCounter{0};

// Drains one pipe on its own thread so a chatty child never blocks on a full pipe.
class PipeReader {
 public:
  PipeReader(HANDLE readEnd, std::string& sink) : readEnd_(readEnd) {
    thread_ = std::thread([this, &sink] {
      char buffer[4096];
      DWORD got = 0;
      while (ReadFile(readEnd_, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        sink.append(buffer, got);
      }
    });
  }
  ~PipeReader() {
    if (thread_.joinable()) thread_.join();
    CloseHandle(readEnd_);
  }

 private:
  HANDLE readEnd_;
  std::thread thread_;
};

std::wstring EnvironmentBlock(const ProcessOptions& options) {
  std::vector<std::wstring> entries;
  if (wchar_t* block = GetEnvironmentStringsW()) {
    for (const wchar_t* p = block; *p != L'\0'; p += wcslen(p) + 1) {
      entries.emplace_back(p);
    }
    FreeEnvironmentStringsW(block);
  }
  auto nameOf = [](const std::wstring& entry) {
    const size_t eq = entry.find(L'=', 1);
    return entry.substr(0, eq);
  };
  auto drop = [&](const std::wstring& name) {
    std::erase_if(entries, [&](const std::wstring& e) { return _wcsicmp(nameOf(e).c_str(), name.c_str()) == 0; });
  };
  for (const auto& name : options.environmentUnset) drop(name);
  for (const auto& entry : options.environmentSet) {
    drop(nameOf(entry));
    entries.push_back(entry);
  }
  std::wstring result;
  for (const auto& e : entries) {
    result += e;
    result.push_back(L'\0');
  }
  result.push_back(L'\0');
  return result;
}

}  // namespace

ScratchDirectory::ScratchDirectory(const std::wstring& tag) {
  wchar_t temp[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  std::wstring base = StripTrailingSeparators(std::wstring(temp, n));
  for (;;) {
    path_ = JoinPath(base, L"hvtest-" + tag + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                               std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(scratchCounter++));
    if (CreateDirectoryW(path_.c_str(), nullptr)) break;
  }
}

ScratchDirectory::~ScratchDirectory() { RemoveTree(path_); }

std::wstring ScratchDirectory::Join(const std::wstring& leaf) const { return JoinPath(path_, leaf); }

void RemoveTree(const std::wstring& path) {
  const std::wstring longPath = ToLongPath(path);
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((longPath + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = path + L"\\" + name;
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
          !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        RemoveTree(child);
      } else {
        SetFileAttributesW(ToLongPath(child).c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!DeleteFileW(ToLongPath(child).c_str())) RemoveDirectoryW(ToLongPath(child).c_str());
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  SetFileAttributesW(longPath.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryW(longPath.c_str());
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(ToLongPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  size_t done = 0;
  while (ok && done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24));
    DWORD written = 0;
    ok = WriteFile(file, bytes.data() + done, chunk, &written, nullptr) && written == chunk;
    done += written;
  }
  CloseHandle(file);
  return ok;
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
  bytes.clear();
  HANDLE file =
      CreateFileW(ToLongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char buffer[1 << 16];
  DWORD got = 0;
  bool ok = true;
  while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr)) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return ok;
}

std::string ReadWholeFile(const std::wstring& path) {
  std::string bytes;
  ReadWholeFile(path, bytes);
  return bytes;
}

bool FileExists(const std::wstring& path) { return IsExistingFile(path); }

std::vector<std::wstring> ListNames(const std::wstring& directory) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((ToLongPath(directory) + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

std::wstring BuildDirectory() { return ModuleDirectory(); }

std::wstring BuiltProgram(const std::wstring& name) { return JoinPath(BuildDirectory(), name); }

ProcessResult RunProcess(const std::wstring& program, const std::vector<std::wstring>& arguments,
                         const ProcessOptions& options) {
  std::wstring commandLine = QuoteArgument(program);
  for (const auto& argument : arguments) commandLine += L" " + QuoteArgument(argument);
  return RunCommandLine(commandLine, options);
}

ProcessResult RunCommandLine(const std::wstring& commandLine, const ProcessOptions& options) {
  ProcessResult result;
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE errRead = nullptr, errWrite = nullptr, outRead = nullptr, outWrite = nullptr;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (options.captureStandardError || options.captureStandardOutput) {
    if (options.captureStandardError) {
      CreatePipe(&errRead, &errWrite, &inherit, 0);
      SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    }
    if (options.captureStandardOutput) {
      CreatePipe(&outRead, &outWrite, &inherit, 0);
      SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    }
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
  }
  std::wstring environment = EnvironmentBlock(options);
  std::wstring mutableLine = commandLine;
  PROCESS_INFORMATION info{};
  // Started suspended inside a job, so every process it starts is counted.
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  const BOOL started =
      CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED,
                     environment.data(), options.currentDirectory.empty() ? nullptr : options.currentDirectory.c_str(),
                     &startup, &info);
  if (started) {
    if (job != nullptr) AssignProcessToJobObject(job, info.hProcess);
    ResumeThread(info.hThread);
  }
  if (errWrite) CloseHandle(errWrite);
  if (outWrite) CloseHandle(outWrite);
  {
    // Readers join (and so finish reading) before the result is returned.
    std::unique_ptr<PipeReader> errReader, outReader;
    if (errRead) errReader = std::make_unique<PipeReader>(errRead, result.standardError);
    if (outRead) outReader = std::make_unique<PipeReader>(outRead, result.standardOutput);
    if (started) {
      result.started = true;
      const DWORD wait = WaitForSingleObject(info.hProcess, options.timeoutMs);
      if (wait == WAIT_OBJECT_0) {
        result.finished = true;
        DWORD code = 0;
        GetExitCodeProcess(info.hProcess, &code);
        result.exitCode = code;
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
        if (job != nullptr && QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting,
                                                        sizeof accounting, nullptr)) {
          result.totalProcesses = accounting.TotalProcesses;
        }
      } else {
        TerminateProcess(info.hProcess, 99);
        WaitForSingleObject(info.hProcess, 10000);
      }
      CloseHandle(info.hThread);
      CloseHandle(info.hProcess);
    }
  }
  if (job != nullptr) CloseHandle(job);
  return result;
}

std::string UnixPathOf(const std::wstring& windowsPath) {
  using Convert = char*(CDECL*)(LPCWSTR);
  static const auto convert = reinterpret_cast<Convert>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (convert == nullptr) return {};
  char* unixPath = convert(StripLongPathPrefix(windowsPath).c_str());
  if (unixPath == nullptr) return {};
  std::string result = unixPath;
  HeapFree(GetProcessHeap(), 0, unixPath);
  return result;
}

int RunUnixShell(const std::string& command) {
  // Wine hands back a Unix child as a process that ends at once, without its exit
  // status; the script records the status itself, and we wait for that record.
  ScratchDirectory scratch(L"sh");
  const std::string statusFile = UnixPathOf(scratch.Join(L"status"));
  const std::string scriptFile = UnixPathOf(scratch.Join(L"script.sh"));
  if (statusFile.empty() || scriptFile.empty()) return -1;
  if (!WriteWholeFile(scratch.Join(L"script.sh"), "(" + command + ") >/dev/null 2>&1 </dev/null; echo $? > '" +
                                                      statusFile + ".partial'; mv '" + statusFile + ".partial' '" +
                                                      statusFile + "'\n")) {
    return -1;
  }
  ProcessOptions options;
  options.captureStandardError = false;
  options.captureStandardOutput = false;
  const ProcessResult run = RunCommandLine(L"/bin/sh " + Wide(scriptFile), options);
  if (!run.started || !WaitForFile(scratch.Join(L"status"), 120000)) return -1;
  std::string status;
  if (!ReadWholeFile(scratch.Join(L"status"), status) || status.empty()) return -1;
  return std::atoi(status.c_str());
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

}  // namespace hv::test

namespace hv::test {

CurrentDirectory::CurrentDirectory(const std::wstring& directory) {
  const DWORD length = GetCurrentDirectoryW(0, nullptr);
  saved_.resize(length);
  saved_.resize(GetCurrentDirectoryW(length, saved_.data()) < length ? length - 1 : 0);
  changed_ = !saved_.empty() && SetCurrentDirectoryW(directory.c_str()) != FALSE;
}

CurrentDirectory::~CurrentDirectory() {
  if (changed_) SetCurrentDirectoryW(saved_.c_str());
}

bool WaitForFile(const std::wstring& path, uint32_t timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  while (!IsExistingFile(path)) {
    if (GetTickCount64() >= deadline) return false;
    Sleep(2);
  }
  return true;
}

FileHolder::FileHolder(const std::wstring& file, const std::wstring& share, uint32_t maxMs) {
  std::wstring commandLine = QuoteArgument(BuiltProgram(L"file-holder.exe"));
  for (const auto& argument :
       {file, share, signals_.Join(L"ready"), signals_.Join(L"release"), std::to_wstring(maxMs)}) {
    commandLine += L" " + QuoteArgument(argument);
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return;
  }
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  if (WaitForFile(signals_.Join(L"ready"), 30000)) {
    holding_ = ReadWholeFile(signals_.Join(L"ready")) == "open";
  }
}

void FileHolder::Release() {
  if (process_ == nullptr) return;
  WriteWholeFile(signals_.Join(L"release"), "go");
  WaitForSingleObject(static_cast<HANDLE>(process_), 60000);
  CloseHandle(static_cast<HANDLE>(process_));
  process_ = nullptr;
}

FileHolder::~FileHolder() { Release(); }

}  // namespace hv::test
