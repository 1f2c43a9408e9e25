#include "PanelHarness.h"

#include <commctrl.h>

#include <string.h>

#include <vector>

const char* const kMainTitle = "Volmar Model B USB Control Panel";
const char* const kMainFrameClass = "KvxUsbControlPanelFrame";

std::string PanelExePath()
{
    // Tests live in <build>/tests/app, the panel in <build>/app.
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string self(path, length);
    std::string dir = self.substr(0, self.find_last_of("\\/"));
    for (int up = 0; up < 2; ++up)
        dir = dir.substr(0, dir.find_last_of("\\/"));
    return dir + "\\app\\kvxucpl.exe";
}

CPanelProcess::CPanelProcess(const std::string& arguments)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE nul =
        CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
    std::string commandLine = "\"" + PanelExePath() + "\" " + arguments;
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back('\0');
    if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &m_process))
        m_process = PROCESS_INFORMATION();
    CloseHandle(nul);
}

CPanelProcess::~CPanelProcess()
{
    if (!m_process.hProcess)
        return;
    if (Running()) {
        if (HWND frame = MainWindow())
            PostMessageA(frame, WM_COMMAND, 57665 /* ID_APP_EXIT */, 0);
        if (WaitForExit(5000) == STILL_ACTIVE)
            TerminateProcess(m_process.hProcess, 1);
        WaitForSingleObject(m_process.hProcess, 5000);
    }
    CloseHandle(m_process.hThread);
    CloseHandle(m_process.hProcess);
}

DWORD CPanelProcess::WaitForExit(DWORD timeoutMs)
{
    if (!PumpUntilSignalled(m_process.hProcess, timeoutMs))
        return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(m_process.hProcess, &code);
    return code;
}

bool CPanelProcess::Running() const
{
    return m_process.hProcess && WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT;
}

namespace {

// A top-level window of the process by its class, its title or both (null: any), and
// whether it must be visible.
struct WindowSearch {
    DWORD processId;
    const char* className;
    const char* title;
    bool visible;
    HWND found;
};

bool Matches(const char* wanted, const std::string& seen)
{
    return !wanted || seen == wanted;
}

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM param)
{
    WindowSearch& search = *reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    char className[256] = "", title[256] = "";
    GetClassNameA(hwnd, className, sizeof className);
    GetWindowTextA(hwnd, title, sizeof title);
    if (owner != search.processId || !Matches(search.className, className) ||
        !Matches(search.title, title) || (search.visible && !IsWindowVisible(hwnd)))
        return TRUE;
    search.found = hwnd;
    return FALSE;
}

HWND FindTopLevel(DWORD processId, const char* className, const char* title, bool visible)
{
    WindowSearch search = {processId, className, title, visible, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

} // namespace

HWND CPanelProcess::MainWindow() const
{
    return FindTopLevel(m_process.dwProcessId, kMainFrameClass, kMainTitle, false);
}

HWND CPanelProcess::VisibleWindow(const char* title) const
{
    return FindTopLevel(m_process.dwProcessId, nullptr, title, true);
}

HWND CPanelProcess::WaitForMainWindow(bool visible, DWORD timeoutMs)
{
    HWND frame = nullptr;
    PumpUntil(
        [&] {
            frame = MainWindow();
            return frame && (IsWindowVisible(frame) != FALSE) == visible;
        },
        timeoutMs);
    return frame && (IsWindowVisible(frame) != FALSE) == visible ? frame : nullptr;
}

DWORD RunPanel(const std::string& arguments, DWORD timeoutMs)
{
    CPanelProcess process(arguments);
    return process.WaitForExit(timeoutMs);
}

std::vector<char> SendWithRemoteBuffer(HWND hwnd, UINT message, WPARAM wParam,
                                       const std::vector<char>& in,
                                       const std::function<void(std::vector<char>&, char*)>& fix)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(hwnd, &processId);
    std::vector<char> out;
    HANDLE process =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (!process)
        return out;
    char* remote =
        static_cast<char*>(VirtualAllocEx(process, nullptr, in.size(), MEM_COMMIT, PAGE_READWRITE));
    if (remote) {
        std::vector<char> local = in;
        if (fix)
            fix(local, remote); // pointers inside the buffer must point into the copy
        SIZE_T done = 0;
        DWORD_PTR result = 0;
        bool unanswered = false;
        if (WriteProcessMemory(process, remote, local.data(), local.size(), &done)) {
            // Bounded: a frozen panel must hold up neither a test nor the soak.
            unanswered =
                !SendMessageTimeoutA(hwnd, message, wParam, reinterpret_cast<LPARAM>(remote),
                                     SMTO_NORMAL, kRemoteAnswerMs, &result);
            out.resize(in.size());
            if (unanswered || !ReadProcessMemory(process, remote, out.data(), out.size(), &done))
                out.clear();
        }
        // A late answer would write into a freed page: left to the panel's process then.
        if (!unanswered)
            VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return out;
}

std::string RemoteStatusText(HWND statusBar, int pane)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(statusBar, SB_GETTEXTLENGTHA, pane, 0, SMTO_NORMAL, kRemoteAnswerMs,
                             &length))
        return "<unreadable>";
    std::vector<char> text = SendWithRemoteBuffer(statusBar, SB_GETTEXTA, pane,
                                                  std::vector<char>(LOWORD(length) + 1), nullptr);
    return text.empty() ? std::string("<unreadable>") : std::string(text.data());
}

