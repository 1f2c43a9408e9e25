#include "AfxAccessible.h"

#include <commctrl.h>
#include <oleacc.h>

#include <mutex>

#include "SystemLibrary.h"

namespace {

std::wstring Wide(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(size_t(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), &wide[0], length);
    return wide;
}

// oleacc and oleaut32 are loaded when a client first asks for an object, not at start.
IAccessible* CreateStandardProxy(HWND hWnd)
{
    static const auto create = SystemLibraryFunction<decltype(&::CreateStdAccessibleObject)>(
        "oleacc.dll", "CreateStdAccessibleObject");
    IAccessible* standard = nullptr;
    if (!create || FAILED(create(hWnd, OBJID_CLIENT, IID_IAccessible, (void**)&standard)))
        return nullptr;
    return standard;
}

LRESULT ResultFromObject(WPARAM wParam, IAccessible* object)
{
    static const auto result =
        SystemLibraryFunction<decltype(&::LresultFromObject)>("oleacc.dll", "LresultFromObject");
    return result ? result(IID_IAccessible, wParam, object) : 0;
}

BSTR AllocString(const std::wstring& text)
{
    static const auto alloc =
        SystemLibraryFunction<decltype(&::SysAllocStringLen)>("oleaut32.dll", "SysAllocStringLen");
    return alloc ? alloc(text.data(), UINT(text.size())) : nullptr;
}

bool IsSelf(const VARIANT& child)
{
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

bool IsStaticText(HWND hWnd)
{
    char cls[16] = "";
    ::GetClassNameA(hWnd, cls, sizeof cls);
    const LONG type = ::GetWindowLongA(hWnd, GWL_STYLE) & SS_TYPEMASK;
    return lstrcmpiA(cls, "Static") == 0 &&
           (type <= SS_RIGHT || type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP);
}

// Controls without a text of their own, which a label names.
bool IsNamedByLabel(HWND hWnd)
{
    char cls[32] = "";
    ::GetClassNameA(hWnd, cls, sizeof cls);
    for (const char* named :
         {WC_TREEVIEWA, WC_LISTVIEWA, TRACKBAR_CLASSA, "ComboBox", "Edit", "ListBox"})
        if (lstrcmpiA(cls, named) == 0)
            return true;
    return false;
}

} // namespace

// The accessible object of one control. Screen readers may call it from other threads (an
// object handed out without an apartment is called on COM's), so its texts are locked, and
// it never asks a window for its text from there: a window busy with the driver would hold
// the reader. The standard proxy is made, and the label read, on the window's own thread
// when a client asks for the object.
class CAccessibleControl::Object final : public IAccessible, public IOleWindow {
public:
    Object(HWND hWnd, std::wstring name) : m_hWnd(hWnd), m_name(std::move(name)) {}

