// Administrator rights for a run (ELEVATE of UPDATER): whether the loaded main list needs
// them, and asking for them once, before anything is changed, by starting the updater again
// with them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "os/result.h"
#include "text/text.h"

struct RunContext;

enum class ElevateSetting {
    WhenNeeded,  // ELEVATE absent: asked for when a place the run changes needs them
    Always,      // ELEVATE=1
    Never,       // ELEVATE=0
};

// ELEVATE of UPDATER, expanded: 0 is Never, any other number Always; absence, or a value that
// does not start with a number, WhenNeeded.
ElevateSetting elevateSetting(RunContext& run);
ElevateSetting elevateSettingOf(const Text& value);

// What the check of the places a run changes found.
struct PlacesChecked {
    std::optional<os::Failure> refused;  // the first place this user may not write (AccessDenied)
    std::vector<os::Failure> unchecked;  // places whose check failed otherwise, for the log
};

// Checks the places that the commands of `list` (section names), and those of every list
// their SWITCHes may branch to, will create, replace, move or delete, up to the first one
// this user may not write. Places on network shares are not checked: rights asked for here
// do not reach there.
PlacesChecked checkPlaces(RunContext& run, const Text& list);

// Settles the run's rights once the main list has loaded, before anything is changed. True when
// this process goes on with the run. False when it ends here: the rights it needs are
// lacking in an unattended run, or could not be had (outcome NeedsRights, after its box);
// or the copy started with them did the run (outcome DoneWithRights, with its exit code).
bool settleRights(RunContext& run);

// Starts the updater again with administrator rights, the user asked for consent, and waits
// for it; the run's outcome is then DoneWithRights, with the copy's exit code. The failure
// when the copy could not be started (declined, or the prompt failed): nothing was done.
std::optional<os::Failure> startCopyWithRights(RunContext& run);

// The command line of the copy started with rights: the reserved switch that marks it, then
// this run's own command line unchanged.
std::string commandLineWithRights(const std::string& commandLine);
