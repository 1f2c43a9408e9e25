// Drawing in the user's colours. Under a high-contrast scheme nothing may keep a colour of its
// own: texts, lines and backgrounds are the controls' own, drawn in the system colours, and
// each icon has a second drawing in one colour, drawn in a system colour that matches the
// background it sits on (text colour on window colour).
//
//     HICON icon = AfxLoadIconForColours(IDI_DEVICES, IDI_DEVICES_HC, 16, COLOR_WINDOWTEXT);
//
// A top-level window hears of a change of the user's colours (AfxIsColourChange) and loads
// its icons again; CFrameWnd passes the messages on to every window in it, as the common
// controls need.
#pragma once

#include <windows.h>

#include <functional>

// Whether icons are drawn in one system colour: a high-contrast scheme is on
// (SPI_GETHIGHCONTRAST), or the window background is dark, on which icons in colours of their
// own, drawn for a light one, would be lost (a dark colour set chosen without the scheme's
// flag, and Wine, which never reports the flag).
bool AfxUseOneColourIcons();

// The icon id at this size with every pixel in this colour, keeping the drawing's coverage
// (its alpha, else its mask). Null when it cannot be loaded. The caller owns it.
HICON AfxLoadIconInColour(UINT id, int size, COLORREF colour);

// The icon as the user's colours want it: oneColourId in the system colour nColourIndex where
// icons are drawn in one colour (AfxUseOneColourIcons), else id in its own colours. The
// caller owns it.
HICON AfxLoadIconForColours(UINT id, UINT oneColourId, int size, int nColourIndex);

// Whether the message says that the user's colours may have changed: WM_SYSCOLORCHANGE, or
// WM_SETTINGCHANGE for the high-contrast setting.
bool AfxIsColourChange(UINT message, WPARAM wParam);

// A 32-bit bitmap for pixels written directly, top row first, as BGRA (*pixels). Null when it
// cannot be made. The caller owns it.
HBITMAP AfxCreatePixelBitmap(int width, int height, DWORD** pixels);

// A one-bit mask, set (the background shows) where clear(x, y), top row first. The caller owns
// it.
HBITMAP AfxCreateMaskBitmap(int width, int height, const std::function<bool(int, int)>& clear);
