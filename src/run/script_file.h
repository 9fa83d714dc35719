// The raw readers of the script: a key as text, a key as an integer, a whole section. They
// report nothing themselves; the key readers built on them do.
#pragma once

#include "text/text.h"

// The value of `key` in `section` of the INI file `file`. False, with `out` unchanged, when
// the key or the section is missing or the value is "NO_DATA" in any letter case.
bool readProfileString(const char* file, const char* section, const char* key, Text& out);

// The same key read by "%d". A value that does not start with a number leaves `out` unchanged
// and still counts as read.
bool readProfileInt(const char* file, const char* section, const char* key, int& out);

// Appends the entries of `section`, comment entries (";") left out, to `out`, joined by "\n";
// returns how many were appended. A missing or empty section leaves `out` untouched.
int readSection(const char* file, const char* section, Text& out);
