// The key rules of each kind and the checks of single values against them. Each message says
// what the updater will make of the value, in the words of its own behaviour.
#include "check/key_rules.h"

#include <cstring>

#include "run/path_tests.h"
#include "commands/file/walker.h"
#include "commands/system/launch_command.h"
#include "run/list_items.h"
#include "run/msgbox_command.h"
#include "text/digest.h"

namespace {

const KeyRule keyRules[] = {
    {"EXIST", "FILE", CountedList | PathItems, nullptr, nullptr, nullptr,
     "EXIST never finds a path that ends in a separator, so its flag stays false even when the directory is there"},
    {"DATE", "FILE", CountedList | PathItems, nullptr, nullptr, nullptr,
     "the file cannot be opened, so DATE counts it as older and sets its flag"},
    {"SWITCH", "PROC", ProcReference},
    {"SWITCH", "0", BranchList},
    {"SWITCH", "1", BranchList},
    {"MSGBOX", "FLAG", FlagReference},
    {"MSGBOX", "TYPE", BoxType},
    {"COPY", "FROM", CountedList | PathItems},
    {"COPY", "TO", PathItems | PairedItems | TransferTarget, "FROM", nullptr,
     "the updater cannot copy it and stops with message 8",
     "a file is not copied onto a name that ends in a separator; the updater stops with message 8"},
    {"LAUNCH", "FILE", CountedList | PathItems | NeedsDirectory, nullptr,
     "the updater cannot start it and stops with message 9", nullptr,
     "no program can be started by that name; the updater stops with message 9"},
    {"LAUNCH", "ISWAIT", RawNumber, nullptr,
     "LAUNCH waits only until each program is ready for input, not until it ends"},
    {"DELETE", "FILE", CountedList | PathItems, nullptr, nullptr, nullptr,
     "DELETE finds nothing by that name, counts the item as deleted and leaves it in place"},
    {"LINK", "SRC", CountedList | PathItems},
    {"LINK", "SHOWCMD", ShowStates, "SRC", "the shortcut keeps the system's default show state"},
    {"LINK", "DST", PathItems | PairedItems, "SRC", nullptr,
     "its shortcut file is saved under the bare name \".LNK\" in whatever directory is current",
     "the shortcut file is saved under the bare name \".LNK\" inside that directory"},
    {"MAKEDIR", "DIR", CountedList | PathItems},
    {"ATTR", "FILE", CountedList | PathItems, nullptr, nullptr, nullptr,
     "ATTR finds nothing by that name, and the updater stops with message 12"},
    {"ATTR", "ARG", HexItems, "FILE", "the updater gives the matching files the attribute word 0"},
    {"CRC", "FILE", CountedList | PathItems, nullptr, nullptr, nullptr, "the file cannot be read, so it never matches"},
    {"CRC", "CRC", HexItems | EmptyAllowed, "FILE", "the file matches only if its CRC-32 is 0"},
    {"HASH", "FILE", CountedList | PathItems, nullptr, nullptr, nullptr, "the file cannot be read, so it never matches"},
    {"HASH", "HASH", DigestItems | EmptyAllowed, "FILE", "the file never matches"},
    {"PATCH", "FILE", CountedList | PathItems, nullptr, nullptr, nullptr,
     "the updater cannot read it and stops with message 53"},
    {"PATCH", "DIFF", PathItems | PairedItems, "FILE", nullptr, "the updater has no patch for it and stops with message 53",
     "the updater cannot read a patch by that name and stops with message 53"},
    {"MOVE", "FROM", CountedList | PathItems},
    {"MOVE", "TO", PathItems | PairedItems | TransferTarget, "FROM", nullptr,
     "the updater cannot move it and stops with message 14",
     "a file is not moved onto a name that ends in a separator; the updater stops with message 14"},
    {"WAITAPP", "APP", CountedList | PathItems, nullptr, nullptr, nullptr,
     "no running program has a path that ends in a separator, so WAITAPP never waits for it"},
    {"WAITAPP", "TICK", NumberItems, "APP", "WAITAPP does not wait for that program at all"},
    {"APPEXIST", "APP", CountedList | PathItems, nullptr, nullptr, nullptr,
     "no running program has a path that ends in a separator, so the flag stays false"},
};

bool sameName(const char* a, const char* b) { return Text(a).equalsNoCase(b); }

std::string itemLabel(int index, const Text& item) {
    return "item " + std::to_string(index + 1) + ", " + quoted(item) + ",";
}

// "%d" skips any white space before a number; the reader has already taken it off the ends.
Text trimmedBlanks(const Text& text) {
    const std::string& s = text.str();
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return Text();
    return Text(s.substr(first, s.find_last_not_of(" \t") - first + 1));
}

bool endsWithSeparator(const Text& path) { return !path.empty() && path.str().back() == '\\'; }

class ValueChecker {
public:
    ValueChecker(const KeyRule& rule, const SectionValues& values, int line, Findings& findings)
        : rule_(rule), values_(values), line_(line), findings_(findings), value_(*values.value(rule.key)) {
        const Text* partner = rule.pairedWith ? values.value(rule.pairedWith) : nullptr;
        partner_ = partner;
        count_ = partner ? itemCount(*partner) : itemCount(value_);
    }

