// Where a run's messages go: the screen or, unattended, only the log.
#include "run/run_context.h"

#include "os/dialog.h"
#include "run/failure_text.h"

namespace {

const char* answerName(int answer) {
    switch (answer) {
        case os::AnswerOk: return "OK";
        case os::AnswerYes: return "Yes";
        case os::AnswerNo: return "No";
        case os::AnswerCancel: return "Cancel";
        default: return "none (the box could not be shown)";
    }
}

const char* boxKind(unsigned style) {
    switch (style & 0xF0) {
        case os::BoxIconError: return "error";
        case os::BoxIconQuestion: return "question";
        case os::BoxIconWarning: return "warning";
        case os::BoxIconInformation: return "information";
        default: return "box";
    }
}

// The button a box takes when nobody answers it: its default one.
int defaultAnswer(unsigned style) {
    if ((style & 0x0F) != os::BoxYesNo) return os::AnswerOk;
    return (style & os::BoxDefaultSecond) ? os::AnswerNo : os::AnswerYes;
}

}  // namespace

const char* outcomeName(RunOutcome outcome) {
    switch (outcome) {
        case RunOutcome::Completed: return "completed";
        case RunOutcome::CommandFailed: return "a command failed";
        case RunOutcome::StoppedByAnswer: return "stopped by an answer";
        case RunOutcome::NothingRan: return "nothing ran";
        case RunOutcome::RolledBack: return "failed and undone";
        case RunOutcome::UndoIncomplete: return "not everything could be undone";
        case RunOutcome::NeedsRights: return "needs administrator rights, nothing was done";
        case RunOutcome::DoneWithRights: return "done by the copy started with administrator rights";
    }
    return "?";
}

void RunContext::showError(MessageId id, std::initializer_list<MessageArg> args, const os::Failure* failure) {
    std::string text = formatMessage(id, args);
    if (keepMessages) {
        keepMessages(id, text);
        return;
    }
    if (failure) {
        logEvent("failure: " + failureLine(*failure));
        text += failureDetails(*failure, text);
    }
    (void)box(text, os::BoxIconError);  // an error box has only its OK
}

bool RunContext::succeeded(const os::Result& result, MessageId id, std::initializer_list<MessageArg> args) {
    if (result) return true;
    showError(id, args, &result.failure());
    return false;
}

int RunContext::showScriptBox(const Text& text, unsigned style) {
    if (keepMessages) return os::AnswerOk;
    return box(text.str(), style);
}

void RunContext::showNotice(MessageId id, std::initializer_list<MessageArg> args) {
    if (keepMessages) return;
    (void)box(formatMessage(id, args), os::BoxIconInformation);  // a notice has only its OK
}

void RunContext::stopIfCancelled() {
    if (!progress.cancelPressed()) return;
    const MessageId question = journal.undoable() ? MessageId::CancelUndoes : MessageId::CancelKeeps;
    // No is the default: a key pressed by chance goes on with the update.
    const unsigned style = os::BoxYesNo | os::BoxIconQuestion | os::BoxDefaultSecond;
    if (box(formatMessage(question), style) == os::AnswerYes) throw RunCancelled{};
}

int RunContext::box(const std::string& text, unsigned style) {
    const std::string shown = caption.forDisplay();
    logEvent(std::string(boxKind(style)) + " box [" + shown + "] " + text);
    if (unattended) {
        const int answer = defaultAnswer(style);
        logEvent(std::string("  not shown (unattended): ") + answerName(answer) + " taken as the default");
        return answer;
    }
    // A box stands alone: the progress comes back with the command's next file.
    progress.hide();
    const int answer = os::showBox(text, shown, style);
    logEvent(std::string("  answered: ") + answerName(answer));
    return answer;
}
