// SWITCH: loads the chosen list only when it runs, runs it on top of the stack, pops it.
#include "run/switch_command.h"

#include "run/list_items.h"
#include "run/procedure.h"

std::unique_ptr<Command> loadSwitchCommand(const Text& section) {
    auto record = newRecord<SwitchCommand>(section, "DATE_INFO");
    if (!record) return nullptr;
    if (!readCommandKeys(*record, {{"PROC", &record->proc}, {"0", &record->whenFalse}, {"1", &record->whenTrue}}))
        return nullptr;
    return record;
}

bool executeSwitchCommand(Command& record) {
    auto& branch = static_cast<SwitchCommand&>(record);
    Text name = branch.proc;
    name.trim(" ");
    const Command* target = findCommand(topProcedure(), name);
    if (!target) {
        showError(MessageId::BadSymbol, {branch.proc});
        return false;
    }
    const Text& list = target->result ? branch.whenTrue : branch.whenFalse;
    const int count = itemCount(list);
    if (count == 0) return true;
    Procedure* nested = loadProcedure(list, count);
    if (!nested) return false;
    if (!runProcedure(*nested)) return false;
    freeProcedure(nested);
    return true;
}
