// SHA-256 from the system's own implementation: CNG (bcrypt.dll) on Windows, libcrypto on
// Linux; both are held to the same test vectors. It is computation, not a call that meets
// the file system, so it stays outside the fault-injection seam, as the random source does.
// No platform type here.
#pragma once

#include <cstddef>
#include <memory>

#include "text/digest.h"

namespace os {

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    // False when the system could give no hash object (no memory): nothing it says counts then.
    bool ready() const;
    void update(const void* bytes, size_t n);
    // The digest of everything given since it was made or last finished; it starts again.
    Digest finish();

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// The digest of `n` bytes held in memory.
inline Digest sha256Of(const void* bytes, size_t n) {
    Sha256 hash;
    hash.update(bytes, n);
    return hash.finish();
}

}  // namespace os
