// The reserved switches a command line may begin with, before the caption: /UNATTENDED,
// /LOG=FILE and /ELEVATED, in any letter case, each its own word.
#pragma once

#include <string>

#include "text/text.h"

struct CommandLineSwitches {
    bool unattended = false;
    // The updater started itself again with administrator rights: it never asks again.
    bool elevated = false;
    bool logged = false;
    std::string logPath;  // as written, its quotes removed
    Text rest;            // what follows the switches: the caption's text, as before
};

// Takes the switches off the front of `commandLine`. A command line that does not begin
// with one is left whole. A log path that holds spaces is written in quotes:
// /LOG="C:\Logs\my update.log".
CommandLineSwitches takeSwitches(const Text& commandLine);
