// The checker's findings: one script for each kind of fault, reported at its line with its
// severity, section and key and nothing else; and a clean script that gives nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "check/checker_cli.h"
#include "check/script_check.h"
#include "os/system.h"
#include "support/test_support.h"
#include "text/ascii.h"

namespace {

struct Expected {
    Severity severity;
    const char* section;
    const char* key;
    std::string lineText;  // the script line the finding must name; empty for none
    const char* says;      // a part of the message: what the updater would do
};

struct FaultCase {
    const char* fault;
    std::string script;
    std::vector<Expected> findings;
};

std::string updater(const std::string& sections, const std::string& proc = "A") {
    return "[UPDATER]\nNAME=Test\nPROC=" + proc + "\n" + sections;
}

// The number of the first line of `script` that is exactly `text`.
int lineOf(const std::string& script, const std::string& text) {
    if (text.empty()) return 0;
    std::istringstream lines(script);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number)
        if (line == text) return number;
    ADD_FAILURE() << "no line \"" << text << "\" in the script";
    return -1;
}

std::string describe(const Finding& f) {
    return std::to_string(f.line) + " " + severityName(f.severity) + " [" + f.section + "] " + f.key + ": " + f.message;
}

CheckResult checkText(const TempDir& dir, const std::string& script, const std::string& exe = "") {
    writeFile(dir / "patch.ini", script);
    return checkScript(nativePath(dir / "patch.ini"), exe);
}

const std::string longValue(32800, 'x');

// A script with ELEVATE at `elevate`, or without it for none, and the sections given.
std::string elevated(const char* elevate, const std::string& sections, const std::string& proc = "A") {
    return "[UPDATER]\nNAME=\nPROC=" + proc + "\n" + (elevate ? "ELEVATE=" + std::string(elevate) + "\n" : "") +
           sections;
}

std::string copyToProgramFiles(const std::string& section = "A") {
    return "[" + section + "]\nMODE=COPY\nFROM=<Src>\\new\nTO={?SpFolder\\0x26}\\App\n";
}

