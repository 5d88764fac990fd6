#include "e2e_support.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "storage/naming.h"
#include "storage/path.h"

namespace hv::test {

std::string Repeat(char c, size_t count) { return std::string(count, c); }

Installation::Installation() {
  for (const wchar_t* directory : {L"app", L"viewer", L"temp", L"in"}) {
    CreateDirectoryW(scratch_.Join(directory).c_str(), nullptr);
  }
  EXPECT_TRUE(CopyFileW(BuiltProgram(L"hex-viewer.exe").c_str(), program().c_str(), FALSE));
  EXPECT_TRUE(CopyFileW(BuiltProgram(L"stand-in-viewer.exe").c_str(), viewer().c_str(), FALSE));
}

std::wstring Installation::MakeInput(const std::wstring& name, const std::string& bytes) const {
  const std::wstring path = scratch_.Join(L"in\\" + name);
  EXPECT_TRUE(WriteWholeFile(path, bytes));
  return path;
}

std::wstring Installation::ExpectedDumpPath(const std::wstring& dumpRoot, const std::wstring& input) const {
  return JoinPath(JoinPath(dumpRoot, L"dumps"), DumpFileName(input, 64));
}

std::wstring Installation::PlacePreviousDump(const std::wstring& input, const std::string& bytes) const {
  const std::wstring dump = ExpectedDumpPath(appDirectory(), input);
  CreateDirectoryW(dumpsDirectory().c_str(), nullptr);
  EXPECT_TRUE(WriteWholeFile(dump, bytes));
  return dump;
}

ProcessResult Installation::Run(const std::vector<std::wstring>& arguments, const std::wstring& copyTo) const {
  ProcessOptions options;
  options.environmentSet = {L"LUMO_TEST_NO_UI=1", L"TMP=" + tempDirectory(), L"TEMP=" + tempDirectory(),
                            L"LUMO_VIEWER_COPY_TO=" + (copyTo.empty() ? viewerCopy() : copyTo)};
  options.timeoutMs = 120000;
  return RunProcess(program(), arguments, options);
}

ProcessResult Installation::RunOn(const std::wstring& input, const std::vector<std::wstring>& options) const {
  std::vector<std::wstring> arguments = options;
  arguments.push_back(input);
  arguments.push_back(viewer());
  return Run(arguments);
}

bool Installation::WaitForViewer() const { return WaitForFile(viewerCopy(), 60000); }

std::vector<std::string> SplitRecord(const std::string& record) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t i = 0; i < record.size(); ++i) {
    if (record[i] == '\0') {
      parts.push_back(record.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

}  // namespace hv::test
