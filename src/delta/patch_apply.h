// Applying a patch as streams: the old file is read where each step points, the patch's
// three streams as they are decompressed, and the new file written as it is made. Memory
// stays bounded whatever the sizes: a few blocks and the streams' windows (WindowLog).
#pragma once

#include <cstddef>
#include <cstdint>

#include "delta/patch_format.h"

namespace delta {

// Exactly `n` bytes from `offset`, or false (the reader keeps why).
class RandomReader {
public:
    virtual ~RandomReader() = default;
    virtual bool readAt(uint64_t offset, uint8_t* into, size_t n) = 0;
};

// Takes the new file's bytes in order; false when they cannot be written (the writer keeps why).
class Writer {
public:
    virtual ~Writer() = default;
    virtual bool write(const uint8_t* bytes, size_t n) = 0;
};

enum class Applied {
    Done,
    Damaged,      // the patch does not hold what its header promises
    ReadFailed,   // the old file or the patch could not be read
    WriteFailed,  // the writer refused
    NoMemory,
};

// Makes the new file of `patch` (whose header is `header`, already read) from `oldFile`, whose
// size the caller has checked against the header. Every length the patch gives is checked
// before it is used: a damaged or hostile patch ends as Damaged, never reads or writes
// outside the files.
Applied applyPatch(const PatchHeader& header, RandomReader& oldFile, RandomReader& patch, Writer& out);

}  // namespace delta
