// Loading, running and stacking procedures.
#include "run/procedure.h"

#include <algorithm>

#include "run/key_reader.h"
#include "run/list_items.h"
#include "run/process_values.h"

namespace {
std::vector<std::unique_ptr<Procedure>>& stack() {
    static std::vector<std::unique_ptr<Procedure>> procedures;
    return procedures;
}

// Runs a record's executor, or reports a MODE that names no kind.
bool executeCommand(Command& record) {
    const CommandKind* kind = findCommandKind(record.mode);
    if (!kind) {
        showError(MessageId::BadSymbol, {record.mode});
        return false;
    }
    return kind->execute(record);
}

std::unique_ptr<Command> loadCommand(const Text& name) {
    Text mode;
    if (!readKey(name.c_str(), "MODE", mode)) return nullptr;
    const CommandKind* kind = findCommandKind(mode);
    if (!kind) {
        showError(MessageId::BadSymbol, {mode});
        return nullptr;
    }
    return kind->load(name);
}
}  // namespace

int procedureCount() { return static_cast<int>(stack().size()); }

bool pushProcedure(std::unique_ptr<Procedure> procedure) {
    if (!procedure) return false;
    stack().push_back(std::move(procedure));
    return true;
}

Procedure* procedureAt(int position) {
    if (position < 0 || position >= procedureCount()) return nullptr;
    return stack()[static_cast<size_t>(position)].get();
}

Procedure* topProcedure() { return stack().empty() ? nullptr : stack().back().get(); }

int removeProcedure(const Procedure* procedure) {
    auto& s = stack();
    for (auto it = s.rbegin(); it != s.rend(); ++it) {
        if (it->get() == procedure) {
            (void)it->release();
            s.erase(std::next(it).base());
            break;
        }
    }
    return procedureCount();
}

int freeProcedure(const Procedure* procedure) {
    if (!procedure) return 0;
    auto& s = stack();
    for (auto it = s.rbegin(); it != s.rend(); ++it) {
        if (it->get() == procedure) {
            s.erase(std::next(it).base());
            break;
        }
    }
    return procedureCount();
}

void freeAllProcedures() {
    while (freeProcedure(topProcedure()) > 0) {
    }
}

Command* findCommand(const Procedure* procedure, const Text& name) {
    if (!procedure) return nullptr;
    for (const auto& record : *procedure)
        if (record->section.equalsNoCase(name)) return record.get();
    return nullptr;
}

Procedure* loadProcedure(const Text& list, int count) {
    if (count == 0) {
        showError(MessageId::ProcedureCount);
        return nullptr;
    }
    // A list that leads back to itself would otherwise nest until the stack runs out.
    if (procedureCount() >= maxProcedureDepth) {
        showError(MessageId::ProcedureCount);
        return nullptr;
    }
    auto procedure = std::make_unique<Procedure>();
    procedure->reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        std::unique_ptr<Command> record = loadCommand(listItem(list, i));
        if (!record) return nullptr;
        procedure->push_back(std::move(record));
    }
    Procedure* loaded = procedure.get();
    pushProcedure(std::move(procedure));
    return loaded;
}

bool runProcedure(Procedure& procedure) {
    for (const auto& record : procedure)
        if (!executeCommand(*record)) return false;
    return true;
}

bool runMain() {
    const int count = itemCount(mainProcList);
    if (count == 0) {
        showError(MessageId::WrongItemCount, {"UPDATER", "PROC"});
        return false;
    }
    if (!loadProcedure(mainProcList, count)) return false;
    if (!runProcedure(*topProcedure())) return false;
    freeProcedure(topProcedure());
    return true;
}
