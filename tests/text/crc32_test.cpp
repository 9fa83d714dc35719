// CRC-32: the table against published check values, and every faster way against the table
// on every length up to 4096 at every start alignment.
#include "text/crc32.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

struct Method {
    const char* name;
    uint32_t (*compute)(const void*, size_t, uint32_t);
};

std::vector<Method> fastMethods() {
    std::vector<Method> methods = {{"slicing", crc32_detail::bySlicing},
                                   {"chosen", [](const void* p, size_t n, uint32_t c) { return crc32(p, n, c); }}};
    if (crc32_detail::foldingAvailable()) methods.push_back({"folding", crc32_detail::byFolding});
    if (crc32_detail::wideFoldingAvailable()) methods.push_back({"wide folding", crc32_detail::byWideFolding});
    return methods;
}

TEST(Crc32, TableGivesThePublishedValues) {
    struct Case {
        std::string bytes;
        uint32_t crc;
    } cases[] = {
        {"", 0x00000000},
        {"a", 0xE8B7BE43},
        {"abc", 0x352441C2},
        {"123456789", 0xCBF43926},
        {"The quick brown fox jumps over the lazy dog", 0x414FA339},
        {std::string(32, '\0'), 0x190A55AD},
        {std::string(32, '\xFF'), 0xFF6CAB0B},
    };
    for (const Case& c : cases) EXPECT_EQ(crc32_detail::byTable(c.bytes.data(), c.bytes.size(), 0), c.crc) << c.bytes;
}

TEST(Crc32, EveryWayEqualsTheTableAtEveryLengthAndAlignment) {
    std::mt19937 random(20240607);
    std::vector<unsigned char> data(4096 + 64);
    for (unsigned char& b : data) b = static_cast<unsigned char>(random());
    const std::vector<Method> methods = fastMethods();
    for (size_t offset = 0; offset < 16; ++offset) {
        const unsigned char* p = data.data() + offset;
        // The table's value for each length, one byte more each step.
        uint32_t expected = 0;
        for (size_t length = 0; length <= 4096; ++length) {
            for (const Method& m : methods)
                ASSERT_EQ(m.compute(p, length, 0), expected) << m.name << " length " << length << " offset " << offset;
            expected = crc32_detail::byTable(p + length, 1, expected);
        }
    }
}

// A file is checked block by block: carrying the value over must give the value of the whole.
TEST(Crc32, ContinuingEqualsComputingAtOnce) {
    std::mt19937 random(7);
    std::vector<unsigned char> data(100000);
    for (unsigned char& b : data) b = static_cast<unsigned char>(random());
    const uint32_t whole = crc32_detail::byTable(data.data(), data.size(), 0);
    for (const Method& m : fastMethods()) {
        for (const size_t cut : {size_t(1), size_t(63), size_t(64), size_t(4097), size_t(65536), size_t(99999)}) {
            const uint32_t first = m.compute(data.data(), cut, 0);
            EXPECT_EQ(m.compute(data.data() + cut, data.size() - cut, first), whole) << m.name << " cut " << cut;
        }
    }
}

}  // namespace
