// Prints, for the real application in this process against a stand-in driver with its
// largest scenario (64 devices, 256 input and 256 output channels): the wall time of the
// settings view's full refresh of all pages (median, p99), the requests one refresh issues
// (per operation, and what the list pages' algorithms call for), the same run's round trip
// of a single request, and the ratio time / (requests x round trip).
// Then what one change of the driver's state costs, with each page shown in turn and with
// the window hidden: as now (the page shown and the device count re-read, the rest when
// shown) beside the former way, every page and the display-name option at once.
//
//   pages_bench [REFRESHES [ROUND_TRIPS]]     (defaults 30 and 2000)
//   scripts/wine-bench.sh start BUILD
//   scripts/wine-bench.sh run BUILD BUILD/bench/pages/pages_bench.exe
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "CountingDeviceIo.h"
#include "Drv.h"
#include "KVX_USB_CPL.h"
#include "KVX_USB_CPLView.h"
#include "KvxUsbCatalogue.h"
#include "SimDriverProcess.h"

CKVX_USB_CPLApp theApp;
CDrv theDrv;

namespace {

double NowMs()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * double(counter.QuadPart) / double(frequency.QuadPart);
}

double Percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t index = size_t(fraction * double(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

const int kChangesPerCase = 10;

struct ChangeCost {
    unsigned requests = 0; // of the last change
    double medianMs = 0;
};

// Runs the view's answer to a change kChangesPerCase times; what the lists repaint after
// each is left out, as the user's window would paint later.
template <class Answer> ChangeCost MeasureChange(CountingDeviceIo& requests, Answer answer)
{
    std::vector<double> times;
    ChangeCost cost;
    for (int i = 0; i < kChangesPerCase; ++i) {
        requests.Reset();
        const double start = NowMs();
        answer();
        times.push_back(NowMs() - start);
        cost.requests = requests.total;
        Pump();
    }
    cost.medianMs = Percentile(times, 0.5);
    return cost;
}

void PrintChangeCosts(CKVX_USB_CPLView* view, CountingDeviceIo& requests)
{
    const struct {
        const char* name;
        CPageCode page;
    } shown[] = {{"devices", PAGE_DEVICES},
                 {"input channels", PAGE_INPUT_CHANNELS},
                 {"output channels", PAGE_OUTPUT_CHANNELS},
                 {"synchronisation", PAGE_SYNCHRONISATION},
                 {"buffer settings", PAGE_SETTINGS}};
    auto before = [view] {
        theDrv.GetAsioNameOption(&theDrv.m_AsioNameOption);
        view->RefreshAllPages();
    };
    auto now = [view] { view->RefreshFromDriver(); };
    std::printf("per change, %d changes each: requests, median time  (before: every page; now: "
                "what is seen)\n",
                kChangesPerCase);
    auto print = [](const char* name, const ChangeCost& was, const ChangeCost& is) {
        std::printf("  %-22s before %5u req %8.2f ms   now %5u req %8.2f ms", name, was.requests,
                    was.medianMs, is.requests, is.medianMs);
        if (is.requests > 0)
            std::printf("   time %.1fx less", was.medianMs / std::max(is.medianMs, 0.001));
        std::printf("\n");
    };
    CWnd* frame = AfxGetMainWnd();
    for (const auto& entry : shown) {
        view->ShowPage(entry.page);
        Pump();
        const ChangeCost was = MeasureChange(requests, before);
        const ChangeCost is = MeasureChange(requests, now);
        print((std::string(entry.name) + " shown").c_str(), was, is);
    }
    frame->ShowWindow(SW_HIDE);
    Pump();
    const ChangeCost was = MeasureChange(requests, before);
    const ChangeCost is = MeasureChange(requests, now);
    print("hidden in the tray", was, is);
    frame->ShowWindow(SW_SHOW);
    Pump();
}

} // namespace

int main(int argc, char** argv)
{
    const int refreshes = argc > 1 ? std::max(20, std::atoi(argv[1])) : 30;
    const int roundTrips = argc > 2 ? std::max(100, std::atoi(argv[2])) : 2000;

    SimDriverProcess sim; // before the view opens the driver or registers
    if (!sim.Start("maximal")) {
        std::printf("the stand-in driver did not start:\n%s\n", sim.Log().c_str());
        return 1;
    }
    // Counted from the open on: the driver's channel takes the device I/O it opens with.
    CountingDeviceIo requests;
    static char commandLine[] = "";
    if (!AfxWinInit(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL) ||
        !theApp.InitInstance()) {
        std::printf("the control panel did not start (another instance?)\n");
        return 1;
    }
    Pump();
    CKVX_USB_CPLView* view = GetActiveSettingsView();
    if (!view)
        return 1;

    // Single requests of the kind the refresh issues most, on the same channel, taken
    // between the refreshes so that both see the same load of the machine.
    const int singlesPerRefresh = std::max(1, roundTrips / refreshes);
    std::vector<double> single, singleChannel;
    auto measureSingles = [&] {
        const uint32_t deviceId = theDrv.m_Devices.empty() ? 1 : theDrv.m_Devices[0]->DeviceId;
        const uint32_t channelId =
            theDrv.m_InputChannels.empty() ? 0 : theDrv.m_InputChannels[0]->ChannelId;
        _KVX_USB_DEVICE_PROPERTIES device;
        _KVX_USB_CHANNEL_PROPERTIES channel;
        for (int i = 0; i < singlesPerRefresh; ++i) {
            double start = NowMs();
            theDrv.GetDeviceProperties(&deviceId, &device);
            single.push_back(NowMs() - start);
            start = NowMs();
            theDrv.GetChannelProperties(&channelId, &channel);
            singleChannel.push_back(NowMs() - start);
        }
    };

    std::vector<double> times;
    std::vector<double> pageTimes[5], loadTimes;
    unsigned perRefresh = 0;
    std::map<DWORD, unsigned> perCode;
    CDialogPage* const pages[5] = {&view->m_DevicesPage, &view->m_InputChannelsPage,
                                   &view->m_OutputChannelsPage, &view->m_SettingsPage,
                                   &view->m_SyncPage};
    const char* const pageNames[5] = {"devices", "input channels", "output channels",
                                      "buffer settings", "synchronisation"};
    for (int i = 0; i < refreshes; ++i) {
        requests.Reset();
        const double start = NowMs();
        view->RefreshAllPages();
        times.push_back(NowMs() - start);
        perRefresh = requests.total;
        perCode = requests.perCode;
        Pump(); // the lists repaint here, once each, outside the measured refresh
        measureSingles();
        // Each page alone, in the view's refresh order, to show where the time goes.
        for (int p = 0; p < 5; ++p) {
            const double pageStart = NowMs();
            pages[p]->Refresh();
            pageTimes[p].push_back(NowMs() - pageStart);
        }
        Pump();
        // The input page's reads without its list: its channels and each one's device.
        const double loadStart = NowMs();
        theDrv.LoadChannels(theDrv.m_InputChannels, KvxUsbDirection::Input);
        for (const auto& channel : theDrv.m_InputChannels) {
            _KVX_USB_DEVICE_PROPERTIES device;
            theDrv.GetDeviceProperties(&channel->DeviceId, &device);
        }
        loadTimes.push_back(NowMs() - loadStart);
    }

    const size_t devices = theDrv.m_Devices.size();
    const size_t inputs = theDrv.m_InputChannels.size(), outputs = theDrv.m_OutputChannels.size();
    // Devices: the id list and one record each. Channels, per page: the id lists, one record
    // and its device's record per channel.
    const size_t listPages = 1 + devices + (1 + 2 * inputs) + (1 + 2 * outputs);
    std::printf("stand-in, maximal scenario: %u devices, %u input and %u output channels; "
                "list rows %d + %d + %d\n",
                unsigned(devices), unsigned(inputs), unsigned(outputs),
                view->m_DevicesPage.m_DeviceList.GetItemCount(),
                view->m_InputChannelsPage.m_ChannelList.GetItemCount(),
                view->m_OutputChannelsPage.m_ChannelList.GetItemCount());
    std::printf("requests per refresh: %u (list pages' algorithms: %u, other pages: %u)\n",
                perRefresh, unsigned(listPages), perRefresh - unsigned(listPages));
    for (const auto& code : perCode) {
        const KvxUsbOperation* operation = FindKvxUsbOperation(code.first);
        std::printf("  %-26s %4u\n", operation ? operation->name : "?", code.second);
    }
    const double median = Percentile(times, 0.5), rt = Percentile(single, 0.5);
    std::printf("RefreshAllPages over %d refreshes: median %.2f ms, p99 %.2f ms, min %.2f ms\n",
                refreshes, median, Percentile(times, 0.99), Percentile(times, 0.0));
    for (int p = 0; p < 5; ++p)
        std::printf("  %-16s page alone: median %8.2f ms\n", pageNames[p],
                    Percentile(pageTimes[p], 0.5));
    std::printf("  input channels' reads alone, no list: median %8.2f ms\n",
                Percentile(loadTimes, 0.5));
    std::printf("single request (GetDeviceProperties) over %u: median %.1f us, p99 %.1f us\n",
                unsigned(single.size()), 1000.0 * rt, 1000.0 * Percentile(single, 0.99));
    std::printf("single request (GetChannelProperties) over %u: median %.1f us, p99 %.1f us\n",
                unsigned(singleChannel.size()), 1000.0 * Percentile(singleChannel, 0.5),
                1000.0 * Percentile(singleChannel, 0.99));
    std::printf("ratio time / (requests x round trip): %.3f\n",
                perRefresh && rt > 0 ? median / (perRefresh * rt) : 0.0);

    PrintChangeCosts(view, requests);

    if (CWnd* frame = AfxGetMainWnd())
        frame->DestroyWindow();
    sim.Stop();
    return 0;
}
