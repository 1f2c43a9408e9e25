// The devices page and both channel pages inside the real application, started in this
// process against a stand-in driver of its own with three devices: ranking, renaming through
// the name dialogs, the display-name option, and names the driver left unterminated. The
// tests click the real buttons, select rows, type into the dialogs, and read what the user
// sees and what the stand-in was sent (its trace and status).
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>

#include "Drv.h"
#include "KVX_USB_CPL.h"
#include "KVX_USB_CPLView.h"
#include "MainFrm.h"
#include "KeyPress.h"
#include "MessagePump.h"
#include "ModalAnswers.h"
#include "SettledView.h"
#include "SimDriverProcess.h"
#include "resource.h"

CKVX_USB_CPLApp theApp;
CDrv theDrv;

namespace {

SimDriverProcess* g_sim = nullptr;
std::string g_scenario, g_trace;

const char kScenario[] = R"({"asioNames": false, "devices": [
  {"id": 1, "name": "Desk", "serial": "S-0001", "inputs": ["In 1", "In 2"], "outputs": ["Out 1"]},
  {"id": 2, "name": "Stage", "serial": "S-0002", "inputs": ["Mic 1"], "outputs": ["Main L"]},
  {"id": 3, "name": "Booth", "serial": "S-0003", "inputs": ["Talk"], "outputs": ["Cue"]}]})";

const std::string k50 = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMN";

// Drives the next modal dialog of this thread from a timer while the click that opens it
// runs: notes its title, style and name text, types the text given (if any) and clicks
// OK or Cancel, or presses Escape when the button is 0.
class DialogDriver {
public:
    DialogDriver(const char* text, int button) : m_text(text), m_button(button)
    {
        s_current = this;
        m_timer = SetTimer(nullptr, 0, 10, &DialogDriver::OnTimer);
    }
    ~DialogDriver()
    {
        KillTimer(nullptr, m_timer);
        s_current = nullptr;
    }
    bool opened = false;
    std::string title, shownName;
    bool sysMenu = false;
    LRESULT typingLimit = 0; // what the name field lets a user type

private:
    static BOOL CALLBACK FindNameDialog(HWND w, LPARAM found)
    {
        char cls[16] = "";
        GetClassNameA(w, cls, sizeof cls);
        if (std::string(cls) == "#32770" && IsWindowVisible(w) && GetDlgItem(w, IDC_NAME_EDIT))
            *reinterpret_cast<HWND*>(found) = w;
        return TRUE;
    }
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD)
    {
        DialogDriver* self = s_current;
        HWND dialog = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), FindNameDialog, reinterpret_cast<LPARAM>(&dialog));
        if (!self || !dialog || self->opened)
            return;
        self->opened = true;
        char text[256] = "";
        GetWindowTextA(dialog, text, sizeof text);
        self->title = text;
        GetDlgItemTextA(dialog, IDC_NAME_EDIT, text, sizeof text);
        self->shownName = text;
        self->sysMenu = (GetWindowLongA(dialog, GWL_STYLE) & WS_SYSMENU) != 0;
        self->typingLimit = SendDlgItemMessageA(dialog, IDC_NAME_EDIT, EM_GETLIMITTEXT, 0, 0);
        if (self->m_text)
            SetDlgItemTextA(dialog, IDC_NAME_EDIT, self->m_text);
        if (self->m_button == 0) {
            HWND edit = GetDlgItem(dialog, IDC_NAME_EDIT);
            PostMessageA(edit, WM_KEYDOWN, VK_ESCAPE, 1);
            PostMessageA(edit, WM_KEYUP, VK_ESCAPE, 0xC0000001);
        } else {
            SendMessageA(GetDlgItem(dialog, self->m_button), BM_CLICK, 0, 0);
        }
    }
    static DialogDriver* s_current;
    const char* m_text;
    int m_button;
    UINT_PTR m_timer = 0;
};
DialogDriver* DialogDriver::s_current = nullptr;

