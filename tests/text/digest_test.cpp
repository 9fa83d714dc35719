// A SHA-256 digest as scripts write it: 64 hexadecimal digits of any letter case, nothing else.
#include "text/digest.h"

#include <gtest/gtest.h>

namespace {

TEST(Digest, ReadsOnlySixtyFourHexadecimalDigits) {
    const std::string lower = "00ff10ab" + std::string(56, 'c');
    const struct {
        std::string text;
        bool read;
    } cases[] = {
        {lower, true},
        {"00FF10AB" + std::string(56, 'C'), true},
        {lower.substr(1), false},
        {lower + "0", false},
        {"0x" + lower.substr(2), false},
        {" " + lower.substr(1), false},
        {lower.substr(0, 63) + "g", false},
        {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Digest digest{};
        EXPECT_EQ(digestFromHex(c.text, digest), c.read);
        if (c.read) {
            EXPECT_EQ(digestHex(digest), lower);
        }
    }
}

}  // namespace
