// Patches made and applied: every kind of change between two versions comes back byte for
// byte, similar versions give small patches, the same inputs the same bytes, and a damaged or
// hostile patch is refused without reading or writing outside its files.
#include <gtest/gtest.h>
#include <zstd.h>

#include <random>
#include <string>
#include <vector>

#include "delta/patch_apply.h"
#include "make/patch_make.h"
#include "os/sha256.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes randomBytes(size_t n, unsigned seed) {
    std::mt19937 random(seed);
    Bytes bytes(n);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    return bytes;
}

// Code-like bytes: a small vocabulary of words, as executables repeat their instructions.
Bytes programLike(size_t n, unsigned seed) {
    std::mt19937 random(seed);
    const Bytes words = randomBytes(256 * 8, 7);
    Bytes bytes;
    while (bytes.size() < n) {
        const size_t word = random() % 256;
        bytes.insert(bytes.end(), words.begin() + word * 8, words.begin() + word * 8 + 8);
    }
    bytes.resize(n);
    return bytes;
}

struct MemoryReader : delta::RandomReader {
    explicit MemoryReader(const std::string& bytes) : data(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()) {}
    explicit MemoryReader(const Bytes& bytes) : data(bytes.data(), bytes.size()) {}
    bool readAt(uint64_t offset, uint8_t* into, size_t n) override {
        if (offset > data.size() || n > data.size() - offset) {
            outside = true;
            return false;
        }
        std::copy_n(data.data() + offset, n, into);
        return true;
    }
    std::span<const uint8_t> data;
    bool outside = false;
};

struct MemoryWriter : delta::Writer {
    bool write(const uint8_t* bytes, size_t n) override {
        made.insert(made.end(), bytes, bytes + n);
        return true;
    }
    Bytes made;
};

std::string patchOf(const Bytes& old, const Bytes& made) {
    std::string patch;
    const Digest from = os::sha256Of(old.data(), old.size());
    EXPECT_TRUE(delta::makePatch(old, made, from, os::sha256Of(made.data(), made.size()), patch));
    return patch;
}

// Applies `patch` to `old`: the outcome, and what was made.
delta::Applied apply(const std::string& patch, const Bytes& old, Bytes& made, bool* readOutside = nullptr) {
    delta::PatchHeader header;
    if (patch.size() < delta::HeaderSize ||
        !delta::readHeader(reinterpret_cast<const uint8_t*>(patch.data()), patch.size(), header))
        return delta::Applied::Damaged;
    if (header.oldSize != old.size()) return delta::Applied::Damaged;
    MemoryReader oldReader(old);
    MemoryReader patchReader(patch);
    MemoryWriter writer;
    const delta::Applied applied = delta::applyPatch(header, oldReader, patchReader, writer);
    EXPECT_LE(writer.made.size(), header.newSize) << "wrote beyond the size the header gives";
    if (readOutside) *readOutside = oldReader.outside || patchReader.outside;
    made = std::move(writer.made);
    return applied;
}

Bytes edited(Bytes bytes, const std::function<void(Bytes&)>& edit) {
    edit(bytes);
    return bytes;
}

