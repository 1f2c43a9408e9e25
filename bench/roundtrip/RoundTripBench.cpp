// Round-trip time of one device-control request from the channel to the stand-in driver
// and back, against its floor: a bare named-pipe round trip of the same sizes between two
// processes (this program's second copy echoes), measured in the same run. Medians and 99th
// percentiles over requests that take turns, so that a load that comes and goes meets all.
// Starts its own stand-in (demo scenario) on a pipe of its own.
//   scripts/wine-bench.sh start BUILD
//   scripts/wine-bench.sh run BUILD BUILD/bench/roundtrip/roundtrip_bench.exe [ROUNDS]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "DeviceIo.h"
#include "KvxUsbStatus.h"
#include "KvxuUsbDriver.h"
#include "SimDriverProcess.h"

namespace {

const int PER_ROUND = 2000;
const int WARM_UP = 200;
const char ECHO_SWITCH[] = "--echo";

typedef std::function<DWORD()> Request;

// The stand-in's framing of GetDriverInfo: its request head, and its reply head with the
// 12-byte record.
const DWORD kRequestBytes = sizeof(KvxPipeRequest);
const DWORD kReplyBytes = sizeof(KvxPipeReply) + sizeof(_KVX_USB_DRIVER_INFO);

// The floor's server: answers each message with kReplyBytes, until the client goes.
int Echo(const char* pipeName)
{
    HANDLE pipe = CreateNamedPipeA(pipeName, PIPE_ACCESS_DUPLEX,
                                   PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096,
                                   4096, 0, nullptr);
    HANDLE ready =
        CreateEventA(nullptr, TRUE, FALSE, (std::string(pipeName + 9) + "-ready").c_str());
    if (pipe == INVALID_HANDLE_VALUE || !ready)
        return 1;
    SetEvent(ready);
    if (!ConnectNamedPipe(pipe, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED)
        return 1;
    char request[64], reply[kReplyBytes] = {};
    DWORD n = 0;
    while (ReadFile(pipe, request, sizeof request, &n, nullptr))
        if (!WriteFile(pipe, reply, sizeof reply, &n, nullptr))
            break;
    return 0;
}

// A client of this program's echoing copy, in the stand-in's pipe mode.
class CBarePipe {
public:
    bool Start(const char* self)
    {
        const std::string name = "kvxbench-echo-" + std::to_string(GetCurrentProcessId());
        const std::string path = "\\\\.\\pipe\\" + name;
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, (name + "-ready").c_str());
        std::string command = "\"" + std::string(self) + "\" " + ECHO_SWITCH + " " + path;
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        if (!ready || !CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                                      nullptr, &si, &m_server))
            return false;
        HANDLE waits[2] = {ready, m_server.hProcess};
        if (WaitForMultipleObjects(2, waits, FALSE, 20000) != WAIT_OBJECT_0)
            return false;
        CloseHandle(ready);
        m_pipe = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OVERLAPPED, nullptr);
        DWORD mode = PIPE_READMODE_MESSAGE;
        return m_pipe != INVALID_HANDLE_VALUE &&
               SetNamedPipeHandleState(m_pipe, &mode, nullptr, nullptr);
    }
    ~CBarePipe()
    {
        if (m_pipe != INVALID_HANDLE_VALUE)
            CloseHandle(m_pipe);
        if (m_server.hProcess) {
            WaitForSingleObject(m_server.hProcess, 5000);
            CloseHandle(m_server.hProcess);
            CloseHandle(m_server.hThread);
        }
        if (m_event)
            CloseHandle(m_event);
    }

    // One message each way, waited on through its event, as the channel waits.
    DWORD RoundTrip()
    {
        KvxPipeRequest head = {IOCTL_KVX_USB_GET_DRIVER_INFO, 0, sizeof(_KVX_USB_DRIVER_INFO)};
        char reply[kReplyBytes];
        OVERLAPPED overlapped = {};
        overlapped.hEvent = m_event;
        DWORD received = 0;
        overlapped.Internal = STATUS_PENDING; // as the channel does: Wine leaves it to the caller
        if (!TransactNamedPipe(m_pipe, &head, kRequestBytes, reply, sizeof reply, nullptr,
                               &overlapped) &&
            GetLastError() != ERROR_IO_PENDING)
            return GetLastError();
        WaitForSingleObject(m_event, INFINITE);
        if (!GetOverlappedResult(m_pipe, &overlapped, &received, FALSE))
            return GetLastError();
        return received == kReplyBytes ? 0 : ERROR_INVALID_DATA;
    }

