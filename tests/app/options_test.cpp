#include "app/options.h"
#include "store/text.h"

#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

namespace {

// Splits a command line the way the launcher's own arguments are split: by the system.
std::vector<std::wstring> split(const std::wstring& commandLine) {
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(commandLine.c_str(), &count);
    EXPECT_NE(argv, nullptr);
    std::vector<std::wstring> args(argv + 1, argv + count);
    LocalFree(argv);
    return args;
}

struct Case {
    std::wstring arguments; // after the program name
    int result;
    LaunchOptions expected; // compared only when the options were read
};

LaunchOptions with(void (*change)(LaunchOptions&)) {
    LaunchOptions o = defaultOptions();
    change(o);
    return o;
}

TEST(Options, CommandLinesSplitBySystemAndParsed) {
    const LaunchOptions defaults = defaultOptions();
    const Case cases[] = {
        {L"", optionsRead, defaults},
        {L"update -headless", optionsRead, defaults},
        {LR"(-headless=false -dir D:\Game)", optionsRead, with([](auto& o) { o.gameDir = LR"(D:\Game)"; })},
        {L"--dir=", optionsRead, defaults},
        {L"-dir -headless", optionsRead, with([](auto& o) { o.gameDir = L"-headless"; })},
        {L"-skipupdate -headless", optionsRead, with([](auto& o) { o.skipUpdate = o.headless = true; })},
        {L"-skipupdate -nolaunch", optionsRead, with([](auto& o) { o.skipUpdate = o.noLaunch = true; })},
        {L"--headless -- -bogus", optionsRead, with([](auto& o) { o.headless = true; })},
        {L"-headless stop -bogus", optionsRead, with([](auto& o) { o.headless = true; })},
        {L"/headless", optionsRead, defaults},
        {L"- -headless", optionsRead, defaults},
        {L"-nolaunch=1 -nolaunch=F", optionsRead, defaults},
        {L"-headless=True -nolaunch=t", optionsRead, with([](auto& o) { o.headless = o.noLaunch = true; })},
        {L"-dir=a=b", optionsRead, with([](auto& o) { o.gameDir = L"a=b"; })},
        {LR"(-dir "C:\Program Files\Vellumark Online")", optionsRead,
         with([](auto& o) { o.gameDir = LR"(C:\Program Files\Vellumark Online)"; })},
        {L"-manifest=https://h/m.json?a=b=c", optionsRead,
         with([](auto& o) { o.manifestUrl = "https://h/m.json?a=b=c"; })},
        {L"--manifest https://h/caf\u00e9.json", optionsRead,
         with([](auto& o) { o.manifestUrl = "https://h/caf\xC3\xA9.json"; })},
        {L"-manifest -x", optionsRead, with([](auto& o) { o.manifestUrl = "-x"; })},
        {L"-manifest=", optionsRead, with([](auto& o) { o.manifestUrl = ""; })},
        {L"-manifest", badCommandLine, {}},
        {L"-headless -dir", badCommandLine, {}},
        {L"-NoLaunch", badCommandLine, {}},
        {L"---x", badCommandLine, {}},
        {L"-=x", badCommandLine, {}},
        {L"--=x", badCommandLine, {}},
        {L"-nolaunch=yes", badCommandLine, {}},
        {L"-nolaunch=", badCommandLine, {}},
        {L"-x", badCommandLine, {}},
        {L"-headless -unknown -h", badCommandLine, {}},
        {L"-h", helpRequested, {}},
        {L"--help", helpRequested, {}},
        {L"-help=anything", helpRequested, {}},
        {L"-headless -h -unknown", helpRequested, {}},
    };
    for (const auto& c : cases) {
        const std::string shown = toUtf8(c.arguments);
        LaunchOptions o = defaultOptions();
        ASSERT_EQ(parseArguments(split(L"launcher.exe " + c.arguments), o), c.result) << shown;
        if (c.result != optionsRead) continue;
        EXPECT_EQ(o.manifestUrl, c.expected.manifestUrl) << shown;
        EXPECT_EQ(o.gameDir, c.expected.gameDir) << shown;
        EXPECT_EQ(o.noLaunch, c.expected.noLaunch) << shown;
        EXPECT_EQ(o.headless, c.expected.headless) << shown;
        EXPECT_EQ(o.skipUpdate, c.expected.skipUpdate) << shown;
    }
}

TEST(Options, DefaultManifestIsAnHttpsUrlOfTheGameManifest) {
    const std::string url = defaultManifestUrl();
    EXPECT_TRUE(url.starts_with("https://")) << url;
    EXPECT_TRUE(url.ends_with("/game/manifest.json")) << url;
}

TEST(Options, ParseBoolAcceptsExactlyTwelveTexts) {
    for (const wchar_t* t : {L"1", L"t", L"T", L"TRUE", L"true", L"True"}) {
        bool out = false;
        EXPECT_TRUE(parseBool(t, out));
        EXPECT_TRUE(out);
    }
    for (const wchar_t* t : {L"0", L"f", L"F", L"FALSE", L"false", L"False"}) {
        bool out = true;
        EXPECT_TRUE(parseBool(t, out));
        EXPECT_FALSE(out);
    }
    for (const wchar_t* t : {L"", L"yes", L"tRUE", L"2", L" 1", L"1 ", L"truE", L"no", L"on"}) {
        bool out = true;
        EXPECT_FALSE(parseBool(t, out)) << toUtf8(t);
        EXPECT_TRUE(out);
    }
}

} // namespace