const std::vector<FaultCase>& faultCases() {
    // The Windows folder as this machine names it, in other letters than it names it.
    static const std::string windowsInCapitals = ascii::upperCase(os::windowsDirectory());
    static const std::vector<FaultCase> cases = {
        // Errors: the updater would stop with a message.
        {"a missing key of a command",
         updater("[A]\nMODE=COPY\nFROM=C:\\a.txt\n"),
         {{Severity::Error, "A", "TO", "[A]", "message 2"}}},
        {"a missing NAME of UPDATER",
         "[UPDATER]\nPROC=A\n[A]\nMODE=OSVER\n",
         {{Severity::Error, "UPDATER", "NAME", "[UPDATER]", "message 2 before it runs anything"}}},
        {"a missing PROC of UPDATER",
         "[UPDATER]\nNAME=Test\n[A]\nMODE=OSVER\n",
         {{Severity::Error, "UPDATER", "PROC", "[UPDATER]", "message 2"}}},
        {"no UPDATER section at all",
         "[A]\nMODE=OSVER\n",
         {{Severity::Error, "UPDATER", "NAME", "", "there is no section [UPDATER]"},
          {Severity::Error, "UPDATER", "PROC", "", "there is no section [UPDATER]"}}},
        {"a listed section that does not exist",
         updater("[A]\nMODE=OSVER\n", "A,B"),
         {{Severity::Error, "B", "MODE", "PROC=A,B", "there is no section [B]"}}},
        {"a section without MODE",
         updater("[A]\nFILE=C:\\x\n"),
         {{Severity::Error, "A", "MODE", "[A]", "message 2 before any command of the main list runs"}}},
        {"a key line without \"=\"",
         updater("[A]\nMODE=DELETE\nFILE\n"),
         {{Severity::Error, "A", "FILE", "FILE", "has no \"=\""}}},
        {"a value equal to NO_DATA in another letter case",
         updater("[A]\nMODE=MSGBOX\nFLAG=\nTYPE=ERROR\nTEXT=No_Data\nISABORT=\n"),
         {{Severity::Error, "A", "TEXT", "TEXT=No_Data", "reads as a missing key"}}},
        {"an unknown MODE",
         updater("[A]\nMODE=REBOOT\n"),
         {{Severity::Error, "A", "MODE", "MODE=REBOOT", "message 6"}}},
        {"an unknown MSGBOX TYPE",
         updater("[A]\nMODE=MSGBOX\nFLAG=\nTYPE=NOTICE\nTEXT=x\nISABORT=\n"),
         {{Severity::Error, "A", "TYPE", "TYPE=NOTICE", "message 6"}}},
        {"a FLAG naming no command of its list",
         updater("[A]\nMODE=MSGBOX\nFLAG=Gone,1\nTYPE=ERROR\nTEXT=x\nISABORT=\n"),
         {{Severity::Error, "A", "FLAG", "FLAG=Gone,1", "message 6"}}},
        {"a SWITCH PROC naming no command of its list",
         updater("[A]\nMODE=SWITCH\nPROC=Gone\n0=\n1=\n"),
         {{Severity::Error, "A", "PROC", "PROC=Gone", "message 6"}}},
        {"a FLAG naming a command of the outer list only",
         updater("[A]\nMODE=OSVER\n[S]\nMODE=SWITCH\nPROC=A\n0=\n1=B\n"
                 "[B]\nMODE=MSGBOX\nFLAG=A,1\nTYPE=ERROR\nTEXT=x\nISABORT=\n",
                 "A,S"),
         {{Severity::Error, "B", "FLAG", "FLAG=A,1", "names no command of its list"}}},
        {"an empty list key",
         updater("[A]\nMODE=DELETE\nFILE=\n"),
         {{Severity::Error, "A", "FILE", "FILE=", "message 4"}}},
        {"an empty PROC",
         updater("[A]\nMODE=OSVER\n", ""),
         {{Severity::Error, "UPDATER", "PROC", "PROC=", "message 4"}}},
        {"an empty element of the main list",
         updater("[A]\nMODE=OSVER\n", "A,,A"),
         {{Severity::Error, "UPDATER", "PROC", "PROC=A,,A", "item 2"}}},
        {"an empty element of a branch list",
         updater("[A]\nMODE=OSVER\n[S]\nMODE=SWITCH\nPROC=A\n0=\n1=A,\n", "A,S"),
         {{Severity::Error, "S", "1", "1=A,", "when [S] takes branch 1"}}},
        {"a SWITCH that tests its own flag",
         updater("[A]\nMODE=SWITCH\nPROC = A\n0=\n1=\n"),
         {{Severity::Warning, "A", "PROC", "PROC = A", "names [A] itself"}}},
        {"a cycle of SWITCH lists",
         updater("[A]\nMODE=OSVER\n[S]\nMODE=SWITCH\nPROC=A\n0=\n1=a , s\n", "A,S"),
         {{Severity::Error, "S", "1", "1=a , s", "message 11"}}},

        // Warnings: the updater goes on, but likely not as meant.
        {"a CRC written with an upper-case 0X",
         updater("[A]\nMODE=CRC\nFILE=C:\\a.dll\nTYPE=AND\nCRC=0X1F\n"),
         {{Severity::Warning, "A", "CRC", "CRC=0X1F", "reads it as 0"}}},
        {"a HASH that is not 64 digits",
         updater("[A]\nMODE=HASH\nFILE=C:\\a.dll\nTYPE=AND\nHASH=0x1f\n"),
         {{Severity::Warning, "A", "HASH", "HASH=0x1f", "never matches"}}},
        {"a PATCH file without its patch",
         updater("[A]\nMODE=PATCH\nFILE=C:\\a.dll,C:\\b.dll\nDIFF=C:\\a.patch\n"),
         {{Severity::Warning, "A", "DIFF", "DIFF=C:\\a.patch", "message 53"}}},
        {"an ATTR word without 0x",
         updater("[A]\nMODE=ATTR\nFILE=C:\\a.txt\nARG=20\n"),
         {{Severity::Warning, "A", "ARG", "ARG=20", "reads it as 0"}}},
        {"an ATTR list shorter than its files",
         updater("[A]\nMODE=ATTR\nFILE=C:\\a.txt,C:\\b.txt\nARG=0x20\n"),
         {{Severity::Warning, "A", "ARG", "ARG=0x20", "item 2"}}},
        {"a TICK that is not a number",
         updater("[A]\nMODE=WAITAPP\nAPP=C:\\app.exe\nTICK=ten\n"),
         {{Severity::Warning, "A", "TICK", "TICK=ten", "does not wait"}}},
        {"an ISWAIT that is not a number",
         updater("[A]\nMODE=LAUNCH\nFILE=C:\\setup.exe\nPARAM=\nISWAIT=yes\n"),
         {{Severity::Warning, "A", "ISWAIT", "ISWAIT=yes", "reads it as 0"}}},
        {"an ISWAIT written as a symbol, which is never expanded",
         updater("[DEFINE]\n<Wait>=1\n[A]\nMODE=LAUNCH\nFILE=C:\\setup.exe\nPARAM=\nISWAIT=<Wait>\n"),
         {{Severity::Warning, "A", "ISWAIT", "ISWAIT=<Wait>", "never expanded"}}},
        {"a SHOWCMD that is not a number",
         updater("[A]\nMODE=LINK\nSRC=C:\\app.exe\nPARAM=\nSHOWCMD=max\nDST=C:\\Links\\App\n"),
         {{Severity::Warning, "A", "SHOWCMD", "SHOWCMD=max", "not a number"}}},
        {"a SHOWCMD outside 1 to 3",
         updater("[A]\nMODE=LINK\nSRC=C:\\app.exe\nPARAM=\nSHOWCMD=7\nDST=C:\\Links\\App\n"),
         {{Severity::Warning, "A", "SHOWCMD", "SHOWCMD=7", "outside 1 to 3"}}},
        {"a symbol reference that names no symbol",
         updater("[A]\nMODE=EXIST\nFILE=<Sorce>\\a.txt\n"),
         {{Severity::Warning, "A", "FILE", "FILE=<Sorce>\\a.txt", "names no symbol"}}},
        {"an operator group the updater does not know",
         updater("[A]\nMODE=EXIST\nFILE={?AppDir\\app.exe}\\a.txt\n"),
         {{Severity::Warning, "A", "FILE", "FILE={?AppDir\\app.exe}\\a.txt", "stays in the value"}}},
        {"a special folder number without 0x",
         updater("[A]\nMODE=EXIST\nFILE={?SpFolder\\26}\\a.txt\n"),
         {{Severity::Warning, "A", "FILE", "FILE={?SpFolder\\26}\\a.txt", "folder 0"}}},
        {"a DEFINE entry that refers to a later entry",
         updater("[DEFINE]\n<Data>=<Base>\\Data\n<Base>=<Src>\\Tool\n[A]\nMODE=OSVER\n"),
         {{Severity::Warning, "DEFINE", "<Data>", "<Data>=<Base>\\Data", "which comes later (line 6)"}}},
        {"a DEFINE entry that refers to itself",
         updater("[DEFINE]\n<Dir>=<Dir>\\sub\n[A]\nMODE=OSVER\n"),
         {{Severity::Warning, "DEFINE", "<Dir>", "<Dir>=<Dir>\\sub", "refers to itself"}}},
        {"a reference left unexpanded because of the DEFINE order",
         updater("[DEFINE]\n<Data>=<Base>\\Data\n<Base>=<Src>\\Tool\n[A]\nMODE=EXIST\nFILE=<Data>\n"),
         {{Severity::Warning, "DEFINE", "<Data>", "<Data>=<Base>\\Data", "comes later"},
          {Severity::Warning, "A", "FILE", "FILE=<Data>", "\"<Src>\" is left unexpanded"}}},
        {"a FLAG naming a command that comes later",
         updater("[B]\nMODE=MSGBOX\nFLAG=A,1\nTYPE=ERROR\nTEXT=x\nISABORT=\n[A]\nMODE=OSVER\n", "B,A"),
         {{Severity::Warning, "B", "FLAG", "FLAG=A,1", "the box never shows"}}},
        {"a SWITCH naming a command that comes later",
         updater("[B]\nMODE=SWITCH\nPROC=A\n0=\n1=\n[A]\nMODE=OSVER\n", "B,A"),
         {{Severity::Warning, "B", "PROC", "PROC=A", "always runs branch 0"}}},
        {"FROM with more items than TO",
         updater("[A]\nMODE=MOVE\nFROM=C:\\a.txt,C:\\b.txt\nTO=C:\\x\\a.txt\n"),
         {{Severity::Warning, "A", "TO", "TO=C:\\x\\a.txt", "message 14"}}},
        {"a LAUNCH FILE without a directory",
         updater("[A]\nMODE=LAUNCH\nFILE=setup.exe\nPARAM=/quiet\nISWAIT=1\n"),
         {{Severity::Warning, "A", "FILE", "FILE=setup.exe", "message 9"}}},
        {"a value cut at the reader's size",
         updater("[A]\nMODE=EXIST\nFILE=C:\\" + longValue + "\n"),
         {{Severity::Warning, "A", "FILE", "FILE=C:\\" + longValue, "first 32767"}}},
        {"a DELETE item with a trailing separator",
         updater("[A]\nMODE=DELETE\nFILE=C:\\Old\\\n"),
         {{Severity::Warning, "A", "FILE", "FILE=C:\\Old\\", "leaves it in place"}}},
        {"a pattern copied to a TO whose last part is dropped",
         updater("[A]\nMODE=COPY\nFROM=C:\\src\\*.txt\nTO=C:\\dst\n"),
         {{Severity::Warning, "A", "TO", "TO=C:\\dst", "\"C:\""}}},
        {"a single file copied to a TO that ends in a separator",
         updater("[A]\nMODE=COPY\nFROM=<Src>\\patch.ini\nTO=C:\\dst\\\n"),
         {{Severity::Warning, "A", "TO", "TO=C:\\dst\\", "message 8"}}},
        {"a path written with \"/\"",
         updater("[A]\nMODE=MAKEDIR\nDIR=C:\\App/data\n"),
         {{Severity::Warning, "A", "DIR", "DIR=C:\\App/data", "\"/\""}}},
        {"a section that nothing names",
         updater("[A]\nMODE=OSVER\n[Old]\nMODE=OSVER\n"),
         {{Severity::Warning, "Old", "", "[Old]", "never reads it"}}},
        {"a second section of a name already used",
         updater("[A]\nMODE=OSVER\n[a]\nMODE=REBOOT\n"),
         {{Severity::Warning, "a", "", "[a]", "reads only that one"}}},
        {"a log that is no full path",
         "[UPDATER]\nNAME=\nPROC=A\nLOG=update.log\n[A]\nMODE=OSVER\n",
         {{Severity::Warning, "UPDATER", "LOG", "LOG=update.log", "whatever folder"}}},
        {"an empty LOG",
         "[UPDATER]\nNAME=\nPROC=A\nLOG=\n[A]\nMODE=OSVER\n",
         {{Severity::Warning, "UPDATER", "LOG", "LOG=", "no log"}}},
        {"a LAUNCH with steps after it in a run that can be undone",
         "[UPDATER]\nNAME=\nPROC=L,A\nROLLBACK=1\n[L]\nMODE=LAUNCH\nFILE=C:\\x\\setup.exe\nPARAM=\nISWAIT=1\n"
         "[A]\nMODE=OSVER\n",
         {{Severity::Warning, "L", "FILE", "FILE=C:\\x\\setup.exe", "not what a program it starts does"}}},
        {"a ROLLBACK that is neither 0 nor 1",
         "[UPDATER]\nNAME=\nPROC=A\nROLLBACK=yes\n[A]\nMODE=OSVER\n",
         {{Severity::Warning, "UPDATER", "ROLLBACK", "ROLLBACK=yes", "reads it as 0"}}},
        {"a PROGRESS that is neither 0 nor 1",
         "[UPDATER]\nNAME=\nPROC=A\nPROGRESS=2\n[A]\nMODE=OSVER\n",
         {{Severity::Warning, "UPDATER", "PROGRESS", "PROGRESS=2", "reads it as 1 and shows the progress"}}},

        // Administrator rights: a note where the updater asks for them, a warning where it does not.
        {"a COPY into Program Files without ELEVATE",
         elevated(nullptr, copyToProgramFiles()),
         {{Severity::Note, "A", "TO", "TO={?SpFolder\\0x26}\\App", "the updater asks for them at start"}}},
        {"a COPY into Program Files with ELEVATE=1",
         elevated("1", copyToProgramFiles()),
         {{Severity::Note, "A", "TO", "TO={?SpFolder\\0x26}\\App", "ELEVATE=1, so the updater asks"}}},
        {"a COPY into Program Files with ELEVATE=0",
         elevated("0", copyToProgramFiles()),
         {{Severity::Warning, "A", "TO", "TO={?SpFolder\\0x26}\\App",
           "never asks for administrator rights; unless it is started as administrator, it stops with message 8"}}},
        {"a COPY into the updater's own folder",
         elevated(nullptr, "[A]\nMODE=COPY\nFROM=<Src>\\new\nTO=<Src>\\App\n"),
         {}},
        {"a MOVE out of the system folder",
         elevated(nullptr, "[A]\nMODE=MOVE\nFROM=<Sys>\\old.dll\nTO=<Src>\\old.dll\n"),
         {{Severity::Note, "A", "FROM", "FROM=<Sys>\\old.dll", "the system folder"}}},
        {"a DELETE in the Windows folder written in other letters",
         elevated(nullptr, "[A]\nMODE=DELETE\nFILE=" + windowsInCapitals + "\\App\\*.tmp\n"),
         {{Severity::Note, "A", "FILE", "FILE=" + windowsInCapitals + "\\App\\*.tmp", "the Windows folder"}}},
        // A branch is loaded only when its SWITCH runs, but the rights are asked for at start.
        {"a branch into Program Files when the main list needs no rights",
         elevated(nullptr, "[A]\nMODE=OSVER\n[S]\nMODE=SWITCH\nPROC=A\n0=\n1=B\n" + copyToProgramFiles("B"), "A,S"),
         {{Severity::Note, "B", "TO", "TO={?SpFolder\\0x26}\\App", "the updater asks for them at start"}}},
        // A slip is not taken for "never": a value that is no number reads as no ELEVATE.
        {"an ELEVATE that is no number",
         elevated("yes", "[A]\nMODE=OSVER\n"),
         {{Severity::Warning, "UPDATER", "ELEVATE", "ELEVATE=yes", "reads it as absent and asks for administrator"}}},
        {"an empty ELEVATE",
         elevated("", "[A]\nMODE=OSVER\n"),
         {{Severity::Warning, "UPDATER", "ELEVATE", "ELEVATE=", "reads it as absent and asks for administrator"}}},
        {"an ELEVATE of another number",
         elevated("2", "[A]\nMODE=OSVER\n"),
         {{Severity::Warning, "UPDATER", "ELEVATE", "ELEVATE=2", "reads it as 1 and asks"}}},
    };
    return cases;
}

