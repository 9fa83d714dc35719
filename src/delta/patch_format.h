// The patch file: what turns one exact version of a file into another. A fixed header names
// both versions by size and SHA-256 and gives the lengths of the three streams that follow,
// each one zstd frame: the control stream (for each step: how many bytes to make by adding
// the difference to the old file's bytes, how many to take as they stand, and how far to move
// in the old file), the differences, and the bytes taken as they stand. docs/patch-format.md
// has the layout byte by byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "text/digest.h"

namespace delta {

constexpr size_t HeaderSize = 120;
constexpr uint32_t FormatVersion = 1;
// The largest window a stream's compression may use: what bounds the memory of applying.
constexpr int WindowLog = 23;

struct PatchHeader {
    uint64_t oldSize = 0;
    uint64_t newSize = 0;
    Digest oldHash{};
    Digest newHash{};
    uint64_t controlSize = 0;  // compressed lengths of the three streams, in this order
    uint64_t diffSize = 0;
    uint64_t extraSize = 0;
};

std::string headerBytes(const PatchHeader& header);

// The header of a patch whose first HeaderSize bytes are `bytes` and whose whole length is
// `patchSize`: false when the magic, the version or the lengths do not add up.
bool readHeader(const uint8_t* bytes, uint64_t patchSize, PatchHeader& out);

// One step of the control stream.
struct Step {
    uint64_t diffLength = 0;   // new bytes made as old byte + difference
    uint64_t extraLength = 0;  // new bytes taken from the extra stream
    int64_t seek = 0;          // how far the old position moves after them
};

// A step appended to `out` in its encoded form: three LEB128 numbers, the seek zigzagged. A
// step that makes nothing is allowed only first (applying refuses any other).
void appendStep(const Step& step, std::string& out);

}  // namespace delta
