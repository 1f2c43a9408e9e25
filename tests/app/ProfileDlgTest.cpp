// The plan and results dialog over hand-built results, read as a user reads it: what goes
// wrong and what changes first, refusals in words and then by name, the unchanged settings
// hidden on request, the selected setting's whole reason under the list, and a layout that
// follows the window's size without scrolling sideways.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <functional>

#include "Dpi.h"
#include "ProfileDlg.h"
#include "resource.h"

namespace {

const std::string kStreaming = "audio is streaming; stop playback and try again";
const std::string kNotRead = "its current value could not be read: ERROR_GEN_FAILURE (0x0000001F)";

CSettingResult Result(const std::string& setting, CSettingOutcome outcome, DWORD status = 0,
                      const std::string& why = "")
{
    CSettingResult r;
    r.setting = setting;
    r.current = "1";
    r.wanted = "2";
    r.outcome = outcome;
    r.status = status;
    r.why = why;
    return r;
}

// Results in the order of a load.
const std::vector<CSettingResult> kResults = {
    Result("device name", CSettingOutcome::Unchanged),
    Result("sampling rate", CSettingOutcome::Refused, 0xE0000047, kStreaming),
    Result("clock source", CSettingOutcome::Applied),
    Result("stream depth", CSettingOutcome::Skipped, 0, kNotRead),
    Result("asio depth", CSettingOutcome::Refused, 0x1234, "the driver said no"),
    Result("wdm depth", CSettingOutcome::Unchanged),
};

std::string Cell(HWND list, int row, int column)
{
    char text[512] = "";
    ListView_GetItemText(list, row, column, text, sizeof text);
    return text;
}

std::vector<std::string> Rows(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_PROFILE_LIST);
    std::vector<std::string> rows;
    for (int row = 0; row < ListView_GetItemCount(list); ++row)
        rows.push_back(Cell(list, row, 0) + " | " + Cell(list, row, 3));
    return rows;
}

std::string Text(HWND dialog, int id)
{
    char text[1024] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

RECT RectIn(HWND dialog, int id)
{
    RECT rect;
    GetWindowRect(GetDlgItem(dialog, id), &rect);
    MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::function<void(HWND)> g_check;
bool g_checked = false;

VOID CALLBACK CheckAndClose(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = GetActiveWindow();
    if (!dialog || !GetDlgItem(dialog, IDC_PROFILE_LIST))
        return;
    KillTimer(nullptr, timer);
    g_check(dialog);
    g_checked = true;
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
}

// Opens the dialog modally, runs check on it as shown, and closes it.
void WithDialog(CProfileDlg::Mode mode, const std::function<void(HWND)>& check)
{
    g_check = check;
    g_checked = false;
    SetTimer(nullptr, 0, 20, CheckAndClose);
    CProfileDlg dialog(kResults, mode);
    dialog.DoModal();
    EXPECT_TRUE(g_checked) << "the dialog did not come up";
}

} // namespace

TEST(ProfileDlgTest, ListsWhatGoesWrongAndWhatChangesFirstAndCanHideTheRest)
{
    WithDialog(CProfileDlg::RESULTS, [](HWND dialog) {
        EXPECT_EQ(Rows(dialog),
                  (std::vector<std::string>{
                      "sampling rate | refused: " + kStreaming + " (KVX_USB_E_STREAMING_ACTIVE)",
                      "asio depth | refused: the driver said no (0x00001234)",
                      "stream depth | skipped: " + kNotRead, "clock source | applied",
                      "device name | unchanged", "wdm depth | unchanged"}));
        EXPECT_EQ(Text(dialog, IDC_PROFILE_SUMMARY),
                  "1 applied, 2 unchanged, 2 refused, 1 skipped");

        // The second row selected, then the unchanged ones hidden: it stays selected.
        HWND list = GetDlgItem(dialog, IDC_PROFILE_LIST);
        ListView_SetItemState(list, 1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        SendMessageA(GetDlgItem(dialog, IDC_PROFILE_HIDE_UNCHANGED), BM_CLICK, 0, 0);
        EXPECT_EQ(Rows(dialog).size(), 4u);
        EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_SELECTED), 1);
        EXPECT_EQ(Text(dialog, IDC_PROFILE_REASON),
                  "asio depth: 1 -> 2\r\nrefused: the driver said no (0x00001234)");
        SendMessageA(GetDlgItem(dialog, IDC_PROFILE_HIDE_UNCHANGED), BM_CLICK, 0, 0);
        EXPECT_EQ(Rows(dialog).size(), kResults.size());
    });
}

