// The plan of a run: every list the updater would load, each command in order with its values
// as loaded, each SWITCH with its two branches below it; and the plan's text form.
#pragma once

#include <memory>
#include <string>
#include <vector>

struct PlanList;

struct PlanValue {
    std::string key;
    std::string value;                 // as the updater holds it after loading
    std::unique_ptr<PlanList> branch;  // the list this value names, for keys that hold one
};

struct PlanCommand {
    std::string section;
    std::string mode;  // the kind as the table spells it, else the MODE value as read
    std::string note;  // why it would not load; empty when it would
    std::string rights;  // the key and the place that need administrator rights; empty when none does
    std::vector<PlanValue> values;
};

struct PlanList {
    // A list is shown in full once; where it comes again it is only pointed back to.
    enum class Shown { Full, Repeat, Cycle };
    Shown shown = Shown::Full;
    std::vector<PlanCommand> commands;
};

struct Plan {
    std::string source;              // what <Src> stands for
    std::string encoding;            // what the script's bytes were read as
    std::vector<PlanValue> updater;  // NAME, and PROC with the main list
};

// An INI-like tree: sections in brackets, "KEY = value" below them, lists indented under
// the key that names them.
std::string renderPlan(const Plan& plan);
