// Settings profiles in the panel, against the stand-in: the plan and result dialogs as the
// user sees and answers them, the quiet load of a recent profile from the tray, the
// tray's submenu and the recent list in the registry.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <functional>

#include "Drv.h"
#include "FaultDeviceIo.h"
#include "MessagePump.h"
#include "ProfileCommands.h"
#include "ProfileFile.h"
#include "ProfileRead.h"
#include "SimDriverProcess.h"
#include "SimTrace.h"
#include "resource.h"

CDrv theDrv;

namespace {

// What a dialog of this thread showed, and the button it was answered with.
struct SeenDialog {
    std::string caption;
    std::string text;              // a message box's text, or the summary under the list
    std::vector<std::string> rows; // "setting | current | new | result"
};
std::vector<SeenDialog> g_seen;
std::vector<int> g_answers; // the button for each dialog in turn; then IDCANCEL
HWND g_answered = nullptr;

std::string CellText(HWND list, int row, int column)
{
    char text[256] = "";
    ListView_GetItemText(list, row, column, text, sizeof text);
    return text;
}

BOOL CALLBACK AnswerDialog(HWND window, LPARAM)
{
    char name[16] = "";
    GetClassNameA(window, name, sizeof name);
    if (std::string(name) != "#32770" || !IsWindowVisible(window) || window == g_answered)
        return TRUE;
    g_answered = window;
    SeenDialog seen;
    char text[2048] = "";
    GetWindowTextA(window, text, sizeof text);
    seen.caption = text;
    HWND list = GetDlgItem(window, IDC_PROFILE_LIST);
    // The summary under the list, the whole list of notes, or a message box's text.
    const int textId = list                                    ? IDC_PROFILE_SUMMARY
                       : GetDlgItem(window, IDC_PROFILE_NOTES) ? IDC_PROFILE_NOTES
                                                               : 0xFFFF;
    HWND textWindow = GetDlgItem(window, textId);
    seen.text.resize(size_t(GetWindowTextLengthA(textWindow)) + 1);
    seen.text.resize(size_t(GetWindowTextA(textWindow, &seen.text[0], int(seen.text.size()))));
    for (int row = 0; list && row < ListView_GetItemCount(list); ++row)
        seen.rows.push_back(CellText(list, row, 0) + " | " + CellText(list, row, 1) + " | " +
                            CellText(list, row, 2) + " | " + CellText(list, row, 3));
    const int answer = g_seen.size() < g_answers.size() ? g_answers[g_seen.size()] : IDCANCEL;
    g_seen.push_back(seen);
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
                 LPARAM(GetDlgItem(window, answer)));
    return FALSE;
}

// Runs inside every modal loop of the test.
VOID CALLBACK AnswerDialogs(HWND, UINT, UINT_PTR, DWORD)
{
    EnumThreadWindows(GetCurrentThreadId(), AnswerDialog, 0);
}

class ProfileCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_seen.clear();
        g_answers.clear();
        m_key = "Software\\Volmar\\Tests\\profiles-" + std::to_string(GetCurrentProcessId());
        m_trace = SimDriverProcess::TempPath("commands-trace.txt");
        m_file = SimDriverProcess::TempPath("commands.kvxsettings");
        DeleteFileA(m_trace.c_str());
        ASSERT_TRUE(m_sim.Start("demo", {"--trace", m_trace})) << m_sim.Log();
        // The rate is the user's to choose, as these loads change it.
        ASSERT_EQ(m_sim.Run({"set", "mode", "manual"}).exitCode, 0);
        ASSERT_EQ(theDrv.Open(KVX_USB_DEVICE_NAME), 0u);
        m_commands.reset(new CProfileCommands(nullptr, theDrv, m_key.c_str()));
        m_timer = SetTimer(nullptr, 0, 20, AnswerDialogs);
    }
    void TearDown() override
    {
        KillTimer(nullptr, m_timer);
        theDrv.Close();
        m_sim.Stop();
        RegDeleteTreeA(HKEY_CURRENT_USER, m_key.c_str());
        DeleteFileA(m_trace.c_str());
        DeleteFileA(m_file.c_str());
    }

    // A profile file of the driver as it is now, with one change.
    void SaveChanged(const std::function<void(CProfile&)>& change)
    {
        std::vector<std::string> notes;
        CProfile profile = ReadProfileFromDriver(theDrv, notes);
        change(profile);
        std::string error;
        ASSERT_TRUE(SaveProfileFile(m_file, profile, error)) << error;
    }

    uint32_t Rate()
    {
        _KVX_USB_SAMPLE_RATE_INFO info = {};
        theDrv.GetSampleRateInfo(&info);
        return info.CurrentRate;
    }

    SimDriverProcess m_sim;
    std::unique_ptr<CProfileCommands> m_commands;
    std::string m_key, m_trace, m_file;
    UINT_PTR m_timer = 0;
};

