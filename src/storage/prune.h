// Listing a directory, and deleting dumps older than seven days.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hv {

struct DirectoryEntry {
  std::wstring name;
  std::wstring fullPath;
  uint32_t attributes = 0;
  uint64_t size = 0;
  uint64_t lastWriteTime = 0;  // 100-ns units since 1601, UTC, as the listing showed it
  bool directory = false;
  bool reparsePoint = false;
};

bool ListDirectory(const std::wstring& directory, std::vector<DirectoryEntry>& listing, std::wstring* error = nullptr);
void PruneOldDumps(const std::wstring& dumpDirectory);

}  // namespace hv
