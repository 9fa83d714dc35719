// libcrypto's low-level digest: its processor-specific code (SHA extensions, AVX2) without the
// provider machinery, which would be most of the updater's start-up time.
#define OPENSSL_SUPPRESS_DEPRECATED
#include "os/sha256.h"

#include <openssl/sha.h>

namespace os {

struct Sha256::Impl {
    SHA256_CTX context;
};

Sha256::Sha256() : impl_(std::make_unique<Impl>()) {
    if (SHA256_Init(&impl_->context) != 1) impl_.reset();
}

Sha256::~Sha256() = default;

bool Sha256::ready() const { return impl_ != nullptr; }

void Sha256::update(const void* bytes, size_t n) {
    if (impl_) (void)SHA256_Update(&impl_->context, bytes, n);  // fails only on a context that is not one
}

Digest Sha256::finish() {
    Digest digest{};
    if (!impl_) return digest;
    (void)SHA256_Final(digest.data(), &impl_->context);  // as above
    (void)SHA256_Init(&impl_->context);                  // as above
    return digest;
}

}  // namespace os
