// Requests and wall time of saving a settings profile and of loading one that changes
// every setting, at the stand-in's largest scenario (64 devices, 256 input and 256 output
// channels). Starts its own stand-in on a pipe of its own.
//   scripts/wine-bench.sh start BUILD
//   scripts/wine-bench.sh run BUILD BUILD/bench/profiles/profile_bench.exe [ROUNDS]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include "CountingDeviceIo.h"
#include "KvxUsbCatalogue.h"
#include "KvxuUsbDriver.h"
#include "ProfileApply.h"
#include "ProfileFile.h"
#include "ProfileRead.h"
#include "ScrambledProfile.h"
#include "SimDriverProcess.h"

namespace {

double NowMs()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return double(counter.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

struct CFigures {
    std::vector<double> times;
    std::map<DWORD, unsigned> perCode;
    unsigned total = 0;
    size_t applied = 0;
};

void Print(const char* what, CFigures& figures, double roundTripMs)
{
    std::vector<double>& t = figures.times;
    std::sort(t.begin(), t.end());
    const double median = t[t.size() / 2];
    std::printf("%s: median %.1f ms, p99 %.1f ms over %zu runs; %u requests", what, median,
                t[(t.size() * 99) / 100], t.size(), figures.total);
    if (figures.applied)
        std::printf(", %zu settings applied", figures.applied);
    std::printf("; ratio time / (requests x round trip) %.2f\n",
                median / (figures.total * roundTripMs));
    for (const auto& code : figures.perCode) {
        const KvxUsbOperation* operation = FindKvxUsbOperation(code.first);
        std::printf("  %-24s %5u\n", operation ? operation->name : "?", code.second);
    }
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    SimDriverProcess sim;
    if (!sim.Start("maximal")) {
        std::printf("the stand-in driver did not start:\n%s", sim.Log().c_str());
        return 1;
    }
    // Counted from the open on: the driver's channel takes the device I/O it opens with.
    CountingDeviceIo requests;
    CKvxuUsbDriver driver;
    if (driver.Open(KVX_USB_DEVICE_NAME) != 0) {
        std::printf("the stand-in could not be opened\n");
        return 1;
    }
    const std::string file = SimDriverProcess::TempPath("bench.kvxsettings");
    CFigures save, load;
    std::vector<double> singles;
    CProfile original;
    for (int round = 0; round < rounds; ++round) {
        requests.Reset();
        double start = NowMs();
        std::vector<std::string> notes;
        original = ReadProfileFromDriver(driver, notes);
        std::string error;
        if (!SaveProfileFile(file, original, error) || !notes.empty()) {
            std::printf("save failed: %s\n", error.c_str());
            return 1;
        }
        save.times.push_back(NowMs() - start);
        save.total = requests.total;
        save.perCode = requests.perCode;

        // Both ways change everything; each is one measured load.
        for (const CProfile& profile : {Scrambled(original), original}) {
            requests.Reset();
            start = NowMs();
            CProfilePlan plan = LoadProfile(driver, profile, CLoadOptions(), false);
            load.times.push_back(NowMs() - start);
            load.total = requests.total;
            load.perCode = requests.perCode;
            load.applied = size_t(std::count_if(
                plan.results.begin(), plan.results.end(),
                [](const CSettingResult& r) { return r.outcome == CSettingOutcome::Applied; }));
        }
        for (int i = 0; i < 200; ++i) {
            uint32_t id = 1;
            _KVX_USB_DEVICE_PROPERTIES properties;
            start = NowMs();
            driver.GetDeviceProperties(&id, &properties);
            singles.push_back(NowMs() - start);
        }
    }
    DeleteFileA(file.c_str());
    std::sort(singles.begin(), singles.end());
    const double roundTrip = singles[singles.size() / 2];
    std::printf("maximal scenario: %zu devices; single-request round trip %.3f ms (median)\n",
                original.devices.size(), roundTrip);
    Print("save", save, roundTrip);
    Print("load changing every setting", load, roundTrip);
    return 0;
}
