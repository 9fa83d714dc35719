// updater-check as its users meet it: the compiler-style lines, the JSON (parsed here by a
// validator of our own, so that both builds check it), the plan, the exit status, and a disk
// left as it was.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "check/checker_cli.h"
#include "run/symbols.h"
#include "support/test_support.h"

namespace {

// A strict reader of JSON text (RFC 8259): true only for one complete, well-formed value.
class JsonValidator {
public:
    explicit JsonValidator(const std::string& text) : s_(text) {}

    bool valid() {
        if (!value()) return false;
        space();
        return pos_ == s_.size();
    }

private:
    bool value() {
        space();
        if (pos_ >= s_.size()) return false;
        switch (s_[pos_]) {
            case '{': return object();
            case '[': return array();
            case '"': return string();
            case 't': return literal("true");
            case 'f': return literal("false");
            case 'n': return literal("null");
            default: return number();
        }
    }

    bool object() {
        ++pos_;
        space();
        if (take('}')) return true;
        do {
            space();
            if (!string()) return false;
            space();
            if (!take(':') || !value()) return false;
            space();
        } while (take(','));
        return take('}');
    }

    bool array() {
        ++pos_;
        space();
        if (take(']')) return true;
        do {
            if (!value()) return false;
            space();
        } while (take(','));
        return take(']');
    }

    bool string() {
        if (!take('"')) return false;
        while (pos_ < s_.size()) {
            const auto c = static_cast<unsigned char>(s_[pos_++]);
            if (c == '"') return true;
            if (c < 0x20) return false;
            if (c == '\\') {
                if (pos_ >= s_.size()) return false;
                const char e = s_[pos_++];
                if (e == 'u') {
                    for (int k = 0; k < 4; ++k)
                        if (pos_ >= s_.size() || !std::isxdigit(static_cast<unsigned char>(s_[pos_++]))) return false;
                } else if (!std::strchr("\"\\/bfnrt", e) || e == '\0') {
                    return false;
                }
            } else if (c >= 0x80 && !utf8Rest(c)) {
                return false;
            }
        }
        return false;
    }

    bool utf8Rest(unsigned char lead) {
        const int more = lead >= 0xC2 && lead <= 0xDF   ? 1
                         : lead >= 0xE0 && lead <= 0xEF ? 2
                         : lead >= 0xF0 && lead <= 0xF4 ? 3
                                                        : -1;
        if (more < 0) return false;
        for (int k = 0; k < more; ++k)
            if (pos_ >= s_.size() || (static_cast<unsigned char>(s_[pos_++]) & 0xC0) != 0x80) return false;
        return true;
    }

    bool number() {
        take('-');
        if (take('0')) {
        } else if (!digits()) {
            return false;
        }
        if (take('.') && !digits()) return false;
        if (take('e') || take('E')) {
            if (!take('+')) take('-');
            if (!digits()) return false;
        }
        return true;
    }

    bool digits() {
        const size_t start = pos_;
        while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') ++pos_;
        return pos_ > start;
    }

    bool literal(const char* word) {
        if (s_.compare(pos_, std::strlen(word), word) != 0) return false;
        pos_ += std::strlen(word);
        return true;
    }

