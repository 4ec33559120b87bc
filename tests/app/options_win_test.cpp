#include "app/options.h"

#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

namespace {

TEST(Options, DefaultManifestIsAnHttpsUrlOfTheGameManifest) {
    const std::string url = defaultManifestUrl();
    EXPECT_TRUE(url.starts_with("https://")) << url;
    EXPECT_TRUE(url.ends_with("/game/manifest.json")) << url;
}

// The parser gets its arguments from the system's splitting: a quoted folder with spaces
// arrives whole, dashes and all.
TEST(Options, TheSystemSplitsTheLaunchersCommandLine) {
    int count = 0;
    wchar_t** argv =
        CommandLineToArgvW(LR"(launcher.exe -dir "C:\Program Files\Vellumark Online" -manifest -x)", &count);
    ASSERT_NE(argv, nullptr);
    const std::vector<std::wstring> args(argv + 1, argv + count);
    LocalFree(argv);
    LaunchOptions o;
    EXPECT_EQ(parseArguments(args, o), CommandLine::Read);
    EXPECT_EQ(o.gameDir, LR"(C:\Program Files\Vellumark Online)");
    EXPECT_EQ(o.manifestUrl, "-x");
}

} // namespace