    void SetValue(const std::wstring& value)
    {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_hasValue && m_value == value)
                return;
            m_value = value;
            m_hasValue = true;
        }
        // Not once the window is gone: its handle may name another window by then.
        if (m_windowAlive)
            ::NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, m_hWnd, OBJID_CLIENT, CHILDID_SELF);
    }

    static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR, DWORD_PTR data)
    {
        Object* self = reinterpret_cast<Object*>(data);
        // Compared as a DWORD: a sign-extended lParam would not match on 64-bit Windows.
        if (message == WM_GETOBJECT && DWORD(lParam) == DWORD(OBJID_CLIENT) && self->Prepare())
            return ResultFromObject(wParam, static_cast<IAccessible*>(self));
        if (message == WM_NCDESTROY) {
            self->m_windowAlive = false;
            ::RemoveWindowSubclass(hWnd, SubclassProc, UINT_PTR(self));
            self->Release();
        }
        return ::DefSubclassProc(hWnd, message, wParam, lParam);
    }

    // On the window's thread, before the object is handed out: the proxy for everything but
    // the name and value, and the label as it reads now.
    bool Prepare()
    {
        if (!m_pStandard)
            m_pStandard = CreateStandardProxy(m_hWnd);
        std::wstring label = Wide(AfxAccessibleLabel(m_hWnd));
        std::lock_guard<std::mutex> lock(m_lock);
        m_label = std::move(label);
        return m_pStandard != nullptr;
    }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IAccessible)
            *ppv = static_cast<IAccessible*>(this);
        else if (riid == IID_IOleWindow) // WindowFromAccessibleObject asks for it
            *ppv = static_cast<IOleWindow*>(this);
        else
            *ppv = nullptr;
        if (!*ppv)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ULONG(InterlockedIncrement(&m_refs)); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG refs = InterlockedDecrement(&m_refs);
        if (refs == 0)
            delete this;
        return ULONG(refs);
    }

    // IOleWindow
    STDMETHODIMP GetWindow(HWND* phwnd) override
    {
        if (!phwnd)
            return E_POINTER;
        *phwnd = m_hWnd;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IDispatch, as the standard proxy has it
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        return m_pStandard->GetTypeInfoCount(count);
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override
    {
        return m_pStandard->GetTypeInfo(index, lcid, info);
    }
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                               DISPID* ids) override
    {
        return m_pStandard->GetIDsOfNames(riid, names, count, lcid, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argError) override
    {
        return m_pStandard->Invoke(id, riid, lcid, flags, params, result, exception, argError);
    }

    // IAccessible: the name and value are ours, the rest the standard proxy's.
    STDMETHODIMP get_accName(VARIANT child, BSTR* name) override
    {
        if (!IsSelf(child))
            return m_pStandard->get_accName(child, name);
        if (!name)
            return E_POINTER;
        std::wstring text;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            text = m_name.empty() ? m_label : m_name;
        }
        if (text.empty())
            return m_pStandard->get_accName(child, name);
        return Answer(text, name);
    }
    STDMETHODIMP get_accValue(VARIANT child, BSTR* value) override
    {
        std::wstring text;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (!IsSelf(child) || !m_hasValue)
                return m_pStandard->get_accValue(child, value);
            text = m_value;
        }
        if (!value)
            return E_POINTER;
        return Answer(text, value);
    }
    STDMETHODIMP get_accParent(IDispatch** parent) override
    {
        return m_pStandard->get_accParent(parent);
    }
    STDMETHODIMP get_accChildCount(long* count) override
    {
        return m_pStandard->get_accChildCount(count);
    }
    STDMETHODIMP get_accChild(VARIANT child, IDispatch** object) override
    {
        return m_pStandard->get_accChild(child, object);
    }
    STDMETHODIMP get_accDescription(VARIANT child, BSTR* text) override
    {
        return m_pStandard->get_accDescription(child, text);
    }
    STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override
    {
        return m_pStandard->get_accRole(child, role);
    }
    STDMETHODIMP get_accState(VARIANT child, VARIANT* state) override
    {
        return m_pStandard->get_accState(child, state);
    }
    STDMETHODIMP get_accHelp(VARIANT child, BSTR* text) override
    {
        return m_pStandard->get_accHelp(child, text);
    }
    STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override
    {
        return m_pStandard->get_accHelpTopic(file, child, topic);
    }
    STDMETHODIMP get_accKeyboardShortcut(VARIANT child, BSTR* text) override
    {
        return m_pStandard->get_accKeyboardShortcut(child, text);
    }
    STDMETHODIMP get_accFocus(VARIANT* child) override { return m_pStandard->get_accFocus(child); }
    STDMETHODIMP get_accSelection(VARIANT* children) override
    {
        return m_pStandard->get_accSelection(children);
    }
    STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* text) override
    {
        return m_pStandard->get_accDefaultAction(child, text);
    }
    STDMETHODIMP accSelect(long flags, VARIANT child) override
    {
        return m_pStandard->accSelect(flags, child);
    }
    STDMETHODIMP accLocation(long* left, long* top, long* width, long* height,
                             VARIANT child) override
    {
        return m_pStandard->accLocation(left, top, width, height, child);
    }
    STDMETHODIMP accNavigate(long direction, VARIANT start, VARIANT* end) override
    {
        return m_pStandard->accNavigate(direction, start, end);
    }
    STDMETHODIMP accHitTest(long x, long y, VARIANT* child) override
    {
        return m_pStandard->accHitTest(x, y, child);
    }
    STDMETHODIMP accDoDefaultAction(VARIANT child) override
    {
        return m_pStandard->accDoDefaultAction(child);
    }
    STDMETHODIMP put_accName(VARIANT child, BSTR name) override
    {
        return m_pStandard->put_accName(child, name);
    }
    STDMETHODIMP put_accValue(VARIANT child, BSTR value) override
    {
        return m_pStandard->put_accValue(child, value);
    }

