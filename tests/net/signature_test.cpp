#include "net/manifest.h"
#include "net/signature.h"

#include <gtest/gtest.h>

namespace {

const std::string digits = std::string(64, 'a') + std::string(64, '0');

TEST(Signature, LinesAndFiles) {
    EcPoint point;
    ASSERT_TRUE(parseEcLine("ecdsa-p256:" + digits, point));
    EXPECT_EQ(point[0], 0xaa);
    EXPECT_EQ(point[63], 0x00);
    EXPECT_EQ(ecLine(point), "ecdsa-p256:" + digits);
    const struct {
        std::string text;
        bool signature;
    } files[] = {
        {"ecdsa-p256:" + digits, true},
        {"ecdsa-p256:" + digits + "\n", true},
        {"ecdsa-p256:" + digits + "\r\n", false},
        {"ecdsa-p256:" + digits + "\n\n", false},
        {"ecdsa-p256:" + digits + "\necdsa-p256:" + digits, false}, // two lines
        {"ecdsa-p256:" + digits.substr(0, 127), false},             // cut short
        {"ecdsa-p256:" + std::string(128, 'A'), false},             // upper case
        {"ecdsa-p384:" + digits, false},
        {" ecdsa-p256:" + digits, false},
        {"", false},
    };
    for (const auto& f : files) {
        EcSignature s;
        EXPECT_EQ(parseSignatureFile(f.text, s), f.signature) << f.text;
    }
}

TEST(Signature, UrlBeforeTheQuery) {
    EXPECT_EQ(signatureUrl("https://h/game/manifest.json"), "https://h/game/manifest.json.sig");
    EXPECT_EQ(signatureUrl("https://h/m.json?channel=beta"), "https://h/m.json.sig?channel=beta");
    EXPECT_EQ(signatureUrl("https://h/m.json#x"), "https://h/m.json.sig#x");
}

// A verifier that knows one good signature: key k signed "body" as bytes of k.
bool fakeVerify(std::string_view message, const EcSignature& s, const EcPoint& key) {
    return message == "body" && s == key;
}

TEST(Signature, AnyTrustedKeyMayHaveSignedIt) {
    EcPoint first{}, second{};
    first.fill(1);
    second.fill(2);
    const std::string by = [](const EcPoint& k) { return ecLine(k) + "\n"; }(second);
    EXPECT_FALSE(checkManifestSignature("body", by, {first, second}, fakeVerify).failed);
    EXPECT_EQ(checkManifestSignature("body", by, {first}, fakeVerify).message, "signature does not match");
    EXPECT_EQ(checkManifestSignature("bodY", by, {first, second}, fakeVerify).message,
              "signature does not match");
    EXPECT_EQ(checkManifestSignature("body", "nonsense", {second}, fakeVerify).message, "signature missing");
}

TEST(Signature, TheSequenceIsReadAndWrittenOnlyWhenThere) {
    Manifest m;
    m.baseUrl = "https://h/";
    m.exe = "a";
    m.files = {{"a", 0, "", {}}};
    const std::string unsigned_ = serializeManifest(m);
    EXPECT_EQ(unsigned_.find("sequence"), std::string::npos);
    m.sequence = 1700000000;
    Manifest back;
    ASSERT_FALSE(parseManifest(serializeManifest(m), back).failed);
    EXPECT_EQ(back.sequence, 1700000000);
    ASSERT_FALSE(parseManifest(unsigned_, back).failed);
    EXPECT_FALSE(back.sequence);
    const std::string prefix = R"({"baseUrl":"u","exe":"a","files":[{"path":"a"}],"sequence":)";
    EXPECT_FALSE(parseManifest(prefix + "null}", back).failed);
    EXPECT_EQ(parseManifest(prefix + "\"5\"}", back).message, "manifest is not valid: unexpected value");
    EXPECT_EQ(parseManifest(prefix + "1.5}", back).message, "manifest is not valid: unexpected value");
}

} // namespace
