// Procedures (loaded lists of commands) and the stack they run on. A record belongs to its
// procedure, a procedure to the stack from its push until it is freed.
#pragma once

#include <memory>
#include <vector>

#include "run/command.h"

using Procedure = std::vector<std::unique_ptr<Command>>;

// Deeper nesting than this can only come from a list that leads back to itself.
constexpr int maxProcedureDepth = 64;

int procedureCount();
bool pushProcedure(std::unique_ptr<Procedure> procedure);
Procedure* procedureAt(int position);
Procedure* topProcedure();
int removeProcedure(const Procedure* procedure);  // forgets it without freeing; the count after
int freeProcedure(const Procedure* procedure);    // pops and frees it; the count after
void freeAllProcedures();

// The first command of the procedure whose section name equals `name` without regard to case.
Command* findCommand(const Procedure* procedure, const Text& name);

// Loads every section of the comma-separated list before anything runs, and pushes the
// result. On the first failure everything loaded is freed and none is returned.
Procedure* loadProcedure(const Text& list, int count);

bool runProcedure(Procedure& procedure);

// Loads PROC of UPDATER and runs it to its end or its first failure.
bool runMain();
