// SHA-256 as the system computes it (CNG on Windows, libcrypto on Linux), held to the
// published test vectors, whole and fed in pieces.
#include "os/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Sha256, GivesThePublishedDigests) {
    const struct {
        std::string message;
        const char* digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    os::Sha256 hash;
    ASSERT_TRUE(hash.ready());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message.substr(0, 20));
        hash.update(c.message.data(), c.message.size());
        EXPECT_EQ(digestHex(hash.finish()), c.digest);
        // In uneven pieces, after a finish: the object starts again each time.
        for (size_t at = 0; at < c.message.size();) {
            const size_t n = std::min<size_t>(c.message.size() - at, 1 + at % 1031);
            hash.update(c.message.data() + at, n);
            at += n;
        }
        EXPECT_EQ(digestHex(hash.finish()), c.digest);
    }
}

}  // namespace
