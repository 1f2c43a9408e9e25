// Lengths the program gives in pixels are lengths at 96 DPI: scaled to the DPI of the window
// they are used in, they keep their size on the screen at every scale. Dialog templates scale
// with their font already.
//
//   const UINT dpi = AfxGetWindowDpi(m_hWnd);
//   page.SetWindowPos(nullptr, AfxScaleForDpi(140, dpi), AfxScaleForDpi(2, dpi), ...);
#pragma once

#include <windows.h>

#include "ScopedHandle.h"

#include <vector>

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0 // wParam: the new DPI twice; lParam: the suggested window RECT
#endif
#ifndef WM_GETDPISCALEDSIZE
#define WM_GETDPISCALEDSIZE 0x02E4 // wParam: the coming DPI; lParam: in and out, the SIZE
#endif
#ifndef WM_DPICHANGED_AFTERPARENT
#define WM_DPICHANGED_AFTERPARENT 0x02E3 // to a child, once its top-level window has changed
#endif

// The DPI of 100 %, at which every length is given.
constexpr UINT kAfxDefaultDpi = 96;

// The DPI the window is shown at: its monitor's where the system knows DPI per window
// (GetDpiForWindow, Windows 10 1607 on), else the screen's (LOGPIXELSX). kAfxDefaultDpi
// when neither can be read.
UINT AfxGetWindowDpi(HWND hWnd);

// A length given at 96 DPI, at this DPI, rounded as MulDiv rounds.
inline int AfxScaleForDpi(int length, UINT dpi)
{
    return ::MulDiv(length, int(dpi), int(kAfxDefaultDpi));
}

// The length at toDpi of one laid out for fromDpi (a column the user may have resized).
inline int AfxScaleBetweenDpis(int length, UINT fromDpi, UINT toDpi)
{
    return fromDpi ? ::MulDiv(length, int(toDpi), int(fromDpi)) : length;
}

// The window rectangle around this client rectangle, with borders, caption and menu bar as
// the system draws them at this DPI (Windows 10 1607 on); false where it cannot say.
bool AfxAdjustWindowRectForDpi(RECT* rect, DWORD style, BOOL hasMenu, DWORD exStyle, UINT dpi);

// The system's status-bar font at this DPI: its own for that DPI where the system has one per
// DPI (Windows 10 1607 on), else its one font scaled from the screen's DPI. Null when the
// system's metrics cannot be read. The caller owns it.
HFONT AfxCreateStatusFont(UINT dpi);

// The font and the controls of a child window made from a dialog template (a form view, a
// modeless page), laid out again by the program itself when the window moves to a screen of
// another DPI, alike on every system: the template's font made anew at the new DPI and given
// to the window and every control of the template, every control's rectangle scaled as the
// template's dialog units grew with the font, so that it lies as the dialog manager would have
// laid it out at that DPI (a font's line height does not grow in step with the DPI: scaled by
// the DPI alone, a one-line text may lose its last row of pixels). Each layout starts from the
// one the dialog manager made, never from the last: changes of DPI in any order end where a
// window made at the last DPI would be, and a return to the first DPI restores it exactly. The
// system's own rescaling of dialogs (Windows 10 1703 on) is turned off for such a window, or
// the two would add up. Controls added after the template's are the program's to place.
class CDialogDpiLayout {
public:
    // Each message of the window passes here first. WM_INITDIALOG of a child dialog notes the
    // template's layout as the dialog manager made it; WM_GETFONT is answered (true) with the
    // font made for the present DPI; at WM_NCDESTROY that font goes, its controls being gone.
    bool OnMessage(HWND hDlg, UINT message, LRESULT& lResult);
    // Lays the window, its font and its template's controls out for this DPI. Nothing happens
    // at the DPI it is laid out for, nor to a window that is no child dialog.
    void LayOutAt(HWND hDlg, UINT dpi);
    // The template's size at the DPI it is laid out for; zero for no child dialog.
    SIZE GetSize() const { return m_size; }

private:
    struct Control {
        HWND hWnd;
        RECT rect; // in the dialog's client area, as the dialog manager made it
    };
    void NoteMadeLayout(HWND hDlg);
    // The template's font at this DPI; null for a template without a font of its own.
    HFONT CreateTemplateFont(UINT dpi) const;

    UINT m_nMadeDpi = 0;        // the DPI the dialog manager made it at; 0: not a child dialog
    UINT m_nDpi = 0;            // the DPI it is laid out for
    HFONT m_madeFont = nullptr; // the dialog manager's font, which it keeps and deletes
    LOGFONTW m_templateFont{};  // its face, weight and character set
    int m_nPoints = 0;          // its size; 0: the template has no font of its own
    SIZE m_madeSize = {0, 0};
    SIZE m_size = {0, 0};
    std::vector<Control> m_controls;
    CFontHandle m_font; // the font made for m_nDpi; null at the DPI it was made at
};
