// The panel's footprint and cold start against their floor, a bare window with a tree view
// (bare_window.exe), started in turn in the same run: the memory (RSS, read from the Unix
// side under Wine) once the window is shown and settled, and again after every page was
// shown, and the time from the start of the process to its window shown. Medians; of the
// start also the paired ratios and the fastest of each. Started in the same turns, the windows
// the panel shows made bare from its resources (panel_windows.exe) tell how much of the start
// the windows themselves cost and how much the panel's own work.
//   scripts/wine-bench.sh start BUILD
//   scripts/wine-bench.sh run BUILD BUILD/bench/footprint/footprint_bench.exe [ROUNDS [OTHER]]
// OTHER: another build tree (Windows path), whose app\kvxucpl.exe is measured instead. The
// folder, not the program: a process is found by the program on its command line.
#include <windows.h>

#include <mmsystem.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "PanelHarness.h"
#include "SimDriverProcess.h"
#include "SoakProbe.h"

namespace {

const DWORD kShowMs = 20000;
const DWORD kSettleMs = 1000; // for what a start or a page reads to come in
const DWORD kQuietMs = 1000;  // for the system to finish with the program started before

typedef std::map<std::string, long> CMappings; // kB resident per mapped file or kind

struct CSample {
    double startMs = 0;
    long startKb = -1;
    long pagesKb = -1;
    CMappings mappings; // after every page was shown
};

// The resident kB of a Unix process by what is mapped: each file by its name, the rest
// (heaps, stacks, Wine's own anonymous memory) together.
CMappings ResidentByMapping(const std::string& exe)
{
    CMappings mappings;
    const std::vector<std::string> pids = UnixPids(exe);
    if (pids.size() != 1)
        return mappings;
    const std::string smaps = ReadWholeFile("Z:\\proc\\" + pids[0] + "\\smaps");
    std::string name;
    for (size_t at = 0, end; at < smaps.size(); at = end + 1) {
        end = smaps.find('\n', at);
        if (end == std::string::npos)
            end = smaps.size();
        const std::string line = smaps.substr(at, end - at);
        if (line.compare(0, 4, "Rss:") == 0) {
            mappings[name] += std::strtol(line.c_str() + 4, nullptr, 10);
        } else if (line.find('-') < line.find(' ') && line.find(':') > line.find(' ')) {
            const size_t slash = line.rfind('/');
            name = slash != std::string::npos ? line.substr(slash + 1) : "[anonymous]";
            if (line.find('[') != std::string::npos)
                name = line.substr(line.find('['));
        }
    }
    return mappings;
}

// The shown top-level window of that class (any class: null) and process, if there is one yet.
HWND FindShown(DWORD process, const char* windowClass)
{
    for (HWND window = nullptr;
         (window = ::FindWindowExA(nullptr, window, windowClass, nullptr)) != nullptr;) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner == process && ::IsWindowVisible(window))
            return window;
    }
    return nullptr;
}

// Starts the program and times it until its window of that class is shown. Looked for every
// millisecond, not between messages: a 20 ms wait would round both figures of the ratio.
HWND StartShown(const std::string& exe, const char* windowClass, PROCESS_INFORMATION& process,
                double* ms)
{
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    std::string command = "\"" + exe + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return nullptr;
    HWND shown = nullptr;
    const DWORD began = ::GetTickCount();
    while (!(shown = FindShown(process.dwProcessId, windowClass)) &&
           ::GetTickCount() - began < kShowMs)
        ::Sleep(1);
    QueryPerformanceCounter(&now);
    *ms = double(now.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
    return shown;
}

void Settle(HWND window)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, kShowMs, &result);
    PumpUntil([] { return false; }, kSettleMs);
}

void End(PROCESS_INFORMATION& process)
{
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
}

CSample Measure(const std::string& exe, const char* windowClass, bool visitPages)
{
    CSample sample;
    ::Sleep(kQuietMs);
    PROCESS_INFORMATION process = {};
    HWND window = StartShown(exe, windowClass, process, &sample.startMs);
    if (!window) {
        std::printf("%s showed no window\n", exe.c_str());
        if (process.hProcess)
            End(process);
        return sample;
    }
    Settle(window);
    sample.startKb = MeasureProcess(process.hProcess, exe).rssKb;
    if (visitPages) {
        HWND tree = FindPageTree(window);
        for (int page = 0; tree && SelectTreeItem(tree, page); ++page)
            Settle(window);
        sample.pagesKb = MeasureProcess(process.hProcess, exe).rssKb;
    }
    sample.mappings = ResidentByMapping(exe);
    End(process);
    return sample;
}

