// The panel's registration with Restart Manager. An installer that replaces the panel's files
// (Windows Installer, or the setup program) ends the panels of every session through Restart
// Manager, which sends them WM_QUERYENDSESSION and WM_ENDSESSION with ENDSESSION_CLOSEAPP, and
// afterwards starts the registered ones again, each in its own session, with "-hide": back in
// the tray, where it was.
#pragma once

// Registers this process for a restart after an update only (not after a crash, a hang or a
// reboot: the start at logon covers that). False when the system refused.
bool RegisterRestartAfterUpdate();
