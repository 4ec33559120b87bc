#include "tools/publish/publish.h"

#include <openssl/evp.h>

#include <stdexcept>

namespace {

class OpenSslHasher : public Hasher {
public:
    OpenSslHasher() : context_(EVP_MD_CTX_new()) {
        if (!context_ || !EVP_DigestInit_ex(context_, EVP_sha256(), nullptr)) throw std::runtime_error("no SHA-256");
    }
    ~OpenSslHasher() override { EVP_MD_CTX_free(context_); }
    OpenSslHasher(const OpenSslHasher&) = delete;
    OpenSslHasher& operator=(const OpenSslHasher&) = delete;

    void update(const void* data, std::size_t size) override { EVP_DigestUpdate(context_, data, size); }
    std::string finishHex() override {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        EVP_DigestFinal_ex(context_, digest, &length);
        static constexpr char hex[] = "0123456789abcdef";
        std::string out;
        for (unsigned int i = 0; i < length; ++i) {
            out += hex[digest[i] >> 4];
            out += hex[digest[i] & 0xF];
        }
        return out;
    }

private:
    EVP_MD_CTX* context_;
};

} // namespace

std::unique_ptr<Hasher> newHasher() { return std::make_unique<OpenSslHasher>(); }