    void run() {
        const unsigned traits = rule_.traits;
        if (traits & CountedList) countedList();
        if (traits & PairedItems) pairedItems();
        if (traits & PathItems) pathItems();
        if (traits & NeedsDirectory) programDirectories();
        if (traits & TransferTarget) transferTargets();
        if (traits & HexItems) hexItems();
        if (traits & DigestItems) digestItems();
        if (traits & NumberItems) numberItems();
        if (traits & ShowStates) showStates();
        if (traits & RawNumber) rawNumber();
        if (traits & BoxType) boxType();
    }

private:
    void add(Severity severity, const std::string& message) {
        findings_.add(line_, severity, values_.section.str(), rule_.key, message);
    }

    void countedList() {
        if (itemCount(value_) == 0)
            add(Severity::Error,
                "is empty: the updater stops with message 4 when it reaches [" + values_.section.str() + "]");
    }

    void pairedItems() {
        const int own = itemCount(value_);
        if (!partner_ || own >= count_) return;
        add(Severity::Warning, "has " + std::to_string(own) + (own == 1 ? " item" : " items") + " for the " +
                                   std::to_string(count_) + " of " +
                                   rule_.pairedWith + ": item " + std::to_string(own + 1) + " of " + rule_.pairedWith +
                                   ", " + quoted(listItem(*partner_, own)) + ", has none here, so " + rule_.unpaired);
    }

    void pathItems() {
        const ItemList items(value_);
        for (int i = 0; i < items.count(); ++i) {
            const Text& item = items[i];
            if (item.countOf("/") > 0)
                add(Severity::Warning, itemLabel(i, item) +
                                           " is written with \"/\": the updater divides paths only at \"\\\" (for "
                                           "parent directories, patterns and working directories), so it takes the "
                                           "parts around \"/\" for one name");
            if (rule_.trailing && !(rule_.traits & TransferTarget) && endsWithSeparator(item))
                add(Severity::Warning, itemLabel(i, item) + " ends in a separator: " + rule_.trailing);
        }
    }

    void programDirectories() {
        const ItemList items(value_);
        for (int i = 0; i < items.count(); ++i) {
            const Text& item = items[i];
            Text directory;
            if (!item.empty() && !directoryOf(item, directory))
                add(Severity::Warning, itemLabel(i, item) + " has no directory: programs are started in their own "
                                                            "directory, so " + rule_.consequence);
        }
    }

    // A pattern's matches go into the directory before TO's last separator, and a single file
    // is copied onto TO itself; both surprise in their own way.
    void transferTargets() {
        if (!partner_) return;
        const ItemList froms(*partner_);
        const ItemList tos(value_);
        for (int i = 0; i < froms.count() && i < tos.count(); ++i) {
            const Text& from = froms[i];
            const Text& to = tos[i];
            if (to.empty()) continue;
            const bool pattern = from.field(-1, "\\").countOf("*") > 0;
            const Text last = to.field(-1, "\\");
            if (pattern && !last.empty() && last.countOf("*") == 0) {
                add(Severity::Warning, itemLabel(i, to) + " receives the matches of " + quoted(from) +
                                           " in " + quoted(parentPath(to)) +
                                           ": for a pattern the last part of TO is dropped; end TO with \"\\\" to "
                                           "mean the directory itself");
            } else if (!pattern && endsWithSeparator(to) && pathExists(from) && !isDirectory(from)) {
                add(Severity::Warning, itemLabel(i, to) + " ends in a separator while " + quoted(from) +
                                           " is a file: " + rule_.trailing);
            }
        }
    }

