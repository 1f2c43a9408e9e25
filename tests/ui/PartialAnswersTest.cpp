// The pages under a driver that answers in part. One table: each user action, each read its
// page makes (while the page is read, and while the action runs), each way a driver answers
// wrong. The whole panel runs in this process against the stand-in's model behind a
// fault-injecting device I/O, and after every case four things hold:
//   - nothing is sent from or over a record not read whole just before;
//   - no record the user did not touch is sent;
//   - the page shows what the driver holds, or shows it as not read;
//   - the outcome is told as it happened (applied: no error; otherwise said, and a write left
//     unanswered is said to be unanswered).
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "Drv.h"
#include "FaultDeviceIo.h"
#include "KVX_USB_CPL.h"
#include "KVX_USB_CPLView.h"
#include "KvxUsbCatalogue.h"
#include "KvxUsbText.h"
#include "MessagePump.h"
#include "ModalAnswers.h"
#include "SettledView.h"
#include "resource.h"

CKVX_USB_CPLApp theApp;
CDrv theDrv;

namespace {

FaultDeviceIo* g_io = nullptr;
SimHardware g_baseline;

CKVX_USB_CPLView& View()
{
    return *GetActiveSettingsView();
}

void Click(CWnd& page, int id)
{
    HWND button = page.GetDlgItem(id);
    if (button && IsWindowEnabled(button))
        page.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(button));
}

// Moves an enabled slider to pos as a drag ending there would, and presses its Apply.
void SlideAndApply(CWnd& page, CSliderCtrl& slider, int pos, int applyId)
{
    if (!slider.IsWindowEnabled())
        return;
    slider.SendMessage(TBM_SETPOS, TRUE, pos);
    page.SendMessage(WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), LPARAM(slider.m_hWnd));
    Click(page, applyId);
}

// Chooses the text in an enabled list, as a click on it would, and presses Apply.
void ChooseAndApply(CWnd& page, CComboBox& list, const std::string& text, int applyId)
{
    const int item = int(list.SendMessage(CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(text.c_str())));
    if (item >= 0 && list.IsWindowEnabled()) {
        list.SetCurSel(item);
        page.SendMessage(WM_COMMAND, MAKEWPARAM(list.GetDlgCtrlID(), CBN_SELCHANGE),
                         LPARAM(list.m_hWnd));
    }
    Click(page, applyId);
}

std::vector<std::string> Items(CComboBox& list)
{
    std::vector<std::string> items;
    for (int i = 0; i < list.GetCount(); ++i)
        items.push_back(list.GetLBText(i));
    return items;
}

std::string Selected(CComboBox& list)
{
    const int item = list.GetCurSel();
    return item < 0 ? "" : list.GetLBText(item);
}

std::string Cell(CListCtrlEx& list, int row, int column)
{
    return list.GetItemText(row, column);
}

std::string DeviceCountShown()
{
    HWND bar = FindWindowExA(AfxGetMainWnd()->m_hWnd, nullptr, STATUSCLASSNAMEA, nullptr);
    char text[128] = "";
    SendMessageA(bar, SB_GETTEXTA, 1, LPARAM(text));
    return text;
}

const SimDevice& Device(const SimHardware& hw, uint32_t id)
{
    for (const SimDevice& d : hw.devices)
        if (d.properties.DeviceId == id)
            return d;
    return hw.devices.front();
}

// "" when the page shows what the driver holds, or leaves out what it could not read;
// else what it shows wrongly.
using ShownCheck = std::function<std::string(const SimHardware&)>;

// The devices in the order the driver lists them: by their ranking.
std::vector<SimDevice> Listed(const SimHardware& hw)
{
    std::vector<SimDevice> listed = hw.devices;
    std::stable_sort(listed.begin(), listed.end(), [](const SimDevice& a, const SimDevice& b) {
        return a.properties.Ranking < b.properties.Ranking;
    });
    return listed;
}

