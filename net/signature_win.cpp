#include "net/signature.h"

#include "net/ecdsa_cng.h"
#include "store/sha256.h"

#include <cstring>

BCRYPT_ALG_HANDLE ecdsaP256Provider() {
    static const BCRYPT_ALG_HANDLE handle = [] {
        BCRYPT_ALG_HANDLE h = nullptr;
        if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&h, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0)))
            h = nullptr;
        return h;
    }();
    return handle;
}

bool verifyEcdsa(std::string_view message, const EcSignature& signature, const EcPoint& key) {
    const BCRYPT_ALG_HANDLE provider = ecdsaP256Provider();
    if (!provider) return false;
    struct {
        BCRYPT_ECCKEY_BLOB header;
        std::uint8_t point[64];
    } blob{{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32}, {}};
    std::memcpy(blob.point, key.data(), key.size());
    BCRYPT_KEY_HANDLE imported = nullptr;
    if (!BCRYPT_SUCCESS(BCryptImportKeyPair(provider, nullptr, BCRYPT_ECCPUBLIC_BLOB, &imported,
                                            reinterpret_cast<PUCHAR>(&blob), sizeof blob, 0))) {
        return false;
    }
    const CngKey publicKey(imported);
    Sha256 hash;
    hash.update(message.data(), message.size());
    std::uint8_t digest[32];
    if (!hash.finish(digest)) return false;
    return BCRYPT_SUCCESS(BCryptVerifySignature(publicKey.get(), nullptr, digest, sizeof digest,
                                                const_cast<PUCHAR>(signature.data()),
                                                static_cast<ULONG>(signature.size()), 0));
}
