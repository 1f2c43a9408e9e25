// Where the keyboard focus goes in the real control panel, worked as a person at the keyboard
// works it: real key presses and clicks on the bench's display, and the focus read from the
// panel's input state. A control disabled while it has the focus hands it on; after a dialog,
// a message box or another window the control that had it has it again.
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

const char kScenario[] = R"({"rateMode": "manual", "devices": [
  {"id": 1, "name": "Desk", "serial": "S-1", "inputs": ["In 1", "In 2"], "outputs": ["Out 1"],
   "clockSources": [{"kind": 0, "id": 0, "name": "Internal"}, {"kind": 1, "id": 1, "name": "ADAT"}]},
  {"id": 2, "name": "Stage", "serial": "S-2", "inputs": ["Mic 1"], "outputs": ["Main L"]}]})";

struct ShownControl {
    int id;
    HWND found;
};

BOOL CALLBACK MatchShownControl(HWND child, LPARAM param)
{
    ShownControl& search = *reinterpret_cast<ShownControl*>(param);
    if (GetDlgCtrlID(child) != search.id || !IsWindowVisible(child))
        return TRUE;
    search.found = child;
    return FALSE;
}

class KeyboardFocusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string scenario = SimDriverProcess::TempPath("keyboard-focus.json");
        HANDLE f =
            CreateFileA(scenario.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(f, kScenario, DWORD(sizeof kScenario - 1), &written, nullptr);
        CloseHandle(f);
        ASSERT_TRUE(m_sim.Start(scenario)) << m_sim.Log();
        m_panel.reset(new CPanelProcess(""));
        m_frame = m_panel->WaitForMainWindow(true);
        ASSERT_TRUE(m_frame) << "the panel's window did not appear";
        // Started, the panel is in front with the page tree focused.
        ASSERT_TRUE(FocusReaches(FindPageTree(m_frame)));
    }

    // The visible control with this id in the panel's window, or null.
    HWND Shown(int id)
    {
        ShownControl search = {id, nullptr};
        EnumChildWindows(m_frame, MatchShownControl, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    HWND PanelFocus()
    {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(m_frame, nullptr), &info);
        return info.hwndFocus;
    }
    // Waits until the control (or a child of it, as a combo box's edit field) has the focus.
    bool FocusReaches(HWND control)
    {
        return control && PumpUntil(
                              [&] {
                                  HWND focus = PanelFocus();
                                  return focus && (focus == control || IsChild(control, focus));
                              },
                              5000);
    }
    bool FocusReaches(int id) { return FocusReaches(Shown(id)); }
    // Where the focus is, for a failure's message: the control's class and id.
    std::string Focused()
    {
        HWND focus = PanelFocus();
        char name[64] = "(none)";
        if (focus)
            GetClassNameA(focus, name, sizeof name);
        return std::string(name) + " " + std::to_string(focus ? GetDlgCtrlID(focus) : 0);
    }
    bool BecomesDisabled(int id)
    {
        return PumpUntil([&] { return !IsWindowEnabled(Shown(id)); }, 5000);
    }
    static std::string Title(HWND window)
    {
        char text[256] = "";
        GetWindowTextA(window, text, sizeof text);
        return text;
    }
    // Waits until the window in front has this title (a dialog, a message box).
    static bool InFront(const std::string& title)
    {
        return PumpUntil([&] { return Title(GetForegroundWindow()) == title; }, 5000);
    }
    // The panel in front again after a dialog. Without a window manager Wine itself moves the
    // display's focus, and now and then leaves no window active when a dialog ends: the caption
    // is clicked then, as a person would, which does not choose a control.
    bool PanelBackInFront()
    {
        return InFront(kMainTitle) || (XdoTool(ClickOn(m_frame, 60, 8)) && InFront(kMainTitle));
    }
    int SelectedRow(int listId)
    {
        return int(SendMessageA(Shown(listId), LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
    }
    // xdotool's click at a point of the window (from its top left corner, caption included).
    static std::string ClickOn(HWND window, int x, int y)
    {
        RECT r = {};
        GetWindowRect(window, &r);
        return "mousemove " + std::to_string(r.left + x) + " " + std::to_string(r.top + y) +
               " click 1";
    }

    SimDriverProcess m_sim; // first: the panel inherits its pipe name
    std::unique_ptr<CPanelProcess> m_panel;
    HWND m_frame = nullptr;
};

} // namespace

// Each Apply of the synchronisation page, and the ranking's Up, Down and Apply, disable
// themselves while they have the focus; the keyboard goes on where a dialog would put it.
TEST_F(KeyboardFocusTest, AControlThatDisablesItselfHandsTheFocusOn)
{
    // Tree to "Synchronisation", past the mode radio into the rate list.
    ASSERT_TRUE(XdoTool("key --delay 80 Down Down Down Tab Tab"));
    ASSERT_TRUE(FocusReaches(IDC_RATE_LIST));
    const struct {
        const char* reach; // keys from the rate list to the group's list
        int list, apply;
    } groups[] = {{"", IDC_RATE_LIST, IDC_RATE_APPLY}, {"Tab", IDC_SOURCE_LIST, IDC_SOURCE_APPLY}};
    for (const auto& group : groups) {
        SCOPED_TRACE(group.apply);
        if (*group.reach) {
            ASSERT_TRUE(XdoTool(std::string("key ") + group.reach));
        }
        ASSERT_TRUE(FocusReaches(group.list));
        ASSERT_TRUE(XdoTool("key --delay 80 Down Tab"));
        ASSERT_TRUE(FocusReaches(group.apply));
        ASSERT_TRUE(XdoTool("key space"));
        EXPECT_TRUE(BecomesDisabled(group.apply)) << "the driver took the change";
        EXPECT_TRUE(FocusReaches(group.list)) << "back to the group's list";
    }
    ASSERT_TRUE(XdoTool("key shift+Tab"));
    EXPECT_TRUE(FocusReaches(IDC_RATE_LIST)) << "and the keyboard walks on";

    // The devices page: Up at the top row, Down at the bottom row, then Apply.
    ASSERT_TRUE(XdoTool("key --delay 80 shift+Tab shift+Tab Home Tab End Tab"));
    ASSERT_TRUE(FocusReaches(IDC_DEVICE_UP));
    ASSERT_EQ(1, SelectedRow(IDC_DEVICE_LIST));
    const struct {
        int pressed, row, focusTo;
    } presses[] = {{IDC_DEVICE_UP, 0, IDC_DEVICE_DOWN},
                   {IDC_DEVICE_DOWN, 1, IDC_DEVICE_APPLY},
                   {IDC_DEVICE_APPLY, 1, IDC_DEVICE_LIST}};
    for (const auto& press : presses) {
        SCOPED_TRACE(press.pressed);
        ASSERT_TRUE(XdoTool("key space"));
        EXPECT_TRUE(BecomesDisabled(press.pressed));
        EXPECT_TRUE(FocusReaches(press.focusTo));
        EXPECT_EQ(press.row, SelectedRow(IDC_DEVICE_LIST));
    }
    ASSERT_TRUE(XdoTool("key Up"));
    EXPECT_TRUE(PumpUntil([&] { return SelectedRow(IDC_DEVICE_LIST) == 0; }, 5000));
}

// A name dialog, a refusal, the about box and another window take the focus away; when the
// panel is in front again, the control that had the focus has it again.
TEST_F(KeyboardFocusTest, TheFocusReturnsToItsControlAfterADialogOrAnotherWindow)
{
    ASSERT_EQ(0, m_sim.Run({"stream", "on"}).exitCode) << "rates are refused";
    // Another program's window, beside the panel's.
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "KeyboardFocusTestOther";
    RegisterClassA(&windowClass);
    HWND other =
        CreateWindowExA(0, windowClass.lpszClassName, "Another window", WS_OVERLAPPEDWINDOW, 900,
                        500, 300, 200, nullptr, nullptr, windowClass.hInstance, nullptr);
    ASSERT_TRUE(other);
    ShowWindow(other, SW_SHOWNOACTIVATE);
    const struct {
        const char* reach; // keys from the tree's first item; null: stay where the last case ended
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
    HWND tree = FindPageTree(m_frame);
    RECT treeRect = {};
    GetClientRect(tree, &treeRect);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        if (c.reach) {
            // A click below the tree's items and Home: the tree on its first item.
            ASSERT_TRUE(XdoTool(ClickOn(tree, 20, treeRect.bottom - 10) + " key Home"));
            ASSERT_TRUE(FocusReaches(tree));
            ASSERT_TRUE(XdoTool("key --delay 80 " + std::string(c.reach)));
        }
        ASSERT_TRUE(FocusReaches(c.control));
        ASSERT_TRUE(XdoTool(c.away));
        ASSERT_TRUE(InFront(c.title));
        for (const std::string& keys : c.back)
            ASSERT_TRUE(XdoTool(keys));
        ASSERT_TRUE(PanelBackInFront());
        EXPECT_TRUE(FocusReaches(c.control)) << Focused();
    }
    DestroyWindow(other);
}
