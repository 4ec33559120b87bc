#include "tools/publish/signing.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cstring>

namespace {

struct FreeKey {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct FreeBio {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
struct FreeContext {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
struct FreeSignature {
    void operator()(ECDSA_SIG* signature) const { ECDSA_SIG_free(signature); }
};
using Key = std::unique_ptr<EVP_PKEY, FreeKey>;

class OpenSslSigner : public Signer {
public:
    explicit OpenSslSigner(Key key) : key_(std::move(key)) {}

    EcPoint publicKey() const override {
        unsigned char encoded[65] = {};
        std::size_t length = 0;
        EVP_PKEY_get_octet_string_param(key_.get(), OSSL_PKEY_PARAM_PUB_KEY, encoded, sizeof encoded,
                                        &length);
        EcPoint q{};
        if (length == 65 && encoded[0] == 4) std::memcpy(q.data(), encoded + 1, 64); // uncompressed: 04, X, Y
        return q;
    }

    bool sign(std::string_view bytes, EcSignature& signature) override {
        const std::unique_ptr<EVP_MD_CTX, FreeContext> context(EVP_MD_CTX_new());
        std::size_t length = 0;
        if (!context || EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key_.get()) != 1 ||
            EVP_DigestSign(context.get(), nullptr, &length,
                           reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) != 1) {
            return false;
        }
        std::vector<unsigned char> der(length);
        if (EVP_DigestSign(context.get(), der.data(), &length,
                           reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) != 1) {
            return false;
        }
        // OpenSSL writes the DER pair; the line holds r and s as 32 bytes each.
        const unsigned char* at = der.data();
        const std::unique_ptr<ECDSA_SIG, FreeSignature> pair(
            d2i_ECDSA_SIG(nullptr, &at, static_cast<long>(length)));
        return pair && BN_bn2binpad(ECDSA_SIG_get0_r(pair.get()), signature.data(), 32) == 32 &&
               BN_bn2binpad(ECDSA_SIG_get0_s(pair.get()), signature.data() + 32, 32) == 32;
    }

private:
    Key key_;
};

bool isP256(EVP_PKEY* key) {
    char group[64] = {};
    return EVP_PKEY_get_group_name(key, group, sizeof group, nullptr) == 1 &&
           std::strcmp(group, "prime256v1") == 0;
}

} // namespace

std::unique_ptr<Signer> generateSigner(std::string& pem, std::string& problem) {
    Key key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
    const std::unique_ptr<BIO, FreeBio> out(BIO_new(BIO_s_mem()));
    if (!key || !out ||
        PEM_write_bio_PrivateKey(out.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1) {
        problem = "cannot make a key";
        return nullptr;
    }
    char* data = nullptr;
    const long length = BIO_get_mem_data(out.get(), &data);
    pem.assign(data, static_cast<std::size_t>(length));
    return std::make_unique<OpenSslSigner>(std::move(key));
}

std::unique_ptr<Signer> loadSigner(std::string_view pem, std::string& problem) {
    const std::unique_ptr<BIO, FreeBio> in(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    Key key(in ? PEM_read_bio_PrivateKey(in.get(), nullptr, nullptr, nullptr) : nullptr);
    if (!key || !isP256(key.get())) {
        problem = "not an ECDSA P-256 private key";
        return nullptr;
    }
    return std::make_unique<OpenSslSigner>(std::move(key));
}