private:
    PROCESS_INFORMATION m_server = {};
    HANDLE m_pipe = INVALID_HANDLE_VALUE;
    HANDLE m_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
};

struct CSeries {
    const char* name;
    Request request;
    std::vector<double> times; // microseconds
};

double Microseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) * 1e6 / double(frequency.QuadPart);
}

// One request of each series in turn.
bool Measure(std::vector<CSeries>& series, int rounds)
{
    bool ok = true;
    for (CSeries& s : series)
        for (int i = 0; i < WARM_UP; ++i)
            ok = s.request() == 0 && ok;
    for (int i = 0; i < rounds * PER_ROUND; ++i)
        for (CSeries& s : series) {
            LARGE_INTEGER start, end;
            QueryPerformanceCounter(&start);
            const DWORD status = s.request();
            QueryPerformanceCounter(&end);
            ok = ok && status == 0;
            s.times.push_back(Microseconds(start, end));
        }
    for (CSeries& s : series)
        std::sort(s.times.begin(), s.times.end());
    return ok;
}

double Median(const std::vector<double>& t)
{
    return t[t.size() / 2];
}

void Report(const CSeries& s, double floor)
{
    const std::vector<double>& t = s.times;
    std::printf("%-40s median %7.1f us   p99 %7.1f us   max %8.1f us", s.name, Median(t),
                t[t.size() * 99 / 100], t.back());
    if (floor > 0)
        std::printf("   %.2f x the bare pipe", Median(t) / floor);
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], ECHO_SWITCH) == 0)
        return Echo(argv[2]);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    SimDriverProcess sim;
    if (!sim.Start()) {
        std::printf("the stand-in driver did not start:\n%s", sim.Log().c_str());
        return 1;
    }
    CBarePipe bare;
    if (!bare.Start(argv[0])) {
        std::printf("the bare pipe's server did not start\n");
        return 1;
    }
    CKvxuUsbDriver drv;
    DWORD status = drv.Open(KVX_USB_DEVICE_NAME);
    if (status != 0) {
        std::printf("Open failed: %s\n", HexText(status).c_str());
        return 1;
    }
    _KVX_USB_DRIVER_INFO info;
    _KVX_USB_CHANNEL_ID_LISTS lists;
    _KVX_USB_DEVICE_PROPERTIES device;
    uint32_t id = 1;
    status = drv.GetDeviceProperties(&id, &device);
    std::vector<CSeries> series = {
        {"bare pipe round trip (12 + 20 bytes)", [&] { return bare.RoundTrip(); }, {}},
        {"GetDriverInfo (12-byte answer)", [&] { return drv.GetDriverInfo(&info); }, {}},
        {"GetChannelIdLists (2056-byte answer)", [&] { return drv.GetChannelIdLists(&lists); }, {}},
        {"SetDeviceProperties (512-byte request)",
         [&] { return drv.SetDeviceProperties(&device); },
         {}},
    };
    std::printf("%d requests per series, one of each in turn, after %d to warm up\n",
                rounds * PER_ROUND, WARM_UP);
    const bool ok = status == 0 && Measure(series, rounds);
    const double floor = Median(series[0].times);
    for (const CSeries& s : series)
        Report(s, &s == &series[0] ? 0 : floor);
    std::printf("one request / a bare pipe round trip: %.2f x\n", Median(series[1].times) / floor);
    drv.Close();
    sim.Stop();
    if (!ok)
        std::printf("some requests failed\n");
    return ok ? 0 : 1;
}
