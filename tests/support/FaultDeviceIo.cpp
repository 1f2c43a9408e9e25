#include "FaultDeviceIo.h"

#include <algorithm>
#include <chrono>

#include "KvxUsbCatalogue.h"
#include "KvxUsbStatus.h"
#include "SimScenario.h"

namespace {

const DWORD kDefaultStallMs = 30000;
// A test's requests end within their channel's bound; this only keeps a broken one bounded.
const DWORD kDrainMs = 40000;

// A shipped scenario, found in BUILD\simdriver\scenarios from the test program's folder
// upwards, where the stand-in's build copies them; any other argument is a path.
std::string ScenarioPath(const std::string& scenario)
{
    if (scenario.find_first_of("\\/.:") != std::string::npos)
        return scenario;
    char path[MAX_PATH];
    std::string dir(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    for (int up = 0; up < 5; ++up) {
        dir = dir.substr(0, dir.find_last_of('\\'));
        const std::string candidate = dir + "\\simdriver\\scenarios\\" + scenario + ".json";
        if (GetFileAttributesA(candidate.c_str()) != INVALID_FILE_ATTRIBUTES)
            return candidate;
    }
    return scenario + ".json";
}

const char* KindName(FaultKind kind)
{
    switch (kind) {
    case FaultKind::Status:
        return "Status";
    case FaultKind::Short:
        return "Short";
    case FaultKind::RepeatedIds:
        return "RepeatedIds";
    case FaultKind::Overcount:
        return "Overcount";
    case FaultKind::Unterminated:
        return "Unterminated";
    case FaultKind::OffDomain:
        return "OffDomain";
    case FaultKind::Stall:
        return "Stall";
    }
    return "?";
}

} // namespace

std::string Describe(const Fault& fault)
{
    const KvxUsbOperation* op = FindKvxUsbOperation(fault.code);
    return std::string(KindName(fault.kind)) + "(" + HexText(fault.arg) + ") " +
           (op ? op->name : HexText(fault.code).c_str()) + " #" +
           (fault.nth ? std::to_string(fault.nth) : std::string("every"));
}

bool OffDomainField(DWORD code, DWORD* offset, uint32_t* value)
{
    static const struct {
        DWORD code;
        DWORD offset;
        uint32_t value;
    } kFields[] = {
        {IOCTL_KVX_USB_GET_ASIO_NAME_OPTION, 0, 7},
        {IOCTL_KVX_USB_GET_CLOCK_MASTER, offsetof(_KVX_USB_CLOCK_MASTER, ClockMaster), 7},
        {IOCTL_KVX_USB_GET_SAMPLE_RATE_MODE, offsetof(_KVX_USB_SAMPLE_RATE_MODE, Mode), 7},
        {IOCTL_KVX_USB_GET_SAMPLE_RATE_INFO, offsetof(_KVX_USB_SAMPLE_RATE_INFO, CurrentRate),
         12345},
        {IOCTL_KVX_USB_GET_SYNCH_MODE_INFO,
         offsetof(_KVX_USB_DEVICE_SYNCH_MODE_INFO, Current.SourceId), 0xFFFF},
        {IOCTL_KVX_USB_GET_STREAM_BUFFER_DEPTH, offsetof(_KVX_USB_STREAM_BUFFER_DEPTH, Step), 0},
        {IOCTL_KVX_USB_GET_ASIO_BUFFER_DEPTH, offsetof(_KVX_USB_BUFFER_DEPTH, Depth), 0},
        {IOCTL_KVX_USB_GET_WDM_BUFFER_DEPTH, offsetof(_KVX_USB_BUFFER_DEPTH, Depth), 0},
        {IOCTL_KVX_USB_GET_NOTIFICATION, offsetof(_KVX_USB_NOTIFICATION, Kind), 99},
    };
    for (const auto& field : kFields) {
        if (field.code == code) {
            *offset = field.offset;
            *value = field.value;
            return true;
        }
    }
    return false;
}

FaultDeviceIo::FaultDeviceIo(const std::string& scenario)
{
    SimHardware hardware;
    if (!LoadScenarioFile(ScenarioPath(scenario), &hardware, &m_error) && m_error.empty())
        m_error = "scenario " + scenario + " not loaded";
    m_sim = std::make_unique<CSimDriver>(std::move(hardware));
    m_previous = ReplaceDeviceIo(this);
}

FaultDeviceIo::~FaultDeviceIo()
{
    ReplaceDeviceIo(m_previous);
    EndStalls();
    // A channel's thread may still be in a request that ran out of time.
    std::unique_lock<std::mutex> guard(m_lock);
    m_changed.wait_for(guard, std::chrono::milliseconds(kDrainMs),
                       [this] { return m_inControl == 0; });
}

void FaultDeviceIo::Add(const Fault& fault)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_faults.push_back(fault);
}

