// A launcher built trusting a test key, against nginx: what it installs and what it refuses.
#include "base/log.h"
#include "support/launcher_runs.h"
#include "tools/publish/signing.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

namespace {

std::string keyFile(const char* path) {
    std::string pem;
    EXPECT_TRUE(readWholeFile(toWide(path), pem)) << path;
    return pem;
}

std::string signatureOf(const std::string& bytes, const char* key) {
    std::string problem;
    const std::unique_ptr<Signer> signer = loadSigner(keyFile(key), problem);
    EcSignature s{};
    EXPECT_TRUE(signer && signer->sign(bytes, s)) << problem;
    return ecLine(s) + "\n";
}

std::wstring trustingLauncher() {
    std::wstring p = toWide(LAUNCHER_TRUSTING_EXE);
    for (wchar_t& c : p)
        c = c == L'/' ? L'\\' : c;
    return p;
}

// The signed build every case starts from: the stub game, published once.
struct SignedBuild {
    GameBuild build = stubBuild("signed");
    Manifest manifest = build.publishAll();

    // Publishes a manifest with its sequence at /signed-NAME.json and the signature file
    // beside it; returns the manifest's URL.
    std::string publish(const std::string& name, std::optional<std::int64_t> sequence,
                        const std::function<void(std::string& body, std::string& sig)>& spoil = {}) {
        Manifest m = manifest;
        m.sequence = sequence;
        std::string body = serializeManifest(m), sig = signatureOf(body, TRUSTED_KEY_PEM);
        if (spoil) spoil(body, sig);
        ::publish(toWide("signed-" + name + ".json"), body);
        removePath(joinPath(webRoot(), toWide("signed-" + name + ".json.sig")));
        if (!sig.empty()) ::publish(toWide("signed-" + name + ".json.sig"), sig);
        return httpsUrl("/signed-" + name + ".json");
    }
};

struct TrustingRun {
    ProcessRun process;
    std::string log;       // the launcher's log lines of the run
    std::string requests;  // what nginx was asked for the build's files
    std::string manifests; // and for manifests and signatures
};

TrustingRun runTrusting(const TempDir& dir, const std::string& url, const std::wstring& game) {
    std::int64_t logStart = 0;
    fileInfo(logFilePath(), &logStart);
    const std::size_t requestStart = accessLogSize();
    TrustingRun r;
    r.process =
        headless(dir, L"-nolaunch -manifest " + toWide(url) + L" -dir " + quoted(game), trustingLauncher());
    readWholeFile(logFilePath(), r.log);
    r.log = r.log.substr(static_cast<std::size_t>(logStart));
    std::istringstream in(accessLogFrom(requestStart));
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("GET /signed/")) r.requests += line + "\n";
        if (line.starts_with("GET /signed-")) r.manifests += line + "\n";
    }
    return r;
}

const std::string unreachableLine =
    "Something went wrong | Could not reach the update server. Check your internet connection and try again.";
const std::string offlineLine =
    "Can't reach the update server | You can still play with the files you already have.";

