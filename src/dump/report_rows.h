// The two ways a row line is composed. AppendHexRow picks one per CPU; they are
// visible here so tests can hold both to the same text on any machine.
#pragma once

#include <cstdint>
#include <string>

namespace hv::rows {

// Any count from 0 to 16, on every x86-64 CPU: digit pairs from a table, the text
// column from a decode table or, for a full row, its SSE2 equivalent.
void AppendTableRow(std::string& output, uint64_t offset, const unsigned char* bytes, uint64_t count, bool uppercase);

// True when the CPU has the byte shuffles (SSSE3) that AppendShuffleRow needs.
bool HasShuffleRows();
// A full row of exactly 16 bytes, built in vector registers; only when HasShuffleRows().
void AppendShuffleRow(std::string& output, uint64_t offset, const unsigned char* bytes, bool uppercase);

}  // namespace hv::rows
