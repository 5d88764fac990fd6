// Writes a file through a temporary sibling and one rename, so the target path holds
// the old file, no file, or the whole new file; never a partial one.
#pragma once

#include <cstdint>
#include <string>

#include "dump/dump_types.h"

namespace hv {

class AtomicFileWriter {
 public:
  AtomicFileWriter() = default;
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  bool Open(const std::wstring& temporaryPath, std::wstring* error = nullptr);
  bool Write(const void* bytes, uint64_t count, std::wstring* error = nullptr);
  bool Commit(const std::wstring& targetPath, std::wstring* error = nullptr);
  void Discard();

 private:
  // INVALID_HANDLE_VALUE is defined as this integer made a pointer; there is no other spelling.
  // NOLINTNEXTLINE(performance-no-int-to-ptr)
  void* handle_ = reinterpret_cast<void*>(static_cast<intptr_t>(-1));
  std::wstring temporaryPath_;
};

DumpResult WriteFileAtomically(const std::wstring& temporaryPath, const std::wstring& targetPath,
                               const std::string& content);
DumpResult WriteFileDirect(const std::wstring& path, const std::string& content);
void ClearReadOnlyAttribute(const std::wstring& path);
bool RemoveFileIfPresent(const std::wstring& path, uint32_t* errorCode = nullptr);

}  // namespace hv
