// The patch reader on any bytes: the header's lengths, the three zstd streams and the steps
// they give are all hostile. Applying must end (as Done or Damaged), never read the old file or
// the patch outside them, and never write more than the header's new size.
// sources: src/delta/patch_apply.cpp src/delta/patch_format.cpp src/text/digest.cpp
// libraries: -lzstd
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "delta/patch_apply.h"

namespace {

struct Reader : delta::RandomReader {
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool readAt(uint64_t offset, uint8_t* into, size_t n) override {
        if (offset > size_ || n > size_ - offset) std::abort();  // a read outside the file
        std::memcpy(into, data_ + offset, n);
        return true;
    }
    const uint8_t* data_;
    size_t size_;
};

struct Counter : delta::Writer {
    bool write(const uint8_t*, size_t n) override {
        written += n;
        return true;
    }
    uint64_t written = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    delta::PatchHeader header;
    if (size < delta::HeaderSize || !delta::readHeader(data, size, header)) return 0;
    // The old file: any bytes, as long as the header's size, kept small enough to fuzz fast.
    if (header.oldSize > (1u << 16) || header.newSize > (1u << 24)) return 0;
    std::vector<uint8_t> old(static_cast<size_t>(header.oldSize));
    for (size_t i = 0; i < old.size(); ++i) old[i] = static_cast<uint8_t>(i * 31);
    Reader oldFile(old.data(), old.size());
    Reader patch(data, size);
    Counter out;
    (void)delta::applyPatch(header, oldFile, patch, out);  // any outcome; only its bounds matter
    if (out.written > header.newSize) std::abort();
    return 0;
}
