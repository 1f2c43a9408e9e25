// Soak of the control panel against its stand-in driver: faults on every operation while
// the pages are cycled, hard kills and restarts of the stand-in, plug/unplug cycles, a storm
// of change records, a crowd of starts with -exit and a driver that stops answering. For each
// phase it prints the failures, the longest time the main window did not answer, and the
// panel's threads, memory and handles before and after. Every loop has a count and a time
// limit.
//   bash bench/soak/soak.sh [BUILD] [--short] [--race] [--storm] [--stall]
// or on a started bench:
//   scripts/wine-bench.sh run BUILD BUILD/bench/soak/soak_bench.exe [--short] [--race] ...
// --race runs the starts-and-exit phase alone, --storm the storms at demo and maximal alone,
// --stall the stalls alone.
#include <windows.h>

#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "AppMessages.h"
#include "KvxUsbCatalogue.h"
#include "PanelHarness.h"
#include "SimDriverProcess.h"
#include "SoakProbe.h"
#include "SoakStandIn.h"
#include "resource.h"

namespace {

// --- limits ------------------------------------------------------------------------------

struct Limits {
    int faults; // faults that must have fired
    DWORD faultsMs;
    int restarts;
    DWORD restartsMs;
    int plugs;
    DWORD plugsMs;
    int stormRecords;
    DWORD stormMs; // sending and draining
    int raceStarts;
    int exitPairs; // a start with an -exit at once after it
    DWORD exitPairsMs;
    int stalls; // short stalls in a row, then one of 5 s and one of 30 s
    DWORD stallMs;
};

// The panel leaves a storm's window free between refreshes, so fewer requests come per second
// to meet the faults: the fault phase has time for that.
const Limits kFull = {10000, 330000, 100, 150000, 100, 90000, 5000,
                      90000, 20,     100, 300000, 20,  3000};
const Limits kShort = {250, 15000, 3, 10000, 3, 8000, 500, 8000, 5, 10, 30000, 2, 2000};

const DWORD kSettleMs = 6000;  // for the panel to show what the stand-in holds
const DWORD kAnswerMs = 30000; // a message the soak itself sends the panel
// Every control whose click sends a setting back as the page holds it; the name buttons open
// a dialog that the soak confirms unchanged.
const int kSettingButtons[] = {IDC_RATE_APPLY,         IDC_SOURCE_APPLY,     IDC_MASTER_APPLY,
                               IDC_MODE_APPLY,         IDC_STREAM_APPLY,     IDC_ASIO_APPLY,
                               IDC_WDM_APPLY,          IDC_DEVICE_APPLY,     IDC_DEVICE_EDIT_NAME,
                               IDC_CHANNEL_ASIO_NAMES, IDC_CHANNEL_EDIT_NAME};
const int kRowLists[] = {IDC_DEVICE_LIST, IDC_CHANNEL_LIST};
const size_t kInputChannelsItem = 1; // in the page tree
const DWORD kFaultStatuses[] = {0x1F, 1168, 87, 5, 0xE0000047, 24, 1167, 109};

// --- the panel from outside ----------------------------------------------------------------

// Selects a list's first row, as a click on it would.
void SelectFirstRow(HWND list)
{
    LVITEMA item = {};
    item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
    const char* bytes = reinterpret_cast<const char*>(&item);
    SendWithRemoteBuffer(list, LVM_SETITEMSTATE, 0, std::vector<char>(bytes, bytes + sizeof item));
}

// The device count the panel shows in its status bar, or -1.
int PanelDeviceCount(HWND frame)
{
    HWND bar = FindStatusBar(frame);
    if (!bar)
        return -1;
    const std::string text = RemoteStatusText(bar, 1);
    if (text.empty() || !isdigit(static_cast<unsigned char>(text[0])))
        return -1;
    return std::atoi(text.c_str());
}

bool PanelSaysNotResponding(HWND frame)
{
    HWND bar = FindStatusBar(frame);
    return bar && RemoteStatusText(bar, 1) == "Driver not responding.";
}

bool Answers(HWND window, DWORD timeoutMs)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

void CollectTreeItems(HWND tree, HTREEITEM first, std::vector<HTREEITEM>* items)
{
    for (HTREEITEM item = first; item && items->size() < 64;) {
        items->push_back(item);
        DWORD_PTR child = 0, next = 0;
        if (SendMessageTimeoutA(tree, TVM_GETNEXTITEM, TVGN_CHILD, LPARAM(item), SMTO_NORMAL,
                                kAnswerMs, &child) &&
            child)
            CollectTreeItems(tree, HTREEITEM(child), items);
        if (!SendMessageTimeoutA(tree, TVM_GETNEXTITEM, TVGN_NEXT, LPARAM(item), SMTO_NORMAL,
                                 kAnswerMs, &next))
            break;
        item = HTREEITEM(next);
    }
}

// The page tree's items, in tree order; none without a tree that answers.
std::vector<HTREEITEM> PageTreeItems(HWND tree)
{
    std::vector<HTREEITEM> items;
    DWORD_PTR root = 0;
    if (tree &&
        SendMessageTimeoutA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0, SMTO_NORMAL, kAnswerMs, &root))
        CollectTreeItems(tree, HTREEITEM(root), &items);
    return items;
}

