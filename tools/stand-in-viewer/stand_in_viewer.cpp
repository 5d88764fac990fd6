// A stand-in for the host's viewer, with the viewer's command line:
//   stand-in-viewer.exe --wait-file --wait-timeout=MS [--copy-to=FILE] -- DUMP
// It waits for DUMP to appear (up to the time-out), then shows it: writes its bytes to
// standard output, or copies them to FILE. FILE may also come from the environment
// variable LUMO_VIEWER_COPY_TO, since the plug-in fixes the command line it passes;
// beside a copy, FILE.args records the arguments received (UTF-8, each ended by NUL).
// With LUMO_VIEWER_TAKE=1 it plays another program instead: it takes the dump path itself
// (a file of its own, shared for reading only) before the plug-in can deliver there, holds it
// until the plug-in has ended, and writes to FILE whether it took it.
// Exit codes: 0 shown, 2 bad command line, 3 timed out, 4 could not read or copy, 5 not taken.
#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <string>
#include <vector>

#include "storage/path.h"
#include "text/encoding.h"
#include "text/unique_handle.h"

namespace {

struct ViewerArguments {
  bool waitFile = false;
  long long waitTimeoutMs = 30000;
  std::wstring copyTo;
  std::wstring dumpPath;
  bool ok = false;
};

ViewerArguments ParseViewerArguments(const std::vector<std::wstring>& args) {
  ViewerArguments parsed;
  size_t i = 1;
  for (; i < args.size(); ++i) {
    const std::wstring& a = args[i];
    if (a == L"--") {
      ++i;
      break;
    }
    if (a == L"--wait-file") {
      parsed.waitFile = true;
    } else if (a.rfind(L"--wait-timeout=", 0) == 0) {
      parsed.waitTimeoutMs = _wtoi64(a.c_str() + 15);
    } else if (a.rfind(L"--copy-to=", 0) == 0) {
      parsed.copyTo = a.substr(10);
    } else {
      break;  // the dump path without "--"
    }
  }
  if (i + 1 == args.size()) {
    parsed.dumpPath = args[i];
    parsed.ok = true;
  }
  return parsed;
}

void WriteStandardError(const std::string& line) {
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  if (err == nullptr || err == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

bool ReadFileBytes(const std::wstring& path, std::string& bytes) {
  const hv::UniqueFile file(CreateFileW(hv::ToLongPath(path).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return false;
  std::vector<char> buffer(1 << 20);
  DWORD got = 0;
  bool ok = true;
  while ((ok = (ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) != FALSE)) &&
         got > 0) {
    bytes.append(buffer.data(), got);
  }
  return ok;
}

bool WriteAll(HANDLE file, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 24));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written != chunk) return false;
    done += written;
  }
  return true;
}

// Written beside the destination and renamed, so whoever waits for it never reads half.
bool WriteFileWhole(const std::wstring& path, const std::string& bytes) {
  const std::wstring partial = path + L".partial";
  hv::UniqueFile file(CreateFileW(hv::ToLongPath(partial).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  const bool written = WriteAll(file.get(), bytes);
  file.reset();  // closed before the rename
  return written &&
         MoveFileExW(hv::ToLongPath(partial).c_str(), hv::ToLongPath(path).c_str(), MOVEFILE_REPLACE_EXISTING);
}

bool WaitForDump(const std::wstring& path, long long timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs < 0 ? 0 : timeoutMs);
  for (;;) {
    if (hv::IsExistingFile(path)) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(1);
  }
}

std::wstring EnvironmentValue(const wchar_t* name) {
  const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(name, value.data(), size);
  value.resize(length < size ? length : 0);
  return value;
}

// The process that started this one: the plug-in.
hv::UniqueHandle OpenParentProcess() {
  const hv::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ProcessID == GetCurrentProcessId()) {
      return hv::UniqueHandle(OpenProcess(SYNCHRONIZE, FALSE, entry.th32ParentProcessID));
    }
  }
  return {};
}

int TakeDumpPath(const std::wstring& dumpPath, const std::wstring& record) {
  const hv::UniqueFile taken(CreateFileW(hv::ToLongPath(dumpPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                         CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  const hv::UniqueHandle plugin = OpenParentProcess();
  if (!taken || !plugin) {
    WriteFileWhole(record, "the dump path was not taken");
    return 5;
  }
  WriteAll(taken.get(), "someone else's file\r\n");
  WaitForSingleObject(plugin.get(), INFINITE);
  return WriteFileWhole(record, "the dump path was taken") ? 0 : 4;
}

}  // namespace

int wmain() {
  int count = 0;
  const hv::UniqueLocal<wchar_t*> argv(CommandLineToArgvW(GetCommandLineW(), &count));
  if (!argv) return 2;
  const std::vector<std::wstring> args(argv.get(), argv.get() + count);

  ViewerArguments viewer = ParseViewerArguments(args);
  if (!viewer.ok) {
    WriteStandardError(
        "stand-in viewer: usage: stand-in-viewer.exe --wait-file --wait-timeout=MS [--copy-to=FILE] -- DUMP\r\n");
    return 2;
  }
  if (viewer.copyTo.empty()) viewer.copyTo = EnvironmentValue(L"LUMO_VIEWER_COPY_TO");

  if (!viewer.copyTo.empty()) {
    std::string record;
    for (size_t i = 1; i < args.size(); ++i) {
      record += hv::WideToUtf8(args[i]);
      record.push_back('\0');
    }
    WriteFileWhole(viewer.copyTo + L".args", record);
  }
  if (EnvironmentValue(L"LUMO_VIEWER_TAKE") == L"1") return TakeDumpPath(viewer.dumpPath, viewer.copyTo);

  if (!WaitForDump(viewer.dumpPath, viewer.waitFile ? viewer.waitTimeoutMs : 0)) {
    const std::string message = "stand-in viewer: timed out after " + std::to_string(viewer.waitTimeoutMs) +
                                " ms waiting for '" + hv::WideToUtf8(viewer.dumpPath) + "'\r\n";
    WriteStandardError(message);
    if (!viewer.copyTo.empty()) WriteFileWhole(viewer.copyTo + L".timeout", message);
    return 3;
  }

  std::string dump;
  if (!ReadFileBytes(viewer.dumpPath, dump)) {
    WriteStandardError("stand-in viewer: cannot read '" + hv::WideToUtf8(viewer.dumpPath) + "'\r\n");
    return 4;
  }
  if (!viewer.copyTo.empty()) return WriteFileWhole(viewer.copyTo, dump) ? 0 : 4;

  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return 4;
  return WriteAll(out, dump) ? 0 : 4;
}
