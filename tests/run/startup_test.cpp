// Start-up: the caption from the command line and from NAME, the script beside the
// executable, and the failures that stop before anything runs.
#include <gtest/gtest.h>

#include "run/messages.h"
#include "run/run_context.h"
#include "run/startup.h"
#include "support/test_support.h"

namespace {

TEST(Startup, CaptionIsTheFirstWordWithoutQuotes) {
    struct Case {
        const char* commandLine;
        bool found;
        const char* caption;
    };
    const Case cases[] = {
        {"", false, ""},
        {"\"My Tool\" /q", true, "My Tool"},
        {"\"\"", false, ""},
        {"My Tool", true, "My"},
        {"\"Only", true, "Only"},
        {" lead", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.commandLine);
        Text caption("unchanged");
        EXPECT_EQ(captionFromCommandLine(Text(c.commandLine), caption), c.found);
        EXPECT_EQ(caption.str(), c.found ? c.caption : "unchanged");
    }
}

TEST(Startup, ScriptIsBesideTheExecutable) {
    struct Case {
        const char* executable;
        const char* script;
    };
    const Case cases[] = {
        {"C:\\Tools\\patch.exe", "C:\\Tools\\patch.ini"},
        {"C:\\my.dir\\patch", "C:\\my.dir\\patch.ini"},
        {"\\opt\\x\\patch", "\\opt\\x\\patch.ini"},
        {"C:\\a\\patch.v2.exe", "C:\\a\\patch.v2.ini"},
        {"patch", "patch.ini"},
        {"C:\\a\\.hidden", "C:\\a\\.ini"},
    };
    for (const Case& c : cases) EXPECT_EQ(scriptPathFor(Text(c.executable)).str(), c.script) << c.executable;
}

TEST(Startup, NameReplacesTheCaptionAndMayUseSymbols) {
    ScriptFixture script("[UPDATER]\nNAME=<Src>\nPROC=\n");
    BoxRecorder boxes;
    ASSERT_TRUE(readUpdaterSection(script.run()));
    EXPECT_EQ(script.run().caption.forDisplay(), script.dir().path());
}

TEST(Startup, MissingKeysOfUpdaterAreReported) {
    struct Case {
        const char* script;
        const char* key;
    };
    const Case cases[] = {
        {"[UPDATER]\nPROC=A\n", "NAME"},
        {"[UPDATER]\nNAME=x\n", "PROC"},
        {"[UPDATER]\nNAME=no_data\nPROC=A\n", "NAME"},
        {"", "NAME"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        ScriptFixture script(c.script);
        BoxRecorder boxes;
        EXPECT_FALSE(readUpdaterSection(script.run()));
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].text, formatMessage(MessageId::KeyMissing, {"UPDATER", c.key}));
    }
}

}  // namespace