template <class Field> double Median(const std::vector<CSample>& samples, Field field)
{
    std::vector<double> values;
    for (const CSample& s : samples)
        values.push_back(double(s.*field));
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Fastest(const std::vector<CSample>& samples)
{
    double fastest = samples.front().startMs;
    for (const CSample& s : samples)
        fastest = std::min(fastest, s.startMs);
    return fastest;
}

// Each start beside the floor's just before it, and each program's fastest start: on a
// shared machine the others' load comes and goes between starts.
void PrintStartAgainst(const char* floor, const std::vector<CSample>& panel,
                       const std::vector<CSample>& floorSamples)
{
    std::vector<double> ratios;
    for (size_t i = 0; i < panel.size(); ++i)
        ratios.push_back(panel[i].startMs / floorSamples[i].startMs);
    std::sort(ratios.begin(), ratios.end());
    std::printf("start against %s: median %.2f x, of the paired ratios %.2f x; fastest %.0f "
                "ms against %.0f ms, %.2f x\n",
                floor, Median(panel, &CSample::startMs) / Median(floorSamples, &CSample::startMs),
                ratios[ratios.size() / 2], Fastest(panel), Fastest(floorSamples),
                Fastest(panel) / Fastest(floorSamples));
}

} // namespace

int main(int argc, char** argv)
{
    ::timeBeginPeriod(1); // for the millisecond look-out above

    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::string panel =
        argc > 2 ? std::string(argv[2]) + "\\app\\kvxucpl.exe" : PanelExePath();
    // An older build may name its frame's class otherwise: its first shown window is looked for.
    const char* panelClass = argc > 2 ? nullptr : kMainFrameClass;
    std::string benchDir = PanelExePath(); // <build>\app\kvxucpl.exe
    benchDir = benchDir.substr(0, benchDir.rfind("\\app\\")) + "\\bench\\footprint\\";
    const std::string bare = benchDir + "bare_window.exe";
    const std::string panelWindows = benchDir + "panel_windows.exe";
    SimDriverProcess sim;
    if (!sim.Start()) {
        std::printf("the stand-in driver did not start:\n%s", sim.Log().c_str());
        return 1;
    }
    std::vector<CSample> bareSamples, windowsSamples, panelSamples;
    for (int round = 0; round < rounds; ++round) {
        bareSamples.push_back(Measure(bare, "KvxBareWindow", false));
        windowsSamples.push_back(Measure(panelWindows, "KvxBareWindow", false));
        panelSamples.push_back(Measure(panel, panelClass, true));
    }
    const double bareKb = Median(bareSamples, &CSample::startKb);
    const double bareMs = Median(bareSamples, &CSample::startMs);
    const double startKb = Median(panelSamples, &CSample::startKb);
    const double pagesKb = Median(panelSamples, &CSample::pagesKb);
    const double startMs = Median(panelSamples, &CSample::startMs);
    std::printf("%s, demo scenario, medians of %d starts each, in turn\n", panel.c_str(), rounds);
    std::printf("bare window with a tree view   RSS %7.1f MB   shown after %6.0f ms\n",
                bareKb / 1024, bareMs);
    std::printf("panel after start              RSS %7.1f MB   %.2f x   shown after %6.0f ms  "
                "%.2f x\n",
                startKb / 1024, startKb / bareKb, startMs, startMs / bareMs);
    std::printf("panel after every page shown   RSS %7.1f MB   %.2f x\n", pagesKb / 1024,
                pagesKb / bareKb);
    PrintStartAgainst("a bare window", panelSamples, bareSamples);
    const double windowsKb = Median(windowsSamples, &CSample::startKb);
    std::printf("the panel's windows made bare   RSS %7.1f MB   shown after %6.0f ms  %.2f x "
                "the bare window\n",
                windowsKb / 1024, Median(windowsSamples, &CSample::startMs),
                Median(windowsSamples, &CSample::startMs) / bareMs);
    PrintStartAgainst("its windows made bare", panelSamples, windowsSamples);
    // Where the difference lies, from the last start of each.
    CMappings difference = panelSamples.back().mappings;
    for (const auto& mapping : bareSamples.back().mappings)
        difference[mapping.first] -= mapping.second;
    std::vector<std::pair<long, std::string>> largest;
    for (const auto& mapping : difference)
        largest.push_back({mapping.second, mapping.first});
    std::sort(largest.rbegin(), largest.rend());
    std::printf("resident above the bare window, by mapping (kB):");
    for (size_t i = 0; i < largest.size() && i < 12; ++i)
        std::printf("%s %s %ld", i % 4 ? "," : "\n ", largest[i].second.c_str(), largest[i].first);
    std::printf("\n");
    return bareKb > 0 && startKb > 0 ? 0 : 1;
}
