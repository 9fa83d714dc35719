// Making a patch from two versions of a file held in memory: the new one is matched against
// every suffix of the old one (suffix-sorted), matches are stretched over the bytes that
// nearly agree (whose differences are mostly zeros), and what matches nothing is taken as it
// stands; the three streams are then compressed. The same inputs always give the same bytes.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "text/digest.h"

namespace delta {

// The largest old file a patch is made against: the suffix array takes four bytes for each
// of its bytes, and its index is 32 bits wide.
constexpr uint64_t LargestOld = uint64_t(1) << 30;

// The whole patch from `oldFile` to `newFile`, whose hashes the caller gives; false when
// memory runs out or the old file is larger than LargestOld.
bool makePatch(std::span<const uint8_t> oldFile, std::span<const uint8_t> newFile, const Digest& oldHash,
               const Digest& newHash, std::string& patch);

}  // namespace delta
