// SWITCH: loads the chosen list only when it runs, runs it on top of the stack, pops it.
#include "run/switch_command.h"

#include "run/list_items.h"
#include "run/procedure.h"
#include "run/run_context.h"

std::unique_ptr<Command> loadSwitchCommand(RunContext& run, const Text& section) {
    auto record = newRecord<SwitchCommand>(run, section, "DATE_INFO");
    if (!record) return nullptr;
    if (!readCommandKeys(run, *record, {{"PROC", &record->proc}, {"0", &record->whenFalse}, {"1", &record->whenTrue}}))
        return nullptr;
    return record;
}

bool executeSwitchCommand(RunContext& run, Command& record) {
    auto& branch = static_cast<SwitchCommand&>(record);
    Text name = branch.proc;
    name.trim(" ");
    const Command* target = findCommand(run.procedures.top(), name);
    if (!target) {
        run.showError(MessageId::BadSymbol, {branch.proc});
        return false;
    }
    const Text& list = target->result ? branch.whenTrue : branch.whenFalse;
    const int count = itemCount(list);
    if (count == 0) return true;
    Procedure* nested = loadProcedure(run, list, count);
    if (!nested) return false;
    if (!runProcedure(run, *nested)) return false;
    run.procedures.free(nested);
    return true;
}
