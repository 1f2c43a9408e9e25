// A window's class and text, for tests that look at windows as a user or a screen reader
// would, and for their failure messages.
#pragma once

#include <windows.h>

#include <string>

inline std::string ClassOf(HWND hwnd)
{
    char name[64] = "";
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

inline std::string TextOf(HWND hwnd)
{
    char text[512] = "";
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}
