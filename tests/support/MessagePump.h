// Waiting in tests without Sleep: messages for this thread's windows keep flowing while a
// condition, a handle or the end of the message loop is awaited, each with a deadline.
#pragma once

#include <windows.h>

#include <tlhelp32.h>

#include <cstring>
#include <functional>
#include <set>

// Delivers messages until done() holds or timeoutMs have passed; returns done().
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done())
            return true;
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs)
            return false;
        // Woken by any message at once; the short slice only bounds how late a change in
        // another process is seen.
        const DWORD slice = timeoutMs - elapsed < 20 ? timeoutMs - elapsed : 20;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, slice, QS_ALLINPUT);
    }
}

// Delivers the next message, waiting at most timeoutMs for one; false when none came.
inline bool PumpOneMessage(DWORD timeoutMs)
{
    MSG msg;
    const DWORD start = GetTickCount();
    while (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return true;
}

// Delivers messages until the handle is signalled or timeoutMs have passed.
inline bool PumpUntilSignalled(HANDLE handle, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs)
            return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
        const DWORD result =
            MsgWaitForMultipleObjects(1, &handle, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
        if (result == WAIT_OBJECT_0)
            return true;
    }
}

// Runs a message loop until WM_QUIT arrives or timeoutMs have passed; returns whether it
// arrived.
inline bool PumpUntilQuit(DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        MSG msg;
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
            continue;
        }
        if (msg.message == WM_QUIT)
            return true;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return false;
}

// The ids of this process's threads now.
inline std::set<DWORD> ThreadsOfThisProcess()
{
    std::set<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId())
            ids.insert(entry.th32ThreadID);
    CloseHandle(snapshot);
    return ids;
}

// Whether the thread began in this program or its C runtime, not in a system library that
// keeps a service thread of its own (the device-notification listener does).
inline bool StartedByTheProgram(DWORD threadId)
{
    typedef LONG(WINAPI * QueryThreadFn)(HANDLE, int, PVOID, ULONG, PULONG);
    const int kThreadStartAddress = 9; // ThreadQuerySetWin32StartAddress
    FARPROC proc = GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationThread");
    QueryThreadFn query;
    std::memcpy(&query, &proc, sizeof query);
    HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, threadId);
    void* startAddress = nullptr;
    const bool known =
        thread && query &&
        query(thread, kThreadStartAddress, &startAddress, sizeof startAddress, nullptr) == 0;
    if (thread)
        CloseHandle(thread);
    HMODULE module = nullptr;
    if (!known || !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                          GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                      static_cast<LPCSTR>(startAddress), &module))
        return true; // unknown: counted, so that a leak is not missed
    return module == GetModuleHandleA(nullptr) || module == GetModuleHandleA("msvcrt.dll");
}
