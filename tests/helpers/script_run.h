// Runs a list of a script's sections as the main run does, but keeps the loaded records so
// that a test can read their result flags afterwards. <Src> is the run's own directory.
#pragma once

#include <string>
#include <vector>

#include "run/list_items.h"
#include "run/messages.h"
#include "run/procedure.h"
#include "support/test_support.h"

class ScriptRun {
public:
    explicit ScriptRun(const std::string& sections) : fixture_("[UPDATER]\nNAME=\nPROC=\n" + sections) {}

    const TempDir& dir() const { return fixture_.dir(); }
    RunContext& context() { return fixture_.run(); }
    std::string path(const std::string& relative) const { return fixture_.path(relative); }

    // Loads the comma-separated `list` and runs it; false when the loading failed or a
    // command stopped the run.
    bool run(const std::string& list, std::vector<int> answers = {}) {
        BoxRecorder recorder(std::move(answers));
        const Text names(list.c_str());
        procedure_ = loadProcedure(fixture_.run(), names, itemCount(names));
        const bool goesOn = procedure_ && runProcedure(fixture_.run(), *procedure_);
        boxes_ = recorder.boxes();
        return goesOn;
    }

    bool flag(const std::string& section) const {
        const Command* record = procedure_ ? findCommand(procedure_, Text(section.c_str())) : nullptr;
        return record && record->result;
    }

    const std::vector<RecordedBox>& boxes() const { return boxes_; }
    // Each box's message, without the lines a failure adds below it.
    std::vector<std::string> boxTexts() const {
        std::vector<std::string> texts;
        for (const RecordedBox& b : boxes_) texts.push_back(messagePart(b.text));
        return texts;
    }

private:
    ScriptFixture fixture_;
    Procedure* procedure_ = nullptr;
    std::vector<RecordedBox> boxes_;
};
