// HASH: files checked against expected SHA-256 values (all of them, or one being enough), or
// measured and shown so that a script author can copy the value into the script. It follows
// CRC's rules (file_check), with a hash a file cannot be made to match on purpose.
#pragma once

#include <functional>

#include "os/result.h"
#include "run/byte_buffer.h"
#include "run/command.h"
#include "text/digest.h"

struct HashCommand : Command {
    Text file;  // paths, comma-separated
    Text type;  // "AND": every file must match; anything else: one is enough
    Text hash;  // 64 hexadecimal digits for each file; empty to measure it
};

std::unique_ptr<Command> loadHashCommand(RunContext& run, const Text& section);
bool executeHashCommand(RunContext& run, Command& record);

// The SHA-256 of a whole file (an empty one too), read block by block through `block`; `read`,
// when given, hears of every block read.
os::Result fileSha256(const Text& path, ByteBuffer& block, Digest& digest,
                      const std::function<void(size_t bytes)>& read = nullptr);
