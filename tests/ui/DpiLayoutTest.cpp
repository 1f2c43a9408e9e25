// The control panel laid out at the bench's DPI, as a user at that scale would see it: every
// control of the main window, of each page and of each dialog inside its parent, no two
// overlapping, no text cut; and the lengths the program gives in pixels scaled from 96 DPI.
// CTest runs this program once per scale, each on a Wine prefix set to that DPI
// (scripts/wine-bench.sh dpi).
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "Drv.h"
#include "KVX_USB_CPL.h"
#include "DrawnPixels.h"
#include "KVX_USB_CPLView.h"
#include "MainFrm.h"
#include "ProfileDlg.h"
#include "MessagePump.h"
#include "SettledView.h"
#include "PanelInProcess.h"
#include "SimDriverProcess.h"
#include "SystemColours.h"
#include "WindowText.h"
#include "resource.h"

CKVX_USB_CPLApp theApp;
CDrv theDrv;

namespace {

// A control's name in a failure message: its class, id and text.
std::string Describe(HWND hwnd)
{
    return ClassOf(hwnd) + " " + std::to_string(GetDlgCtrlID(hwnd)) + " \"" + TextOf(hwnd) + "\"";
}

RECT RectInParent(HWND hwnd)
{
    RECT rect;
    GetWindowRect(hwnd, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool Inside(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

bool IsGroupBox(HWND hwnd)
{
    return ClassOf(hwnd) == "Button" && (GetWindowLongA(hwnd, GWL_STYLE) & 0xF) == BS_GROUPBOX;
}

// A separator line is drawn with a 2-pixel etched edge beyond its template's rectangle; the
// form's lines run to its very edges, so that edge is clipped, as it always was. Scaled to
// another DPI, the line keeps that edge grown with it: only where it starts counts.
RECT WithoutEtchedEdge(HWND hwnd, RECT rect)
{
    const LONG type = GetWindowLongA(hwnd, GWL_STYLE) & SS_TYPEMASK;
    if (ClassOf(hwnd) == "Static" && (type == SS_ETCHEDHORZ || type == SS_ETCHEDVERT)) {
        rect.right = rect.left;
        rect.bottom = rect.top;
    }
    return rect;
}

std::vector<HWND> VisibleChildren(HWND parent)
{
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE)
            children.push_back(child);
    return children;
}

// How large the control's text is drawn in its own font, within the width its text has.
SIZE DrawnTextSize(HWND hwnd, int width, UINT format)
{
    const std::string text = TextOf(hwnd);
    HDC dc = GetDC(hwnd);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(hwnd, WM_GETFONT, 0, 0)));
    RECT rect = {0, 0, width, 0};
    DrawTextA(dc, text.c_str(), -1, &rect, format | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    return {rect.right, rect.bottom};
}

// Whether the control's caption is shown whole: wrapped lines must fit its height, a single
// line its width, beside the check box of a check box or radio button and within the frame
// of a push button.
void ExpectTextFits(HWND hwnd)
{
    const std::string cls = ClassOf(hwnd);
    const LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    if (TextOf(hwnd).empty() || (cls != "Static" && cls != "Button"))
        return;
    RECT client;
    GetClientRect(hwnd, &client);
    int room = client.right;
    bool wraps = false;
    UINT format = 0;
    if (cls == "Static") {
        const LONG type = style & SS_TYPEMASK;
        if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT)
            return;
        wraps = true;
        format = (style & SS_NOPREFIX) ? DT_NOPREFIX : 0;
    } else {
        const LONG type = style & 0xF;
        const int edge = 2 * GetSystemMetrics(SM_CXEDGE);
        if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
            type == BS_AUTORADIOBUTTON)
            room -= GetSystemMetrics(SM_CXMENUCHECK) + edge;
        else if (type == BS_GROUPBOX)
            room -= 4 * edge;
        else
            room -= 2 * edge;
        wraps = (style & BS_MULTILINE) != 0;
    }
    const SIZE drawn = DrawnTextSize(hwnd, room, format | (wraps ? DT_WORDBREAK : DT_SINGLELINE));
    EXPECT_LE(drawn.cx, room) << Describe(hwnd) << ": text cut at the right";
    if (wraps) {
        EXPECT_LE(drawn.cy, client.bottom) << Describe(hwnd) << ": lines cut at the bottom";
    }
}

