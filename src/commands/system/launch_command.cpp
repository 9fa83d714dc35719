// LAUNCH: the first program that fails to start stops the run; those before it stay started.
#include "commands/system/launch_command.h"

#include "text/script_path.h"

#include "os/process.h"
#include "run/key_reader.h"
#include "run/elevation.h"
#include "run/item_loop.h"

std::unique_ptr<Command> loadLaunchCommand(RunContext& run, const Text& section) {
    auto record = newRecord<LaunchCommand>(run, section, "LAUNCH_INFO");
    if (!record || !readCommandKeys(run, *record, {{"FILE", &record->file}, {"PARAM", &record->param}}) ||
        !readIntKey(run, section.c_str(), "ISWAIT", record->isWait))
        return nullptr;
    return record;
}

bool executeLaunchCommand(RunContext& run, Command& record) {
    auto& launch = static_cast<LaunchCommand&>(record);
    const ItemList files(launch.file);
    const ItemList paramLists(launch.param);
    // A prompt is never shown where no box may be, nor where the script said never to ask.
    const bool mayAskForRights = !run.unattended && elevateSetting(run) != ElevateSetting::Never;
    return forEachItem(run, launch, launch.file, "FILE", [&](int i) {
        const Text& file = files[i];
        const Text& params = paramLists[i];
        // A Cancel pressed meanwhile is asked about once the program has ended, at the next
        // boundary: stopping, and perhaps undoing, while it still works would race it.
        std::function<void()> waiting;
        if (run.progress.started()) waiting = [&] { run.progress.waiting(file.str()); };
        const os::Result launched = launchProgram(file, params, launch.isWait, mayAskForRights, waiting);
        if (!run.succeeded(launched, MessageId::LaunchFailed, {file, params})) return false;
        ++run.counters.programsStarted;
        run.logEvent("  started \"" + file.str() + "\" " + params.str());
        run.stopIfCancelled();
        return true;
    });
}

bool directoryOf(const Text& path, Text& out) {
    // A program named without a directory, or in the root alone, has none to start in.
    if (paths::lastElement(path.str()) == path.str()) return false;
    const std::string parent = paths::parentOf(path.str());
    if (parent.empty()) return false;
    out = Text(parent);
    return true;
}

os::Result launchProgram(const Text& file, const Text& params, int wait, bool mayAskForRights,
                         const std::function<void()>& stillWaiting) {
    Text directory;
    if (!directoryOf(file, directory)) return os::Result::fail(os::Operation::Start, file.str(), os::NoDirectory);
    os::Result started =
        os::startProcess(file.str(), params.str(), directory.str(), wait != 0, mayAskForRights, stillWaiting);
    // A program without a message queue (any console program) is never "ready for input",
    // and Windows answers that wait with a failure at once. The program did start, so only a
    // failed wait for its end makes the launch fail.
    if (!started && started.failure().operation == os::Operation::Wait && wait == 0) return {};
    return started;
}
