// Guards the test bench itself: real windows and common controls work on the virtual display.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

TEST(WineBench, WindowAndCommonControlKeepTheirState)
{
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
    ASSERT_TRUE(InitCommonControlsEx(&icc));

    HWND frame = CreateWindowExA(0, "STATIC", "bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                 300, 200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(frame, nullptr);
    HWND slider = CreateWindowExA(0, TRACKBAR_CLASSA, "", WS_CHILD | WS_VISIBLE, 0, 0, 200, 30,
                                  frame, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(slider, nullptr);
    SendMessageA(slider, TBM_SETRANGEMIN, FALSE, 1);
    SendMessageA(slider, TBM_SETRANGEMAX, TRUE, 80);
    SendMessageA(slider, TBM_SETPOS, TRUE, 42);
    EXPECT_EQ(SendMessageA(slider, TBM_GETPOS, 0, 0), 42);
    EXPECT_EQ(SendMessageA(slider, TBM_GETRANGEMAX, 0, 0), 80);

    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT, 0, 40, 200, 100,
                                frame, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(list, nullptr);
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = 100;
    column.pszText = const_cast<char*>("Name");
    ASSERT_EQ(SendMessageA(list, LVM_INSERTCOLUMNA, 0, LPARAM(&column)), 0);
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.pszText = const_cast<char*>("Input 1");
    ASSERT_EQ(SendMessageA(list, LVM_INSERTITEMA, 0, LPARAM(&item)), 0);
    char text[32] = {};
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, 0, LPARAM(&item));
    EXPECT_STREQ(text, "Input 1");

    EXPECT_TRUE(IsWindowVisible(frame));
    EXPECT_TRUE(DestroyWindow(frame));
    EXPECT_FALSE(IsWindow(slider));
}