// Every visible child inside the parent's client area with its text whole, and no two
// overlapping but a group box and a control it frames.
void ExpectCleanLayout(HWND parent)
{
    SCOPED_TRACE(Describe(parent));
    RECT client;
    GetClientRect(parent, &client);
    const std::vector<HWND> children = VisibleChildren(parent);
    for (HWND child : children) {
        const RECT rect = WithoutEtchedEdge(child, RectInParent(child));
        EXPECT_TRUE(Inside(rect, client))
            << Describe(child) << " at " << rect.left << "," << rect.top << "-" << rect.right << ","
            << rect.bottom << " sticks out of " << client.right << "x" << client.bottom;
        ExpectTextFits(child);
    }
    for (size_t i = 0; i < children.size(); ++i)
        for (size_t j = i + 1; j < children.size(); ++j) {
            const RECT a = RectInParent(children[i]), b = RectInParent(children[j]);
            RECT overlap;
            if (!IntersectRect(&overlap, &a, &b))
                continue;
            const bool framed = (IsGroupBox(children[i]) && Inside(b, a)) ||
                                (IsGroupBox(children[j]) && Inside(a, b));
            EXPECT_TRUE(framed) << Describe(children[i]) << " overlaps " << Describe(children[j])
                                << " at " << overlap.left << "," << overlap.top << "-"
                                << overlap.right << "," << overlap.bottom;
        }
}

// Every template's FONT is 8 points: the height the dialog manager gives it at this DPI.
LONG TemplateFontHeight(UINT dpi)
{
    return -MulDiv(8, int(dpi), 72);
}

// The height of the window's font; 0 for a control without one (a slider).
LONG FontHeight(HWND hwnd)
{
    LOGFONTA font = {};
    const HGDIOBJ handle = reinterpret_cast<HGDIOBJ>(SendMessageA(hwnd, WM_GETFONT, 0, 0));
    return handle && GetObjectA(handle, sizeof font, &font) ? font.lfHeight : 0;
}

// The window made from a template and each of its controls that has a font, in the
// template's font at this DPI.
void ExpectTemplateFontAt(UINT dpi, HWND dialog)
{
    EXPECT_EQ(TemplateFontHeight(dpi), FontHeight(dialog)) << Describe(dialog);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (const LONG height = FontHeight(child)) {
            EXPECT_EQ(TemplateFontHeight(dpi), height) << Describe(child) << " at " << dpi;
        }
}

// How far the drop-down list of the combo box opens.
LONG DroppedHeight(HWND combo)
{
    RECT dropped = {};
    SendMessageA(combo, CB_GETDROPPEDCONTROLRECT, 0, LPARAM(&dropped));
    return dropped.bottom - dropped.top;
}

int g_modalsChecked = 0;

// Within a modal dialog's message loop: checks the dialog and cancels it.
void CALLBACK CheckActiveModal(HWND, UINT, UINT_PTR, DWORD)
{
    HWND dialog = GetActiveWindow();
    if (!dialog || dialog == theApp.m_pMainWnd->m_hWnd || ClassOf(dialog) != "#32770")
        return;
    ExpectCleanLayout(dialog);
    ExpectTemplateFontAt(AfxGetWindowDpi(dialog), dialog);
    ++g_modalsChecked;
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
}

// Runs open(), which shows a modal dialog and returns when it has ended.
void ExpectCleanModal(const std::function<void()>& open)
{
    const int before = g_modalsChecked;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, CheckActiveModal);
    open();
    KillTimer(nullptr, timer);
    EXPECT_EQ(before + 1, g_modalsChecked) << "the dialog did not come up";
}

class DpiLayoutTest : public ::testing::Test {
public:
    static void SetUpTestSuite()
    {
        g_sim = new SimDriverProcess;
        StartPanelInProcess(*g_sim);
    }
    static void TearDownTestSuite()
    {
        delete g_sim;
        g_sim = nullptr;
    }

