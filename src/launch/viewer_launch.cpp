#include "launch/viewer_launch.h"

#include <windows.h>
#include <shellapi.h>

#include "text/encoding.h"
#include "text/unique_handle.h"

namespace hv {

std::wstring QuoteArgument(const std::wstring& argument) {
  std::wstring quoted = L"\"";
  size_t pendingBackslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++pendingBackslashes;
      continue;
    }
    if (c == L'"') {
      quoted.append(2 * pendingBackslashes + 1, L'\\');
    } else {
      quoted.append(pendingBackslashes, L'\\');
    }
    quoted.push_back(c);
    pendingBackslashes = 0;
  }
  // Doubled, so trailing backslashes do not escape the closing quote.
  quoted.append(2 * pendingBackslashes, L'\\');
  quoted.push_back(L'"');
  return quoted;
}

std::wstring BuildArgumentString(const std::vector<std::wstring>& arguments) {
  std::wstring joined;
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (i > 0) {
      joined.push_back(L' ');
    }
    joined += QuoteArgument(arguments[i]);
  }
  return joined;
}

bool LaunchViewer(const std::wstring& viewerExe, const std::wstring& dumpPath, int64_t waitTimeoutMs) {
  if (viewerExe.empty() || dumpPath.empty()) {
    return false;
  }
  const std::wstring args =
      BuildArgumentString({L"--wait-file", L"--wait-timeout=" + DecimalText(waitTimeoutMs), L"--", dumpPath});
  std::wstring commandLine = QuoteArgument(viewerExe) + L" " + args;

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
    // Closed at once: the run does not wait for the viewer.
    // cppcheck-suppress unreadVariable ; the owner exists to close both handles
    const UniqueProcessInformation process(started);
    return true;
  }

  // Not a program CreateProcessW can start: let the shell open it with the same arguments.
  SHELLEXECUTEINFOW shell{};
  shell.cbSize = sizeof shell;
  shell.fMask = SEE_MASK_FLAG_NO_UI;
  shell.lpVerb = L"open";
  shell.lpFile = viewerExe.c_str();
  shell.lpParameters = args.c_str();
  shell.nShow = SW_SHOWNORMAL;
  return ShellExecuteExW(&shell) != FALSE;
}

}  // namespace hv