void FaultDeviceIo::ClearFaults()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_faults.clear();
}

void FaultDeviceIo::Reset()
{
    EndStalls();
    std::lock_guard<std::mutex> guard(m_lock);
    m_faults.clear();
    m_counts.clear();
    m_sent.clear();
    m_stallsEnded = false;
}

void FaultDeviceIo::FailOpen(DWORD status)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_openStatus = status;
}

void FaultDeviceIo::EndStalls()
{
    std::lock_guard<std::mutex> guard(m_lock);
    ++m_stallGeneration;
    m_stallsEnded = true;
    m_changed.notify_all();
}

unsigned FaultDeviceIo::Stalled() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_stalled;
}

std::vector<SentRequest> FaultDeviceIo::Sent() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_sent;
}

std::vector<SentRequest> FaultDeviceIo::Sent(DWORD code) const
{
    std::vector<SentRequest> sent = Sent();
    sent.erase(std::remove_if(sent.begin(), sent.end(),
                              [code](const SentRequest& r) { return r.code != code; }),
               sent.end());
    return sent;
}

SimHardware FaultDeviceIo::Hardware()
{
    SimHardware copy;
    m_sim->Change(SimChange(), [&copy](CSimModel& model) {
        copy = model.Hardware();
        return DWORD(0);
    });
    return copy;
}

HANDLE FaultDeviceIo::Open(const char*)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_openStatus) {
        SetLastError(m_openStatus);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE device = reinterpret_cast<HANDLE>(m_nextHandle += 4);
    m_clients[device] = m_sim->Connect(GetCurrentProcessId());
    return device;
}

void FaultDeviceIo::Close(HANDLE device)
{
    uint64_t client = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        auto it = m_clients.find(device);
        if (it == m_clients.end())
            return;
        client = it->second;
        m_clients.erase(it);
    }
    m_sim->Disconnect(client);
}

bool FaultDeviceIo::TakeFault(DWORD code, Fault* fault)
{
    const unsigned nth = ++m_counts[code];
    for (const Fault& f : m_faults) {
        if (f.code == code && (f.nth == 0 || f.nth == nth)) {
            *fault = f;
            return true;
        }
    }
    return false;
}

void FaultDeviceIo::WaitOutStall(DWORD ms)
{
    std::unique_lock<std::mutex> guard(m_lock);
    if (m_stallsEnded)
        return;
    const unsigned generation = m_stallGeneration;
    ++m_stalled;
    m_changed.wait_for(guard, std::chrono::milliseconds(ms ? ms : kDefaultStallMs),
                       [&] { return m_stallGeneration != generation; });
    --m_stalled;
}

void FaultDeviceIo::Alter(const Fault& fault, void* out, DWORD* returned)
{
    // The stand-in's own damage, applied to this one answer.
    CSimFaults damage;
    switch (fault.kind) {
    case FaultKind::Short:
        *returned = std::min<DWORD>(*returned, fault.arg);
        return;
    case FaultKind::RepeatedIds:
        damage.Duplicate();
        break;
    case FaultKind::Overcount:
        damage.Overcount();
        break;
    case FaultKind::Unterminated:
        damage.Unterminated();
        break;
    case FaultKind::OffDomain: {
        DWORD offset = 0;
        uint32_t value = 0;
        if (OffDomainField(fault.code, &offset, &value) && offset + sizeof value <= *returned)
            std::memcpy(static_cast<char*>(out) + offset, &value, sizeof value);
        return;
    }
    default:
        return;
    }
    damage.Alter(fault.code, out, returned);
}

BOOL FaultDeviceIo::Control(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out,
                            DWORD outSize, DWORD* bytesReturned)
{
    DWORD ignored = 0;
    if (!bytesReturned)
        bytesReturned = &ignored;
    *bytesReturned = 0;
    Fault fault = {};
    bool faulted;
    uint64_t client;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        auto it = m_clients.find(device);
        if (it == m_clients.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        client = it->second;
        faulted = TakeFault(code, &fault);
        ++m_inControl;
    }
    if (faulted && fault.kind == FaultKind::Stall)
        WaitOutStall(fault.arg);

    DWORD status;
    if (faulted && fault.kind == FaultKind::Status)
        status = fault.arg;
    else
        status = m_sim->Request(client, code, in, inSize, out, outSize, bytesReturned);
    if (status == 0 && faulted)
        Alter(fault, out, bytesReturned);

    const char* input = static_cast<const char*>(in);
    SentRequest sent = {code, std::vector<char>(input, input + (in ? inSize : 0)), status,
                        *bytesReturned, faulted};
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_sent.push_back(std::move(sent));
        --m_inControl;
        m_changed.notify_all();
    }
    SetLastError(status);
    return status == 0;
}