std::string DevicesShown(const SimHardware& hw)
{
    CListCtrlEx& list = View().m_DevicesPage.m_DeviceList;
    const int rows = list.GetItemCount();
    const std::vector<SimDevice> listed = Listed(hw);
    std::string wrong;
    if (rows != 0 && rows != int(listed.size()))
        wrong += "rows " + std::to_string(rows) + "; ";
    for (int row = 0; row < rows && row < int(listed.size()); ++row)
        if (Cell(list, row, 0) != RecordText(listed[row].properties.DeviceName))
            wrong += "row " + std::to_string(row) + " \"" + Cell(list, row, 0) + "\"; ";
    const std::string count = DeviceCountShown();
    if (count.find("64") != std::string::npos || count.find("1 Device") != std::string::npos)
        wrong += "count \"" + count + "\"; ";
    return wrong;
}

std::string InputsShown(const SimHardware& hw)
{
    CDlgPgChannels& page = View().m_InputChannelsPage;
    std::string wrong;
    std::vector<std::pair<std::string, std::string>> held; // device name, channel name
    for (const SimDevice& d : Listed(hw))
        for (const _KVX_USB_CHANNEL_PROPERTIES& c : d.inputs)
            held.push_back({RecordText(d.properties.DeviceName), RecordText(c.ChannelName)});
    size_t next = 0;
    for (int row = 0; row < page.m_ChannelList.GetItemCount(); ++row) {
        const std::pair<std::string, std::string> shown = {Cell(page.m_ChannelList, row, 0),
                                                           Cell(page.m_ChannelList, row, 1)};
        while (next < held.size() && held[next] != shown)
            ++next; // a channel that could not be read is left out
        if (next++ == held.size())
            wrong += "row " + std::to_string(row) + " \"" + shown.second + "\"; ";
    }
    const HWND check = page.GetDlgItem(IDC_CHANNEL_ASIO_NAMES);
    const bool checked = SendMessageA(check, BM_GETCHECK, 0, 0) == BST_CHECKED;
    if (IsWindowEnabled(check) && checked != (hw.asioNameOption != 0))
        wrong += "display-name option; ";
    return wrong;
}

// A name shown as the driver held it, or as it gave it without a terminator: cut at its
// field, the rest of the field filled as the driver filled it.
bool SameName(const std::string& shown, const std::string& held)
{
    return shown == held ||
           (shown.size() == KVX_USB_NAME_SIZE && shown.compare(0, held.size(), held) == 0 &&
            shown.find_first_not_of('#', held.size()) == std::string::npos);
}

std::string SyncShown(const SimHardware& hw)
{
    DlgPgSync& page = View().m_SyncPage;
    std::string wrong;
    std::vector<std::string> rates;
    for (uint32_t i = 0; i < hw.rateInfo.RateCount; ++i)
        rates.push_back(FormatRate(hw.rateInfo.Rates[i]));
    const std::vector<std::string> shownRates = Items(page.m_RateList);
    if (!shownRates.empty() && shownRates != rates)
        wrong += "rates; ";
    // A choice the driver refused stays, with its Apply, to be applied again.
    const bool ratePending = IsWindowEnabled(page.GetDlgItem(IDC_RATE_APPLY)) != 0;
    const bool sourcePending = IsWindowEnabled(page.GetDlgItem(IDC_SOURCE_APPLY)) != 0;
    if (!ratePending && !Selected(page.m_RateList).empty() &&
        Selected(page.m_RateList) != FormatRate(hw.rateInfo.CurrentRate))
        wrong += "rate " + Selected(page.m_RateList) + "; ";
    if (page.m_RateList.IsWindowEnabled() && hw.rateMode.Mode != KVX_USB_RATE_MODE_MANUAL)
        wrong += "rate list enabled in automatic mode; ";
    const _KVX_USB_DEVICE_SYNCH_MODE_INFO& synch = Device(hw, 1).synch;
    std::vector<std::string> sources;
    for (uint32_t i = 0; i < synch.SourceCount; ++i)
        sources.push_back(RecordText(synch.Sources[i].Name));
    const std::vector<std::string> shownSources = Items(page.m_SourceList);
    if (!shownSources.empty() && !std::equal(shownSources.begin(), shownSources.end(),
                                             sources.begin(), sources.end(), SameName))
        wrong += "sources; ";
    if (!sourcePending && !Selected(page.m_SourceList).empty() &&
        !SameName(Selected(page.m_SourceList), RecordText(synch.Current.Name)))
        wrong += "source " + Selected(page.m_SourceList) + "; ";
    return wrong;
}

