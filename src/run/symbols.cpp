// The symbol table and the three expansion passes (symbols, operator groups, ".." steps).
// Portable: the system is reached only through the OS layer and the lookups of app_paths.
#include "run/symbols.h"

#include <string>
#include <string_view>
#include <vector>

#include "os/shell.h"
#include "os/system.h"
#include "run/app_paths.h"
#include "run/run_context.h"
#include "text/script_path.h"

namespace {

Text entryName(const Text& entry) { return entry.field(0, "="); }

// Anything from a second "=" on stays in the entry but is not part of the value.
Text entryValue(const Text& entry) { return entry.field(1, "="); }

// The built-ins come from the system, and a folder it cannot name is left undefined, so that
// a reference to it stays as written (or a DEFINE entry of that name keeps its value) rather
// than taking some other folder's path.
void defineFolder(SymbolTable& table, const char* name, int folder) {
    Text path;
    if (specialFolderPath(path, folder)) table.defineSymbol(name, path);
}

bool fitsAfterReplacing(const Text& value, const Text& group, const Text& replacement) {
    return value.length() - group.length() + replacement.length() <= MaxExpandedLength;
}

}  // namespace

Text SymbolTable::entries() const {
    Text all;
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (i > 0) all.append("\n");
        all.append(entries_[i]);
    }
    return all;
}

void SymbolTable::clear() { entries_.clear(); }

void SymbolTable::setEntries(const Text& lines, int count) {
    entries_.clear();
    const std::string_view all(lines.c_str());
    size_t begin = 0;
    for (int i = 0; i < count; ++i) {
        // Entries counted beyond the last line are empty, as a field beyond the last one is.
        if (begin > all.size()) {
            entries_.emplace_back();
            continue;
        }
        const size_t newline = all.find('\n', begin);
        const size_t end = newline == std::string_view::npos ? all.size() : newline;
        entries_.emplace_back(std::string(all.substr(begin, end - begin)));
        begin = end + 1;
    }
}

void SymbolTable::defineSymbol(const char* name, const Text& value) {
    for (Text& entry : entries_) {
        if (!entryName(entry).equalsNoCase(name)) continue;
        // An entry without "=" has no value to replace; it stays as it is, and still ends the search.
        entry.replaceField(1, "=", value.c_str());
        return;
    }
    Text entry(name);
    entry.append("=").append(value);
    entries_.push_back(std::move(entry));
}

bool SymbolTable::lookupSymbol(const char* name, Text& value) const {
    for (const Text& entry : entries_) {
        if (!entryName(entry).equalsNoCase(name)) continue;
        value = entryValue(entry);
        return true;
    }
    return false;
}

void SymbolTable::expandValues(const std::function<bool(Text&)>& expand) {
    for (Text& entry : entries_) {
        Text value = entryValue(entry);
        if (expand(value)) entry.replaceField(1, "=", value.c_str());
    }
}

bool buildSymbolTable(RunContext& run) {
    SymbolTable& table = run.symbols;
    Text lines;
    const int count = run.script.readSection("DEFINE", lines);
    table.setEntries(lines, count);
    table.defineSymbol("<Win>", Text(os::windowsDirectory()));
    table.defineSymbol("<Sys>", Text(os::systemDirectory()));
    table.defineSymbol("<Src>", Text(paths::parentOf(run.modulePath.str())));
    defineFolder(table, "<Desktop>", os::isNtPlatform() ? os::FolderCommonDesktopDirectory : os::FolderDesktopDirectory);
    defineFolder(table, "<Programs>", os::isNtPlatform() ? os::FolderCommonPrograms : os::FolderPrograms);
    expandTable(table);
    return true;
}

