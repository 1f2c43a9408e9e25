#include "SimDriver.h"

#include <winternl.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "DeviceNotification.h"
#include "KvxUsbCatalogue.h"
#include "KvxUsbText.h"
#include "SimScenario.h"
#include "SimState.h"

CSimDriver::CSimDriver(SimHardware hardware) : m_model(std::move(hardware)) {}

CSimDriver::~CSimDriver()
{
    for (auto& entry : m_clients) {
        if (entry.second.event)
            CloseHandle(entry.second.event);
        if (entry.second.process)
            CloseHandle(entry.second.process);
    }
}

bool CSimDriver::UseStateFile(const std::string& path, std::string* error)
{
    std::lock_guard<std::mutex> lock(m_lock);
    // Saves go through a temporary file beside it; if that cannot be made now, no change
    // would ever be kept, so refuse now rather than report every change as done.
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        *error = "state file " + path + " is a folder";
        return false;
    }
    HANDLE probe = CreateFileA((path + ".tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
        *error = "cannot write the state file " + path + " (error " +
                 std::to_string(GetLastError()) + "): does its folder exist?";
        return false;
    }
    CloseHandle(probe);
    std::string text;
    if (ReadTextFile(path, &text) && !ApplyStateText(text, &m_model.Hardware(), error)) {
        *error = path + ": " + *error;
        return false;
    }
    m_statePath = path;
    return true;
}

bool CSimDriver::UseTrace(const std::string& path, std::string* error)
{
    return m_trace.Open(path, error);
}

uint64_t CSimDriver::Connect(DWORD processId)
{
    std::lock_guard<std::mutex> lock(m_lock);
    Client client;
    client.processId = processId;
    client.process = OpenProcess(PROCESS_DUP_HANDLE, FALSE, processId);
    uint64_t id = m_nextClient++;
    m_clients[id] = client;
    return id;
}

void CSimDriver::Disconnect(uint64_t id)
{
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_clients.find(id);
    if (it == m_clients.end())
        return;
    if (it->second.event)
        CloseHandle(it->second.event);
    if (it->second.process)
        CloseHandle(it->second.process);
    m_clients.erase(it);
}

DWORD CSimDriver::Request(uint64_t client, DWORD code, const void* in, DWORD inSize, void* out,
                          DWORD outSize, DWORD* returned)
{
    *returned = 0;
    const KvxUsbOperation* op = FindKvxUsbOperation(code);
    DWORD status = 0;
    if (!op)
        status = SIM_E_UNKNOWN_CODE;
    else if (inSize != op->inSize || outSize < op->outSize)
        status = SIM_E_BAD_SIZE;
    const bool command = client == SIM_COMMAND_CLIENT;
    if (status) {
        if (!command)
            m_trace.Request(code, inSize, outSize, 0, status);
        return status;
    }

    // A stalled driver answers nothing, but does not block the others' lock meanwhile.
    DWORD stall = 0;
    if (!command) {
        std::lock_guard<std::mutex> lock(m_lock);
        stall = m_faults.StallLeft();
    }
    if (stall)
        Sleep(stall);

    alignas(8) char answer[KVX_USB_MAX_RECORD_SIZE];
    {
        std::lock_guard<std::mutex> lock(m_lock);
        status = Locked(client, code, in, answer, returned);
    }
    if (*returned)
        std::memcpy(out, answer, *returned);
    if (!command)
        m_trace.Request(code, inSize, outSize, *returned, status);
    return status;
}

DWORD CSimDriver::Locked(uint64_t clientId, DWORD code, const void* in, void* out, DWORD* returned)
{
    const bool command = clientId == SIM_COMMAND_CLIENT;
    DWORD status = command ? 0 : m_faults.TakeFailure(code);
    if (status)
        return status;
    auto it = m_clients.find(clientId);
    Client* client = it == m_clients.end() ? nullptr : &it->second;
    if (code == IOCTL_KVX_USB_REGISTER_NOTIFICATION_EVENT) {
        uint32_t value;
        std::memcpy(&value, in, sizeof value);
        return client ? RegisterEvent(*client, value) : SIM_E_BAD_EVENT;
    }
    if (code == IOCTL_KVX_USB_GET_NOTIFICATION) {
        if (!client)
            return SIM_E_QUEUE_EMPTY;
        status = TakeNotification(*client, out, returned);
    } else {
        SimChange change;
        status = m_model.Answer(code, in, out, returned, &change);
        if (status == 0 && change.kind) {
            Report(change, client ? client->processId : 0);
            SaveState();
        }
    }
    if (status == 0 && !command)
        m_faults.Alter(code, out, returned);
    return status;
}

