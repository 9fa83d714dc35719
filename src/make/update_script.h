// The script of a made update: plain INI a vendor can read and edit. It refuses a machine
// that does not hold the old version before anything changes (HASH of every file it patches
// or deletes, then a box), then deletes, patches, copies and makes directories, all undone
// together if any step fails (ROLLBACK=1).
#pragma once

#include <string>
#include <vector>

struct UpdateContents {
    std::string caption;  // NAME; empty: none
    std::string target;   // where the script finds the installed application
    struct Checked {
        std::string path;  // below the target
        std::string hash;  // the old version's SHA-256, 64 hexadecimal digits
    };
    std::vector<Checked> checked;
    std::vector<std::string> deleted;  // files and whole directories
    std::vector<std::string> patched;  // each has payload\patches\<path>
    std::vector<std::string> copied;   // each has payload\files\<path>
    std::vector<std::string> madeDirectories;
};

// The folder of the payload beside the script, and its two parts.
constexpr const char* PayloadFolder = "payload";
constexpr const char* PatchesFolder = "patches";
constexpr const char* FilesFolder = "files";

// The script's bytes: UTF-8 with its mark, CRLF line ends. False when its main list would be
// longer than a value may be (tens of thousands of files in one update).
bool updateScript(const UpdateContents& contents, std::string& out);

// Whether a path below the target can be written in a list of the script: no comma (the list
// separator), no symbol or operator group brackets, no quote, no control character (a line
// break would end the value), no blank at either end of an element.
bool scriptCanName(const std::string& path);
