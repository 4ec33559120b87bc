// A stand-in for the game (and for a new launcher): appends to "stub-record.txt" beside
// itself its working folder, its command line and the kinds of its standard handles. While
// "stub-hold.txt" lies beside it, it keeps running (a minute at most), as a game does, and
// appends "ended" when it goes.
#include <windows.h>

#include <string>

namespace {

std::string utf8(const std::wstring& w) {
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::string handleKind(DWORD which) {
    const HANDLE h = GetStdHandle(which);
    if (!h || h == INVALID_HANDLE_VALUE) return "none";
    // The NUL device is a character device that is not a console.
    DWORD mode = 0;
    if (GetFileType(h) == FILE_TYPE_CHAR && !GetConsoleMode(h, &mode)) return "nul";
    return "other";
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t self[32768];
    const DWORD n = GetModuleFileNameW(nullptr, self, 32768);
    const std::wstring folder =
        std::wstring(self, n).substr(0, std::wstring(self, n).find_last_of(L'\\') + 1);
    const std::wstring record = folder + L"stub-record.txt";
    wchar_t cwd[32768];
    const DWORD c = GetCurrentDirectoryW(32768, cwd);
    const std::string text = "cwd=" + utf8(std::wstring(cwd, c)) + "\ncmd=" + utf8(GetCommandLineW()) +
                             "\nstdin=" + handleKind(STD_INPUT_HANDLE) +
                             " stdout=" + handleKind(STD_OUTPUT_HANDLE) +
                             " stderr=" + handleKind(STD_ERROR_HANDLE) + "\n";
    const HANDLE f = CreateFileW(record.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(f);
    const std::wstring hold = folder + L"stub-hold.txt";
    if (GetFileAttributesW(hold.c_str()) == INVALID_FILE_ATTRIBUTES) return 0;
    for (int waited = 0; waited < 60000 && GetFileAttributesW(hold.c_str()) != INVALID_FILE_ATTRIBUTES;
         waited += 50)
        Sleep(50);
    const HANDLE again = CreateFileW(record.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    WriteFile(again, "ended\n", 6, &written, nullptr);
    CloseHandle(again);
    return 0;
}
