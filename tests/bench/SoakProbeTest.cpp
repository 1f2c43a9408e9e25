// The soak's instruments, which its figures rest on: the watcher must measure how long a
// window kept a poll waiting and notice the window going; the Unix-side reading must find
// a program started from Windows and read its memory and descriptors.
#include <windows.h>

#include <gtest/gtest.h>

#include "SimDriverProcess.h"
#include "SoakProbe.h"

namespace {

// A window on a thread of its own that stops answering for `frozenMs` once `freeze` is set.
struct BusyWindow {
    HANDLE created = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE freeze = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE quit = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HWND window = nullptr;
    std::thread thread;
    DWORD frozenMs = 400;

    BusyWindow()
    {
        thread = std::thread([this] {
            window = CreateWindowExA(0, "STATIC", "busy", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                     GetModuleHandleA(nullptr), nullptr);
            SetEvent(created);
            HANDLE waits[2] = {quit, freeze};
            for (;;) {
                DWORD r = MsgWaitForMultipleObjects(2, waits, FALSE, INFINITE, QS_ALLINPUT);
                if (r == WAIT_OBJECT_0)
                    break;
                if (r == WAIT_OBJECT_0 + 1)
                    WaitForSingleObject(quit, frozenMs); // not answering, as a long refresh
                MSG msg;
                while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                    DispatchMessageA(&msg);
            }
            DestroyWindow(window);
        });
        WaitForSingleObject(created, 5000);
    }
    ~BusyWindow()
    {
        SetEvent(quit);
        thread.join();
        CloseHandle(created);
        CloseHandle(freeze);
        CloseHandle(quit);
    }
};

} // namespace

TEST(SoakProbe, WatcherMeasuresTheLongestWaitAndNoticesTheWindowGoing)
{
    CWatcher watcher;
    {
        BusyWindow busy;
        ASSERT_NE(busy.window, nullptr);
        watcher.Start(busy.window);
        Pause(100);
        EXPECT_LT(watcher.Stop(), 250u); // an idle window answers at once
        watcher.Start(busy.window);
        SetEvent(busy.freeze);
        Pause(600);
        const DWORD longest = watcher.Stop();
        EXPECT_GE(longest, 300u);
        EXPECT_LT(longest, 2000u);
        EXPECT_FALSE(watcher.WindowGone());
        watcher.Start(busy.window);
    }
    Pause(200);
    watcher.Stop();
    EXPECT_TRUE(watcher.WindowGone());
}

TEST(SoakProbe, UnixSideFindsAProgramStartedFromWindowsAndReadsIt)
{
    // Other tests run stand-ins of this build too: ours is the one that exits with us.
    SimDriverProcess sim;
    const std::string exe = SimDriverProcess::ExePath();
    const std::string ours = "--exit-with " + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(sim.Start()) << sim.Log();
    EXPECT_EQ(UnixPids(exe, ours).size(), 1u);
    const Usage usage = MeasureProcess(GetCurrentProcess(), exe, ours);
    EXPECT_GT(usage.rssKb, 1000); // a Wine process takes megabytes
    EXPECT_GT(usage.fds, 2);
    sim.Stop();
    EXPECT_TRUE(UnixPids(exe, ours).empty());
    EXPECT_EQ(MeasureProcess(GetCurrentProcess(), exe, ours).rssKb, -1);
}