    static CMainFrame& Frame() { return *static_cast<CMainFrame*>(theApp.m_pMainWnd); }
    static CKVX_USB_CPLView& View()
    {
        return *static_cast<CKVX_USB_CPLView*>(Frame().GetActiveView());
    }
    static std::vector<CDialogPage*> Pages()
    {
        CKVX_USB_CPLView& v = View();
        return {&v.m_DevicesPage, &v.m_InputChannelsPage, &v.m_OutputChannelsPage, &v.m_SyncPage,
                &v.m_SettingsPage};
    }
    static int Scaled(int length) { return MulDiv(length, int(Dpi()), 96); }
    static UINT Dpi() { return AfxGetWindowDpi(Frame().m_hWnd); }
    // Selects the list's first row and presses the button, which opens a name dialog.
    static void EditFirstRow(CDialogPage& page, int listId, int buttonId)
    {
        HWND list = page.GetDlgItem(listId);
        ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        SendMessageA(page.GetDlgItem(buttonId), BM_CLICK, 0, 0);
    }

    static SimDriverProcess* g_sim;
};

SimDriverProcess* DpiLayoutTest::g_sim = nullptr;

TEST_F(DpiLayoutTest, RunsAtTheBenchsScale)
{
    // What CTest asked for: a run at 96 DPI proves nothing about 144.
    char wanted[16] = "";
    if (GetEnvironmentVariableA("KVX_TEST_DPI", wanted, sizeof wanted)) {
        EXPECT_EQ(std::to_string(Dpi()), wanted) << "the prefix's LogPixels did not take";
    }
    std::printf("laid out at %u DPI\n", Dpi());
}

TEST_F(DpiLayoutTest, MainWindowEveryPageAndEveryDialogLayOutCleanly)
{
    ExpectCleanLayout(Frame().m_hWnd);
    ExpectCleanLayout(View().m_hWnd);
    for (CDialogPage* page : Pages())
        ExpectCleanLayout(page->m_hWnd);
    ExpectCleanModal([] { Frame().SendMessage(WM_COMMAND, ID_APP_ABOUT); });
    ExpectCleanModal(
        [] { EditFirstRow(View().m_DevicesPage, IDC_DEVICE_LIST, IDC_DEVICE_EDIT_NAME); });
    ExpectCleanModal(
        [] { EditFirstRow(View().m_InputChannelsPage, IDC_CHANNEL_LIST, IDC_CHANNEL_EDIT_NAME); });
    const std::vector<CSettingResult> results(2);
    ExpectCleanModal([&results] { CProfileDlg(results, CProfileDlg::RESULTS).DoModal(); });
}

// The lengths given in pixels at 96 DPI, as laid out for this DPI.
void ExpectLaidOutFor(UINT dpi)
{
    SCOPED_TRACE(std::to_string(dpi) + " DPI");
    auto Scaled = [dpi](int length) { return MulDiv(length, int(dpi), 96); };
    for (CDialogPage* page : DpiLayoutTest::Pages()) {
        const RECT rect = RectInParent(page->m_hWnd);
        EXPECT_EQ(Scaled(140), rect.left);
        EXPECT_EQ(Scaled(2), rect.top);
    }
    struct Column {
        CListCtrlEx& list;
        int column;
        int width;
    };
    CKVX_USB_CPLView& v = DpiLayoutTest::View();
    const Column columns[] = {{v.m_DevicesPage.m_DeviceList, 0, 235},
                              {v.m_DevicesPage.m_DeviceList, 1, 220},
                              {v.m_InputChannelsPage.m_ChannelList, 0, 160},
                              {v.m_InputChannelsPage.m_ChannelList, 1, 160},
                              {v.m_OutputChannelsPage.m_ChannelList, 2, 180}};
    for (const Column& c : columns)
        EXPECT_EQ(Scaled(c.width), ListView_GetColumnWidth(c.list.m_hWnd, c.column))
            << "column " << c.column;

    UINT id = 0, style = 0;
    int paneWidths[2] = {};
    for (int pane : {0, 1})
        DpiLayoutTest::Frame().m_wndStatusBar.GetPaneInfo(pane, id, style, paneWidths[pane]);
    EXPECT_EQ(Scaled(200), paneWidths[0]);
    EXPECT_EQ(Scaled(150), paneWidths[1]);
    int edges[2] = {};
    ASSERT_EQ(2, DpiLayoutTest::Frame().m_wndStatusBar.SendMessage(SB_GETPARTS, 2, LPARAM(edges)));
    EXPECT_GE(edges[0], Scaled(200)) << "the stretching pane";

    int cx = 0, cy = 0;
    ImageList_GetIconSize(TreeView_GetImageList(v.m_PageTree.m_hWnd, TVSIL_NORMAL), &cx, &cy);
    EXPECT_EQ(Scaled(16), cx);
    EXPECT_EQ(Scaled(16), cy);
    EXPECT_EQ(Scaled(180), v.m_SettingsPage.m_ToolTip.SendMessage(TTM_GETMAXTIPWIDTH));
}

