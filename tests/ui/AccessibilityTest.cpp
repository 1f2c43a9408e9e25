// What a screen reader is given of the control panel: the accessible object of every control
// that takes the focus, on the frame, every page and every dialog, asked in this process
// through AccessibleObjectFromWindow as a screen reader asks (role, name, value, state).
//
// The bench's Wine 8 answers most controls with one generic proxy: role ROLE_SYSTEM_CLIENT,
// the window text as name, no value. Windows' proxies are documented per control (MSAA UI
// element reference): a tree is an outline, a list view a list, a trackbar a slider, and so
// on; the walk shows that documented role where Wine's generic one came back, marked "*".
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "AboutDlg.h"
#include "Drv.h"
#include "KVX_USB_CPL.h"
#include "KVX_USB_CPLView.h"
#include "MessagePump.h"
#include "ProfileDlg.h"
#include "SettledView.h"
#include "PanelInProcess.h"
#include "SimDriverProcess.h"
#include "SimTrace.h"
#include "SubDlgNameEdit.h"
#include "WindowText.h"
#include "resource.h"

CKVX_USB_CPLApp theApp;
CDrv theDrv;

namespace {

SimDriverProcess* g_sim = nullptr;
std::string g_tracePath;

std::string Narrow(BSTR text)
{
    if (!text)
        return std::string();
    char buffer[1024] = "";
    WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
    SysFreeString(text);
    return buffer;
}

// The role Windows' standard proxy gives each kind of control, as documented.
LONG DocumentedRole(HWND hwnd)
{
    const std::string cls = ClassOf(hwnd);
    const struct {
        const char* cls;
        LONG role;
    } roles[] = {{WC_TREEVIEWA, ROLE_SYSTEM_OUTLINE},
                 {WC_LISTVIEWA, ROLE_SYSTEM_LIST},
                 {TRACKBAR_CLASSA, ROLE_SYSTEM_SLIDER},
                 {"ComboBox", ROLE_SYSTEM_COMBOBOX},
                 {"Edit", ROLE_SYSTEM_TEXT},
                 {"Static", ROLE_SYSTEM_STATICTEXT}};
    for (const auto& known : roles)
        if (lstrcmpiA(cls.c_str(), known.cls) == 0)
            return known.role;
    switch (GetWindowLongA(hwnd, GWL_STYLE) & BS_TYPEMASK) {
    case BS_AUTOCHECKBOX:
        return ROLE_SYSTEM_CHECKBUTTON;
    case BS_AUTORADIOBUTTON:
        return ROLE_SYSTEM_RADIOBUTTON;
    default:
        return ROLE_SYSTEM_PUSHBUTTON;
    }
}

// One control as a screen reader is given it.
struct Heard {
    std::string role, name, value;
    LONG state = 0;
    bool documented = false; // Wine's generic proxy answered: role (and value) as documented
};

Heard Hear(HWND hwnd)
{
    Heard heard;
    IAccessible* acc = nullptr;
    if (FAILED(AccessibleObjectFromWindow(hwnd, OBJID_CLIENT, IID_IAccessible, (void**)&acc)))
        return heard;
    VARIANT self, role, state;
    VariantInit(&role);
    VariantInit(&state);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr, value = nullptr;
    acc->get_accRole(self, &role);
    acc->get_accState(self, &state);
    acc->get_accName(self, &name);
    acc->get_accValue(self, &value);
    acc->Release();
    heard.name = Narrow(name);
    heard.value = Narrow(value);
    heard.state = state.vt == VT_I4 ? state.lVal : 0;
    heard.documented = role.vt == VT_I4 && role.lVal == ROLE_SYSTEM_CLIENT;
    char roleText[64] = "";
    GetRoleTextA(DWORD(heard.documented ? DocumentedRole(hwnd) : role.lVal), roleText,
                 sizeof roleText);
    heard.role = roleText;
    // Windows' combo box proxy gives the text of the selection as its value.
    if (heard.documented && DocumentedRole(hwnd) == ROLE_SYSTEM_COMBOBOX)
        heard.value = TextOf(hwnd);
    return heard;
}

bool TakesFocus(HWND hwnd)
{
    const LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    return (style & WS_VISIBLE) && (style & WS_TABSTOP);
}

bool IsContainer(HWND hwnd)
{
    return ClassOf(hwnd) == "#32770" || (GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_CONTROLPARENT);
}

// Every visible control that takes the focus, in tab order, inside the visible child dialogs
// (the view, the page shown) too.
void Walk(HWND parent, std::vector<Heard>& heard)
{
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!(GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE))
            continue;
        if (IsContainer(child))
            Walk(child, heard);
        else if (TakesFocus(child))
            heard.push_back(Hear(child));
    }
}