std::string DepthShown(const std::string& shown, const _KVX_USB_BUFFER_DEPTH& depth, uint32_t rate)
{
    if (shown.empty())
        return "";
    const std::string ms = FormatMilliseconds(depth.Depth, "ms");
    const std::string samples = std::to_string(UsToSamples(depth.Depth, rate, depth.Granularity));
    return shown.rfind(ms, 0) == 0 && shown.find("\n" + samples + " ") != std::string::npos
               ? ""
               : "\"" + shown + "\"; ";
}

std::string BuffersShown(const SimHardware& hw)
{
    CDlgPgASIOSettings& page = View().m_SettingsPage;
    std::string wrong = DepthShown(page.m_strAsio, hw.asioDepth, hw.rateInfo.CurrentRate);
    char wdm[64] = "";
    GetDlgItemTextA(page.m_hWnd, IDC_WDM_VALUE, wdm, sizeof wdm);
    wrong += DepthShown(wdm, hw.wdmDepth, hw.rateInfo.CurrentRate);
    if (!page.m_strStream.empty() &&
        page.m_strStream != FormatMilliseconds(hw.streamDepth.Current, "ms"))
        wrong += "stream \"" + page.m_strStream + "\"; ";
    return wrong;
}

// A user action on one page: what it does, the reads its page makes, the one write it asks
// for and which records that write may go to, and whether the driver holds the new value.
struct Action {
    const char* name;
    CPageCode page;
    std::vector<DWORD> reads;
    DWORD write;
    std::function<void(ModalAnswers&)> act;
    std::function<bool(const SimHardware&)> held;
    ShownCheck shown;
    // The one record the write may go to, by the id it starts with (0: any).
    std::set<uint32_t> targets;
    // The record the write sends is read afresh with this code before it, with the same id.
    DWORD freshRead;
    // How the driver stands before the action, from the scenario.
    std::function<void(SimHardware&)> prepare = [](SimHardware&) {};
};

// A rate can be chosen only while the driver selects it manually; the scenario's is automatic.
void ManualRates(SimHardware& hw)
{
    hw.rateMode.Mode = KVX_USB_RATE_MODE_MANUAL;
}

// 96 kHz chosen and applied, with the driver's selection mode as prepare leaves it.
Action RateAction(const char* name, std::function<void(SimHardware&)> prepare)
{
    return {name,
            PAGE_SYNCHRONISATION,
            {IOCTL_KVX_USB_GET_SAMPLE_RATE_INFO, IOCTL_KVX_USB_GET_SAMPLE_RATE_MODE},
            IOCTL_KVX_USB_SET_SAMPLE_RATE,
            [](ModalAnswers&) {
                DlgPgSync& page = View().m_SyncPage;
                ChooseAndApply(page, page.m_RateList, "96.0 kHz", IDC_RATE_APPLY);
            },
            [](const SimHardware& hw) { return hw.rateInfo.CurrentRate == 96000; },
            SyncShown,
            {},
            0,
            std::move(prepare)};
}

CDlgPgDevices& DevicesPage()
{
    return View().m_DevicesPage;
}

