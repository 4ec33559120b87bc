// Runs the real launcher executable and checks what a start leaves behind.
#include "support/game_build.h"
#include "support/run_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <set>

namespace {

ProcessRun runLauncher(const std::wstring& exe, const std::wstring& arguments, const TempDir& dir) {
    return Process(exe, arguments, dir.path(), dir / L"stdout.txt").wait();
}

TEST(Launcher, WrongCommandLinesExitWithTwoAndHelpWithZero) {
    TempDir dir;
    const struct {
        std::wstring arguments;
        DWORD exitCode;
    } cases[] = {
        {L"-manifest", 2},     {L"-NoLaunch", 2}, {L"---x", 2},   {L"-=x", 2},
        {L"-nolaunch=yes", 2}, {L"-h", 0},        {L"--help", 0}, {L"-help=anything", 0},
    };
    for (const auto& c : cases) {
        const ProcessRun run = runLauncher(builtLauncher(), c.arguments, dir);
        EXPECT_EQ(run.exitCode, c.exitCode) << toUtf8(c.arguments);
        EXPECT_EQ(run.output, "") << toUtf8(c.arguments);
    }
}

TEST(Launcher, LeftoverOldExecutableGoesOnceTheParserAccepts) {
    TempDir dir;
    const std::wstring exe = dir / L"Vellumark Launcher.exe";
    const std::wstring old = exe + L".old";
    ASSERT_TRUE(CopyFileW(builtLauncher().c_str(), exe.c_str(), FALSE));
    ASSERT_FALSE(writeWholeFile(old, "previous launcher").failed);

    // A wrong command line touches nothing.
    EXPECT_EQ(runLauncher(exe, L"-NoLaunch", dir).exitCode, 2u);
    EXPECT_TRUE(fileInfo(old));

    const std::wstring game = dir / L"game";
    const ProcessRun run = runLauncher(
        exe, L"-headless -nolaunch -manifest https://localhost:1/game/manifest.json -dir \"" + game + L"\"",
        dir);
    EXPECT_EQ(run.exitCode, 1u); // nothing to play without the server
    EXPECT_FALSE(fileInfo(old));

    // The launcher that restarted this one may still be exiting, holding its old file.
    ASSERT_FALSE(writeWholeFile(old, "previous launcher").failed);
    Process later(exe, L"-headless -nolaunch -manifest https://localhost:1/m.json -dir \"" + game + L"\"",
                  dir.path(), dir / L"later.txt");
    {
        const FileHandle exiting(
            CreateFileW(old.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        Sleep(1000);
    }
    later.wait();
    EXPECT_FALSE(fileInfo(old));
}

// The DLLs the executable names in its import table, as the loader sees them at start.
std::vector<std::string> staticImports(const std::wstring& exe) {
    std::string image;
    EXPECT_TRUE(readWholeFile(exe, image));
    const auto at = [&](std::size_t offset, auto value) {
        std::memcpy(&value, image.data() + offset, sizeof value);
        return value;
    };
    const auto nt = at(0x3C, std::uint32_t{});
    const auto sections = at(nt + 6, std::uint16_t{});
    const auto optionalSize = at(nt + 20, std::uint16_t{});
    const std::size_t sectionTable = nt + 24 + optionalSize;
    // A virtual address inside a section, as an offset into the file.
    const auto fileOffset = [&](std::uint32_t rva) -> std::size_t {
        for (std::uint16_t i = 0; i < sections; ++i) {
            const std::size_t s = sectionTable + i * 40u;
            const auto va = at(s + 12, std::uint32_t{}), size = at(s + 8, std::uint32_t{});
            if (rva >= va && rva < va + size) return rva - va + at(s + 20, std::uint32_t{});
        }
        return 0;
    };
    std::vector<std::string> names;
    const auto importRva = at(nt + 24 + 120, std::uint32_t{}); // data directory 1 of a PE32+ header
    for (std::size_t d = fileOffset(importRva); d && at(d + 12, std::uint32_t{}) != 0; d += 20) {
        std::string name = image.c_str() + fileOffset(at(d + 12, std::uint32_t{}));
        for (char& c : name)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        names.push_back(name);
    }
    return names;
}

TEST(Launcher, ImportsOnlyTheSystemsKnownDlls) {
    // Known DLLs always come from the system folder; any other would be looked up beside the
    // executable first.
    const std::set<std::string> known = {"kernel32.dll", "user32.dll",   "gdi32.dll",  "shell32.dll",
                                         "ole32.dll",    "oleaut32.dll", "msvcrt.dll", "advapi32.dll"};
    const std::vector<std::string> imports = staticImports(builtLauncher());
    EXPECT_FALSE(imports.empty());
    for (const std::string& name : imports)
        EXPECT_TRUE(known.contains(name)) << name;
}

// Makes Wine take the named DLLs from beside one program, as Windows does, instead of its own.
class NativeDllsFor {
public:
    explicit NativeDllsFor(const std::wstring& program)
        : key_(LR"(Software\Wine\AppDefaults\)" + program + LR"(\DllOverrides)") {
        HKEY k = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr);
        const std::wstring order = L"native,builtin";
        for (const wchar_t* dll : {L"winhttp", L"bcrypt"})
            RegSetValueExW(k, dll, 0, REG_SZ, reinterpret_cast<const BYTE*>(order.c_str()),
                           static_cast<DWORD>((order.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(k);
    }
    ~NativeDllsFor() { RegDeleteKeyW(HKEY_CURRENT_USER, key_.c_str()); }

private:
    std::wstring key_;
};

TEST(Launcher, APlantedDllIsNeverLoaded) {
    TempDir dir;
    const std::wstring exe = dir / L"planted-launcher.exe";
    ASSERT_TRUE(CopyFileW(builtLauncher().c_str(), exe.c_str(), FALSE));
    for (const wchar_t* name : {L"winhttp.dll", L"bcrypt.dll"})
        ASSERT_TRUE(CopyFileW(toWide(PLANTED_DLL).c_str(), (dir / name).c_str(), FALSE));
    const NativeDllsFor nativeDlls(L"planted-launcher.exe");
    // A run that fetches (WinHTTP) and hashes a file it finds (CNG).
    GameBuild b;
    b.name = "planted";
    b.files = {{"Vellumark Online.exe", "game"}, {"data.bin", "new"}};
    const std::string url = publishManifest(b.name, b.publishAll());
    std::wstring failed;
    ASSERT_EQ(makeDirs(dir / L"game", failed), 0u);
    ASSERT_FALSE(writeWholeFile(dir / L"game\\data.bin", "old").failed);
    const ProcessRun run = runLauncher(
        exe, L"-headless -nolaunch -manifest " + toWide(url) + L" -dir \"" + (dir / L"game") + L"\"", dir);
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    std::string bytes;
    EXPECT_TRUE(readWholeFile(dir / L"game\\data.bin", bytes) && bytes == "new");
    EXPECT_FALSE(fileInfo(dir / L"winhttp.dll.loaded"));
    EXPECT_FALSE(fileInfo(dir / L"bcrypt.dll.loaded"));
}

} // namespace
