#include "store/text.h"

#include <windows.h>

std::wstring toWide(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int size = static_cast<int>(utf8.size());
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, out.data(), n);
    return out;
}

namespace {

std::wstring formatSystemMessage(DWORD code, DWORD language) {
    wchar_t buffer[300];
    const DWORD flags =
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ARGUMENT_ARRAY;
    DWORD n = FormatMessageW(flags, nullptr, code, language, buffer, 300, nullptr);
    while (n > 0 && (buffer[n - 1] == L'\r' || buffer[n - 1] == L'\n'))
        --n;
    return std::wstring(buffer, n);
}

} // namespace

std::string systemText(std::uint32_t code) {
    std::wstring text = formatSystemMessage(code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (text.empty()) text = formatSystemMessage(code, 0);
    if (text.empty()) return "winapi error #" + std::to_string(code);
    return toUtf8(text);
}
