// The setup program, run silently as an administrator would: what it installs, the start at
// logon hidden in the tray, a running panel ended by setup and by uninstall, everything it
// made gone afterwards and nothing else, and a reinstall over an older version.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "KvxVersion.h"
#include "MessagePump.h"
#include "TrayProbe.h"

namespace {

const char kTitle[] = "Volmar Model B USB Control Panel";
const char kUninstallKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VolmarModelBUsbControlPanel";
const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRunValue[] = "VolmarModelBUsbControlPanel";
const UINT kTrayIconId = 0x42424242;

std::string Folder(int csidl)
{
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

std::string InstallDir()
{
    return Folder(CSIDL_PROGRAM_FILES) + "\\Volmar\\Model B USB Control Panel";
}

std::string ShortcutPath()
{
    return Folder(CSIDL_COMMON_PROGRAMS) + "\\" + kTitle + ".lnk";
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The folder of this test program, <build>\tests\package.
std::string TestDir()
{
    char path[MAX_PATH];
    std::string self(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    return self.substr(0, self.find_last_of('\\'));
}

std::string BuildDir()
{
    std::string dir = TestDir();
    for (int up = 0; up < 2; ++up)
        dir = dir.substr(0, dir.find_last_of('\\'));
    return dir;
}

std::string SetupPath()
{
    return BuildDir() + "\\dist\\" KVX_SETUP_NAME;
}

std::string OlderSetupPath()
{
    return TestDir() + "\\kvxucpl-1.00-setup.exe";
}

// A value of the key, or "" (and missing set) when it is not there.
std::string RegText(HKEY root, const char* key, const char* name, bool* missing = nullptr)
{
    char value[1024] = {};
    DWORD size = sizeof value - 1;
    DWORD type = 0;
    HKEY h = nullptr;
    bool found = RegOpenKeyExA(root, key, 0, KEY_READ, &h) == ERROR_SUCCESS &&
                 RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) ==
                     ERROR_SUCCESS &&
                 type == REG_SZ;
    if (h)
        RegCloseKey(h);
    if (missing)
        *missing = !found;
    return found ? std::string(value) : std::string();
}

bool RegDword(HKEY root, const char* key, const char* name, DWORD* value)
{
    HKEY h = nullptr;
    DWORD size = sizeof *value, type = 0;
    bool found = RegOpenKeyExA(root, key, 0, KEY_READ, &h) == ERROR_SUCCESS &&
                 RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) ==
                     ERROR_SUCCESS &&
                 type == REG_DWORD;
    if (h)
        RegCloseKey(h);
    return found;
}

bool KeyExists(HKEY root, const char* key)
{
    HKEY h = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    return true;
}

// A started process; ended and closed by the destructor if still running.
class CProcess {
public:
    explicit CProcess(std::string commandLine)
    {
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &si, &m_pi))
            m_pi = PROCESS_INFORMATION();
    }
    ~CProcess()
    {
        if (!m_pi.hProcess)
            return;
        if (WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(m_pi.hProcess, 1);
            WaitForSingleObject(m_pi.hProcess, 5000);
        }
        CloseHandle(m_pi.hThread);
        CloseHandle(m_pi.hProcess);
    }
    CProcess(const CProcess&) = delete;
    CProcess& operator=(const CProcess&) = delete;