TEST(Findings, EachFaultIsReportedAtItsLineAndAlone) {
    for (const FaultCase& c : faultCases()) {
        SCOPED_TRACE(c.fault);
        TempDir dir;
        const CheckResult result = checkText(dir, c.script);
        ASSERT_TRUE(result.readable);
        const std::vector<Finding> found = result.findings.sorted();
        std::string all;
        for (const Finding& f : found) all += describe(f) + "\n";
        EXPECT_EQ(found.size(), c.findings.size()) << all;
        for (const Expected& e : c.findings) {
            const int line = lineOf(c.script, e.lineText);
            bool matched = false;
            for (const Finding& f : found)
                matched = matched || (f.line == line && f.severity == e.severity && f.section == e.section &&
                                      f.key == e.key && f.message.find(e.says) != std::string::npos);
            EXPECT_TRUE(matched) << "expected " << line << " " << severityName(e.severity) << " [" << e.section << "] "
                                 << e.key << " saying \"" << e.says << "\"; found:\n"
                                 << all;
        }
    }
}

// Every kind of command, each written as it should be: the checker has nothing to say.
const char* const cleanScript = R"(; every kind of command, written as the reference describes
[UPDATER]
NAME=Demo Updater
PROC=WaitOld,Check,Branch,Done
ELEVATE=1

