// The control panel in a high-contrast scheme, white on black, as a user of it sees it: the
// tree's icons and the tray icon in the system's text colour, the status bar and the list
// headings in the system's button colours; and a running panel that follows when the colours
// change. CTest runs it on the bench's high-contrast prefix (scripts/wine-bench.sh contrast),
// whose visual style is off as under a Windows high-contrast scheme. Wine never reports the
// scheme's flag (SPI_GETHIGHCONTRAST): the panel knows it there by its dark window colour.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <map>
#include <vector>

#include "Drv.h"
#include "KVX_USB_CPL.h"
#include "KVX_USB_CPLView.h"
#include "MainFrm.h"
#include "MessagePump.h"
#include "SettledView.h"
#include "DrawnPixels.h"
#include "PanelInProcess.h"
#include "SimDriverProcess.h"

CKVX_USB_CPLApp theApp;
CDrv theDrv;

namespace {

// The colours of the icon's pixels that are not fully transparent.
std::vector<COLORREF> IconColours(HICON icon)
{
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info))
        return {};
    BITMAP size = {};
    GetObjectA(info.hbmColor, sizeof size, &size);
    BITMAPINFO format = {};
    format.bmiHeader = {
        sizeof(BITMAPINFOHEADER), size.bmWidth, -size.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<DWORD> pixels(size_t(size.bmWidth) * size.bmHeight);
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, info.hbmColor, 0, size.bmHeight, pixels.data(), &format, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    std::vector<COLORREF> colours;
    for (DWORD pixel : pixels)
        if (pixel >> 24)
            colours.push_back(RGB(BYTE(pixel >> 16), BYTE(pixel >> 8), BYTE(pixel)));
    return colours;
}

// Whether the colour lies between the two, as the edge of a smoothed text or line does.
bool IsBlend(COLORREF colour, COLORREF from, COLORREF to)
{
    double low = 0, high = 1;
    for (int shift : {0, 8, 16}) {
        const int c = (colour >> shift) & 0xFF, a = (from >> shift) & 0xFF,
                  b = (to >> shift) & 0xFF;
        if (a == b) {
            if (std::abs(c - a) > 2)
                return false;
            continue;
        }
        const double t = double(c - a) / (b - a), slack = 2.0 / std::abs(b - a);
        low = std::max(low, t - slack);
        high = std::min(high, t + slack);
    }
    return low <= high;
}

COLORREF MostFrequent(const std::vector<COLORREF>& pixels)
{
    std::map<COLORREF, int> counts;
    for (COLORREF pixel : pixels)
        ++counts[pixel];
    return std::max_element(counts.begin(), counts.end(),
                            [](const auto& a, const auto& b) { return a.second < b.second; })
        ->first;
}

// A control's text as the user reads it: on the background colour, drawn in the text colour
// (its darkest or brightest pixels that colour exactly).
void ExpectTextInColours(HWND hwnd, int background, int text, const char* what)
{
    RECT client;
    GetClientRect(hwnd, &client);
    const std::vector<COLORREF> pixels = DrawnPixels(hwnd, client);
    EXPECT_EQ(GetSysColor(background), MostFrequent(pixels)) << what << ": its background";
    EXPECT_NE(pixels.end(), std::find(pixels.begin(), pixels.end(), GetSysColor(text)))
        << what << ": no pixel in the text colour";
}

class HighContrastTest : public ::testing::Test {
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
    void SetUp() override
    {
        ASSERT_EQ(RGB(0, 0, 0), GetSysColor(COLOR_WINDOW)) << "not the high-contrast prefix";
    }

