// Starts the real control panel as a process and watches it the way a user would: its
// windows, its status bar and its tray icon. Every wait pumps this thread's messages and
// ends at a deadline.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "MessagePump.h"

// The control panel executable of this build tree.
std::string PanelExePath();

// One started process of the control panel, with its output sent to NUL. The destructor
// ends a process that is still running, so that no test leaves one behind.
class CPanelProcess {
public:
    explicit CPanelProcess(const std::string& arguments);
    ~CPanelProcess();
    CPanelProcess(const CPanelProcess&) = delete;
    CPanelProcess& operator=(const CPanelProcess&) = delete;

    bool Started() const { return m_process.hProcess != nullptr; }
    DWORD Id() const { return m_process.dwProcessId; }
    HANDLE Handle() const { return m_process.hProcess; }
    // Pumps until the process has ended; its exit code, or STILL_ACTIVE on timeout.
    DWORD WaitForExit(DWORD timeoutMs = 10000);
    bool Running() const;
    // The process's main window, by its class and the main title; null until it exists.
    HWND MainWindow() const;
    // A visible top-level window of the process with this title (a box, a dialog), or null.
    HWND VisibleWindow(const char* title) const;
    // Pumps until the main window exists and is visible (or hidden, if visible is false).
    HWND WaitForMainWindow(bool visible = true, DWORD timeoutMs = 10000);

private:
    PROCESS_INFORMATION m_process = {};
};

// Runs the panel with the arguments, as a second start would, and pumps until it ended.
DWORD RunPanel(const std::string& arguments, DWORD timeoutMs = 10000);

// How long a message to another process's window is given before it counts as unanswered.
constexpr DWORD kRemoteAnswerMs = 2000;

// Sends a message whose lParam points into a buffer in the window's process: the buffer
// starts as `in` (fix, when given, adjusts the copy for the remote address of the buffer),
// and its contents after the call are returned; empty when the window did not answer in
// kRemoteAnswerMs or the process could not be reached.
std::vector<char>
SendWithRemoteBuffer(HWND hwnd, UINT message, WPARAM wParam, const std::vector<char>& in,
                     const std::function<void(std::vector<char>&, char*)>& fix = nullptr);

// The text of a status-bar pane of a window in another process.
std::string RemoteStatusText(HWND statusBar, int pane);

// The caption of the selected item of a tree view in another process.
std::string RemoteSelectedTreeText(HWND tree);

// The tree view inside one of the frame's children (the settings view), or null.
HWND FindPageTree(HWND frame);

// The status bar among the window's children, or null.
HWND FindStatusBar(HWND frame);

// A visible pop-up menu window of the given process, or null.
HWND FindOpenMenu(DWORD processId);

// The control with this id among the window's descendants (a page's button), or null.
HWND FindDescendant(HWND window, int id);

// Selects the tree's item at this position from the top, as a click would.
bool SelectTreeItem(HWND tree, int position);

// The icon window that the bench's tray (Wine's standalone tray window, on a display without
// a system tray) shows with this tip, or null when it shows none.
HWND BenchTrayIcon(const std::string& tip);
// The same, for the first icon whose tip matches.
HWND BenchTrayIconWith(const std::function<bool(const std::string&)>& tipMatches);
// The text of the balloon the bench's tray shows from that icon window, empty when none.
std::string BenchTrayBalloon(HWND icon);

// How another start finds the running panel: its main window's title and class.
extern const char* const kMainTitle;
extern const char* const kMainFrameClass;
