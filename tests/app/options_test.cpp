#include "app/options.h"
#include "store/text.h"

#include <gtest/gtest.h>

namespace {

// Splits a command line at spaces outside double quotes, as the system does for command
// lines without backslashes before quotes (all of those below; options_win_test checks that
// the system agrees).
std::vector<std::wstring> split(const std::wstring& commandLine) {
    std::vector<std::wstring> args;
    std::wstring current;
    bool quoted = false, any = false;
    for (const wchar_t c : commandLine) {
        if (c == L'"') {
            quoted = !quoted;
            any = true;
        } else if (c == L' ' && !quoted) {
            if (any) args.push_back(current);
            current.clear();
            any = false;
        } else {
            current += c;
            any = true;
        }
    }
    if (any) args.push_back(current);
    args.erase(args.begin()); // the program's name
    return args;
}

struct Case {
    std::wstring arguments; // after the program name
    CommandLine result;
    LaunchOptions expected; // compared only when the options were read
};

const LaunchOptions defaults = [] {
    LaunchOptions o;
    o.manifestUrl = "https://default/m.json";
    return o;
}();

LaunchOptions with(void (*change)(LaunchOptions&)) {
    LaunchOptions o = defaults;
    change(o);
    return o;
}

TEST(Options, CommandLinesParsed) {
    const Case cases[] = {
        {L"", CommandLine::Read, defaults},
        {L"update -headless", CommandLine::Read, defaults},
        {LR"(-headless=false -dir D:\Game)", CommandLine::Read,
         with([](auto& o) { o.gameDir = LR"(D:\Game)"; })},
        {L"--dir=", CommandLine::Read, defaults},
        {L"-dir -headless", CommandLine::Read, with([](auto& o) { o.gameDir = L"-headless"; })},
        {L"-skipupdate -headless", CommandLine::Read,
         with([](auto& o) { o.skipUpdate = o.headless = true; })},
        {L"-skipupdate -nolaunch", CommandLine::Read,
         with([](auto& o) { o.skipUpdate = o.noLaunch = true; })},
        {L"--headless -- -bogus", CommandLine::Read, with([](auto& o) { o.headless = true; })},
        {L"-headless stop -bogus", CommandLine::Read, with([](auto& o) { o.headless = true; })},
        {L"/headless", CommandLine::Read, defaults},
        {L"- -headless", CommandLine::Read, defaults},
        {L"-nolaunch=1 -nolaunch=F", CommandLine::Read, defaults},
        {L"-headless=True -nolaunch=t", CommandLine::Read,
         with([](auto& o) { o.headless = o.noLaunch = true; })},
        {L"-dir=a=b", CommandLine::Read, with([](auto& o) { o.gameDir = L"a=b"; })},
        {LR"(-dir "C:\Program Files\Vellumark Online")", CommandLine::Read,
         with([](auto& o) { o.gameDir = LR"(C:\Program Files\Vellumark Online)"; })},
        {L"-manifest=https://h/m.json?a=b=c", CommandLine::Read,
         with([](auto& o) { o.manifestUrl = "https://h/m.json?a=b=c"; })},
        {L"--manifest https://h/caf\u00e9.json", CommandLine::Read,
         with([](auto& o) { o.manifestUrl = "https://h/caf\xC3\xA9.json"; })},
        {L"-manifest -x", CommandLine::Read, with([](auto& o) { o.manifestUrl = "-x"; })},
        {L"-manifest=", CommandLine::Read, with([](auto& o) { o.manifestUrl = ""; })},
        {L"-manifest", CommandLine::Bad, {}},
        {L"-headless -dir", CommandLine::Bad, {}},
        {L"-NoLaunch", CommandLine::Bad, {}},
        {L"---x", CommandLine::Bad, {}},
        {L"-=x", CommandLine::Bad, {}},
        {L"--=x", CommandLine::Bad, {}},
        {L"-nolaunch=yes", CommandLine::Bad, {}},
        {L"-nolaunch=", CommandLine::Bad, {}},
        {L"-x", CommandLine::Bad, {}},
        {L"-headless -unknown -h", CommandLine::Bad, {}},
        {L"-maxrate=1000 -verify", CommandLine::Read,
         with([](auto& o) { o.maxRate = 1000, o.verify = true; })},
        {L"--maxrate 0", CommandLine::Read, defaults},
        {L"-maxrate=99999999999999999999999", CommandLine::Read, defaults}, // beyond any line: no limit
        {L"-maxrate=abc", CommandLine::Bad, {}},
        {L"-maxrate=-5", CommandLine::Bad, {}},
        {L"-maxrate -5", CommandLine::Bad, {}},
        {L"-maxrate=12x", CommandLine::Bad, {}},
        {L"-maxrate=", CommandLine::Bad, {}},
        {L"-maxrate= 5", CommandLine::Bad, {}},
        {L"-maxrate", CommandLine::Bad, {}},
        {L"-h", CommandLine::Help, {}},
        {L"--help", CommandLine::Help, {}},
        {L"-help=anything", CommandLine::Help, {}},
        {L"-headless -h -unknown", CommandLine::Help, {}},
    };
    for (const auto& c : cases) {
        const std::string shown = toUtf8(c.arguments);
        LaunchOptions o = defaults;
        ASSERT_EQ(parseArguments(split(L"launcher.exe " + c.arguments), o), c.result) << shown;
        if (c.result != CommandLine::Read) continue;
        EXPECT_EQ(o.manifestUrl, c.expected.manifestUrl) << shown;
        EXPECT_EQ(o.gameDir, c.expected.gameDir) << shown;
        EXPECT_EQ(o.noLaunch, c.expected.noLaunch) << shown;
        EXPECT_EQ(o.headless, c.expected.headless) << shown;
        EXPECT_EQ(o.skipUpdate, c.expected.skipUpdate) << shown;
        EXPECT_EQ(o.verify, c.expected.verify) << shown;
        EXPECT_EQ(o.maxRate, c.expected.maxRate) << shown;
    }
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
