// Settings profiles in the panel: the File menu's and the tray's "Save Settings..." and
// "Load Settings...", and the tray's recent profiles. The list of recent files is the
// panel's own state, kept per user in the registry; every setting stays in the driver.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "PanelRegistry.h"
#include "resource.h"

class CDrv;

// The most recent first; at most this many.
constexpr size_t KVX_MAX_RECENT_PROFILES = ID_PROFILE_RECENT_LAST - ID_PROFILE_RECENT_FIRST + 1;

class CProfileRecentList {
public:
    explicit CProfileRecentList(const char* registryKey = KVX_PANEL_REGISTRY_KEY);

    std::vector<std::string> Files() const;
    // Puts path first (once), keeping at most KVX_MAX_RECENT_PROFILES.
    void Add(const std::string& path);
    void Remove(const std::string& path);

private:
    void Store(const std::vector<std::string>& files);

    std::string m_Key;
};

class CProfileCommands {
public:
    CProfileCommands(HWND owner, CDrv& driver, const char* registryKey = KVX_PANEL_REGISTRY_KEY);

    // The standard Save dialog, then every setting into the file. True when saved.
    bool SaveSettings();
    // The standard Open dialog, then LoadFile with the plan shown first. True when loaded.
    bool LoadSettings();
    // Refuses, touching nothing, when no setting could be read (the driver closed).
    bool SaveFile(const std::string& path);
    // Checks the whole file, shows the plan (unless quietly) and on "Load" applies it, then
    // shows the results; quietly, the results only when something was refused or skipped.
    bool LoadFile(const std::string& path, bool quietly);
    // The tray's recent profile number index: loaded at once and quietly. A file that has
    // gone is taken off the list, and the user is told; one that cannot be reached now (a
    // share away) stays on it.
    void LoadRecent(size_t index);

    // The tray's submenu: the recent files by name, then "Load Settings..." and "Save
    // Settings...". The caller destroys it with the menu it is put into.
    HMENU CreateTrayMenu() const;

    CProfileRecentList m_Recent;

private:
    bool ChooseFile(bool save, std::string& path) const;
    // A message box; icon may add buttons (MB_YESNO). Returns the button pressed.
    int Tell(UINT format, const std::string& detail, UINT icon) const;
    void TellNotRead(const std::vector<std::string>& notes) const;

    HWND m_Owner;
    CDrv& m_Driver;
};