[DEFINE]
<App>={?AppPath\demo.exe}
<Data>=<App>\data

[WaitOld]
MODE=WAITAPP
APP=<App>\demo.exe
TICK=10000

[Check]
MODE=EXIST
FILE=<App>\demo.exe

[Branch]
MODE=SWITCH
PROC=Check
0=Missing
1=Running,Update

[Missing]
MODE=MSGBOX
FLAG=
TYPE=ERROR
TEXT=Demo is not installed.%nNothing was changed.
ISABORT=1,1

[Running]
MODE=APPEXIST
APP=<App>\demo.exe

[Update]
MODE=SWITCH
PROC=Running
0=Tidy,Place,Copy,Move,Attr,Verify,Dated,Platform,Start,Link
1=Missing

[Tidy]
MODE=DELETE
FILE=<Data>\cache\*.tmp,<App>\old.dll

[Place]
MODE=MAKEDIR
DIR=<Data>\logs

[Copy]
MODE=COPY
FROM=<Src>\new,<Src>\extra\*.txt
TO=<App>,<App>\docs\

[Move]
MODE=move
FROM=<App>\settings.ini
TO=<Data>\settings.ini

[Attr]
MODE=ATTR
FILE=<Data>\settings.ini
ARG=0x20

[Verify]
MODE=CRC
FILE=<App>\demo.exe,<App>\demo.dll
TYPE=AND
CRC=0x1f2e3d4c,

