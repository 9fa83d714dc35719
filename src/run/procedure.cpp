// Loading, running and stacking procedures.
#include "run/procedure.h"

#include "os/system.h"
#include "run/key_reader.h"
#include "run/list_items.h"
#include "run/run_context.h"

namespace {

// The command's keys as its loader read them, for the log: text keys expanded.
std::string loggedValues(RunContext& run, const CommandKind& kind, const Command& record) {
    std::string values;
    for (const char* key : kind.keys) {
        if (!key || Text(key).equalsNoCase("MODE")) continue;
        Text value;
        if (!run.script.readString(record.section.c_str(), key, value)) continue;
        if (!Text(key).equalsNoCase("ISWAIT")) expandValue(run.symbols, value);
        values += std::string(" ") + key + "=" + value.str();
    }
    return values;
}

// Runs a record's executor, or reports a MODE that names no kind.
bool executeCommand(RunContext& run, Command& record) {
    const CommandKind* kind = findCommandKind(run.kinds, record.mode);
    if (!kind) {
        run.showError(MessageId::BadSymbol, {record.mode});
        return false;
    }
    const bool logged = run.log.isOpen();
    if (logged) run.logEvent("[" + record.section.str() + "] " + kind->mode + loggedValues(run, *kind, record));
    const uint64_t started = logged ? os::steadyMilliseconds() : 0;
    const auto ended = [&](const char* how) {
        if (logged)
            run.logEvent("[" + record.section.str() + "] " + kind->mode + how +
                         std::to_string(os::steadyMilliseconds() - started) + " ms");
    };
    try {
        const CommandProgress progress(run.progress, progressActionOf(kind->mode));
        // A Cancel pressed while the commands before ran, or while this one did not change a thing.
        run.stopIfCancelled();
        const bool goesOn = kind->execute(run, record);
        ended(record.result ? (goesOn ? " result true, the run goes on, " : " result true, the run stops, ")
                            : (goesOn ? " result false, the run goes on, " : " result false, the run stops, "));
        return goesOn;
    } catch (const RunCancelled&) {
        // Stopped as an answer stops it: an undoable run is undone after this.
        run.outcome = RunOutcome::StoppedByAnswer;
        ended(" cancelled by the user, the run stops, ");
        return false;
    }
}

std::unique_ptr<Command> loadCommand(RunContext& run, const Text& name) {
    Text mode;
    if (!readKey(run, name.c_str(), "MODE", mode)) return nullptr;
    const CommandKind* kind = findCommandKind(run.kinds, mode);
    if (!kind) {
        run.showError(MessageId::BadSymbol, {mode});
        return nullptr;
    }
    return kind->load(run, name);
}

}  // namespace

bool ProcedureStack::push(std::unique_ptr<Procedure> procedure) {
    if (!procedure) return false;
    procedures_.push_back(std::move(procedure));
    return true;
}

Procedure* ProcedureStack::at(int position) const {
    if (position < 0 || position >= count()) return nullptr;
    return procedures_[static_cast<size_t>(position)].get();
}

Procedure* ProcedureStack::top() const { return procedures_.empty() ? nullptr : procedures_.back().get(); }

int ProcedureStack::remove(const Procedure* procedure) {
    for (auto it = procedures_.rbegin(); it != procedures_.rend(); ++it) {
        if (it->get() == procedure) {
            (void)it->release();  // the caller owns the procedure from here on
            procedures_.erase(std::next(it).base());
            break;
        }
    }
    return count();
}

int ProcedureStack::free(const Procedure* procedure) {
    if (!procedure) return 0;
    for (auto it = procedures_.rbegin(); it != procedures_.rend(); ++it) {
        if (it->get() == procedure) {
            procedures_.erase(std::next(it).base());
            break;
        }
    }
    return count();
}

void ProcedureStack::freeAll() {
    while (free(top()) > 0) {
    }
}

Command* findCommand(const Procedure* procedure, const Text& name) {
    if (!procedure) return nullptr;
    for (const auto& record : *procedure)
        if (record->section.equalsNoCase(name)) return record.get();
    return nullptr;
}

Procedure* loadProcedure(RunContext& run, const Text& list, int count) {
    if (count == 0) {
        run.showError(MessageId::ProcedureCount);
        return nullptr;
    }
    // A list that leads back to itself would otherwise nest until the stack runs out.
    if (run.procedures.count() >= maxProcedureDepth) {
        run.showError(MessageId::ProcedureCount);
        return nullptr;
    }
    auto procedure = std::make_unique<Procedure>();
    procedure->reserve(static_cast<size_t>(count));
    for (const Text& name : ItemList(list)) {
        std::unique_ptr<Command> record = loadCommand(run, name);
        if (!record) return nullptr;
        procedure->push_back(std::move(record));
    }
    Procedure* loaded = procedure.get();
    run.procedures.push(std::move(procedure));
    return loaded;
}

bool runProcedure(RunContext& run, Procedure& procedure) {
    for (const auto& record : procedure)
        if (!executeCommand(run, *record)) return false;
    return true;
}

bool runMain(RunContext& run) { return loadMain(run) && runLoadedMain(run); }

bool loadMain(RunContext& run) {
    const int count = itemCount(run.mainProcList);
    if (count == 0) {
        run.showError(MessageId::WrongItemCount, {"UPDATER", "PROC"});
        return false;
    }
    // Until the main list has loaded, nothing has run.
    run.outcome = RunOutcome::NothingRan;
    return loadProcedure(run, run.mainProcList, count) != nullptr;
}

bool runLoadedMain(RunContext& run) {
    run.outcome = RunOutcome::CommandFailed;
    if (!runProcedure(run, *run.procedures.top())) {
        if (run.outcome != RunOutcome::StoppedByAnswer) run.outcome = RunOutcome::CommandFailed;
        return false;
    }
    run.procedures.free(run.procedures.top());
    run.outcome = RunOutcome::Completed;
    return true;
}