// Selects the item, as a click would; true when the selection was answered (and the page
// it shows filled).
bool SelectTreeItem(HWND tree, HTREEITEM item)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(tree, TVM_SELECTITEM, TVGN_CARET, LPARAM(item), SMTO_NORMAL,
                               kAnswerMs, &result) != 0;
}

// Selects every page in turn, each selection answered (and its page filled) before the next.
int CyclePages(HWND frame)
{
    HWND tree = FindPageTree(frame);
    int selected = 0;
    for (HTREEITEM item : PageTreeItems(tree))
        selected += SelectTreeItem(tree, item) ? 1 : 0;
    return selected;
}

// Shows the page of the tree's item at this position (0: devices, 1: input channels, ...).
bool ShowPageAt(HWND frame, size_t position)
{
    HWND tree = FindPageTree(frame);
    const std::vector<HTREEITEM> items = PageTreeItems(tree);
    return position < items.size() && SelectTreeItem(tree, items[position]);
}

struct ChildSearch {
    int id;
    std::vector<HWND> found;
};

BOOL CALLBACK MatchChildId(HWND hwnd, LPARAM param)
{
    ChildSearch& search = *reinterpret_cast<ChildSearch*>(param);
    if (GetDlgCtrlID(hwnd) == search.id)
        search.found.push_back(hwnd);
    return TRUE;
}

