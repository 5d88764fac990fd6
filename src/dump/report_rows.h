// The ways row lines are composed. AppendHexRow and WriteHexRows pick one
// per CPU; they are visible here so tests can hold each to the same text on any machine.
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

// The same as WriteHexRows, each on its own path: the table rows on every x86-64 CPU,
// the others only when their Has function says the CPU can run them.
void WriteTableRows(char* out, uint64_t offset, const unsigned char* bytes, uint64_t count, bool uppercase);
void WriteShuffleRows(char* out, uint64_t offset, const unsigned char* bytes, uint64_t count, bool uppercase);
// Four rows at a time, each 64-byte store picked by byte permutes (AVX-512 F, BW and VBMI).
bool HasVbmiRows();
void WriteVbmiRows(char* out, uint64_t offset, const unsigned char* bytes, uint64_t count, bool uppercase);

}  // namespace hv::rows
