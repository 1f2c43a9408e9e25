#include "Dpi.h"

#include <cstring>
#include <utility>

namespace {

UINT ScreenDpi()
{
    HDC screen = ::GetDC(nullptr);
    if (!screen)
        return kAfxDefaultDpi;
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
    ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? UINT(dpi) : kAfxDefaultDpi;
}

// A function of user32 looked up at run time: older systems (and older SDK headers) do not
// have it. Null where it is missing.
template <typename Fn> Fn User32Function(const char* name)
{
    Fn fn = nullptr;
    if (HMODULE user32 = ::GetModuleHandleA("user32.dll")) {
        FARPROC proc = ::GetProcAddress(user32, name);
        std::memcpy(&fn, &proc, sizeof fn);
    }
    return fn;
}

// The dialog manager's own rescaling on a change of DPI (Windows 10 1703 on), off for the
// dialog and each of its controls.
void TurnOffSystemDialogRescaling(HWND hDlg)
{
    typedef BOOL(WINAPI * DialogBehaviorFn)(HWND, DIALOG_DPI_CHANGE_BEHAVIORS,
                                            DIALOG_DPI_CHANGE_BEHAVIORS);
    typedef BOOL(WINAPI * ControlBehaviorFn)(HWND, DIALOG_CONTROL_DPI_CHANGE_BEHAVIORS,
                                             DIALOG_CONTROL_DPI_CHANGE_BEHAVIORS);
    static const auto setDialogBehavior =
        User32Function<DialogBehaviorFn>("SetDialogDpiChangeBehavior");
    static const auto setControlBehavior =
        User32Function<ControlBehaviorFn>("SetDialogControlDpiChangeBehavior");
    if (setDialogBehavior)
        setDialogBehavior(hDlg, DDC_DISABLE_ALL, DDC_DISABLE_ALL);
    const auto controlOff =
        DIALOG_CONTROL_DPI_CHANGE_BEHAVIORS(DCDC_DISABLE_FONT_UPDATE | DCDC_DISABLE_RELAYOUT);
    if (setControlBehavior)
        for (HWND child = ::GetWindow(hDlg, GW_CHILD); child;
             child = ::GetWindow(child, GW_HWNDNEXT))
            setControlBehavior(child, controlOff, controlOff);
}

// A control's rectangle in its dialog's client area.
RECT ControlRect(HWND hDlg, HWND control)
{
    RECT rect;
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(HWND_DESKTOP, hDlg, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// A drop-down combo box is as high as its font makes it; a height given to it would be taken
// for its list's (which the system measures in ways of its own).
bool KeepsItsHeight(HWND control)
{
    char className[16] = "";
    ::GetClassNameA(control, className, sizeof className);
    return std::strcmp(className, "ComboBox") == 0 &&
           (::GetWindowLongA(control, GWL_STYLE) & 3) != CBS_SIMPLE;
}

// The dialog base units of a font, in which the dialog manager measures a template: the
// average width of the letters and the height of a line.
SIZE DialogUnits(HWND hDlg, HFONT font)
{
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    SIZE units = {0, 0};
    HDC dc = ::GetDC(hDlg);
    if (!dc)
        return units;
    const HGDIOBJ previous = ::SelectObject(dc, font);
    TEXTMETRICA metrics;
    SIZE letters;
    if (::GetTextMetricsA(dc, &metrics) &&
        ::GetTextExtentPoint32A(dc, kLetters, int(sizeof kLetters - 1), &letters))
        units = {(letters.cx / 26 + 1) / 2, metrics.tmHeight};
    ::SelectObject(dc, previous);
    ::ReleaseDC(hDlg, dc);
    return units;
}

// How a template's lengths grow from one layout to the next, along x and along y.
struct Growth {
    SIZE from, to;
    LONG X(LONG length) const { return ::MulDiv(length, to.cx, from.cx); }
    LONG Y(LONG length) const { return ::MulDiv(length, to.cy, from.cy); }
};

// As the dialog units grow from the old font to the new; without fonts, as the DPI does.
Growth TemplateGrowth(HWND hDlg, HFONT oldFont, HFONT newFont, UINT oldDpi, UINT newDpi)
{
    if (oldFont && newFont) {
        const SIZE from = DialogUnits(hDlg, oldFont), to = DialogUnits(hDlg, newFont);
        if (from.cx && from.cy && to.cx && to.cy)
            return {from, to};
    }
    return {{LONG(oldDpi), LONG(oldDpi)}, {LONG(newDpi), LONG(newDpi)}};
}

// The control in the new font (when there is one), each edge of the rectangle it was made
// with moved as the template grew: controls side by side stay apart.
void PlaceControl(HWND control, const RECT& made, const Growth& growth, HFONT font)
{
    if (font)
        ::SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    LONG height = growth.Y(made.bottom) - growth.Y(made.top);
    RECT now;
    if (KeepsItsHeight(control) && ::GetWindowRect(control, &now))
        height = now.bottom - now.top; // as its new font made it
    ::SetWindowPos(control, nullptr, growth.X(made.left), growth.Y(made.top),
                   growth.X(made.right) - growth.X(made.left), height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

UINT AfxGetWindowDpi(HWND hWnd)
{
    typedef UINT(WINAPI * GetDpiForWindowFn)(HWND);
    static const auto getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpiForWindow && hWnd)
        if (const UINT dpi = getDpiForWindow(hWnd))
            return dpi;
    return ScreenDpi();
}

bool AfxAdjustWindowRectForDpi(RECT* rect, DWORD style, BOOL hasMenu, DWORD exStyle, UINT dpi)
{
    typedef BOOL(WINAPI * AdjustForDpiFn)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = User32Function<AdjustForDpiFn>("AdjustWindowRectExForDpi");
    return adjustForDpi && adjustForDpi(rect, style, hasMenu, exStyle, dpi);
}

HFONT AfxCreateStatusFont(UINT dpi)
{
    typedef BOOL(WINAPI * ParametersForDpiFn)(UINT, UINT, PVOID, UINT, UINT);
    static const auto parametersForDpi =
        User32Function<ParametersForDpiFn>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    if (!parametersForDpi ||
        !parametersForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) {
        // One DPI for the whole system: its metrics are those of the screen's DPI.
        if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
            return nullptr;
        LONG& height = metrics.lfStatusFont.lfHeight;
        height = AfxScaleBetweenDpis(height, ScreenDpi(), dpi);
    }
    return ::CreateFontIndirectW(&metrics.lfStatusFont);
}

// ---- CDialogDpiLayout -----------------------------------------------------------------------

bool CDialogDpiLayout::OnMessage(HWND hDlg, UINT message, LRESULT& lResult)
{
    switch (message) {
    case WM_INITDIALOG:
        if (::GetWindowLongA(hDlg, GWL_STYLE) & WS_CHILD) {
            NoteMadeLayout(hDlg);
            TurnOffSystemDialogRescaling(hDlg);
        }
        return false;
    case WM_GETFONT:
        // The dialog manager answers with the font it made from the template, whatever the
        // window was given since.
        if (!m_font)
            return false;
        lResult = reinterpret_cast<LRESULT>(m_font.Get());
        return true;
    case WM_NCDESTROY:
        *this = CDialogDpiLayout();
        return false;
    default:
        return false;
    }
}

void CDialogDpiLayout::NoteMadeLayout(HWND hDlg)
{
    m_nMadeDpi = m_nDpi = AfxGetWindowDpi(hDlg);
    RECT window;
    ::GetWindowRect(hDlg, &window);
    m_madeSize = m_size = {window.right - window.left, window.bottom - window.top};
    m_controls.clear();
    for (HWND child = ::GetWindow(hDlg, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        m_controls.push_back({child, ControlRect(hDlg, child)});
    // The font's point size reads back exactly at any DPI above 72.
    m_madeFont = reinterpret_cast<HFONT>(::SendMessageA(hDlg, WM_GETFONT, 0, 0));
    if (m_madeFont && ::GetObjectW(m_madeFont, sizeof m_templateFont, &m_templateFont) &&
        m_templateFont.lfHeight < 0)
        m_nPoints = ::MulDiv(-m_templateFont.lfHeight, 72, int(m_nMadeDpi));
}

void CDialogDpiLayout::LayOutAt(HWND hDlg, UINT dpi)
{
    if (!m_nMadeDpi || !dpi || dpi == m_nDpi)
        return;
    // Back at the DPI it was made at, the dialog manager's own font serves again.
    CFontHandle font(dpi == m_nMadeDpi ? nullptr : CreateTemplateFont(dpi));
    const HFONT newFont = dpi == m_nMadeDpi ? m_madeFont : font.Get();
    const Growth growth = TemplateGrowth(hDlg, m_madeFont, newFont, m_nMadeDpi, dpi);
    for (const Control& control : m_controls)
        if (::IsWindow(control.hWnd))
            PlaceControl(control.hWnd, control.rect, growth, newFont);
    m_size = {growth.X(m_madeSize.cx), growth.Y(m_madeSize.cy)};
    ::SetWindowPos(hDlg, nullptr, 0, 0, m_size.cx, m_size.cy,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // No control uses the font made for the old DPI any more: it goes.
    m_font = std::move(font);
    m_nDpi = dpi;
    ::RedrawWindow(hDlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

HFONT CDialogDpiLayout::CreateTemplateFont(UINT dpi) const
{
    if (!m_nPoints)
        return nullptr;
    LOGFONTW font = m_templateFont;
    font.lfHeight = -::MulDiv(m_nPoints, int(dpi), 72);
    font.lfWidth = 0;
    return ::CreateFontIndirectW(&font);
}
