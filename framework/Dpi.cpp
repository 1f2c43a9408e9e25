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

// The control in the new font (when there is one), each of its edges moved as the template
// grew: controls side by side stay apart.
void ScaleControl(HWND hDlg, HWND control, const Growth& growth, HFONT font)
{
    const RECT rect = ControlRect(hDlg, control);
    if (font)
        ::SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    LONG height = growth.Y(rect.bottom) - growth.Y(rect.top);
    RECT now;
    if (KeepsItsHeight(control) && ::GetWindowRect(control, &now))
        height = now.bottom - now.top; // as its new font made it
    ::SetWindowPos(control, nullptr, growth.X(rect.left), growth.Y(rect.top),
                   growth.X(rect.right) - growth.X(rect.left), height,
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
        height = AfxRescaleForDpi(height, ScreenDpi(), dpi);
    }
    return ::CreateFontIndirectW(&metrics.lfStatusFont);
}

// ---- CDialogDpiLayout -----------------------------------------------------------------------

bool CDialogDpiLayout::OnMessage(HWND hDlg, UINT message, LRESULT& lResult)
{
    switch (message) {
    case WM_INITDIALOG:
        if (::GetWindowLongA(hDlg, GWL_STYLE) & WS_CHILD) {
            m_nDpi = AfxGetWindowDpi(hDlg);
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
        m_font.Reset();
        m_nDpi = 0;
        m_nPoints = 0;
        return false;
    default:
        return false;
    }
}

void CDialogDpiLayout::ScaleTo(HWND hDlg, UINT dpi, SIZE* pSize)
{
    if (!m_nDpi || !dpi || dpi == m_nDpi)
        return;
    const HFONT oldFont = reinterpret_cast<HFONT>(::SendMessageA(hDlg, WM_GETFONT, 0, 0));
    CFontHandle font(CreateTemplateFont(hDlg, dpi));
    const Growth growth = TemplateGrowth(hDlg, oldFont, font.Get(), m_nDpi, dpi);
    for (HWND child = ::GetWindow(hDlg, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        ScaleControl(hDlg, child, growth, font.Get());
    if (pSize)
        *pSize = {growth.X(pSize->cx), growth.Y(pSize->cy)};
    // No control uses the font made for the old DPI any more: it goes.
    if (font)
        m_font = std::move(font);
    m_nDpi = dpi;
    ::RedrawWindow(hDlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

HFONT CDialogDpiLayout::CreateTemplateFont(HWND hDlg, UINT dpi)
{
    if (!m_nPoints) {
        // Before the first change the window has the dialog manager's font, made from the
        // template at the DPI it was laid out at: its point size reads back exactly at any
        // DPI above 72.
        const HGDIOBJ made = reinterpret_cast<HGDIOBJ>(::SendMessageA(hDlg, WM_GETFONT, 0, 0));
        if (!made || !::GetObjectW(made, sizeof m_templateFont, &m_templateFont) ||
            m_templateFont.lfHeight >= 0)
            return nullptr;
        m_nPoints = ::MulDiv(-m_templateFont.lfHeight, 72, int(m_nDpi));
    }
    LOGFONTW font = m_templateFont;
    font.lfHeight = -::MulDiv(m_nPoints, int(dpi), 72);
    font.lfWidth = 0;
    return ::CreateFontIndirectW(&font);
}