// Types a name with a control byte into the next name dialog and presses OK, notes the box
// that refuses it, then cancels the dialog.
class ControlByteDriver {
public:
    ControlByteDriver() : m_timer(SetTimer(nullptr, 0, 10, &ControlByteDriver::OnTimer))
    {
        s_current = this;
    }
    ~ControlByteDriver()
    {
        KillTimer(nullptr, m_timer);
        s_current = nullptr;
    }
    std::string refusal; // the text of the box, when one came
    bool cancelled = false;

private:
    static BOOL CALLBACK FindDialog(HWND w, LPARAM found)
    {
        char cls[16] = "";
        GetClassNameA(w, cls, sizeof cls);
        const bool names = GetDlgItem(w, IDC_NAME_EDIT) != nullptr;
        if (std::string(cls) == "#32770" && IsWindowVisible(w))
            reinterpret_cast<HWND*>(found)[names ? 0 : 1] = w;
        return TRUE;
    }
    static BOOL CALLBACK BoxText(HWND child, LPARAM text)
    {
        char line[512] = "";
        GetWindowTextA(child, line, sizeof line);
        if (std::string(line).size() > reinterpret_cast<std::string*>(text)->size())
            *reinterpret_cast<std::string*>(text) = line;
        return TRUE;
    }
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD)
    {
        ControlByteDriver* self = s_current;
        HWND found[2] = {};
        EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(found));
        if (!self)
            return;
        if (found[1] && self->refusal.empty()) {
            // Inside the name dialog's OK: the box that refuses the name.
            EnumChildWindows(found[1], BoxText, reinterpret_cast<LPARAM>(&self->refusal));
            PostMessageA(found[1], WM_COMMAND, IDOK, 0);
        } else if (found[0] && !self->m_typed) {
            self->m_typed = true;
            SetDlgItemTextA(found[0], IDC_NAME_EDIT, "Tab\there");
            SendMessageA(GetDlgItem(found[0], IDOK), BM_CLICK, 0, 0);
            self->cancelled = IsWindow(found[0]) != FALSE;
            if (self->cancelled)
                SendMessageA(GetDlgItem(found[0], IDCANCEL), BM_CLICK, 0, 0);
        }
    }
    static inline ControlByteDriver* s_current = nullptr;
    UINT_PTR m_timer;
    bool m_typed = false;
};

class ListPagesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        g_sim = new SimDriverProcess; // before anything opens the driver or registers
        g_scenario = SimDriverProcess::TempPath("list-pages.json");
        g_trace = SimDriverProcess::TempPath("list-pages-trace.txt");
        HANDLE f =
            CreateFileA(g_scenario.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(f, kScenario, DWORD(sizeof kScenario - 1), &written, nullptr);
        CloseHandle(f);
        ASSERT_TRUE(g_sim->Start(g_scenario, {"--trace", g_trace})) << g_sim->Log();
        static char commandLine[] = "";
        ASSERT_TRUE(AfxWinInit(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL));
        ASSERT_TRUE(theApp.InitInstance()) << "another panel holds the instance mutex?";
    }
    static void TearDownTestSuite()
    {
        delete g_sim;
        g_sim = nullptr;
    }
    // Every test starts from the scenario as written: a fresh stand-in, whose arrival makes
    // the view re-read the driver.
    void SetUp() override
    {
        g_sim->Stop();
        DeleteFileA(g_trace.c_str());
        ASSERT_TRUE(g_sim->Start(g_scenario, {"--trace", g_trace})) << g_sim->Log();
        // What is seen has read the new stand-in: whichever page is shown, the device count.
        ASSERT_TRUE(PumpUntil([] { return Sent("GetDeviceIdList") > 0; }));
        ASSERT_EQ("Booth", Cell(Devices().m_DeviceList, 2, 0));
        ASSERT_EQ(4, Rows(Inputs().m_ChannelList));
    }

    static CMainFrame& Frame() { return *static_cast<CMainFrame*>(theApp.m_pMainWnd); }
    static CKVX_USB_CPLView& View() { return *GetActiveSettingsView(); }
    static CDlgPgDevices& Devices() { return LookAt(View(), View().m_DevicesPage, PAGE_DEVICES); }
    static CDlgPgChannels& Inputs()
    {
        return LookAt(View(), View().m_InputChannelsPage, PAGE_INPUT_CHANNELS);
    }
    static CDlgPgChannels& Outputs()
    {
        return LookAt(View(), View().m_OutputChannelsPage, PAGE_OUTPUT_CHANNELS);
    }
    static int Rows(CListCtrlEx& list) { return list.GetItemCount(); }
    static std::string Cell(CListCtrlEx& list, int row, int column)
    {
        return row < list.GetItemCount() ? list.GetItemText(row, column) : "(none)";
    }
    static bool Enabled(CDialogPage& page, int id) { return IsWindowEnabled(page.GetDlgItem(id)); }
    static bool Visible(CDialogPage& page, int id) { return IsWindowVisible(page.GetDlgItem(id)); }
    static std::string Text(CDialogPage& page, int id)
    {
        char text[1024] = "";
        GetDlgItemTextA(page.m_hWnd, id, text, sizeof text);
        return text;
    }
    static void Click(CDialogPage& page, int id)
    {
        SendMessageA(page.GetDlgItem(id), BM_CLICK, 0, 0);
    }
    // As a user's click on a row would: the list reports the change to its page.
    static void Select(CListCtrlEx& list, int row)
    {
        list.SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
        if (row >= 0)
            list.SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
    // A double click on the row, or below the last row when row is -1.
    static void DoubleClick(CListCtrlEx& list, int row)
    {
        RECT r = {};
        if (row >= 0) {
            r.left = LVIR_BOUNDS;
            list.SendMessage(LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
        } else {
            list.GetClientRect(&r);
            r.top = r.bottom - 4;
        }
        list.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON,
                         MAKELPARAM(r.left + 5, (r.top + r.bottom) / 2));
    }
    // A stand-in command; the pages show the changes it made before it returns.
    static void Sim(std::initializer_list<std::string> args)
    {
        SimResult result = g_sim->Run(args);
        ASSERT_EQ(0, result.exitCode) << result.output;
        ASSERT_TRUE(WaitForSettledView(View())) << "the view never caught up";
    }
    static std::string SimStatus() { return g_sim->Run({"status"}).output; }
    static int Sent(const char* operation)
    {
        const std::string text = SimDriverProcess::ReadFileText(g_trace);
        const std::string needle = std::string(" ") + operation + " in=";
        int n = 0;
        for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
            ++n;
        return n;
    }
    static std::string DeviceCount() { return Frame().m_wndStatusBar.GetPaneText(1); }
    // Up, Down, Edit Device Name enabled, and the help shown, as one text.
    static std::string DeviceButtons()
    {
        CDlgPgDevices& page = Devices();
        return std::string(Enabled(page, IDC_DEVICE_UP) ? "U" : "-") +
               (Enabled(page, IDC_DEVICE_DOWN) ? "D" : "-") +
               (Enabled(page, IDC_DEVICE_EDIT_NAME) ? "E" : "-") +
               (Visible(page, IDC_DEVICE_HELP) ? "H" : "-");
    }
};

} // namespace

