// Binding of windows to objects, the three window procedures, and message dispatch.
#include "AfxWnd.h"
#include "AfxApp.h"
#include "Dpi.h"

#include <cstdio>
#include <exception>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

const UINT_PTR kSubclassId = 0x4B56584D; // ours among other subclasses of the same control

// The object of each bound window, for windows of our class, dialogs and subclassed controls
// alike. Read on every message, so kept in the process rather than in a window property: a
// property is a round trip through the window manager (under Wine, to its server), which
// made every message to a page or a list cost as much as a driver request. Never destroyed,
// like g_finalPending below.
std::mutex& g_boundLock = *new std::mutex;
std::unordered_map<HWND, CWnd*>& g_bound = *new std::unordered_map<HWND, CWnd*>;

// Messages of the user-interface thread being handled by our windows, nested. Objects whose
// windows are gone are told so (OnFinalMessage) only when the outermost of them has returned:
// a handler further up the stack, of this window or of any other (a page waiting in DoModal
// while the frame closes), may still use its object, which its owner could delete there.
int g_nDispatchDepth = 0;
// Never destroyed: window objects with static lifetime may still leave it at process exit.
std::vector<std::pair<CWnd*, HWND>>& g_finalPending = *new std::vector<std::pair<CWnd*, HWND>>;

void ReportEscapedException(UINT message, const char* what)
{
    char text[256];
    std::snprintf(text, sizeof text, "Unhandled exception in handler of message 0x%04X: %s\n",
                  message, what);
    OutputDebugStringA(text);
}

void RunPendingFinalMessages()
{
    while (!g_finalPending.empty()) {
        std::pair<CWnd*, HWND> next = g_finalPending.front();
        g_finalPending.erase(g_finalPending.begin());
        // May delete objects still listed: they leave the list in their destructors.
        try {
            next.first->OnFinalMessage(next.second);
        } catch (...) {
            ReportEscapedException(WM_NCDESTROY, "exception in OnFinalMessage");
        }
    }
}

} // namespace

void AfxEnsureCommonControls()
{
    static bool done = false;
    if (done)
        return;
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_BAR_CLASSES |
                                                ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&icc);
    done = true;
}

bool CCmdTarget::ProcessWindowMessage(UINT, WPARAM, LPARAM, LRESULT&)
{
    return false;
}

bool CCmdTarget::OnCmdMsg(UINT nID, int nCode)
{
    LRESULT result = 0;
    return ProcessWindowMessage(WM_COMMAND, MAKEWPARAM(nID, nCode), 0, result);
}

CWnd::~CWnd()
{
    for (size_t i = g_finalPending.size(); i-- > 0;) {
        if (g_finalPending[i].first == this)
            g_finalPending.erase(g_finalPending.begin() + (std::ptrdiff_t)i);
    }
    if (!m_hWnd)
        return;
    // A window never outlives its object. Messages sent during this destruction see only
    // CWnd's behaviour (the derived parts are gone), and must not delete the object again.
    m_bAutoDelete = false;
    if (m_bOwnsWindow)
        ::DestroyWindow(m_hWnd);
    else if (m_kind == Kind::Subclass)
        UnsubclassWindow();
    if (m_hWnd)
        Unbind();
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    if (!hWnd)
        return nullptr;
    std::lock_guard<std::mutex> lock(g_boundLock);
    auto it = g_bound.find(hWnd);
    return it != g_bound.end() ? it->second : nullptr;
}

const char* CWnd::WndClassName()
{
    static const char name[] = "KvxFrameworkWnd";
    static bool registered = false;
    if (!registered)
        registered = AfxRegisterWndClassNamed(name) != nullptr;
    return name;
}

LPCSTR AfxRegisterWndClassNamed(LPCSTR lpszClassName)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = CWnd::WndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    wc.lpszClassName = lpszClassName;
    if (RegisterClassExA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS)
        return lpszClassName;
    return nullptr;
}

namespace {

// Windows of a class whose procedure is the framework's are bound at WM_NCCREATE; any other
// class is created first and subclassed then.
bool HasFrameworkProc(LPCSTR lpszClassName)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    return ::GetClassInfoExA(::GetModuleHandleA(nullptr), lpszClassName, &wc) &&
           wc.lpfnWndProc == CWnd::WndProc;
}

} // namespace

void CWnd::Bind(HWND hWnd, Kind kind, bool bOwnsWindow)
{
    m_hWnd = hWnd;
    m_kind = kind;
    m_bOwnsWindow = bOwnsWindow;
    m_nLayoutDpi = AfxGetWindowDpi(hWnd); // what its creator laid it out for
    std::lock_guard<std::mutex> lock(g_boundLock);
    g_bound[hWnd] = this;
}

void CWnd::Unbind()
{
    if (m_hWnd) {
        std::lock_guard<std::mutex> lock(g_boundLock);
        auto it = g_bound.find(m_hWnd);
        if (it != g_bound.end() && it->second == this)
            g_bound.erase(it);
    }
    m_hWnd = nullptr;
    m_kind = Kind::None;
    m_bOwnsWindow = false;
}