bool expandSymbols(const SymbolTable& table, Text& value) {
    // The count is taken once: references brought in by inserted values are expanded only
    // while iterations remain, which is what keeps a symbol that names itself from looping.
    const int n = value.groupCount("<", ">");
    bool replaced = false;
    int i = 0;
    for (int step = 0; step < n; ++step) {
        const Text reference = value.group(i, "<", ">");
        Text symbol;
        if (table.lookupSymbol(reference.c_str(), symbol) && fitsAfterReplacing(value, reference, symbol)) {
            // The index stays: whatever group now stands at i (one inside the inserted value,
            // or the next one of the original) is looked at next.
            value.replaceGroup(i, "<", ">", symbol.c_str());
            replaced = true;
        } else {
            ++i;
        }
    }
    return replaced;
}

namespace {

bool evaluateOperator(const Text& op, const Text& argument, Text& result) {
    if (op.equalsNoCase("?App")) return appPathLookup(argument.c_str(), result, true);
    if (op.equalsNoCase("?AppPath")) {
        if (!appPathLookup(argument.c_str(), result, false)) return false;
        // Only the end is cleaned, backslashes first: «C:\A\;» keeps the backslash before the
        // semicolon, as scripts written against this behaviour expect.
        result.trim("", "\\");
        result.trim("", ";");
        return true;
    }
    if (op.equalsNoCase("?SpFolder")) {
        if (!specialFolderPath(result, static_cast<int>(argument.toHex()))) return false;
        result.trim("", "\\");
        return true;
    }
    return false;
}

}  // namespace

bool expandOperators(Text& value) {
    const int n = value.groupCount("{", "}");
    bool replaced = false;
    int i = 0;
    for (int step = 0; step < n; ++step) {
        const Text group = value.group(i, "{", "}");
        Text body = group;
        body.trim("{", "}");
        // Only the text between the first and the second backslash is the argument.
        Text result;
        if (evaluateOperator(body.field(0, "\\"), body.field(1, "\\"), result) &&
            fitsAfterReplacing(value, group, result)) {
            value.replaceGroup(i, "{", "}", result.c_str());
            replaced = true;
        } else {
            ++i;
        }
    }
    return replaced;
}

bool collapseDotDot(Text& path) {
    if (path.countOf("\\..") == 0) return false;
    // The elements are split once instead of located afresh for every step: the same fields
    // by "\\", without rescanning a long path from its start for each of them.
    std::vector<std::string> elements;
    const std::string_view all(path.c_str());
    for (size_t begin = 0;;) {
        const size_t separator = all.find('\\', begin);
        if (separator == std::string_view::npos) {
            elements.emplace_back(all.substr(begin));
            break;
        }
        elements.emplace_back(all.substr(begin, separator - begin));
        begin = separator + 1;
    }
    const int r = static_cast<int>(elements.size()) - 2;
    if (r <= 0) return false;
    bool removed = false;
    // The scan starts at element 2, so a ".." in element 1 never takes away element 0,
    // normally the drive.
    int d = 2;
    int n = 0;
    for (int step = 0; step < r; ++step) {
        if (d < static_cast<int>(elements.size()) && elements[d] == "..") {
            // Element n stays; the one after it goes together with the "..".
            elements.erase(elements.begin() + n + 1, elements.begin() + d + 1);
            removed = true;
            --d;
            --n;
            // Element 0 has no element before it to pair a later ".." with; that one stays.
            if (n < 0) break;
        } else {
            ++d;
            ++n;
        }
    }
    if (!removed) return false;
    std::string joined = elements[0];
    for (size_t k = 1; k < elements.size(); ++k) joined.append("\\").append(elements[k]);
    path = Text(std::move(joined));
    return true;
}

void expandTable(SymbolTable& table) {
    // In table order: an entry sees the entries before it expanded and those after it not yet.
    table.expandValues([&table](Text& value) {
        // All three passes run, whichever of them changed something.
        const bool bySymbols = expandSymbols(table, value);
        const bool byOperators = expandOperators(value);
        const bool byDotDot = collapseDotDot(value);
        return bySymbols || byOperators || byDotDot;
    });
}

void expandValue(const SymbolTable& table, Text& value) {
    expandSymbols(table, value);
    expandOperators(value);
    collapseDotDot(value);
}
