// ByteBuffer: every change builds the content at its exact new size; ranges are checked so
// that a wrong offset is refused instead of reading or writing outside the block.
#include "run/byte_buffer.h"

#include <cstring>
#include <new>

void ByteBuffer::clear() { std::vector<uint8_t>().swap(bytes_); }

bool ByteBuffer::reserve(size_t n) {
    clear();
    try {
        bytes_.assign(n, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    bytes_.shrink_to_fit();
    return true;
}

bool ByteBuffer::assign(const void* bytes, size_t n) {
    if (bytes == data() && n == size()) return true;
    std::vector<uint8_t> copy;
    try {
        copy.assign(static_cast<const uint8_t*>(bytes), static_cast<const uint8_t*>(bytes) + n);
    } catch (const std::bad_alloc&) {
        clear();
        return false;
    }
    bytes_.swap(copy);
    return true;
}

bool ByteBuffer::append(const void* bytes, size_t n) {
    std::vector<uint8_t> grown;
    try {
        grown.reserve(bytes_.size() + n);
        grown.insert(grown.end(), bytes_.begin(), bytes_.end());
        if (n) grown.insert(grown.end(), static_cast<const uint8_t*>(bytes), static_cast<const uint8_t*>(bytes) + n);
    } catch (const std::bad_alloc&) {
        return false;
    }
    bytes_.swap(grown);
    return true;
}

ByteBuffer ByteBuffer::concat(const ByteBuffer& other) const {
    ByteBuffer result(*this);
    result.append(other);
    return result;
}

bool ByteBuffer::equals(const ByteBuffer& other) const {
    if (other.size() > size()) return false;
    return other.size() == 0 || std::memcmp(bytes_.data(), other.bytes_.data(), other.size()) == 0;
}

ByteBuffer ByteBuffer::mid(size_t offset, size_t count) const {
    ByteBuffer result;
    if (offset > size() || count > size() - offset) return result;
    if (count) result.assign(bytes_.data() + offset, count);
    return result;
}

bool ByteBuffer::erase(size_t offset, size_t count) {
    if (offset > size() || count > size() - offset) return false;
    ByteBuffer kept = mid(0, offset);
    if (!kept.append(bytes_.data() + offset + count, size() - offset - count)) return false;
    bytes_.swap(kept.bytes_);
    return true;
}
