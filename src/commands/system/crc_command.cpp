// CRC: a mismatch or an unreadable file is an answer, not an error; only the measuring
// shows boxes.
#include "commands/system/crc_command.h"

#include "commands/file/progress_whole.h"
#include "text/crc32.h"
#include "os/dialog.h"
#include "os/file_data.h"
#include "run/item_loop.h"

namespace {

// Large enough that the system's per-read cost vanishes, small enough to stay in the
// processor's cache between the read and the CRC.
constexpr size_t blockSize = 256 * 1024;

void showMeasured(RunContext& run, const Text& section, const Text& file, uint32_t crc) {
    Text text;
    text.format("PROC\t: %s\nFILE\t: %s\nCRC32\t: 0x%08X", section.c_str(), file.c_str(), crc);
    run.showScriptBox(text, os::BoxIconInformation | os::BoxOk);
}

void showUnreadable(RunContext& run, const Text& section, const Text& file) {
    Text text;
    text.format("PROC\t: %s\nFILE\t: %s\nCRC32\t: GetFileData Error.", section.c_str(), file.c_str());
    run.showScriptBox(text, os::BoxIconError | os::BoxOk);
}

}  // namespace

std::unique_ptr<Command> loadCrcCommand(RunContext& run, const Text& section) {
    auto record = newRecord<CrcCommand>(run, section, "CRC_INFO");
    if (!record ||
        !readCommandKeys(run, *record, {{"FILE", &record->file}, {"TYPE", &record->type}, {"CRC", &record->crc}}))
        return nullptr;
    return record;
}

bool executeCrcCommand(RunContext& run, Command& record) {
    auto& check = static_cast<CrcCommand&>(record);
    const int count = countItems(run, check, check.file, "FILE");
    if (count == 0) return false;
    const bool all = check.type.equalsNoCase("AND");
    ByteBuffer block;
    const ItemList files(check.file);
    const ItemList crcs(check.crc);
    countWholeLater(run, files, count, false, false);
    Progress& progress = run.progress;
    for (int i = 0; i < count; ++i) {
        const Text& file = files[i];
        const Text& expected = crcs[i];
        uint32_t crc = 0;
        // A check changes nothing: a Cancel may stop the run between two files.
        run.stopIfCancelled();
        std::function<void(size_t)> told;
        if (progress.started()) told = [&](size_t got) { progress.partDone(file.str(), got); };
        const bool read = fileCrc32(file, block, crc, told).ok();
        progress.fileDone(file.str(), 0);
        if (expected.empty()) {
            if (!read) {
                showUnreadable(run, check.section, file);
                return true;
            }
            showMeasured(run, check.section, file, crc);
            continue;
        }
        const bool match = read && crc == expected.toHex();
        if (all && !match) return true;
        if (!all && match) {
            check.result = true;
            return true;
        }
        if (!all && i == count - 1) return true;
    }
    check.result = true;
    return true;
}

os::Result fileCrc32(const Text& path, ByteBuffer& block, uint32_t& crc,
                     const std::function<void(size_t bytes)>& read) {
    os::ExclusiveFile file(path.str());
    if (!file.isOpen()) return file.opened();
    if (block.size() != blockSize && !block.reserve(blockSize))
        return os::Result::fail(os::Operation::Read, path.str(), os::OutOfMemory);
    uint32_t value = 0;
    bool empty = true;
    for (;;) {
        size_t got = 0;
        if (os::Result r = file.read(block.data(), block.size(), got); !r) return r;
        if (got == 0) break;
        value = crc32(block.data(), got, value);
        empty = false;
        if (read) read(got);
    }
    // An empty file has nothing to check: the whole-file read it stands for would fail.
    if (empty) return os::Result::fail(os::Operation::Read, path.str(), os::EmptyFile);
    crc = value;
    return {};
}
