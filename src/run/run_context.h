// The state of one run: what start-up fills in, the symbols, the procedure stack, the table
// of command kinds, and the way every message reaches the user. Start-up builds one; every
// loader and executor receives it. Nothing of a run lives anywhere else.
#pragma once

#include <functional>
#include <initializer_list>
#include <span>
#include <string>

#include "os/result.h"
#include "run/command.h"
#include "run/messages.h"
#include "run/procedure.h"
#include "run/script_file.h"
#include "run/symbols.h"
#include "text/text.h"

struct RunContext {
    Text commandLine;   // the argument part of the command line
    Text modulePath;    // the executable's full path, script form
    Text scriptPath;    // the script's full path
    Text updaterName;   // NAME of UPDATER, expanded
    Text mainProcList;  // PROC of UPDATER, expanded
    Script script;      // the script at scriptPath, read once
    Caption caption;
    SymbolTable symbols;
    ProcedureStack procedures;
    // The command kinds a MODE may name, in the order they are tried.
    std::span<const CommandKind> kinds;

    // While set, error messages go here instead of to the screen: updater-check keeps each
    // as a finding. A script box (MSGBOX, CRC) is answered OK without being shown.
    std::function<void(MessageId id, const std::string& text)> keepMessages;

    // Reports message `id` in an error box with the current caption. `failure`, where a
    // system call failed, is what failed and why.
    void showError(MessageId id, std::initializer_list<MessageArg> args = {}, const os::Failure* failure = nullptr);
    // True when `result` is a success; otherwise reports message `id` with the failure and is
    // false, which stops the run.
    bool succeeded(const os::Result& result, MessageId id, std::initializer_list<MessageArg> args);
    // Shows a script's own text (MSGBOX, CRC) with the current caption; returns the answer.
    int showScriptBox(const Text& text, unsigned style);
};
