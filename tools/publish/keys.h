// ECDSA P-256 private keys as PEM text, in the forms openssl writes (PKCS#8 "PRIVATE KEY",
// and SEC1 "EC PRIVATE KEY" read too), for signers that have no PEM reader of their own.
#pragma once

#include "net/signature.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

using EcScalar = std::array<std::uint8_t, 32>;

// The PKCS#8 PEM text of a key: its private scalar and public point.
std::string p256KeyPem(const EcScalar& d, const EcPoint& q);

// The scalar and point of a PEM key of either form; false for anything else (another curve,
// a key without its public point).
bool readP256KeyPem(std::string_view pem, EcScalar& d, EcPoint& q);
