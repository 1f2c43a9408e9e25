// A second start of the control panel against a stand-in for the running instance: this
// test holds the single-instance mutex and a window of the main frame's class with the main
// title, and watches what a real second process does to it. Asked to quit, the stand-in lets
// go of the mutex, as a panel that ends does.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "AppMessages.h"
#include "resource.h"
#include "PanelHarness.h"

namespace {

const char kMutexName[] = "5D2A8C31-7E4B-4f90-B3A6-C18E27D4F5A0";

struct Received {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Received> g_received;
std::vector<HWND> g_activated;
HANDLE g_instanceMutex = nullptr;
bool g_endOnQuit = true;

void EndInstance()
{
    if (!g_instanceMutex)
        return;
    ReleaseMutex(g_instanceMutex);
    CloseHandle(g_instanceMutex);
    g_instanceMutex = nullptr;
}

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SHOW_ASIO_SETTINGS || message == WM_COMMAND)
        g_received.push_back({hwnd, message, wParam, lParam});
    if (message == WM_COMMAND && wParam == ID_APP_QUIT && g_endOnQuit)
        EndInstance();
    if (message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE)
        g_activated.push_back(hwnd);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

class HandOverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_received.clear();
        g_activated.clear();
        g_endOnQuit = true;
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = RecordingProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kMainFrameClass;
        RegisterClassA(&windowClass);
        g_instanceMutex = CreateMutexA(nullptr, TRUE, kMutexName);
        ASSERT_TRUE(g_instanceMutex);
        ASSERT_NE(ERROR_ALREADY_EXISTS, GetLastError()) << "another panel is running";
        m_hWnd = CreateWindowExA(0, windowClass.lpszClassName, kMainTitle, WS_OVERLAPPEDWINDOW, 20,
                                 20, 300, 200, nullptr, nullptr, windowClass.hInstance, nullptr);
        ASSERT_TRUE(m_hWnd);
    }
    void TearDown() override
    {
        if (m_hWnd)
            DestroyWindow(m_hWnd);
        EndInstance();
    }

    // Runs a second start and pumps until it ended, then takes what was posted to us.
    void SecondStart(const char* arguments)
    {
        ASSERT_EQ(0u, RunPanel(arguments));
        PumpUntil([] { return false; }, 100);
    }

    int Count(UINT message, WPARAM wParam) const
    {
        int count = 0;
        for (const Received& r : g_received)
            if (r.message == message && r.wParam == wParam && r.lParam == 0)
                ++count;
        return count;
    }

    HWND m_hWnd = nullptr;
};

} // namespace

TEST_F(HandOverTest, AsioAsksForTheSettingsPageAndShowsTheWindow)
{
    SecondStart("-asio");
    EXPECT_EQ(1, Count(WM_SHOW_ASIO_SETTINGS, 0));
    EXPECT_TRUE(IsWindowVisible(m_hWnd));
    EXPECT_EQ(0, Count(WM_COMMAND, ID_APP_QUIT));
}

TEST_F(HandOverTest, HideWithAsioDoesNothingAtAll)
{
    SecondStart("-ASIO foo -hide");
    EXPECT_TRUE(g_received.empty());
    EXPECT_FALSE(IsWindowVisible(m_hWnd));
}

TEST_F(HandOverTest, PlainStartRestoresAMinimisedWindowWithoutAskingForAPage)
{
    ShowWindow(m_hWnd, SW_SHOWMINNOACTIVE);
    ASSERT_TRUE(IsIconic(m_hWnd));
    SecondStart("");
    EXPECT_FALSE(IsIconic(m_hWnd));
    EXPECT_TRUE(IsWindowVisible(m_hWnd));
    EXPECT_TRUE(g_received.empty());
}

