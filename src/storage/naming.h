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

// The dump of an input in the `dumps` directory of the dump root, or of the temporary candidate when
// no name fits below the root: a hash of the input's full path (ResolveInputPath), then its own
// file name, cleaned and cut short.
DumpTarget BuildDumpPath(const std::wstring& dumpRoot, const std::wstring& temporaryCandidate,
                         const std::wstring& inputPath, const std::wstring& inputFullPath);
std::wstring TemporaryDumpPath(const std::wstring& dumpPath, uint32_t processId, uint32_t tick);

}  // namespace hv