    bool take(char c) {
        if (pos_ < s_.size() && s_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    void space() {
        while (pos_ < s_.size() && std::strchr(" \t\r\n", s_[pos_]) && s_[pos_] != '\0') ++pos_;
    }

    const std::string& s_;
    size_t pos_ = 0;
};

struct CheckRun {
    int status;
    std::string out;
    std::string err;
};

CheckRun check(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = runChecker(args, out, err);
    return {status, out.str(), err.str()};
}

std::string script(const TempDir& dir, const std::string& text, const std::string& name = "patch.ini") {
    writeFile(dir / name, text);
    return nativePath(dir / name);
}

TEST(JsonValidator, TellsJsonFromWhatIsNot) {
    const struct {
        const char* text;
        bool valid;
    } cases[] = {
        {R"({"a": [1, -2.5e3, true, null, "x\"\u00e9"], "b": {}})", true},
        {"\"\xC3\xA9\"", true},
        {R"({"a": 1,})", false},
        {"\"a\nb\"", false},
        {"\"\xFF\"", false},
        {R"(["\x"])", false},
        {"01", false},
        {"{} {}", false},
    };
    for (const auto& c : cases) EXPECT_EQ(JsonValidator(c.text).valid(), c.valid) << c.text;
}

TEST(CheckerOutput, JsonParsesWhateverTheScriptHolds) {
    TempDir dir;
    // A quote, a tab, a byte that is no UTF-8 and a backslash all reach the messages.
    const std::string path = script(dir,
                                    "[UPDATER]\nNAME=Test\nPROC=A,B\n[A]\nMODE=RE\"BO\tOT\n"
                                    "[B]\nMODE=MSGBOX\nFLAG=\nTYPE=\xFFNOTE\\\nTEXT=x\nISABORT=\n"
                                    "[C]\nMODE=OSVER\n");
    const CheckRun run = check({"--json", "--plan", path});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(JsonValidator(run.out).valid()) << run.out;
    EXPECT_NE(run.out.find("\"errors\": 2,"), std::string::npos) << run.out;
    // The unused section, and the byte above ASCII read in the code page.
    EXPECT_NE(run.out.find("\"warnings\": 2,"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"encoding\": \"ANSI\""), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("{\"line\": 5, \"severity\": \"error\", \"section\": \"A\", \"key\": \"MODE\""),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\"plan\": \"; the run"), std::string::npos) << run.out;
    EXPECT_EQ(run.err, "");
}

// The encoding the script was read in, and a warning where it depends on the machine.
TEST(CheckerOutput, SaysWhichEncodingItAssumed) {
    TempDir dir;
    const std::string body = "[UPDATER]\nNAME=caf\xC3\xA9\nPROC=A\n[A]\nMODE=OSVER\n";
    struct Case {
        std::string bytes;
        const char* encoding;
        bool warned;
    } cases[] = {
        {body, "UTF-8", false},
        {"\xEF\xBB\xBF" + body, "UTF-8 with BOM", false},
        {"[UPDATER]\nNAME=caf\xE9\nPROC=A\n[A]\nMODE=OSVER\n", "ANSI", true},
        {"[UPDATER]\nNAME=cafe\nPROC=A\n[A]\nMODE=OSVER\n", "ANSI", false},
    };
    for (const Case& c : cases) {
        const CheckRun run = check({"--json", "--plan", script(dir, c.bytes)});
        EXPECT_NE(run.out.find("\"encoding\": \"" + std::string(c.encoding) + "\""), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("read as " + std::string(c.encoding)), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find("system's code page") != std::string::npos, c.warned) << run.out;
    }
}

TEST(CheckerOutput, JsonOfACleanScriptHasAnEmptyList) {
    TempDir dir;
    const CheckRun run = check({"--json", script(dir, "[UPDATER]\nNAME=\nPROC=A\n[A]\nMODE=OSVER\n")});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(JsonValidator(run.out).valid()) << run.out;
    EXPECT_NE(run.out.find("\"findings\": []"), std::string::npos) << run.out;
}

TEST(CheckerOutput, FindingsAreCompilerLinesAndTheCountGoesToStandardError) {
    TempDir dir;
    const std::string path = script(dir, "[UPDATER]\nNAME=Test\nPROC=A\n[A]\nMODE=REBOOT\n[B]\nMODE=OSVER\n");
    const CheckRun run = check({path});
    EXPECT_EQ(run.status, 1);
    std::istringstream lines(run.out);
    std::string first, second, third;
    std::getline(lines, first);
    std::getline(lines, second);
    EXPECT_FALSE(std::getline(lines, third));
    EXPECT_EQ(first.rfind(path + ":5: error: [A] MODE: \"REBOOT\" is no kind of command", 0), 0u) << first;
    EXPECT_EQ(second, path + ":6: warning: [B]: no list names this section: the updater never reads it");
    EXPECT_EQ(run.err, "1 error, 1 warning\n");
}