std::string StateText(LONG state)
{
    std::string text;
    for (LONG bit = 1; bit; bit <<= 1) {
        if (!(state & bit))
            continue;
        char one[64] = "";
        GetStateTextA(DWORD(bit), one, sizeof one);
        text += (text.empty() ? "" : ", ") + std::string(one);
    }
    return text;
}

std::string OneLine(const std::string& text)
{
    return std::regex_replace(text, std::regex("\n"), "\\n");
}

// One line per control, as the dump in docs/ shows it.
std::string Describe(const Heard& h)
{
    const char* mark = h.documented ? "*" : "";
    return "  " + h.role + mark + "  \"" + OneLine(h.name) + "\"" +
           (h.value.empty() ? "" : "  value \"" + OneLine(h.value) + "\"") + "  (" +
           StateText(h.state) + ")";
}

// The walk of every window, written where KVX_ACCESSIBILITY_DUMP says (docs/ keeps one).
std::string g_dump;
const char kDumpHeading[] =
    "What a screen reader is given of the control panel on the stand-in's demo scenario\n"
    "(tests/ui/AccessibilityTest.cpp): each control that takes the focus, in tab order, with\n"
    "its role, name, value and state. \"*\": Wine's generic proxy answered, so the role is\n"
    "the one Windows' proxy documents for that control (and a combo box's value its text);\n"
    "states are Wine's.\n\n";

void Record(const std::string& title, const std::vector<Heard>& heard)
{
    g_dump += title + "\n";
    for (const Heard& h : heard)
        g_dump += Describe(h) + "\n";
    g_dump += "\n";
}

std::vector<std::string> NamesOf(const std::vector<Heard>& heard)
{
    std::vector<std::string> names;
    for (const Heard& h : heard)
        names.push_back(h.name);
    return names;
}

// A modal dialog walked while it is open, then closed with Cancel.
std::vector<Heard> g_dialogHeard;
std::string g_dialogTitle;

BOOL CALLBACK FindOpenDialog(HWND hwnd, LPARAM found)
{
    if (ClassOf(hwnd) != "#32770" || !IsWindowVisible(hwnd))
        return TRUE;
    *reinterpret_cast<HWND*>(found) = hwnd;
    return FALSE;
}

void CALLBACK WalkOpenDialog(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindOpenDialog, (LPARAM)&dialog);
    if (!dialog)
        return;
    KillTimer(nullptr, timer);
    g_dialogTitle = TextOf(dialog);
    g_dialogHeard.clear();
    Walk(dialog, g_dialogHeard);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
}

std::vector<Heard> WalkModal(const std::function<void()>& doModal)
{
    g_dialogHeard.clear();
    g_dialogTitle.clear();
    SetTimer(nullptr, 0, 20, WalkOpenDialog);
    doModal();
    Record("Dialog \"" + g_dialogTitle + "\"", g_dialogHeard);
    return g_dialogHeard;
}

// Value-change events raised for one window, with the value a screen reader read on each.
std::vector<std::string> g_valueEvents;
HWND g_watched = nullptr;

void CALLBACK OnWinEvent(HWINEVENTHOOK, DWORD, HWND hwnd, LONG object, LONG child, DWORD, DWORD)
{
    if (hwnd != g_watched || object != OBJID_CLIENT || child != CHILDID_SELF)
        return;
    g_valueEvents.push_back(Hear(hwnd).value);
}

// Texts set on statics. Windows raises EVENT_OBJECT_NAMECHANGE for each WM_SETTEXT a
// static takes; Wine 8 raises none, so the messages themselves are counted.
std::map<HWND, int> g_textsSet;

LRESULT CALLBACK CountTextsSet(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                               DWORD_PTR)
{
    if (message == WM_SETTEXT)
        ++g_textsSet[hwnd];
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

class AccessibilityTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        g_sim = new SimDriverProcess;
        g_tracePath = SimDriverProcess::TempPath("accessibility-trace.txt");
        DeleteFileA(g_tracePath.c_str());
        StartPanelInProcess(*g_sim, "demo", {"--trace", g_tracePath});
    }
    static void TearDownTestSuite()
    {
        char path[MAX_PATH] = "";
        if (GetEnvironmentVariableA("KVX_ACCESSIBILITY_DUMP", path, sizeof path))
            std::ofstream(path, std::ios::binary) << kDumpHeading << g_dump;
        if (theApp.m_pMainWnd)
            theApp.m_pMainWnd->DestroyWindow();
        PumpUntil([] { return false; }, 0);
        delete g_sim;
        g_sim = nullptr;
    }

    static void Sim(std::initializer_list<std::string> args)
    {
        SimResult result = g_sim->Run(args);
        ASSERT_EQ(0, result.exitCode) << result.output;
        ASSERT_TRUE(WaitForSettledView(View())) << "the view never caught up";
    }
    static CKVX_USB_CPLView& View()
    {
        return *static_cast<CKVX_USB_CPLView*>(
            static_cast<CFrameWnd*>(theApp.m_pMainWnd)->GetActiveView());
    }
    static HWND Frame() { return theApp.m_pMainWnd->m_hWnd; }
    static std::vector<Heard> WalkPage(CPageCode code, const std::string& title)
    {
        View().ShowPage(code);
        PumpUntil([] { return false; }, 0);
        std::vector<Heard> heard;
        Walk(Frame(), heard);
        Record("Frame, page \"" + title + "\"", heard);
        return heard;
    }
    static HWND Item(CDialog& page, int id) { return page.GetDlgItem(id); }
};