BOOL CWnd::PreCreateWindow(CREATESTRUCTA& cs)
{
    if (!cs.lpszClass)
        cs.lpszClass = WndClassName();
    return TRUE;
}

bool CWnd::CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                    int x, int y, int nWidth, int nHeight, HWND hWndParent, UINT_PTR nIDorHMenu)
{
    if (m_hWnd)
        return false;
    AfxEnsureCommonControls();
    CREATESTRUCTA cs = {};
    cs.dwExStyle = dwExStyle;
    cs.lpszClass = lpszClassName;
    cs.lpszName = lpszWindowName;
    cs.style = dwStyle;
    cs.x = x;
    cs.y = y;
    cs.cx = nWidth;
    cs.cy = nHeight;
    cs.hwndParent = hWndParent;
    cs.hMenu = (HMENU)nIDorHMenu;
    cs.hInstance = ::GetModuleHandleA(nullptr); // where the framework's class is registered
    cs.lpCreateParams = this;
    if (!PreCreateWindow(cs))
        return false;
    bool ours = cs.lpszClass == WndClassName() || HasFrameworkProc(cs.lpszClass);
    HWND hWnd = ::CreateWindowExA(cs.dwExStyle, cs.lpszClass, cs.lpszName, cs.style, cs.x, cs.y,
                                  cs.cx, cs.cy, cs.hwndParent, cs.hMenu, cs.hInstance,
                                  ours ? this : cs.lpCreateParams);
    if (!hWnd)
        return false;
    if (ours)
        return m_hWnd == hWnd;
    if (!SubclassWindow(hWnd)) {
        ::DestroyWindow(hWnd);
        return false;
    }
    m_bOwnsWindow = true;
    return true;
}

BOOL CWnd::DestroyWindow()
{
    return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE;
}

bool CWnd::SubclassWindow(HWND hWnd)
{
    if (m_hWnd || !::IsWindow(hWnd) || FromHandlePermanent(hWnd))
        return false;
    if (!::SetWindowSubclass(hWnd, SubclassProc, kSubclassId, (DWORD_PTR)this))
        return false;
    Bind(hWnd, Kind::Subclass, false);
    return true;
}

bool CWnd::SubclassDlgItem(UINT nID, CWnd* pParent)
{
    HWND hWnd = pParent ? ::GetDlgItem(pParent->m_hWnd, (int)nID) : nullptr;
    return hWnd && SubclassWindow(hWnd);
}

HWND CWnd::UnsubclassWindow()
{
    if (m_kind != Kind::Subclass)
        return nullptr;
    HWND hWnd = m_hWnd;
    ::RemoveWindowSubclass(hWnd, SubclassProc, kSubclassId);
    Unbind();
    return hWnd;
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

void CWnd::OnFinalMessage(HWND)
{
    if (m_bAutoDelete)
        delete this;
}

std::string CWnd::GetWindowText() const
{
    int length = ::GetWindowTextLengthA(m_hWnd);
    if (length <= 0)
        return std::string();
    std::string text((size_t)length + 1, '\0');
    int copied = ::GetWindowTextA(m_hWnd, &text[0], length + 1);
    text.resize(copied > 0 ? (size_t)copied : 0);
    return text;
}

void CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd)
{
    DWORD style = (GetStyle() & ~dwRemove) | dwAdd;
    ::SetWindowLongPtrA(m_hWnd, GWL_STYLE, (LONG_PTR)style);
}

void CWnd::ModifyStyleEx(DWORD dwRemove, DWORD dwAdd)
{
    DWORD style = (GetExStyle() & ~dwRemove) | dwAdd;
    ::SetWindowLongPtrA(m_hWnd, GWL_EXSTYLE, (LONG_PTR)style);
}

int CWnd::MessageBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType)
{
    if (!lpszCaption && AfxGetApp())
        lpszCaption = AfxGetApp()->m_pszAppName;
    return ::MessageBoxA(m_hWnd, lpszText, lpszCaption, nType);
}

void CWnd::LayOutForDpi(UINT dpi)
{
    if (!m_hWnd || !dpi)
        return;
    if (dpi != m_nLayoutDpi) {
        const UINT oldDpi = m_nLayoutDpi;
        m_nLayoutDpi = dpi;
        OnDpiLayout(oldDpi, dpi);
    }
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        if (CWnd* pChild = FromHandlePermanent(child))
            pChild->LayOutForDpi(dpi);
}

int CWnd::OnCreate(LPCREATESTRUCT)
{
    return (int)Default();
}

// ---- dispatch -------------------------------------------------------------------------------

bool CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& lResult)
{
    // A bound native control's own parts (a combo box's list and edit field) report to the
    // control with WM_COMMAND: that is the control's business, never passed on elsewhere.
    if (message == WM_COMMAND && m_kind != Kind::Subclass)
        return OnCommand(wParam, lParam, lResult);
    return ProcessWindowMessage(message, wParam, lParam, lResult);
}

