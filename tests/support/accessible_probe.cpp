// accessible_probe [press|repair]: reads the launcher window's accessible tree from another
// process, as a screen reader does, and prints a line a child (itself first):
// "id role state name|value" in UTF-8, role and state in hex. With an argument it does the
// default action of the button or of the link instead.
#include <oleacc.h>
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

std::string utf8(const wchar_t* text) {
    if (!text) return "";
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

std::string taken(BSTR text) {
    std::string out = utf8(text);
    SysFreeString(text);
    return out;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const HWND window = FindWindowW(L"VellumarkLauncher", nullptr);
    IAccessible* client = nullptr;
    const HRESULT found = window
                              ? AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT),
                                                           IID_IAccessible, reinterpret_cast<void**>(&client))
                              : E_FAIL;
    if (FAILED(found)) {
        std::printf("no accessible window: %lx\n", static_cast<unsigned long>(found));
        return 2;
    }
    VARIANT child{};
    child.vt = VT_I4;
    if (argc > 1) {
        child.lVal = std::wcscmp(argv[1], L"press") == 0 ? 4 : 5;
        return SUCCEEDED(client->accDoDefaultAction(child)) ? 0 : 3;
    }
    long count = 0;
    client->get_accChildCount(&count);
    for (long id = 0; id <= count; ++id) {
        child.lVal = id;
        VARIANT role{}, state{};
        BSTR name = nullptr, value = nullptr;
        client->get_accRole(child, &role);
        client->get_accState(child, &state);
        client->get_accName(child, &name);
        client->get_accValue(child, &value);
        std::printf("%ld %lx %lx %s|%s\n", id, role.lVal, state.lVal, taken(name).c_str(),
                    taken(value).c_str());
    }
    client->Release();
    return 0;
}
