// Handles that close themselves, so that no early return or exception leaks one and nothing
// is closed by hand. Each type owns one handle, moves but never copies, and closes it with
// the matching system call when it goes.
#pragma once

#include <windows.h>

#include <utility>

// A handle owned with its closing call; Invalid is the value that means "none".
template <typename Handle, BOOL(WINAPI* CloseFn)(Handle), Handle Invalid = Handle()>
class CScopedHandle {
public:
    CScopedHandle() = default;
    explicit CScopedHandle(Handle handle) : m_handle(handle) {}
    ~CScopedHandle() { Reset(); }
    CScopedHandle(CScopedHandle&& other) noexcept : m_handle(other.Release()) {}
    CScopedHandle& operator=(CScopedHandle&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    CScopedHandle(const CScopedHandle&) = delete;
    CScopedHandle& operator=(const CScopedHandle&) = delete;

    Handle Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != Invalid; }
    // Closes the handle held and takes the new one.
    void Reset(Handle handle = Invalid)
    {
        if (m_handle != Invalid)
            CloseFn(m_handle);
        m_handle = handle;
    }
    // Gives the handle up without closing it.
    Handle Release() { return std::exchange(m_handle, Invalid); }

private:
    Handle m_handle = Invalid;
};

// Kernel objects: events, mutexes, threads. Null means none (CreateFile's
// INVALID_HANDLE_VALUE is never stored in one).
using CKernelHandle = CScopedHandle<HANDLE, CloseHandle>;
using CIconHandle = CScopedHandle<HICON, DestroyIcon>;
using CMenuHandle = CScopedHandle<HMENU, DestroyMenu>;
// A font the program made itself (never a stock font, nor one a control or the dialog manager
// made and deletes).
inline BOOL WINAPI DeleteFontObject(HFONT font)
{
    return DeleteObject(font);
}
using CFontHandle = CScopedHandle<HFONT, DeleteFontObject>;
inline BOOL WINAPI DeleteBitmapObject(HBITMAP bitmap)
{
    return DeleteObject(bitmap);
}
using CBitmapHandle = CScopedHandle<HBITMAP, DeleteBitmapObject>;
// A RegisterDeviceNotification registration.
using CDeviceNotifyHandle = CScopedHandle<HDEVNOTIFY, UnregisterDeviceNotification>;

// Holds a critical section for its own lifetime.
class CCriticalSectionLock {
public:
    explicit CCriticalSectionLock(CRITICAL_SECTION& section) : m_section(section)
    {
        EnterCriticalSection(&m_section);
    }
    ~CCriticalSectionLock() { LeaveCriticalSection(&m_section); }
    CCriticalSectionLock(const CCriticalSectionLock&) = delete;
    CCriticalSectionLock& operator=(const CCriticalSectionLock&) = delete;

private:
    CRITICAL_SECTION& m_section;
};
