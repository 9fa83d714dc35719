// DATE: an old or unreadable file is an answer, not an error; the first one ends the check.
#include "commands/system/date_command.h"

#include <cstdint>

#include "os/file_data.h"
#include "run/item_loop.h"

std::unique_ptr<Command> loadDateCommand(RunContext& run, const Text& section) {
    auto record = newRecord<DateCommand>(run, section, "DATE_INFO");
    if (!record || !readCommandKeys(run, *record, {{"FILE", &record->file}, {"DATE", &record->date}})) return nullptr;
    return record;
}

bool executeDateCommand(RunContext& run, Command& record) {
    auto& date = static_cast<DateCommand&>(record);
    const int count = countItems(run, date, date.file, "FILE");
    if (count == 0) return false;
    for (const Text& file : ItemList(date.file)) {
        if (!isFileOnOrAfter(file, date.date)) {
            date.result = true;
            return true;
        }
    }
    return true;
}

bool isFileOnOrAfter(const Text& path, const Text& date) {
    os::LocalDate written;
    {
        const os::ExclusiveFile file(path.str());
        if (!file.isOpen() || !file.lastWriteDate(written)) return false;
    }
    // Compared as the calendar fields of the system are kept: 16-bit and unsigned, so a
    // negative number in the script stands above every real date.
    const auto field = [&date](int i) { return static_cast<uint16_t>(date.field(i, "/").toInt()); };
    const uint16_t year = field(0), month = field(1), day = field(2);
    if (written.year != year) return written.year > year;
    if (written.month != month) return written.month > month;
    return written.day >= day;
}