    static CMainFrame& Frame() { return *static_cast<CMainFrame*>(theApp.m_pMainWnd); }
    static CKVX_USB_CPLView& View()
    {
        return *static_cast<CKVX_USB_CPLView*>(Frame().GetActiveView());
    }
    static HIMAGELIST TreeImages()
    {
        return TreeView_GetImageList(View().m_PageTree.m_hWnd, TVSIL_NORMAL);
    }
    // Whether every tree icon and the tray icon are drawn in the system's text colours alone.
    static bool IconsInTextColours()
    {
        for (int i = 0; i < ImageList_GetImageCount(TreeImages()); ++i) {
            HICON icon = ImageList_GetIcon(TreeImages(), i, ILD_NORMAL);
            const std::vector<COLORREF> colours = IconColours(icon);
            DestroyIcon(icon);
            for (COLORREF colour : colours)
                if (colour != GetSysColor(COLOR_WINDOWTEXT))
                    return false;
        }
        for (COLORREF colour : IconColours(theApp.m_hTrayIcon.Get()))
            if (colour != GetSysColor(COLOR_BTNTEXT))
                return false;
        return true;
    }

    static SimDriverProcess* g_sim;
};

SimDriverProcess* HighContrastTest::g_sim = nullptr;

TEST_F(HighContrastTest, IconsAreDrawnInTheSystemTextColour)
{
    EXPECT_TRUE(IconsInTextColours());
    // As the tree draws them: each item's icon on the window colour, in the text colour.
    HWND tree = View().m_PageTree.m_hWnd;
    int cx = 0, cy = 0;
    ImageList_GetIconSize(TreeImages(), &cx, &cy);
    for (HTREEITEM item = TreeView_GetRoot(tree); item;
         item = TreeView_GetNextSibling(tree, item)) {
        RECT text;
        ASSERT_TRUE(TreeView_GetItemRect(tree, item, &text, TRUE));
        const RECT icon = {std::max<LONG>(0, text.left - cx - 3), text.top, text.left, text.bottom};
        const std::vector<COLORREF> pixels = DrawnPixels(tree, icon);
        for (COLORREF pixel : pixels)
            ASSERT_TRUE(IsBlend(pixel, GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOWTEXT)))
                << "a pixel of colour " << std::hex << pixel << " beside item at " << std::dec
                << text.top;
        EXPECT_NE(pixels.end(),
                  std::find(pixels.begin(), pixels.end(), GetSysColor(COLOR_WINDOWTEXT)))
            << "no icon beside the item at " << text.top;
    }
}

TEST_F(HighContrastTest, StatusBarAndListHeadingsAreInTheButtonColours)
{
    ExpectTextInColours(Frame().m_wndStatusBar.m_hWnd, COLOR_BTNFACE, COLOR_BTNTEXT, "status bar");
    View().ShowPage(PAGE_DEVICES);
    HWND header = ListView_GetHeader(View().m_DevicesPage.m_DeviceList.m_hWnd);
    ExpectTextInColours(header, COLOR_BTNFACE, COLOR_BTNTEXT, "the devices list's headings");
}

TEST_F(HighContrastTest, ARunningPanelFollowsAChangeOfColours)
{
    // The scheme switched off: light colours, as Windows' defaults.
    const int elements[] = {COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_BTNFACE, COLOR_BTNTEXT};
    COLORREF scheme[4],
        light[4] = {RGB(255, 255, 255), RGB(0, 0, 0), RGB(240, 240, 240), RGB(0, 0, 0)};
    for (int i = 0; i < 4; ++i)
        scheme[i] = GetSysColor(elements[i]);
    ASSERT_TRUE(SetSysColors(4, elements, light));
    EXPECT_TRUE(PumpUntil([] { return !IconsInTextColours(); }))
        << "the icons stayed in one colour";
    ExpectTextInColours(Frame().m_wndStatusBar.m_hWnd, COLOR_BTNFACE, COLOR_BTNTEXT, "status bar");
    // And on again.
    ASSERT_TRUE(SetSysColors(4, elements, scheme));
    EXPECT_TRUE(PumpUntil(IconsInTextColours)) << "the icons kept their own colours";
    ExpectTextInColours(Frame().m_wndStatusBar.m_hWnd, COLOR_BTNFACE, COLOR_BTNTEXT, "status bar");
}

} // namespace

// The drop-out graph of a known history: its bars, frame and background in the system colours
// at this scale.
TEST_F(HighContrastTest, TheDropOutGraphIsDrawnInTheSystemColours)
{
    View().ShowPage(PAGE_SETTINGS);
    ExpectBarsDrawn(View().m_SettingsPage.m_DropOuts.m_Graph);
}