TEST_F(ListPagesTest, EmptyAndPartlyReadableDriverShowEmptyListsWithControlsOff)
{
    Sim({"unplug", "1"});
    Sim({"unplug", "2"});
    Sim({"unplug", "3"});
    ASSERT_TRUE(PumpUntil([] { return DeviceCount() == "0 Device(s) connected."; }));
    EXPECT_EQ(0, Rows(Devices().m_DeviceList));
    EXPECT_EQ("----", DeviceButtons());
    for (CDlgPgChannels* page : {&Inputs(), &Outputs()}) {
        EXPECT_EQ(0, Rows(page->m_ChannelList));
        for (int id : {IDC_CHANNEL_EDIT_NAME, IDC_CHANNEL_HW_LABEL, IDC_CHANNEL_HW_NAME})
            EXPECT_FALSE(Enabled(*page, id)) << id;
        EXPECT_EQ("", Text(*page, IDC_CHANNEL_HW_NAME));
    }

    // Three devices, the second unreadable: no rows at all, but the driver's list counts three.
    Sim({"plug", "1"});
    Sim({"plug", "2"});
    Sim({"plug", "3"});
    ASSERT_TRUE(PumpUntil([] { return Rows(Devices().m_DeviceList) == 3; }));
    Sim({"fault", "GetDeviceProperties", "1", "1168", "1"});
    Devices().Refresh();
    EXPECT_EQ(0, Rows(Devices().m_DeviceList));
    EXPECT_EQ("3 Device(s) connected.", DeviceCount());

    // A channel whose device cannot be read gets no row; the others keep theirs.
    CDlgPgChannels& inputs = Inputs(); // shown first: showing re-reads what it missed
    Sim({"fault", "GetDeviceProperties", "1", "1168"});
    inputs.Refresh();
    ASSERT_EQ(3, Rows(Inputs().m_ChannelList));
    EXPECT_EQ("In 2", Cell(Inputs().m_ChannelList, 0, 1));

    // Counts far above the records' capacity are ordinary failures.
    Sim({"fault", "overcount"});
    Devices().Refresh();
    Inputs().Refresh();
    EXPECT_EQ(0, Rows(Devices().m_DeviceList));
    EXPECT_EQ(0, Rows(Inputs().m_ChannelList));
}

TEST_F(ListPagesTest, UpDownEditAndHelpFollowTheSelectedRow)
{
    CListCtrlEx& list = Devices().m_DeviceList;
    EXPECT_EQ("----", DeviceButtons());
    Select(list, 1);
    EXPECT_EQ("UDEH", DeviceButtons());
    Select(list, 0);
    EXPECT_EQ("-DEH", DeviceButtons());
    Select(list, 2);
    EXPECT_EQ("U-EH", DeviceButtons());
    EXPECT_EQ("Use Up and Down buttons to change device ranking and press Apply to store "
              "settings.\nDevice ranking defines the order of channels shown in ASIO hosts.",
              Text(Devices(), IDC_DEVICE_HELP));
    EXPECT_EQ("3 Device(s) connected.", DeviceCount());

    Sim({"unplug", "2"});
    Sim({"unplug", "3"});
    ASSERT_TRUE(PumpUntil([&] { return Rows(list) == 1; }));
    Select(list, 0);
    EXPECT_EQ("--E-", DeviceButtons());
}

TEST_F(ListPagesTest, MovesStayInTheListUntilApplySendsEachMovedRecordWithItsRow)
{
    CListCtrlEx& list = Devices().m_DeviceList;
    EXPECT_FALSE(Enabled(Devices(), IDC_DEVICE_APPLY));
    Select(list, 2);
    Click(Devices(), IDC_DEVICE_UP);
    EXPECT_EQ("Booth", Cell(list, 1, 0));
    Click(Devices(), IDC_DEVICE_DOWN);
    EXPECT_EQ("Booth", Cell(list, 2, 0));
    EXPECT_EQ("S-0003", Cell(list, 2, 1));
    Select(list, 1);
    Click(Devices(), IDC_DEVICE_UP);
    EXPECT_EQ("Stage", Cell(list, 0, 0));
    EXPECT_EQ("Desk", Cell(list, 1, 0));
    EXPECT_EQ(0, list.GetSelectedItem());
    EXPECT_EQ("-DEH", DeviceButtons());
    EXPECT_TRUE(Enabled(Devices(), IDC_DEVICE_APPLY));
    EXPECT_EQ(0, Sent("SetDeviceProperties"));
    EXPECT_NE(std::string::npos, SimStatus().find("device order 1 2 3"));

    Click(Devices(), IDC_DEVICE_APPLY);
    EXPECT_EQ(2, Sent("SetDeviceProperties")) << "Booth keeps its place and is not sent";
    const std::string status = SimStatus();
    EXPECT_NE(std::string::npos, status.find("device order 2 1 3")) << status;
    EXPECT_NE(std::string::npos, status.find("\"Stage\" serial S-0002 ranking 0")) << status;
    EXPECT_NE(std::string::npos, status.find("\"Desk\" serial S-0001 ranking 1")) << status;
    EXPECT_FALSE(Enabled(Devices(), IDC_DEVICE_APPLY));
    // Both channel pages were rebuilt in the driver's new order.
    EXPECT_EQ("Stage", Cell(Inputs().m_ChannelList, 0, 0));
    EXPECT_EQ("Main L", Cell(Outputs().m_ChannelList, 0, 1));
}

