#include "net/signature.h"

#include "store/hex.h"

std::string ecLine(const std::array<std::uint8_t, 64>& bytes) {
    return std::string(ecPrefix) + hexText(bytes.data(), bytes.size());
}

bool parseEcLine(std::string_view line, std::array<std::uint8_t, 64>& bytes) {
    if (!line.starts_with(ecPrefix) || line.size() != ecPrefix.size() + 128) return false;
    std::vector<std::uint8_t> parsed;
    if (!parseHex(line.substr(ecPrefix.size()), parsed)) return false;
    std::copy(parsed.begin(), parsed.end(), bytes.begin());
    return true;
}

bool parseSignatureFile(std::string_view text, EcSignature& signature) {
    if (text.ends_with('\n')) text.remove_suffix(1);
    return parseEcLine(text, signature);
}

std::string signatureUrl(std::string_view manifestUrl) {
    const std::size_t query = manifestUrl.find_first_of("?#");
    std::string url(manifestUrl.substr(0, query));
    url += ".sig";
    if (query != std::string_view::npos) url += manifestUrl.substr(query);
    return url;
}

FileError checkManifestSignature(std::string_view body, std::string_view signatureText,
                                 const std::vector<EcPoint>& trustedKeys, EcVerifier verify) {
    EcSignature signature;
    if (!parseSignatureFile(signatureText, signature)) return plainFailure("signature missing");
    for (const EcPoint& key : trustedKeys) {
        if (verify(body, signature, key)) return {};
    }
    return plainFailure("signature does not match");
}
