// A private installation for one test: program and temporary directories, a viewer copying what it is shown.
#pragma once

#include <windows.h>

#include "storage/naming.h"
#include "storage/path.h"
#include "support/test_support.h"
#include "text/encoding.h"

namespace hv::test {

inline std::vector<std::wstring> OnlyFile(const std::wstring& path) { return {path.substr(path.rfind(L'\\') + 1)}; }

// The exit code, the error line and how many processes ran (the program, and its viewer if started), as one value.
inline std::string Outcome(const ProcessResult& run) {
  return std::to_string(run.exitCode) + " [" + run.standardError + "] " + std::to_string(run.totalProcesses);
}

class Installation {
 public:
  // As a host installs it: the program alone in its folder, no dumps folder yet.
  Installation() {
    for (const wchar_t* leaf : {L"app", L"temp", L"in"}) CreateDirectoryW(Dir(leaf).c_str(), nullptr);
    CopyFileW(JoinPath(ModuleDirectory(), L"hex-viewer.exe").c_str(), program().c_str(), FALSE);
    CopyFileW(JoinPath(ModuleDirectory(), L"stand-in-viewer.exe").c_str(), viewer().c_str(), FALSE);
  }

  std::wstring Dir(const std::wstring& leaf) const { return scratch_.Join(leaf); }
  std::wstring program() const { return Dir(L"app\\hex-viewer.exe"); }
  std::wstring viewer() const { return Dir(L"Lumo Viewer.exe"); }
  std::wstring dumps() const { return Dir(L"app\\dumps"); }
  std::wstring seen() const { return Dir(L"seen.hextxt"); }  // what the viewer was shown
  std::wstring Input(const std::wstring& name, const std::string& bytes) const {
    return WriteWholeFile(Dir(L"in\\" + name), bytes) ? Dir(L"in\\" + name) : std::wstring();
  }
  // Where an input's dump goes under a dump root, the program's folder unless given (the naming tests pin names).
  std::wstring DumpOf(const std::wstring& input, const std::wstring& directory = {}) const {
    return BuildDumpPath(directory.empty() ? Dir(L"app") : directory, {}, input, input).dumpPath;
  }

  // LUMO_TEST_NO_UI=1, a private TMP (temp, unless given), the stand-in viewer copying to copyTo.
  std::vector<std::wstring> Environment(const std::wstring& copyTo = {}, std::wstring temp = {}) const {
    if (temp.empty()) temp = Dir(L"temp");
    return {L"LUMO_TEST_NO_UI=1", L"TMP=" + temp, L"TEMP=" + temp,
            L"LUMO_VIEWER_COPY_TO=" + (copyTo.empty() ? seen() : copyTo)};
  }
  ProcessResult Run(const std::vector<std::wstring>& arguments, const std::wstring& copyTo = {},
                    const std::wstring& temp = {}) const {
    return RunProcess(program(), arguments, Environment(copyTo, temp));
  }
  ProcessResult RunOn(const std::wstring& input, std::vector<std::wstring> options = {}) const {
    options.insert(options.end(), {input, viewer()});
    return Run(options);
  }

 private:
  ScratchDirectory scratch_{L"e2e"};
};

}  // namespace hv::test
