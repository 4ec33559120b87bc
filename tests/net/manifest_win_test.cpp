#include "net/manifest.h"
#include "net/manifest_copy.h"
#include "support/servers.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

const std::string goodManifest =
    R"({"version":"7","baseUrl":"https://files/b","exe":"Vellumark Online.exe","files":[{"path":"a","size":1}]})";

TEST(ManifestFetch, FetchesWithNoCacheAndATimeQuery) {
    publish(L"fetch/manifest.json", goodManifest);
    const std::size_t logStart = accessLogSize();
    Manifest m;
    const FileError e = fetchManifest(httpsUrl("/fetch/manifest.json"), m);
    ASSERT_FALSE(e.failed) << e.message;
    EXPECT_EQ(m.version, "7");
    EXPECT_EQ(m.baseUrl, "https://files/b/");

    ASSERT_FALSE(fetchManifest(httpsUrl("/fetch/manifest.json?channel=beta"), m).failed);
    const std::string log = accessLogFrom(logStart);
    EXPECT_TRUE(std::regex_search(log, std::regex(R"(GET /fetch/manifest.json\?t=\d{10} HTTP/1.1 200 )")))
        << log;
    EXPECT_TRUE(std::regex_search(log, std::regex(R"(GET /fetch/manifest.json\?channel=beta&t=\d{10} )")))
        << log;
    EXPECT_NE(log.find("cc=\"no-cache\""), std::string::npos) << log;
    EXPECT_NE(log.find("ua=\"VellumarkLauncher/1.1\""), std::string::npos) << log;

    // A server that compresses sends a manifest in a fraction of its bytes.
    const std::string version(20000, '7');
    publish(L"fetch/big.json", std::regex_replace(goodManifest, std::regex(R"("7")"), '"' + version + '"'));
    const std::size_t bigStart = accessLogSize();
    const FileError big = fetchManifest(httpsUrl("/fetch/big.json"), m);
    ASSERT_FALSE(big.failed) << big.message;
    EXPECT_EQ(m.version, version);
    std::smatch sent;
    const std::string bigLog = accessLogFrom(bigStart);
    ASSERT_TRUE(std::regex_search(bigLog, sent, std::regex(R"(sent=(\d+))"))) << bigLog;
    EXPECT_LT(std::stoi(sent[1]), 1000) << bigLog;
}

TEST(ManifestFetch, EveryOutcomeOverTheNetwork) {
    publish(L"fetch/array.json", "[1]");
    publish(L"fetch/null.json", "null");
    publish(L"fetch/trailing.json", goodManifest + "\n<html>not json</html>");
    const std::string closed = "https://localhost:1/game/manifest.json";
    const struct {
        std::string url;
        std::string message;
        bool network;
    } cases[] = {
        {closed, "Get \"" + closed + "?t=", true}, // the time follows
        {httpsUrl("/fetch/missing.json"), "manifest: HTTP 404", false},
        {faultUrl("/status/503"), "manifest: HTTP 503", false},
        {httpsUrl("/fetch/array.json"), "manifest is not valid: unexpected value", false},
        {httpsUrl("/fetch/null.json"), "manifest is incomplete", false},
        {faultUrl("/body/%7B%22baseUrl"), "manifest is not valid: bad JSON", false},
        {faultUrl("/gzip/bomb"), "manifest is not valid: larger than 64 MiB", false},
        {faultUrl("/gzip/br"), "manifest is not valid: unknown encoding br", false},
        {httpsUrl("/fetch/trailing.json"), "", false},
    };
    for (const auto& c : cases) {
        Manifest m;
        const FileError e = fetchManifest(c.url, m);
        if (c.network) {
            EXPECT_TRUE(e.message.starts_with(c.message)) << e.message;
            EXPECT_TRUE(e.message.ends_with("\": dial tcp: could not connect to localhost")) << e.message;
        } else {
            EXPECT_EQ(e.message, c.message) << c.url;
        }
        EXPECT_EQ(e.network, c.network) << c.url;
    }
}

