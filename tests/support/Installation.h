// What a package installed, as a deployment tool would look at it: the folder, the shortcut,
// the start at logon, registry values; and the processes of setups and of panels they started.
// The packages of a build tree are in BUILD/dist; tests live in BUILD/tests/FOLDER.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "MessagePump.h"

namespace installation {

const char kTitle[] = "Volmar Model B USB Control Panel";
const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRunValue[] = "VolmarModelBUsbControlPanel";
// The setup program's entry in Add/Remove Programs.
const char kSetupUninstallKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VolmarModelBUsbControlPanel";

inline std::string Folder(int csidl)
{
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

inline std::string InstallDir()
{
    return Folder(CSIDL_PROGRAM_FILES) + "\\Volmar\\Model B USB Control Panel";
}

// The Start-menu shortcut for all users; with the user's, where Wine's msiexec puts it (it takes
// the user's folder for ProgramMenuFolder even when ALLUSERS=1, which Windows does not).
inline std::string ShortcutPath(int csidl = CSIDL_COMMON_PROGRAMS)
{
    return Folder(csidl) + "\\" + kTitle + ".lnk";
}

inline bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline std::string Quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

// The folder of this test program, BUILD\tests\FOLDER.
inline std::string TestDir()
{
    char path[MAX_PATH];
    std::string self(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    return self.substr(0, self.find_last_of('\\'));
}

inline std::string DistPath(const std::string& package)
{
    std::string dir = TestDir();
    for (int up = 0; up < 2; ++up)
        dir = dir.substr(0, dir.find_last_of('\\'));
    return dir + "\\dist\\" + package;
}

// A string value of the key, or "" when it is not there.
// Whether the value exists with that type and fits size bytes, read into value.
inline bool RegValue(HKEY root, const char* key, const char* name, DWORD wantedType, void* value,
                     DWORD size)
{
    DWORD type = 0;
    HKEY h = nullptr;
    bool found = RegOpenKeyExA(root, key, 0, KEY_READ, &h) == ERROR_SUCCESS &&
                 RegQueryValueExA(h, name, nullptr, &type, static_cast<BYTE*>(value), &size) ==
                     ERROR_SUCCESS &&
                 type == wantedType;
    if (h)
        RegCloseKey(h);
    return found;
}

inline std::string RegText(HKEY root, const char* key, const char* name)
{
    char value[1024] = {};
    return RegValue(root, key, name, REG_SZ, value, sizeof value - 1) ? std::string(value)
                                                                      : std::string();
}

inline bool RegDword(HKEY root, const char* key, const char* name, DWORD* value)
{
    return RegValue(root, key, name, REG_DWORD, value, sizeof *value);
}

inline bool KeyExists(HKEY root, const char* key)
{
    HKEY h = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    return true;
}

inline void SetRegText(HKEY root, const char* key, const char* name, const std::string& value)
{
    HKEY h = nullptr;
    if (RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   DWORD(value.size() + 1));
    RegCloseKey(h);
}

// The command line of the start at logon, as every user's logon runs it.
inline std::string RunAtLogonCommand()
{
    return Quoted(InstallDir() + "\\kvxucpl.exe") + " -hide";
}

// The programs, the shortcut and the start at logon: for every user (HKLM) when chosen, never
// in the hive of whoever ran the setup.
inline void ExpectProgramsInstalled(bool startsAtLogon, int shortcutFolder = CSIDL_COMMON_PROGRAMS)
{
    for (const char* file :
         {"kvxucpl.exe", "kvxuinfo.exe", "kvxuctl.exe", "kvx-usb-settings.schema.json"})
        EXPECT_TRUE(Exists(InstallDir() + "\\" + file)) << file;
    EXPECT_TRUE(Exists(ShortcutPath(shortcutFolder))) << ShortcutPath(shortcutFolder);
    if (startsAtLogon)
        EXPECT_EQ(RunAtLogonCommand(), RegText(HKEY_LOCAL_MACHINE, kRunKey, kRunValue));
    else
        EXPECT_EQ("", RegText(HKEY_LOCAL_MACHINE, kRunKey, kRunValue));
    EXPECT_EQ("", RegText(HKEY_CURRENT_USER, kRunKey, kRunValue));
}

// Nothing of the installation is left: folders (the maker's too), shortcut, start at logon.
inline void ExpectNothingLeft()
{
    EXPECT_FALSE(Exists(InstallDir()));
    EXPECT_FALSE(Exists(Folder(CSIDL_PROGRAM_FILES) + "\\Volmar"));
    EXPECT_FALSE(Exists(ShortcutPath()));
    EXPECT_FALSE(Exists(ShortcutPath(CSIDL_PROGRAMS)));
    EXPECT_EQ("", RegText(HKEY_LOCAL_MACHINE, kRunKey, kRunValue));
    EXPECT_EQ("", RegText(HKEY_CURRENT_USER, kRunKey, kRunValue));
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

// Runs the command line and pumps until it ended: its exit code, or STILL_ACTIVE.
inline DWORD RunToEnd(const std::string& commandLine, DWORD timeoutMs = 60000)
{
    CProcess process(commandLine);
    return process.WaitForExit(timeoutMs);
}

// Runs the setup program's uninstaller silently. It runs on from a copy in the temporary folder
// while the one started returns, so its end shows only in what it removes.
inline bool UninstallSetupProgram()
{
    if (RunToEnd(Quoted(InstallDir() + "\\Uninstall.exe") + " /S", 30000) != 0)
        return false;
    return PumpUntil([] { return !KeyExists(HKEY_LOCAL_MACHINE, kSetupUninstallKey); }, 30000) &&
           PumpUntil([] { return !Exists(InstallDir()); }, 10000);
}

// The panel's main window, hidden or not, whoever started it; null when none runs.
inline HWND RunningPanel()
{
    return FindWindowA(nullptr, kTitle);
}

inline DWORD ProcessOf(HWND window)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

} // namespace installation
