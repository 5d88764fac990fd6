// A private installation for one test: program and temporary directories, a viewer copying what it is shown.
#pragma once

#include <windows.h>

#include <cwchar>

#include "storage/path.h"
#include "support/test_support.h"

namespace hv::test {

// UTF-8 by its definition, for the texts of these tests (no surrogates among them).
inline std::string Utf8(const std::wstring& text) {
  std::string bytes;
  for (const wchar_t u : text) {
    if (u >= 0x800) bytes += static_cast<char>(0xE0 | u >> 12);
    if (u >= 0x80) bytes += static_cast<char>(u < 0x800 ? 0xC0 | u >> 6 : 0x80 | (u >> 6 & 0x3F));
    bytes += static_cast<char>(u < 0x80 ? u : 0x80 | (u & 0x3F));
  }
  return bytes;
}
inline std::vector<std::wstring> OnlyFile(const std::wstring& path) { return {path.substr(path.rfind(L'\\') + 1)}; }

class Installation {
 public:
  Installation() {
    for (const wchar_t* leaf : {L"app", L"temp", L"in", L"app\\dumps"}) CreateDirectoryW(Dir(leaf).c_str(), nullptr);
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
  // FNV-1a 64 of the full path's UTF-16 units in 16 lower-case digits, " - ", the plain name, ".hextxt".
  std::wstring DumpOf(const std::wstring& input) const {
    uint64_t hash = 0xcbf29ce484222325;
    for (const wchar_t unit : input) hash = (hash ^ unit) * 0x100000001b3;
    wchar_t digits[17];
    swprintf(digits, 17, L"%016llx", static_cast<unsigned long long>(hash));
    return dumps() + L"\\" + digits + L" - " + input.substr(input.rfind(L'\\') + 1) + L".hextxt";
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