TEST(ManifestFetch, AnUnchangedManifestIsAnswered304AndItsKeptCopyUsed) {
    publish(L"fetch/kept.json", goodManifest);
    const std::string url = httpsUrl("/fetch/kept.json");
    ManifestCopy copy;
    Manifest m;
    ASSERT_FALSE(fetchManifest(url, m, {}, &copy).failed);
    EXPECT_EQ(copy.body, goodManifest);
    EXPECT_EQ(copy.url, url);
    EXPECT_FALSE(copy.etag.empty());
    EXPECT_FALSE(copy.lastModified.empty());

    std::size_t logStart = accessLogSize();
    const ManifestCopy before = copy;
    Manifest again;
    ASSERT_FALSE(fetchManifest(url, again, {}, &copy).failed);
    EXPECT_EQ(again.version, "7");
    EXPECT_EQ(copy, before);
    EXPECT_TRUE(
        std::regex_search(accessLogFrom(logStart), std::regex(R"(kept.json\?t=\d+ HTTP/1.1 304 .*sent=0 )")))
        << accessLogFrom(logStart);

    // A copy that no longer parses is not used: the manifest is asked for whole and replaces it.
    copy.body = "{";
    logStart = accessLogSize();
    ASSERT_FALSE(fetchManifest(url, again, {}, &copy).failed);
    EXPECT_EQ(copy, before);
    EXPECT_NE(accessLogFrom(logStart).find(" 200 "), std::string::npos) << accessLogFrom(logStart);

    // A changed manifest comes whole even to a launcher with a copy.
    const std::string changed = std::regex_replace(goodManifest, std::regex(R"("7")"), R"("8")");
    Sleep(1100); // a new Last-Modified second
    publish(L"fetch/kept.json", changed);
    ASSERT_FALSE(fetchManifest(url, again, {}, &copy).failed);
    EXPECT_EQ(again.version, "8");
    EXPECT_EQ(copy.body, changed);
}

TEST(ManifestFetch, CutBodyNeverPassesAsAManifest) {
    // The fault server sends half of the declared length, then closes.
    Manifest m;
    const FileError e = fetchManifest(faultUrl("/cut/500"), m);
    ASSERT_TRUE(e.failed);
    EXPECT_TRUE(e.message == "manifest is not valid: unexpected EOF" ||
                e.message == "manifest is not valid: bad JSON")
        << e.message;
}

TEST(ManifestFetch, ABodyLargerThan64MiBIsRefusedBeforeParsing) {
    Manifest m;
    EXPECT_EQ(fetchManifest(faultUrl("/spaces/67108865"), m).message,
              "manifest is not valid: larger than 64 MiB");
}

TEST(ManifestFetch, BodyThatTricklesForMoreThanThirtySecondsTimesOut) {
    // Every byte comes well within the receive time-out, but the whole body takes 32 s. (Wine
    // hands the body over only once it is complete, so the time-out shows at its end.)
    Manifest m;
    EXPECT_EQ(fetchManifest(faultUrl("/trickle/33"), m).message, "manifest is not valid: timeout");
}

TEST(ManifestFetch, ResolvesSafePathsInsideTheGameFolder) {
    const std::wstring game = LR"(C:\Games\Vellumark)";
    const struct {
        std::string path;
        std::wstring local;
    } cases[] = {
        {"a.bin", LR"(C:\Games\Vellumark\a.bin)"},
        {"data/sub//x y.pak", LR"(C:\Games\Vellumark\data\sub\x y.pak)"},
        {"\\lead.txt", LR"(C:\Games\Vellumark\lead.txt)"},
        {"caf\xC3\xA9/\xE2\x82\xAC", L"C:\\Games\\Vellumark\\caf\u00e9\\\u20ac"},
    };
    for (const auto& c : cases) {
        std::wstring out;
        ASSERT_FALSE(resolveManifestPath(game, c.path, out).failed) << c.path;
        EXPECT_EQ(out, c.local) << c.path;
    }
    for (const std::string bad : {"", "C:/x", "//x", "/x", "a/../b", "a..b", "nul", "x:y", "a./b"}) {
        std::wstring out = L"unchanged";
        const FileError e = resolveManifestPath(game, bad, out);
        EXPECT_EQ(e.message, "unsafe path in manifest: " + bad);
        EXPECT_EQ(out, L"unchanged");
    }
}

} // namespace
