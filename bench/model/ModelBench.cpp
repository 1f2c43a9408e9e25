// Prints, against the stand-in driver with its largest scenario (64 devices, 256 input and
// 256 output channels): wall time and request count of each model load, and the latency
// from a change reaching the stand-in to the notice arriving at the target window.
//
//   model_bench [LOAD_ROUNDS [NOTICES]]        (defaults 30 and 1000)
//
// The change comes from a second process (this program started with --changer), because
// the stand-in reports a change only to clients of other processes.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "CountingDeviceIo.h"
#include "Drv.h"
#include "KvxuUsbNotificator.h"
#include "NoticeWindow.h"
#include "SimDriverProcess.h"

CDrv theDrv;

namespace {

// What the changer shares with the bench: when its change request left and came back.
struct ChangeTimes {
    LONGLONG sent;
    LONGLONG answered;
};

const char* const SHARED_NAME = "kvx-model-bench-times";
const char* const GO_NAME = "kvx-model-bench-go";
const char* const DONE_NAME = "kvx-model-bench-done";

LONGLONG Now()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

double Milliseconds(LONGLONG ticks)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * double(ticks) / double(frequency.QuadPart);
}

double Percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    size_t index = size_t(fraction * double(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

// --- the changer process ------------------------------------------------------------------

int RunChanger(int count)
{
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, SHARED_NAME);
    HANDLE go = OpenEventA(SYNCHRONIZE, FALSE, GO_NAME);
    HANDLE done = OpenEventA(EVENT_MODIFY_STATE, FALSE, DONE_NAME);
    if (!mapping || !go || !done)
        return 3;
    auto* times = static_cast<ChangeTimes*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
    CKvxuUsbDriver channel;
    if (!times || channel.Open(KVX_USB_DEVICE_NAME) != 0)
        return 4;
    for (int i = 0; i < count; ++i) {
        if (WaitForSingleObject(go, 20000) != WAIT_OBJECT_0)
            return 5;
        uint32_t option = uint32_t(i & 1);
        times->sent = Now();
        channel.SetAsioNameOption(&option);
        times->answered = Now();
        SetEvent(done);
    }
    return 0;
}

// --- the bench ----------------------------------------------------------------------------

void BenchLoad(const char* name, int rounds, CountingDeviceIo& requests,
               const std::function<DWORD()>& load, const std::function<size_t()>& records)
{
    std::vector<double> times;
    DWORD status = 0;
    for (int round = 0; round < rounds; ++round) {
        requests.Reset();
        LONGLONG start = Now();
        status = load();
        times.push_back(Milliseconds(Now() - start));
    }
    const double median = Percentile(times, 0.5);
    std::printf("%-20s median %7.2f ms  min %7.2f ms  requests %3u (%.3f ms each)  records %3u  "
                "status 0x%lx\n",
                name, median, Percentile(times, 0.0), requests.total,
                requests.total ? median / requests.total : 0.0, unsigned(records()),
                static_cast<unsigned long>(status));
}

bool StartChanger(int count, PROCESS_INFORMATION* changer)
{
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string line = "\"" + std::string(exe) + "\" --changer " + std::to_string(count);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    return CreateProcessA(exe, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                          nullptr, &startup, changer) != FALSE;
}

int BenchNotices(int count)
{
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        sizeof(ChangeTimes), SHARED_NAME);
    HANDLE go = CreateEventA(nullptr, FALSE, FALSE, GO_NAME);
    HANDLE done = CreateEventA(nullptr, FALSE, FALSE, DONE_NAME);
    auto* times = static_cast<ChangeTimes*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));

    NoticeWindow window;
    CKvxuUsbNotificator notificator;
    LONGLONG received = 0;
    window.onNotice = [&] {
        received = Now();
        _KVX_USB_NOTIFICATION record;
        while (notificator.GetNotification(&record) == 0) {
        }
    };
    notificator.SetTarget(window.hwnd, WM_DRIVER_NOTIFY, 0, 0);
    DWORD status = notificator.Start(KVX_USB_DEVICE_NAME);
    PROCESS_INFORMATION changer = {};
    if (!times || status != 0 || !StartChanger(count, &changer)) {
        std::printf("notification bench could not start (status 0x%lx)\n",
                    static_cast<unsigned long>(status));
        return 1;
    }

    std::vector<double> latencies, roundTrips;
    for (int i = 0; i < count; ++i) {
        const int before = window.notices;
        SetEvent(go);
        bool noticed = PumpUntil([&] { return window.notices > before; }, 5000);
        if (!noticed || WaitForSingleObject(done, 5000) != WAIT_OBJECT_0) {
            std::printf("notice %d did not arrive\n", i);
            break;
        }
        latencies.push_back(Milliseconds(received - times->sent));
        roundTrips.push_back(Milliseconds(times->answered - times->sent));
    }
    WaitForSingleObject(changer.hProcess, 20000);
    CloseHandle(changer.hThread);
    CloseHandle(changer.hProcess);
    notificator.Stop();

    std::printf("notices %u of %d: change request sent -> message received: median %.3f ms, "
                "p99 %.3f ms, max %.3f ms\n",
                unsigned(latencies.size()), count, Percentile(latencies, 0.5),
                Percentile(latencies, 0.99), Percentile(latencies, 1.0));
    std::printf("  (the change request's own round trip: median %.3f ms, p99 %.3f ms; the record "
                "is queued inside it)\n",
                Percentile(roundTrips, 0.5), Percentile(roundTrips, 0.99));
    UnmapViewOfFile(times);
    CloseHandle(mapping);
    CloseHandle(go);
    CloseHandle(done);
    return latencies.size() == size_t(count) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--changer")
        return RunChanger(std::atoi(argv[2]));
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    const int notices = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1000;

    SimDriverProcess sim;
    if (!sim.Start("maximal")) {
        std::printf("the stand-in driver did not start:\n%s\n", sim.Log().c_str());
        return 1;
    }
    CountingDeviceIo requests;
    DWORD status = theDrv.Open(KVX_USB_DEVICE_NAME);
    if (status != 0) {
        std::printf("open failed: 0x%lx\n", static_cast<unsigned long>(status));
        return 1;
    }
    std::printf("stand-in, maximal scenario; %d rounds per load\n", rounds);
    BenchLoad(
        "LoadDevices", rounds, requests, [] { return theDrv.LoadDevices(); },
        [] { return theDrv.m_Devices.size(); });
    BenchLoad(
        "LoadSynchModes", rounds, requests, [] { return theDrv.LoadSynchModes(); },
        [] { return theDrv.m_SynchModes.size(); });
    BenchLoad(
        "LoadChannels input", rounds, requests,
        [] { return theDrv.LoadChannels(theDrv.m_InputChannels, KvxUsbDirection::Input); },
        [] { return theDrv.m_InputChannels.size(); });
    BenchLoad(
        "LoadChannels output", rounds, requests,
        [] { return theDrv.LoadChannels(theDrv.m_OutputChannels, KvxUsbDirection::Output); },
        [] { return theDrv.m_OutputChannels.size(); });
    theDrv.Close();
    return BenchNotices(notices);
}
