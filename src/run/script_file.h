// The script, read and parsed once per run, and the raw readers over it: a key as text, a key
// as an integer, a whole section. They report nothing themselves; the key readers built on
// them do.
#pragma once

#include <string>

#include "os/result.h"
#include "text/ini_file.h"
#include "text/script_encoding.h"
#include "text/text.h"

// The longest value a key gives; a longer one is cut here, as the profile functions cut it.
constexpr unsigned MaxValueBytes = 32767;

class Script {
public:
    // Reads and decodes the file at `path`. A missing file in a directory that exists reads
    // as an empty script, as the profile functions read it; anything else that keeps it from
    // being read (no such directory, a directory, a pipe or a device) fails, and leaves the
    // script empty too.
    os::Result load(const std::string& path);
    // Takes a script from its file's bytes, whatever their encoding.
    void parse(std::string_view bytes);

    ScriptEncoding encoding() const { return encoding_; }
    // True when the file holds a byte above ASCII, which the encoding decides the meaning of.
    bool holdsNonAscii() const { return nonAscii_; }
    const IniFile& ini() const { return ini_; }

    // The value of `key` in `section`. False, with `out` unchanged, when the key or the
    // section is missing or the value is "NO_DATA" in any letter case.
    bool readString(const char* section, const char* key, Text& out) const;
    // The same key read by "%d". A value that does not start with a number leaves `out`
    // unchanged and still counts as read.
    bool readInt(const char* section, const char* key, int& out) const;
    // Appends the entries of `section`, comment entries (";") left out, to `out`, joined by
    // "\n"; returns how many were appended. A missing or empty section leaves `out` untouched.
    int readSection(const char* section, Text& out) const;

private:
    IniFile ini_{""};
    ScriptEncoding encoding_ = ScriptEncoding::Ansi;
    bool nonAscii_ = false;
};
