#include "ui/accessible.h"

#include "store/text.h"
#include "ui/compose.h"
#include "ui/layout.h"

#include <windows.h>

#include <oleacc.h>

#include <cstdio>
#include <string>
#include <type_traits>

// The header names the system's types without its headers: they must be the same.
static_assert(std::is_same_v<WindowHandle, HWND> && std::is_same_v<MessageResult, LRESULT> &&
              std::is_same_v<MessageResult, LPARAM> && std::is_same_v<MessageWord, WPARAM>);
static_assert(pressButtonMessage == WM_APP + 1 && startRepairMessage == WM_APP + 2);

namespace {

bool downloading(const ScreenView& v) {
    return v.phase == SessionPhase::Downloading && v.fraction >= 0;
}

std::string percent(const ScreenView& v) {
    char text[16];
    std::snprintf(text, sizeof text, "%d%%", static_cast<int>(v.fraction * 100 + 0.5));
    return text;
}

BSTR bstr(const std::string& utf8) {
    return SysAllocString(toWide(utf8).c_str());
}

class ClientObject final : public IAccessible {
public:
    ClientObject(HWND window, const ScreenView* view, const double* scale)
        : window_(window), view_(view), scale_(scale) {}
    void disconnect() { window_ = nullptr; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        if (!out) return E_POINTER;
        if (id == IID_IUnknown || id == IID_IDispatch || id == IID_IAccessible) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    // IDispatch: scripting clients are not served.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        if (!window_) return CO_E_OBJNOTCONNECTED;
        return AccessibleObjectFromWindow(window_, static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                                          reinterpret_cast<void**>(parent));
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
        *count = childCount;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        *out = nullptr;
        return valid(child) ? S_FALSE : E_INVALIDARG; // the children are simple elements
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        *name = nullptr;
        if (!valid(child)) return E_INVALIDARG;
        const ScreenView& v = *view_;
        switch (child.lVal) {
        case CHILDID_SELF:
            *name = SysAllocString(L"Vellumark");
            break;
        case headlineChild:
        case barChild:
            *name = bstr(v.headline);
            break;
        case detailChild:
            *name = bstr(v.detail);
            break;
        case buttonChild:
            *name = bstr(v.buttonLabel);
            break;
        case linkChild:
            *name = bstr(ui::layout::repairText);
            break;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        *value = nullptr;
        if (!valid(child)) return E_INVALIDARG;
        if (child.lVal != barChild) return DISP_E_MEMBERNOTFOUND;
        if (downloading(*view_)) *value = bstr(percent(*view_));
        return *value ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* out) override {
        return none(child, out);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (!valid(child)) return E_INVALIDARG;
        static constexpr long roles[] = {ROLE_SYSTEM_CLIENT,     ROLE_SYSTEM_STATICTEXT,
                                         ROLE_SYSTEM_STATICTEXT, ROLE_SYSTEM_PROGRESSBAR,
                                         ROLE_SYSTEM_PUSHBUTTON, ROLE_SYSTEM_LINK};
        role->vt = VT_I4;
        role->lVal = roles[child.lVal];
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        if (!valid(child)) return E_INVALIDARG;
        const ScreenView& v = *view_;
        long s = 0;
        switch (child.lVal) {
        case headlineChild:
        case detailChild:
            s = STATE_SYSTEM_READONLY;
            break;
        case barChild:
            s = STATE_SYSTEM_READONLY | (downloading(v) ? 0 : STATE_SYSTEM_INVISIBLE);
            break;
        case buttonChild:
            s = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_DEFAULT |
                (v.buttonEnabled ? 0 : STATE_SYSTEM_UNAVAILABLE) |
                (v.buttonLabel.empty() ? STATE_SYSTEM_INVISIBLE : 0) |
                (v.focus == Focus::Button ? STATE_SYSTEM_FOCUSED : 0);
            break;
        case linkChild:
            s = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_LINKED |
                (v.repairVisible ? 0 : STATE_SYSTEM_INVISIBLE) |
                (v.focus == Focus::Link ? STATE_SYSTEM_FOCUSED : 0);
            break;
        }
        state->vt = VT_I4;
        state->lVal = s;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* out) override { return none(child, out); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, long* topic) override {
        *file = nullptr;
        *topic = 0;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* out) override {
        return none(child, out);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
        focus->vt = VT_EMPTY;
        if (view_->focus == Focus::None) return S_FALSE;
        focus->vt = VT_I4;
        focus->lVal = view_->focus == Focus::Button ? buttonChild : linkChild;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        selection->vt = VT_EMPTY;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        *action = nullptr;
        if (!valid(child)) return E_INVALIDARG;
        if (child.lVal == buttonChild) *action = SysAllocString(L"Press");
        if (child.lVal == linkChild) *action = SysAllocString(L"Jump");
        return *action ? S_OK : DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE accSelect(long, VARIANT child) override {
        return valid(child) ? S_FALSE : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* w, long* h, VARIANT child) override {
        if (!window_) return CO_E_OBJNOTCONNECTED;
        if (!valid(child)) return E_INVALIDARG;
        RECT r{};
        if (child.lVal == CHILDID_SELF) {
            GetClientRect(window_, &r);
        } else {
            const ui::Rect a = area(child.lVal);
            const double k = *scale_;
            r = {static_cast<LONG>(a.left * k), static_cast<LONG>(a.top * k), static_cast<LONG>(a.right * k),
                 static_cast<LONG>(a.bottom * k)};
        }
        MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&r), 2);
        *x = r.left;
        *y = r.top;
        *w = r.right - r.left;
        *h = r.bottom - r.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long, VARIANT, VARIANT* end) override {
        end->vt = VT_EMPTY;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* hit) override {
        if (!window_) return CO_E_OBJNOTCONNECTED;
        POINT p{x, y};
        ScreenToClient(window_, &p);
        hit->vt = VT_I4;
        hit->lVal = CHILDID_SELF;
        const int fx = static_cast<int>(p.x / *scale_), fy = static_cast<int>(p.y / *scale_);
        for (long c = childCount; c >= headlineChild; --c) {
            if (area(c).contains(fx, fy)) {
                hit->lVal = c;
                break;
            }
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        if (!window_) return CO_E_OBJNOTCONNECTED;
        if (!valid(child)) return E_INVALIDARG;
        // Posted, so the window acts on it as on a click: from its own loop, never inside
        // the caller's request.
        if (child.lVal == buttonChild) return PostMessageW(window_, pressButtonMessage, 0, 0) ? S_OK : E_FAIL;
        if (child.lVal == linkChild) return PostMessageW(window_, startRepairMessage, 0, 0) ? S_OK : E_FAIL;
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    static bool valid(const VARIANT& child) {
        return child.vt == VT_I4 && child.lVal >= CHILDID_SELF && child.lVal <= childCount;
    }
    HRESULT none(VARIANT child, BSTR* out) {
        *out = nullptr;
        return valid(child) ? S_FALSE : E_INVALIDARG;
    }
    ui::Rect area(long child) const {
        switch (child) {
        case headlineChild:
            return ui::headlineArea(*view_);
        case detailChild:
            return ui::detailArea(*view_);
        case barChild:
            return ui::layout::bar;
        case buttonChild:
            return ui::layout::buttonHit;
        case linkChild:
            return ui::repairLinkRect();
        }
        return {};
    }

    LONG references_ = 1;
    HWND window_;
    const ScreenView* view_;
    const double* scale_;
};

ClientObject* client = nullptr; // the window's thread alone

} // namespace

MessageResult answerGetObject(WindowHandle window, MessageWord wParam, MessageResult lParam,
                              const ScreenView* view, const double* scale) {
    if (static_cast<long>(lParam) != OBJID_CLIENT)
        return DefWindowProcW(window, WM_GETOBJECT, wParam, lParam);
    if (!client) client = new ClientObject(window, view, scale);
    return LresultFromObject(IID_IAccessible, wParam, client);
}

void disconnectAccessible() {
    if (!client) return;
    client->disconnect();
    client->Release();
    client = nullptr;
}

void announceChanges(WindowHandle window, const ScreenView& before, const ScreenView& after) {
    const auto raise = [window](DWORD event, long child) {
        NotifyWinEvent(event, window, OBJID_CLIENT, child);
    };
    if (before.headline != after.headline) {
        raise(EVENT_OBJECT_NAMECHANGE, headlineChild);
        raise(EVENT_OBJECT_NAMECHANGE, barChild);
    }
    if (before.detail != after.detail) raise(EVENT_OBJECT_NAMECHANGE, detailChild);
    if (before.buttonLabel != after.buttonLabel) raise(EVENT_OBJECT_NAMECHANGE, buttonChild);
    if (downloading(before) != downloading(after)) raise(EVENT_OBJECT_STATECHANGE, barChild);
    if (downloading(after) && (!downloading(before) || percent(before) != percent(after)))
        raise(EVENT_OBJECT_VALUECHANGE, barChild);
    if (before.buttonEnabled != after.buttonEnabled ||
        before.buttonLabel.empty() != after.buttonLabel.empty())
        raise(EVENT_OBJECT_STATECHANGE, buttonChild);
    if (before.repairVisible != after.repairVisible) raise(EVENT_OBJECT_STATECHANGE, linkChild);
    if (before.focus != after.focus && after.focus != Focus::None)
        raise(EVENT_OBJECT_FOCUS, after.focus == Focus::Button ? buttonChild : linkChild);
}
