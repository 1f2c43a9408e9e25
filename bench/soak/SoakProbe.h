// The soak's instruments: the memory and handles of a process, read from Windows and from
// the Unix side under Wine, and a watcher of a window's answers.
#pragma once

#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "SimDriverProcess.h"
#include "SoakStandIn.h"

// Memory and handles of a process, from both sides: under Wine the process handle count
// may read 0, so the Unix process that runs it is read too (-1: not found).
struct Usage {
    DWORD handles = 0;
    SIZE_T workingSetKb = 0;
    long rssKb = -1;
    long fds = -1;
    long threads = -1;
};

// The threads of a process, from a system snapshot; -1 when none could be taken.
inline long CountThreads(DWORD processId)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    long n = 0;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        n += entry.th32OwnerProcessID == processId ? 1 : 0;
    CloseHandle(snapshot);
    return n;
}

inline std::string ReadWholeFile(const std::string& path)
{
    return SimDriverProcess::ReadFileText(path);
}

// Unix pids of the processes whose command line names this Windows program (as a process
// started by another Windows program has it: the full path, with its drive) and contains
// `also`.
inline std::vector<std::string> UnixPids(const std::string& exePath, const std::string& also = "")
{
    std::vector<std::string> pids;
    const std::string exe = Lower(exePath);
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA("Z:\\proc\\*", &found);
    if (find == INVALID_HANDLE_VALUE)
        return pids;
    do {
        const std::string name = found.cFileName;
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::string cmdline = ReadWholeFile("Z:\\proc\\" + name + "\\cmdline");
        std::replace(cmdline.begin(), cmdline.end(), '\0', ' ');
        if (Lower(cmdline).find(exe) != std::string::npos &&
            cmdline.find(also) != std::string::npos)
            pids.push_back(name);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return pids;
}

inline long CountEntries(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return -1;
    long n = 0;
    do {
        if (std::strcmp(found.cFileName, ".") != 0 && std::strcmp(found.cFileName, "..") != 0)
            ++n;
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return n;
}

// A Unix process is read only when exactly one runs the program.
inline Usage MeasureProcess(HANDLE process, const std::string& exePath,
                            const std::string& also = "")
{
    Usage u;
    GetProcessHandleCount(process, &u.handles);
    u.threads = CountThreads(GetProcessId(process));
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(process, &counters, sizeof counters))
        u.workingSetKb = counters.WorkingSetSize / 1024;
    const std::vector<std::string> pids = UnixPids(exePath, also);
    if (pids.size() == 1) {
        const std::string status = ReadWholeFile("Z:\\proc\\" + pids[0] + "\\status");
        size_t at = status.find("VmRSS:");
        if (at != std::string::npos)
            u.rssKb = std::strtol(status.c_str() + at + 6, nullptr, 10);
        u.fds = CountEntries("Z:\\proc\\" + pids[0] + "\\fd");
    }
    return u;
}

// Polls the main window with WM_NULL from its own thread and keeps the longest time a
// poll waited for its answer.
class CWatcher {
public:
    CWatcher() : m_stop(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~CWatcher()
    {
        Stop();
        CloseHandle(m_stop);
    }
    void Start(HWND window)
    {
        Stop();
        m_window = window;
        m_longestMs = 0;
        m_gone = false;
        ResetEvent(m_stop);
        m_thread = std::thread([this] { Run(); });
    }
    // The longest unanswered time in ms since Start.
    DWORD Stop()
    {
        if (m_thread.joinable()) {
            SetEvent(m_stop);
            m_thread.join();
        }
        return m_longestMs;
    }
    bool WindowGone() const { return m_gone; }

private:
    void Run()
    {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        while (WaitForSingleObject(m_stop, 20) == WAIT_TIMEOUT) {
            LARGE_INTEGER before, after;
            QueryPerformanceCounter(&before);
            DWORD_PTR result = 0;
            // A long timeout: a frozen window is measured up to a minute.
            BOOL answered =
                SendMessageTimeoutA(m_window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result);
            QueryPerformanceCounter(&after);
            if (!answered && !IsWindow(m_window)) {
                m_gone = true;
                return;
            }
            const DWORD ms = DWORD((after.QuadPart - before.QuadPart) * 1000 / frequency.QuadPart);
            if (ms > m_longestMs)
                m_longestMs = ms;
        }
    }

    HANDLE m_stop;
    HWND m_window = nullptr;
    std::atomic<DWORD> m_longestMs{0};
    std::atomic<bool> m_gone{false};
    std::thread m_thread;
};
