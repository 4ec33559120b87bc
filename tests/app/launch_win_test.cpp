#include "app/launch.h"
#include "store/text.h"

#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <random>

namespace {

std::vector<std::wstring> split(const std::wstring& commandLine) {
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(commandLine.c_str(), &count);
    std::vector<std::wstring> out(argv, argv + count);
    LocalFree(argv);
    return out;
}

TEST(Quote, KnownCases) {
    const struct {
        std::wstring text, quoted;
    } cases[] = {
        {L"", L"\"\""},
        {L"abc", L"abc"},
        {L"a b", L"\"a b\""},
        {L"a\"b", L"a\\\"b"},
        {LR"(C:\My Dir\)", LR"("C:\My Dir\\")"},
        {LR"(x\\"y)", LR"(x\\\\\"y)"},
        {L"tab\there", L"\"tab\there\""},
        {LR"(C:\NoSpace\)", LR"(C:\NoSpace\)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(quoteArgument(c.text), c.quoted) << toUtf8(c.text);
}

TEST(Quote, RoundTripsThroughTheSystemsSplitter) {
    std::mt19937 rng(12345);
    const std::wstring alphabet = L" \t\"\\ab\u00e9";
    std::vector<std::wstring> texts = {L"",   L"abc", L"a b",  L"a\"b", LR"(C:\My Dir\)", LR"(x\\"y)",
                                       L"\\", L"\"",  L"\\\\", L" ",    L"\\\"\\"};
    for (int i = 0; i < 2000; ++i) {
        std::wstring t;
        const int length = static_cast<int>(rng() % 12);
        for (int k = 0; k < length; ++k)
            t += alphabet[rng() % alphabet.size()];
        texts.push_back(t);
    }
    for (std::size_t i = 0; i + 1 < texts.size(); i += 2) {
        // The program name is quoted too; the arguments follow it.
        const std::wstring line = L"prog.exe " + quoteArgument(texts[i]) + L" " + quoteArgument(texts[i + 1]);
        const std::vector<std::wstring> back = split(line);
        ASSERT_EQ(back.size(), 3u) << toUtf8(line);
        EXPECT_EQ(back[1], texts[i]) << toUtf8(line);
        EXPECT_EQ(back[2], texts[i + 1]) << toUtf8(line);
    }
}

} // namespace
