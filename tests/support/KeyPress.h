// Pressing keys on the real windows of this thread, the way the keyboard does: into the
// queue, so that the application's pre-translation (IsDialogMessage, the pages' own) sees a
// key before any window does.
#pragma once

#include "Afx.h"

// Delivers what is queued now, through the application's pre-translation, for at most 2 s.
inline void PumpPreTranslated()
{
    const DWORD start = GetTickCount();
    MSG msg;
    while (GetQueueStatus(QS_ALLINPUT) != 0 && GetTickCount() - start < 2000) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage((int)msg.wParam);
                return;
            }
            CWinApp* pApp = AfxGetApp();
            if (!pApp || !pApp->PreTranslateMessage(&msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
    }
}

// Presses the key on the control with the focus there and returns the window that has the
// focus afterwards. Other test programs share the display and may take the foreground
// meanwhile (those that do share a lock with this test): the press is repeated, from the same
// control, until it ran undisturbed.
inline HWND PressKeyOn(HWND hWndControl, UINT vk)
{
    HWND hWndRoot = GetAncestor(hWndControl, GA_ROOT);
    HWND hWndFocus = nullptr;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 5000) {
        SetForegroundWindow(hWndRoot);
        SetFocus(hWndControl);
        PumpPreTranslated();
        if (GetFocus() != hWndControl)
            continue;
        PostMessageA(hWndControl, WM_KEYDOWN, vk, 1);
        PostMessageA(hWndControl, WM_KEYUP, vk, 0xC0000001);
        PumpPreTranslated();
        hWndFocus = GetFocus();
        if (hWndFocus && GetForegroundWindow() == hWndRoot)
            break;
    }
    return hWndFocus;
}