bool CWnd::OnCommand(WPARAM wParam, LPARAM lParam, LRESULT& lResult)
{
    HWND hWndCtrl = (HWND)lParam;
    if (hWndCtrl && ::IsWindow(hWndCtrl)) {
        HWND hWndOwner = ::GetParent(hWndCtrl);
        if (hWndOwner && hWndOwner != m_hWnd) {
            lResult = ::SendMessageA(hWndOwner, WM_COMMAND, wParam, lParam);
            return true;
        }
    }
    return ProcessWindowMessage(WM_COMMAND, wParam, lParam, lResult);
}

LRESULT CWnd::DefaultProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (m_kind) {
    case Kind::Subclass:
        return ::DefSubclassProc(hWnd, message, wParam, lParam);
    case Kind::Dialog: {
        // DefDlgProc calls our dialog procedure first; it answers "not handled" to exactly
        // this one call, so that DefDlgProc then does its own processing.
        bool outerPending = m_bDefaultPending;
        UINT outerMsg = m_nDefaultPendingMsg;
        m_bDefaultPending = true;
        m_nDefaultPendingMsg = message;
        LRESULT result = ::DefDlgProcA(hWnd, message, wParam, lParam);
        m_bDefaultPending = outerPending;
        m_nDefaultPendingMsg = outerMsg;
        return result;
    }
    default:
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    }
}

LRESULT CWnd::Default()
{
    const MSG* msg = m_pCurrentMsg;
    if (!msg || !m_hWnd)
        return 0;
    return DefaultProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT CWnd::Dispatch(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, bool& bHandled)
{
    MSG current = {hWnd, message, wParam, lParam, 0, {0, 0}};
    const MSG* previous = m_pCurrentMsg;
    m_pCurrentMsg = &current;
    ++g_nDispatchDepth;

    LRESULT result = 0;
    try {
        bHandled = OnWndMsg(message, wParam, lParam, result);
    } catch (const std::exception& e) {
        ReportEscapedException(message, e.what());
        bHandled = true;
        result = message == WM_CREATE ? -1 : 0;
    } catch (...) {
        ReportEscapedException(message, "unknown exception");
        bHandled = true;
        result = message == WM_CREATE ? -1 : 0;
    }
    if (!bHandled && m_kind != Kind::Dialog) {
        result = DefaultProc(hWnd, message, wParam, lParam);
        bHandled = true;
    }
    m_pCurrentMsg = previous;
    if (message == WM_NCDESTROY) {
        // The window is gone: no further message can reach this object through it.
        Unbind();
        g_finalPending.emplace_back(this, hWnd);
    }
    if (--g_nDispatchDepth == 0)
        RunPendingFinalMessages(); // may delete this
    return result;
}

LRESULT CALLBACK CWnd::WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* pWnd = FromHandlePermanent(hWnd);
    if (!pWnd && message == WM_NCCREATE) {
        pWnd = static_cast<CWnd*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        if (pWnd && !pWnd->m_hWnd)
            pWnd->Bind(hWnd, Kind::Window, true);
        else
            pWnd = nullptr;
    }
    if (!pWnd)
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    bool handled = false;
    return pWnd->Dispatch(hWnd, message, wParam, lParam, handled);
}

namespace {

// Messages whose dialog-procedure return value is the answer itself, not a handled flag.
bool ReturnsValueDirectly(UINT message)
{
    switch (message) {
    case WM_INITDIALOG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
        return true;
    default:
        return false;
    }
}

} // namespace

INT_PTR CALLBACK CWnd::DlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* pWnd = FromHandlePermanent(hWnd);
    if (!pWnd && message == WM_INITDIALOG) {
        pWnd = reinterpret_cast<CWnd*>(lParam);
        if (pWnd && !pWnd->m_hWnd)
            pWnd->Bind(hWnd, Kind::Dialog, true);
        else
            pWnd = nullptr;
    }
    if (!pWnd)
        return FALSE;
    if (pWnd->m_bDefaultPending && pWnd->m_nDefaultPendingMsg == message) {
        pWnd->m_bDefaultPending = false;
        return FALSE;
    }
    bool handled = false;
    LRESULT result = pWnd->Dispatch(hWnd, message, wParam, lParam, handled);
    if (!handled)
        return FALSE;
    if (ReturnsValueDirectly(message))
        return (INT_PTR)result;
    ::SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, (LONG_PTR)result);
    return TRUE;
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR dwRefData)
{
    CWnd* pWnd = reinterpret_cast<CWnd*>(dwRefData);
    if (message == WM_NCDESTROY)
        ::RemoveWindowSubclass(hWnd, SubclassProc, kSubclassId);
    bool handled = false;
    return pWnd->Dispatch(hWnd, message, wParam, lParam, handled);
}