TEST_F(HandOverTest, BringsTheRunningInstancesOpenPopupToTheFront)
{
    ShowWindow(m_hWnd, SW_SHOW);
    HWND popup = CreateWindowExA(0, kMainFrameClass, "About Control Panel",
                                 WS_POPUP | WS_CAPTION | WS_VISIBLE, 40, 40, 200, 100, m_hWnd,
                                 nullptr, nullptr, nullptr);
    HWND elsewhere =
        CreateWindowExA(0, kMainFrameClass, "another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                        300, 300, 200, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(popup && elsewhere);
    SetForegroundWindow(popup);
    SetForegroundWindow(elsewhere);
    ASSERT_EQ(popup, GetLastActivePopup(m_hWnd));
    g_activated.clear();

    SecondStart("");
    ASSERT_FALSE(g_activated.empty());
    EXPECT_EQ(popup, g_activated.front());
    DestroyWindow(elsewhere);
    DestroyWindow(popup);
}

// -exit asks, again when the request did not take, and returns only when the instance has
// let go of the mutex.
TEST_F(HandOverTest, ExitAsksToQuitUntilTheInstanceEndsAndNothingElse)
{
    g_endOnQuit = false;
    CPanelProcess exitStart("-hide -EXIT -asio");
    ASSERT_TRUE(PumpUntil([&] { return Count(WM_COMMAND, ID_APP_QUIT) >= 2; }))
        << "asked once only";
    EXPECT_EQ(STILL_ACTIVE, exitStart.WaitForExit(0)) << "it did not wait for the end";
    EndInstance();
    EXPECT_EQ(0u, exitStart.WaitForExit());
    EXPECT_EQ(0, Count(WM_SHOW_ASIO_SETTINGS, 0));
    EXPECT_FALSE(IsWindowVisible(m_hWnd));
}

// An installer must not go on while the panel's files are in use.
TEST_F(HandOverTest, ExitFailsWhenTheInstanceRunsOn)
{
    g_endOnQuit = false;
    EXPECT_EQ(1u, RunPanel("-exit", 20000));
    EXPECT_GE(Count(WM_COMMAND, ID_APP_QUIT), 2);
}

// A box of the running instance that carries the main title, above its minimised main
// window: every request goes to the main window, which is restored.
TEST_F(HandOverTest, ABoxWithTheMainTitleIsNeverTakenForTheMainWindow)
{
    WNDCLASSA boxClass = {};
    boxClass.lpfnWndProc = RecordingProc;
    boxClass.hInstance = GetModuleHandleA(nullptr);
    boxClass.lpszClassName = "HandOverTestBox";
    RegisterClassA(&boxClass);
    ShowWindow(m_hWnd, SW_SHOWMINNOACTIVE);
    HWND box = CreateWindowExA(WS_EX_TOPMOST, boxClass.lpszClassName, kMainTitle,
                               WS_POPUP | WS_CAPTION | WS_VISIBLE, 40, 40, 200, 100, m_hWnd,
                               nullptr, boxClass.hInstance, nullptr);
    ASSERT_TRUE(box);
    ASSERT_EQ(box, FindWindowA(nullptr, kMainTitle)) << "the box must come first by title";

    SecondStart("-asio");
    EXPECT_FALSE(IsIconic(m_hWnd));
    SecondStart("-exit");
    for (const Received& r : g_received)
        EXPECT_EQ(m_hWnd, r.hwnd) << "message " << r.message << " went to the box";
    EXPECT_EQ(1, Count(WM_SHOW_ASIO_SETTINGS, 0));
    EXPECT_EQ(1, Count(WM_COMMAND, ID_APP_QUIT));
    DestroyWindow(box);
}

// An instance that holds the mutex but whose window comes only later (it is still starting)
// gets its -exit and its hand-over all the same; without any instance nothing waits.
TEST_F(HandOverTest, SecondStartsWaitForTheWindowOfAnInstanceStillStarting)
{
    for (const char* arguments : {"-asio", "-exit"}) {
        DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
        g_received.clear();
        CPanelProcess second(arguments);
        ASSERT_TRUE(second.Started());
        PumpUntil([] { return false; }, 700); // the second start looks and finds no window
        EXPECT_TRUE(second.Running()) << arguments << ": gave up while an instance was starting";
        m_hWnd = CreateWindowExA(0, kMainFrameClass, kMainTitle, WS_OVERLAPPEDWINDOW, 20, 20, 300,
                                 200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        EXPECT_EQ(0u, second.WaitForExit(8000)) << arguments;
        PumpUntil([] { return false; }, 100);
        if (std::string(arguments) == "-exit")
            EXPECT_EQ(1, Count(WM_COMMAND, ID_APP_QUIT));
        else
            EXPECT_EQ(1, Count(WM_SHOW_ASIO_SETTINGS, 0));
    }

    // No instance at all (the -exit ended the stand-in's): an -exit start ends at once.
    DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
    EndInstance();
    const DWORD start = GetTickCount();
    EXPECT_EQ(0u, RunPanel("-exit"));
    const DWORD tookMs = GetTickCount() - start;
    EXPECT_LT(tookMs, 3000u);
    std::printf("[ figures  ] -exit without an instance: %lu ms\n",
                static_cast<unsigned long>(tookMs));
}
