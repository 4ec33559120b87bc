// Signing manifests with an operator's ECDSA P-256 key: OpenSSL natively, CNG on Windows.
#pragma once

#include "net/signature.h"

#include <memory>
#include <string>
#include <string_view>

class Signer {
public:
    virtual ~Signer() = default;
    virtual EcPoint publicKey() const = 0;
    // The signature of the SHA-256 of bytes; false when the system refuses.
    virtual bool sign(std::string_view bytes, EcSignature& signature) = 0;
};

// A new key: its PEM text (PKCS#8, as openssl reads it) and a signer with it; null, with the
// reason in problem, when the system cannot make one.
std::unique_ptr<Signer> generateSigner(std::string& pem, std::string& problem);

// The key of a PEM private key file's text.
std::unique_ptr<Signer> loadSigner(std::string_view pem, std::string& problem);
