// CRC-32 as the CRC command checks it (reflected polynomial 0xEDB88320, register preset
// and final value inverted): a fast path chosen at run time, and the ways it is computed.
#pragma once

#include <cstddef>
#include <cstdint>

// The CRC-32 of `n` bytes following bytes whose CRC-32 was `previous` (0 before the first),
// so a file can be checked block by block.
uint32_t crc32(const void* bytes, size_t n, uint32_t previous = 0);

// The ways of computing it, all with crc32's contract; the tests hold each to the table.
namespace crc32_detail {
// One table lookup per byte: the reference.
uint32_t byTable(const void* bytes, size_t n, uint32_t previous);
// Eight bytes per step through eight tables, on any processor.
uint32_t bySlicing(const void* bytes, size_t n, uint32_t previous);
// Whether this processor has carry-less multiplication, which byFolding needs.
bool foldingAvailable();
// 64 bytes per step by carry-less multiplication: about as fast as memory delivers.
uint32_t byFolding(const void* bytes, size_t n, uint32_t previous);
// Whether this processor has 512-bit carry-less multiplication, which byWideFolding needs.
bool wideFoldingAvailable();
// 256 bytes per step, four folds per instruction.
uint32_t byWideFolding(const void* bytes, size_t n, uint32_t previous);
}  // namespace crc32_detail
