// Names of dump files and of their temporary siblings.
#pragma once

#include <cstdint>
#include <string>

namespace hv {

// The endings of a dump and of its temporary sibling, which pruning looks for.
inline constexpr wchar_t kDumpExtension[] = L".hextxt";
inline constexpr wchar_t kTemporaryExtension[] = L".tmp";

struct DumpTarget {
  std::wstring dumpPath;
  std::wstring dumpDirectory;
  bool ok = false;
};

// FNV-1a 64 over the UTF-16 units themselves, one step per unit, no case folding.
uint64_t Fnv1aHash(const std::wstring& text);
// Fnv1aHash of the input's full path, so every spelling of one file names one dump.
uint64_t PathHash(const std::wstring& inputPath);
bool IsForbiddenFileNameChar(wchar_t c);
std::wstring SanitizeFileName(const std::wstring& name);
std::wstring ShortenFileName(const std::wstring& name, unsigned limit);
std::wstring DumpFileName(const std::wstring& inputPath, unsigned stemLimit);
DumpTarget BuildDumpPath(const std::wstring& dumpRoot, const std::wstring& temporaryCandidate,
                         const std::wstring& inputPath);
// The same for a caller that has resolved the input's InputFullPath already.
DumpTarget BuildDumpPath(const std::wstring& dumpRoot, const std::wstring& temporaryCandidate,
                         const std::wstring& inputPath, const std::wstring& inputFullPath);
std::wstring TemporaryDumpPath(const std::wstring& dumpPath, uint32_t processId, uint32_t tick);

}  // namespace hv