std::vector<std::string> MenuTexts(HMENU menu)
{
    std::vector<std::string> texts;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[MAX_PATH + 8] = "";
        GetMenuStringA(menu, UINT(i), text, sizeof text, MF_BYPOSITION);
        texts.push_back(*text ? text : "-");
    }
    return texts;
}

} // namespace

TEST_F(ProfileCommandsTest, LoadShowsThePlanThenEachResult)
{
    SaveChanged([](CProfile& p) {
        p.sampleRateHz = 96000;
        p.devices[0].inputs[0].name = "Kick";
    });
    g_answers = {IDOK, IDCANCEL};
    ASSERT_TRUE(m_commands->LoadFile(m_file, false));
    ASSERT_EQ(g_seen.size(), 2u);
    EXPECT_EQ(g_seen[0].caption, "Load Settings");
    EXPECT_EQ(g_seen[0].text, "2 to apply, 30 unchanged");
    EXPECT_EQ(g_seen[0].rows.size(), 32u);
    // What changes first, in the order of the load; then the unchanged settings.
    EXPECT_EQ(g_seen[0].rows[0],
              "device KVX-B2-004711 input 0 name | \"Mic/Line 1\" | \"Kick\" | to apply");
    EXPECT_EQ(g_seen[0].rows[1], "sampling rate | 48000 Hz | 96000 Hz | to apply");
    EXPECT_EQ(g_seen[0].rows[2],
              "device KVX-B2-004711 name | \"Model B Studio\" | \"Model B Studio\" | unchanged");
    EXPECT_EQ(g_seen[1].caption, "Settings Loaded");
    EXPECT_EQ(g_seen[1].text, "2 applied, 30 unchanged");
    EXPECT_EQ(Rate(), 96000u);
    EXPECT_EQ(m_commands->m_Recent.Files(), std::vector<std::string>{m_file});
}

TEST_F(ProfileCommandsTest, CancelAtThePlanSendsNothing)
{
    SaveChanged([](CProfile& p) { p.sampleRateHz = 96000; });
    SimTrace trace(m_trace);
    g_answers = {IDCANCEL};
    EXPECT_FALSE(m_commands->LoadFile(m_file, false));
    EXPECT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(trace.Operations().find("Set"), std::string::npos) << trace.Operations();
    EXPECT_EQ(Rate(), 48000u);
}

TEST_F(ProfileCommandsTest, RecentProfilesLoadQuietlyUnlessSomethingIsRefused)
{
    SaveChanged([](CProfile& p) { p.sampleRateHz = 96000; });
    m_commands->m_Recent.Add(m_file);
    m_commands->LoadRecent(0);
    EXPECT_TRUE(g_seen.empty()) << g_seen[0].caption;
    EXPECT_EQ(Rate(), 96000u);

    SaveChanged([](CProfile& p) { p.sampleRateHz = 44100; });
    ASSERT_EQ(m_sim.Run({"stream", "on"}).exitCode, 0);
    m_commands->LoadRecent(0);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].caption, "Settings Loaded");
    EXPECT_EQ(g_seen[0].text, "31 unchanged, 1 refused");
    const std::vector<std::string>& rows = g_seen[0].rows;
    EXPECT_NE(std::find(rows.begin(), rows.end(),
                        "sampling rate | 96000 Hz | 44100 Hz | refused: audio is streaming; stop "
                        "playback and try again: KVX_USB_E_STREAMING_ACTIVE (0xE0000047)"),
              rows.end());
}

