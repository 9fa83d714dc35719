// ByteBuffer: a block of raw bytes that is always exactly as large as its content.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class ByteBuffer {
public:
    ByteBuffer() = default;
    ByteBuffer(const ByteBuffer&) = default;
    ByteBuffer& operator=(const ByteBuffer&) = default;
    ByteBuffer(ByteBuffer&&) noexcept = default;
    ByteBuffer& operator=(ByteBuffer&&) noexcept = default;

    void clear();
    bool reserve(size_t n);  // n zero bytes, old content dropped
    bool assign(const void* bytes, size_t n);
    bool append(const void* bytes, size_t n);
    bool assign(const ByteBuffer& other) { return assign(other.data(), other.size()); }
    bool append(const ByteBuffer& other) { return append(other.data(), other.size()); }
    ByteBuffer concat(const ByteBuffer& other) const;

    const uint8_t* data() const { return bytes_.empty() ? nullptr : bytes_.data(); }
    uint8_t* data() { return bytes_.empty() ? nullptr : bytes_.data(); }
    size_t size() const { return bytes_.size(); }

    // True when this buffer begins with the other's bytes; false when it is shorter.
    bool equals(const ByteBuffer& other) const;
    bool differs(const ByteBuffer& other) const { return !equals(other); }

    // A copy of `count` bytes from `offset`; empty when the range leaves the content.
    ByteBuffer mid(size_t offset, size_t count) const;
    // Removes `count` bytes at `offset`; refuses (false, nothing changed) a range that
    // leaves the content.
    bool erase(size_t offset, size_t count);

private:
    std::vector<uint8_t> bytes_;
};
