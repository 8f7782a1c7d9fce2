// The window's accessible object (see accessible.h): IAccessible written out by hand over the
// core's surface, which says which parts a reader finds, in which order, by which role and name,
// where and whether they are shown.
#include "platform/win32/accessible.h"

#include "platform/win32/system_dll.h"
#include "platform/win32/text.h"
#include "platform/win32/window.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <string>

namespace pikorina::win32 {
namespace {

// Child id i + 1 is the i-th part of kReadingOrder; CHILDID_SELF (0) is the client area.
constexpr LONG kChildCount = static_cast<LONG>(kReadingOrder.size());

ControlId PartOf(LONG child) {
    return kReadingOrder[static_cast<std::size_t>(child - 1)];
}

LONG ChildOf(ControlId id) {
    return static_cast<LONG>(std::ranges::find(kReadingOrder, id) - kReadingOrder.begin()) + 1;
}

LONG RoleOf(AccessibleRole role) {
    switch (role) {
    case AccessibleRole::List: return ROLE_SYSTEM_LIST;
    case AccessibleRole::StaticText: return ROLE_SYSTEM_STATICTEXT;
    case AccessibleRole::PushButton: return ROLE_SYSTEM_PUSHBUTTON;
    }
    return ROLE_SYSTEM_CLIENT;
}

VARIANT Long(LONG value) {
    VARIANT v{};
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

// A text as a reader receives it; an empty one is no text at all.
HRESULT Text(const std::wstring& text, BSTR* out) {
    *out = nullptr;
    if (text.empty()) return S_FALSE;
    *out = oleaut32::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

// No exception leaves a COM method: the reader gets an error code instead.
template <typename Body> HRESULT Guarded(Body body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

} // namespace

class ClientAccessible final : public IAccessible {
  public:
    explicit ClientAccessible(const Window& window) : window_(&window) {}
    void Disconnect() { window_ = nullptr; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) ||
            iid == __uuidof(IAccessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    // IDispatch: no type information. Readers call IAccessible's methods directly.
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

    // IAccessible: the tree.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        if (!window_) return RPC_E_DISCONNECTED;
        // The window's own object, as for any client area.
        const HRESULT hr = oleacc::CreateStdAccessibleObject(
            window_->hwnd(), OBJID_WINDOW, __uuidof(IDispatch), reinterpret_cast<void**>(parent));
        return SUCCEEDED(hr) ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        if (!window_) return RPC_E_DISCONNECTED;
        *count = kChildCount;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        *out = nullptr;
        return Guarded([&] {
            if (const HRESULT hr = Check(child); FAILED(hr)) return hr;
            if (child.lVal == CHILDID_SELF) return E_INVALIDARG;
            *out = StandardObject(PartOf(child.lVal));
            return *out ? S_OK : S_FALSE;
        });
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        end->vt = VT_EMPTY;
        return Guarded([&] {
            if (const HRESULT hr = Check(start); FAILED(hr)) return hr;
            LONG to = 0;
            switch (direction) {
            case NAVDIR_FIRSTCHILD:
            case NAVDIR_LASTCHILD:
                if (start.lVal != CHILDID_SELF) return E_INVALIDARG;
                to = direction == NAVDIR_FIRSTCHILD ? 1 : kChildCount;
                break;
            // The client area's own siblings are its window's business.
            case NAVDIR_NEXT: to = start.lVal == CHILDID_SELF ? 0 : start.lVal + 1; break;
            case NAVDIR_PREVIOUS: to = start.lVal == CHILDID_SELF ? 0 : start.lVal - 1; break;
            default: return E_NOTIMPL; // up, down, left and right
            }
            if (to < 1 || to > kChildCount) return S_FALSE;
            *end = Child(to);
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* out) override {
        out->vt = VT_EMPTY;
        return Guarded([&] {
            if (!window_) return RPC_E_DISCONNECTED;
            POINT at{x, y};
            ScreenToClient(window_->hwnd(), &at);
            RECT client;
            GetClientRect(window_->hwnd(), &client);
            if (!PtInRect(&client, at)) return S_FALSE;
            for (LONG child = 1; child <= kChildCount; ++child) {
                const AccessiblePart part = window_->surface().Accessible(PartOf(child));
                const RECT area = window_->Px(part.rect);
                if (part.visible && PtInRect(&area, at)) {
                    *out = Child(child);
                    return S_OK;
                }
            }
            *out = Long(CHILDID_SELF);
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* out) override {
        out->vt = VT_EMPTY;
        return Guarded([&] {
            if (!window_) return RPC_E_DISCONNECTED;
            HWND focus = GetFocus();
            if (focus && focus == window_->hwnd()) *out = Long(CHILDID_SELF);
            for (ControlId id : kTabOrder) {
                if (focus && focus == window_->ControlWindow(id)) *out = Child(ChildOf(id));
            }
            return out->vt == VT_EMPTY ? S_FALSE : S_OK;
        });
    }

    // IAccessible: the properties, of the client area or of a part.
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        *name = nullptr;
        return Guarded([&] {
            if (const HRESULT hr = Check(child); FAILED(hr)) return hr;
            if (child.lVal != CHILDID_SELF) return Text(Widen(Part(child).name), name);
            // The window's title, as the system's object for a client area says.
            std::wstring title(static_cast<std::size_t>(GetWindowTextLengthW(window_->hwnd())),
                               L'\0');
            title.resize(static_cast<std::size_t>(
                GetWindowTextW(window_->hwnd(), title.data(), static_cast<int>(title.size()) + 1)));
            return Text(title, name);
        });
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        role->vt = VT_EMPTY;
        return Guarded([&] {
            if (const HRESULT hr = Check(child); FAILED(hr)) return hr;
            // A dialog: readers speak a dialog's static text when it comes up, as they do
            // for a message box, so the user hears the warning without looking for it.
            *role =
                Long(child.lVal == CHILDID_SELF ? ROLE_SYSTEM_DIALOG : RoleOf(Part(child).role));
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        state->vt = VT_EMPTY;
        return Guarded([&] {
            if (const HRESULT hr = Check(child); FAILED(hr)) return hr;
            HWND hwnd = window_->hwnd();
            LONG bits = 0;
            if (child.lVal == CHILDID_SELF) {
                bits = STATE_SYSTEM_FOCUSABLE | (GetFocus() == hwnd ? STATE_SYSTEM_FOCUSED : 0) |
                       (IsWindowVisible(hwnd) ? 0 : STATE_SYSTEM_INVISIBLE);
            } else {
                const AccessiblePart part = Part(child);
                bits = part.visible ? 0 : STATE_SYSTEM_INVISIBLE;
                if (HWND control = window_->ControlWindow(part.id)) {
                    bits |= STATE_SYSTEM_FOCUSABLE;
                    if (GetFocus() == control) bits |= STATE_SYSTEM_FOCUSED;
                    if ((GetWindowLongPtrW(control, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON &&
                        part.role == AccessibleRole::PushButton) {
                        bits |= STATE_SYSTEM_DEFAULT;
                    }
                } else {
                    bits |= STATE_SYSTEM_READONLY;
                }
            }
            *state = Long(bits);
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                          VARIANT child) override {
        *left = *top = *width = *height = 0;
        return Guarded([&] {
            if (const HRESULT hr = Check(child); FAILED(hr)) return hr;
            RECT r;
            if (child.lVal == CHILDID_SELF) {
                GetClientRect(window_->hwnd(), &r);
            } else {
                r = window_->Px(Part(child).rect);
            }
            MapWindowPoints(window_->hwnd(), HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
            *left = r.left;
            *top = r.top;
            *width = r.right - r.left;
            *height = r.bottom - r.top;
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        *value = nullptr;
        return Guarded([&] {
            if (const HRESULT hr = Check(child); FAILED(hr)) return hr;
            if (child.lVal == CHILDID_SELF || PartOf(child.lVal) != ControlId::ListBox) {
                return DISP_E_MEMBERNOTFOUND;
            }
            // The list as one element, where the system has no object for it: its value is
            // the entry selected.
            HWND list = window_->ControlWindow(ControlId::ListBox);
            const int index = window_->ListIndex();
            if (index < 0) return S_FALSE;
            const auto row = static_cast<WPARAM>(index);
            std::wstring entry(
                static_cast<std::size_t>(SendMessageW(list, LB_GETTEXTLEN, row, 0)) + 1, L'\0');
            entry.resize(static_cast<std::size_t>(
                SendMessageW(list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(entry.data()))));
            return Text(entry, value);
        });
    }

    // What the parts do not have.
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT, BSTR* out) override {
        *out = nullptr;
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* out) override {
        *out = nullptr;
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) override {
        *file = nullptr;
        *topic = 0;
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT, BSTR* out) override {
        *out = nullptr;
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* out) override {
        out->vt = VT_EMPTY;
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT, BSTR* out) override {
        *out = nullptr;
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG, VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

  private:
    ~ClientAccessible() = default;

    // Whether the object can answer for this child: S_OK, or why not.
    HRESULT Check(const VARIANT& child) const {
        if (!window_) return RPC_E_DISCONNECTED;
        if (child.vt != VT_I4 || child.lVal < CHILDID_SELF || child.lVal > kChildCount) {
            return E_INVALIDARG;
        }
        return S_OK;
    }
    AccessiblePart Part(const VARIANT& child) const {
        return window_->surface().Accessible(PartOf(child.lVal));
    }

    // The system's own object for a native control, which also knows its entries, access keys
    // and actions; nullptr for a painted part, and where the system's object does not know
    // the control for what it is (Wine's takes a button for a bare client area). Such a
    // control is a simple element of this object instead, so the tree is whole either way.
    IDispatch* StandardObject(ControlId id) const {
        HWND control = window_->ControlWindow(id);
        IAccessible* object = nullptr;
        if (!control ||
            FAILED(oleacc::CreateStdAccessibleObject(control, OBJID_CLIENT, __uuidof(IAccessible),
                                                     reinterpret_cast<void**>(&object)))) {
            return nullptr;
        }
        VARIANT role{};
        object->get_accRole(Long(CHILDID_SELF), &role);
        const bool knows =
            role.vt == VT_I4 && role.lVal == RoleOf(window_->surface().Accessible(id).role);
        if (role.vt == VT_BSTR) oleaut32::SysFreeString(role.bstrVal);
        if (knows) return object;
        object->Release();
        return nullptr;
    }
    // A child as accNavigate, accHitTest and get_accFocus hand it out.
    VARIANT Child(LONG child) const {
        if (IDispatch* object = StandardObject(PartOf(child))) {
            VARIANT v{};
            v.vt = VT_DISPATCH;
            v.pdispVal = object;
            return v;
        }
        return Long(child);
    }

    std::atomic<ULONG> references_{1};
    const Window* window_;
};

Accessibility::Accessibility(const Window& window) : window_(window) {
    for (std::size_t i = 0; i < kReadingOrder.size(); ++i) {
        const AccessiblePart part = window.surface().Accessible(kReadingOrder[i]);
        told_[i] = {part.visible, part.rect};
    }
}

LRESULT Accessibility::Answer(WPARAM flags, LPARAM objectId) {
    // The id is a DWORD: on 64-bit Windows, lParam may come sign-extended or not.
    if (static_cast<DWORD>(objectId) != static_cast<DWORD>(OBJID_CLIENT) || disconnected_) return 0;
    // Handing the object out marshals it, which needs COM on this thread: a single-threaded
    // apartment, so that calls from readers in other processes arrive on this thread through
    // its message loop and the event pump's waits, never beside a handler on another thread.
    // Kept to the end of the process.
    [[maybe_unused]] static const HRESULT apartment =
        ole32::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (!object_) object_ = new (std::nothrow) ClientAccessible(window_);
    if (!object_) return 0;
    return oleacc::LresultFromObject(__uuidof(IAccessible), flags, object_);
}

void Accessibility::PartChanged(ControlId id) {
    const LONG child = ChildOf(id);
    if (child > kChildCount) return;
    const AccessiblePart part = window_.surface().Accessible(id);
    Told& told = told_[static_cast<std::size_t>(child - 1)];
    HWND hwnd = window_.hwnd();
    if (hwnd && !disconnected_) {
        if (part.visible != told.visible) {
            NotifyWinEvent(part.visible ? EVENT_OBJECT_SHOW : EVENT_OBJECT_HIDE, hwnd, OBJID_CLIENT,
                           child);
            NotifyWinEvent(EVENT_OBJECT_STATECHANGE, hwnd, OBJID_CLIENT, child);
        }
        if (part.rect != told.rect) {
            NotifyWinEvent(EVENT_OBJECT_LOCATIONCHANGE, hwnd, OBJID_CLIENT, child);
        }
    }
    told = {part.visible, part.rect};
}

void Accessibility::Disconnect() {
    disconnected_ = true;
    if (!object_) return;
    object_->Disconnect();
    // Readers in other processes reach the object through stubs that hold it: cut them off.
    ole32::CoDisconnectObject(object_, 0);
    object_->Release();
    object_ = nullptr;
}

} // namespace pikorina::win32
