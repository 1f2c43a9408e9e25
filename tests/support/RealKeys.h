// Keys and clicks through the display's own input, as a person at the keyboard makes them:
// xdotool (XTEST) on the bench's display, so that they reach whichever window has the input
// focus there and go through the whole input path of the system. Under Wine a Windows program
// starts a Unix one without a process handle to wait on: the shell writes a file once xdotool
// has ended.
#pragma once

#include <windows.h>

#include <string>

#include "MessagePump.h"

// Runs xdotool with these arguments (`key Tab`, `type Vox`, `mousemove 10 20 click 1`) and
// pumps until it has ended; false when it could not be started, failed or did not end in time.
inline bool XdoTool(const std::string& arguments, DWORD timeoutMs = 10000)
{
    static LONG counter = 0;
    const std::string name = "kvx-xdo-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(InterlockedIncrement(&counter));
    const std::string done = "Z:\\tmp\\" + name;
    DeleteFileA(done.c_str());
    std::string commandLine =
        "/bin/sh -c \"xdotool " + arguments + " >/dev/null 2>&1 && : >/tmp/" + name + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    if (process.hThread)
        CloseHandle(process.hThread);
    if (process.hProcess)
        CloseHandle(process.hProcess);
    const bool ended = PumpUntil(
        [&] { return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, timeoutMs);
    DeleteFileA(done.c_str());
    return ended;
}