[Dated]
MODE=DATE
FILE=<App>\demo.exe
DATE=2024/01/31

[Platform]
MODE=OSVER

[Start]
MODE=LAUNCH
FILE=<App>\setup.exe
PARAM=/quiet
ISWAIT=1

[Link]
MODE=LINK
SRC=<App>\demo.exe
PARAM=
SHOWCMD=1
DST=<Programs>\Demo\Demo

[Done]
MODE=MSGBOX
FLAG=Check,1
TYPE=information
TEXT=Demo is up to date.
ISABORT=0,0
)";

// Its shortcut goes into the all-users Programs menu from a branch: the rights that needs
// are no fault, only a note, kept out of the faults' output.
TEST(Findings, ACleanScriptGivesNoFaultAndExitsWithZero) {
    TempDir dir;
    writeFile(dir / "patch.ini", cleanScript);
    std::ostringstream out, err;
    EXPECT_EQ(runChecker({nativePath(dir / "patch.ini")}, out, err), 0);
    EXPECT_EQ(out.str(), "");
    const std::string notes = err.str();
    const std::string note = nativePath(dir / "patch.ini") + ":" +
                             std::to_string(lineOf(cleanScript, "DST=<Programs>\\Demo\\Demo")) +
                             ": note: [Link] DST: ";
    EXPECT_EQ(notes.rfind(note, 0), 0u) << notes;
    EXPECT_NE(notes.find("the all-users Programs menu"), std::string::npos) << notes;
    EXPECT_EQ(std::count(notes.begin(), notes.end(), '\n'), 1) << notes;
}

