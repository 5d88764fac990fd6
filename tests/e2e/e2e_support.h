// A private installation of the program for one end-to-end test: its own program
// directory (which decides where dumps go), its own temporary directory, a stand-in
// viewer that copies what it is shown, and the runs made as the host makes them.
#pragma once

#include <string>
#include <vector>

#include "support/test_support.h"

namespace hv::test {

std::string Repeat(char c, size_t count);

class Installation {
 public:
  Installation();

  const std::wstring& root() const { return scratch_.path(); }
  std::wstring appDirectory() const { return scratch_.Join(L"app"); }
  std::wstring program() const { return scratch_.Join(L"app\\hex-viewer.exe"); }
  std::wstring viewer() const { return scratch_.Join(L"viewer\\stand-in-viewer.exe"); }
  std::wstring tempDirectory() const { return scratch_.Join(L"temp"); }
  std::wstring tempCandidate() const { return scratch_.Join(L"temp\\LumoControlPlugins\\hex-viewer"); }
  std::wstring dumpsDirectory() const { return scratch_.Join(L"app\\dumps"); }
  std::wstring viewerCopy() const { return scratch_.Join(L"seen.hextxt"); }
  std::wstring viewerArgs() const { return viewerCopy() + L".args"; }

  // Writes an input file under root\in and returns its full path.
  std::wstring MakeInput(const std::wstring& name, const std::string& bytes) const;
  // The dump path the program is expected to choose under a dump root.
  std::wstring ExpectedDumpPath(const std::wstring& dumpRoot, const std::wstring& input) const;

  // Puts a previous dump of the input in place and returns its path.
  std::wstring PlacePreviousDump(const std::wstring& input, const std::string& bytes) const;

  // hex-viewer.exe with these arguments, LUMO_TEST_NO_UI=1 and standard error captured;
  // the stand-in viewer copies what it is shown to copyTo (viewerCopy() when empty).
  ProcessResult Run(const std::vector<std::wstring>& arguments, const std::wstring& copyTo = {}) const;
  // The usual host call: options, then the input and the stand-in viewer.
  ProcessResult RunOn(const std::wstring& input, const std::vector<std::wstring>& options = {}) const;

  // Waits for the stand-in viewer to have copied the dump it was shown.
  bool WaitForViewer() const;

 private:
  ScratchDirectory scratch_{L"e2e"};
};

// The argument record written by the stand-in viewer (UTF-8, each ended by NUL).
std::vector<std::string> SplitRecord(const std::string& record);

}  // namespace hv::test