TEST(ProfileDlgTest, TheSelectedReasonIsReadWholeAndTheListFollowsTheWindowsSize)
{
    WithDialog(CProfileDlg::PLAN, [](HWND dialog) {
        // The first row is selected and its whole reason shown, on as many lines as it takes.
        EXPECT_EQ(Text(dialog, IDC_PROFILE_REASON),
                  "sampling rate: 1 -> 2\r\nrefused: " + kStreaming +
                      " (KVX_USB_E_STREAMING_ACTIVE)");
        const LONG style = GetWindowLongA(GetDlgItem(dialog, IDC_PROFILE_REASON), GWL_STYLE);
        EXPECT_TRUE(style & ES_MULTILINE);
        EXPECT_FALSE(style & ES_AUTOHSCROLL) << "long lines wrap";
        EXPECT_TRUE(style & ES_READONLY);
        EXPECT_TRUE(GetWindowLongA(dialog, GWL_STYLE) & WS_THICKFRAME) << "resizable";

        HWND list = GetDlgItem(dialog, IDC_PROFILE_LIST);
        auto columnsFill = [list] {
            RECT client;
            GetClientRect(list, &client);
            int width = 0;
            for (int column = 0; column < 4; ++column)
                width += ListView_GetColumnWidth(list, column);
            EXPECT_EQ(client.right, width) << "no sideways scrolling";
        };
        columnsFill();
        RECT window;
        GetWindowRect(dialog, &window);
        const RECT listBefore = RectIn(dialog, IDC_PROFILE_LIST);
        const RECT okBefore = RectIn(dialog, IDOK);
        const RECT reasonBefore = RectIn(dialog, IDC_PROFILE_REASON);
        SetWindowPos(dialog, nullptr, 0, 0, window.right - window.left + 200,
                     window.bottom - window.top + 120, SWP_NOMOVE | SWP_NOZORDER);
        const RECT listAfter = RectIn(dialog, IDC_PROFILE_LIST);
        EXPECT_EQ(listAfter.right - listAfter.left, listBefore.right - listBefore.left + 200);
        EXPECT_EQ(listAfter.bottom - listAfter.top, listBefore.bottom - listBefore.top + 120);
        const RECT okAfter = RectIn(dialog, IDOK);
        EXPECT_EQ(okAfter.left, okBefore.left + 200);
        EXPECT_EQ(okAfter.top, okBefore.top + 120);
        const RECT reasonAfter = RectIn(dialog, IDC_PROFILE_REASON);
        EXPECT_EQ(reasonAfter.right, reasonBefore.right + 200);
        EXPECT_EQ(reasonAfter.top, reasonBefore.top + 120);
        columnsFill();

        // It may not shrink below the size it opened at, at its DPI.
        MINMAXINFO limits = {};
        SendMessageA(dialog, WM_GETMINMAXINFO, 0, LPARAM(&limits));
        EXPECT_EQ(limits.ptMinTrackSize.x, window.right - window.left);
        EXPECT_EQ(limits.ptMinTrackSize.y, window.bottom - window.top);

        // Moved to a screen at 150 % of its scale: the lengths given in pixels follow, and
        // once the dialog manager has made the window larger the columns fill it again.
        const UINT dpi = AfxGetWindowDpi(dialog), to = dpi * 3 / 2;
        const int settingWidth = ListView_GetColumnWidth(list, 0);
        GetWindowRect(dialog, &window);
        const int height = window.bottom - window.top - 120; // as it opened
        RECT suggested = window;
        suggested.right = window.left + MulDiv(window.right - window.left, int(to), int(dpi));
        suggested.bottom = window.top + MulDiv(window.bottom - window.top, int(to), int(dpi));
        SendMessageA(dialog, WM_DPICHANGED, MAKEWPARAM(to, to), LPARAM(&suggested));
        EXPECT_EQ(ListView_GetColumnWidth(list, 0), MulDiv(settingWidth, int(to), int(dpi)));
        SendMessageA(dialog, WM_GETMINMAXINFO, 0, LPARAM(&limits));
        EXPECT_EQ(limits.ptMinTrackSize.y, MulDiv(height, int(to), int(dpi)));
        SetWindowPos(dialog, nullptr, suggested.left, suggested.top,
                     suggested.right - suggested.left, suggested.bottom - suggested.top,
                     SWP_NOZORDER);
        columnsFill();
    });
}
