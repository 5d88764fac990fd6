// Many row lines at once, written in place: the way dump generation renders a chunk.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace hv {

// Bytes of text the rows of `count` input bytes take: 85 a row, the last row possibly short.
uint64_t HexRowsSize(uint64_t count);

// The row lines of `count` bytes, cut from their start 16 bytes a row, the last possibly short,
// composed in place at `out`, which has room for HexRowsSize(count) bytes. Takes the fastest
// path this CPU runs.
void WriteHexRows(char* out, uint64_t offset, const unsigned char* bytes, uint64_t count, bool uppercase);

using HexRowsWriter = void (*)(char* out, uint64_t offset, const unsigned char* bytes, uint64_t count, bool uppercase);

struct HexRowsPath {
  const char* name;
  bool supported;  // whether this CPU can run it
  HexRowsWriter write;
};

// Every path this build has, whether this CPU runs it or not, so that tests and benchmarks
// hold each to the same text on any machine.
std::vector<HexRowsPath> HexRowsPaths();

// Makes WriteHexRows take the named path of HexRowsPaths() in place of the start-up choice,
// so that a benchmark can hold each path to whole generation on one machine. False, with
// nothing changed, for a name that is not there or a path this CPU cannot run.
bool UseHexRowsPath(std::string_view name);

}  // namespace hv
