// CRC: files checked against expected CRC-32 values (all of them, or one being enough),
// or measured and shown so that a script author can copy the value into the script.
#pragma once

#include <cstdint>
#include <functional>

#include "os/result.h"
#include "run/byte_buffer.h"
#include "run/command.h"

struct CrcCommand : Command {
    Text file;  // paths, comma-separated
    Text type;  // "AND": every file must match; anything else: one is enough
    Text crc;   // "0x" and hexadecimal digits for each file; empty to measure it
};

std::unique_ptr<Command> loadCrcCommand(RunContext& run, const Text& section);
bool executeCrcCommand(RunContext& run, Command& record);

// The CRC-32 of a whole file, read block by block through `block` (which keeps its size
// between files). False when the file cannot be opened (also when it is open elsewhere),
// cannot be read, or is empty. `read`, when given, hears of every block read.
os::Result fileCrc32(const Text& path, ByteBuffer& block, uint32_t& crc,
                     const std::function<void(size_t bytes)>& read = nullptr);