TEST(CheckerOutput, ExitStatusTellsErrorsFromWarningsFromUnreadableScripts) {
    TempDir dir;
    const struct {
        const char* what;
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {"warnings only", {script(dir, "[UPDATER]\nNAME=<Nope>\nPROC=A\n[A]\nMODE=OSVER\n", "warned.ini")}, 0},
        {"an error", {script(dir, "[UPDATER]\nNAME=\nPROC=\n")}, 1},
        {"no such file", {nativePath(dir / "missing.ini")}, 2},
        {"a directory", {nativePath(dir.path())}, 2},
        {"an unknown option", {"--fix", nativePath(dir / "patch.ini")}, 2},
        {"two scripts", {nativePath(dir / "patch.ini"), nativePath(dir / "patch.ini")}, 2},
        {"no script", {"--plan"}, 2},
        {"--exe without its path", {nativePath(dir / "patch.ini"), "--exe"}, 2},
        {"help", {"--help"}, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(check(c.args).status, c.status) << c.what;
}

TEST(CheckerOutput, PlanShowsEveryCommandWithItsValuesAndEachBranchBelowItsSwitch) {
    TempDir dir;
    const std::string path = script(dir,
                                    "[UPDATER]\nNAME=Demo\nPROC=Check, Branch\n"
                                    "[DEFINE]\n<App>=C:\\App\n"
                                    "[Check]\nMODE=EXIST\nFILE=<Src>\\new\n"
                                    "[Branch]\nMODE=SWITCH\nPROC=Check\n0=\n1=Copy,Again\n"
                                    "[Copy]\nMODE=COPY\nFROM=<Src>\\new\nTO=<App>\n"
                                    "[Again]\nMODE=SWITCH\nPROC=Copy\n0=Copy,Again\n1=\n");
    const CheckRun run = check({"--plan", "--exe", "C:/Tools/patch.exe", path});
    EXPECT_EQ(run.out,
              "; the run as the updater would load it, with <Src> = C:\\Tools\n"
              "; read as ANSI\n"
              "[UPDATER]\n"
              "  NAME = Demo\n"
              "  PROC = Check, Branch\n"
              "    [Check] EXIST\n"
              "      FILE = C:\\Tools\\new\n"
              "    [Branch] SWITCH\n"
              "      PROC = Check\n"
              "      0 =\n"
              "      1 = Copy,Again\n"
              "        [Copy] COPY\n"
              "          FROM = C:\\Tools\\new\n"
              "          TO = C:\\App\n"
              "        [Again] SWITCH\n"
              "          PROC = Copy\n"
              "          0 = Copy,Again\n"
              "            (leads back into a list above, without end)\n"
              "          1 =\n" +
                  path + ":21: error: [Again] 0: the list \"Copy,Again\" leads back into a list that is still running: "
                         "the updater loads it again and again, one level deeper each time, until it stops with "
                         "message 11\n");
}

// The copy of a script that writes into Program Files, with its ELEVATE line (or none).
std::string programFilesScript(const std::string& elevateLine) {
    return "[UPDATER]\nNAME=\nPROC=A,B\n" + elevateLine +
           "[A]\nMODE=COPY\nFROM=<Src>\\new\nTO={?SpFolder\\0x26}\\App\n"
           "[B]\nMODE=COPY\nFROM=<Src>\\new\nTO=<Src>\\App\n";
}

// Program Files as this machine names it: what the script's TO reads here.
std::string programFilesApp() {
    Text app("{?SpFolder\\0x26}\\App");
    expandValue(SymbolTable(), app);
    return app.str();
}

// A note is no fault: it stays off standard output, which the check of the examples reads,
// and off the exit status. A run that never asks for the rights it needs is a fault.
TEST(CheckerOutput, RightsAreANoteOffTheFaultsUnlessTheUpdaterNeverAsks) {
    TempDir dir;
    const std::string where = "[A] TO: \"" + programFilesApp() +
                              "\" lies in the Program Files folder, which only an administrator may change: ";
    const struct {
        const char* elevateLine;
        std::string fault;  // each after the script's path
        std::string note;
        const char* count;
    } cases[] = {
        {"", "", ":7: note: " + where + "the run needs administrator rights, and the updater asks for them at start\n",
         ""},
        {"ELEVATE=1\n", "", ":8: note: " + where + "ELEVATE=1, so the updater asks for administrator rights at start\n",
         ""},
        {"ELEVATE=0\n",
         ":8: warning: " + where +
             "ELEVATE=0, so the updater never asks for administrator rights; unless it is started as administrator, "
             "it stops with message 8 (access denied)\n",
         "", "0 errors, 1 warning\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.elevateLine);
        const std::string path = script(dir, programFilesScript(c.elevateLine));
        const CheckRun run = check({path});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, c.fault.empty() ? "" : path + c.fault);
        EXPECT_EQ(run.err, (c.note.empty() ? "" : path + c.note) + c.count);
    }
}

TEST(CheckerOutput, JsonCountsNotesApartAndThePlanShowsWhatNeedsRights) {
    TempDir dir;
    const std::string path = script(dir, programFilesScript("ELEVATE=1\n"));
    const CheckRun json = check({"--json", path});
    EXPECT_TRUE(JsonValidator(json.out).valid()) << json.out;
    for (const char* part : {"\"errors\": 0,", "\"warnings\": 0,", "\"notes\": 1,",
                             "{\"line\": 8, \"severity\": \"note\", \"section\": \"A\", \"key\": \"TO\""})
        EXPECT_NE(json.out.find(part), std::string::npos) << part << "\n" << json.out;

    const CheckRun plan = check({"--plan", path});
    for (const char* part : {"\n  ELEVATE = 1\n",
                             "\n    [A] COPY  (needs administrator rights: TO in the Program Files folder)\n",
                             "\n    [B] COPY\n"})
        EXPECT_NE(plan.out.find(part), std::string::npos) << part << "\n" << plan.out;
}

// Every command that changes the disk, aimed at files that exist: after the check they
// are all still there, as they were, and nothing new has appeared.
TEST(CheckerOutput, LeavesTheDiskAsItWas) {
    TempDir dir;
    writeFile(dir / "victim.txt", "keep me");
    writeFile(dir / "old.txt", "old");
    const std::string path = script(dir,
                                    "[UPDATER]\nNAME=\nPROC=D,C,M,K,A,L,R\n"
                                    "[D]\nMODE=DELETE\nFILE=<Src>\\victim.txt\n"
                                    "[C]\nMODE=COPY\nFROM=<Src>\\old.txt\nTO=<Src>\\copied\\old.txt\n"
                                    "[M]\nMODE=MOVE\nFROM=<Src>\\old.txt\nTO=<Src>\\moved.txt\n"
                                    "[K]\nMODE=MAKEDIR\nDIR=<Src>\\made\n"
                                    "[A]\nMODE=ATTR\nFILE=<Src>\\victim.txt\nARG=0x1\n"
                                    "[L]\nMODE=LINK\nSRC=<Src>\\old.txt\nPARAM=\nSHOWCMD=1\nDST=<Src>\\link\n"
                                    "[R]\nMODE=LAUNCH\nFILE=<Src>\\victim.txt\nPARAM=\nISWAIT=1\n");
    const CheckRun run = check({"--plan", path});
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(readFile(dir / "victim.txt"), "keep me");
    EXPECT_EQ(readFile(dir / "old.txt"), "old");
    for (const char* made : {"copied", "moved.txt", "made", "link.LNK", "link.lnk"})
        EXPECT_FALSE(fileExists(dir / made)) << made;
    // The read-only bit would make the file refuse a rewrite.
    writeFile(dir / "victim.txt", "still writable");
    EXPECT_EQ(readFile(dir / "victim.txt"), "still writable");
}

}  // namespace
