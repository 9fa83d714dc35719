// Where a run's messages go.
#include "run/run_context.h"

#include "os/dialog.h"

void RunContext::showError(MessageId id, std::initializer_list<MessageArg> args, const os::Failure*) {
    const std::string text = formatMessage(id, args);
    if (keepMessages) {
        keepMessages(id, text);
        return;
    }
    os::showBox(text, caption.forDisplay(), os::BoxIconError);
}

bool RunContext::succeeded(const os::Result& result, MessageId id, std::initializer_list<MessageArg> args) {
    if (result) return true;
    showError(id, args, &result.failure());
    return false;
}

int RunContext::showScriptBox(const Text& text, unsigned style) {
    if (keepMessages) return os::AnswerOk;
    return os::showBox(text.str(), caption.forDisplay(), style);
}
