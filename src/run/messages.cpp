// Message formatting and the caption. The catalogue itself comes from the platform
// (the string table on Windows, the compiled-in table elsewhere).
#include "run/messages.h"

#include <cstdio>

#include "os/dialog.h"

const char* const builtinCaption = "ヴォルネクス アップデータ";

std::string Caption::forDisplay() const {
    if (builtin_) return builtinCaption;
    return text_.str();
}

// The catalogue holds only "%s" and "%08X" placeholders; filling them by hand keeps an
// over-long argument from ever overrunning a fixed work area.
std::string formatMessage(MessageId id, std::initializer_list<MessageArg> args) {
    const std::string pattern = os::catalogueText(static_cast<int>(id));
    std::string out;
    auto next = args.begin();
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            out += pattern[i];
            continue;
        }
        if (pattern.compare(i, 2, "%%") == 0) {
            out += '%';
            i += 1;
        } else if (pattern.compare(i, 2, "%s") == 0) {
            if (next != args.end() && next->text()) out += *next->text();
            if (next != args.end()) ++next;
            i += 1;
        } else if (pattern.compare(i, 4, "%08X") == 0) {
            char digits[16];
            std::snprintf(digits, sizeof digits, "%08X", next != args.end() ? next->number() : 0u);
            out += digits;
            if (next != args.end()) ++next;
            i += 3;
        } else {
            out += '%';
        }
    }
    return out;
}
