// Names of dump files and of their temporary siblings.
#pragma once

#include <cstdint>
#include <string>

namespace hv {

struct DumpTarget {
  std::wstring dumpPath;
  std::wstring dumpDirectory;
  bool ok = false;
};

uint64_t PathHash(const std::wstring& inputPath);
bool IsForbiddenFileNameChar(wchar_t c);
std::wstring SanitizeFileName(const std::wstring& name);
std::wstring ShortenFileName(const std::wstring& name, unsigned limit);
std::wstring DumpFileName(const std::wstring& inputPath, unsigned stemLimit);
DumpTarget BuildDumpPath(const std::wstring& dumpRoot, const std::wstring& temporaryCandidate,
                         const std::wstring& inputPath);
std::wstring TemporaryDumpPath(const std::wstring& dumpPath, uint32_t processId, uint32_t tick);

}  // namespace hv
