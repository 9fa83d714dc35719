// readKey and readIntKey: how every key of the run's script reaches the program, text values
// expanded, a missing key reported to the user with message 2.
#pragma once

#include "text/text.h"

struct RunContext;

// The value of `key` in `section`, expanded through symbols, operator groups and ".." steps.
// False when the key is missing, after message 2 has named the section and the key.
bool readKey(RunContext& run, const char* section, const char* key, Text& out);

// The value read by "%d", not expanded; a value without a leading number leaves `out` as it
// was. False when the key is missing, after message 2.
bool readIntKey(RunContext& run, const char* section, const char* key, int& out);