TEST_F(ProfileCommandsTest, BadAndVanishedFilesAreToldAndSendNothing)
{
    HANDLE file = CreateFileA(m_file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, "{\"format\": \"kvx-usb-settings\", \"version\": 2}", 44, &written, nullptr);
    CloseHandle(file);
    SimTrace trace(m_trace);
    EXPECT_FALSE(m_commands->LoadFile(m_file, false));
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_NE(g_seen[0].text.find("nothing was sent"), std::string::npos) << g_seen[0].text;
    EXPECT_NE(g_seen[0].text.find("version: 2 is not a version"), std::string::npos)
        << g_seen[0].text;
    EXPECT_EQ(trace.Operations(), "");

    m_commands->m_Recent.Add(m_file);
    DeleteFileA(m_file.c_str());
    m_commands->LoadRecent(0);
    ASSERT_EQ(g_seen.size(), 2u);
    EXPECT_NE(g_seen[1].text.find("is gone; it was taken off the list"), std::string::npos)
        << g_seen[1].text;
    EXPECT_TRUE(m_commands->m_Recent.Files().empty());
}

TEST_F(ProfileCommandsTest, TheTraySubmenuListsRecentProfilesMostRecentFirst)
{
    HMENU menu = m_commands->CreateTrayMenu();
    EXPECT_EQ(MenuTexts(menu),
              (std::vector<std::string>{"&Load Settings...", "&Save Settings..."}));
    DestroyMenu(menu);

    for (int i = 0; i < 12; ++i)
        m_commands->m_Recent.Add("C:\\profiles\\set " + std::to_string(i) + ".kvxsettings");
    m_commands->m_Recent.Add("C:\\profiles\\set 3.kvxsettings");
    m_commands->m_Recent.Add("C:\\profiles\\R&B.kvxsettings");
    menu = m_commands->CreateTrayMenu();
    const std::vector<std::string> texts = MenuTexts(menu);
    ASSERT_EQ(texts.size(), KVX_MAX_RECENT_PROFILES + 3);
    EXPECT_EQ(texts[0], "&1 R&&B.kvxsettings");
    EXPECT_EQ(texts[1], "&2 set 3.kvxsettings");
    EXPECT_EQ(texts[2], "&3 set 11.kvxsettings");
    EXPECT_EQ(texts[8], "&9 set 5.kvxsettings");
    EXPECT_EQ(texts[9], "1&0 set 4.kvxsettings") << "its key is 0, not the first's 1";
    EXPECT_EQ(GetMenuItemID(menu, 0), UINT(ID_PROFILE_RECENT_FIRST));
    EXPECT_EQ(texts[KVX_MAX_RECENT_PROFILES], "-");
    EXPECT_EQ(GetMenuItemID(menu, int(KVX_MAX_RECENT_PROFILES) + 1), UINT(ID_FILE_LOAD_SETTINGS));
    DestroyMenu(menu);
}

TEST_F(ProfileCommandsTest, TheFileMenuOffersSaveAndLoadFirst)
{
    HMENU bar = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
    EXPECT_EQ(MenuTexts(GetSubMenu(bar, 0)),
              (std::vector<std::string>{"&Save Settings...", "&Load Settings...", "-", "&Close",
                                        "&Quit"}));
    DestroyMenu(bar);
}

TEST_F(ProfileCommandsTest, SaveWritesTheDriverAndRemembersTheFile)
{
    ASSERT_TRUE(m_commands->SaveFile(m_file));
    CProfile saved;
    std::string error;
    ASSERT_TRUE(LoadProfileFile(m_file, saved, error)) << error;
    EXPECT_EQ(*saved.sampleRateHz, 48000u);
    EXPECT_EQ(saved.devices.size(), 2u);
    EXPECT_EQ(m_commands->m_Recent.Files(), std::vector<std::string>{m_file});
    EXPECT_TRUE(g_seen.empty());
}