TEST_F(ListPagesTest, DeviceNameDialogSendsAtMost39BytesOnOkAndNothingOnCancel)
{
    CListCtrlEx& list = Devices().m_DeviceList;
    Select(list, 1);
    {
        DialogDriver dialog(k50.c_str(), IDOK);
        Click(Devices(), IDC_DEVICE_EDIT_NAME);
        ASSERT_TRUE(dialog.opened);
        EXPECT_EQ("Edit Device Name", dialog.title);
        EXPECT_FALSE(dialog.sysMenu);
        EXPECT_EQ("Stage", dialog.shownName);
        EXPECT_EQ(39, dialog.typingLimit);
    }
    const std::string stored = k50.substr(0, 39);
    EXPECT_EQ(1, Sent("SetDeviceProperties"));
    EXPECT_NE(std::string::npos, SimStatus().find("\"" + stored + "\" serial S-0002"));
    EXPECT_EQ(stored, Cell(list, 1, 0));
    EXPECT_EQ(1, list.GetSelectedItem());
    EXPECT_EQ(stored, Cell(Inputs().m_ChannelList, 2, 0));
    EXPECT_EQ(stored, Cell(Outputs().m_ChannelList, 1, 0));

    {
        DialogDriver dialog("Other", IDCANCEL);
        DoubleClick(list, 1);
        EXPECT_TRUE(dialog.opened);
    }
    EXPECT_EQ(1, Sent("SetDeviceProperties"));
    EXPECT_EQ(stored, Cell(list, 1, 0));

    Select(list, -1);
    DialogDriver dialog(nullptr, IDCANCEL);
    DoubleClick(list, -1);
    Click(Devices(), IDC_DEVICE_EDIT_NAME);
    EXPECT_FALSE(dialog.opened);
}

// A pasted tab would leave the device out of every later save and of get: the dialog keeps
// the domain of the file check and set.
TEST_F(ListPagesTest, TheNameDialogRefusesAControlByteAndSendsNothing)
{
    Select(Devices().m_DeviceList, 1);
    const int before = Sent("SetDeviceProperties");
    ControlByteDriver dialog;
    Click(Devices(), IDC_DEVICE_EDIT_NAME);
    EXPECT_NE(std::string::npos, dialog.refusal.find("control characters")) << dialog.refusal;
    EXPECT_TRUE(dialog.cancelled);
    EXPECT_EQ(before, Sent("SetDeviceProperties"));
    EXPECT_EQ("Stage", Cell(Devices().m_DeviceList, 1, 0));
}

TEST_F(ListPagesTest, UnterminatedNamesAreCutAtTheirFieldEverywhereTheyShow)
{
    const std::string device = "Desk" + std::string(36, '#'),
                      channel = "In 1" + std::string(36, '#');
    Sim({"set", "name-raw", "1", "Desk"});
    Sim({"set", "channel-raw", "65536", "In 1"});
    CListCtrlEx& inputs = Inputs().m_ChannelList;
    ASSERT_TRUE(PumpUntil([&] { return Cell(inputs, 0, 1) == channel; }));
    EXPECT_EQ(device, Cell(Devices().m_DeviceList, 0, 0));
    EXPECT_EQ(device, Cell(inputs, 0, 0));
    EXPECT_EQ(channel.substr(0, 32), Cell(inputs, 0, 2));

    // OK on the unchanged text sends nothing: the driver's name is not cut to 39 bytes.
    Select(Devices().m_DeviceList, 0);
    const int sent = Sent("SetDeviceProperties");
    {
        DialogDriver dialog(nullptr, IDOK);
        Click(Devices(), IDC_DEVICE_EDIT_NAME);
        EXPECT_EQ(device, dialog.shownName);
    }
    EXPECT_EQ(sent, Sent("SetDeviceProperties"));
    EXPECT_NE(std::string::npos, SimStatus().find("\"" + device + "\" serial"));

    // Hardware names and serial numbers without a terminator.
    Sim({"fault", "unterminated"});
    Devices().Refresh();
    Inputs().Refresh();
    EXPECT_EQ("S-0001" + std::string(370, '#'), Cell(Devices().m_DeviceList, 0, 1));
    Select(inputs, 0);
    EXPECT_EQ(" " + channel, Text(Inputs(), IDC_CHANNEL_HW_NAME));
}

