// Every verb of the console tools, in this process against a driver that answers wrong. For
// each request kind a verb makes, the Nth request of that kind fails in each way a driver
// answers wrong, for every N the verb reaches; after each case the invariants hold:
// - nothing is sent that the command did not ask for, nor from a value not read whole;
// - "applied" only where the driver holds the value afterwards, exit 0 only where all is done;
// - a save leaves the old file byte for byte, or a file that loads and holds the driver's values;
// - get prints only values read whole, each as the driver holds it;
// - the self-test and the report do not exit 0 over a read that failed;
// and across the whole matrix no thread or handle is left behind.
// Stalls cost a request's bound each: one per verb runs by default, every N with
// KVX_FAULT_MATRIX=full.
#include <windows.h>

#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <thread>

#include "BoundedChannel.h"
#include "ChangeWatcher.h"
#include "DriverSnapshot.h"
#include "FaultDeviceIo.h"
#include "KvxuUsbDriver.h"
#include "MessagePump.h"
#include "ProfileFile.h"
#include "ProfileVerbs.h"
#include "SelfTest.h"
#include "SettingCatalogue.h"
#include "SupportReport.h"

namespace {

std::string TempFile(const char* name)
{
    char folder[MAX_PATH] = "";
    GetTempPathA(sizeof folder, folder);
    return std::string(folder) + "kvx-matrix-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

std::string ReadText(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bool IsWrite(DWORD code)
{
    const std::string name = FindKvxUsbOperation(code)->name;
    return name.compare(0, 3, "Set") == 0 || name == "StartStreams" || name == "StopStreams";
}

// A verb as a script runs it: its exit status and what it printed.
struct CVerb {
    std::string name;
    std::function<int(CVerbOutput&)> run;
    // Reads only: nothing may be sent that changes the driver.
    bool readsOnly = true;
    // Asks for what the driver holds: a write may follow only an answer that was wrong itself.
    bool asksNothingNew = false;
    // Each setting it asks for: the result's name, and the line get prints once it is held.
    std::vector<std::pair<std::string, std::string>> wanted;
};

CVerb Tool(const std::string& name, std::function<int(CVerbOutput&)> run)
{
    CVerb made;
    made.name = name;
    made.run = std::move(run);
    return made;
}

CVerb ProfileVerb(const std::string& name, int (*verb)(const CVerbArguments&, CVerbOutput&),
                  CVerbArguments arguments)
{
    return Tool(name, [verb, arguments](CVerbOutput& o) { return verb(arguments, o); });
}

CVerb SetVerb(const std::string& setting, const std::string& line, CVerbArguments arguments)
{
    CVerb verb = ProfileVerb("set " + line, ProfileVerbSet, arguments);
    verb.readsOnly = false;
    verb.wanted = {{setting, line}};
    return verb;
}

int Watch(CVerbOutput&)
{
    // The watch ends only on a stall or a failure; a case that would not end fails here.
    int status = -1;
    std::thread watcher([&status] { status = WatchChanges(KVX_USB_DEVICE_NAME, 0); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (status == -1 && std::chrono::steady_clock::now() < deadline)
        Sleep(10);
    if (status == -1) {
        watcher.detach(); // the process ends with the failed test
        return -1;
    }
    watcher.join();
    return status;
}

int SelfTest(CVerbOutput& output)
{
    SelfTestOptions options;
    options.timeoutMs = 300; // its own bound: a stall here costs little
    CCheckList checks;
    bool unanswered = false;
    const DWORD status = RunSelfTest(KVX_USB_DEVICE_NAME, options, checks, &unanswered);
    output.out = RenderChecksText(checks);
    return SelfTestExitStatus(status, unanswered, checks);
}

class FaultMatrix : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_file = TempFile("saved.kvxsettings");
        m_changed = TempFile("changed.kvxsettings");
        FaultDeviceIo io("demo");
        ASSERT_TRUE(io.Loaded()) << io.Error();
        CVerbOutput saved, got;
        ASSERT_EQ(ProfileVerbSave({m_file}, saved), 0) << saved.err;
        m_saved = ReadText(m_file);
        ASSERT_EQ(ProfileVerbGet({}, got), 0) << got.err;
        m_truthLines = Lines(got.out);
        ASSERT_TRUE(LoadProfileFile(m_file, m_truth, m_error)) << m_error;
        CKvxuUsbDriver driver;
        ASSERT_EQ(driver.Open(KVX_USB_DEVICE_NAME), 0u);
        m_records = ReadDriverSnapshot(driver, false);
        // A file that changes a name of each kind and two depths, one restarting the streams.
        CProfile changed = m_truth;
        changed.devices[0].name = "Matrix";
        changed.devices[0].inputs[3].name = "Vox";
        changed.asioDepthUs = 6000;
        changed.streamDepthUs = 2500;
        ASSERT_TRUE(SaveProfileFile(m_changed, changed, m_error)) << m_error;
    }
    void TearDown() override
    {
        DeleteFileA(m_file.c_str());
        DeleteFileA(m_changed.c_str());
    }

    static CVerb Unchanged(CVerb verb)
    {
        verb.readsOnly = false;
        verb.asksNothingNew = true;
        return verb;
    }

    std::vector<CVerb> Verbs() const
    {
        CVerb load = ProfileVerb("load changed", ProfileVerbLoad, {m_changed});
        load.readsOnly = false;
        load.wanted = {{"device KVX-B2-004711 name", "device-name KVX-B2-004711 Matrix"},
                       {"device KVX-B2-004711 input 3 name", "input-name KVX-B2-004711 3 Vox"},
                       {"ASIO buffer depth", "asio-depth 6000"},
                       {"stream buffer depth", "stream-depth 2500"}};
        return {
            ProfileVerb("save", ProfileVerbSave, {m_file}),
            ProfileVerb("get", ProfileVerbGet, {}),
            ProfileVerb("get --json", ProfileVerbGet, {"--json"}),
            ProfileVerb("load --dry-run", ProfileVerbLoad, {m_changed, "--dry-run"}),
            Unchanged(ProfileVerb("load unchanged", ProfileVerbLoad, {m_file})),
            Unchanged(ProfileVerb("load --match-by-order", ProfileVerbLoad,
                                  {m_file, "--match-by-order"})),
            load,
            SetVerb("sampling rate", "rate 96000", {"rate", "96000"}),
            SetVerb("rate selection mode", "mode manual", {"mode", "manual"}),
            SetVerb("clock master", "master pc", {"master", "pc"}),
            SetVerb("clock source", "source 1 S/PDIF", {"source", "1"}),
            SetVerb("display names with device name", "asio-names off", {"asio-names", "off"}),
            SetVerb("stream buffer depth", "stream-depth 2500", {"stream-depth", "2500"}),
            SetVerb("ASIO buffer depth", "asio-depth 6000", {"asio-depth", "6000"}),
            SetVerb("WDM buffer depth", "wdm-depth 9000", {"wdm-depth", "9000"}),
            SetVerb("device KVX-B1-010203 name", "device-name KVX-B1-010203 Matrix",
                    {"device-name", "KVX-B1-010203", "Matrix"}),
            // Each device's place is a result of its own: the line is held only when all are.
            SetVerb("", "ranking KVX-B1-010203 KVX-B2-004711",
                    {"ranking", "KVX-B1-010203", "KVX-B2-004711"}),
            SetVerb("device KVX-B2-004711 input 3 name", "input-name KVX-B2-004711 3 Vox",
                    {"input-name", "KVX-B2-004711", "3", "Vox"}),
            SetVerb("device KVX-B1-010203 output 0 name", "output-name KVX-B1-010203 0 Mon",
                    {"output-name", "KVX-B1-010203", "0", "Mon"}),
            Tool("selftest", SelfTest),
            Tool("report", [](CVerbOutput& o) { return RunSupportReport(true, o.out, o.err); }),
            Tool("watch", Watch),
        };
    }

    // The faults of one verb: every request kind it made without faults, every N it reached,
    // every way of answering wrong that the kind has.
    std::vector<Fault> Faults(const CVerb& verb, const std::vector<SentRequest>& sent,
                              bool full) const
    {
        // The watch runs until it fails: its cases are the requests it makes before it watches,
        // and the request for a record that runs out of time.
        if (verb.name == "watch")
            return {{IOCTL_KVX_USB_GET_DRIVER_INFO, 1, FaultKind::Status, ERROR_GEN_FAILURE},
                    {IOCTL_KVX_USB_GET_DRIVER_INFO, 1, FaultKind::Short, 0},
                    {IOCTL_KVX_USB_REGISTER_NOTIFICATION_EVENT, 1, FaultKind::Status,
                     ERROR_GEN_FAILURE},
                    {IOCTL_KVX_USB_GET_NOTIFICATION, 1, FaultKind::Stall, 0}};
        std::map<DWORD, unsigned> counts;
        for (const SentRequest& request : sent)
            ++counts[request.code];
        std::vector<Fault> faults;
        bool stalled = false;
        const bool writes = std::any_of(counts.begin(), counts.end(), [](const auto& c) {
            return IsWrite(c.first) && RequestBoundMs(c.first) == KVX_USB_REQUEST_BOUND_MS;
        });
        for (const auto& [code, count] : counts) {
            const KvxUsbOperation& operation = *FindKvxUsbOperation(code);
            const std::string name = operation.name;
            const bool list = name.find("IdList") != std::string::npos ||
                              code == IOCTL_KVX_USB_GET_SAMPLE_RATE_INFO ||
                              code == IOCTL_KVX_USB_GET_SYNCH_MODE_INFO;
            const bool text = code == IOCTL_KVX_USB_GET_DEVICE_PROPERTIES ||
                              code == IOCTL_KVX_USB_GET_CHANNEL_PROPERTIES ||
                              code == IOCTL_KVX_USB_GET_SYNCH_MODE_INFO;
            DWORD offset = 0;
            uint32_t value = 0;
            for (unsigned n = 1; n <= count; ++n) {
                // By default the first and the last of a kind made many times; for a set, whose
                // reads are those of every set, the first.
                if (!full && n > 1 && (n != count || verb.name.compare(0, 4, "set ") == 0))
                    continue;
                faults.push_back({code, n, FaultKind::Status, ERROR_GEN_FAILURE});
                if (operation.outSize > 0) {
                    faults.push_back({code, n, FaultKind::Short, operation.outSize / 2});
                    faults.push_back({code, n, FaultKind::Short, 0});
                }
                if (list)
                    faults.push_back({code, n, FaultKind::Overcount, 0});
                if (name.find("IdList") != std::string::npos)
                    faults.push_back({code, n, FaultKind::RepeatedIds, 0});
                if (text)
                    faults.push_back({code, n, FaultKind::Unterminated, 0});
                if (OffDomainField(code, &offset, &value))
                    faults.push_back({code, n, FaultKind::OffDomain, 0});
                // By default one stall a verb, at a request of the short bound: its first
                // write, or the second kind it reads, in the middle of its reads.
                const bool chosen =
                    RequestBoundMs(code) == KVX_USB_REQUEST_BOUND_MS &&
                    (writes ? IsWrite(code) : code == std::next(counts.begin())->first);
                if (full || (!stalled && chosen && n == 1)) {
                    faults.push_back({code, n, FaultKind::Stall, 0});
                    stalled = true;
                }
            }
        }
        return faults;
    }

    // "" when every invariant holds after a case, else what broke.
    std::string Violations(const CVerb& verb, const Fault& fault, int exit,
                           const CVerbOutput& output, FaultDeviceIo& io) const
    {
        std::string broken;
        auto check = [&broken](bool ok, const std::string& what) {
            if (!ok)
                broken += "  " + what + "\n";
        };
        check(exit >= 0 && exit <= 3, "exit " + std::to_string(exit));
        // A wrong answer of these kinds is all the tool knows of the driver: what it sends on
        // it is still what the command asked for.
        const bool answerIsTruth =
            fault.kind == FaultKind::Unterminated || fault.kind == FaultKind::OffDomain;
        for (const SentRequest& request : io.Sent())
            if (IsWrite(request.code))
                check(!verb.readsOnly &&
                          (answerIsTruth || (!verb.asksNothingNew && SentAsRead(request))),
                      std::string(FindKvxUsbOperation(request.code)->name) +
                          " sent, not asked for or not as read");
        if (verb.name == "watch")
            check(exit > 0, "the watch ended with " + std::to_string(exit));
        if (verb.name == "save")
            check(SavedSoundly(exit, answerIsTruth), "the saved file");
        if (verb.name.compare(0, 3, "get") == 0 && !answerIsTruth)
            check(PrintsOnlyTruth(verb.name, exit, output.out), "get printed " + output.out);
        if (verb.name == "selftest" || verb.name == "report")
            check(exit != 0 || answerIsTruth || !Effective(fault),
                  "exit 0 over a read that failed");
        if (!verb.wanted.empty()) {
            io.Reset();
            CVerbOutput after;
            ProfileVerbGet({}, after);
            const std::vector<std::string> held = Lines(after.out);
            for (const auto& [setting, line] : verb.wanted) {
                const bool isHeld = std::find(held.begin(), held.end(), line) != held.end();
                check(isHeld || (exit != 0 && !Applied(output.out, setting)),
                      setting + " told applied or exit 0, but not held");
            }
        }
        return broken;
    }

    // A write carries every field as the driver gave it, but the one the command changes.
    bool SentAsRead(const SentRequest& request) const
    {
        switch (request.code) {
        case IOCTL_KVX_USB_SET_DEVICE_PROPERTIES: {
            _KVX_USB_DEVICE_PROPERTIES sent = request.As<_KVX_USB_DEVICE_PROPERTIES>();
            const CSnapshotDevice* read = m_records.FindDevice(sent.DeviceId);
            if (!read)
                return false;
            const bool changes = std::memcmp(&sent, &read->properties.value, sizeof sent) != 0;
            std::memcpy(sent.DeviceName, read->properties.value.DeviceName, sizeof sent.DeviceName);
            sent.Ranking = read->properties.value.Ranking;
            return changes && std::memcmp(&sent, &read->properties.value, sizeof sent) == 0;
        }
        case IOCTL_KVX_USB_SET_CHANNEL_PROPERTIES: {
            _KVX_USB_CHANNEL_PROPERTIES sent = request.As<_KVX_USB_CHANNEL_PROPERTIES>();
            for (const auto* list : {&m_records.inputs, &m_records.outputs})
                for (const CSnapshotChannel& read : *list)
                    if (read.id == sent.ChannelId) {
                        const bool changes =
                            std::memcmp(&sent, &read.properties.value, sizeof sent) != 0;
                        std::memcpy(sent.ChannelName, read.properties.value.ChannelName,
                                    sizeof sent.ChannelName);
                        return changes &&
                               std::memcmp(&sent, &read.properties.value, sizeof sent) == 0;
                    }
            return false;
        }
        case IOCTL_KVX_USB_SET_ASIO_BUFFER_DEPTH:
        case IOCTL_KVX_USB_SET_WDM_BUFFER_DEPTH: {
            _KVX_USB_BUFFER_DEPTH sent = request.As<_KVX_USB_BUFFER_DEPTH>();
            const _KVX_USB_BUFFER_DEPTH& read = request.code == IOCTL_KVX_USB_SET_ASIO_BUFFER_DEPTH
                                                    ? m_records.asioDepth.value
                                                    : m_records.wdmDepth.value;
            sent.Depth = read.Depth;
            return std::memcmp(&sent, &read, sizeof sent) == 0;
        }
        case IOCTL_KVX_USB_SET_STREAM_BUFFER_DEPTH: {
            _KVX_USB_STREAM_BUFFER_DEPTH sent = request.As<_KVX_USB_STREAM_BUFFER_DEPTH>();
            sent.Current = m_records.streamDepth.value.Current;
            return std::memcmp(&sent, &m_records.streamDepth.value, sizeof sent) == 0;
        }
        case IOCTL_KVX_USB_SET_CLOCK_MASTER: {
            _KVX_USB_CLOCK_MASTER sent = request.As<_KVX_USB_CLOCK_MASTER>();
            sent.ClockMaster = m_records.clockMaster.value.ClockMaster;
            return std::memcmp(&sent, &m_records.clockMaster.value, sizeof sent) == 0;
        }
        default:
            return true;
        }
    }

    // Exit 3 leaves the old file byte for byte; anything written loads, and holds the driver's
    // values (all of them on exit 0).
    bool SavedSoundly(int exit, bool answerIsTruth) const
    {
        const std::string text = ReadText(m_file);
        if (text == m_saved)
            return exit != 0 || answerIsTruth;
        CProfile saved;
        std::string error;
        if (exit == 3 || !LoadProfileFile(m_file, saved, error))
            return false;
        const std::string truth = WriteProfileJson(Comparable(m_truth));
        return answerIsTruth ||
               (exit == 0 ? WriteProfileJson(Comparable(saved)) == truth : HoldsOnlyTruth(saved));
    }

    bool HoldsOnlyTruth(const CProfile& saved) const
    {
        for (const CProfileNumber& number : ProfileNumbers())
            if ((saved.*number.member) && saved.*number.member != m_truth.*number.member)
                return false;
        for (const CProfileDevice& device : saved.devices) {
            const auto truth =
                std::find_if(m_truth.devices.begin(), m_truth.devices.end(),
                             [&](const CProfileDevice& d) { return d.serial == device.serial; });
            if (truth == m_truth.devices.end() || (device.name && device.name != truth->name))
                return false;
            for (auto list : {&CProfileDevice::inputs, &CProfileDevice::outputs})
                for (const CProfileChannel& channel : device.*list)
                    if (channel.index >= (*truth.*list).size() ||
                        (*truth.*list)[channel.index].name != channel.name)
                        return false;
        }
        return true;
    }

    static CProfile Comparable(CProfile profile)
    {
        profile.information = CProfileInformation();
        return profile;
    }

    // Each line the driver's (a ranking of the devices read may leave some out); exit 0 only
    // with every line.
    bool PrintsOnlyTruth(const std::string& verb, int exit, const std::string& out) const
    {
        if (verb == "get --json") {
            CProfile printed;
            std::string error;
            return out.empty() ||
                   (ReadProfileJson(out, printed, error) && HoldsOnlyTruth(printed) &&
                    (exit != 0 || WriteProfileJson(Comparable(printed)) ==
                                      WriteProfileJson(Comparable(m_truth))));
        }
        const std::vector<std::string> lines = Lines(out);
        for (const std::string& line : lines)
            if (line.compare(0, 8, "ranking ") != 0 &&
                std::find(m_truthLines.begin(), m_truthLines.end(), line) == m_truthLines.end())
                return false;
        return exit != 0 || lines == m_truthLines;
    }

    static bool Applied(const std::string& out, const std::string& setting)
    {
        return !setting.empty() && out.find("applied    " + setting + ":") != std::string::npos;
    }

    // Whether the fault changed the answer: a failure, a stall, or bytes cut off.
    bool Effective(const Fault& fault) const
    {
        if (fault.kind == FaultKind::Status || fault.kind == FaultKind::Stall)
            return true;
        const auto& sent = m_faultFree;
        unsigned seen = 0;
        for (const SentRequest& request : sent)
            if (request.code == fault.code && ++seen == fault.nth)
                return fault.kind != FaultKind::Short || request.returned > fault.arg;
        return false;
    }

    std::string m_file, m_changed, m_saved, m_error;
    std::vector<std::string> m_truthLines;
    CProfile m_truth;
    CDriverSnapshot m_records;
    std::vector<SentRequest> m_faultFree; // of the verb being run
};

size_t PrivateBytes()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage;
}

size_t HandleCount()
{
    DWORD handles = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles);
    return handles;
}

} // namespace