std::vector<Action> Actions()
{
    const uint32_t firstInput = SimChannelId(1, false, 0);
    return {
        {"rank",
         PAGE_DEVICES,
         {IOCTL_KVX_USB_GET_DEVICE_ID_LIST, IOCTL_KVX_USB_GET_DEVICE_PROPERTIES},
         IOCTL_KVX_USB_SET_DEVICE_PROPERTIES,
         [](ModalAnswers&) {
             DevicesPage().m_DeviceList.SelectRow(1);
             Click(DevicesPage(), IDC_DEVICE_UP);
             Click(DevicesPage(), IDC_DEVICE_APPLY);
         },
         [](const SimHardware& hw) {
             return Device(hw, 2).properties.Ranking < Device(hw, 1).properties.Ranking;
         },
         DevicesShown,
         {1, 2},
         IOCTL_KVX_USB_GET_DEVICE_PROPERTIES},
        {"rename device",
         PAGE_DEVICES,
         {IOCTL_KVX_USB_GET_DEVICE_ID_LIST, IOCTL_KVX_USB_GET_DEVICE_PROPERTIES},
         IOCTL_KVX_USB_SET_DEVICE_PROPERTIES,
         [](ModalAnswers& answers) {
             DevicesPage().m_DeviceList.SelectRow(0);
             answers.TypeName("Desk Rig");
             Click(DevicesPage(), IDC_DEVICE_EDIT_NAME);
         },
         [](const SimHardware& hw) {
             return RecordText(Device(hw, 1).properties.DeviceName) == "Desk Rig";
         },
         DevicesShown,
         {1},
         IOCTL_KVX_USB_GET_DEVICE_PROPERTIES},
        {"rename channel",
         PAGE_INPUT_CHANNELS,
         {IOCTL_KVX_USB_GET_CHANNEL_ID_LISTS, IOCTL_KVX_USB_GET_CHANNEL_PROPERTIES,
          IOCTL_KVX_USB_GET_DEVICE_PROPERTIES},
         IOCTL_KVX_USB_SET_CHANNEL_PROPERTIES,
         [](ModalAnswers& answers) {
             CDlgPgChannels& page = View().m_InputChannelsPage;
             page.m_ChannelList.SelectRow(0);
             answers.TypeName("Vox");
             Click(page, IDC_CHANNEL_EDIT_NAME);
         },
         [firstInput](const SimHardware& hw) {
             return RecordText(Device(hw, 1).inputs[0].ChannelName) == "Vox" &&
                    Device(hw, 1).inputs[0].ChannelId == firstInput;
         },
         InputsShown,
         {firstInput},
         IOCTL_KVX_USB_GET_CHANNEL_PROPERTIES},
        {"display-name option",
         PAGE_INPUT_CHANNELS,
         {IOCTL_KVX_USB_GET_ASIO_NAME_OPTION},
         IOCTL_KVX_USB_SET_ASIO_NAME_OPTION,
         [](ModalAnswers&) {
             HWND check = View().m_InputChannelsPage.GetDlgItem(IDC_CHANNEL_ASIO_NAMES);
             if (IsWindowEnabled(check))
                 SendMessageA(check, BM_CLICK, 0, 0);
         },
         [](const SimHardware& hw) { return hw.asioNameOption == 0; },
         InputsShown,
         {},
         0},
        {"clock source",
         PAGE_SYNCHRONISATION,
         {IOCTL_KVX_USB_GET_DEVICE_ID_LIST, IOCTL_KVX_USB_GET_SYNCH_MODE_INFO},
         IOCTL_KVX_USB_SET_SYNCH_MODE,
         [](ModalAnswers&) {
             DlgPgSync& page = View().m_SyncPage;
             ChooseAndApply(page, page.m_SourceList, "S/PDIF", IDC_SOURCE_APPLY);
         },
         [](const SimHardware& hw) { return Device(hw, 1).synch.Current.SourceId == 1; },
         SyncShown,
         {1},
         IOCTL_KVX_USB_GET_SYNCH_MODE_INFO},
        RateAction("rate", ManualRates),
        RateAction("rate in automatic mode", [](SimHardware&) {}),
        {"ASIO depth",
         PAGE_SETTINGS,
         {IOCTL_KVX_USB_GET_ASIO_BUFFER_DEPTH, IOCTL_KVX_USB_GET_SAMPLE_RATE_INFO},
         IOCTL_KVX_USB_SET_ASIO_BUFFER_DEPTH,
         [](ModalAnswers&) {
             CDlgPgASIOSettings& page = View().m_SettingsPage;
             SlideAndApply(page, page.m_AsioSlider, 8, IDC_ASIO_APPLY);
         },
         [](const SimHardware& hw) { return hw.asioDepth.Depth == 8000; },
         BuffersShown,
         {},
         IOCTL_KVX_USB_GET_ASIO_BUFFER_DEPTH},
        {"stream depth",
         PAGE_SETTINGS,
         {IOCTL_KVX_USB_GET_STREAM_BUFFER_DEPTH},
         IOCTL_KVX_USB_SET_STREAM_BUFFER_DEPTH,
         [](ModalAnswers&) {
             CDlgPgASIOSettings& page = View().m_SettingsPage;
             SlideAndApply(page, page.m_StreamSlider, 6, IDC_STREAM_APPLY); // 3 ms at 500 us
         },
         [](const SimHardware& hw) { return hw.streamDepth.Current == 3000; },
         BuffersShown,
         {},
         IOCTL_KVX_USB_GET_STREAM_BUFFER_DEPTH},
    };
}

