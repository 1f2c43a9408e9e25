// Round-trip time of one device-control request from the channel to the stand-in driver
// and back: median and 99th percentile over 10,000 requests, for the smallest and the
// largest record. Starts its own stand-in (demo scenario) on a pipe of its own.
//   scripts/wine-bench.sh start BUILD
//   scripts/wine-bench.sh run BUILD BUILD/bench/roundtrip/roundtrip_bench.exe
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "KvxUsbStatus.h"
#include "KvxuUsbDriver.h"
#include "SimDriverProcess.h"

namespace {

const int REQUESTS = 10000;
const int WARM_UP = 200;

// Microseconds per request, sorted.
std::vector<double> Measure(const std::function<DWORD()>& request, bool* ok)
{
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    for (int i = 0; i < WARM_UP; ++i)
        request();
    std::vector<double> times;
    times.reserve(REQUESTS);
    for (int i = 0; i < REQUESTS; ++i) {
        QueryPerformanceCounter(&start);
        DWORD status = request();
        QueryPerformanceCounter(&end);
        *ok = *ok && status == 0;
        times.push_back(double(end.QuadPart - start.QuadPart) * 1e6 / double(frequency.QuadPart));
    }
    std::sort(times.begin(), times.end());
    return times;
}

void Report(const char* what, const std::vector<double>& t)
{
    std::printf("%-40s median %7.1f us   p99 %7.1f us   max %8.1f us\n", what, t[t.size() / 2],
                t[t.size() * 99 / 100], t.back());
}

} // namespace

int main()
{
    SimDriverProcess sim;
    if (!sim.Start()) {
        std::printf("the stand-in driver did not start:\n%s", sim.Log().c_str());
        return 1;
    }
    CKvxuUsbDriver drv;
    DWORD status = drv.Open(KVX_USB_DEVICE_NAME);
    if (status != 0) {
        std::printf("Open failed: %s\n", HexText(status).c_str());
        return 1;
    }
    std::printf("%d requests each, after %d to warm up\n", REQUESTS, WARM_UP);
    bool ok = true;
    _KVX_USB_DRIVER_INFO info;
    Report("GetDriverInfo (12-byte answer)",
           Measure([&] { return drv.GetDriverInfo(&info); }, &ok));
    _KVX_USB_CHANNEL_ID_LISTS lists;
    Report("GetChannelIdLists (2056-byte answer)",
           Measure([&] { return drv.GetChannelIdLists(&lists); }, &ok));
    _KVX_USB_DEVICE_PROPERTIES device;
    uint32_t id = 1;
    if (drv.GetDeviceProperties(&id, &device) == 0)
        Report("SetDeviceProperties (512-byte request)",
               Measure([&] { return drv.SetDeviceProperties(&device); }, &ok));
    drv.Close();
    sim.Stop();
    if (!ok)
        std::printf("some requests failed\n");
    return ok ? 0 : 1;
}
