// Runs of the real launcher on generated builds whose game is the recording stub.
#pragma once

#include "support/game_build.h"
#include "support/run_process.h"
#include "support/temp_dir.h"
#include "sync/state.h"

#include <string>
#include <vector>

inline std::string stubBytes() {
    std::string bytes;
    std::wstring path = toWide(STUB_GAME_EXE);
    for (wchar_t& c : path)
        c = c == L'/' ? L'\\' : c;
    EXPECT_TRUE(readWholeFile(path, bytes));
    return bytes;
}

// A build whose game is the stub that records how it was started.
inline GameBuild stubBuild(const std::string& name) {
    GameBuild b;
    b.name = name;
    b.files = {{"Vellumark Online.exe", stubBytes()},
               {"Vellumark Online_Data/level.pak", pattern(150000, 3)},
               {"readme.txt", "readme"}};
    return b;
}

inline std::string manifestUrlOf(const GameBuild& b) {
    return publishManifest(b.name, b.publishAll());
}

// The status lines of a headless run's output: each introduced by a carriage return.
inline std::vector<std::string> statusLines(const std::string& output) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while ((at = output.find('\r', at)) != std::string::npos) {
        const std::size_t end = output.find_first_of("\r\n", at + 1);
        lines.push_back(output.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1));
        at = end == std::string::npos ? output.size() : end;
    }
    return lines;
}

inline std::string trimmed(std::string s) {
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

inline std::string lastLine(const std::string& output) {
    const auto lines = statusLines(output);
    return lines.empty() ? "" : trimmed(lines.back());
}

// What the stub recorded, waiting a little for it: the launcher does not wait for the game.
inline std::string stubRecord(const std::wstring& folder, int waitMs = 10000) {
    std::string text;
    for (int waited = 0; waited <= waitMs; waited += 100) {
        if (readWholeFile(joinPath(folder, L"stub-record.txt"), text) && !text.empty()) return text;
        Sleep(100);
    }
    return "";
}

inline void make(const std::wstring& path, const std::string& bytes) {
    std::wstring failed;
    ASSERT_EQ(makeDirs(parentFolder(path), failed), 0u);
    ASSERT_FALSE(writeWholeFile(path, bytes).failed);
}

inline ProcessRun headless(const TempDir& dir, const std::wstring& arguments,
                           const std::wstring& exe = builtLauncher()) {
    return Process(exe, L"-headless " + arguments, dir.path(), dir / L"stdout.txt").wait();
}

inline std::wstring quoted(const std::wstring& path) {
    return L"\"" + path + L"\"";
}
