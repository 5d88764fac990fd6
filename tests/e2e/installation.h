// A private installation of the program for one test: its own program directory (which
// decides where dumps go), its own temporary directory, and a stand-in viewer that
// copies what it is shown. Runs are made as the host makes them.
#pragma once

#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

#include "storage/path.h"
#include "support/test_support.h"
#include "text/encoding.h"

namespace hv::test {

inline std::string Utf8(const std::wstring& text) { return WideToUtf8(text); }

class Installation {
 public:
  Installation() {
    for (const wchar_t* leaf : {L"app", L"temp", L"in"}) CreateDirectoryW(Dir(leaf).c_str(), nullptr);
    CopyFileW(BuiltProgram(L"hex-viewer.exe").c_str(), program().c_str(), FALSE);
    CopyFileW(BuiltProgram(L"stand-in-viewer.exe").c_str(), viewer().c_str(), FALSE);
  }

  std::wstring Dir(const std::wstring& leaf) const { return scratch_.Join(leaf); }
  std::wstring program() const { return Dir(L"app\\hex-viewer.exe"); }
  std::wstring viewer() const { return Dir(L"stand-in-viewer.exe"); }
  std::wstring dumps() const { return Dir(L"app\\dumps"); }
  std::wstring tempCandidate() const { return Dir(L"temp\\LumoControlPlugins\\hex-viewer"); }
  std::wstring seen() const { return Dir(L"seen.hextxt"); }  // what the viewer was shown

  std::wstring Input(const std::wstring& name, const std::string& bytes) const {
    WriteWholeFile(Dir(L"in\\" + name), bytes);
    return Dir(L"in\\" + name);
  }
  // The dump of an input given by its full path with a short plain name: FNV-1a 64 of the
  // path's UTF-16 units in 16 lower-case digits, " - ", the name, ".hextxt".
  std::wstring DumpOf(const std::wstring& input, const std::wstring& root = {}) const {
    uint64_t hash = 0xcbf29ce484222325;
    for (const wchar_t unit : input) hash = (hash ^ unit) * 0x100000001b3;
    wchar_t digits[17];
    swprintf(digits, 17, L"%016llx", static_cast<unsigned long long>(hash));
    return (root.empty() ? Dir(L"app") : root) + L"\\dumps\\" + digits + L" - " + input.substr(input.rfind(L'\\') + 1) +
           L".hextxt";
  }

  // LUMO_TEST_NO_UI=1, a private TMP (temp, unless given), the stand-in viewer copying to copyTo.
  ProcessResult Run(const std::vector<std::wstring>& arguments, const std::wstring& copyTo = {},
                    std::wstring temp = {}) const {
    if (temp.empty()) temp = Dir(L"temp");
    ProcessOptions options;
    options.environmentSet = {L"LUMO_TEST_NO_UI=1", L"TMP=" + temp, L"TEMP=" + temp,
                              L"LUMO_VIEWER_COPY_TO=" + (copyTo.empty() ? seen() : copyTo)};
    options.timeoutMs = 120000;
    return RunProcess(program(), arguments, options);
  }
  ProcessResult RunOn(const std::wstring& input, std::vector<std::wstring> options = {}) const {
    options.insert(options.end(), {input, viewer()});
    return Run(options);
  }

 private:
  ScratchDirectory scratch_{L"e2e"};
};

}  // namespace hv::test
