// Shared by the framework tests: an application object per test, a message pump with a
// deadline that pre-translates like the real loop, and a closer for message boxes.
#pragma once

#include "Afx.h"
#include "KeyPress.h"
#include "TestRes.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

// An application for one test: set up as AfxWinMain would, main window cleared at the end.
class TestApp : public CWinApp {
public:
    TestApp() : CWinApp("FrameworkTest")
    {
        AfxWinInit(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOW);
    }
    ~TestApp() override
    {
        if (m_pMainWnd && m_pMainWnd->m_hWnd)
            m_pMainWnd->DestroyWindow();
        DrainQuit();
    }
    // Removes a WM_QUIT left by a destroyed main window, so that the next test's loop runs.
    static void DrainQuit()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }
};

// Runs the thread's messages as CWinApp::Run does, until done() or the deadline. Returns
// done(). A WM_QUIT seen on the way is put back and ends the pumping.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (done())
            return true;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage((int)msg.wParam);
                return done();
            }
            CWinApp* pApp = AfxGetApp();
            if (!pApp || !pApp->PreTranslateMessage(&msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            if (done())
                return true;
        }
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs)
            return done();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
    }
}

// Processes what is queued now (and what that produces), without waiting for more.
inline void PumpPending()
{
    PumpUntil([] { return GetQueueStatus(QS_ALLINPUT) == 0; }, 2000);
}

// Closes the message boxes of this thread while it lives, keeping their texts.
class MessageBoxCloser {
public:
    MessageBoxCloser()
    {
        s_self = this;
        m_timer = SetTimer(nullptr, 0, 20, OnTimer);
    }
    ~MessageBoxCloser()
    {
        KillTimer(nullptr, m_timer);
        s_self = nullptr;
    }
    std::vector<std::string> m_texts;

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD)
    {
        if (s_self)
            EnumThreadWindows(GetCurrentThreadId(), CloseBox, 0);
    }
    static BOOL CALLBACK CloseBox(HWND hWnd, LPARAM)
    {
        char className[32] = "";
        GetClassNameA(hWnd, className, sizeof className);
        if (std::string(className) != "#32770" || !IsWindowVisible(hWnd))
            return TRUE;
        std::string text;
        EnumChildWindows(hWnd, FindText, (LPARAM)&text);
        s_self->m_texts.push_back(text);
        PostMessageA(hWnd, WM_COMMAND, IDOK, 0);
        return TRUE;
    }
    // The message text: the first static control with a text.
    static BOOL CALLBACK FindText(HWND hWnd, LPARAM lParam)
    {
        char className[32] = "", text[512] = "";
        GetClassNameA(hWnd, className, sizeof className);
        GetWindowTextA(hWnd, text, sizeof text);
        if (_stricmp(className, "Static") != 0 || !text[0])
            return TRUE;
        *reinterpret_cast<std::string*>(lParam) = text;
        return FALSE;
    }
    static inline MessageBoxCloser* s_self = nullptr;
    UINT_PTR m_timer = 0;
};

inline std::string StatusText(HWND hWndFrame, int pane = 0)
{
    HWND hWndBar = GetDlgItem(hWndFrame, AFX_IDW_STATUS_BAR);
    char text[256] = "";
    if (hWndBar && (SendMessageA(hWndBar, SB_GETTEXTLENGTHA, pane, 0) & 0xFFFF) < sizeof text)
        SendMessageA(hWndBar, SB_GETTEXTA, pane, (LPARAM)text);
    return text;
}
