#include "support/test_support.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>

#include "launch/viewer_launch.h"
#include "storage/path.h"

namespace hv::test {
namespace {

std::atomic<unsigned> scratchCounter{0};

using UniqueEnvironment = UniqueAny<wchar_t*, &FreeEnvironmentStringsW, 0>;
void FreeFromProcessHeap(char* memory) { HeapFree(GetProcessHeap(), 0, memory); }
using UniqueHeapText = UniqueAny<char*, &FreeFromProcessHeap, 0>;

// This process's environment with the given "NAME=value" entries in place of any of those names.
std::wstring EnvironmentBlock(const std::vector<std::wstring>& set) {
  std::wstring block;
  if (const UniqueEnvironment current{GetEnvironmentStringsW()}) {
    for (const wchar_t* p = current.get(); *p != L'\0'; p += wcslen(p) + 1) {
      const auto replaced = [&](const std::wstring& e) { return _wcsnicmp(p, e.c_str(), e.find(L'=') + 1) == 0; };
      if (std::none_of(set.begin(), set.end(), replaced)) (block += p) += L'\0';
    }
  }
  for (const auto& entry : set) (block += entry) += L'\0';
  return block + L'\0';
}

}  // namespace

ScratchDirectory::ScratchDirectory(const std::wstring& tag) {
  do {
    path_ = JoinPath(
        std::filesystem::temp_directory_path().wstring(),
        L"hvtest-" + tag + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(scratchCounter++));
  } while (!CreateDirectoryW(path_.c_str(), nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
}

ScratchDirectory::~ScratchDirectory() {  // the tests leave no read-only file to stop it
  std::error_code ignored;
  std::filesystem::remove_all(ToLongPath(path_), ignored);
}

std::wstring ScratchDirectory::Join(const std::wstring& leaf) const { return JoinPath(path_, leaf); }

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  std::ofstream file(std::filesystem::path(ToLongPath(path)), std::ios::binary);
  return file.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) && file.flush();
}

std::string ReadWholeFile(const std::wstring& path) {
  std::ifstream file(std::filesystem::path(ToLongPath(path)), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

std::vector<std::wstring> ListNames(const std::wstring& directory) {
  std::vector<std::wstring> names;
  std::error_code error;  // none listed then
  for (const auto& entry : std::filesystem::directory_iterator(ToLongPath(directory), error)) {
    names.push_back(entry.path().filename().wstring());
  }
  std::sort(names.begin(), names.end());
  return names;
}

ProcessResult RunProcess(const std::wstring& program, const std::vector<std::wstring>& arguments,
                         const std::vector<std::wstring>& environmentSet) {
  ProcessResult result;
  // Standard error goes to a file: nothing to drain while the child runs.
  ScratchDirectory scratch(L"run");
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  UniqueFile errorFile(CreateFileW(scratch.Join(L"stderr").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdError = errorFile.get();
  std::wstring environment = EnvironmentBlock(environmentSet);
  std::wstring line = QuoteArgument(program) + L" " + BuildArgumentString(arguments);
  PROCESS_INFORMATION info{};
  // Suspended in a job, so every process it starts counts; Wine's desktop process is made ours first.
  GetDesktopWindow();
  const UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
  result.started =
      CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED,
                     environment.data(), nullptr, &startup, &info) != FALSE;
  errorFile.reset();  // the child has its own copy
  const UniqueProcessInformation child(info);
  if (result.started) {
    AssignProcessToJobObject(job.get(), info.hProcess);
    ResumeThread(info.hThread);
    // The limit only ends a hang; the process is then killed.
    if (WaitForSingleObject(info.hProcess, 600000) != WAIT_OBJECT_0 && TerminateProcess(info.hProcess, 99)) {
      WaitForSingleObject(info.hProcess, 10000);
    }
    // Then the processes it started: a viewer has shown its dump (or given up) when the run ends.
    struct {
      JOBOBJECT_BASIC_PROCESS_ID_LIST list;
      ULONG_PTR more[15];
    } ids{{16, 0, {0}}, {}};
    QueryInformationJobObject(job.get(), JobObjectBasicProcessIdList, &ids, sizeof ids, nullptr);
    for (DWORD i = 0; i < ids.list.NumberOfProcessIdsInList && i < 16; ++i) {
      const UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(ids.list.ProcessIdList[i])));
      if (process) WaitForSingleObject(process.get(), 600000);
    }
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    result.exitCode = code;
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
    QueryInformationJobObject(job.get(), JobObjectBasicAccountingInformation, &accounting, sizeof accounting, nullptr);
    result.totalProcesses = accounting.TotalProcesses;
  }
  result.standardError = ReadWholeFile(scratch.Join(L"stderr"));
  return result;
}

std::string UnixPathOf(const std::wstring& windowsPath) {
  using Convert = char*(CDECL*)(LPCWSTR);
  static const auto convert = reinterpret_cast<Convert>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  const UniqueHeapText unixPath(convert == nullptr ? nullptr : convert(StripLongPathPrefix(windowsPath).c_str()));
  return unixPath ? std::string(unixPath.get()) : std::string();
}

int RunUnixShell(const std::string& command) {
  // Wine's Unix child ends at once without its status: the script records it in a file we wait for.
  ScratchDirectory scratch(L"sh");
  const std::string script = UnixPathOf(scratch.Join(L"script"));
  const std::wstring status = scratch.Join(L"script.status");
  if (script.empty() ||
      !WriteWholeFile(scratch.Join(L"script"), "(" + command +
                                                   ") >/dev/null 2>&1 </dev/null; echo $? > \"$0.partial\"; " +
                                                   "mv \"$0.partial\" \"$0.status\"\n") ||
      !RunProcess(L"/bin/sh", {std::wstring(script.begin(), script.end())}).started) {
    return -1;
  }
  // The limit only keeps a broken test from hanging.
  for (const ULONGLONG end = GetTickCount64() + 600000; !IsExistingFile(status) && GetTickCount64() < end;) Sleep(2);
  return IsExistingFile(status) ? std::atoi(ReadWholeFile(status).c_str()) : -1;
}

UniqueFile OpenShared(const std::wstring& path, uint32_t share, uint32_t disposition) {
  return UniqueFile(CreateFileW(ToLongPath(path).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, share, nullptr,
                                disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace hv::test