private:
    ~Object()
    {
        if (m_pStandard)
            m_pStandard->Release();
    }

    static HRESULT Answer(const std::wstring& text, BSTR* out)
    {
        *out = AllocString(text);
        return *out ? S_OK : E_OUTOFMEMORY;
    }

    LONG m_refs = 1;
    const HWND m_hWnd;
    IAccessible* m_pStandard = nullptr; // set on the window's thread before it is handed out
    std::mutex m_lock;
    const std::wstring m_name;
    std::wstring m_label; // read on the window's thread
    std::wstring m_value;
    bool m_hasValue = false;
    bool m_windowAlive = true; // its own thread's: set and read on the window's thread only
};

CAccessibleControl::~CAccessibleControl()
{
    if (m_pObject)
        m_pObject->Release();
}

CAccessibleControl::Object* CAccessibleControl::AttachObject(HWND hWnd, const std::string& name)
{
    if (!::IsWindow(hWnd))
        return nullptr;
    Object* object = new Object(hWnd, Wide(name));
    // The window holds this reference until WM_NCDESTROY. A second object on the same window
    // answers before the first.
    if (!::SetWindowSubclass(hWnd, Object::SubclassProc, UINT_PTR(object), DWORD_PTR(object))) {
        object->Release();
        return nullptr;
    }
    return object;
}

bool CAccessibleControl::Attach(HWND hWnd, const std::string& name)
{
    if (m_pObject)
        m_pObject->Release();
    m_pObject = AttachObject(hWnd, name);
    if (m_pObject)
        m_pObject->AddRef(); // this owner's, for SetValue
    return m_pObject != nullptr;
}

void CAccessibleControl::NameByLabels(HWND hWndDialog)
{
    for (HWND child = ::GetWindow(hWndDialog, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT))
        if (IsNamedByLabel(child))
            AttachObject(child, std::string());
}

void CAccessibleControl::SetValue(const std::string& value)
{
    if (m_pObject)
        m_pObject->SetValue(Wide(value));
}

std::string AfxNameOfLabelText(std::string text)
{
    const size_t amp = text.find('&');
    if (amp != std::string::npos)
        text.erase(amp, 1);
    while (!text.empty() && (text.back() == ':' || text.back() == ' '))
        text.pop_back();
    return text;
}

std::string AfxAccessibleLabel(HWND hWnd)
{
    for (HWND prev = ::GetWindow(hWnd, GW_HWNDPREV); prev; prev = ::GetWindow(prev, GW_HWNDPREV)) {
        if (IsStaticText(prev)) {
            if (!(::GetWindowLongA(prev, GWL_STYLE) & WS_VISIBLE))
                return std::string();
            char text[256] = "";
            ::GetWindowTextA(prev, text, sizeof text);
            return AfxNameOfLabelText(text);
        }
        if (::GetWindowLongA(prev, GWL_STYLE) & (WS_GROUP | WS_TABSTOP))
            break;
    }
    return std::string();
}