    void hexItems() {
        const ItemList items(value_);
        for (int i = 0; i < count_; ++i) {
            const Text& item = items[i];
            if (item.empty() && (rule_.traits & EmptyAllowed)) continue;
            if (!isHexWord(item))
                add(Severity::Warning, itemLabel(i, item) +
                                           " is not \"0x\" in lower case followed by hexadecimal digits: the "
                                           "updater reads it as 0, so " + rule_.consequence);
        }
    }

    void digestItems() {
        const ItemList items(value_);
        for (int i = 0; i < count_; ++i) {
            const Text& item = items[i];
            Digest digest{};
            if (item.empty() && (rule_.traits & EmptyAllowed)) continue;
            if (!digestFromHex(item.str(), digest))
                add(Severity::Warning, itemLabel(i, item) + " is not 64 hexadecimal digits (a SHA-256), so " +
                                           rule_.consequence);
        }
    }

    void numberItems() {
        const ItemList items(value_);
        for (int i = 0; i < count_; ++i) {
            const Text& item = items[i];
            if (!isDecimalNumber(item)) add(Severity::Warning, notANumber(itemLabel(i, item), item.toInt()));
        }
    }

    void showStates() {
        for (int i = 0; i < count_; ++i) {
            const Text item = value_.field(i, ",");
            const int state = item.toInt();
            if (!isDecimalNumber(item))
                add(Severity::Warning, notANumber(itemLabel(i, trimmedBlanks(item)), state));
            else if (state < 1 || state > 3)
                add(Severity::Warning,
                    itemLabel(i, trimmedBlanks(item)) + " is outside 1 to 3, so " + rule_.consequence);
        }
    }

    void rawNumber() {
        if (isDecimalNumber(value_)) return;
        std::string message = quoted(value_) + " is not a number";
        if (value_.countOf("<") > 0 || value_.countOf("{") > 0) message += " (this key is never expanded)";
        const int read = value_.toInt();
        message += ": the updater reads it as " + std::to_string(read);
        if (read == 0) message += std::string(", so ") + rule_.consequence;
        add(Severity::Warning, message);
    }

    void boxType() {
        if (msgBoxStyle(value_) == 0)
            add(Severity::Error, quoted(value_) + " is none of ERROR, INFORMATION, WARNING and QUESTION: the updater "
                                                  "stops with message 6 when the box is due");
    }

    std::string notANumber(const std::string& label, int read) const {
        std::string message = label + " is not a number: the updater reads it as " + std::to_string(read);
        if (read == 0 && rule_.consequence) message += std::string(", so ") + rule_.consequence;
        return message;
    }

    const KeyRule& rule_;
    const SectionValues& values_;
    int line_;
    Findings& findings_;
    const Text& value_;
    const Text* partner_ = nullptr;
    int count_ = 0;
};

}  // namespace

std::vector<const KeyRule*> keyRulesOf(const char* mode) {
    std::vector<const KeyRule*> rules;
    for (const KeyRule& rule : keyRules)
        if (sameName(rule.mode, mode)) rules.push_back(&rule);
    return rules;
}

const KeyRule* keyRuleOf(const char* mode, const char* key) {
    for (const KeyRule* rule : keyRulesOf(mode))
        if (sameName(rule->key, key)) return rule;
    return nullptr;
}

const Text* SectionValues::value(const char* key) const {
    for (const auto& [name, text] : values)
        if (sameName(name.c_str(), key)) return &text;
    return nullptr;
}

void checkKeyValues(const char* mode, const SectionValues& values, const std::function<int(const char* key)>& lineOf,
                    Findings& findings) {
    for (const KeyRule* rule : keyRulesOf(mode)) {
        if (!values.value(rule->key)) continue;  // a missing key has been reported as such
        ValueChecker(*rule, values, lineOf(rule->key), findings).run();
    }
}

std::string quoted(const std::string& value) { return "\"" + value + "\""; }
std::string quoted(const Text& value) { return quoted(value.str()); }

bool isDecimalNumber(const Text& text) {
    const std::string s = trimmedBlanks(text).str();
    size_t p = (!s.empty() && (s[0] == '+' || s[0] == '-')) ? 1 : 0;
    if (p >= s.size()) return false;
    for (; p < s.size(); ++p)
        if (s[p] < '0' || s[p] > '9') return false;
    return true;
}

bool isHexWord(const Text& text) {
    const std::string& s = text.str();
    if (s.size() < 3 || s.compare(0, 2, "0x") != 0) return false;
    for (size_t p = 2; p < s.size(); ++p)
        if (s[p] == '\0' || !std::strchr("0123456789abcdefABCDEF", s[p])) return false;
    return true;
}
