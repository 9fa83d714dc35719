#include "delta/patch_format.h"

#include <cstring>

namespace delta {

namespace {

constexpr char Magic[8] = {'U', 'P', 'D', 'P', 'A', 'T', 'C', 'H'};

void put64(uint64_t value, std::string& out) {
    for (int i = 0; i < 8; ++i) out += static_cast<char>(value >> (8 * i) & 0xFF);
}

uint64_t get64(const uint8_t* at) {
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i) value = value << 8 | at[i];
    return value;
}

void putNumber(uint64_t value, std::string& out) {
    while (value >= 0x80) {
        out += static_cast<char>((value & 0x7F) | 0x80);
        value >>= 7;
    }
    out += static_cast<char>(value);
}

}  // namespace

std::string headerBytes(const PatchHeader& header) {
    std::string out(Magic, sizeof Magic);
    put64(FormatVersion, out);  // the version's four bytes, then four reserved zero bytes
    put64(header.oldSize, out);
    put64(header.newSize, out);
    out.append(reinterpret_cast<const char*>(header.oldHash.data()), header.oldHash.size());
    out.append(reinterpret_cast<const char*>(header.newHash.data()), header.newHash.size());
    put64(header.controlSize, out);
    put64(header.diffSize, out);
    put64(header.extraSize, out);
    return out;
}

bool readHeader(const uint8_t* bytes, uint64_t patchSize, PatchHeader& out) {
    if (patchSize < HeaderSize || std::memcmp(bytes, Magic, sizeof Magic) != 0) return false;
    if (get64(bytes + 8) != FormatVersion) return false;
    PatchHeader header;
    header.oldSize = get64(bytes + 16);
    header.newSize = get64(bytes + 24);
    std::memcpy(header.oldHash.data(), bytes + 32, 32);
    std::memcpy(header.newHash.data(), bytes + 64, 32);
    header.controlSize = get64(bytes + 96);
    header.diffSize = get64(bytes + 104);
    header.extraSize = get64(bytes + 112);
    // Each length at most what is left, so that their sum cannot wrap around.
    uint64_t left = patchSize - HeaderSize;
    for (const uint64_t length : {header.controlSize, header.diffSize, header.extraSize}) {
        if (length > left) return false;
        left -= length;
    }
    if (left != 0) return false;
    out = header;
    return true;
}

void appendStep(const Step& step, std::string& out) {
    putNumber(step.diffLength, out);
    putNumber(step.extraLength, out);
    const uint64_t seek = static_cast<uint64_t>(step.seek);
    putNumber(step.seek < 0 ? ~(seek << 1) : seek << 1, out);
}

}  // namespace delta
