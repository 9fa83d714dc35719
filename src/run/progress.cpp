// Progress: when to draw and what the lines say.
#include "run/progress.h"

#include <cstdio>
#include <cstring>

#include "run/messages.h"
#include "run/run_context.h"

namespace {

uint64_t filesOf(const RunCounters& c) { return c.filesCopied + c.filesDeleted + c.entriesMoved; }

MessageId messageOf(ProgressAction action) {
    switch (action) {
        case ProgressAction::Copying: return MessageId::ProgressCopying;
        case ProgressAction::Moving: return MessageId::ProgressMoving;
        case ProgressAction::Deleting: return MessageId::ProgressDeleting;
        case ProgressAction::Checking: return MessageId::ProgressChecking;
        case ProgressAction::WaitingForProgram: return MessageId::ProgressWaitingForProgram;
        case ProgressAction::WaitingForLaunched:
        case ProgressAction::None: break;
    }
    return MessageId::ProgressWaitingForLaunched;
}

}  // namespace

ProgressAction progressActionOf(const char* mode) {
    static const struct {
        const char* mode;
        ProgressAction action;
    } actions[] = {
        {"COPY", ProgressAction::Copying},      {"MOVE", ProgressAction::Moving},
        {"DELETE", ProgressAction::Deleting},   {"CRC", ProgressAction::Checking},
        {"WAITAPP", ProgressAction::WaitingForProgram}, {"LAUNCH", ProgressAction::WaitingForLaunched},
    };
    for (const auto& a : actions)
        if (std::strcmp(a.mode, mode) == 0) return a.action;
    return ProgressAction::None;
}

std::string bytesText(uint64_t bytes) {
    static const char* const units[] = {"B", "KB", "MB", "GB", "TB"};
    if (bytes < 1024) return std::to_string(bytes) + " B";
    double value = static_cast<double>(bytes);
    size_t unit = 0;
    while (value >= 1024 && unit + 1 < sizeof units / sizeof *units) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, value < 10 ? "%.1f %s" : "%.0f %s", value, units[unit]);
    return text;
}

void Progress::start(std::unique_ptr<os::ProgressView> view, Clock clock) {
    view_ = std::move(view);
    clock_ = std::move(clock);
}

void Progress::beginCommand(ProgressAction action, const RunCounters& now) {
    if (!view_) return;
    action_ = action;
    begun_ = clock_();
    filesAtBegin_ = filesOf(now);
    bytesAtBegin_ = now.bytesCopied;
}

void Progress::at(const std::string& item, const RunCounters& now) {
    if (!view_ || action_ == ProgressAction::None) return;
    const uint64_t time = clock_();
    if (time - begun_ < appearAfterMs) return;
    if (shown_ && time - drawn_ < redrawEveryMs) return;
    os::ProgressLines lines;
    lines.action = formatMessage(messageOf(action_));
    lines.item = item;
    lines.amounts = formatMessage(MessageId::ProgressDone, {std::to_string(filesOf(now) - filesAtBegin_),
                                                            bytesText(now.bytesCopied - bytesAtBegin_)});
    view_->show(lines);
    drawn_ = time;
    shown_ = true;
}

void Progress::endCommand() {
    hide();
    action_ = ProgressAction::None;
}

void Progress::hide() {
    if (view_ && shown_) view_->hide();
    shown_ = false;
}
