#include "commands/system/file_check.h"

#include "commands/file/progress_whole.h"
#include "os/dialog.h"
#include "os/file_data.h"
#include "run/item_loop.h"

namespace {

// Large enough that the system's per-read cost vanishes, small enough to stay in the
// processor's cache between the read and the check.
constexpr size_t blockSize = 256 * 1024;

void showMeasured(RunContext& run, const Text& section, const Text& file, const char* label, const std::string& value) {
    Text text;
    text.format("PROC\t: %s\nFILE\t: %s\n%s\t: %s", section.c_str(), file.c_str(), label, value.c_str());
    run.showScriptBox(text, os::BoxIconInformation | os::BoxOk);
}

void showUnreadable(RunContext& run, const Text& section, const Text& file, const char* label) {
    Text text;
    text.format("PROC\t: %s\nFILE\t: %s\n%s\t: GetFileData Error.", section.c_str(), file.c_str(), label);
    run.showScriptBox(text, os::BoxIconError | os::BoxOk);
}

}  // namespace

bool checkFiles(RunContext& run, Command& record, const Text& fileList, const Text& type, const Text& expectedList,
                const FileMeasure& measure) {
    const int count = countItems(run, record, fileList, "FILE");
    if (count == 0) return false;
    const bool all = type.equalsNoCase("AND");
    ByteBuffer block;
    const ItemList files(fileList);
    const ItemList expectations(expectedList);
    countWholeLater(run, files, count, false, false);
    Progress& progress = run.progress;
    for (int i = 0; i < count; ++i) {
        const Text& file = files[i];
        const Text& expected = expectations[i];
        // A check changes nothing: a Cancel may stop the run between two files.
        run.stopIfCancelled();
        std::function<void(size_t)> told;
        if (progress.started()) told = [&](size_t got) { progress.partDone(file.str(), got); };
        std::string value;
        const bool read = measure.measure(file, block, told, value).ok();
        progress.fileDone(file.str(), 0);
        if (expected.empty()) {
            if (!read) {
                showUnreadable(run, record.section, file, measure.label);
                return true;
            }
            showMeasured(run, record.section, file, measure.label, value);
            continue;
        }
        const bool match = read && measure.matches(expected, value);
        if (all && !match) return true;
        if (!all && match) {
            record.result = true;
            return true;
        }
        if (!all && i == count - 1) return true;
    }
    record.result = true;
    return true;
}

os::Result readWholeFile(const Text& path, ByteBuffer& block, const std::function<void(const uint8_t*, size_t)>& take) {
    os::ExclusiveFile file(path.str());
    if (!file.isOpen()) return file.opened();
    if (block.size() != blockSize && !block.reserve(blockSize))
        return os::Result::fail(os::Operation::Read, path.str(), os::OutOfMemory);
    for (;;) {
        size_t got = 0;
        if (os::Result r = file.read(block.data(), block.size(), got); !r) return r;
        if (got == 0) return {};
        take(block.data(), got);
    }
}