// Each window with the names of its controls in tab order: every control named, each Apply
// naming its group, the lists and sliders named by their labels.
TEST_F(AccessibilityTest, EveryControlThatTakesTheFocusHasItsLabelsName)
{
    Sim({"set", "mode", "manual"});
    struct Page {
        CPageCode code;
        const char* title;
        std::vector<std::string> names;
    } const pages[] = {
        {PAGE_DEVICES,
         "Devices",
         {"Pages", "Connected devices", "Up", "Down", "Apply device ranking", "Edit Device Name"}},
        {PAGE_INPUT_CHANNELS,
         "Input Channels",
         {"Pages", "Input channels", "Hardware name of selected channel", "Edit Channel Name",
          "Include device name in\nASIO display name"}},
        {PAGE_OUTPUT_CHANNELS,
         "Output Channels",
         {"Pages", "Output channels", "Hardware name of selected channel", "Edit Channel Name",
          "Include device name in\nASIO display name"}},
        {PAGE_SYNCHRONISATION,
         "Synchronisation",
         {"Pages", "Manual Mode", "Sampling rate", "Apply sampling rate", "Clock source",
          "Apply clock source"}},
        {PAGE_SETTINGS,
         "Settings",
         {"Pages", "Stream buffer depth", "Apply stream buffer depth", "ASIO buffer depth",
          "Apply ASIO buffer depth", "WDM sound buffer depth", "Apply WDM sound buffer depth",
          "Watch for drop-outs in the tray", "Reset drop-out count",
          "Copy drop-out log to clipboard"}},
    };
    for (const Page& page : pages) {
        SCOPED_TRACE(page.title);
        const std::vector<Heard> heard = WalkPage(page.code, page.title);
        EXPECT_EQ(page.names, NamesOf(heard));
    }

    _KVX_USB_DEVICE_PROPERTIES device = {};
    lstrcpynA(device.DeviceName, "Model B Studio", sizeof device.DeviceName);
    _KVX_USB_CHANNEL_PROPERTIES channel = {};
    lstrcpynA(channel.ChannelName, "Mic/Line 1", sizeof channel.ChannelName);
    const std::vector<CSettingResult> results = {
        {"sampling rate", "48000", "96000", CSettingOutcome::Planned, 0, ""}};
    struct Dialog {
        const char* title;
        std::function<void()> doModal;
        std::vector<std::string> names;
    } const dialogs[] = {
        {"device name",
         [&] { CSubDlgDeviceNameEdit(&device).DoModal(); },
         {"Device name", "OK", "Cancel"}},
        {"channel name",
         [&] { CSubDlgChannelNameEdit(&channel).DoModal(); },
         {"Channel name", "OK", "Cancel"}},
        {"profile plan",
         [&] { CProfileDlg(results, CProfileDlg::PLAN).DoModal(); },
         {"Settings in the profile", "Selected setting", "Hide unchanged settings", "Load",
          "Cancel"}},
        {"profile results",
         [&] { CProfileDlg(results, CProfileDlg::RESULTS).DoModal(); },
         {"Settings in the profile", "Selected setting", "Hide unchanged settings", "Close"}},
        {"about", [] { CAboutDlg().DoModal(); }, {"OK"}},
    };
    for (const Dialog& dialog : dialogs) {
        SCOPED_TRACE(dialog.title);
        const std::vector<Heard> heard = WalkModal(dialog.doModal);
        EXPECT_EQ(dialog.names, NamesOf(heard));
    }
}

