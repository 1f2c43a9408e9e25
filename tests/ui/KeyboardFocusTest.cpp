// Where the keyboard focus goes in the real control panel, worked with real key presses and
// clicks on the bench's display: a control disabled while it has the focus hands it on, and
// after a dialog, a message box or another window the control that had it has it again.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "PanelHarness.h"
#include "RealKeys.h"
#include "SimDriverProcess.h"
#include "resource.h"

namespace {

// Real keys go through the display and the panel's own queue, page changes read the driver:
// on a loaded machine that takes seconds, so every wait is generous.
const DWORD kKeysWaitMs = 15000;

std::string Title(HWND window)
{
    char text[256] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

bool InFront(const std::string& title)
{
    return PumpUntil([&] { return Title(GetForegroundWindow()) == title; }, kKeysWaitMs);
}

// xdotool's click at a point of the window, from its top left corner (caption included).
std::string ClickOn(HWND window, int x, int y)
{
    RECT r = {};
    GetWindowRect(window, &r);
    return "mousemove " + std::to_string(r.left + x) + " " + std::to_string(r.top + y) + " click 1";
}

class KeyboardFocusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_sim.Start()) << m_sim.Log();
        ASSERT_EQ(0, m_sim.Run({"set", "mode", "manual"}).exitCode);
        m_panel.reset(new CPanelProcess(""));
        m_frame = m_panel->WaitForMainWindow(true);
        ASSERT_TRUE(m_frame) << "the panel's window did not appear";
        m_tree = FindPageTree(m_frame);
        ASSERT_TRUE(FocusReaches(m_tree)) << "started, the panel is in front, its tree focused";
    }
    static bool Keys(const std::string& keys) { return XdoTool("key --delay 80 " + keys); }
    // The control with this id on the page shown.
    HWND Shown(int id)
    {
        for (HWND page = GetWindow(GetParent(m_tree), GW_CHILD); page;
             page = GetWindow(page, GW_HWNDNEXT))
            if (IsWindowVisible(page) && GetDlgItem(page, id))
                return GetDlgItem(page, id);
        return nullptr;
    }
    HWND PanelFocus()
    {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(m_frame, nullptr), &info);
        return info.hwndFocus;
    }
    // The control, or a child of it (a combo box's edit field), gets the focus.
    bool FocusReaches(HWND control)
    {
        auto reached = [&] {
            HWND focus = PanelFocus();
            return focus && (focus == control || IsChild(control, focus));
        };
        return control && PumpUntil(reached, kKeysWaitMs);
    }
    bool FocusReaches(int id) { return FocusReaches(Shown(id)); }
    std::string FocusClass()
    {
        char name[64] = "(none)";
        GetClassNameA(PanelFocus(), name, sizeof name);
        return name;
    }
    // Without a window manager Wine itself moves the display's focus, and now and then leaves
    // no window active, or the panel in front without the keyboard, when a dialog ends: the
    // caption is clicked then, as a person would, which activates the panel again.
    bool PanelBackInFront()
    {
        const auto active = [&] {
            return InFront(kMainTitle) && PumpUntil([&] { return PanelFocus() != nullptr; }, 2000);
        };
        return active() || (XdoTool(ClickOn(m_frame, 60, 8)) && active());
    }

    // The control that had the focus has it again. Wine may take the keyboard from the panel
    // right after giving it back (no window manager): then the caption is clicked once more,
    // and the activation must still bring the focus to that control, not elsewhere.
    bool FocusComesBack(HWND control)
    {
        if (FocusReaches(control))
            return true;
        return !PanelFocus() && XdoTool(ClickOn(m_frame, 60, 8)) && FocusReaches(control);
    }

    SimDriverProcess m_sim; // first: the panel inherits its pipe name
    std::unique_ptr<CPanelProcess> m_panel;
    HWND m_frame = nullptr, m_tree = nullptr;
};

} // namespace