TEST_F(ListPagesTest, HardwareNameFollowsTheSelectionAndTheRowIndexSurvivesARefill)
{
    CDlgPgChannels& page = Inputs();
    CListCtrlEx& list = page.m_ChannelList;
    EXPECT_EQ("Desk", Cell(list, 0, 0));
    EXPECT_EQ("In 1", Cell(list, 0, 1));
    EXPECT_EQ("In 1", Cell(list, 0, 2));
    EXPECT_FALSE(Enabled(page, IDC_CHANNEL_EDIT_NAME));
    Select(list, 0);
    EXPECT_EQ(" In 1", Text(page, IDC_CHANNEL_HW_NAME));
    for (int id : {IDC_CHANNEL_EDIT_NAME, IDC_CHANNEL_HW_LABEL, IDC_CHANNEL_HW_NAME})
        EXPECT_TRUE(Enabled(page, id)) << id;

    // Another program ranks the first device last: row 1 is now another channel.
    Select(list, 1);
    Sim({"set", "ranking", "1", "5"});
    ASSERT_TRUE(PumpUntil([&] { return Cell(list, 0, 1) == "Mic 1"; }));
    EXPECT_EQ(1, list.GetSelectedItem());
    EXPECT_EQ(" Talk", Text(page, IDC_CHANNEL_HW_NAME));

    Select(list, -1);
    EXPECT_EQ("", Text(page, IDC_CHANNEL_HW_NAME));
    EXPECT_FALSE(Enabled(page, IDC_CHANNEL_HW_LABEL));
}

TEST_F(ListPagesTest, TheDisplayNameOptionOfEitherPageSetsBothAndCutsAt32Bytes)
{
    Sim({"set", "name", "1", "ABCDEFGHIJKLMNOPQRSTUVWXYZ12"});
    ASSERT_TRUE(PumpUntil([] { return Cell(Inputs().m_ChannelList, 0, 0).size() == 28; }));
    Click(Inputs(), IDC_CHANNEL_ASIO_NAMES);
    EXPECT_EQ(1, Sent("SetAsioNameOption"));
    EXPECT_NE(std::string::npos, SimStatus().find("ASIO names with device on"));
    for (CDlgPgChannels* page : {&Inputs(), &Outputs()})
        EXPECT_EQ(BST_CHECKED, page->m_AsioNamesCheck.SendMessage(BM_GETCHECK));
    // 28 + 3 bytes leave one of the channel name.
    EXPECT_EQ("ABCDEFGHIJKLMNOPQRSTUVWXYZ12 - I", Cell(Inputs().m_ChannelList, 0, 2));
    EXPECT_EQ("ABCDEFGHIJKLMNOPQRSTUVWXYZ12 - O", Cell(Outputs().m_ChannelList, 0, 2));
    EXPECT_EQ("Stage - Mic 1", Cell(Inputs().m_ChannelList, 2, 2));
    EXPECT_EQ("Stage - Main L", Cell(Outputs().m_ChannelList, 1, 2));

    // Refused by the driver: both pages show the driver's value again, and the user is told.
    Sim({"fault", "SetAsioNameOption", "1", "5"});
    {
        ModalAnswers answers;
        Click(Outputs(), IDC_CHANNEL_ASIO_NAMES);
        ASSERT_EQ(1u, answers.boxes.size());
        EXPECT_NE(std::string::npos, answers.boxes[0].find("was not changed")) << answers.Boxes();
    }
    for (CDlgPgChannels* page : {&Inputs(), &Outputs()}) {
        EXPECT_EQ(BST_CHECKED, page->m_AsioNamesCheck.SendMessage(BM_GETCHECK));
        EXPECT_NE(Cell(page->m_ChannelList, 1, 1), Cell(page->m_ChannelList, 1, 2));
    }
}