TEST_F(DpiLayoutTest, PixelLengthsAreThoseAt96DpiScaled)
{
    ExpectLaidOutFor(Dpi());
    ICONINFO tray = {};
    ASSERT_TRUE(GetIconInfo(theApp.m_hTrayIcon.Get(), &tray));
    BITMAP mask = {};
    GetObjectA(tray.hbmMask, sizeof mask, &mask);
    DeleteObject(tray.hbmMask);
    DeleteObject(tray.hbmColor);
    EXPECT_EQ(GetSystemMetrics(SM_CXSMICON), mask.bmWidth) << "the tray icon";
}

// What the system suggests on a change of DPI: the window where it is, its size scaled.
RECT SuggestedRect(UINT from, UINT to)
{
    RECT rect;
    GetWindowRect(DpiLayoutTest::Frame().m_hWnd, &rect);
    rect.right = rect.left + MulDiv(rect.right - rect.left, int(to), int(from));
    rect.bottom = rect.top + MulDiv(rect.bottom - rect.top, int(to), int(from));
    return rect;
}

// The frame's DPI changes from one to the other as Wine never changes it: no size asked first.
void ChangeDpi(UINT from, UINT to)
{
    RECT suggested = SuggestedRect(from, to);
    DpiLayoutTest::Frame().SendMessage(WM_DPICHANGED, MAKEWPARAM(to, to), LPARAM(&suggested));
}

TEST_F(DpiLayoutTest, ADpiChangeTakesTheSuggestedPlaceAndLaysOutAgain)
{
    const UINT dpi = Dpi();
    RECT before;
    GetWindowRect(Frame().m_hWnd, &before);
    const LONG statusFontHeight = FontHeight(Frame().m_wndStatusBar.m_hWnd);
    const HWND rates = View().m_SyncPage.GetDlgItem(IDC_RATE_LIST);
    const LONG ratesDropped = DroppedHeight(rates);
    // To another scale and back, the window staying on the bench's screen.
    for (const UINT to : {dpi == 144 ? 120u : 144u, dpi}) {
        ChangeDpi(to == dpi ? (dpi == 144 ? 120u : 144u) : dpi, to);
        // Where the system put it, as large as the form is at that scale.
        RECT now;
        GetWindowRect(Frame().m_hWnd, &now);
        EXPECT_EQ(before.left, now.left) << to << " DPI";
        EXPECT_EQ(before.top, now.top) << to << " DPI";
        ExpectLaidOutFor(to);
        // Fonts made anew for that DPI, the controls grown with them and still clean.
        EXPECT_NEAR(MulDiv(statusFontHeight, int(to), int(dpi)),
                    FontHeight(Frame().m_wndStatusBar.m_hWnd), 1)
            << "the status bar's font at " << to << " DPI";
        ExpectTemplateFontAt(to, View().m_hWnd);
        EXPECT_EQ(ratesDropped, DroppedHeight(rates)) << "the rate list still opens as far";
        ExpectCleanLayout(Frame().m_hWnd);
        ExpectCleanLayout(View().m_hWnd);
        for (CDialogPage* page : Pages()) {
            ExpectTemplateFontAt(to, page->m_hWnd);
            ExpectCleanLayout(page->m_hWnd);
        }
    }
}

// Each window of the frame, the frame first, as a line: class, id, rectangle on the screen and
// font height; each list's column widths and the status bar's part edges.
BOOL CALLBACK AddWindow(HWND hwnd, LPARAM windows)
{
    reinterpret_cast<std::vector<HWND>*>(windows)->push_back(hwnd);
    return TRUE;
}

