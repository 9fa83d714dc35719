// IniFile: reads INI text with the rules of the Windows profile functions, down to their
// quirks. Only portable C++ belongs here; the file itself is opened by the OS layer.
#include "text/ini_file.h"

#include <cstdint>

#include "text/ascii.h"

namespace {

// The profile functions count exactly these as blanks; 0x1A is the old end-of-file mark.
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == '\x1A';
}

std::string_view trimLeft(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    return s;
}

std::string_view trimRight(std::string_view s) {
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::string_view trim(std::string_view s) { return trimRight(trimLeft(s)); }

// Names and values are C strings to the profile functions: a NUL byte ends them, but only
// after the line has been trimmed as a whole.
std::string_view beforeNul(std::string_view s) { return s.substr(0, s.find('\0')); }


// The value as the string reader copies it into a buffer of `size` bytes: one pair of
// enclosing quotes (double or single) removed, but only when the whole quoted value fits;
// otherwise the cut value keeps its opening quote stripped and its end as it falls.
std::string copyValue(std::string_view value, unsigned size) {
    bool quoted = false;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        quoted = true;
        value.remove_prefix(1);
    }
    std::string out(value.substr(0, size - 1));
    if (quoted && size >= value.size() && !out.empty()) out.pop_back();
    return out;
}

// Only spaces are taken off the end of a default, and never its first byte.
std::string_view trimFallback(std::string_view fallback) {
    fallback = beforeNul(fallback);
    while (fallback.size() > 1 && fallback.back() == ' ') fallback.remove_suffix(1);
    return fallback;
}

}  // namespace

IniFile::IniFile(std::string_view text) {
    sections_.push_back({"", 0, {}, {}});
    firstSection_.emplace("", 0);
    const std::string_view all(text);
    size_t pos = 0;
    int lineNumber = 0;
    while (pos < all.size()) {
        size_t end = all.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = all.size();
        const std::string_view line = trim(all.substr(pos, end - pos));
        ++lineNumber;
        pos = end;
        if (pos < all.size()) pos += (all[pos] == '\r' && pos + 1 < all.size() && all[pos + 1] == '\n') ? 2 : 1;
        if (line.empty()) continue;

        if (line.front() == '[') {
            const size_t close = line.rfind(']');
            if (close != std::string_view::npos) {
                sections_.push_back({std::string(beforeNul(trim(line.substr(1, close - 1)))), lineNumber, {}, {}});
                firstSection_.try_emplace(ascii::upperCase(sections_.back().name), sections_.size() - 1);
                continue;
            }
        }

        const size_t equals = line.find('=');
        const std::string_view name = equals == std::string_view::npos ? line : trimRight(line.substr(0, equals));
        std::optional<std::string> value;
        if (equals != std::string_view::npos) value = std::string(beforeNul(trimLeft(line.substr(equals + 1))));
        IniSection& current = sections_.back();
        // The Windows reader folds a run of nameless lines into the first one, so that only
        // that one is ever listed.
        if (name.empty() && !current.entries.empty() && current.entries.back().name.empty()) continue;
        current.entries.push_back({std::string(beforeNul(name)), std::move(value), lineNumber});
        current.firstEntry.try_emplace(ascii::upperCase(current.entries.back().name), current.entries.size() - 1);
    }
}

const IniSection* IniFile::findSection(std::string_view name) const {
    const auto found = firstSection_.find(ascii::upperCase(beforeNul(name)));
    return found == firstSection_.end() ? nullptr : &sections_[found->second];
}

const IniEntry* IniFile::findEntry(std::string_view section, std::string_view key) const {
    const IniSection* found = findSection(trim(beforeNul(section)));
    if (!found) return nullptr;
    const auto entry = found->firstEntry.find(ascii::upperCase(trim(beforeNul(key))));
    return entry == found->firstEntry.end() ? nullptr : &found->entries[entry->second];
}

std::string IniFile::profileString(std::string_view section, std::string_view key, std::string_view fallback,
                                   unsigned size) const {
    if (size == 0) return {};
    const IniEntry* entry = findEntry(section, key);
    // A line without "=" is found but has no value, so it reads as missing.
    if (entry && entry->value) return copyValue(*entry->value, size);
    return copyValue(trimFallback(fallback), size);
}

std::vector<std::string> IniFile::profileSection(std::string_view section, unsigned size) const {
    const IniSection* found = findSection(section);
    if (!found || size < 2) return {};
    std::string buffer;
    for (const IniEntry& entry : found->entries) {
        if (entry.name.empty() && !entry.value) continue;
        if (!entry.name.empty() && entry.name.front() == ';') continue;
        buffer += entry.name;
        if (entry.value) buffer += '=' + *entry.value;
        buffer += '\0';
    }
    buffer += '\0';
    // An overflowing list keeps its first size - 2 bytes and gets the two closing NULs.
    if (buffer.size() > size) {
        buffer.resize(size - 2);
        buffer.append(2, '\0');
    }
    std::vector<std::string> entries;
    for (size_t pos = 0; pos < buffer.size() && buffer[pos] != '\0';) {
        const size_t end = buffer.find('\0', pos);
        entries.emplace_back(buffer, pos, end - pos);
        pos = end + 1;
    }
    return entries;
}

std::string profileStringWithoutFile(std::string_view fallback, unsigned size) {
    if (size == 0) return {};
    return std::string(trimFallback(fallback).substr(0, size - 1));
}
