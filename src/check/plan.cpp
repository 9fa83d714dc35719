// The plan's text form.
#include "check/plan.h"

namespace {

void renderList(const PlanList& list, int depth, std::string& out);

std::string indent(int depth) { return std::string(static_cast<size_t>(depth) * 2, ' '); }

void renderValue(const PlanValue& value, int depth, std::string& out) {
    out += indent(depth) + value.key + " =";
    if (!value.value.empty()) out += " " + value.value;
    out += "\n";
    if (value.branch) renderList(*value.branch, depth + 1, out);
}

void renderList(const PlanList& list, int depth, std::string& out) {
    if (list.shown == PlanList::Shown::Repeat) {
        out += indent(depth) + "(the same list as above)\n";
        return;
    }
    if (list.shown == PlanList::Shown::Cycle) {
        out += indent(depth) + "(leads back into a list above, without end)\n";
        return;
    }
    for (const PlanCommand& command : list.commands) {
        out += indent(depth) + "[" + command.section + "]";
        if (!command.mode.empty()) out += " " + command.mode;
        if (!command.note.empty()) out += "  (" + command.note + ")";
        if (!command.rights.empty()) out += "  (needs administrator rights: " + command.rights + ")";
        out += "\n";
        for (const PlanValue& value : command.values) renderValue(value, depth + 1, out);
    }
}

}  // namespace

std::string renderPlan(const Plan& plan) {
    std::string out = "; the run as the updater would load it, with <Src> = " + plan.source + "\n; read as " +
                      plan.encoding + "\n[UPDATER]\n";
    for (const PlanValue& value : plan.updater) renderValue(value, 1, out);
    return out;
}