TEST(Signed, ASignedBuildInstallsAndEveryForgeryIsRefused) {
    SignedBuild signedBuild;
    TempDir dir;
    const struct {
        std::string name;
        std::function<void(std::string&, std::string&)> spoil;
        std::string reason;
    } forgeries[] = {
        {"tampered", [](std::string& body, std::string&) { body[body.find("signed-1")] = 'S'; },
         "signature does not match"},
        {"untrusted", [](std::string& body, std::string& sig) { sig = signatureOf(body, OTHER_KEY_PEM); },
         "signature does not match"},
        {"unsigned", [](std::string&, std::string& sig) { sig.clear(); }, "signature missing"},
        {"twolines", [](std::string&, std::string& sig) { sig += sig; }, "signature missing"},
        {"truncated", [](std::string&, std::string& sig) { sig.resize(100); }, "signature missing"},
    };
    // Nothing installed yet: every forgery is a manifest that cannot be had.
    for (const auto& f : forgeries) {
        const std::wstring game = dir / toWide(f.name);
        const TrustingRun r = runTrusting(dir, signedBuild.publish(f.name, 100, f.spoil), game);
        EXPECT_EQ(r.process.exitCode, 1u) << f.name;
        EXPECT_EQ(lastLine(r.process.output), unreachableLine) << f.name;
        EXPECT_NE(r.log.find("manifest failed: " + f.reason + "\n"), std::string::npos) << f.name << r.log;
        EXPECT_EQ(r.requests, "") << f.name;
        EXPECT_FALSE(fileInfo(joinPath(game, stateFileName))) << f.name;
    }

    // The genuine build installs and records its sequence.
    const std::wstring game = dir / L"game";
    const TrustingRun installed = runTrusting(dir, signedBuild.publish("genuine", 100), game);
    ASSERT_EQ(installed.process.exitCode, 0u) << installed.process.output;
    EXPECT_EQ(loadInstallState(game).sequence, 100);

    // With a playable install, each refusal offers the game as it is: nothing is fetched, nothing
    // of the folder is touched.
    make(joinPath(game, L"my notes.txt"), "mine");
    std::string state;
    ASSERT_TRUE(readWholeFile(joinPath(game, stateFileName), state));
    for (const auto& f : forgeries) {
        const TrustingRun r = runTrusting(dir, httpsUrl("/signed-" + f.name + ".json"), game);
        EXPECT_EQ(r.process.exitCode, 0u) << f.name;
        EXPECT_EQ(lastLine(r.process.output), offlineLine) << f.name;
        EXPECT_NE(r.log.find("manifest failed: " + f.reason + "\n"), std::string::npos) << f.name << r.log;
        EXPECT_EQ(r.requests, "") << f.name;
    }
    std::string after;
    EXPECT_TRUE(readWholeFile(joinPath(game, stateFileName), after) && after == state);
    EXPECT_TRUE(fileInfo(joinPath(game, L"my notes.txt")));

    // Never back to an older build, nor to one without a sequence; the same one again and a
    // newer one are fine.
    const struct {
        std::string name;
        std::optional<std::int64_t> sequence;
        std::string line;
    } orders[] = {
        {"older", 99, "manifest failed: older than the installed build (sequence 99, installed 100)\n"},
        {"unnumbered", std::nullopt,
         "manifest failed: older than the installed build (sequence none, installed 100)\n"},
        {"same", 100, ""},
        {"newer", 101, ""},
    };
    for (const auto& o : orders) {
        const TrustingRun r = runTrusting(dir, signedBuild.publish(o.name, o.sequence), game);
        EXPECT_EQ(r.process.exitCode, 0u) << o.name;
        if (o.line.empty()) {
            EXPECT_TRUE(lastLine(r.process.output).starts_with("Ready to play!"))
                << o.name << r.process.output;
        } else {
            EXPECT_EQ(lastLine(r.process.output), offlineLine) << o.name;
            EXPECT_NE(r.log.find(o.line), std::string::npos) << o.name << r.log;
        }
    }
    EXPECT_EQ(loadInstallState(game).sequence, 101);

    // Deleting the state file, as a player may to repair, does not lower the floor.
    ASSERT_EQ(removePath(joinPath(game, stateFileName)), 0u);
    const TrustingRun r = runTrusting(dir, signedBuild.publish("newer", 99), game);
    EXPECT_EQ(lastLine(r.process.output), unreachableLine);
    EXPECT_NE(r.log.find("manifest failed: older than the installed build (sequence 99, installed 101)\n"),
              std::string::npos)
        << r.log;
}

TEST(Signed, AnUnchangedManifestCostsAnEmpty304AndItsKeptCopyIsCheckedAgain) {
    SignedBuild signedBuild;
    TempDir dir;
    const std::wstring game = dir / L"game";
    const std::string url = signedBuild.publish("kept", 100);
    ASSERT_EQ(runTrusting(dir, url, game).process.exitCode, 0u);

    const TrustingRun unchanged = runTrusting(dir, url, game);
    EXPECT_TRUE(lastLine(unchanged.process.output).starts_with("Ready to play!")) << unchanged.process.output;
    EXPECT_TRUE(std::regex_match(unchanged.manifests,
                                 std::regex(R"(GET /signed-kept.json\?t=\d+ HTTP/1.1 304 .* sent=0 .*\n)")))
        << unchanged.manifests;

    // A kept copy changed in the folder fails its signature like a forged answer would, and is
    // replaced by the manifest fetched whole.
    ManifestCopy copy = loadManifestCopy(game);
    ASSERT_FALSE(copy.body.empty());
    const std::string genuine = copy.body;
    copy.body[copy.body.find("signed-1")] = 'S';
    ASSERT_FALSE(replaceFileDurably(joinPath(game, manifestCopyName), serializeManifestCopy(copy)).failed);
    const TrustingRun forged = runTrusting(dir, url, game);
    EXPECT_TRUE(lastLine(forged.process.output).starts_with("Ready to play!")) << forged.process.output;
    EXPECT_TRUE(std::regex_match(forged.manifests,
                                 std::regex(R"(GET /signed-kept.json\?t=\d+ HTTP/1.1 304 .*\n)"
                                            R"(GET /signed-kept.json\?t=\d+ HTTP/1.1 200 .*\n)"
                                            R"(GET /signed-kept.json.sig\?t=\d+ HTTP/1.1 200 .*\n)")))
        << forged.manifests;
    EXPECT_EQ(loadManifestCopy(game).body, genuine);
}

} // namespace