const std::set<DWORD> kWrites = {
    IOCTL_KVX_USB_SET_ASIO_NAME_OPTION,   IOCTL_KVX_USB_SET_CLOCK_MASTER,
    IOCTL_KVX_USB_SET_SAMPLE_RATE_MODE,   IOCTL_KVX_USB_SET_SAMPLE_RATE,
    IOCTL_KVX_USB_SET_SYNCH_MODE,         IOCTL_KVX_USB_SET_DEVICE_PROPERTIES,
    IOCTL_KVX_USB_SET_CHANNEL_PROPERTIES, IOCTL_KVX_USB_SET_STREAM_BUFFER_DEPTH,
    IOCTL_KVX_USB_SET_ASIO_BUFFER_DEPTH,  IOCTL_KVX_USB_SET_WDM_BUFFER_DEPTH,
};

// A depth the driver took restarts the streams.
bool Restarts(const Action& a)
{
    return a.write == IOCTL_KVX_USB_SET_STREAM_BUFFER_DEPTH ||
           a.write == IOCTL_KVX_USB_SET_WDM_BUFFER_DEPTH;
}

bool IsIdList(DWORD code)
{
    return code == IOCTL_KVX_USB_GET_DEVICE_ID_LIST || code == IOCTL_KVX_USB_GET_CHANNEL_ID_LISTS;
}

bool HasCount(DWORD code)
{
    return IsIdList(code) || code == IOCTL_KVX_USB_GET_SYNCH_MODE_INFO ||
           code == IOCTL_KVX_USB_GET_SAMPLE_RATE_INFO;
}

// Whether a read came back whole and consistent, by what the fault did to it.
bool ReadWhole(const SentRequest& read, FaultKind kind)
{
    const KvxUsbOperation* op = FindKvxUsbOperation(read.code);
    if (read.status != 0 || !op || read.returned < op->outSize)
        return false;
    if (!read.faulted)
        return true;
    return !(kind == FaultKind::Overcount && HasCount(read.code)) &&
           !(kind == FaultKind::RepeatedIds && IsIdList(read.code));
}

uint32_t FirstWord(const std::vector<char>& bytes)
{
    uint32_t word = 0;
    if (bytes.size() >= sizeof word)
        std::memcpy(&word, bytes.data(), sizeof word);
    return word;
}

