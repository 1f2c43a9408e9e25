// The about box, opened modally as the Info menu does, against a fake driver: what the user
// reads in it with and without driver data.
#include <gtest/gtest.h>

#include "AboutDlg.h"
#include "Drv.h"
#include "FakeDeviceIo.h"
#include "resource.h"

CDrv theDrv;

namespace {

struct SeenBox {
    bool found = false;
    std::string text;
    LONG textStyle = 0;
};
SeenBox g_seen;

// Runs inside the box's modal loop: reads the box as shown, then presses its OK button.
VOID CALLBACK InspectAndClose(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND box = FindWindowA("#32770", "About Control Panel");
    if (!box || !IsWindowVisible(box))
        return;
    KillTimer(nullptr, timer);
    HWND text = GetDlgItem(box, IDC_ABOUT_TEXT);
    char buffer[1024] = "";
    GetWindowTextA(text, buffer, sizeof buffer);
    g_seen.found = true;
    g_seen.text = buffer;
    g_seen.textStyle = GetWindowLongA(text, GWL_STYLE);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
}

class AboutDlgTest : public ::testing::Test {
protected:
    void SetUp() override { theDrv.Close(); }
    void TearDown() override { theDrv.Close(); }

    void Connect(uint8_t ifMajor, uint8_t ifMinor, uint8_t major, uint8_t minor, uint32_t build)
    {
        theDrv.Close();
        m_fake.driverInfo.InterfaceVersionMajor = ifMajor;
        m_fake.driverInfo.InterfaceVersionMinor = ifMinor;
        m_fake.driverInfo.DriverVersionMajor = major;
        m_fake.driverInfo.DriverVersionMinor = minor;
        m_fake.driverInfo.DriverVersionBuild = build;
        ASSERT_EQ(0u, theDrv.Open(KVX_USB_DEVICE_NAME));
    }

    // Opens the box modally and returns the text it showed.
    std::string Open()
    {
        g_seen = SeenBox();
        UINT_PTR timer = SetTimer(nullptr, 0, 10, InspectAndClose);
        CAboutDlg box;
        EXPECT_EQ(IDOK, box.DoModal());
        KillTimer(nullptr, timer);
        EXPECT_TRUE(g_seen.found);
        EXPECT_TRUE(g_seen.textStyle & SS_NOPREFIX) << "an ampersand would underline";
        EXPECT_EQ(g_seen.text, box.m_strAboutText) << "read back on OK";
        return g_seen.text;
    }

    FakeDeviceIo m_fake;
};

const std::string kHead = "Volmar Model B USB Control Panel: V 1.01\n\n";
const std::string kCopyright = "\xA9 2004-2026 Volmar Audio & Electronics";

} // namespace

TEST_F(AboutDlgTest, ShowsTheDriverVersions)
{
    Connect(2, 1, 4, 5, 1234);
    EXPECT_EQ(kHead + " - Driver Interface Version 2.1\n\n - Driver Version 4.5.1234\n\n" +
                  kCopyright,
              Open());
}

TEST_F(AboutDlgTest, BytesAreUnsignedAndTheBuildIsSignedAndEachOpeningAsksAgain)
{
    Connect(2, 200, 255, 201, 0xFFFFFFFFu);
    EXPECT_EQ(kHead + " - Driver Interface Version 2.200\n\n - Driver Version 255.201.-1\n\n" +
                  kCopyright,
              Open());

    m_fake.driverInfo.DriverVersionBuild = 0x80000000u;
    EXPECT_NE(std::string::npos, Open().find("Driver Version 255.201.-2147483648\n"));
}

TEST_F(AboutDlgTest, WithoutDriverDataOnlyTitleAndCopyright)
{
    const std::string shortText = kHead + "\n" + kCopyright;
    EXPECT_EQ(shortText, Open()); // channel closed

    Connect(2, 1, 4, 5, 1234);
    m_fake.failures[IOCTL_KVX_USB_GET_DRIVER_INFO] = ERROR_GEN_FAILURE;
    EXPECT_EQ(shortText, Open());
}
