// Procedures (loaded lists of commands) and the stack they run on. A record belongs to its
// procedure, a procedure to the stack from its push until it is freed.
#pragma once

#include <memory>
#include <vector>

#include "run/command.h"

using Procedure = std::vector<std::unique_ptr<Command>>;

// Deeper nesting than this can only come from a list that leads back to itself.
constexpr int maxProcedureDepth = 64;

class ProcedureStack {
public:
    int count() const { return static_cast<int>(procedures_.size()); }
    bool push(std::unique_ptr<Procedure> procedure);
    Procedure* at(int position) const;
    Procedure* top() const;
    int remove(const Procedure* procedure);  // forgets it without freeing; the count after
    int free(const Procedure* procedure);    // pops and frees it; the count after
    void freeAll();

private:
    std::vector<std::unique_ptr<Procedure>> procedures_;
};

// The first command of the procedure whose section name equals `name` without regard to case.
Command* findCommand(const Procedure* procedure, const Text& name);

// Loads every section of the comma-separated list before anything runs, and pushes the
// result. On the first failure everything loaded is freed and none is returned.
Procedure* loadProcedure(RunContext& run, const Text& list, int count);

bool runProcedure(RunContext& run, Procedure& procedure);

// Loads PROC of UPDATER and runs it to its end or its first failure: loadMain, then
// runLoadedMain, which the whole run does with the rights and the journal settled between.
bool runMain(RunContext& run);
// PROC of UPDATER loaded, nothing of it run; false after its message.
bool loadMain(RunContext& run);
// The main list loadMain loaded, run to its end or its first failure.
bool runLoadedMain(RunContext& run);
