// The kind table's key column held to the loaders themselves, for every kind in the table:
// a section with exactly the listed keys loads without a word, and without any one of them
// the loader names exactly that key in message 2, the first missing one in the column's order;
// and its column of changing keys held to the keys it reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "commands/command_kinds.h"
#include "run/command.h"
#include "run/messages.h"
#include "support/test_support.h"

namespace {

std::vector<std::string> columnOf(const CommandKind& kind) {
    std::vector<std::string> keys;
    for (const char* key : kind.keys)
        if (key) keys.push_back(key);
    return keys;
}

// Section [S] holding `keys`: MODE names the kind, every other key holds a number, which
// every key accepts, the integer one included.
std::string sectionWith(const CommandKind& kind, const std::vector<std::string>& keys) {
    std::string text = "[UPDATER]\nNAME=\nPROC=S\n[S]\n";
    for (const std::string& key : keys) text += key + "=" + (key == "MODE" ? kind.mode : "1") + "\n";
    return text;
}

// What the loader shows for a section with `keys`: nothing when it loads.
std::vector<std::string> loaderBoxes(const CommandKind& kind, const std::vector<std::string>& keys, bool& loaded) {
    ScriptFixture script(sectionWith(kind, keys));
    BoxRecorder boxes;
    loaded = kind.load(script.run(), Text("S")) != nullptr;
    std::vector<std::string> texts;
    for (const RecordedBox& box : boxes.boxes()) texts.push_back(box.text);
    return texts;
}

std::vector<std::string> keyMissing(const std::string& key) {
    return {formatMessage(MessageId::KeyMissing, {"S", key.c_str()})};
}

TEST(KindKeys, AreExactlyTheKeysEachLoaderReadsInItsOrder) {
    int kinds = 0;
    for (const CommandKind& kind : commandKinds()) {
        if (!kind.load) continue;
        SCOPED_TRACE(kind.mode);
        ++kinds;
        const std::vector<std::string> keys = columnOf(kind);
        ASSERT_FALSE(keys.empty());
        EXPECT_EQ(keys.front(), "MODE");

        bool loaded = false;
        EXPECT_EQ(loaderBoxes(kind, keys, loaded), std::vector<std::string>{});
        EXPECT_TRUE(loaded) << "the loader reads a key beyond the column";

        for (size_t drop = 0; drop < keys.size(); ++drop) {
            std::vector<std::string> rest = keys;
            rest.erase(rest.begin() + static_cast<long>(drop));
            EXPECT_EQ(loaderBoxes(kind, rest, loaded), keyMissing(keys[drop])) << "without " << keys[drop];
            EXPECT_FALSE(loaded);
        }
        for (size_t kept = 0; kept < keys.size(); ++kept) {
            const std::vector<std::string> first(keys.begin(), keys.begin() + static_cast<long>(kept));
            EXPECT_EQ(loaderBoxes(kind, first, loaded), keyMissing(keys[kept])) << "with the first " << kept;
        }
    }
    EXPECT_GT(kinds, 0);
}

// A changing key the loader does not read is one whose places nobody checks: neither the
// updater before asking for rights nor the checker.
TEST(KindKeys, ChangingKeysAreKeysOfTheirKind) {
    for (const CommandKind& kind : commandKinds()) {
        SCOPED_TRACE(kind.mode);
        const std::vector<std::string> keys = columnOf(kind);
        for (const char* key : kind.changes) {
            if (key) {
                EXPECT_NE(std::find(keys.begin() + 1, keys.end(), key), keys.end()) << key;
            }
        }
    }
}

}  // namespace
