// Manifest signatures: ECDSA on the P-256 curve over SHA-256 of the manifest's exact bytes.
// A public key and a signature each travel as one line of text: "ecdsa-p256:" and 128
// lowercase hexadecimal digits (X then Y, or r then s, 32 bytes each, big-endian).
#pragma once

#include "store/file_error.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using EcPoint = std::array<std::uint8_t, 64>;     // a public key: X, then Y
using EcSignature = std::array<std::uint8_t, 64>; // r, then s

inline constexpr std::string_view ecPrefix = "ecdsa-p256:";

// "ecdsa-p256:" and the 128 digits of the 64 bytes.
std::string ecLine(const std::array<std::uint8_t, 64>& bytes);

// Exactly one such line, nothing before or after it.
bool parseEcLine(std::string_view line, std::array<std::uint8_t, 64>& bytes);

// A signature file: one line, which a line feed may end.
bool parseSignatureFile(std::string_view text, EcSignature& signature);

// The signature's URL: ".sig" after the manifest URL's path, before any query.
std::string signatureUrl(std::string_view manifestUrl);

// Checks a manifest body against its signature file's text with the trusted keys: "signature
// missing" when the text is not a signature line, "signature does not match" when no key
// verifies it. verify is the platform's ECDSA check.
using EcVerifier = bool (*)(std::string_view message, const EcSignature& signature, const EcPoint& key);

// The system's check (CNG), on Windows.
bool verifyEcdsa(std::string_view message, const EcSignature& signature, const EcPoint& key);
FileError checkManifestSignature(std::string_view body, std::string_view signatureText,
                                 const std::vector<EcPoint>& trustedKeys, EcVerifier verify);
