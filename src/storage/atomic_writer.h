// Writes a file through a temporary sibling and one rename, so the target path holds
// the old file, no file, or the whole new file; never a partial one.
#pragma once

#include <cstdint>
#include <string>

#include "storage/dump_result.h"
#include "text/unique_handle.h"

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
  UniqueFile handle_;
  std::wstring temporaryPath_;
};

DumpResult WriteFileAtomically(const std::wstring& temporaryPath, const std::wstring& targetPath,
                               const std::string& content);
DumpResult WriteFileDirect(const std::wstring& path, const std::string& content);
void ClearReadOnlyAttribute(const std::wstring& path);
// The same for attributes already read, of a path already in long form.
void ClearReadOnlyBit(const std::wstring& longPath, uint32_t attributes);
bool RemoveFileIfPresent(const std::wstring& path, uint32_t* errorCode = nullptr);

// The first and the last `count` bytes of a file, or all of it in both when it is no longer
// than twice that; false when it cannot be opened and read.
bool ReadFileEnds(const std::wstring& path, size_t count, std::string& head, std::string& tail);

}  // namespace hv
