#include "Dpi.h"

#include <cstring>

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

} // namespace

UINT AfxGetWindowDpi(HWND hWnd)
{
    // Looked up at run time: older systems (and older SDK headers) do not have it.
    typedef UINT(WINAPI * GetDpiForWindowFn)(HWND);
    static const GetDpiForWindowFn getDpiForWindow = [] {
        GetDpiForWindowFn fn = nullptr;
        if (HMODULE user32 = ::GetModuleHandleA("user32.dll")) {
            FARPROC proc = ::GetProcAddress(user32, "GetDpiForWindow");
            std::memcpy(&fn, &proc, sizeof fn);
        }
        return fn;
    }();
    if (getDpiForWindow && hWnd)
        if (const UINT dpi = getDpiForWindow(hWnd))
            return dpi;
    return ScreenDpi();
}
