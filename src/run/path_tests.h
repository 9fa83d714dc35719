// Whether a script path names anything, and what: the tests that start-up, the walker and
// the file commands ask before they act. They show no message.
#pragma once

#include <cstdint>

#include "os/result.h"
#include "text/text.h"

// True when a directory search with `path` as its pattern yields an entry: a file or a
// directory written without a trailing separator, or a pattern that matches something.
bool pathExists(const Text& path);

// Stores the path's attribute word in `attributes` whatever it is, and says whether it is
// valid (not 0xFFFFFFFF).
bool getAttributes(const Text& path, uint32_t& attributes);

// True when the path names a directory; a pattern is never one.
bool isDirectory(const Text& path);

// The same questions for the commands that change what they find, where "not there" must
// mean that the system said nothing has that name: a look or a search that fails for any
// other reason is that failure, never a reason to make, delete or pass over anything.
// `present`: the search found an entry.
os::Result findPath(const Text& path, bool& present);
// `attributes`: the path's attribute word, InvalidAttributes when nothing has that name.
os::Result lookAtPath(const Text& path, uint32_t& attributes);
