// The synchronisation and buffer settings pages inside the real application, started in this
// process against a stand-in driver of its own. The pages are worked as a user works them
// (keys on the sliders and lists, clicks on the buttons) and checked where the user looks
// (texts, states, selections, message boxes) and where the driver looks (the stand-in's
// request trace and its status).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "Drv.h"
#include "KVX_USB_CPL.h"
#include "KVX_USB_CPLView.h"
#include "KeyPress.h"
#include "MessagePump.h"
#include "SettledView.h"
#include "SimDriverProcess.h"
#include "SimTrace.h"
#include "resource.h"

CKVX_USB_CPLApp theApp;
CDrv theDrv;

namespace {

SimDriverProcess* g_sim = nullptr;
std::string g_tracePath;

// A message box as the user saw it, answered with OK.
struct SeenMessageBox {
    std::string caption, text;
    std::vector<std::string> buttons;
    bool icon = false;
};
SeenMessageBox g_seen;
bool g_boxSeen = false;

BOOL CALLBACK CollectBoxChild(HWND child, LPARAM)
{
    char cls[32] = "", text[256] = "";
    GetClassNameA(child, cls, sizeof cls);
    GetWindowTextA(child, text, sizeof text);
    const LONG style = GetWindowLongA(child, GWL_STYLE);
    if (lstrcmpiA(cls, "Button") == 0 && (style & WS_VISIBLE))
        g_seen.buttons.push_back(text);
    else if (lstrcmpiA(cls, "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON)
        g_seen.icon = g_seen.icon || SendMessageA(child, STM_GETICON, 0, 0) != 0;
    else if (lstrcmpiA(cls, "Static") == 0 && text[0])
        g_seen.text = text;
    return TRUE;
}

void CALLBACK AnswerMessageBox(HWND, UINT, UINT_PTR, DWORD)
{
    HWND box = FindWindowA("#32770", nullptr);
    if (!box || g_boxSeen || GetWindowThreadProcessId(box, nullptr) != GetCurrentThreadId())
        return;
    g_boxSeen = true;
    g_seen = SeenMessageBox();
    char caption[64] = "";
    GetWindowTextA(box, caption, sizeof caption);
    g_seen.caption = caption;
    EnumChildWindows(box, CollectBoxChild, 0);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}

class SettingsPagesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        g_sim = new SimDriverProcess;
        g_tracePath = SimDriverProcess::TempPath("settings-pages-trace.txt");
        DeleteFileA(g_tracePath.c_str());
        ASSERT_TRUE(g_sim->Start("demo", {"--trace", g_tracePath})) << g_sim->Log();
        static char commandLine[] = "";
        ASSERT_TRUE(AfxWinInit(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL));
        ASSERT_TRUE(theApp.InitInstance()) << "another panel holds the instance mutex?";
        Pump();
    }
    static void TearDownTestSuite()
    {
        if (theApp.m_pMainWnd)
            theApp.m_pMainWnd->DestroyWindow();
        Pump();
        delete g_sim;
        g_sim = nullptr;
    }
    void SetUp() override
    {
        Sim({"fault", "clear"});
        Sim({"stream", "off"});
    }

    static void Pump()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!theApp.PreTranslateMessage(&msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
    }
    // A stand-in command; the pages show the changes it made before it returns.
    static void Sim(std::initializer_list<std::string> args)
    {
        SimResult result = g_sim->Run(args);
        ASSERT_EQ(0, result.exitCode) << result.output;
        ASSERT_TRUE(WaitForSettledView(View())) << "the view never caught up";
    }
    static std::string SimStatus() { return g_sim->Run({"status"}).output; }

    static CKVX_USB_CPLView& View()
    {
        return *static_cast<CKVX_USB_CPLView*>(
            static_cast<CFrameWnd*>(theApp.m_pMainWnd)->GetActiveView());
    }
    // A page as the user looks at it: selected, and so up to date.
    static DlgPgSync& Sync()
    {
        ShowPage(PAGE_SYNCHRONISATION);
        return View().m_SyncPage;
    }
    static CDlgPgASIOSettings& Buffers()
    {
        ShowPage(PAGE_SETTINGS);
        return View().m_SettingsPage;
    }

    static bool Enabled(CDialog& page, int id) { return IsWindowEnabled(page.GetDlgItem(id)) != 0; }
    static bool Checked(CDialog& page, int id)
    {
        return SendMessageA(page.GetDlgItem(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    static std::string Text(CDialog& page, int id)
    {
        char text[256] = "";
        GetDlgItemTextA(page.m_hWnd, id, text, sizeof text);
        return text;
    }
    static std::vector<std::string> Items(CComboBox& combo)
    {
        std::vector<std::string> items;
        for (int i = 0; i < combo.GetCount(); ++i)
            items.push_back(combo.GetLBText(i));
        return items;
    }
    static std::string Selected(CComboBox& combo)
    {
        const int item = combo.GetCurSel();
        return item < 0 ? std::string("(none)") : combo.GetLBText(item);
    }
    // A key pressed on a control, as the keyboard delivers it.
    static void Key(HWND control, UINT key)
    {
        SendMessageA(control, WM_KEYDOWN, key, 0);
        SendMessageA(control, WM_KEYUP, key, 0xC0000000);
        Pump();
    }
    static void Click(CDialog& page, int id)
    {
        SendMessageA(page.GetDlgItem(id), BM_CLICK, 0, 0);
        Pump();
    }
    // Clicks a button whose handler shows a message box; returns what the box showed.
    static SeenMessageBox ClickExpectingMessageBox(CDialog& page, int id)
    {
        g_boxSeen = false;
        g_seen = SeenMessageBox();
        const UINT_PTR timer = SetTimer(nullptr, 0, 20, AnswerMessageBox);
        Click(page, id);
        KillTimer(nullptr, timer);
        EXPECT_TRUE(g_boxSeen) << "no message box";
        return g_seen;
    }
    // Shows the page as the tree would.
    static void ShowPage(CPageCode page)
    {
        View().ShowPage(page);
        Pump();
    }
};

} // namespace

// ---- synchronisation ------------------------------------------------------------------------

TEST_F(SettingsPagesTest, ManualModeRateIsPickedAppliedAndCountedInSamples)
{
    Sim({"set", "mode", "manual"});
    Sim({"set", "rate", "48000"});
    ShowPage(PAGE_SYNCHRONISATION);
    DlgPgSync& page = Sync();
    EXPECT_TRUE(Checked(page, IDC_MODE_MANUAL));
    EXPECT_TRUE(Enabled(page, IDC_MODE_MANUAL));
    EXPECT_EQ((std::vector<std::string>{"44.1 kHz", "48.0 kHz", "88.2 kHz", "96.0 kHz", "176.4 kHz",
                                        "192.0 kHz"}),
              Items(page.m_RateList));
    EXPECT_EQ("48.0 kHz", Selected(page.m_RateList));
    EXPECT_TRUE(page.m_RateList.IsWindowEnabled());
    for (int apply : {IDC_RATE_APPLY, IDC_SOURCE_APPLY, IDC_MODE_APPLY, IDC_MASTER_APPLY})
        EXPECT_FALSE(Enabled(page, apply));

    Key(page.m_RateList, VK_DOWN);
    Key(page.m_RateList, VK_DOWN);
    EXPECT_EQ("96.0 kHz", Selected(page.m_RateList));
    EXPECT_TRUE(Enabled(page, IDC_RATE_APPLY)) << "a new rate enables its own Apply";
    EXPECT_FALSE(Enabled(page, IDC_SOURCE_APPLY));

    SimTrace trace(g_tracePath);
    Click(page, IDC_RATE_APPLY);
    EXPECT_EQ(1, trace.Count("SetSampleRate"));
    EXPECT_NE(std::string::npos, SimStatus().find("rate 96000 Hz"));
    EXPECT_FALSE(Enabled(page, IDC_RATE_APPLY));
    EXPECT_EQ(96000u, theDrv.m_SampleRateInfo.CurrentRate);

    // The buffer page counts samples at the new rate: 5 ms at 96 kHz, granularity 32.
    Sim({"set", "asio-depth", "5000"});
    ShowPage(PAGE_SETTINGS);
    EXPECT_EQ("5.0 ms\n480 samples", Text(Buffers(), IDC_ASIO_VALUE));
    Sim({"set", "rate", "48000"});
}

TEST_F(SettingsPagesTest, AutomaticAndOddModesLockTheRateList)
{
    DlgPgSync& page = Sync();
    Sim({"set", "mode", "auto"});
    EXPECT_FALSE(Checked(page, IDC_MODE_MANUAL));
    EXPECT_TRUE(Checked(page, IDC_MODE_AUTOMATIC)) << "the hidden radio keeps the value";
    EXPECT_TRUE(Enabled(page, IDC_MODE_MANUAL));
    EXPECT_EQ(6u, Items(page.m_RateList).size());
    EXPECT_EQ("48.0 kHz", Selected(page.m_RateList));
    EXPECT_FALSE(page.m_RateList.IsWindowEnabled());

    Sim({"set", "mode", "7"});
    EXPECT_FALSE(Checked(page, IDC_MODE_MANUAL));
    EXPECT_FALSE(Checked(page, IDC_MODE_AUTOMATIC));
    EXPECT_FALSE(Enabled(page, IDC_MODE_MANUAL));
    EXPECT_FALSE(page.m_RateList.IsWindowEnabled());
    EXPECT_FALSE(page.m_AutomaticRadio.GetStyle() & WS_VISIBLE) << "hidden for ever";
    EXPECT_FALSE(page.m_MasterPcRadio.GetStyle() & WS_VISIBLE);
    Sim({"set", "mode", "manual"});
}

TEST_F(SettingsPagesTest, RateListsOfEveryShape)
{
    DlgPgSync& page = Sync();
    Sim({"set", "mode", "manual"});
    // 22050 Hz truncates; a current rate not on the list leaves the list without selection.
    Sim({"set", "rates", "22050", "32000"});
    EXPECT_EQ((std::vector<std::string>{"22.0 kHz", "32.0 kHz"}), Items(page.m_RateList));
    EXPECT_EQ("(none)", Selected(page.m_RateList));
    EXPECT_TRUE(page.m_RateList.IsWindowEnabled());
    EXPECT_FALSE(Enabled(page, IDC_RATE_APPLY));

    Sim({"set", "rates"});
    EXPECT_TRUE(Items(page.m_RateList).empty());
    EXPECT_FALSE(page.m_RateList.IsWindowEnabled());

    // A count past the record is a list not read: nothing of it is offered.
    Sim({"set", "rates", "44100", "48000", "88200", "96000", "176400", "192000", "32000", "22050"});
    Sim({"fault", "overcount"});
    page.Refresh();
    EXPECT_TRUE(Items(page.m_RateList).empty());
    EXPECT_FALSE(page.m_RateList.IsWindowEnabled());
    Sim({"fault", "clear"});

    // The second mode read fails: an empty list, no mode.
    Sim({"fault", "GetSampleRateMode", "2", "0x1F"});
    page.Refresh();
    EXPECT_TRUE(Items(page.m_RateList).empty());
    EXPECT_FALSE(Checked(page, IDC_MODE_MANUAL));
    EXPECT_FALSE(Enabled(page, IDC_MODE_MANUAL));
    Sim({"fault", "clear"});
    Sim({"set", "rates", "44100", "48000", "88200", "96000", "176400", "192000"});
}

TEST_F(SettingsPagesTest, RefusedRatesAreToldAndStayToApplyAgain)
{
    DlgPgSync& page = Sync();
    Sim({"set", "mode", "manual"});
    ShowPage(PAGE_SYNCHRONISATION);
    Sim({"stream", "on"});
    Key(page.m_RateList, VK_UP);
    ASSERT_EQ("44.1 kHz", Selected(page.m_RateList));
    SeenMessageBox box = ClickExpectingMessageBox(page, IDC_RATE_APPLY);
    EXPECT_EQ("Error", box.caption);
    EXPECT_EQ("Select Sample Rate failed, Audio Streaming is in progress.", box.text);
    EXPECT_EQ(std::vector<std::string>{"OK"}, box.buttons);
    EXPECT_FALSE(box.icon);
    EXPECT_TRUE(Enabled(page, IDC_RATE_APPLY));
    EXPECT_EQ("44.1 kHz", Selected(page.m_RateList)) << "the list keeps the user's choice";
    EXPECT_EQ(44100u, theDrv.m_SampleRateInfo.CurrentRate) << "cached until the next read";
    EXPECT_NE(std::string::npos, SimStatus().find("rate 48000 Hz"));

    Sim({"stream", "off"}); // refreshes the page
    Key(page.m_RateList, VK_UP);
    Sim({"fault", "SetSampleRate", "1", "0x1F"});
    box = ClickExpectingMessageBox(page, IDC_RATE_APPLY);
    EXPECT_EQ("Select Sample Rate failed.", box.text);
    EXPECT_TRUE(Enabled(page, IDC_RATE_APPLY));
}

TEST_F(SettingsPagesTest, ClockSourceOfTheFirstDeviceIsChosenAndSentForItAlone)
{
    DlgPgSync& page = Sync();
    Sim({"set", "sources", "1", "Internal", "S/PDIF", "Word Clock"});
    Sim({"set", "sources", "2", "Internal", "ADAT"});
    Sim({"set", "source", "1", "0"});
    EXPECT_EQ((std::vector<std::string>{"Internal", "S/PDIF", "Word Clock"}),
              Items(page.m_SourceList));
    EXPECT_EQ("Internal", Selected(page.m_SourceList));
    EXPECT_TRUE(page.m_SourceList.IsWindowEnabled());

    ShowPage(PAGE_SYNCHRONISATION);
    Key(page.m_SourceList, VK_DOWN);
    Key(page.m_SourceList, VK_DOWN);
    EXPECT_EQ("Word Clock", Selected(page.m_SourceList));
    EXPECT_TRUE(Enabled(page, IDC_SOURCE_APPLY));
    EXPECT_FALSE(Enabled(page, IDC_RATE_APPLY));
    SimTrace trace(g_tracePath);
    Click(page, IDC_SOURCE_APPLY);
    EXPECT_EQ(1, trace.Count("SetSynchMode")) << "the other device's selection stays unsent";
    EXPECT_FALSE(Enabled(page, IDC_SOURCE_APPLY));
    const std::string status = SimStatus();
    EXPECT_NE(std::string::npos, status.find("clock source 2 \"Word Clock\"")) << status;
    EXPECT_NE(std::string::npos, status.find("clock source 0 \"Internal\"")) << status;

    // Refused while streaming.
    Sim({"stream", "on"});
    Key(page.m_SourceList, VK_UP);
    SeenMessageBox box = ClickExpectingMessageBox(page, IDC_SOURCE_APPLY);
    EXPECT_EQ("Select Clock Source failed, Audio Streaming is in progress.", box.text);
    EXPECT_TRUE(Enabled(page, IDC_SOURCE_APPLY));
    Sim({"stream", "off"});
    Sim({"fault", "SetSynchMode", "1", "0x1F"});
    Key(page.m_SourceList, VK_UP);
    box = ClickExpectingMessageBox(page, IDC_SOURCE_APPLY);
    EXPECT_EQ("Select Clock Source failed.", box.text);
    Sim({"fault", "clear"});

    // Names without their zero byte end with their field.
    Sim({"fault", "unterminated"});
    page.Refresh();
    ASSERT_EQ(3u, Items(page.m_SourceList).size());
    EXPECT_EQ("Internal" + std::string(32, '#'), Items(page.m_SourceList)[0]);
    Sim({"fault", "clear"});
    Sim({"set", "source", "1", "0"});
}

TEST_F(SettingsPagesTest, FailedReadsDisableWithoutAWord)
{
    DlgPgSync& page = Sync();
    Sim({"fault", "GetClockMaster", "1", "0x1F"});
    page.Refresh();
    EXPECT_FALSE(Enabled(page, IDC_MASTER_PC));
    EXPECT_FALSE(Checked(page, IDC_MASTER_PC) || Checked(page, IDC_MASTER_DEVICE));
    EXPECT_TRUE(Enabled(page, IDC_MODE_MANUAL)) << "the mode is read on its own";

    // No device: no clock source.
    Sim({"unplug", "1"});
    Sim({"unplug", "2"});
    EXPECT_TRUE(Items(page.m_SourceList).empty());
    EXPECT_FALSE(page.m_SourceList.IsWindowEnabled());
    Sim({"plug", "1"});
    Sim({"plug", "2"});

    // The channel closed: everything empty and disabled, every Apply off, no message box.
    theDrv.Close();
    page.Refresh();
    Buffers().Refresh();
    EXPECT_FALSE(Enabled(page, IDC_MODE_MANUAL));
    EXPECT_FALSE(Checked(page, IDC_MODE_MANUAL));
    EXPECT_TRUE(Items(page.m_RateList).empty());
    EXPECT_FALSE(page.m_RateList.IsWindowEnabled());
    EXPECT_TRUE(Items(page.m_SourceList).empty());
    EXPECT_FALSE(page.m_SourceList.IsWindowEnabled());
    for (int apply : {IDC_RATE_APPLY, IDC_SOURCE_APPLY, IDC_MODE_APPLY, IDC_MASTER_APPLY})
        EXPECT_FALSE(Enabled(page, apply));
    CDlgPgASIOSettings& buffers = Buffers();
    for (int id : {IDC_STREAM_SLIDER, IDC_ASIO_SLIDER, IDC_WDM_SLIDER, IDC_STREAM_APPLY,
                   IDC_ASIO_APPLY, IDC_WDM_APPLY})
        EXPECT_FALSE(Enabled(buffers, id)) << id;
    EXPECT_EQ("", buffers.m_strAsio);
    EXPECT_EQ("", buffers.m_strStream);
    ASSERT_EQ(0u, theDrv.Open(KVX_USB_DEVICE_NAME));
    View().RefreshAllPages();
}

// ---- buffer settings ------------------------------------------------------------------------

TEST_F(SettingsPagesTest, OffGridDepthShowsCutAndWritesTheCutValue)
{
    CDlgPgASIOSettings& page = Buffers();
    Sim({"set", "rate", "48000"});
    Sync().Refresh();
    Sim({"set", "asio-depth", "2500"});
    ShowPage(PAGE_SETTINGS);
    EXPECT_EQ(2, page.m_AsioSlider.GetPos());
    EXPECT_EQ("2.0 ms\n96 samples", Text(page, IDC_ASIO_VALUE));
    EXPECT_FALSE(Enabled(page, IDC_ASIO_APPLY));

    // Away and back: the Apply stays enabled until the next refresh.
    Key(page.m_AsioSlider, VK_RIGHT);
    EXPECT_EQ("3.0 ms\n160 samples", Text(page, IDC_ASIO_VALUE));
    EXPECT_TRUE(Enabled(page, IDC_ASIO_APPLY));
    EXPECT_FALSE(Enabled(page, IDC_WDM_APPLY));
    Key(page.m_AsioSlider, VK_LEFT);
    EXPECT_TRUE(Enabled(page, IDC_ASIO_APPLY));

    SimTrace trace(g_tracePath);
    Click(page, IDC_ASIO_APPLY);
    EXPECT_EQ(1, trace.Count("SetAsioBufferDepth"));
    EXPECT_EQ(0, trace.Count("StopStreams") + trace.Count("StartStreams"));
    EXPECT_NE(std::string::npos, SimStatus().find("ASIO buffer 2000 us")) << SimStatus();
    EXPECT_FALSE(Enabled(page, IDC_ASIO_APPLY));
}

TEST_F(SettingsPagesTest, StreamAndWdmApplyRestartTheStreams)
{
    CDlgPgASIOSettings& page = Buffers();
    Sim({"set", "stream-range", "1000", "100000", "500"});
    Sim({"set", "stream-depth", "2000"});
    ShowPage(PAGE_SETTINGS);
    EXPECT_EQ(2, page.m_StreamSlider.GetRangeMin());
    EXPECT_EQ(200, page.m_StreamSlider.GetRangeMax());
    EXPECT_EQ(4, page.m_StreamSlider.GetPageSize());
    EXPECT_EQ(1, page.m_StreamSlider.GetLineSize());
    EXPECT_EQ(4, page.m_StreamSlider.GetPos());
    EXPECT_EQ("2.0 ms", Text(page, IDC_STREAM_VALUE));

    Key(page.m_StreamSlider, VK_NEXT); // a page: four steps
    EXPECT_EQ("4.0 ms", Text(page, IDC_STREAM_VALUE));
    SimTrace stream(g_tracePath);
    Click(page, IDC_STREAM_APPLY);
    EXPECT_NE(std::string::npos,
              stream.Operations().find("SetStreamBufferDepth StopStreams StartStreams"))
        << stream.Operations();
    EXPECT_NE(std::string::npos, SimStatus().find("stream buffer 4000 us")) << SimStatus();

    Key(page.m_WdmSlider, VK_RIGHT);
    SimTrace wdm(g_tracePath);
    Click(page, IDC_WDM_APPLY);
    EXPECT_NE(std::string::npos,
              wdm.Operations().find("SetWdmBufferDepth StopStreams StartStreams"))
        << wdm.Operations();
    Sim({"set", "stream-range", "1000", "8000", "500"});
    Sim({"set", "wdm-depth", "10000"});
}

TEST_F(SettingsPagesTest, UnusableStreamRecordsDisableTheirSliderOnly)
{
    CDlgPgASIOSettings& page = Buffers();
    ShowPage(PAGE_SETTINGS);
    // No step, an inverted range, and more positions than a trackbar holds.
    for (auto range : {std::vector<std::string>{"1000", "8000", "0"},
                       std::vector<std::string>{"8000", "1000", "500"},
                       std::vector<std::string>{"0", "4294967295", "1"}}) {
        Sim({"set", "stream-range", range[0], range[1], range[2]});
        EXPECT_FALSE(page.m_StreamSlider.IsWindowEnabled()) << range[2];
        EXPECT_EQ("", Text(page, IDC_STREAM_VALUE));
        EXPECT_TRUE(page.m_AsioSlider.IsWindowEnabled());
    }
    Sim({"set", "stream-range", "1000", "8000", "500"});
    EXPECT_TRUE(page.m_StreamSlider.IsWindowEnabled());

    // The page reads the rate itself; without one no sample count is known, only the time.
    Sim({"fault", "GetSampleRateInfo", "1", "0x1F"});
    page.Refresh();
    const std::string asio = Text(page, IDC_ASIO_VALUE);
    EXPECT_NE(std::string::npos, asio.find(" ms")) << asio;
    EXPECT_EQ(std::string::npos, asio.find("samples")) << asio;
}

TEST_F(SettingsPagesTest, DropOutsAreReadOnlyWhileThePageIsVisible)
{
    CDlgPgASIOSettings& page = Buffers();
    ShowPage(PAGE_DEVICES);
    EXPECT_EQ(0u, page.m_nStatisticsTimer);
    SimTrace hidden(g_tracePath);
    PumpUntil([] { return false; }, 1500);
    EXPECT_EQ(0, hidden.Count("GetAsioStatistics"));

    Sim({"set", "dropouts", "5"});
    ShowPage(PAGE_SETTINGS);
    EXPECT_NE(0u, page.m_nStatisticsTimer);
    EXPECT_TRUE(PumpUntil([&] { return Text(page, IDC_DROPOUTS) == "5"; }, 3000))
        << Text(page, IDC_DROPOUTS);
    Sim({"set", "dropouts", "4294967295"});
    EXPECT_TRUE(PumpUntil([&] { return Text(page, IDC_DROPOUTS) == "4294967295"; }, 3000));

    // A failed read empties the count, with the other texts at the same transfer.
    Sim({"fault", "GetAsioStatistics", "100", "0x1F"});
    EXPECT_TRUE(PumpUntil([&] { return Text(page, IDC_DROPOUTS).empty(); }, 3000));
    Sim({"fault", "clear"});

    // Closed to the tray or minimised, the page cannot be seen, whatever its children hear.
    const HWND frame = theApp.m_pMainWnd->m_hWnd;
    SendMessageA(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(0u, page.m_nStatisticsTimer) << "polled in the tray";
    SendMessageA(frame, WM_COMMAND, ID_APP_OPEN, 0);
    EXPECT_NE(0u, page.m_nStatisticsTimer);
    ShowWindow(frame, SW_MINIMIZE);
    EXPECT_EQ(0u, page.m_nStatisticsTimer) << "polled while minimised";
    ShowWindow(frame, SW_RESTORE);
    EXPECT_NE(0u, page.m_nStatisticsTimer);

    ShowPage(PAGE_DEVICES);
    EXPECT_EQ(0u, page.m_nStatisticsTimer);
    SimTrace again(g_tracePath);
    PumpUntil([] { return false; }, 1500);
    EXPECT_EQ(0, again.Count("GetAsioStatistics"));
}

TEST_F(SettingsPagesTest, TheRoundingNoteSitsOnTheFourAsioControls)
{
    CDlgPgASIOSettings& page = Buffers();
    ASSERT_TRUE(page.m_ToolTip.m_hWnd);
    EXPECT_EQ(4, page.m_ToolTip.GetToolCount());
    EXPECT_EQ(180, int(page.m_ToolTip.SendMessage(TTM_GETMAXTIPWIDTH)));
    EXPECT_TRUE(page.m_ToolTip.GetStyle() & TTS_ALWAYSTIP);
    for (int id : {IDC_ASIO_APPLY, IDC_ASIO_SLIDER, IDC_ASIO_VALUE, IDC_ASIO_CAPTION}) {
        TTTOOLINFOA info = {};
        info.cbSize = TTTOOLINFOA_V2_SIZE;
        info.hwnd = page.m_hWnd;
        info.uId = UINT_PTR(page.GetDlgItem(id));
        char text[256] = "";
        info.lpszText = text;
        page.m_ToolTip.SendMessage(TTM_GETTEXTA, sizeof text, LPARAM(&info));
        // Without the program's manifest the common controls give at most 80 characters.
        const std::string note = "Note: Some applications such as ProTools 9 may round up "
                                 "samples to the next power of 2.";
        EXPECT_GE(std::strlen(text), 79u) << id;
        EXPECT_EQ(0, note.compare(0, std::strlen(text), text)) << text;
    }
}

// ---- the keyboard alone ---------------------------------------------------------------------

// From the page tree with the arrow keys to a page, Tab into it and through its controls in
// order, the arrows and Page Up/Down on the sliders and in the lists, Space on a button.
TEST_F(SettingsPagesTest, EveryControlIsReachedAndWorkedWithTheKeyboard)
{
    Sim({"set", "mode", "manual"});
    CKVX_USB_CPLView& view = View();
    theApp.m_pMainWnd->ShowWindow(SW_SHOW);
    ShowPage(PAGE_SYNCHRONISATION);
    HWND tree = view.m_PageTree.m_hWnd;
    EXPECT_EQ(tree, PressKeyOn(tree, VK_DOWN)) << "the arrows walk the tree";
    EXPECT_EQ("Settings", view.m_PageTree.GetItemText(view.m_PageTree.GetSelectedItem()));
    EXPECT_TRUE(Buffers().GetStyle() & WS_VISIBLE);

    // The buffer settings page: each slider, then its Apply once it is enabled.
    CDlgPgASIOSettings& buffers = Buffers();
    EXPECT_EQ(buffers.m_StreamSlider.m_hWnd, PressKeyOn(tree, VK_TAB));
    const int stream = buffers.m_StreamSlider.GetPos();
    PressKeyOn(buffers.m_StreamSlider, VK_RIGHT);
    EXPECT_EQ(stream + 1, buffers.m_StreamSlider.GetPos());
    EXPECT_EQ(buffers.m_StreamApplyButton.m_hWnd, PressKeyOn(buffers.m_StreamSlider, VK_TAB));
    EXPECT_EQ(buffers.m_AsioSlider.m_hWnd, PressKeyOn(buffers.m_StreamApplyButton, VK_TAB));
    const int asio = buffers.m_AsioSlider.GetPos();
    PressKeyOn(buffers.m_AsioSlider, VK_NEXT);
    EXPECT_EQ(asio + 1, buffers.m_AsioSlider.GetPos()) << "a page is one tick of 1 ms";
    EXPECT_EQ(buffers.m_AsioApplyButton.m_hWnd, PressKeyOn(buffers.m_AsioSlider, VK_TAB));
    SimTrace trace(g_tracePath);
    PressKeyOn(buffers.m_AsioApplyButton, VK_SPACE);
    EXPECT_EQ(1, trace.Count("SetAsioBufferDepth")) << "Space presses the button";
    EXPECT_EQ(buffers.m_WdmSlider.m_hWnd, PressKeyOn(buffers.m_AsioSlider, VK_TAB))
        << "a disabled Apply is passed over";
    EXPECT_EQ(tree, PressKeyOn(buffers.m_WdmSlider, VK_TAB)) << "and back to the tree";

    // The synchronisation page: the mode radio, the rate list and the source list.
    EXPECT_EQ(tree, PressKeyOn(tree, VK_UP));
    DlgPgSync& sync = Sync();
    EXPECT_EQ(sync.m_ManualRadio.m_hWnd, PressKeyOn(tree, VK_TAB));
    EXPECT_EQ(sync.m_RateList.m_hWnd, PressKeyOn(sync.m_ManualRadio, VK_TAB));
    const std::string rate = Selected(sync.m_RateList);
    PressKeyOn(sync.m_RateList, VK_DOWN);
    EXPECT_NE(rate, Selected(sync.m_RateList));
    EXPECT_EQ(sync.m_RateApplyButton.m_hWnd, PressKeyOn(sync.m_RateList, VK_TAB));
    // The source list has an edit field: the focus lands in it.
    EXPECT_EQ(sync.m_SourceList.m_hWnd, GetParent(PressKeyOn(sync.m_RateApplyButton, VK_TAB)));
    Sim({"set", "rate", "48000"});
}
