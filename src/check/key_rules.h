// What the checker knows of each kind's keys beyond their names: which list the executor
// counts, which values are paths, numbers, box types or references, and what the updater
// makes of a value written the wrong way. A kind without rules still gets every general check.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "check/finding.h"
#include "text/text.h"

enum KeyTrait : unsigned {
    CountedList = 1u << 0,     // the executor counts this list: empty, it stops the run with message 4
    PathItems = 1u << 1,       // every item is a path
    PairedItems = 1u << 2,     // item i belongs to item i of `pairedWith`
    HexItems = 1u << 3,        // "0x" and hexadecimal digits, one for each item of `pairedWith`
    EmptyAllowed = 1u << 4,    // with HexItems: an empty item has a meaning of its own
    NumberItems = 1u << 5,     // decimal numbers, one for each item of `pairedWith`
    ShowStates = 1u << 6,      // decimal 1 to 3, one for each item of `pairedWith`
    RawNumber = 1u << 7,       // one number read by "%d" and never expanded
    BoxType = 1u << 8,         // one of the four MSGBOX box kinds
    FlagReference = 1u << 9,   // a section of the same list and the flag value wanted of it
    ProcReference = 1u << 10,  // one section of the same list whose flag is tested
    BranchList = 1u << 11,     // a list of sections, loaded and run as a nested procedure
    NeedsDirectory = 1u << 12, // each program is started in its own directory
    TransferTarget = 1u << 13, // destinations of FROM items: files, directories or patterns
    DigestItems = 1u << 14,    // 64 hexadecimal digits, one for each item of `pairedWith`
};

struct KeyRule {
    const char* mode;
    const char* key;
    unsigned traits;
    const char* pairedWith = nullptr;  // the counted key whose items these belong to
    const char* consequence = nullptr; // what follows from an item this key's traits find wrong
    const char* unpaired = nullptr;    // what follows for an item of `pairedWith` without one here
    const char* trailing = nullptr;    // what follows when an item ends in "\"; none when harmless
};

// The rules of the kind whose MODE is `mode` (its table spelling), in table order.
std::vector<const KeyRule*> keyRulesOf(const char* mode);
// The rule of one key, or none.
const KeyRule* keyRuleOf(const char* mode, const char* key);

// A loaded section's values, as the updater's loader reads them: text keys expanded, integer
// keys as written.
struct SectionValues {
    Text section;
    std::vector<std::pair<std::string, Text>> values;
    const Text* value(const char* key) const;
};

// Checks every value of `values` against the rules of its kind that need no other section
// (references and branch lists need the list and are checked by the list walk).
void checkKeyValues(const char* mode, const SectionValues& values, const std::function<int(const char* key)>& lineOf,
                    Findings& findings);

// Quotes a script value for a message.
std::string quoted(const Text& value);
std::string quoted(const std::string& value);
// True for a whole decimal number, sign allowed, blanks around it allowed.
bool isDecimalNumber(const Text& text);
// True for "0x" (lower case) followed by hexadecimal digits and nothing else.
bool isHexWord(const Text& text);
