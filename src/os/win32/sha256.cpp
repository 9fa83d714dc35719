#include "os/sha256.h"

#include <windows.h>
#include <bcrypt.h>

#include <limits>

namespace os {

struct Sha256::Impl {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    ~Impl() {
        if (hash) BCryptDestroyHash(hash);
        if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
    }
};

namespace {

// A hash object of its own for each digest: the reusable flag is newer than Windows 7.
bool newHash(Sha256::Impl& impl) {
    return BCRYPT_SUCCESS(BCryptCreateHash(impl.algorithm, &impl.hash, nullptr, 0, nullptr, 0, 0));
}

}  // namespace

Sha256::Sha256() : impl_(std::make_unique<Impl>()) {
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&impl_->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
        !newHash(*impl_))
        impl_.reset();
}

Sha256::~Sha256() = default;

bool Sha256::ready() const { return impl_ != nullptr; }

void Sha256::update(const void* bytes, size_t n) {
    if (!impl_) return;
    const auto* at = static_cast<const UCHAR*>(bytes);
    while (n > 0) {
        const ULONG part = static_cast<ULONG>(std::min<size_t>(n, std::numeric_limits<ULONG>::max()));
        (void)BCryptHashData(impl_->hash, const_cast<UCHAR*>(at), part, 0);  // fails only on a handle that is not one
        at += part;
        n -= part;
    }
}

Digest Sha256::finish() {
    Digest digest{};
    if (!impl_) return digest;
    (void)BCryptFinishHash(impl_->hash, digest.data(), digest.size(), 0);  // as in update
    BCryptDestroyHash(impl_->hash);
    impl_->hash = nullptr;
    if (!newHash(*impl_)) impl_.reset();
    return digest;
}

}  // namespace os
