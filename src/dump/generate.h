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

// Stands in for the platform's attribute word of the input, which tells an online-only cloud
// file: a seam, since not every file system can mark a file so. Empty means the platform's.
using AttributesQuery = std::function<uint32_t(const std::wstring& openPath)>;

DumpResult GenerateDump(const DumpRequest& request, const ChunkReader& reader = {},
                        const AttributesQuery& attributesQuery = {});

}  // namespace hv