    bool Started() const { return m_pi.hProcess != nullptr; }
    DWORD Id() const { return m_pi.dwProcessId; }
    // Pumps until the process ended; its exit code, or STILL_ACTIVE at the deadline.
    DWORD WaitForExit(DWORD timeoutMs)
    {
        if (!m_pi.hProcess || !PumpUntilSignalled(m_pi.hProcess, timeoutMs))
            return STILL_ACTIVE;
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(m_pi.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION m_pi = {};
};

struct WindowOf {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK MatchMainWindow(HWND hwnd, LPARAM param)
{
    WindowOf* search = reinterpret_cast<WindowOf*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char title[128] = {};
    GetWindowTextA(hwnd, title, sizeof title);
    if (pid == search->processId && std::string(title) == kTitle) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The panel's main window in that process, hidden or not; null when it has none.
HWND MainWindowOf(DWORD processId)
{
    WindowOf search = {processId, nullptr};
    EnumWindows(MatchMainWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string Quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

class InstallerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Exists(SetupPath())) << SetupPath();
        RemoveLeftovers();
    }
    void TearDown() override { RemoveLeftovers(); }

    // An installation left by an earlier, failed run would make this one pass or fail by chance.
    void RemoveLeftovers()
    {
        if (Exists(InstallDir() + "\\Uninstall.exe"))
            Uninstall();
    }

    static DWORD RunSetup(const std::string& setup)
    {
        CProcess process(Quoted(setup) + " /S");
        EXPECT_TRUE(process.Started()) << setup;
        return process.WaitForExit(60000);
    }

    // The uninstaller runs on from a copy in the temporary folder while the one started
    // returns, so its end shows only in what it removes.
    static bool Uninstall()
    {
        CProcess process(Quoted(InstallDir() + "\\Uninstall.exe") + " /S");
        if (!process.Started() || process.WaitForExit(30000) != 0)
            return false;
        return PumpUntil([] { return !KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey); }, 30000) &&
               PumpUntil([] { return !Exists(InstallDir()); }, 10000);
    }

    static void ExpectInstalled(const char* version)
    {
        const std::string dir = InstallDir();
        for (const char* file : {"kvxucpl.exe", "kvxuinfo.exe", "kvxuctl.exe",
                                 "kvx-usb-settings.schema.json", "Uninstall.exe"})
            EXPECT_TRUE(Exists(dir + "\\" + file)) << file;
        EXPECT_TRUE(Exists(ShortcutPath())) << ShortcutPath();
        EXPECT_EQ(kTitle, RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"));
        EXPECT_EQ(version, RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion"));
        EXPECT_EQ("Volmar", RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "Publisher"));
        EXPECT_EQ(Quoted(dir + "\\Uninstall.exe"),
                  RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"));
        DWORD sizeKiB = 0;
        EXPECT_TRUE(RegDword(HKEY_LOCAL_MACHINE, kUninstallKey, "EstimatedSize", &sizeKiB));
        EXPECT_GT(sizeKiB, 100u); // the two executables alone are several hundred KiB
        EXPECT_EQ(Quoted(dir + "\\kvxucpl.exe") + " -hide",
                  RegText(HKEY_CURRENT_USER, kRunKey, kRunValue));
    }

    static void ExpectRemoved()
    {
        EXPECT_FALSE(Exists(InstallDir()));
        EXPECT_FALSE(Exists(Folder(CSIDL_PROGRAM_FILES) + "\\Volmar"));
        EXPECT_FALSE(Exists(ShortcutPath()));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
        bool missing = false;
        RegText(HKEY_CURRENT_USER, kRunKey, kRunValue, &missing);
        EXPECT_TRUE(missing);
    }

    // Starts the installed panel hidden and waits until its window and tray icon exist.
    static void StartHidden(CProcess& panel)
    {
        ASSERT_TRUE(panel.Started());
        HWND frame = nullptr;
        ASSERT_TRUE(PumpUntil(
            [&] {
                frame = MainWindowOf(panel.Id());
                return frame && TrayIconExists(frame, kTrayIconId);
            },
            15000));
        EXPECT_FALSE(IsWindowVisible(frame));
    }
};

TEST_F(InstallerTest, SilentSetupInstallsStartsAtLogonHiddenAndUninstallRemovesItAll)
{
    // Another program's start at logon, which the uninstaller must leave alone.
    HKEY run = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_WRITE,
                                             nullptr, &run, nullptr));
    const char other[] = "C:\\other.exe";
    RegSetValueExA(run, "KvxTestOtherProgram", 0, REG_SZ, reinterpret_cast<const BYTE*>(other),
                   sizeof other);

    ASSERT_EQ(0u, RunSetup(SetupPath()));
    ExpectInstalled(KVX_VERSION_TEXT);
    // Silent: the setup started no panel.
    EXPECT_EQ(nullptr, FindWindowA(nullptr, kTitle));

    // What the logon would run: the panel, hidden in the tray.
    CProcess atLogon(RegText(HKEY_CURRENT_USER, kRunKey, kRunValue));
    StartHidden(atLogon);

    ASSERT_TRUE(Uninstall());
    EXPECT_NE(DWORD(STILL_ACTIVE), atLogon.WaitForExit(15000)) << "the running panel was not ended";
    ExpectRemoved();
    EXPECT_EQ(other, RegText(HKEY_CURRENT_USER, kRunKey, "KvxTestOtherProgram"));
    RegDeleteValueA(run, "KvxTestOtherProgram");
    RegCloseKey(run);
}

TEST_F(InstallerTest, ReinstallOverAnOlderVersionEndsItsPanelAndReplacesIt)
{
    ASSERT_TRUE(Exists(OlderSetupPath())) << OlderSetupPath();
    ASSERT_EQ(0u, RunSetup(OlderSetupPath()));
    ExpectInstalled("1.00");

    CProcess running(Quoted(InstallDir() + "\\kvxucpl.exe") + " -hide");
    StartHidden(running);
    ASSERT_EQ(0u, RunSetup(SetupPath()));
    EXPECT_NE(DWORD(STILL_ACTIVE), running.WaitForExit(15000)) << "the running panel was not ended";
    ExpectInstalled(KVX_VERSION_TEXT);

    ASSERT_TRUE(Uninstall());
    ExpectRemoved();
}

} // namespace