namespace {

// Whether a handle is an event: a pseudo handle (-1 is the process itself) or another
// object's handle also duplicates, but signalling it would do nothing.
bool IsEvent(HANDLE handle)
{
    alignas(8) char buffer[512];
    ULONG size = 0;
    if (NtQueryObject(handle, ObjectTypeInformation, buffer, sizeof buffer, &size) != 0)
        return false;
    const UNICODE_STRING& type =
        reinterpret_cast<PUBLIC_OBJECT_TYPE_INFORMATION*>(buffer)->TypeName;
    static const wchar_t event[] = L"Event";
    return type.Length == sizeof event - sizeof(wchar_t) &&
           std::memcmp(type.Buffer, event, type.Length) == 0;
}

} // namespace

DWORD CSimDriver::RegisterEvent(Client& client, uint32_t handleValue)
{
    HANDLE event = nullptr;
    HANDLE source = reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(handleValue));
    if (!client.process || !DuplicateHandle(client.process, source, GetCurrentProcess(), &event,
                                            EVENT_MODIFY_STATE, FALSE, 0))
        return SIM_E_BAD_EVENT;
    if (!IsEvent(event)) {
        CloseHandle(event);
        return SIM_E_BAD_EVENT;
    }
    if (client.event)
        CloseHandle(client.event);
    client.event = event;
    if (!client.queue.empty())
        SetEvent(client.event);
    return 0;
}

DWORD CSimDriver::TakeNotification(Client& client, void* out, DWORD* returned)
{
    if (client.queue.empty())
        return SIM_E_QUEUE_EMPTY;
    std::memcpy(out, &client.queue.front(), sizeof(_KVX_USB_NOTIFICATION));
    client.queue.pop_front();
    *returned = sizeof(_KVX_USB_NOTIFICATION);
    return 0;
}

// Queues the record for every client with an event, but those of the process that made
// the change; one signal per record.
void CSimDriver::Report(const SimChange& change, DWORD fromProcess)
{
    _KVX_USB_NOTIFICATION record = {change.kind, change.data1, change.data2};
    for (auto& entry : m_clients) {
        Client& c = entry.second;
        if (!c.event || (fromProcess != 0 && c.processId == fromProcess))
            continue;
        if (c.queue.size() >= SIM_QUEUE_LIMIT)
            c.queue.pop_front();
        c.queue.push_back(record);
        SetEvent(c.event);
    }
    char text[80];
    std::snprintf(text, sizeof text, "notification kind=%ld data1=%lu data2=%lu",
                  static_cast<long>(record.Kind), static_cast<unsigned long>(record.Data1),
                  static_cast<unsigned long>(record.Data2));
    m_trace.Note(text);
}

void CSimDriver::SaveState()
{
    if (m_statePath.empty())
        return;
    m_stateError.clear();
    if (!WriteFileAtomically(m_statePath, StateText(m_model.Hardware()), &m_stateError))
        m_trace.Note("state not saved: " + m_stateError);
}

void CSimDriver::TraceNote(const std::string& text)
{
    m_trace.Note(text);
}

void CSimDriver::TraceMalformed(DWORD code, DWORD inSize, DWORD outSize, DWORD status)
{
    m_trace.Request(code, inSize, outSize, 0, status);
}

DWORD CSimDriver::Command(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize)
{
    DWORD returned = 0;
    return Request(SIM_COMMAND_CLIENT, code, in, inSize, out, outSize, &returned);
}

DWORD CSimDriver::Change(const SimChange& change, const std::function<DWORD(CSimModel&)>& apply)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_model.AccountDropOuts();
    DWORD status = apply(m_model);
    if (status == 0 && change.kind) {
        Report(change, 0);
        SaveState();
    }
    return status;
}

DWORD CSimDriver::Plug(uint32_t deviceId, bool plugged, bool* interfaceChanged)
{
    std::lock_guard<std::mutex> lock(m_lock);
    bool before = m_model.AnyPlugged();
    SimChange change;
    DWORD status = m_model.Plug(deviceId, plugged, &change);
    if (change.kind)
        Report(change, 0);
    *interfaceChanged = before != m_model.AnyPlugged();
    return status;
}

void CSimDriver::Stream(bool on)
{
    std::lock_guard<std::mutex> lock(m_lock);
    SimChange change;
    m_model.SetStreaming(on, &change);
    if (change.kind)
        Report(change, 0);
}

void CSimDriver::Notify(int32_t kind, uint32_t data1, uint32_t data2)
{
    std::lock_guard<std::mutex> lock(m_lock);
    Report({kind, data1, data2}, 0);
}

bool CSimDriver::InterfacePresent()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_model.AnyPlugged();
}