TEST_F(FaultMatrix, EveryVerbUnderEveryWrongAnswerKeepsItsWord)
{
    const bool full = [] {
        char value[16] = "";
        return GetEnvironmentVariableA("KVX_FAULT_MATRIX", value, sizeof value) &&
               std::string(value) == "full";
    }();
    const auto start = std::chrono::steady_clock::now();
    size_t threadsBefore = 0, handlesBefore = 0, memoryBefore = 0;
    size_t cases = 0, failed = 0;
    std::string report;
    for (const CVerb& verb : Verbs()) {
        if (verb.name != "watch") {
            FaultDeviceIo io("demo");
            CVerbOutput output;
            WriteText(m_file, m_saved);
            verb.run(output);
            m_faultFree = io.Sent();
        }
        for (const Fault& fault : Faults(verb, m_faultFree, full)) {
            WriteText(m_file, m_saved);
            const size_t threadsAtStart = ThreadsOfThisProcess().size();
            FaultDeviceIo io("demo");
            io.Add(fault);
            CVerbOutput output;
            const int exit = verb.run(output);
            // A request that ran out of time keeps its channel's thread until the driver answers
            // it; that thread still closes its handle on io, so io outlives it.
            io.EndStalls();
            if (fault.kind == FaultKind::Stall)
                PumpUntil([&] { return ThreadsOfThisProcess().size() <= threadsAtStart; }, 5000);
            // Counted from the first case on: the runtime starts helpers of its own once.
            if (++cases == 1) {
                threadsBefore = ThreadsOfThisProcess().size();
                handlesBefore = HandleCount();
                memoryBefore = PrivateBytes();
            }
            const std::string broken = Violations(verb, fault, exit, output, io);
            if (!broken.empty() && ++failed <= 25)
                report += verb.name + ", " + Describe(fault) + ": exit " + std::to_string(exit) +
                          "\n" + broken + output.err;
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("fault matrix: %zu cases, %zu failed, %.1f s%s\n", cases, failed, seconds,
                full ? " (full)" : "");
    EXPECT_EQ(failed, 0u) << report;
    // The channels' threads end once the driver has answered what they held.
    EXPECT_TRUE(PumpUntil([&] { return ThreadsOfThisProcess().size() <= threadsBefore; }, 10000))
        << ThreadsOfThisProcess().size() << " threads, " << threadsBefore << " before";
    EXPECT_LE(HandleCount(), handlesBefore + 8);
    EXPECT_LT(PrivateBytes(), memoryBefore + 16 * 1024 * 1024);
}
