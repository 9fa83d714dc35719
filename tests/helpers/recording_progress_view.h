// A progress view for tests: every drawing and every hiding it was told, in order.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "os/progress_view.h"

// Every drawing and every hiding, in order: "show <item>" or "hide".
struct Drawings {
    std::vector<std::string> events;
    std::vector<os::ProgressLines> shown;
};

// As a window is, when `kept`: still up when a command ends. Cancel is pressed as the
// drawing of `cancelAt` is shown.
class RecordingView : public os::ProgressView {
public:
    explicit RecordingView(Drawings& drawings, bool kept = false, std::string cancelAt = {})
        : drawings_(drawings), kept_(kept), cancelAt_(std::move(cancelAt)) {}
    void show(const os::ProgressLines& lines) override {
        drawings_.events.push_back("show " + lines.item);
        drawings_.shown.push_back(lines);
        if (!cancelAt_.empty() && lines.item.ends_with(cancelAt_)) pressed_ = true;
    }
    void hide() override { drawings_.events.push_back("hide"); }
    bool keptBetweenCommands() const override { return kept_; }
    bool cancelPressed() override { return std::exchange(pressed_, false); }

private:
    Drawings& drawings_;
    bool kept_;
    std::string cancelAt_;
    bool pressed_ = false;
};
