// The tray icon against the real shell of the test bench.
#include <gtest/gtest.h>

#include <string>

#include "TrayIcon.h"
#include "TrayProbe.h"

namespace {

class TrayIconTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_hWnd = CreateWindowExA(0, "STATIC", "tray icon owner", WS_POPUP, 0, 0, 10, 10, nullptr,
                                 nullptr, nullptr, nullptr);
        ASSERT_TRUE(m_hWnd);
        m_hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    }
    void TearDown() override { DestroyWindow(m_hWnd); }

    HWND m_hWnd = nullptr;
    HICON m_hIcon = nullptr;
};

} // namespace

TEST_F(TrayIconTest, NothingHappensBeforeInit)
{
    CTrayIcon icon;
    EXPECT_FALSE(icon.Add(m_hIcon, "tip"));
    EXPECT_FALSE(icon.Remove());
}

TEST_F(TrayIconTest, AddsAndRemovesTheIconOfItsOwnerAndId)
{
    CTrayIcon icon;
    icon.Init(m_hWnd, TRAY_ICON_ID);
    ASSERT_TRUE(icon.Add(m_hIcon, "Volmar Model B USB Control Panel"));
    EXPECT_TRUE(TrayIconExists(m_hWnd, TRAY_ICON_ID));
    EXPECT_FALSE(TrayIconExists(m_hWnd, TRAY_ICON_ID + 1));

    EXPECT_TRUE(icon.Remove());
    EXPECT_FALSE(TrayIconExists(m_hWnd, TRAY_ICON_ID));
    EXPECT_FALSE(icon.Remove());
}

TEST_F(TrayIconTest, TheTipIsTheTitleCutAt127Characters)
{
    CTrayIcon icon;
    icon.Init(m_hWnd, TRAY_ICON_ID);
    const NOTIFYICONDATAA titled = icon.AddRecord(m_hIcon, "Volmar Model B USB Control Panel");
    EXPECT_STREQ("Volmar Model B USB Control Panel", titled.szTip);
    EXPECT_EQ(UINT(NIF_MESSAGE | NIF_ICON | NIF_TIP), titled.uFlags);
    EXPECT_EQ(m_hWnd, titled.hWnd);
    EXPECT_EQ(TRAY_ICON_ID, titled.uID);

    std::string longTip(127, 'a');
    longTip += "bcd";
    const NOTIFYICONDATAA cut = icon.AddRecord(m_hIcon, longTip.c_str());
    EXPECT_EQ(std::string(127, 'a'), cut.szTip);
}

TEST_F(TrayIconTest, TheTipChangesOnlyOnAnIconAdded)
{
    CTrayIcon icon;
    EXPECT_FALSE(icon.SetTip("tip"));
    icon.Init(m_hWnd, TRAY_ICON_ID);
    EXPECT_FALSE(icon.SetTip("tip")) << "no icon yet";
    ASSERT_TRUE(icon.Add(m_hIcon, "first"));
    EXPECT_TRUE(icon.SetTip(std::string(400, 'x').c_str()));
    EXPECT_TRUE(icon.Remove());
}

TEST_F(TrayIconTest, OverlongTipAndNoTipAreAccepted)
{
    CTrayIcon icon;
    icon.Init(m_hWnd, 7);
    const std::string longTip(400, 'x');
    ASSERT_TRUE(icon.Add(m_hIcon, longTip.c_str()));
    EXPECT_TRUE(icon.Remove());
    ASSERT_TRUE(icon.Add(m_hIcon));
    EXPECT_TRUE(icon.Remove());
}
