// ByteBuffer: exact sizes, deep copies, and erase by each of its cases.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "run/byte_buffer.h"

namespace {

std::vector<uint8_t> contentOf(const ByteBuffer& b) {
    return b.size() ? std::vector<uint8_t>(b.data(), b.data() + b.size()) : std::vector<uint8_t>();
}

ByteBuffer counting(size_t n) {
    std::vector<uint8_t> bytes(n);
    std::iota(bytes.begin(), bytes.end(), uint8_t{0});
    ByteBuffer b;
    b.assign(bytes.data(), bytes.size());
    return b;
}

TEST(ByteBuffer, ReserveGivesZeroBytesOfExactSize) {
    ByteBuffer b = counting(5);
    ASSERT_TRUE(b.reserve(3));
    EXPECT_EQ(contentOf(b), (std::vector<uint8_t>{0, 0, 0}));
    ASSERT_TRUE(b.reserve(0));
    EXPECT_EQ(b.size(), 0u);
    EXPECT_EQ(b.data(), nullptr);
}

TEST(ByteBuffer, AppendAndConcatKeepOrder) {
    ByteBuffer b;
    const uint8_t four[] = {1, 2, 3, 4};
    ASSERT_TRUE(b.append(four, 4));
    EXPECT_EQ(b.size(), 4u);
    ByteBuffer c = b.concat(counting(2));
    EXPECT_EQ(contentOf(c), (std::vector<uint8_t>{1, 2, 3, 4, 0, 1}));
    EXPECT_EQ(b.size(), 4u);
}

TEST(ByteBuffer, CopiesAreDeep) {
    ByteBuffer a = counting(4);
    ByteBuffer b(a);
    b.data()[0] = 99;
    EXPECT_EQ(a.data()[0], 0);
    ByteBuffer c;
    c = a;
    c.erase(0, 2);
    EXPECT_EQ(a.size(), 4u);
}

TEST(ByteBuffer, EraseByCase) {
    struct Case {
        size_t size, offset, count;
        std::vector<uint8_t> expected;
    };
    const Case cases[] = {
        {4, 0, 4, {}},                             // everything
        {12, 4, 4, {0, 1, 2, 3, 8, 9, 10, 11}},    // a middle part
        {12, 8, 4, {0, 1, 2, 3, 4, 5, 6, 7}},      // the tail
        {12, 0, 4, {4, 5, 6, 7, 8, 9, 10, 11}},    // the head
        {3, 1, 0, {0, 1, 2}},                      // nothing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.size << "/" << c.offset << "/" << c.count);
        ByteBuffer b = counting(c.size);
        ASSERT_TRUE(b.erase(c.offset, c.count));
        EXPECT_EQ(contentOf(b), c.expected);
    }
}

TEST(ByteBuffer, OutOfRangeRequestsAreRefused) {
    ByteBuffer b = counting(8);
    EXPECT_FALSE(b.erase(6, 3));
    EXPECT_FALSE(b.erase(9, 0));
    EXPECT_FALSE(b.erase(1, SIZE_MAX));
    EXPECT_EQ(b.size(), 8u);
    EXPECT_EQ(b.mid(7, 2).size(), 0u);
    EXPECT_EQ(b.mid(2, SIZE_MAX).size(), 0u);
    EXPECT_EQ(contentOf(b.mid(6, 2)), (std::vector<uint8_t>{6, 7}));
}

TEST(ByteBuffer, EqualsComparesThePrefix) {
    ByteBuffer whole = counting(6);
    EXPECT_TRUE(whole.equals(counting(3)));
    EXPECT_FALSE(counting(3).equals(whole));
    ByteBuffer other = counting(3);
    other.data()[2] = 7;
    EXPECT_TRUE(whole.differs(other));
}

}  // namespace
