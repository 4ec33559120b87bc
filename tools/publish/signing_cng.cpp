#include "net/ecdsa_cng.h"
#include "store/sha256.h"
#include "tools/publish/keys.h"
#include "tools/publish/signing.h"

#include <cstring>

namespace {

// CNG's private key blob: its header, X, Y and d.
struct PrivateBlob {
    BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PRIVATE_P256_MAGIC, 32};
    std::uint8_t q[64] = {};
    std::uint8_t d[32] = {};
};

class CngSigner : public Signer {
public:
    CngSigner(CngKey key, const EcPoint& q) : key_(std::move(key)), q_(q) {}

    EcPoint publicKey() const override { return q_; }

    bool sign(std::string_view bytes, EcSignature& signature) override {
        Sha256 hash;
        hash.update(bytes.data(), bytes.size());
        std::uint8_t digest[32];
        ULONG written = 0;
        // CNG gives r and s as 32 bytes each, as the line holds them.
        return hash.finish(digest) &&
               BCRYPT_SUCCESS(BCryptSignHash(key_.get(), nullptr, digest, sizeof digest, signature.data(),
                                             static_cast<ULONG>(signature.size()), &written, 0)) &&
               written == signature.size();
    }

private:
    CngKey key_;
    EcPoint q_;
};

std::unique_ptr<Signer> importKey(const EcScalar& d, const EcPoint& q, std::string& problem) {
    PrivateBlob blob;
    std::memcpy(blob.q, q.data(), q.size());
    std::memcpy(blob.d, d.data(), d.size());
    BCRYPT_KEY_HANDLE key = nullptr;
    if (!ecdsaP256Provider() ||
        !BCRYPT_SUCCESS(BCryptImportKeyPair(ecdsaP256Provider(), nullptr, BCRYPT_ECCPRIVATE_BLOB, &key,
                                            reinterpret_cast<PUCHAR>(&blob), sizeof blob, 0))) {
        problem = "the system refuses the key";
        return nullptr;
    }
    SecureZeroMemory(&blob, sizeof blob);
    return std::make_unique<CngSigner>(CngKey(key), q);
}

} // namespace

std::unique_ptr<Signer> generateSigner(std::string& pem, std::string& problem) {
    BCRYPT_KEY_HANDLE made = nullptr;
    if (!ecdsaP256Provider() || !BCRYPT_SUCCESS(BCryptGenerateKeyPair(ecdsaP256Provider(), &made, 256, 0))) {
        problem = "cannot make a key";
        return nullptr;
    }
    const CngKey key(made);
    PrivateBlob blob;
    ULONG written = 0;
    if (!BCRYPT_SUCCESS(BCryptFinalizeKeyPair(key.get(), 0)) ||
        !BCRYPT_SUCCESS(BCryptExportKey(key.get(), nullptr, BCRYPT_ECCPRIVATE_BLOB,
                                        reinterpret_cast<PUCHAR>(&blob), sizeof blob, &written, 0)) ||
        written != sizeof blob) {
        problem = "cannot make a key";
        return nullptr;
    }
    EcScalar d;
    EcPoint q;
    std::memcpy(d.data(), blob.d, d.size());
    std::memcpy(q.data(), blob.q, q.size());
    SecureZeroMemory(&blob, sizeof blob);
    pem = p256KeyPem(d, q);
    return importKey(d, q, problem);
}

std::unique_ptr<Signer> loadSigner(std::string_view pem, std::string& problem) {
    EcScalar d;
    EcPoint q;
    if (!readP256KeyPem(pem, d, q)) {
        problem = "not an ECDSA P-256 private key";
        return nullptr;
    }
    return importKey(d, q, problem);
}
