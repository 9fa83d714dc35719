// Reading UTF-8 one character at a time, strictly: the one decoder of the code base.
#pragma once

#include <cstddef>
#include <string_view>

// The length of the well-formed UTF-8 sequence at `i` of `s` (1 to 4), or 0 where the bytes
// there are none: a stray or overlong form, a surrogate, a code point beyond Unicode, or a
// sequence cut short. `code`, where given, receives the code point of a well-formed one.
size_t utf8SequenceAt(std::string_view s, size_t i, char32_t* code = nullptr);