namespace {

std::string Format(const char* format, ...)
{
    char text[1024]; // a device line with the longest serial fits
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

// 0 and 1 as their words, any other value as its number.
std::string Word(uint32_t value, const char* zero, const char* one)
{
    return value == 0 ? zero : value == 1 ? one : std::to_string(value);
}

std::string DeviceStatus(const SimDevice& d)
{
    const _KVX_USB_DEVICE_PROPERTIES& p = d.properties;
    std::string text = Format("device %u%s: \"%s\" serial %s ranking %u, %u in / %u out, "
                              "clock source %u \"%s\"\n",
                              p.DeviceId, d.plugged ? "" : " (unplugged)",
                              RecordText(p.DeviceName).c_str(), RecordText(p.SerialNumber).c_str(),
                              p.Ranking, unsigned(d.inputs.size()), unsigned(d.outputs.size()),
                              d.synch.Current.SourceId, RecordText(d.synch.Current.Name).c_str());
    for (uint32_t i = 0; i < d.synch.SourceCount && i < KVX_USB_MAX_CLOCK_SOURCES; ++i)
        text += Format("  source kind %u id %u \"%s\"\n", d.synch.Sources[i].SourceKind,
                       d.synch.Sources[i].SourceId, RecordText(d.synch.Sources[i].Name).c_str());
    for (auto* list : {&d.inputs, &d.outputs})
        for (const _KVX_USB_CHANNEL_PROPERTIES& c : *list)
            text += Format("  %s %u \"%s\" (%s)\n", list == &d.inputs ? "input " : "output",
                           c.ChannelId, RecordText(c.ChannelName).c_str(),
                           RecordText(c.HardwareName).c_str());
    return text;
}

} // namespace

std::string CSimDriver::Status()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_model.AccountDropOuts();
    const SimHardware& hw = m_model.Hardware();
    const _KVX_USB_SAMPLE_RATE_INFO& rates = hw.rateInfo;
    std::string rateList;
    for (uint32_t i = 0; i < rates.RateCount && i < KVX_USB_MAX_RATES; ++i)
        rateList += " " + std::to_string(rates.Rates[i]);
    std::string order;
    for (const SimDevice* d : m_model.PluggedByRanking())
        order += " " + std::to_string(d->properties.DeviceId);
    std::string text =
        Format("driver interface %u.%u, version %u.%u.%d\n", hw.driverInfo.InterfaceVersionMajor,
               hw.driverInfo.InterfaceVersionMinor, hw.driverInfo.DriverVersionMajor,
               hw.driverInfo.DriverVersionMinor, int(hw.driverInfo.DriverVersionBuild)) +
        Format("rate %u Hz, rates%s, rate mode %s, clock master %s, ASIO names with device %s\n",
               rates.CurrentRate, rateList.empty() ? " none" : rateList.c_str(),
               Word(hw.rateMode.Mode, "manual", "auto").c_str(),
               Word(hw.clockMaster.ClockMaster, "pc", "device").c_str(),
               Word(hw.asioNameOption, "off", "on").c_str()) +
        Format("stream buffer %u us (%u..%u step %u), ASIO buffer %u us granularity %u, "
               "WDM buffer %u us granularity %u\n",
               hw.streamDepth.Current, hw.streamDepth.Minimum, hw.streamDepth.Maximum,
               hw.streamDepth.Step, hw.asioDepth.Depth, hw.asioDepth.Granularity, hw.wdmDepth.Depth,
               hw.wdmDepth.Granularity) +
        Format("streaming %s, drop-outs %u, StartStreams %u, StopStreams %u\n",
               hw.streaming ? "on" : "off", hw.statistics.DropOuts, m_model.StreamStarts(),
               m_model.StreamStops()) +
        "device order" + (order.empty() ? " none" : order) + "\n";
    for (const SimDevice& d : hw.devices)
        text += DeviceStatus(d);
    for (const auto& entry : m_clients)
        text += Format("client %u of process %lu: %s, %u record(s) queued\n", unsigned(entry.first),
                       static_cast<unsigned long>(entry.second.processId),
                       entry.second.event ? "event registered" : "no event",
                       unsigned(entry.second.queue.size()));
    if (!m_statePath.empty())
        text += "state file " + m_statePath +
                (m_stateError.empty() ? "\n" : ": last change NOT saved, " + m_stateError + "\n");
    text += "windows marked " + DriverInterfaceMark() + " hear of arrival and removal\n";
    text += "faults:\n" + m_faults.Describe();
    return text;
}

void CSimDriver::Shutdown()
{
    std::lock_guard<std::mutex> lock(m_lock);
    SaveState();
}
