// -asio and -exit while the real panel has a box open, for every kind of box it shows, each
// opened as a user would against the stand-in: the hand-over restores the minimised main
// window behind the box, and -exit ends the panel, box and all.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "KvxuUsbDriver.h"
#include "PanelHarness.h"
#include "ProfileCommands.h"
#include "ProfileFile.h"
#include "ProfileRead.h"
#include "SimDriverProcess.h"
#include "resource.h"

namespace {

std::string ProfilePath()
{
    return SimDriverProcess::TempPath("open-box.kvxsettings");
}

std::string GonePath()
{
    return SimDriverProcess::TempPath("gone.kvxsettings");
}

void Command(HWND frame, UINT id)
{
    PostMessageA(frame, WM_COMMAND, id, 0);
}

// A click on a page's button, as its page hears it.
void Click(HWND frame, int id)
{
    HWND button = FindDescendant(frame, id);
    PostMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(button));
}

class OpenBoxTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_sim = new SimDriverProcess; // the panels inherit its pipe name
        ASSERT_TRUE(s_sim->Start("demo")) << s_sim->Log();
        // Refusals need a stream: a rate change is refused while audio streams.
        ASSERT_EQ(0, s_sim->Run({"stream", "on"}).exitCode);
        CKvxuUsbDriver driver;
        ASSERT_EQ(0u, driver.Open(KVX_USB_DEVICE_NAME));
        std::vector<std::string> notes;
        CProfile profile = ReadProfileFromDriver(driver, notes);
        profile.sampleRateHz = 96000;
        std::string error;
        ASSERT_TRUE(SaveProfileFile(ProfilePath(), profile, error)) << error;
    }
    static void TearDownTestSuite()
    {
        CProfileRecentList().Remove(ProfilePath());
        CProfileRecentList().Remove(GonePath());
        DeleteFileA(ProfilePath().c_str());
        delete s_sim;
        s_sim = nullptr;
    }

    static SimDriverProcess* s_sim;
};

SimDriverProcess* OpenBoxTest::s_sim = nullptr;

void OpenDeviceNameDialog(HWND frame, const CPanelProcess&)
{
    HWND list = nullptr;
    ASSERT_TRUE(PumpUntil([&] {
        list = FindDescendant(frame, IDC_DEVICE_LIST);
        return list && SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) > 0;
    }));
    LVITEMA row = {};
    row.stateMask = row.state = LVIS_SELECTED | LVIS_FOCUSED;
    std::vector<char> buffer(sizeof row);
    std::memcpy(buffer.data(), &row, sizeof row);
    ASSERT_FALSE(SendWithRemoteBuffer(list, LVM_SETITEMSTATE, 0, buffer).empty());
    Click(frame, IDC_DEVICE_EDIT_NAME);
}

void OpenRefusalBox(HWND frame, const CPanelProcess&)
{
    ASSERT_TRUE(SelectTreeItem(FindPageTree(frame), 3)); // "Synchronisation"
    HWND rates = FindDescendant(frame, IDC_RATE_LIST);
    ASSERT_GT(SendMessageA(rates, CB_GETCOUNT, 0, 0), 1);
    SendMessageA(rates, CB_SETCURSEL, SendMessageA(rates, CB_GETCURSEL, 0, 0) == 0 ? 1 : 0, 0);
    Click(frame, IDC_RATE_APPLY);
}

void OpenLoadPlan(HWND frame, const CPanelProcess& panel)
{
    Command(frame, ID_FILE_LOAD_SETTINGS);
    HWND open = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (open = panel.VisibleWindow("Open")) != nullptr; }));
    // The file name box: an edit of its own (edt1) or the edit of a combo box (cmb13).
    HWND name = GetDlgItem(open, 0x480);
    if (!name || !IsWindowVisible(name))
        name = GetDlgItem(open, 0x47C);
    SendMessageA(name, WM_SETTEXT, 0, LPARAM(ProfilePath().c_str()));
    PostMessageA(open, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(GetDlgItem(open, IDOK)));
}

void OpenRecent(HWND frame, const std::string& path)
{
    CProfileRecentList().Add(path); // first in the list
    Command(frame, ID_PROFILE_RECENT_FIRST);
}

struct BoxCase {
    const char* name;
    const char* title;
    std::function<void(HWND frame, const CPanelProcess& panel)> open;
};

const BoxCase kBoxes[] = {
    {"about box", "About Control Panel",
     [](HWND frame, const CPanelProcess&) { Command(frame, ID_APP_ABOUT); }},
    {"device-name dialog", "Edit Device Name", OpenDeviceNameDialog},
    {"refusal box", "Error", OpenRefusalBox},
    {"Open dialog of Load Settings", "Open",
     [](HWND frame, const CPanelProcess&) { Command(frame, ID_FILE_LOAD_SETTINGS); }},
    {"plan of a load", "Load Settings", OpenLoadPlan},
    {"results of a recent profile, with a refusal", "Settings Loaded",
     [](HWND frame, const CPanelProcess&) { OpenRecent(frame, ProfilePath()); }},
    {"recent profile gone", "Settings Profiles",
     [](HWND frame, const CPanelProcess&) { OpenRecent(frame, GonePath()); }},
};

} // namespace

TEST_F(OpenBoxTest, AsioRestoresTheFrameBehindAnyBoxAndExitEndsThePanel)
{
    for (const BoxCase& box : kBoxes) {
        SCOPED_TRACE(box.name);
        CPanelProcess panel("");
        HWND frame = panel.WaitForMainWindow(true);
        ASSERT_TRUE(frame);
        box.open(frame, panel);
        if (HasFatalFailure())
            return;
        HWND opened = nullptr;
        ASSERT_TRUE(PumpUntil([&] { return (opened = panel.VisibleWindow(box.title)) != nullptr; }))
            << "the box did not open";

        ShowWindowAsync(frame, SW_MINIMIZE);
        ASSERT_TRUE(PumpUntil([&] { return IsIconic(frame) != FALSE; }));
        EXPECT_EQ(0u, RunPanel("-asio"));
        EXPECT_TRUE(PumpUntil([&] { return !IsIconic(frame); })) << "the frame stayed minimised";
        EXPECT_TRUE(PumpUntil([&] {
            return RemoteSelectedTreeText(FindPageTree(frame)) == "Settings";
        })) << "the frame did not show its settings page";
        EXPECT_TRUE(IsWindow(opened)) << "the box was closed";

        const DWORD start = GetTickCount();
        EXPECT_EQ(0u, RunPanel("-exit", 20000));
        const DWORD tookMs = GetTickCount() - start;
        EXPECT_EQ(0u, panel.WaitForExit(0)) << "the panel runs on";
        std::printf("[ figures  ] -exit with the %s open: %lu ms\n", box.name,
                    static_cast<unsigned long>(tookMs));
    }
}
