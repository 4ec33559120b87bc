#include "store/paths.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string narrow(const std::wstring& w) {
    return std::string(w.begin(), w.end());
}

struct Case {
    std::wstring a, b, expected;
};

TEST(PathText, JoinPath) {
    const Case cases[] = {
        {LR"(C:\Games\)", L"/data/x.bin", LR"(C:\Games\data/x.bin)"},
        {LR"(C:\Games)", L"data", LR"(C:\Games\data)"},
        {L"C:/Games/", LR"(\\x)", L"C:/Games/x"},
        {L"", L"/rel", L"/rel"},
        {LR"(C:\Games)", L"", LR"(C:\Games)"},
        {LR"(C:\Games)", L"///", LR"(C:\Games\)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(joinPath(c.a, c.b), c.expected) << narrow(c.a) << " + " << narrow(c.b);
}

TEST(PathText, NormalisePath) {
    const Case cases[] = {
        {LR"(C:/Games//data\\\x/)", L"", LR"(C:\Games\data\x)"},
        {LR"(C:\)", L"", LR"(C:\)"},
        {L"C://", L"", LR"(C:\)"},
        {LR"(\\server\share\\dir\)", L"", LR"(\\server\share\dir)"},
        {LR"(\\?\C:\long\\path)", L"", LR"(\\?\C:\long\path)"},
        {L"//server/share", L"", LR"(\\server\share)"},
        {L"rel\\", L"", L"rel"},
        {L"", L"", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(normalisePath(c.a), c.expected) << narrow(c.a);
}

TEST(PathText, ParentFolder) {
    const Case cases[] = {
        {LR"(C:\Games\Vellumark\launcher.exe)", L"", LR"(C:\Games\Vellumark)"},
        {LR"(C:\launcher.exe)", L"", LR"(C:\)"},
        {L"C:/x/y", L"", L"C:/x"},
        {LR"(\launcher.exe)", L"", LR"(\)"},
        {L"launcher.exe", L"", L"."},
        {LR"(\\server\share\l.exe)", L"", LR"(\\server\share)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parentFolder(c.a), c.expected) << narrow(c.a);
}

TEST(PathText, ExtendedPathOnlyForLongDrivePaths) {
    const std::wstring base = LR"(C:\)";
    const std::wstring short239 = base + std::wstring(236, L'a');
    ASSERT_EQ(short239.size(), 239u);
    EXPECT_EQ(extendedPath(short239), short239);

    const std::wstring long240 = L"C:/" + std::wstring(200, L'a') + L"/" + std::wstring(36, L'b');
    ASSERT_EQ(long240.size(), 240u);
    const std::wstring expected = LR"(\\?\C:\)" + std::wstring(200, L'a') + L"\\" + std::wstring(36, L'b');
    EXPECT_EQ(extendedPath(long240), expected);
    EXPECT_EQ(extendedPath(expected), expected); // already extended

    const std::wstring network = LR"(\\server\share\)" + std::wstring(285, L'n');
    ASSERT_EQ(network.size(), 300u);
    EXPECT_EQ(extendedPath(network), network);
    const std::wstring relative(300, L'r');
    EXPECT_EQ(extendedPath(relative), relative);
}

} // namespace
