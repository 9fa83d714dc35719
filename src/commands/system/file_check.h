// What CRC and HASH share: the files of FILE read whole, one after another, and each compared
// with its item of the expected values (all of them must match with TYPE=AND, else one is
// enough), or, for an empty item, measured and shown in a box the script's author can copy the
// value from. A mismatch or an unreadable file is an answer, not an error.
#pragma once

#include <functional>
#include <string>

#include "os/result.h"
#include "run/byte_buffer.h"
#include "run/command.h"

struct FileMeasure {
    const char* label;  // the value's name in the measuring box: "CRC32", "SHA256"
    // Reads `path` whole through `block`, telling `read` of every block; `value` is what the
    // measuring box shows.
    std::function<os::Result(const Text& path, ByteBuffer& block, const std::function<void(size_t)>& read,
                             std::string& value)>
        measure;
    // Whether the script's item `expected` names `value`.
    std::function<bool(const Text& expected, const std::string& value)> matches;
};

// Runs the check and sets the record's result flag; false only when FILE is empty.
bool checkFiles(RunContext& run, Command& record, const Text& files, const Text& type, const Text& expected,
                const FileMeasure& measure);

// Reads the regular file `path` whole, block by block through `block`, handing each block to
// `take`; opened so that nobody else may open it meanwhile, never waiting on a pipe.
os::Result readWholeFile(const Text& path, ByteBuffer& block, const std::function<void(const uint8_t*, size_t)>& take);
