// Lengths the program gives in pixels are lengths at 96 DPI: scaled to the DPI of the window
// they are used in, they keep their size on the screen at every scale. Dialog templates scale
// with their font already.
//
//   const UINT dpi = AfxGetWindowDpi(m_hWnd);
//   page.SetWindowPos(nullptr, AfxScaleForDpi(140, dpi), AfxScaleForDpi(2, dpi), ...);
#pragma once

#include <windows.h>

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0 // wParam: the new DPI twice; lParam: the suggested window RECT
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

// The length at newDpi of one laid out for oldDpi (a column the user may have resized).
inline int AfxRescaleForDpi(int length, UINT oldDpi, UINT newDpi)
{
    return oldDpi ? ::MulDiv(length, int(newDpi), int(oldDpi)) : length;
}