std::vector<std::string> LayoutOf(HWND frame)
{
    std::vector<HWND> windows = {frame};
    EnumChildWindows(frame, AddWindow, LPARAM(&windows));
    std::vector<std::string> lines;
    for (HWND hwnd : windows) {
        RECT r;
        GetWindowRect(hwnd, &r);
        std::string line = Describe(hwnd) + " " + std::to_string(r.left) + "," +
                           std::to_string(r.top) + "-" + std::to_string(r.right) + "," +
                           std::to_string(r.bottom) + " font " + std::to_string(FontHeight(hwnd));
        if (ClassOf(hwnd) == WC_LISTVIEWA)
            for (int column = 0; column < 4; ++column)
                line += " " + std::to_string(ListView_GetColumnWidth(hwnd, column));
        int edges[4] = {};
        if (ClassOf(hwnd) == STATUSCLASSNAMEA)
            for (int i = 0, n = int(SendMessageA(hwnd, SB_GETPARTS, 4, LPARAM(edges))); i < n; ++i)
                line += " " + std::to_string(edges[i]);
        lines.push_back(line);
    }
    return lines;
}

void ExpectSameLayout(const std::vector<std::string>& expected,
                      const std::vector<std::string>& seen)
{
    ASSERT_EQ(expected.size(), seen.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(expected[i], seen[i]);
}

TEST_F(DpiLayoutTest, ARoundTripOfScalesEndsWithTheLayoutItStartedWith)
{
    // 96 -> 144 -> 120 -> 96 from 96 DPI; from another scale through the same three and back.
    const UINT dpi = Dpi();
    const std::vector<std::string> before = LayoutOf(Frame().m_hWnd);
    UINT from = dpi;
    for (const UINT to : {144u, 120u, 96u, dpi}) {
        if (to == from)
            continue;
        ChangeDpi(from, to);
        from = to;
    }
    ExpectSameLayout(before, LayoutOf(Frame().m_hWnd));
    // Told again of the DPI it has (Windows tells the children after their frame): nothing moves.
    View().SendMessage(WM_DPICHANGED_AFTERPARENT);
    ChangeDpi(dpi, dpi);
    ExpectSameLayout(before, LayoutOf(Frame().m_hWnd));
}

// Counts the changes of the frame's size while it lives.
class FrameSizeChanges {
public:
    FrameSizeChanges()
    {
        s_count = 0;
        RECT rect;
        GetWindowRect(DpiLayoutTest::Frame().m_hWnd, &rect);
        s_size = {rect.right - rect.left, rect.bottom - rect.top};
        m_hook = SetWindowsHookExA(WH_CALLWNDPROC, Hook, nullptr, GetCurrentThreadId());
    }
    ~FrameSizeChanges() { UnhookWindowsHookEx(m_hook); }
    int Count() const { return s_count; }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam)
    {
        const CWPSTRUCT* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (code == HC_ACTION && call->message == WM_WINDOWPOSCHANGING &&
            call->hwnd == DpiLayoutTest::Frame().m_hWnd) {
            const WINDOWPOS* pos = reinterpret_cast<const WINDOWPOS*>(call->lParam);
            if (!(pos->flags & SWP_NOSIZE) && (pos->cx != s_size.cx || pos->cy != s_size.cy)) {
                s_size = {pos->cx, pos->cy};
                ++s_count;
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static int s_count;
    static SIZE s_size;
    HHOOK m_hook;
};
int FrameSizeChanges::s_count = 0;
SIZE FrameSizeChanges::s_size = {0, 0};

TEST_F(DpiLayoutTest, TheFrameIsSizedOnceAndSaysItsSizeBeforehand)
{
    const UINT dpi = Dpi(), other = dpi == 144 ? 120 : 144;
    const HWND frame = Frame().m_hWnd;
    // As Wine does it, nothing asked first: the frame holds its content at once.
    SIZE client = {};
    for (const UINT to : {other, dpi}) {
        FrameSizeChanges changes;
        ChangeDpi(to == other ? dpi : other, to);
        EXPECT_EQ(1, changes.Count()) << "to " << to << " DPI";
        if (to == other) {
            RECT rect;
            GetClientRect(frame, &rect);
            client = {rect.right, rect.bottom};
        }
    }
    // As per-monitor v2 does it: the size asked first is the one the frame is given, the
    // same client area within the borders Windows draws at that DPI.
    for (const UINT to : {other, dpi}) {
        const UINT from = to == other ? dpi : other;
        const RECT linear = SuggestedRect(from, to);
        SIZE size = {linear.right - linear.left, linear.bottom - linear.top};
        FrameSizeChanges changes;
        ASSERT_TRUE(Frame().SendMessage(WM_GETDPISCALEDSIZE, to, LPARAM(&size)));
        RECT suggested = {linear.left, linear.top, linear.left + size.cx, linear.top + size.cy};
        Frame().SendMessage(WM_DPICHANGED, MAKEWPARAM(to, to), LPARAM(&suggested));
        EXPECT_EQ(1, changes.Count()) << "to " << to << " DPI";
        RECT now;
        GetWindowRect(frame, &now);
        EXPECT_EQ(size.cx, now.right - now.left);
        EXPECT_EQ(size.cy, now.bottom - now.top);
        if (to == other) {
            RECT borders = {0, 0, 0, 0};
            ASSERT_TRUE(AfxAdjustWindowRectForDpi(&borders, Frame().GetStyle(), TRUE,
                                                  Frame().GetExStyle(), to));
            EXPECT_EQ(client.cx, size.cx - (borders.right - borders.left));
            EXPECT_EQ(client.cy, size.cy - (borders.bottom - borders.top));
        }
        ExpectLaidOutFor(to);
    }
}

} // namespace

// The drop-out graph of a known history: its bars, frame and background in the system colours
// at this scale.
TEST_F(DpiLayoutTest, TheDropOutGraphIsDrawnInTheSystemColours)
{
    View().ShowPage(PAGE_SETTINGS);
    ExpectBarsDrawn(View().m_SettingsPage.m_DropOuts.m_Graph);
}

namespace {

// The list's image as drawn in this style on the window colour, pixel by pixel.
std::vector<DWORD> DrawnImage(HIMAGELIST list, int image, UINT style)
{
    int cx = 0, cy = 0;
    ImageList_GetIconSize(list, &cx, &cy);
    DWORD* bits = nullptr;
    HBITMAP bitmap = AfxCreatePixelBitmap(cx, cy, &bits);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const RECT all = {0, 0, cx, cy};
    FillRect(dc, &all, GetSysColorBrush(COLOR_WINDOW));
    ImageList_Draw(list, image, dc, 0, 0, style);
    GdiFlush();
    std::vector<DWORD> pixels(bits, bits + cx * cy);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return pixels;
}

} // namespace

// The tree's icons at this scale draw as the system's loader gives them one by one, in every
// style the tree draws them in, and their masks too, though they are read from the resources in
// one step.
TEST_F(DpiLayoutTest, TheTreeIconsDrawAsTheSystemLoadsThem)
{
    const std::vector<UINT> ids = {IDI_INTERFACE, IDI_DEVICES, IDI_SETTINGS,
                                   IDI_JACK,      IDI_XLR,     IDI_CLOCK};
    HIMAGELIST tree = TreeView_GetImageList(View().m_PageTree.m_hWnd, TVSIL_NORMAL);
    int size = 0, cy = 0;
    ImageList_GetIconSize(tree, &size, &cy);
    ASSERT_EQ(Scaled(16), size);
    CImageList loaded;
    ASSERT_TRUE(loaded.Create(size, size, ILC_COLOR32 | ILC_MASK, 6, 1));
    for (UINT id : ids) {
        HICON icon = static_cast<HICON>(LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(id),
                                                   IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
        loaded.Add(icon);
        DestroyIcon(icon);
    }
    ASSERT_EQ(int(ids.size()), ImageList_GetImageCount(tree));
    for (int image = 0; image < int(ids.size()); ++image)
        for (UINT style : {ILD_NORMAL, ILD_TRANSPARENT, ILD_SELECTED | ILD_TRANSPARENT, ILD_MASK})
            EXPECT_EQ(DrawnImage(loaded.GetSafeHandle(), image, style),
                      DrawnImage(tree, image, style))
                << "icon " << image << ", style " << style;

    // A size no resource holds adds nothing: the caller then loads each one scaled.
    CImageList odd;
    ASSERT_TRUE(odd.Create(size + 1, size + 1, ILC_COLOR32 | ILC_MASK, 6, 1));
    EXPECT_FALSE(odd.AddResourceIcons(AfxGetResourceHandle(), ids));
    EXPECT_EQ(0, odd.GetImageCount());
}
