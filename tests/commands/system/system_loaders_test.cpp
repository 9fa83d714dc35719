// The loaders of the seven process and system kinds: their keys in reading order, the first
// missing one named in message 2, and OSVER's flag.
#include <gtest/gtest.h>

#include "helpers/script_run.h"

namespace {

struct Kind {
    const char* mode;
    std::vector<std::pair<const char*, const char*>> keys;  // in reading order, with a value
};

const Kind kinds[] = {
    {"LAUNCH", {{"FILE", "x\\y.exe"}, {"PARAM", ""}, {"ISWAIT", "1"}}},
    {"WAITAPP", {{"APP", "x\\y.exe"}, {"TICK", "0"}}},
    {"APPEXIST", {{"APP", "x\\y.exe"}}},
    {"CRC", {{"FILE", "x"}, {"TYPE", "AND"}, {"CRC", ""}}},
    {"LINK", {{"SRC", "x"}, {"PARAM", ""}, {"SHOWCMD", "1"}, {"DST", "y"}}},
    {"DATE", {{"FILE", "x"}, {"DATE", "2000/1/1"}}},
};

std::string section(const Kind& kind, size_t without) {
    std::string text = std::string("[Cmd]\nMODE=") + kind.mode + "\n";
    for (size_t i = 0; i < kind.keys.size(); ++i)
        if (i != without) text += std::string(kind.keys[i].first) + "=" + kind.keys[i].second + "\n";
    return text;
}

TEST(SystemLoaders, MissingKeyIsNamedAndNothingRuns) {
    for (const Kind& kind : kinds) {
        for (size_t missing = 0; missing < kind.keys.size(); ++missing) {
            SCOPED_TRACE(testing::Message() << kind.mode << " without " << kind.keys[missing].first);
            ScriptRun run(section(kind, missing) + "[Say]\nMODE=MSGBOX\nFLAG=\nTYPE=INFORMATION\nTEXT=ran\nISABORT=\n");
            EXPECT_FALSE(run.run("Say,Cmd"));
            EXPECT_EQ(run.boxTexts(), std::vector<std::string>{formatMessage(MessageId::KeyMissing,
                                                                             {"Cmd", kind.keys[missing].first})});
        }
    }
}

TEST(SystemLoaders, KeysAreReadInOrder) {
    for (const Kind& kind : kinds) {
        ScriptRun run(std::string("[Cmd]\nMODE=") + kind.mode + "\n");
        EXPECT_FALSE(run.run("Cmd"));
        EXPECT_EQ(run.boxTexts(),
                  std::vector<std::string>{formatMessage(MessageId::KeyMissing, {"Cmd", kind.keys[0].first})})
            << kind.mode;
    }
}

// Both builds stand with the NT family; other keys of the section are never read.
TEST(OsVersionCommand, FlagTellsTheNtFamily) {
    ScriptRun run("[Os]\nMODE=osver\nFILE=\nAPP=NO_DATA\n");
    EXPECT_TRUE(run.run("Os"));
    EXPECT_TRUE(run.flag("Os"));
    EXPECT_TRUE(run.boxes().empty());
}

}  // namespace