TEST(Patch, EveryKindOfChangeComesBackByteForByte) {
    const Bytes base = programLike(1 << 20, 1);
    struct Case {
        const char* what;
        Bytes old;
        Bytes made;
        double mostOfNew;  // the largest patch, as a share of the new file, that passes
    } cases[] = {
        {"both empty", {}, {}, 1e9},
        {"from nothing", {}, randomBytes(5000, 2), 1.05},
        {"to nothing", randomBytes(5000, 3), {}, 1e9},
        {"identical", base, base, 0.01},
        {"a few bytes changed", base, edited(base, [](Bytes& b) { b[1000] ^= 1; b[500000] = 7; b[b.size() - 1] = 0; }),
         0.01},
        {"bytes inserted", base,
         edited(base, [](Bytes& b) { b.insert(b.begin() + 300000, 1000, 0x55); }), 0.02},
        {"bytes removed", base, edited(base, [](Bytes& b) { b.erase(b.begin() + 1000, b.begin() + 9000); }), 0.02},
        {"blocks moved", base,
         edited(base, [](Bytes& b) { std::rotate(b.begin(), b.begin() + 400000, b.end()); }), 0.02},
        {"addresses shifted throughout", base,
         edited(base, [](Bytes& b) { for (size_t i = 0; i < b.size(); i += 64) b[i] = static_cast<uint8_t>(b[i] + 3); }),
         0.10},
        {"unrelated", randomBytes(100000, 4), randomBytes(100000, 5), 1.05},
        {"one byte", {1}, {2}, 1e9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string patch = patchOf(c.old, c.made);
        Bytes made;
        bool outside = true;
        ASSERT_EQ(apply(patch, c.old, made, &outside), delta::Applied::Done);
        EXPECT_TRUE(made == c.made);
        EXPECT_FALSE(outside);
        EXPECT_LE(static_cast<double>(patch.size() - delta::HeaderSize), c.mostOfNew * c.made.size() + 64);
        EXPECT_EQ(patchOf(c.old, c.made), patch) << "the same inputs gave other bytes";
    }
}

// Every byte of a patch changed in turn, and every length cut short: applying never reads
// outside the files and never writes more than the header's size (what a damaged patch makes
// within those bounds is caught by the new file's hash, which PATCH checks).
TEST(Patch, ADamagedPatchIsRefusedOrCaughtByTheHash) {
    const Bytes old = programLike(20000, 8);
    const Bytes made = edited(old, [](Bytes& b) { b.insert(b.begin() + 5000, 300, 9); b[15000] ^= 0xFF; });
    const std::string patch = patchOf(old, made);
    int refused = 0;
    for (size_t at = 0; at < patch.size(); ++at) {
        for (const uint8_t flip : {uint8_t(0x01), uint8_t(0x80), uint8_t(0xFF)}) {
            std::string damaged = patch;
            damaged[at] = static_cast<char>(damaged[at] ^ flip);
            Bytes result;
            bool outside = false;
            const delta::Applied applied = apply(damaged, old, result, &outside);
            EXPECT_FALSE(outside) << "byte " << at;
            if (applied != delta::Applied::Done) ++refused;
        }
    }
    // The streams' framing catches most damage by itself.
    EXPECT_GT(refused, static_cast<int>(patch.size()));
    for (size_t length = 0; length < patch.size(); ++length) {
        Bytes result;
        EXPECT_NE(apply(patch.substr(0, length), old, result), delta::Applied::Done) << "cut at " << length;
    }
}

std::string frame(const std::string& bytes) {
    std::string out(ZSTD_compressBound(bytes.size()), '\0');
    out.resize(ZSTD_compress(out.data(), out.size(), bytes.data(), bytes.size(), 1));
    return out;
}

// A patch written by hand around steps that lie: each must end as damage, never as a read of
// the old file outside it or a write beyond the new size.
TEST(Patch, StepsThatLieAreDamage) {
    const Bytes old(1000, 1);
    struct Case {
        const char* what;
        std::vector<delta::Step> steps;
        std::string diff;
        std::string extra;
        uint64_t newSize;
    } cases[] = {
        {"more differences than the new file holds", {{2000, 0, 0}}, std::string(2000, '\0'), "", 1000},
        {"differences beyond the old file's end", {{600, 0, 500}, {600, 0, 0}}, std::string(1200, '\0'), "", 1200},
        {"a seek before the old file's start", {{10, 0, -100}, {10, 0, 0}}, std::string(20, '\0'), "", 20},
        {"a seek far beyond any file", {{0, 0, INT64_MAX}, {1, 0, 0}}, std::string(1, '\0'), "", 1},
        {"more extra bytes than the stream holds", {{0, 50, 0}}, "", std::string(10, 'x'), 50},
        {"too few steps", {{10, 0, 0}}, std::string(10, '\0'), "", 20},
        {"bytes left over in a stream", {{10, 0, 0}}, std::string(20, '\0'), "", 10},
        {"an empty step after the first", {{0, 0, 5}, {0, 0, 5}, {10, 0, 0}}, std::string(10, '\0'), "", 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string control;
        for (const delta::Step& step : c.steps) delta::appendStep(step, control);
        const std::string streams[] = {frame(control), frame(c.diff), frame(c.extra)};
        delta::PatchHeader header;
        header.oldSize = old.size();
        header.newSize = c.newSize;
        header.controlSize = streams[0].size();
        header.diffSize = streams[1].size();
        header.extraSize = streams[2].size();
        const std::string patch = delta::headerBytes(header) + streams[0] + streams[1] + streams[2];
        Bytes made;
        bool outside = false;
        EXPECT_EQ(apply(patch, old, made, &outside), delta::Applied::Damaged);
        EXPECT_FALSE(outside);
    }
}

TEST(Patch, HeaderLengthsMustAddUpToTheFile) {
    delta::PatchHeader header;
    header.controlSize = 10;
    header.diffSize = 20;
    header.extraSize = UINT64_MAX - 24;  // a sum that wraps around to exactly the file's 5 bytes
    const std::string bytes = delta::headerBytes(header);
    delta::PatchHeader read;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    EXPECT_FALSE(delta::readHeader(data, delta::HeaderSize + 5, read));
    header.extraSize = 5;
    const std::string fitting = delta::headerBytes(header);
    EXPECT_TRUE(delta::readHeader(reinterpret_cast<const uint8_t*>(fitting.data()), delta::HeaderSize + 35, read));
    EXPECT_FALSE(delta::readHeader(reinterpret_cast<const uint8_t*>(fitting.data()), delta::HeaderSize + 36, read));
    std::string otherVersion = fitting;
    otherVersion[8] = 2;
    EXPECT_FALSE(delta::readHeader(reinterpret_cast<const uint8_t*>(otherVersion.data()), delta::HeaderSize + 35, read));
}

}  // namespace