// Puts the driver back as the scenario has it (as another program would: the panel hears of
// it) and lets the panel catch up.
void Restore(const Action& action)
{
    g_io->Reset();
    g_io->Sim().Change({KVX_USB_NOTIFY_SETTING_CHANGE, 0, 0}, [&action](CSimModel& model) {
        model.Hardware() = g_baseline;
        action.prepare(model.Hardware());
        return DWORD(0);
    });
    ASSERT_TRUE(PumpUntil([] {
        return View().DriverState() == CConnectionState::Connected && View().SettleChanges();
    }));
}

class PartialAnswers : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        g_io = new FaultDeviceIo("demo");
        ASSERT_TRUE(g_io->Loaded()) << g_io->Error();
        g_baseline = g_io->Hardware();
        static char commandLine[] = "";
        ASSERT_TRUE(AfxWinInit(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL));
        ASSERT_TRUE(theApp.InitInstance()) << "another panel holds the instance mutex?";
        ASSERT_TRUE(WaitForSettledView(View()));
        // The panel hears change records: a missed one is a case of its own.
        const std::string status = g_io->Sim().Status();
        ASSERT_NE(std::string::npos, status.find("event registered")) << status;
    }
    static void TearDownTestSuite()
    {
        if (theApp.m_pMainWnd)
            theApp.m_pMainWnd->DestroyWindow();
        PumpUntil([] { return false; }, 50);
        delete g_io;
        g_io = nullptr;
    }
};

struct Case {
    const Action* action;
    Fault fault;
    bool whileReading; // every read of the kind while the page reads, else the first one in the
                       // action
    bool missedRecord; // another program renames device 2, and its change record is lost
};

std::string Name(const Case& c)
{
    return std::string(c.action->name) + ", " + Describe(c.fault) +
           (c.whileReading ? " while the page reads" : " during the action") +
           (c.missedRecord ? ", after a missed change record" : "");
}

// Runs one case and returns what went wrong, "" when nothing did.
std::string RunCase(const Case& c)
{
    const Action& a = *c.action;
    Restore(a);
    View().ShowPage(a.page);
    if (c.missedRecord) {
        g_io->Add(c.fault);
        _KVX_USB_DEVICE_PROPERTIES renamed = Device(g_baseline, 2).properties;
        SetRecordText(renamed.DeviceName, "Tour Rig");
        g_io->Sim().Command(IOCTL_KVX_USB_SET_DEVICE_PROPERTIES, &renamed, sizeof renamed, nullptr,
                            0);
        PumpUntil([] { return View().SettleChanges(); }, 3000);
    } else if (c.whileReading) {
        // Every read of the kind answers wrong while the page reads; the user then acts on
        // what it shows.
        Fault always = c.fault;
        always.nth = 0;
        g_io->Add(always);
        View().RefreshFromDriver();
        g_io->ClearFaults();
    } else {
        g_io->Add(c.fault);
    }
    const size_t before = g_io->Sent().size();
    const SimHardware held = g_io->Hardware();
    ModalAnswers boxes;
    a.act(boxes);
    // A stalled request ends for the page at its bound; the driver answers it late.
    if (g_io->Stalled()) {
        PumpUntil([] { return View().DriverState() == CConnectionState::NotResponding; }, 8000);
        g_io->EndStalls();
    }
    PumpUntil([] {
        return View().DriverState() == CConnectionState::Connected && View().SettleChanges();
    });

    std::string wrong;
    const std::vector<SentRequest> sent = g_io->Sent();
    std::map<std::pair<DWORD, uint32_t>, bool> lastRead; // (code, id) -> read whole
    std::multiset<uint32_t> written;
    bool unanswered = false;
    for (size_t i = before; i < sent.size(); ++i) {
        const SentRequest& r = sent[i];
        if (!kWrites.count(r.code)) {
            lastRead[{r.code, FirstWord(r.in)}] = ReadWhole(r, c.fault.kind);
            continue;
        }
        const uint32_t target = FirstWord(r.in);
        if (r.code != a.write || (!a.targets.empty() && !a.targets.count(target)))
            wrong += "sent " + std::string(FindKvxUsbOperation(r.code)->name) + " for " +
                     std::to_string(target) + ", not asked for; ";
        if (written.count(target))
            wrong += "sent twice to " + std::to_string(target) + "; ";
        written.insert(target);
        const uint32_t readId = a.targets.empty() ? 0 : target;
        if (a.freshRead && !lastRead[{a.freshRead, readId}])
            wrong += "sent over a record not read whole just before; ";
        if (r.status == ERROR_INVALID_DATA)
            wrong += "sent bytes the driver did not give; ";
        unanswered = unanswered || (r.faulted && c.fault.kind == FaultKind::Stall);
    }
    const SimHardware now = g_io->Hardware();
    wrong += a.shown(now);
    if (c.missedRecord && RecordText(Device(now, 2).properties.DeviceName) != "Tour Rig")
        wrong += "another program's change lost; ";
    const bool applied = a.held(now) && !a.held(held);
    const std::string told = boxes.Boxes();
    const bool restartFailed = applied && c.fault.code == IOCTL_KVX_USB_START_STREAMS;
    if (restartFailed) {
        if (told.find("not restarted") == std::string::npos)
            wrong += "the streams left stopped, and told \"" + told + "\"; ";
    } else if (unanswered && told.find("no answer") == std::string::npos)
        wrong += "an unanswered write told as \"" + told + "\"; ";
    else if (!unanswered && applied && !told.empty())
        wrong += "applied, yet told \"" + told + "\"; ";
    else if (!unanswered && !applied && !written.empty() && told.empty())
        wrong += "not applied, and nothing said; ";
    return wrong;
}