TEST(Findings, EveryCountedListStopsTheRunWhenEmpty) {
    struct Case {
        const char* mode;
        const char* keys;  // the section without MODE, the counted key left empty
        const char* key;
    };
    const Case cases[] = {
        {"EXIST", "FILE=\n", "FILE"},
        {"DATE", "FILE=\nDATE=2024/1/1\n", "FILE"},
        {"COPY", "FROM=\nTO=C:\\x\n", "FROM"},
        {"MOVE", "FROM=\nTO=C:\\x\n", "FROM"},
        {"LAUNCH", "FILE=\nPARAM=\nISWAIT=0\n", "FILE"},
        {"DELETE", "FILE=\n", "FILE"},
        {"LINK", "SRC=\nPARAM=\nSHOWCMD=1\nDST=C:\\x\n", "SRC"},
        {"MAKEDIR", "DIR=\n", "DIR"},
        {"ATTR", "FILE=\nARG=0x1\n", "FILE"},
        {"CRC", "FILE=\nTYPE=AND\nCRC=0x1\n", "FILE"},
        {"WAITAPP", "APP=\nTICK=1\n", "APP"},
        {"APPEXIST", "APP=\n", "APP"},
        {"HASH", "FILE=\nTYPE=AND\nHASH=\n", "FILE"},
        {"PATCH", "FILE=\nDIFF=\n", "FILE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        TempDir dir;
        const std::string script = updater(std::string("[A]\nMODE=") + c.mode + "\n" + c.keys);
        const std::vector<Finding> found = checkText(dir, script).findings.sorted();
        ASSERT_EQ(found.size(), 1u) << (found.empty() ? "" : describe(found[0]));
        EXPECT_EQ(found[0].severity, Severity::Error);
        EXPECT_EQ(found[0].key, c.key);
        EXPECT_EQ(found[0].line, lineOf(script, std::string(c.key) + "="));
        EXPECT_NE(found[0].message.find("message 4"), std::string::npos) << found[0].message;
    }
}

TEST(Findings, EveryMissingKeyOfASectionIsReportedNotOnlyTheFirst) {
    TempDir dir;
    const std::string script = updater("[A]\nMODE=MSGBOX\nTEXT=x\n");
    std::vector<std::string> keys;
    for (const Finding& f : checkText(dir, script).findings.sorted()) {
        EXPECT_EQ(f.line, 4);
        keys.push_back(f.key);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"FLAG", "TYPE", "ISABORT"}));
}

TEST(Findings, ASectionInTwoListsIsReportedOnce) {
    TempDir dir;
    const std::string script =
        updater("[A]\nMODE=OSVER\n[S]\nMODE=SWITCH\nPROC=A\n0=B\n1=B,A\n[B]\nMODE=COPY\nFROM=C:\\a\n", "A,S");
    const std::vector<Finding> found = checkText(dir, script).findings.sorted();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].key, "TO");
    EXPECT_NE(found[0].message.find("when [S] takes branch 0"), std::string::npos) << found[0].message;
}

TEST(Findings, SrcIsTheExecutablesDirectory) {
    TempDir dir;
    const std::string script = updater("[A]\nMODE=COPY\nFROM=<Src>\\patch.ini\nTO=C:\\dst\\\n");
    // Given elsewhere, the executable's directory no longer holds the script, which is then no file.
    EXPECT_EQ(checkText(dir, script, "C:\\Elsewhere\\patch.exe").findings.sorted().size(), 0u);
    EXPECT_EQ(checkText(dir, script).findings.sorted().size(), 1u);
}

}  // namespace
