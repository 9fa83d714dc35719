#include "commands/system/hash_command.h"

#include "commands/system/file_check.h"
#include "os/sha256.h"

std::unique_ptr<Command> loadHashCommand(RunContext& run, const Text& section) {
    auto record = newRecord<HashCommand>(run, section, "HASH_INFO");
    if (!record ||
        !readCommandKeys(run, *record, {{"FILE", &record->file}, {"TYPE", &record->type}, {"HASH", &record->hash}}))
        return nullptr;
    return record;
}

bool executeHashCommand(RunContext& run, Command& record) {
    auto& check = static_cast<HashCommand&>(record);
    const FileMeasure bySha256{
        "SHA256",
        [](const Text& path, ByteBuffer& block, const std::function<void(size_t)>& read, std::string& value) {
            Digest digest{};
            os::Result r = fileSha256(path, block, digest, read);
            value = digestHex(digest);
            return r;
        },
        [](const Text& expected, const std::string& value) {
            // An item that is not 64 hexadecimal digits names no file's hash: it never matches.
            Digest wanted{};
            return digestFromHex(expected.str(), wanted) && digestHex(wanted) == value;
        }};
    return checkFiles(run, check, check.file, check.type, check.hash, bySha256);
}

os::Result fileSha256(const Text& path, ByteBuffer& block, Digest& digest, const std::function<void(size_t bytes)>& read) {
    os::Sha256 hash;
    if (!hash.ready()) return os::Result::fail(os::Operation::Read, path.str(), os::OutOfMemory);
    const os::Result r = readWholeFile(path, block, [&](const uint8_t* bytes, size_t n) {
        hash.update(bytes, n);
        if (read) read(n);
    });
    if (!r) return r;
    digest = hash.finish();
    return {};
}
