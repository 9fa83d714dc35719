// MSGBOX: a box for the user, optionally only when another command's flag has a value,
// whose answer is recorded and may stop the run.
#pragma once

#include "run/command.h"

struct MsgBoxCommand : Command {
    Text flag;     // empty or one item: always; else a section name and the wanted flag
    Text type;     // ERROR, INFORMATION, WARNING or QUESTION
    Text text;     // "%n" is a line break, "%t" a tab
    Text isAbort;  // two numbers: stop after OK/Yes, stop after Cancel/No
};

std::unique_ptr<Command> loadMsgBoxCommand(RunContext& run, const Text& section);
bool executeMsgBoxCommand(RunContext& run, Command& record);

// The box style of a TYPE value, or 0 when it names none of the four kinds.
unsigned msgBoxStyle(const Text& type);