std::string RemoteSelectedTreeText(HWND tree)
{
    HTREEITEM item =
        reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (!item)
        return "<no selection>";
    const size_t textSize = 256;
    std::vector<char> buffer(sizeof(TVITEMA) + textSize);
    TVITEMA request = {};
    request.mask = TVIF_TEXT;
    request.hItem = item;
    request.cchTextMax = int(textSize);
    memcpy(buffer.data(), &request, sizeof request);
    std::vector<char> answer = SendWithRemoteBuffer(
        tree, TVM_GETITEMA, 0, buffer, [](std::vector<char>& local, char* remote) {
            TVITEMA* copy = reinterpret_cast<TVITEMA*>(local.data());
            copy->pszText = remote + sizeof(TVITEMA);
        });
    if (answer.empty())
        return "<unreadable>";
    answer.back() = '\0';
    return std::string(answer.data() + sizeof(TVITEMA));
}

HWND FindPageTree(HWND frame)
{
    HWND tree = nullptr;
    for (HWND child = FindWindowExA(frame, nullptr, nullptr, nullptr); child && !tree;
         child = FindWindowExA(frame, child, nullptr, nullptr))
        tree = FindWindowExA(child, nullptr, WC_TREEVIEWA, nullptr);
    return tree;
}

HWND FindStatusBar(HWND frame)
{
    return FindWindowExA(frame, nullptr, STATUSCLASSNAMEA, nullptr);
}

HWND FindOpenMenu(DWORD processId)
{
    return FindTopLevel(processId, "#32768", nullptr, true);
}

namespace {

struct DescendantSearch {
    int id;
    HWND found;
};

BOOL CALLBACK MatchId(HWND hwnd, LPARAM param)
{
    DescendantSearch& search = *reinterpret_cast<DescendantSearch*>(param);
    if (GetDlgCtrlID(hwnd) != search.id)
        return TRUE;
    search.found = hwnd;
    return FALSE;
}

} // namespace

HWND FindDescendant(HWND window, int id)
{
    DescendantSearch search = {id, nullptr};
    EnumChildWindows(window, MatchId, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool SelectTreeItem(HWND tree, int position)
{
    auto next = [&](WPARAM relation, HTREEITEM item) {
        return reinterpret_cast<HTREEITEM>(
            SendMessageA(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
    };
    HTREEITEM item = next(TVGN_ROOT, nullptr);
    for (int i = 0; i < position && item; ++i)
        item = next(TVGN_NEXT, item);
    DWORD_PTR selected = 0;
    return item &&
           SendMessageTimeoutA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item),
                               SMTO_NORMAL, kRemoteAnswerMs, &selected) &&
           selected;
}

namespace {

// The tip of the tooltip's tool number index, and the window the tool stands for.
std::string RemoteToolText(HWND tooltip, int index, HWND* toolWindow)
{
    const size_t textSize = 1024;
    std::vector<char> buffer(sizeof(TTTOOLINFOA) + textSize);
    TTTOOLINFOA request = {};
    request.cbSize = sizeof request;
    memcpy(buffer.data(), &request, sizeof request);
    std::vector<char> answer = SendWithRemoteBuffer(
        tooltip, TTM_ENUMTOOLSA, index, buffer, [](std::vector<char>& local, char* remote) {
            reinterpret_cast<TTTOOLINFOA*>(local.data())->lpszText = remote + sizeof(TTTOOLINFOA);
        });
    if (answer.empty())
        return std::string();
    answer.back() = '\0';
    *toolWindow = reinterpret_cast<const TTTOOLINFOA*>(answer.data())->hwnd;
    return std::string(answer.data() + sizeof(TTTOOLINFOA));
}

} // namespace

HWND BenchTrayIcon(const std::string& tip)
{
    return BenchTrayIconWith([&](const std::string& shown) { return shown == tip; });
}

HWND BenchTrayIconWith(const std::function<bool(const std::string&)>& tipMatches)
{
    // Wine's standalone tray: a window with an icon window for each icon shown, and a
    // tooltip of its own whose tools are those icon windows.
    HWND tray = FindWindowA("__winex11_standalone_tray", nullptr);
    if (!tray)
        return nullptr;
    for (HWND tooltip = FindWindowExA(nullptr, nullptr, TOOLTIPS_CLASSA, nullptr); tooltip;
         tooltip = FindWindowExA(nullptr, tooltip, TOOLTIPS_CLASSA, nullptr)) {
        if (GetWindow(tooltip, GW_OWNER) != tray ||
            (GetWindowLongA(tooltip, GWL_STYLE) & TTS_BALLOON))
            continue;
        const int tools = int(SendMessageA(tooltip, TTM_GETTOOLCOUNT, 0, 0));
        for (int i = 0; i < tools; ++i) {
            HWND icon = nullptr;
            if (tipMatches(RemoteToolText(tooltip, i, &icon)) && GetParent(icon) == tray &&
                IsWindowVisible(icon))
                return icon;
        }
    }
    return nullptr;
}

std::string BenchTrayBalloon(HWND icon)
{
    // The tray shows a balloon as a tracking tooltip of the balloon style whose one tool is
    // the icon's window.
    for (HWND tooltip = FindWindowExA(nullptr, nullptr, TOOLTIPS_CLASSA, nullptr); tooltip;
         tooltip = FindWindowExA(nullptr, tooltip, TOOLTIPS_CLASSA, nullptr)) {
        HWND tool = nullptr;
        if ((GetWindowLongA(tooltip, GWL_STYLE) & TTS_BALLOON) && IsWindowVisible(tooltip)) {
            const std::string text = RemoteToolText(tooltip, 0, &tool);
            if (tool == icon)
                return text;
        }
    }
    return std::string();
}
