// The symbol table (DEFINE entries and the built-in folders) and the three expansion
// passes that every script value goes through.
#pragma once

#include <functional>
#include <vector>

#include "text/text.h"

// Entries are lines of the form name=value: the name is the text before the first "=", the
// value the text between the first and the next "=" (the empty text without any "=").
// Names compare without regard to ASCII letter case; the first entry of a name counts.
class SymbolTable {
public:
    int count() const { return static_cast<int>(entries_.size()); }
    // All entries, one line each, joined by "\n".
    Text entries() const;

    void clear();
    // Replaces the whole table by the first `count` lines of `lines` ("\n"-separated), as the
    // section reader delivers DEFINE.
    void setEntries(const Text& lines, int count);
    // Replaces the value of the first entry named `name` in place, or appends name=value.
    void defineSymbol(const char* name, const Text& value);
    bool lookupSymbol(const char* name, Text& value) const;
    // Runs `expand` over each entry's value in table order and puts back every value it
    // reports changed; lookups made meanwhile see the entries before it already put back.
    void expandValues(const std::function<bool(Text&)>& expand);

private:
    // One Text per entry rather than one joined Text: a table that scripts can make large
    // must not be rescanned from its start for every entry touched.
    std::vector<Text> entries_;
};

struct RunContext;

// Fills the run's table from DEFINE of its script and the five built-ins, then expands the
// table's own values. Always true.
bool buildSymbolTable(RunContext& run);

// The passes; each is true when it replaced something. What cannot be expanded stays as written.
bool expandSymbols(const SymbolTable& table, Text& value);
bool expandOperators(Text& value);
bool collapseDotDot(Text& path);
void expandTable(SymbolTable& table);

// The three passes in their order, as every key read goes through them.
void expandValue(const SymbolTable& table, Text& value);

// No replacement makes a value longer than this; the reference then stays as written. Script
// values are read at up to 258 bytes and DEFINE at up to 32767, so only a script that nests
// references to multiply its text (to exhaust memory or time) ever meets the limit.
constexpr int MaxExpandedLength = 32767;
