// Dialog data exchange between members and controls.
#include "AfxDialog.h"
#include "AfxApp.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

bool CWnd::UpdateData(BOOL bSaveAndValidate)
{
    if (!m_hWnd)
        return false;
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return !dx.m_bFailed;
}

void CWnd::DoDataExchange(CDataExchange*) {}

HWND CDataExchange::PrepareCtrl(int nIDC)
{
    if (m_bFailed || !m_pDlgWnd)
        return nullptr;
    HWND hWndCtrl = ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC);
    if (!hWndCtrl) {
        // A control named in DoDataExchange that the template lacks: a programming error,
        // reported once without a message box, and the exchange stops.
        OutputDebugStringA("DDX: no control with this id in the dialog template\n");
        m_bFailed = true;
    }
    return hWndCtrl;
}

void CDataExchange::Fail(HWND hWndCtrl, const char* lpszText)
{
    m_bFailed = true;
    if (lpszText && m_pDlgWnd) // modal to the dialog being checked
        m_pDlgWnd->MessageBox(lpszText, nullptr, MB_OK | MB_ICONEXCLAMATION);
    if (hWndCtrl) {
        ::SetFocus(hWndCtrl);
        ::SendMessageA(hWndCtrl, EM_SETSEL, 0, -1);
    }
}

namespace {

std::string ControlText(HWND hWndCtrl)
{
    int length = ::GetWindowTextLengthA(hWndCtrl);
    if (length <= 0)
        return std::string();
    std::string text((size_t)length + 1, '\0');
    int copied = ::GetWindowTextA(hWndCtrl, &text[0], length + 1);
    text.resize(copied > 0 ? (size_t)copied : 0);
    return text;
}

// Whole numbers only: optional blanks around, an optional sign, decimal digits, and a value
// within [minimum, maximum].
bool ParseWhole(const std::string& text, long long minimum, long long maximum, long long& value)
{
    const char* begin = text.c_str();
    while (*begin == ' ' || *begin == '\t')
        ++begin;
    if (*begin == '\0')
        return false;
    bool negative = *begin == '-';
    if (negative && minimum >= 0)
        return false;
    char* end = nullptr;
    errno = 0;
    long long parsed = std::strtoll(begin, &end, 10);
    if (end == begin || errno == ERANGE)
        return false;
    while (*end == ' ' || *end == '\t')
        ++end;
    if (*end != '\0' || parsed < minimum || parsed > maximum)
        return false;
    value = parsed;
    return true;
}

template <class T>
void ExchangeWhole(CDataExchange* pDX, int nIDC, T& value, long long minimum, long long maximum)
{
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (!hWndCtrl)
        return;
    if (!pDX->m_bSaveAndValidate) {
        ::SetWindowTextA(hWndCtrl, std::to_string(value).c_str());
        return;
    }
    long long parsed = 0;
    if (!ParseWhole(ControlText(hWndCtrl), minimum, maximum, parsed)) {
        std::string text = "Please enter a whole number from " + std::to_string(minimum) + " to " +
                           std::to_string(maximum) + ".";
        pDX->Fail(hWndCtrl, text.c_str());
        return;
    }
    value = (T)parsed;
}

} // namespace

void DDX_Text(CDataExchange* pDX, int nIDC, std::string& value)
{
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (!hWndCtrl)
        return;
    if (pDX->m_bSaveAndValidate)
        value = ControlText(hWndCtrl);
    else if (ControlText(hWndCtrl) != value) // a new text is news to a screen reader
        ::SetWindowTextA(hWndCtrl, value.c_str());
}

void DDX_Text(CDataExchange* pDX, int nIDC, int& value)
{
    ExchangeWhole(pDX, nIDC, value, INT_MIN, INT_MAX);
}

void DDX_Text(CDataExchange* pDX, int nIDC, unsigned int& value)
{
    ExchangeWhole(pDX, nIDC, value, 0, UINT_MAX);
}

void DDX_Text(CDataExchange* pDX, int nIDC, long& value)
{
    ExchangeWhole(pDX, nIDC, value, LONG_MIN, LONG_MAX);
}

void DDX_Text(CDataExchange* pDX, int nIDC, unsigned long& value)
{
    ExchangeWhole(pDX, nIDC, value, 0, (long long)ULONG_MAX);
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value)
{
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (!hWndCtrl)
        return;
    if (pDX->m_bSaveAndValidate)
        value = (int)::SendMessageA(hWndCtrl, BM_GETCHECK, 0, 0);
    else
        ::SendMessageA(hWndCtrl, BM_SETCHECK, (WPARAM)value, 0);
}

void DDX_Radio(CDataExchange* pDX, int nIDC, int& value)
{
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (!hWndCtrl)
        return;
    if (pDX->m_bSaveAndValidate)
        value = -1;
    // The group runs from the given radio to the next control with WS_GROUP; only radio
    // buttons count.
    int index = 0;
    HWND hWnd = hWndCtrl;
    do {
        if (::SendMessageA(hWnd, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) {
            if (pDX->m_bSaveAndValidate) {
                if (value == -1 && ::SendMessageA(hWnd, BM_GETCHECK, 0, 0) == BST_CHECKED)
                    value = index;
            } else {
                ::SendMessageA(hWnd, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
            }
            ++index;
        }
        hWnd = ::GetWindow(hWnd, GW_HWNDNEXT);
    } while (hWnd && !(::GetWindowLongPtrA(hWnd, GWL_STYLE) & WS_GROUP));
}

void DDX_ControlHandle(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (HWND hWndCtrl = pDX->PrepareCtrl(nIDC))
        rControl.Attach(hWndCtrl);
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.m_hWnd)
        return;
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (hWndCtrl && !rControl.SubclassWindow(hWndCtrl))
        pDX->m_bFailed = true;
}
