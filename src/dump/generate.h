// Turns one input file into one finished dump file, through an atomic write.
#pragma once

#include <cstdint>
#include <functional>

#include "dump/dump_types.h"

namespace hv {

// Stands in for the file read of one chunk: fills buffer with at most `wanted`
// bytes, sets `delivered`, and on failure returns false with a Windows error code.
using ChunkReader =
    std::function<bool(unsigned char* buffer, uint64_t wanted, uint64_t& delivered, uint32_t& errorCode)>;

// Answers whether the file is an online-only cloud file; a seam for tests, since the
// attribute cannot be set on every file system. Empty means the platform's attributes.
using CloudFileTest = std::function<bool(const std::wstring& openPath)>;

// Whether a file's attribute word marks an online-only cloud file: recall on data access
// set, not a directory, and the word valid at all. No other attribute counts.
bool IsOnlineOnlyCloudAttributes(uint32_t attributes);

DumpResult GenerateDump(const DumpRequest& request, const ChunkReader& reader = {},
                        const CloudFileTest& cloudTest = {});

}  // namespace hv
