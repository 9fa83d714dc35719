// A SHA-256 digest and its hexadecimal form, as scripts write it and patches carry it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

using Digest = std::array<uint8_t, 32>;

// 64 lower-case hexadecimal digits.
std::string digestHex(const Digest& digest);

// `text` read as 64 hexadecimal digits of any letter case; false for anything else (another
// length, a blank, a sign, "0x").
bool digestFromHex(std::string_view text, Digest& out);
