// The plan and results dialog over hand-built results, read as a user reads it: what goes
// wrong and what changes first, refusals in words and then by name, the unchanged settings
// hidden on request, the selected setting's whole reason under the list, and a layout that
// follows the window's size and DPI without scrolling sideways.
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

// A setting going from "1" to "2".
CSettingResult Result(const char* setting, CSettingOutcome outcome, DWORD status = 0,
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

// In the order of a load.
const std::vector<CSettingResult> kResults = {
    Result("device name", CSettingOutcome::Unchanged),
    Result("sampling rate", CSettingOutcome::Refused, 0xE0000047, kStreaming),
    Result("clock source", CSettingOutcome::Applied),
    Result("stream depth", CSettingOutcome::Skipped, 0, kNotRead),
    Result("asio depth", CSettingOutcome::Refused, 0x1234, "the driver said no"),
    Result("wdm depth", CSettingOutcome::Unchanged),
};

// "setting | result" for each row.
std::vector<std::string> Rows(HWND list)
{
    std::vector<std::string> rows;
    char setting[256], result[256];
    for (int row = 0; row < ListView_GetItemCount(list); ++row) {
        ListView_GetItemText(list, row, 0, setting, sizeof setting);
        ListView_GetItemText(list, row, 3, result, sizeof result);
        rows.push_back(std::string(setting) + " | " + result);
    }
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

// Together as wide as the list's client area: nothing to scroll sideways.
void ExpectColumnsFill(HWND list)
{
    RECT client;
    GetClientRect(list, &client);
    int width = 0;
    for (int column = 0; column < 4; ++column)
        width += ListView_GetColumnWidth(list, column);
    EXPECT_EQ(client.right, width);
}

std::function<void(HWND dialog, HWND list)> g_check;

VOID CALLBACK CheckAndClose(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = GetActiveWindow();
    if (!dialog || !GetDlgItem(dialog, IDC_PROFILE_LIST))
        return;
    KillTimer(nullptr, timer);
    g_check(dialog, GetDlgItem(dialog, IDC_PROFILE_LIST));
    g_check = nullptr;
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
}

// Opens the dialog modally, runs check on it as shown, and closes it.
void WithDialog(CProfileDlg::Mode mode, const std::function<void(HWND, HWND)>& check)
{
    g_check = check;
    SetTimer(nullptr, 0, 20, CheckAndClose);
    CProfileDlg(kResults, mode).DoModal();
    EXPECT_FALSE(g_check) << "the dialog did not come up";
}

} // namespace

TEST(ProfileDlgTest, ListsWhatGoesWrongAndWhatChangesFirstAndCanHideTheRest)
{
    WithDialog(CProfileDlg::RESULTS, [](HWND dialog, HWND list) {
        EXPECT_EQ(Rows(list),
                  (std::vector<std::string>{
                      "sampling rate | refused: " + kStreaming + ": KVX_USB_E_STREAMING_ACTIVE (0xE0000047)",
                      "asio depth | refused: the driver said no: 0x00001234",
                      "stream depth | skipped: " + kNotRead, "clock source | applied",
                      "device name | unchanged", "wdm depth | unchanged"}));
        // The second row selected, then the unchanged ones hidden: it stays selected.
        ListView_SetItemState(list, 1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        SendMessageA(GetDlgItem(dialog, IDC_PROFILE_HIDE_UNCHANGED), BM_CLICK, 0, 0);
        EXPECT_EQ(Rows(list).size(), 4u);
        EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_SELECTED), 1);
        EXPECT_EQ(Text(dialog, IDC_PROFILE_REASON),
                  "asio depth: 1 -> 2\r\nrefused: the driver said no: 0x00001234");
        SendMessageA(GetDlgItem(dialog, IDC_PROFILE_HIDE_UNCHANGED), BM_CLICK, 0, 0);
        EXPECT_EQ(Rows(list).size(), kResults.size());
    });
}

TEST(ProfileDlgTest, TheReasonIsReadWholeAndTheLayoutFollowsSizeAndDpi)
{
    WithDialog(CProfileDlg::PLAN, [](HWND dialog, HWND list) {
        // The first row's whole reason, wrapped as it needs.
        EXPECT_EQ(Text(dialog, IDC_PROFILE_REASON),
                  "sampling rate: 1 -> 2\r\nrefused: " + kStreaming +
                      ": KVX_USB_E_STREAMING_ACTIVE (0xE0000047)");
        const LONG style = GetWindowLongA(GetDlgItem(dialog, IDC_PROFILE_REASON), GWL_STYLE);
        EXPECT_EQ(style & (ES_MULTILINE | ES_AUTOHSCROLL), ES_MULTILINE);
        ExpectColumnsFill(list);

        // 200 pixels wider, 120 higher: the list grows, the reason and buttons follow.
        const RECT listWas = RectIn(dialog, IDC_PROFILE_LIST), okWas = RectIn(dialog, IDOK);
        const RECT reasonWas = RectIn(dialog, IDC_PROFILE_REASON);
        RECT window;
        GetWindowRect(dialog, &window);
        const int cx = window.right - window.left, cy = window.bottom - window.top;
        SetWindowPos(dialog, nullptr, 0, 0, cx + 200, cy + 120, SWP_NOMOVE | SWP_NOZORDER);
        const RECT listIs = RectIn(dialog, IDC_PROFILE_LIST), okIs = RectIn(dialog, IDOK);
        const RECT reasonIs = RectIn(dialog, IDC_PROFILE_REASON);
        EXPECT_EQ(listIs.right - listWas.right, 200);
        EXPECT_EQ(listIs.bottom - listWas.bottom, 120);
        EXPECT_EQ(reasonIs.right - reasonWas.right, 200);
        EXPECT_EQ(reasonIs.top - reasonWas.top, 120);
        EXPECT_EQ(okIs.left - okWas.left, 200);
        EXPECT_EQ(okIs.top - okWas.top, 120);
        ExpectColumnsFill(list);
        MINMAXINFO limits = {};
        SendMessageA(dialog, WM_GETMINMAXINFO, 0, LPARAM(&limits));
        EXPECT_EQ(limits.ptMinTrackSize.x, cx) << "no smaller than it opened";

        // At 150 % of its scale the pixel widths follow; once the dialog manager has made the
        // window larger, the columns fill the list again.
        const UINT dpi = AfxGetWindowDpi(dialog), to = dpi * 3 / 2;
        const int settingWidth = ListView_GetColumnWidth(list, 0);
        SendMessageA(dialog, WM_DPICHANGED, MAKEWPARAM(to, to), LPARAM(&window));
        EXPECT_EQ(ListView_GetColumnWidth(list, 0), MulDiv(settingWidth, int(to), int(dpi)));
        SetWindowPos(dialog, nullptr, 0, 0, MulDiv(cx, int(to), int(dpi)),
                     MulDiv(cy, int(to), int(dpi)), SWP_NOMOVE | SWP_NOZORDER);
        ExpectColumnsFill(list);
    });
}