TEST_F(ProfileCommandsTest, SaveWithoutADriverLeavesTheFileAndTheListAlone)
{
    ASSERT_TRUE(m_commands->SaveFile(m_file));
    const std::string good = SimDriverProcess::ReadFileText(m_file);
    m_commands->m_Recent.Remove(m_file);
    theDrv.Close();
    EXPECT_FALSE(m_commands->SaveFile(m_file));
    EXPECT_EQ(SimDriverProcess::ReadFileText(m_file), good);
    EXPECT_TRUE(m_commands->m_Recent.Files().empty());
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_NE(g_seen[0].text.find("not saved; the file was left as it was"), std::string::npos)
        << g_seen[0].text;
}

// A driver that stops answering part way leaves a profile that is not its whole state: the
// old file stays byte for byte, as kvxuctl save leaves it.
TEST_F(ProfileCommandsTest, SaveDuringAStallLeavesTheOldFile)
{
    ASSERT_TRUE(m_commands->SaveFile(m_file));
    const std::string good = SimDriverProcess::ReadFileText(m_file);
    theDrv.Close();
    const size_t threads = ThreadsOfThisProcess().size();
    {
        FaultDeviceIo io("demo");
        ASSERT_EQ(theDrv.Open(KVX_USB_DEVICE_NAME), 0u);
        // The devices are read; the stall comes among the channels.
        io.Add({IOCTL_KVX_USB_GET_CHANNEL_PROPERTIES, 5, FaultKind::Stall, 0});
        EXPECT_FALSE(m_commands->SaveFile(m_file));
        theDrv.Close();
        // The channel's thread, held by the stall, closes its handle on io once answered.
        io.EndStalls();
        EXPECT_TRUE(PumpUntil([&] { return ThreadsOfThisProcess().size() <= threads; }));
    }
    EXPECT_EQ(SimDriverProcess::ReadFileText(m_file), good);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_NE(g_seen[0].text.find("stopped answering"), std::string::npos) << g_seen[0].text;
    ASSERT_EQ(theDrv.Open(KVX_USB_DEVICE_NAME), 0u);
}

TEST_F(ProfileCommandsTest, ManyNotesAreCountedWithTheWholeListOnRequest)
{
    // Every channel of the largest scenario unreadable: a note for each.
    theDrv.Close();
    m_sim.Stop();
    ASSERT_TRUE(m_sim.Start("maximal")) << m_sim.Log();
    ASSERT_EQ(theDrv.Open(KVX_USB_DEVICE_NAME), 0u);
    ASSERT_EQ(m_sim.Run({"fault", "GetChannelProperties", "1000", "0x1F"}).exitCode, 0);
    g_answers = {IDYES, IDCANCEL};
    ASSERT_TRUE(m_commands->SaveFile(m_file));
    ASSERT_EQ(g_seen.size(), 2u);
    const std::string& box = g_seen[0].text;
    EXPECT_LT(std::count(box.begin(), box.end(), '\n'), 12) << box;
    EXPECT_NE(box.find(" in all."), std::string::npos) << box;
    EXPECT_NE(box.find("Show the whole list?"), std::string::npos) << box;
    const std::string& whole = g_seen[1].text;
    const long notes = long(std::count(whole.begin(), whole.end(), '\n'));
    EXPECT_GT(notes, 100);
    EXPECT_NE(box.find(std::to_string(notes) + " in all."), std::string::npos) << box;
    const std::string first = whole.substr(0, whole.find('\r'));
    EXPECT_NE(box.find(":\n\n" + first + "\n"), std::string::npos) << box;
}

TEST_F(ProfileCommandsTest, ARecentFileThatCannotBeReachedNowStaysOnTheList)
{
    const std::vector<std::string> away = {"\\\\no-such-server\\share\\studio.kvxsettings",
                                           "C:\\no-such-folder\\studio.kvxsettings"};
    for (const std::string& path : away) {
        SCOPED_TRACE(path);
        g_seen.clear();
        m_commands->m_Recent.Add(path);
        m_commands->LoadRecent(0);
        ASSERT_EQ(g_seen.size(), 1u);
        EXPECT_NE(g_seen[0].text.find("cannot be reached now; it stays on the list"),
                  std::string::npos)
            << g_seen[0].text;
        const std::vector<std::string> files = m_commands->m_Recent.Files();
        EXPECT_NE(std::find(files.begin(), files.end(), path), files.end());
    }
}
