#include "AboutDlg.h"

#include <stdarg.h>
#include <stdio.h>

#include "Drv.h"
#include "KvxVersion.h"
#include "resource.h"

namespace {

const char kVersion[] = "V " KVX_VERSION_TEXT;
const char kCopyright[] = "\xA9 2004-2026 Volmar Audio & Electronics";

std::string Format(const char* format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

} // namespace

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX)
{
    const std::string title = AfxLoadString(IDS_MAIN_TITLE);
    _KVX_USB_DRIVER_INFO info = {};
    if (theDrv.GetDriverInfo(&info) == 0) {
        // Version bytes are unsigned (0 to 255); the build is shown as a signed number.
        m_strAboutText = Format(
            "%s: %s\n\n - Driver Interface Version %d.%d\n\n - Driver Version %d.%d.%d\n\n%s",
            title.c_str(), kVersion, int(info.InterfaceVersionMajor),
            int(info.InterfaceVersionMinor), int(info.DriverVersionMajor),
            int(info.DriverVersionMinor), int(int32_t(info.DriverVersionBuild)), kCopyright);
    } else {
        m_strAboutText = Format("%s: %s\n\n\n%s", title.c_str(), kVersion, kCopyright);
    }
}

BOOL CAboutDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    HWND icon = GetDlgItem(IDC_ABOUT_ICON);
    RECT rect;
    if (AfxUseOneColourIcons() && icon && ::GetClientRect(icon, &rect)) {
        m_oneColourIcon.Reset(
            AfxLoadIconInColour(IDI_MAINFRAME_HC, rect.right, ::GetSysColor(COLOR_BTNTEXT)));
        if (m_oneColourIcon)
            ::SendMessageA(icon, STM_SETICON, reinterpret_cast<WPARAM>(m_oneColourIcon.Get()), 0);
    }
    return TRUE;
}

void CAboutDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_ABOUT_TEXT, m_strAboutText);
}
