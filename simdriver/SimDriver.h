// The stand-in driver: one virtual hardware shared by every client, changed under one
// lock, with a change-record queue per client handle, fault injection, the trace and the
// state file. The pipe server and the control commands drive it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "SimFaults.h"
#include "SimModel.h"
#include "SimTrace.h"

// Requests of the control commands: never faulted, stalled or traced as requests.
constexpr uint64_t SIM_COMMAND_CLIENT = 0;

// A client that never drains its queue keeps only this many records, the newest.
constexpr size_t SIM_QUEUE_LIMIT = 1024;

class CSimDriver {
public:
    explicit CSimDriver(SimHardware hardware);
    ~CSimDriver();
    CSimDriver(const CSimDriver&) = delete;
    CSimDriver& operator=(const CSimDriver&) = delete;

    // Loads the settings kept in path, if the file exists, and keeps every later change
    // there.
    bool UseStateFile(const std::string& path, std::string* error);
    bool UseTrace(const std::string& path, std::string* error);

    // A client handle of the process processId. Changes it makes are reported to the
    // clients of other processes only, as the control panel's own changes are no news to it.
    uint64_t Connect(DWORD processId);
    void Disconnect(uint64_t client);

    // One request of a client, as a device-control request: status, bytes in out.
    DWORD Request(uint64_t client, DWORD code, const void* in, DWORD inSize, void* out,
                  DWORD outSize, DWORD* returned);
    void TraceMalformed(DWORD code, DWORD inSize, DWORD outSize, DWORD status);
    void TraceNote(const std::string& text);

    // A request made by another program (a control command): reported to every client
    // that registered an event.
    DWORD Command(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize);
    // A change only the device itself could make (values no request may set): apply edits
    // the model under the lock; when it returns 0 the change is reported to every client
    // as one of another program and kept in the state file.
    DWORD Change(const SimChange& change, const std::function<DWORD(CSimModel&)>& apply);
    // interfaceChanged: the first device came or the last one went.
    DWORD Plug(uint32_t deviceId, bool plugged, bool* interfaceChanged);
    void Stream(bool on);
    void Notify(int32_t kind, uint32_t data1, uint32_t data2);
    bool InterfacePresent();

    template <typename F> void WithFaults(F f)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        f(m_faults);
    }

    std::string Status();
    // Flushes the state file; called once before the process ends.
    void Shutdown();

private:
    struct Client {
        DWORD processId = 0;
        HANDLE process = nullptr; // to take over its event handle
        HANDLE event = nullptr;   // ours, signalled when a record is queued
        std::deque<_KVX_USB_NOTIFICATION> queue;
    };

    DWORD Locked(uint64_t client, DWORD code, const void* in, void* out, DWORD* returned);
    DWORD RegisterEvent(Client& client, uint32_t handleValue);
    DWORD TakeNotification(Client& client, void* out, DWORD* returned);
    void Report(const SimChange& change, DWORD fromProcess);
    void SaveState();

    std::mutex m_lock;
    CSimModel m_model;
    CSimFaults m_faults;
    CSimTrace m_trace;
    std::map<uint64_t, Client> m_clients;
    uint64_t m_nextClient = 1;
    std::string m_statePath;
    std::string m_stateError; // why the last save failed, empty when it did not
};