std::vector<Case> Cases(const std::vector<Action>& actions)
{
    const struct {
        FaultKind kind;
        DWORD arg; // for Short: 1 is half the record
    } kinds[] = {{FaultKind::Status, ERROR_GEN_FAILURE},
                 {FaultKind::Short, 1},
                 {FaultKind::Short, 0},
                 {FaultKind::RepeatedIds, 0},
                 {FaultKind::Overcount, 0},
                 {FaultKind::Unterminated, 0},
                 {FaultKind::OffDomain, 0}};
    std::vector<Case> cases;
    for (const Action& a : actions) {
        for (DWORD read : a.reads) {
            const DWORD half = FindKvxUsbOperation(read)->outSize / 2;
            for (const auto& k : kinds)
                for (bool whileReading : {true, false})
                    cases.push_back(
                        {&a,
                         {read, 1, k.kind, k.kind == FaultKind::Short && k.arg ? half : k.arg},
                         whileReading,
                         false});
        }
        for (const Fault& missed :
             {Fault{IOCTL_KVX_USB_GET_NOTIFICATION, 1, FaultKind::Status, ERROR_GEN_FAILURE},
              Fault{IOCTL_KVX_USB_GET_NOTIFICATION, 1, FaultKind::Short, 0}})
            cases.push_back({&a, missed, false, true});
        cases.push_back(
            {&a, {a.write, 1, FaultKind::Status, ERROR_INVALID_PARAMETER}, false, false});
        cases.push_back({&a, {a.write, 1, FaultKind::Stall, 0}, false, false});
        if (Restarts(a))
            cases.push_back({&a,
                             {IOCTL_KVX_USB_START_STREAMS, 1, FaultKind::Status, ERROR_GEN_FAILURE},
                             false,
                             false});
    }
    return cases;
}

TEST_F(PartialAnswers, EveryActionUnderEveryWrongAnswerKeepsTheDriversSettingsAndTellsTheTruth)
{
    const std::vector<Action> actions = Actions();
    const std::vector<Case> cases = Cases(actions);
    int failed = 0;
    for (const Case& c : cases) {
        const std::string wrong = RunCase(c);
        if (!wrong.empty()) {
            ++failed;
            ADD_FAILURE() << Name(c) << ": " << wrong;
        }
    }
    std::printf("partial answers: %d cases, %d failed\n", int(cases.size()), failed);
}

} // namespace
