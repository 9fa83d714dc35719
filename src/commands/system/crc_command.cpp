// CRC: files checked by their CRC-32 (file_check has the rules it shares with HASH).
#include "commands/system/crc_command.h"

#include <cstdio>

#include "commands/system/file_check.h"
#include "text/crc32.h"

std::unique_ptr<Command> loadCrcCommand(RunContext& run, const Text& section) {
    auto record = newRecord<CrcCommand>(run, section, "CRC_INFO");
    if (!record ||
        !readCommandKeys(run, *record, {{"FILE", &record->file}, {"TYPE", &record->type}, {"CRC", &record->crc}}))
        return nullptr;
    return record;
}

bool executeCrcCommand(RunContext& run, Command& record) {
    auto& check = static_cast<CrcCommand&>(record);
    const FileMeasure byCrc{
        "CRC32",
        [](const Text& path, ByteBuffer& block, const std::function<void(size_t)>& read, std::string& value) {
            uint32_t crc = 0;
            os::Result r = fileCrc32(path, block, crc, read);
            char text[16];
            std::snprintf(text, sizeof text, "0x%08X", crc);
            value = text;
            return r;
        },
        [](const Text& expected, const std::string& value) {
            return expected.toHex() == static_cast<uint32_t>(std::stoul(value.substr(2), nullptr, 16));
        }};
    return checkFiles(run, check, check.file, check.type, check.crc, byCrc);
}

os::Result fileCrc32(const Text& path, ByteBuffer& block, uint32_t& crc,
                     const std::function<void(size_t bytes)>& read) {
    uint32_t value = 0;
    bool empty = true;
    const os::Result r = readWholeFile(path, block, [&](const uint8_t* bytes, size_t n) {
        value = crc32(bytes, n, value);
        empty = false;
        if (read) read(n);
    });
    if (!r) return r;
    // An empty file has nothing to check: the whole-file read it stands for would fail.
    if (empty) return os::Result::fail(os::Operation::Read, path.str(), os::EmptyFile);
    crc = value;
    return {};
}
