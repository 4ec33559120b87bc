#include "app/error_box.h"

#include "store/text.h"

#include <windows.h>

void showErrorBox(std::string_view text) {
    const std::wstring body = L"The launcher hit an unexpected problem:\n\n" + toWide(text);
    MessageBoxW(nullptr, body.c_str(), L"Vellumark Launcher", MB_ICONERROR);
}
