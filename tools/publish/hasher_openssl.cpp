#include "store/hex.h"
#include "tools/publish/publish.h"

#include <openssl/evp.h>

#include <stdexcept>

namespace {

class OpenSslHasher : public Hasher {
public:
    OpenSslHasher() : context_(EVP_MD_CTX_new()) {
        if (!context_ || !EVP_DigestInit_ex(context_, EVP_sha256(), nullptr))
            throw std::runtime_error("no SHA-256");
    }
    ~OpenSslHasher() override { EVP_MD_CTX_free(context_); }
    OpenSslHasher(const OpenSslHasher&) = delete;
    OpenSslHasher& operator=(const OpenSslHasher&) = delete;

    void update(const void* data, std::size_t size) override { EVP_DigestUpdate(context_, data, size); }
    std::string finishHex() override {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        EVP_DigestFinal_ex(context_, digest, &length);
        return hexText(digest, length);
    }

private:
    EVP_MD_CTX* context_;
};

} // namespace

std::unique_ptr<Hasher> newHasher() {
    return std::make_unique<OpenSslHasher>();
}
