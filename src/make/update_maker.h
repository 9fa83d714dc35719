// An update made from two versions of an application: the tree of each listed and compared,
// a patch made for every changed file where it is clearly smaller than the file, the rest
// copied whole, and the script that applies it all written beside the payload.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

struct MakeOptions {
    std::string oldRoot;  // script form
    std::string newRoot;
    std::string target;   // where the script finds the installed application, as a script path
    std::string out;      // the folder made for the update; missing or empty
    std::string caption;
    std::string updater;  // copied to out\patch.exe when given
};

struct MakeReport {
    size_t patched = 0;
    size_t copied = 0;
    size_t deleted = 0;
    size_t directories = 0;
    uint64_t updateBytes = 0;   // the payload's files
    uint64_t newBytes = 0;      // the new version's files
};

// Makes the update; a failure is told on `err` in one line and gives false. `out` hears of
// each file as it is made.
bool makeUpdate(const MakeOptions& options, std::ostream& out, std::ostream& err, MakeReport& report);

// A patch is kept only when it is at most this fraction of the new file: a smaller saving is
// not worth a step that depends on the old file being exact.
constexpr uint64_t PatchAtMostNumerator = 1;
constexpr uint64_t PatchAtMostDenominator = 2;
