// readKey and readIntKey against a script at scriptPath: message 2 through the dialog seam,
// expansion of text keys only.
#include <gtest/gtest.h>

#include <string>

#include "run/key_reader.h"
#include "run/messages.h"
#include "run/symbols.h"
#include "support/test_support.h"

namespace {

class KeyReader : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(path,
                  "[COPY_NEW]\n"
                  "FROM=<Up>\\Data\n"
                  "TO=\n"
                  "GONE=no_data\n"
                  "ISWAIT=<Up>\n"
                  "COUNT= 42 \n");
        run.scriptPath = Text(path.c_str());
        ASSERT_TRUE(run.script.load(path));
        run.symbols.defineSymbol("<Up>", Text("C:\\Tools\\old\\.."));
    }

    TempDir dir;
    const std::string path = dir / "patch.ini";
    RunContext run;
};

std::string keyMissingText(const std::string& section, const std::string& key) {
    return "設定ファイルのフォーマットが正しくありません。\n\nセクション：\"" + section + "\"\nパラメータ：\"" + key + "\"";
}

TEST_F(KeyReader, ExpandsTextKeysSymbolsFirstThenDotDot) {
    BoxRecorder boxes;
    Text out;
    ASSERT_TRUE(readKey(run, "COPY_NEW", "FROM", out));
    EXPECT_EQ(out.str(), "C:\\Tools\\Data");
    Text empty("before");
    ASSERT_TRUE(readKey(run, "COPY_NEW", "TO", empty));
    EXPECT_EQ(empty.str(), "");
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(KeyReader, MissingKeysShowMessage2NamingSectionAndKeyAsPassed) {
    struct Case {
        bool integer;
        const char* key;
    };
    const Case cases[] = {{false, "Gone"}, {true, "Gone"}, {false, "ABSENT"}, {true, "ABSENT"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.integer ? "readIntKey " : "readKey ") + c.key);
        BoxRecorder boxes;
        Text text("before");
        int number = 5;
        const bool read = c.integer ? readIntKey(run, "Copy_New", c.key, number) : readKey(run, "Copy_New", c.key, text);
        EXPECT_FALSE(read);
        EXPECT_EQ(text.str(), "before");
        EXPECT_EQ(number, 5);
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].text, keyMissingText("Copy_New", c.key));
        EXPECT_EQ(boxes.boxes()[0].style, unsigned(os::BoxIconError));
    }
}

TEST_F(KeyReader, IntegerKeysAreNotExpanded) {
    BoxRecorder boxes;
    int number = 9;
    ASSERT_TRUE(readIntKey(run, "COPY_NEW", "ISWAIT", number));
    EXPECT_EQ(number, 9);
    ASSERT_TRUE(readIntKey(run, "COPY_NEW", "COUNT", number));
    EXPECT_EQ(number, 42);
    EXPECT_TRUE(boxes.boxes().empty());
}

}  // namespace
