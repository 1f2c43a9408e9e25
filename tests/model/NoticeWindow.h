// A message-only window that counts the notices posted to it.
#pragma once

#include <windows.h>

#include <functional>

#include "MessagePump.h"

// The message the notices come with; any private message will do.
const UINT WM_DRIVER_NOTIFY = WM_APP + 2;

class NoticeWindow {
public:
    NoticeWindow()
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = &WindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "KvxNoticeWindow";
        RegisterClassA(&windowClass); // fails harmlessly when already registered
        hwnd = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                               nullptr, windowClass.hInstance, nullptr);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, LONG_PTR(this));
    }
    ~NoticeWindow() { DestroyWindow(hwnd); }
    NoticeWindow(const NoticeWindow&) = delete;
    NoticeWindow& operator=(const NoticeWindow&) = delete;

    bool WaitForNotices(int count, DWORD timeoutMs = 5000)
    {
        return PumpUntil([&] { return notices >= count; }, timeoutMs);
    }

    HWND hwnd = nullptr;
    int notices = 0;
    WPARAM lastWParam = 0;
    LPARAM lastLParam = 0;
    std::function<void()> onNotice; // runs on each notice, as the view's drain would

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<NoticeWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (self && message == WM_DRIVER_NOTIFY) {
            ++self->notices;
            self->lastWParam = wParam;
            self->lastLParam = lParam;
            if (self->onNotice)
                self->onNotice();
            return 0;
        }
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
};