// The sliders say the depth as the page shows it beside them, with its units, and follow
// every change: the keys, and another program changing the driver. Each change raises the
// value-change event, on which a screen reader reads the new value.
TEST_F(AccessibilityTest, SlidersSayTheirDepthWithUnitsAndFollowEveryChange)
{
    Sim({"set", "rate", "48000"});
    View().ShowPage(PAGE_SETTINGS);
    CDlgPgASIOSettings& page = View().m_SettingsPage;
    const struct {
        int slider, shown;
        const char* value;
    } sliders[] = {{IDC_STREAM_SLIDER, IDC_STREAM_VALUE, "2.0 ms"},
                   {IDC_ASIO_SLIDER, IDC_ASIO_VALUE, "5.0 ms, 256 samples"},
                   {IDC_WDM_SLIDER, IDC_WDM_VALUE, "10.0 ms, 480 samples"}};
    for (const auto& s : sliders) {
        EXPECT_EQ(s.value, Hear(Item(page, s.slider)).value);
        EXPECT_EQ(s.value, std::regex_replace(TextOf(Item(page, s.shown)), std::regex("\n"), ", "))
            << "as shown beside it";
    }

    g_watched = Item(page, IDC_ASIO_SLIDER);
    g_valueEvents.clear();
    HWINEVENTHOOK hook =
        SetWinEventHook(EVENT_OBJECT_VALUECHANGE, EVENT_OBJECT_VALUECHANGE, nullptr, OnWinEvent,
                        GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_TRUE(hook);
    auto heardOnEvent = [](const std::string& value) {
        return PumpUntil([&] {
            return std::find(g_valueEvents.begin(), g_valueEvents.end(), value) !=
                   g_valueEvents.end();
        });
    };
    // Another program changes the driver.
    Sim({"set", "asio-depth", "7000"});
    EXPECT_EQ("7.0 ms, 352 samples", Hear(g_watched).value);
    EXPECT_TRUE(heardOnEvent("7.0 ms, 352 samples"));
    // A key moves the slider.
    SendMessageA(g_watched, WM_KEYDOWN, VK_RIGHT, 0);
    SendMessageA(g_watched, WM_KEYUP, VK_RIGHT, 0xC0000000);
    EXPECT_TRUE(heardOnEvent("8.0 ms, 384 samples"));
    // Apply: the driver's answer is the page's status text too.
    SendMessageA(Item(page, IDC_ASIO_APPLY), BM_CLICK, 0, 0);
    PumpUntil([] { return false; }, 0);
    HWND status = GetDlgItem(Frame(), AFX_IDW_STATUS_BAR);
    char paneText[128] = "";
    SendMessageA(status, SB_GETTEXTA, 0, (LPARAM)paneText);
    EXPECT_STREQ("ASIO buffer depth: 8.0 ms, 384 samples", paneText);
    // The same value again is no news.
    const size_t events = g_valueEvents.size();
    SendMessageA(g_watched, TBM_SETPOS, TRUE, 8);
    SendMessageA(page.m_hWnd, WM_HSCROLL, TB_ENDTRACK, (LPARAM)g_watched);
    PumpUntil([] { return false; }, 0);
    EXPECT_EQ(events, g_valueEvents.size());
    UnhookWinEvent(hook);
    g_watched = nullptr;
    Sim({"set", "asio-depth", "5000"});
}

// The drop-out count is a static a screen reader reads beside its label; a tick that finds
// the count unchanged tells it nothing.
TEST_F(AccessibilityTest, DropOutCountIsReadNotAnnouncedEachSecond)
{
    View().ShowPage(PAGE_SETTINGS);
    CDlgPgASIOSettings& page = View().m_SettingsPage;
    HWND count = Item(page, IDC_DROPOUTS);
    for (HWND child = GetWindow(page.m_hWnd, GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT))
        if (ClassOf(child) == "Static")
            SetWindowSubclass(child, CountTextsSet, 1, 0);
    g_textsSet.clear();
    Sim({"set", "dropouts", "12"});
    ASSERT_TRUE(PumpUntil([&] { return Hear(count).name == "12"; }));
    Record("Page \"Settings\", the drop-out count beside its label",
           {Hear(GetWindow(count, GW_HWNDPREV)), Hear(count)});
    EXPECT_EQ(1, g_textsSet[count]) << "a new count is news, once";
    // The graph beside it is named by its label and says what it shows as its value.
    HWND graph = Item(page, IDC_DROPOUT_GRAPH);
    EXPECT_TRUE(PumpUntil(
        [&] { return Hear(graph).value.find("drop-outs in the last hour") != std::string::npos; }));
    EXPECT_EQ("Drop-outs per minute, last hour", Hear(graph).name);
    Record("Page \"Settings\", the drop-out graph", {Hear(graph)});

    // Two more ticks with the count unchanged set no text of the page.
    g_textsSet.clear();
    SimTrace trace(g_tracePath);
    EXPECT_TRUE(PumpUntil([&] { return trace.Count("GetAsioStatistics") >= 2; }));
    PumpUntil([] { return false; }, 0);
    for (const auto& set : g_textsSet)
        EXPECT_EQ(0, set.second) << "told again: " << TextOf(set.first);
    for (HWND child = GetWindow(page.m_hWnd, GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT))
        RemoveWindowSubclass(child, CountTextsSet, 1);
    Sim({"set", "dropouts", "0"});
}

} // namespace