// Each Apply of the synchronisation page, and Up at the top row, Down at the bottom row and
// Apply of the ranking, disable themselves while they have the focus.
TEST_F(KeyboardFocusTest, AControlThatDisablesItselfHandsTheFocusOn)
{
    // Keys that make the control to be pressed enabled (none: it is), then the keys that
    // press it; the second wait for the first, as a person waits to see the button enabled.
    const struct {
        const char *reach, *keys;
        int pressed, focusTo;
    } steps[] = {
        // Tree to "Synchronisation", past the mode radio, another rate, its Apply.
        {"Down Down Down Tab Tab Down", "Tab space", IDC_RATE_APPLY, IDC_RATE_LIST},
        {"Tab Down", "Tab space", IDC_SOURCE_APPLY, IDC_SOURCE_LIST},
        // Back to the tree, "Devices", its last row, Up.
        {"shift+Tab shift+Tab shift+Tab Home Tab End", "Tab space", IDC_DEVICE_UP, IDC_DEVICE_DOWN},
        {nullptr, "space", IDC_DEVICE_DOWN, IDC_DEVICE_APPLY},
        {nullptr, "space", IDC_DEVICE_APPLY, IDC_DEVICE_LIST},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.keys);
        if (step.reach) {
            ASSERT_TRUE(Keys(step.reach));
            ASSERT_TRUE(
                PumpUntil([&] { return IsWindowEnabled(Shown(step.pressed)) != 0; }, kKeysWaitMs));
        }
        ASSERT_TRUE(Keys(step.keys));
        EXPECT_TRUE(PumpUntil([&] { return !IsWindowEnabled(Shown(step.pressed)); }, kKeysWaitMs));
        EXPECT_TRUE(FocusReaches(step.focusTo)) << FocusClass();
    }
    ASSERT_TRUE(Keys("Home"));
    HWND list = Shown(IDC_DEVICE_LIST);
    EXPECT_TRUE(PumpUntil(
        [&] { return SendMessageA(list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED) == 0; },
        kKeysWaitMs))
        << "the keyboard drives the list";
}

// A name dialog (twice: the next row is renamed from the list at once), a refusal, the about
// box and another window take the focus away; back in front, the panel gives it to the control
// that had it.
TEST_F(KeyboardFocusTest, TheFocusReturnsToItsControlAfterADialogOrAnotherWindow)
{
    ASSERT_EQ(0, m_sim.Run({"stream", "on"}).exitCode) << "rates are refused";
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "KeyboardFocusTestOther";
    RegisterClassA(&windowClass);
    HWND other =
        CreateWindowExA(0, windowClass.lpszClassName, "Another window", WS_OVERLAPPEDWINDOW, 900,
                        500, 300, 200, nullptr, nullptr, nullptr, nullptr);
    ShowWindow(other, SW_SHOWNOACTIVATE);
    const struct {
        const char* reach; // keys from the tree's first item; null: from where the last case ended
        int control;
        std::string away, title;
        std::vector<std::string> back; // xdotool's type takes every argument after it
    } cases[] = {
        {"Down Tab End",
         IDC_CHANNEL_LIST,
         "key Return",
         "Edit Channel Name",
         {"type --delay 80 Vox", "key Return"}},
        {nullptr, IDC_CHANNEL_LIST, "key Up Return", "Edit Channel Name", {"key Escape"}},
        {"Down Down Down Tab Tab Down Tab", IDC_RATE_APPLY, "key space", "Error", {"key Return"}},
        {"Tab", IDC_DEVICE_LIST, "key alt+i Return", "About Control Panel", {"key Return"}},
        {"Tab",
         IDC_DEVICE_LIST,
         ClickOn(other, 60, 8),
         "Another window",
         {ClickOn(m_frame, 60, 8)}},
    };
    RECT tree = {};
    GetClientRect(m_tree, &tree);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        if (c.reach) {
            // A click below the tree's items and Home: the tree on its first item.
            ASSERT_TRUE(XdoTool(ClickOn(m_tree, 20, tree.bottom - 10) + " key Home"));
            ASSERT_TRUE(FocusReaches(m_tree));
            ASSERT_TRUE(Keys(c.reach));
        }
        ASSERT_TRUE(FocusReaches(c.control));
        ASSERT_TRUE(XdoTool(c.away));
        ASSERT_TRUE(InFront(c.title));
        for (const std::string& keys : c.back)
            ASSERT_TRUE(XdoTool(keys));
        ASSERT_TRUE(PanelBackInFront());
        EXPECT_TRUE(FocusComesBack(Shown(c.control))) << FocusClass();
    }
    DestroyWindow(other);
}
