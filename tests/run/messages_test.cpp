// The catalogue as the running program reads it (the string table under Wine), message
// formatting, and the caption and style of error boxes.
#include <gtest/gtest.h>

#include "run/messages.h"
#include "support/test_support.h"

namespace {

struct CatalogueEntry {
    int id;
    const char* text;
};

constexpr CatalogueEntry expectedCatalogue[] = {
#define MESSAGE(id, text) {id, text},
#include "resources/messages.def"
#undef MESSAGE
};

TEST(Catalogue, EveryMessageReadsBackByteForByte) {
    ASSERT_EQ(std::size(expectedCatalogue), 55u);
    for (const CatalogueEntry& entry : expectedCatalogue) {
        SCOPED_TRACE(entry.id);
        EXPECT_EQ(os::catalogueText(entry.id), entry.text);
    }
}

TEST(Catalogue, HasNoMessageZeroOrSeven) {
    EXPECT_EQ(os::catalogueText(0), "");
    EXPECT_EQ(os::catalogueText(7), "");
    EXPECT_EQ(os::catalogueText(57), "");
}

TEST(Catalogue, TextsAreTheShippedOnes) {
    // Guards the catalogue source itself against an edit that slips through.
    EXPECT_EQ(os::catalogueText(1), "ファイルが見つかりません。\n\nファイル:：\"%s\"");
    EXPECT_EQ(os::catalogueText(11), "プロシージャ数が正しくありません。");
    EXPECT_EQ(os::catalogueText(12), "ファイル属性の変更に失敗しました。\n\nファイル：\"%s\"\n属性：0x%08X");
}

TEST(FormatMessage, FillsPlaceholdersInOrder) {
    struct Case {
        MessageId id;
        std::vector<std::string> texts;
        unsigned number;
        std::string expected;
    };
    const Case cases[] = {
        {MessageId::KeyMissing, {"CopyFiles", "FROM"}, 0,
         "設定ファイルのフォーマットが正しくありません。\n\nセクション：\"CopyFiles\"\nパラメータ：\"FROM\""},
        {MessageId::ProcedureCount, {}, 0, "プロシージャ数が正しくありません。"},
        {MessageId::AttributeFailed, {"C:\\a.txt"}, 0x21,
         "ファイル属性の変更に失敗しました。\n\nファイル：\"C:\\a.txt\"\n属性：0x00000021"},
        {MessageId::FileNotFound, {"100%s"}, 0, "ファイルが見つかりません。\n\nファイル:：\"100%s\""},
        {MessageId::CopyFailed, {"a"}, 0, "ファイルのコピーに失敗しました。\n\n転送元：\"a\"\n転送先：\"\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.id));
        std::string got;
        if (c.id == MessageId::AttributeFailed)
            got = formatMessage(c.id, {c.texts[0], c.number});
        else if (c.texts.size() == 2)
            got = formatMessage(c.id, {c.texts[0], c.texts[1]});
        else if (c.texts.size() == 1)
            got = formatMessage(c.id, {c.texts[0]});
        else
            got = formatMessage(c.id);
        EXPECT_EQ(got, c.expected);
    }
}

TEST(FormatMessage, ArgumentsFarBeyondTheWorkAreaAreKeptWhole) {
    const std::string source(5000, 's');
    const std::string target(3000, 't');
    const std::string got = formatMessage(MessageId::MoveFailed, {source, target});
    EXPECT_NE(got.find("\"" + source + "\""), std::string::npos);
    EXPECT_NE(got.find("\"" + target + "\""), std::string::npos);
}

TEST(ShowError, UsesTheErrorStyleAndTheCurrentCaption) {
    BoxRecorder boxes;
    RunContext run;
    run.showError(MessageId::DeleteFailed, {"x.txt"});
    run.caption.set(Text("Patch 2"));
    run.showError(MessageId::ProcedureCount);
    ASSERT_EQ(boxes.boxes().size(), 2u);
    EXPECT_EQ(boxes.boxes()[0].caption, "ヴォルネクス アップデータ");
    EXPECT_EQ(boxes.boxes()[0].style, 0x10u);
    EXPECT_EQ(boxes.boxes()[0].text, "ファイルの削除に失敗しました。\n\nファイル：\"x.txt\"");
    EXPECT_EQ(boxes.boxes()[1].caption, "Patch 2");
    EXPECT_EQ(boxes.boxes()[1].style, 0x10u);
}

TEST(ScriptBox, ShowsTheScriptTextWithStyleAndCaption) {
    BoxRecorder boxes({os::AnswerNo});
    RunContext run;
    run.caption.set(Text("Setup"));
    const int answer = run.showScriptBox(Text("Continue?"), 0x24);
    EXPECT_EQ(answer, os::AnswerNo);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "Continue?");
    EXPECT_EQ(boxes.boxes()[0].caption, "Setup");
    EXPECT_EQ(boxes.boxes()[0].style, 0x24u);
}

}  // namespace
