// MSGBOX: the script's only way to talk to the user.
#include "run/msgbox_command.h"

#include "os/dialog.h"
#include "run/list_items.h"
#include "run/procedure.h"
#include "run/run_context.h"

namespace {
struct BoxKind {
    const char* type;
    unsigned style;
};

constexpr BoxKind boxKinds[] = {
    {"ERROR", os::BoxIconError | os::BoxOk},
    {"INFORMATION", os::BoxIconInformation | os::BoxOk},
    {"WARNING", os::BoxIconWarning | os::BoxYesNo | os::BoxDefaultSecond},
    {"QUESTION", os::BoxIconQuestion | os::BoxYesNo},
};

// True when the box is to be shown; false with `stop` set when FLAG names no command.
bool conditionHolds(RunContext& run, const MsgBoxCommand& box, bool& stop) {
    stop = false;
    if (box.flag.fieldCount(",") < 2) return true;
    const Command* target = findCommand(run.procedures.top(), listItem(box.flag, 0));
    if (!target) {
        run.showError(MessageId::BadSymbol, {box.flag});
        stop = true;
        return false;
    }
    return (target->result ? 1 : 0) == box.flag.field(1, ",").toInt();
}
}  // namespace

unsigned msgBoxStyle(const Text& type) {
    for (const BoxKind& kind : boxKinds)
        if (type.equalsNoCase(kind.type)) return kind.style;
    return 0;
}

std::unique_ptr<Command> loadMsgBoxCommand(RunContext& run, const Text& section) {
    auto record = newRecord<MsgBoxCommand>(run, section, "MSGBOX_INFO");
    if (!record) return nullptr;
    if (!readCommandKeys(run, *record, {{"FLAG", &record->flag},
                                   {"TYPE", &record->type},
                                   {"TEXT", &record->text},
                                   {"ISABORT", &record->isAbort}}))
        return nullptr;
    return record;
}

bool executeMsgBoxCommand(RunContext& run, Command& record) {
    auto& box = static_cast<MsgBoxCommand&>(record);
    bool stop = false;
    if (!conditionHolds(run, box, stop)) return !stop;

    const unsigned style = msgBoxStyle(box.type);
    if (style == 0) {
        run.showError(MessageId::BadSymbol, {box.type});
        return false;
    }
    box.text.replaceAll("%n", "\n");
    box.text.replaceAll("%t", "\t");

    const int answer = run.showScriptBox(box.text, style);
    bool aborts = false;
    if (answer == os::AnswerOk || answer == os::AnswerYes) {
        box.result = true;
        aborts = box.isAbort.field(0, ",").toInt() != 0;
    } else if (answer == os::AnswerCancel || answer == os::AnswerNo) {
        aborts = box.isAbort.field(1, ",").toInt() != 0;
    }
    if (aborts) run.outcome = RunOutcome::StoppedByAnswer;
    return !aborts;
}
