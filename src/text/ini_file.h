// IniFile: the script's INI text taken apart the way the Windows profile functions read it,
// with the line of every section and entry. Pure C++ without system calls, for both builds.
// The script is parsed once per run, so every lookup here runs on the parsed sections.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct IniEntry {
    std::string name;                  // blanks trimmed; ends at a NUL byte
    std::optional<std::string> value;  // after the first "=", blanks trimmed; none without "="
    int line;                          // 1-based
};

struct IniSection {
    std::string name;  // between "[" and the last "]", blanks trimmed
    int line;          // of the header; 0 for the unnamed section of the lines before any header
    std::vector<IniEntry> entries;
    // The first entry of each name, by its upper-case name.
    std::unordered_map<std::string, size_t> firstEntry;
};

class IniFile {
public:
    // `text` is the whole file, decoded (script_encoding.h).
    explicit IniFile(std::string_view text);

    // In file order. The first is always the unnamed section of the lines before any header.
    const std::vector<IniSection>& sections() const { return sections_; }

    // The first section of that name, letter case aside, or none.
    const IniSection* findSection(std::string_view name) const;
    // The first entry named `key` in the first section named `section`, or none. Both names
    // are trimmed of blanks first, as GetPrivateProfileStringA does with its arguments.
    const IniEntry* findEntry(std::string_view section, std::string_view key) const;

    // What GetPrivateProfileStringA(section, key, fallback, buffer, size) leaves in its buffer.
    std::string profileString(std::string_view section, std::string_view key, std::string_view fallback,
                              unsigned size) const;
    // The strings GetPrivateProfileSectionA(section, buffer, size) leaves in its buffer, up to
    // the empty one that ends the list. A cut section ends with the cut entry.
    std::vector<std::string> profileSection(std::string_view section, unsigned size) const;

private:
    std::vector<IniSection> sections_;
    // The first section of each name, by its upper-case name: a script of many sections is
    // looked up in constant time, not searched from its start for every key.
    std::unordered_map<std::string, size_t> firstSection_;
};

// What GetPrivateProfileStringA gives when the file cannot be opened at all: the fallback,
// cut to size - 1 bytes, with its quotes kept.
std::string profileStringWithoutFile(std::string_view fallback, unsigned size);