TEST_F(ListPagesTest, ChannelNameDialogRenamesTheCopyAndARefusalShowsTheOldName)
{
    CDlgPgChannels& page = Outputs();
    CListCtrlEx& list = page.m_ChannelList;
    Select(list, 0);
    {
        DialogDriver dialog(k50.c_str(), IDOK);
        DoubleClick(list, 0);
        ASSERT_TRUE(dialog.opened);
        EXPECT_EQ("Edit Channel Name", dialog.title);
        EXPECT_TRUE(dialog.sysMenu);
        EXPECT_EQ("Out 1", dialog.shownName);
        EXPECT_EQ(39, dialog.typingLimit);
    }
    const std::string stored = k50.substr(0, 39);
    EXPECT_EQ(stored, Cell(list, 0, 1));
    EXPECT_EQ(stored.substr(0, 32), Cell(list, 0, 2));
    EXPECT_NE(std::string::npos, SimStatus().find("\"" + stored + "\" (Out 1)"));
    EXPECT_EQ(" Out 1", Text(page, IDC_CHANNEL_HW_NAME));

    Sim({"fault", "SetChannelProperties", "1", "5"});
    {
        ModalAnswers answers;
        answers.TypeName("Refused");
        Click(page, IDC_CHANNEL_EDIT_NAME);
        EXPECT_TRUE(answers.nameDialog);
        ASSERT_EQ(1u, answers.boxes.size()) << "the refusal is told";
    }
    EXPECT_EQ(stored, Cell(list, 0, 1));
    {
        DialogDriver dialog("Cancelled", IDCANCEL);
        Click(page, IDC_CHANNEL_EDIT_NAME);
        EXPECT_TRUE(dialog.opened);
    }
    EXPECT_EQ(2, Sent("SetChannelProperties"));
    EXPECT_EQ(stored, Cell(list, 0, 1));
}

// Without a mouse: the arrows choose a row, Tab walks the page's buttons, Space presses one,
// Enter on a row opens its name dialog as a double click does, Escape closes the dialog.
TEST_F(ListPagesTest, TheKeyboardAloneRanksAndRenames)
{
    theApp.m_pMainWnd->ShowWindow(SW_SHOW);
    View().ShowPage(PAGE_DEVICES);
    CListCtrlEx& list = Devices().m_DeviceList;
    Select(list, 0);
    EXPECT_EQ(list.m_hWnd, PressKeyOn(list, VK_DOWN));
    EXPECT_EQ(1, list.GetSelectedItem());
    HWND up = Devices().GetDlgItem(IDC_DEVICE_UP);
    EXPECT_EQ(up, PressKeyOn(list, VK_TAB));
    EXPECT_EQ(Devices().GetDlgItem(IDC_DEVICE_DOWN), PressKeyOn(up, VK_TAB));
    PressKeyOn(up, VK_SPACE);
    EXPECT_EQ(0, list.GetSelectedItem()) << "Space on Up moved the row";
    EXPECT_TRUE(Enabled(Devices(), IDC_DEVICE_APPLY));

    {
        DialogDriver dialog(nullptr, 0);
        PressKeyOn(list, VK_RETURN);
        EXPECT_TRUE(dialog.opened) << "Enter on a row opens its name dialog";
        EXPECT_EQ("Edit Device Name", dialog.title);
    }
    EXPECT_EQ(0, Sent("SetDeviceProperties")) << "Escape closed it without a word";
    EXPECT_TRUE(IsWindow(Devices().m_hWnd));

    View().ShowPage(PAGE_INPUT_CHANNELS);
    CListCtrlEx& channels = Inputs().m_ChannelList;
    Select(channels, 0);
    DialogDriver dialog(nullptr, IDCANCEL);
    PressKeyOn(channels, VK_RETURN);
    EXPECT_TRUE(dialog.opened);
    EXPECT_EQ("Edit Channel Name", dialog.title);
}