// Every window below the frame with that control id (the two channel pages share theirs).
std::vector<HWND> FindDescendants(HWND frame, int id)
{
    ChildSearch search = {id, {}};
    EnumChildWindows(frame, MatchChildId, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct BoxSearch {
    DWORD processId;
    HWND frame;
    std::vector<HWND> boxes;
};

BOOL CALLBACK MatchBox(HWND hwnd, LPARAM param)
{
    BoxSearch& search = *reinterpret_cast<BoxSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    char cls[16] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (owner == search.processId && hwnd != search.frame && IsWindowVisible(hwnd) &&
        std::strcmp(cls, "#32770") == 0)
        search.boxes.push_back(hwnd);
    return TRUE;
}

// Confirms the panel's dialogs and message boxes (a name dialog, a refused Apply); how many
// there were.
int DismissBoxes(DWORD processId, HWND frame)
{
    int dismissed = 0;
    for (int round = 0; round < 20; ++round) {
        BoxSearch search = {processId, frame, {}};
        EnumWindows(MatchBox, reinterpret_cast<LPARAM>(&search));
        if (search.boxes.empty())
            break;
        for (HWND box : search.boxes) {
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            ++dismissed;
        }
        Pause(50);
    }
    return dismissed;
}

// Clicks every setting button of the pages, enabled or not, with the lists' first rows
// selected: each sends its setting as the page holds it, so the driver's state stays as it
// was unless a fault refuses it. Returns the dialogs and message boxes closed.
int PressSettingButtons(DWORD processId, HWND frame)
{
    for (int id : kRowLists)
        for (HWND list : FindDescendants(frame, id))
            SelectFirstRow(list);
    int boxes = 0;
    for (int id : kSettingButtons)
        for (HWND button : FindDescendants(frame, id)) {
            DWORD_PTR result = 0;
            // A dialog or a refusal opens inside the handler: the send then times out.
            if (!SendMessageTimeoutA(GetParent(button), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                                     LPARAM(button), SMTO_NORMAL, 400, &result))
                boxes += DismissBoxes(processId, frame);
        }
    return boxes + DismissBoxes(processId, frame);
}

// --- phases ------------------------------------------------------------------------------

struct PhaseResult {
    std::string name;
    std::string runs; // e.g. "10000 faults fired"
    int failures = 0;
    std::vector<std::string> notes; // the first failures
    std::vector<std::string> info;  // what else happened
    DWORD longestMs = 0;
    bool watched = false;
    Usage before, after;
    bool measured = false;
    DWORD elapsedMs = 0;

    void Fail(const std::string& what)
    {
        ++failures;
        if (notes.size() < 6)
            notes.push_back(what);
    }
};

class CSoak {
public:
    CSoak(const Limits& limits) : m_limits(limits) {}

    bool StartStandIn(const std::string& scenario = "demo")
    {
        m_scenario = scenario;
        if (!m_sim.Start(scenario)) {
            std::printf("the stand-in driver did not start:\n%s", m_sim.Log().c_str());
            return false;
        }
        return true;
    }

    bool StartPanel()
    {
        m_panel.reset(new CPanelProcess(""));
        m_frame = m_panel->Started() ? m_panel->WaitForMainWindow(true, 20000) : nullptr;
        if (!m_frame) {
            std::printf("the control panel did not show its window\n");
            return false;
        }
        SimState s = Sim();
        m_devices = s.plugged;
        return WaitForPanel(m_devices.size(), true, 20000).empty();
    }

    SimState Sim() { return ReadSim(m_sim.PipeName(), m_panel ? m_panel->Id() : 0); }
    int Cmd(const std::vector<std::string>& args) { return Control(m_sim.PipeName(), args); }

    // Empty when the panel lives, answers, shows `count` devices and (if asked) has an
    // event registered with the stand-in within the time; else what is wrong.
    std::string WaitForPanel(size_t count, bool registered, DWORD timeoutMs)
    {
        const DWORD end = Now() + timeoutMs;
        std::string wrong;
        do {
            if (!m_panel->Running())
                return "panel process ended";
            if (!IsWindow(m_frame))
                return "main window gone";
            if (!Answers(m_frame, 5000)) {
                wrong = "window not answering";
                continue;
            }
            const int shown = PanelDeviceCount(m_frame);
            SimState s = registered ? Sim() : SimState();
            if (shown != int(count))
                wrong = "status bar shows " + std::to_string(shown) +
                        " device(s), the stand-in has " + std::to_string(count);
            else if (registered && s.panelEvents == 0)
                wrong = "no event registered with the stand-in";
            else if (registered && s.panelQueued > 0)
                wrong = std::to_string(s.panelQueued) + " record(s) still queued for the panel";
            else
                return std::string();
            Pause(25);
        } while (LONG(end - Now()) > 0);
        return wrong;
    }

    // The panel hears change records: a device goes and comes back.
    std::string CheckHearsChanges()
    {
        if (m_devices.size() < 2)
            return std::string();
        const std::string last = std::to_string(m_devices.back());
        Cmd({"unplug", last});
        std::string wrong = WaitForPanel(m_devices.size() - 1, false, kSettleMs);
        Cmd({"plug", last});
        if (!wrong.empty())
            return "after an unplug: " + wrong;
        wrong = WaitForPanel(m_devices.size(), true, kSettleMs);
        return wrong.empty() ? wrong : "after a plug: " + wrong;
    }

    // Short stalls in a row (for leaks), then one of 5 s and one of 30 s (a full run).
    void StallPhases()
    {
        Stalls("stalls", m_limits.stalls, m_limits.stallMs);
        if (m_limits.stalls < kFull.stalls)
            return;
        Stalls("stall 5 s", 1, 5000);
        Stalls("stall 30 s", 1, 30000);
    }

    // The stand-in stops answering for stallMs, count times in a row. Each stall is met by
    // a change record and by the pages cycled while it lasts; after each the panel must show
    // the stand-in's devices, have its event registered and hear changes again.
    void Stalls(const std::string& name, int count, DWORD stallMs)
    {
        PhaseResult r;
        Begin(r, name.c_str());
        int stalls = 0, told = 0;
        const DWORD limitMs = count * (stallMs + 3 * kSettleMs);
        for (; stalls < count && !Expired(limitMs); ++stalls) {
            Cmd({"fault", "stall", std::to_string(stallMs)});
            const DWORD end = Now() + stallMs;
            Cmd({"notify", "3", "0", "0"});
            bool said = false;
            while (LONG(end - Now()) > 0) {
                CyclePages(m_frame);
                said = said || PanelSaysNotResponding(m_frame);
                Pause(100);
            }
            told += said ? 1 : 0;
            std::string wrong = WaitForPanel(m_devices.size(), true, 2 * kSettleMs);
            if (wrong.empty())
                wrong = CheckHearsChanges();
            if (!wrong.empty())
                r.Fail("stall " + std::to_string(stalls + 1) + ": " + wrong);
            if (!m_panel->Running())
                break;
        }
        r.runs = std::to_string(stalls) + " of " + std::to_string(count) + " stalls of " +
                 std::to_string(stallMs) + " ms; \"Driver not responding.\" shown in " +
                 std::to_string(told);
        End(r);
    }

    void Begin(PhaseResult& r, const char* name, bool fresh = true)
    {
        r.name = name;
        std::printf("-- %s ...\n", name);
        // Each phase starts from a panel that shows what the stand-in holds, so that what
        // one phase left behind is not counted again by the next.
        if (fresh) {
            m_devices = Sim().plugged;
            const std::string wrong =
                m_panel ? WaitForPanel(m_devices.size(), true, 2000) : "no panel";
            if (!wrong.empty()) {
                r.info.push_back("panel started afresh before the phase (" + wrong + ")");
                if (!EndPanel())
                    r.info.push_back("the stale panel did not end on -exit: terminated");
                if (!StartPanel())
                    r.Fail("the panel did not start afresh");
            }
        }
        m_phaseStart = Now();
        if (m_panel && m_panel->Running()) {
            r.before = MeasureProcess(m_panel->Handle(), PanelExePath());
            r.measured = true;
            m_watcher.Start(m_frame);
            r.watched = true;
        }
    }

    void End(PhaseResult& r)
    {
        if (r.watched) {
            r.longestMs = m_watcher.Stop();
            if (m_watcher.WindowGone())
                r.Fail("main window gone during the phase");
        }
        if (r.measured && m_panel && m_panel->Running())
            r.after = MeasureProcess(m_panel->Handle(), PanelExePath());
        r.elapsedMs = Now() - m_phaseStart;
        m_results.push_back(r);
    }

    bool Expired(DWORD limitMs) const { return Now() - m_phaseStart > limitMs; }

    // Faults fired per operation since the last call, from what the stand-in has left;
    // every fault ends afterwards.
    long CollectFired(const std::map<std::string, unsigned>& armed,
                      std::map<std::string, long>* fired, std::map<std::string, long>* last)
    {
        const SimState s = Sim();
        Cmd({"fault", "clear"});
        long total = 0;
        for (const auto& a : armed) {
            auto left = s.faultsLeft.find(a.first);
            const long n = long(a.second) - (left == s.faultsLeft.end() ? 0 : long(left->second));
            (*fired)[a.first] += n;
            (*last)[a.first] = n;
            total += n;
        }
        return total;
    }

    // Whether the operation is among the third armed this round: a hash of both, so that
    // each operation meets every other one in some rounds and misses it in others.
    static bool InThisRoundsThird(int op, int round)
    {
        const uint32_t h = (uint32_t(op) + 1) * 2654435761u ^ (uint32_t(round) + 1) * 40503u;
        return (h >> 16) % 3 == 0;
    }

    // Until the panel has fetched every record queued for it.
    void WaitForRecordsTaken(DWORD timeoutMs)
    {
        const DWORD end = Now() + timeoutMs;
        while (Sim().panelQueued > 0 && LONG(end - Now()) > 0)
            Pause(5);
    }

    void InterfaceCycle()
    {
        for (auto it = m_devices.rbegin(); it != m_devices.rend(); ++it)
            Cmd({"unplug", std::to_string(*it)});
        for (unsigned id : m_devices)
            Cmd({"plug", std::to_string(id)});
    }

    void Faults()
    {
        PhaseResult r;
        Begin(r, "faults");
        std::map<std::string, long> fired, last;
        long total = 0;
        int rounds = 0, boxes = 0, reconnectFaults = 0, recoveredAlone = 0;
        const std::string connectOps[] = {"GetDriverInfo", "RegisterNotificationEvent"};
        while (total < m_limits.faults && !Expired(m_limits.faultsMs) && m_panel->Running()) {
            ++rounds;
            // About a third of the operations at a time (but the two of a reconnect and the
            // fetching of records), so that a list read failing does not hide every read
            // after it; each with as many faults as it took last time, doubled, so that the
            // frequent reads keep failing too.
            std::map<std::string, unsigned> armed;
            for (int op = 0; op < KVX_USB_OPERATION_COUNT; ++op) {
                const std::string name = g_KvxUsbOperations[op].name;
                if (name == connectOps[0] || name == connectOps[1] || name == "GetNotification" ||
                    !InThisRoundsThird(op, rounds))
                    continue;
                const unsigned count =
                    unsigned(std::min<long>(1000, std::max<long>(20, 2 * last[name])));
                const DWORD status = kFaultStatuses[(rounds + op) % (sizeof kFaultStatuses / 4)];
                armed[name] = count;
                Cmd({"fault", name, std::to_string(count), std::to_string(status)});
            }
            // What makes the panel ask: pages shown, settings applied, records of changes
            // (one at a time, each taken before the next, and every page looked at after it,
            // since a page re-reads what it missed when it is shown), a device leaving and
            // coming.
            CyclePages(m_frame);
            PostMessageA(m_frame, WM_SHOW_ASIO_SETTINGS, 0, 0);
            boxes += PressSettingButtons(m_panel->Id(), m_frame);
            for (int record = 0; record < 20; ++record) {
                Cmd({"notify", "3", std::to_string(1 + record % 10),
                     std::to_string(m_devices.front())});
                WaitForRecordsTaken(500);
                CyclePages(m_frame);
            }
            Cmd({"notify", "4", "1", "0"});
            if (m_devices.size() > 1) {
                Cmd({"unplug", std::to_string(m_devices.back())});
                WaitForRecordsTaken(500);
                Cmd({"plug", std::to_string(m_devices.back())});
            }
            WaitForPanel(m_devices.size(), true, 1000);
            boxes += DismissBoxes(m_panel->Id(), m_frame);
            total += CollectFired(armed, &fired, &last);
            if (rounds % 2)
                continue;

            // Records that cannot be fetched: they wait in the queue for the next event.
            const unsigned notifyCount =
                unsigned(std::min<long>(200, std::max<long>(10, 2 * last["GetNotification"])));
            armed = {{"GetNotification", notifyCount}};
            Cmd({"fault", "GetNotification", std::to_string(notifyCount),
                 std::to_string(kFaultStatuses[rounds % (sizeof kFaultStatuses / 4)])});
            for (int what = 1; what <= 10; ++what)
                Cmd({"notify", "3", std::to_string(what), "0"});
            WaitForPanel(m_devices.size(), true, 300);
            total += CollectFired(armed, &fired, &last);

            if (rounds % 4)
                continue;
            // A reconnect with one of its requests failing once. The panel should come back
            // by itself; when it has not within a few seconds, the interface comes again.
            const std::string& op = connectOps[(rounds / 4) % 2];
            const DWORD status = kFaultStatuses[(rounds / 4) % (sizeof kFaultStatuses / 4)];
            armed = {{op, 1}};
            Cmd({"fault", op, "1", std::to_string(status)});
            InterfaceCycle();
            WaitForPanel(m_devices.size(), true, 1000);
            const long reconnectFired = CollectFired(armed, &fired, &last);
            total += reconnectFired;
            if (reconnectFired) {
                ++reconnectFaults;
                if (WaitForPanel(m_devices.size(), true, 4000).empty())
                    ++recoveredAlone;
                else
                    InterfaceCycle();
            }
        }
        Cmd({"fault", "clear"});
        boxes += DismissBoxes(m_panel->Id(), m_frame);
        // Without faults the panel must show what the stand-in holds and hear its changes.
        InterfaceCycle();
        std::string wrong = WaitForPanel(m_devices.size(), true, kSettleMs);
        if (wrong.empty())
            wrong = CheckHearsChanges();
        if (!wrong.empty())
            r.Fail("after the faults: " + wrong);
        if (total < m_limits.faults)
            r.Fail("only " + std::to_string(total) + " faults fired within the time limit");
        r.runs = std::to_string(total) + " faults fired in " + std::to_string(rounds) +
                 " rounds, " + std::to_string(boxes) +
                 " dialogs and refusals closed; a failed reconnect " +
                 "recovered without a new broadcast " + std::to_string(recoveredAlone) + " of " +
                 std::to_string(reconnectFaults) + " times";
        std::string never, spread;
        for (int op = 0; op < KVX_USB_OPERATION_COUNT; ++op) {
            const std::string name = g_KvxUsbOperations[op].name;
            if (fired[name] == 0)
                never += " " + name;
            else
                spread += " " + name + "=" + std::to_string(fired[name]);
        }
        m_faultSpread = spread;
        m_faultNever = never;
        End(r);
    }

    void Restarts()
    {
        PhaseResult r;
        Begin(r, "kill/restart");
        int cycles = 0;
        for (; cycles < m_limits.restarts && !Expired(m_limits.restartsMs); ++cycles) {
            m_sim.Kill(); // TerminateProcess: no removal broadcast, no last word
            if (!m_sim.Start(m_scenario)) {
                r.Fail("cycle " + std::to_string(cycles + 1) +
                       ": the stand-in did not start again");
                break;
            }
            std::string wrong = WaitForPanel(m_devices.size(), true, kSettleMs);
            if (wrong.empty())
                wrong = CheckHearsChanges();
            if (!wrong.empty())
                r.Fail("cycle " + std::to_string(cycles + 1) + ": " + wrong);
            if (!m_panel->Running())
                break;
        }
        r.runs = std::to_string(cycles) + " of " + std::to_string(m_limits.restarts) + " cycles";
        End(r);
    }

    void Plugs()
    {
        PhaseResult r;
        Begin(r, "plug/unplug");
        int cycles = 0;
        for (; cycles < m_limits.plugs && !Expired(m_limits.plugsMs); ++cycles) {
            for (auto it = m_devices.rbegin(); it != m_devices.rend(); ++it)
                Cmd({"unplug", std::to_string(*it)});
            std::string wrong = WaitForPanel(0, false, kSettleMs);
            if (!wrong.empty())
                r.Fail("cycle " + std::to_string(cycles + 1) + ", all unplugged: " + wrong);
            // The first device brings the interface back; the others come once the panel
            // shows it, as change records.
            Cmd({"plug", std::to_string(m_devices.front())});
            wrong = WaitForPanel(1, true, kSettleMs);
            if (!wrong.empty())
                r.Fail("cycle " + std::to_string(cycles + 1) + ", first plugged: " + wrong);
            for (size_t i = 1; i < m_devices.size(); ++i)
                Cmd({"plug", std::to_string(m_devices[i])});
            wrong = WaitForPanel(m_devices.size(), true, kSettleMs);
            if (!wrong.empty())
                r.Fail("cycle " + std::to_string(cycles + 1) + ", all plugged: " + wrong);
            if (!m_panel->Running())
                break;
        }
        const std::string wrong = CheckHearsChanges();
        if (!wrong.empty())
            r.Fail("after the cycles: " + wrong);
        r.runs = std::to_string(cycles) + " of " + std::to_string(m_limits.plugs) + " cycles";
        End(r);
    }

    // A scenario of its own: the stand-in stops (with its removal broadcast) and serves it.
    bool Serve(const std::string& scenario)
    {
        if (scenario == m_scenario)
            return true;
        m_sim.Stop();
        m_scenario = scenario;
        return StartStandIn(scenario);
    }

    // The storm's records each ask for a refresh of what is seen: the input channels page,
    // the slowest to refresh, is shown throughout.
    void Storm(const std::string& scenario)
    {
        PhaseResult r;
        if (!Serve(scenario)) {
            r.name = "storm " + scenario;
            r.Fail("the stand-in did not serve " + scenario);
            m_results.push_back(r);
            return;
        }
        Begin(r, ("storm " + scenario).c_str());
        r.info.push_back(ShowPageAt(m_frame, kInputChannelsItem)
                             ? "input channels page shown"
                             : "the input channels page could not be shown");
        const std::string device = std::to_string(m_devices.front());
        // Kind 2, "device came": the model does not change, every record asks for a refresh.
        // Four senders: one command takes the stand-in some milliseconds under Wine.
        std::atomic<int> next{0}, sent{0}, lost{0};
        std::vector<std::thread> senders;
        for (int t = 0; t < 4; ++t)
            senders.emplace_back([&] {
                while (next++ < m_limits.stormRecords && !Expired(m_limits.stormMs) && lost < 20) {
                    if (Cmd({"notify", "2", device, "1"}) != 0)
                        ++lost;
                    else
                        ++sent;
                }
            });
        for (std::thread& t : senders)
            t.join();
        if (lost)
            r.Fail(std::to_string(lost.load()) + " record(s) not taken by the stand-in");
        const DWORD sentMs = Now() - m_phaseStart;
        const DWORD left =
            Expired(m_limits.stormMs) ? 1000 : m_limits.stormMs - (Now() - m_phaseStart);
        std::string wrong = WaitForPanel(m_devices.size(), true, std::max<DWORD>(left, 1000));
        const DWORD drainedMs = Now() - m_phaseStart;
        const bool drained = wrong.empty();
        if (wrong.empty())
            wrong = CheckHearsChanges();
        if (!wrong.empty())
            r.Fail("after the storm: " + wrong);
        r.runs = std::to_string(sent.load()) + " records sent in " + std::to_string(sentMs) +
                 " ms, " +
                 (drained ? "all handled after " + std::to_string(drainedMs) + " ms"
                          : std::string("not all handled within the time limit"));
        End(r);
    }

    // The running panel ends first: the crowd's first start must become the one instance.
    void Race()
    {
        PhaseResult r;
        Begin(r, "starts + -exit", false);
        // Nothing lives from before to after: the figures are the processes left.
        r.watched = r.measured = false;
        m_watcher.Stop();
        if (!EndPanel())
            r.info.push_back("the panel of the phases before did not end on -exit: terminated");
        const DWORD crowdStart = Now();
        std::vector<std::unique_ptr<CPanelProcess>> crowd;
        for (int i = 0; i < m_limits.raceStarts; ++i)
            crowd.emplace_back(new CPanelProcess(""));
        const DWORD exitCode = RunPanel("-exit", 20000);
        if (exitCode == STILL_ACTIVE)
            r.Fail("the -exit start did not end");
        const DWORD end = Now() + 20000;
        int running = 0;
        do {
            running = 0;
            for (auto& p : crowd)
                running += p->Running() ? 1 : 0;
            if (running == 0)
                break;
            Pause(50);
        } while (LONG(end - Now()) > 0);
        const DWORD allEndedMs = Now() - crowdStart;
        for (auto& p : crowd)
            if (p->Running()) {
                r.Fail("a panel (process " + std::to_string(p->Id()) + ") kept running");
                TerminateProcess(p->Handle(), 1);
            }
        for (auto& p : crowd)
            WaitForSingleObject(p->Handle(), 5000);
        crowd.clear();
        // A start and at once, with no pause, a start with -exit: the -exit must not be lost
        // whether or not the first has reached its single-instance mutex yet.
        int pairsLeftRunning = 0;
        std::vector<DWORD> exitMs;
        const DWORD pairsStart = Now();
        for (int i = 0; i < m_limits.exitPairs && Now() - pairsStart < m_limits.exitPairsMs; ++i) {
            CPanelProcess first("");
            const DWORD exitStart = Now();
            RunPanel("-exit", 20000);
            exitMs.push_back(Now() - exitStart);
            if (first.WaitForExit(8000) == STILL_ACTIVE) {
                ++pairsLeftRunning;
                r.Fail("pair " + std::to_string(i + 1) +
                       ": the first start kept running (its -exit "
                       "ended after " +
                       std::to_string(exitMs.back()) + " ms)");
                TerminateProcess(first.Handle(), 1);
            }
        }
        std::sort(exitMs.begin(), exitMs.end());
        const size_t left = UnixPids(PanelExePath()).size();
        if (left)
            r.Fail(std::to_string(left) + " kvxucpl.exe process(es) left on the Unix side");
        r.runs = std::to_string(m_limits.raceStarts) + " starts at once and -exit: " +
                 (running ? std::to_string(running) + " kept running after 20 s"
                          : "all ended after " + std::to_string(allEndedMs) + " ms") +
                 "; " + std::to_string(pairsLeftRunning) + " of " + std::to_string(exitMs.size()) +
                 " start/-exit pairs with no pause left the first running" +
                 (exitMs.empty()
                      ? std::string()
                      : " (-exit ended after median " + std::to_string(exitMs[exitMs.size() / 2]) +
                            " ms, longest " + std::to_string(exitMs.back()) + " ms)");
        End(r);
    }

    // False when it had to be terminated.
    bool EndPanel()
    {
        bool ended = true;
        if (m_panel && m_panel->Running()) {
            RunPanel("-exit", 20000);
            ended = m_panel->WaitForExit(10000) != STILL_ACTIVE;
        }
        m_panel.reset(); // terminates it if it is still running
        return ended;
    }

    void StopAll()
    {
        m_watcher.Stop();
        EndPanel();
        m_sim.Stop();
    }

    int Report()
    {
        std::printf("\n%-15s %8s %10s  %-22s %-18s %-14s %-12s %s\n", "phase", "failures",
                    "unanswered", "RSS kB before->after", "fds before->after", "handles", "threads",
                    "time");
        int failures = 0;
        for (const PhaseResult& r : m_results) {
            failures += r.failures;
            char unanswered[16] = "n/a";
            if (r.watched)
                std::snprintf(unanswered, sizeof unanswered, "%lu ms",
                              static_cast<unsigned long>(r.longestMs));
            char rss[40] = "n/a", fds[40] = "n/a", handles[40] = "n/a", threads[40] = "n/a";
            if (r.measured) {
                std::snprintf(rss, sizeof rss, "%ld->%ld", r.before.rssKb, r.after.rssKb);
                std::snprintf(fds, sizeof fds, "%ld->%ld", r.before.fds, r.after.fds);
                std::snprintf(handles, sizeof handles, "%lu->%lu",
                              static_cast<unsigned long>(r.before.handles),
                              static_cast<unsigned long>(r.after.handles));
                std::snprintf(threads, sizeof threads, "%ld->%ld", r.before.threads,
                              r.after.threads);
            }
            std::printf("%-15s %8d %10s  %-22s %-18s %-14s %-12s %.1f s\n", r.name.c_str(),
                        r.failures, unanswered, rss, fds, handles, threads, r.elapsedMs / 1000.0);
            std::printf("    %s\n", r.runs.c_str());
            for (const std::string& note : r.info)
                std::printf("    note: %s\n", note.c_str());
            for (const std::string& note : r.notes)
                std::printf("    FAIL %s\n", note.c_str());
        }
        if (!m_faultSpread.empty())
            std::printf("faults fired per operation:%s\n", m_faultSpread.c_str());
        if (!m_faultNever.empty())
            std::printf("operations whose faults did not fire (not requested while armed):%s\n",
                        m_faultNever.c_str());
        std::printf("handles: GetProcessHandleCount; threads: the process's in a snapshot; RSS "
                    "and fds: /proc of the Unix process (-1: not found)\n");
        std::printf("%s: %d failure(s)\n", failures ? "SOAK FAILED" : "SOAK CLEAN", failures);
        return failures ? 1 : 0;
    }

private:
    Limits m_limits;
    SimDriverProcess m_sim;
    std::unique_ptr<CPanelProcess> m_panel;
    HWND m_frame = nullptr;
    std::vector<unsigned> m_devices;
    CWatcher m_watcher;
    DWORD m_phaseStart = 0;
    std::vector<PhaseResult> m_results;
    std::string m_faultSpread, m_faultNever;
    std::string m_scenario = "demo";
};

} // namespace

int main(int argc, char** argv)
{
    bool shortRun = false, raceOnly = false, stormOnly = false, stallOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--short") == 0) {
            shortRun = true;
        } else if (std::strcmp(argv[i], "--race") == 0) {
            raceOnly = true;
        } else if (std::strcmp(argv[i], "--storm") == 0) {
            stormOnly = true;
        } else if (std::strcmp(argv[i], "--stall") == 0) {
            stallOnly = true;
        } else {
            std::printf("usage: soak_bench [--short] [--race] [--storm] [--stall]\n");
            return 2;
        }
    }
    setvbuf(stdout, nullptr, _IONBF, 0);
    const Limits& limits = shortRun ? kShort : kFull;
    if (!UnixPids(PanelExePath()).empty()) {
        std::printf("a control panel of this build is already running; end it first\n");
        return 2;
    }
    const DWORD start = Now();
    CSoak soak(limits);
    std::printf("soak (%s): panel %s\n", shortRun ? "short" : "full", PanelExePath().c_str());
    if (!soak.StartStandIn() || (!raceOnly && !soak.StartPanel())) {
        soak.StopAll();
        return 1;
    }
    const bool all = !raceOnly && !stormOnly && !stallOnly;
    if (all) {
        soak.Faults();
        soak.Restarts();
        soak.Plugs();
    }
    if (all || stallOnly)
        soak.StallPhases();
    if (all || stormOnly) {
        soak.Storm("demo");
        if (!shortRun)
            soak.Storm("maximal");
    }
    if (all || raceOnly)
        soak.Race();
    soak.StopAll();
    const int rc = soak.Report();
    std::printf("total %.1f s\n", (Now() - start) / 1000.0);
    return rc;
}
