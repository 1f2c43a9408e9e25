// A driver that answers wrong when told to, inside the test's own process: the stand-in's
// model (CSimDriver, from a shipped scenario) behind the device-I/O boundary, with faults
// that hit the Nth request of one control code, and a log of every request sent.
//
//   #include "FaultDeviceIo.h"           // CMake: link the target kvxfaultio
//
//   FaultDeviceIo io("demo");            // puts itself in place of the device I/O
//   io.Add({IOCTL_KVX_USB_GET_DEVICE_PROPERTIES, 2, FaultKind::Short, 100});
//   CKvxuUsbDriver drv;                  // or the whole panel: it reaches io unchanged
//   drv.Open(KVX_USB_DEVICE_NAME);
//   ... the action under test ...
//   io.Sent();                           // what reached the driver, and how it was answered
//   io.Hardware();                       // what the driver holds now
//   io.Sim().Command(...), io.Sim().Notify(...)  // another program's change, a change record
//   io.Reset();                          // faults, counts and the log start again
//
// Requests are counted per control code from construction or Reset, from 1. Only
// IDeviceIo's public contract is used: a channel opened on it behaves as with a real driver
// (its bound, its thread), so a stall past the bound is seen as the driver not responding.
// Its own faults are those of the protocol; the model's checks (pass-through bytes, values
// offered) answer as the stand-in would. Construct it before anything opens the driver and
// destroy it after everything that did has closed; one at a time per process.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "DeviceIo.h"
#include "SimDriver.h"

// Each way a driver answers wrong. arg is the kind's own number.
enum class FaultKind {
    Status,       // fails with status arg; nothing reaches the model
    Short,        // succeeds with only the first arg bytes of its answer (0: none)
    RepeatedIds,  // an id list names its first id again in place of its second
    Overcount,    // id-list, clock-source and rate counts far past their records' capacity
    Unterminated, // names and serial numbers fill their whole field, without a terminator
    OffDomain,    // the record's checked value is one the panel does not offer (OffDomainValue)
    Stall,        // answered as usual, but only after arg ms (0: 30 s) or at EndStalls
};

struct Fault {
    DWORD code;   // a control code of the catalogue
    unsigned nth; // the Nth request of the code, from 1; 0 hits every one
    FaultKind kind;
    DWORD arg;
};

// A readable name for test output: "Short(100) GetDeviceProperties #2".
std::string Describe(const Fault& fault);

// The field an OffDomain fault sets, and to what: rate mode, clock master and the display-name
// option 7, the current rate 12345 Hz (not listed), the current clock source id 0xFFFF (not
// offered), the stream depth's step 0, the ASIO and WDM depths 0 us, a change record's kind 99.
// False for a code with no such field.
bool OffDomainField(DWORD code, DWORD* offset, uint32_t* value);

struct SentRequest {
    DWORD code;
    std::vector<char> in; // the input bytes as sent
    DWORD status;         // as the driver answered it (after any fault)
    DWORD returned;       // bytes answered
    bool faulted;         // a fault hit it

    // The input as its record; a default record when the sizes differ.
    template <class Record> Record As() const
    {
        Record record = {};
        if (in.size() == sizeof record)
            std::memcpy(&record, in.data(), sizeof record);
        return record;
    }
};

class FaultDeviceIo final : public IDeviceIo {
public:
    // scenario: "demo", "maximal", or a scenario file's path.
    explicit FaultDeviceIo(const std::string& scenario = "demo");
    ~FaultDeviceIo();
    FaultDeviceIo(const FaultDeviceIo&) = delete;
    FaultDeviceIo& operator=(const FaultDeviceIo&) = delete;

    // False when the scenario could not be loaded (Error() says why); the model is then empty.
    bool Loaded() const { return m_error.empty(); }
    const std::string& Error() const { return m_error; }

    void Add(const Fault& fault);
    // Forgets the faults; the counts and the log go on.
    void ClearFaults();
    // Forgets the faults, the counts and the log; ends any stall.
    void Reset();
    // Opening the control device fails with this status from now on (0: it opens again).
    void FailOpen(DWORD status);

    // Every stalled request is answered now, and so is any later one until the next Reset.
    void EndStalls();
    // How many requests are held by a stall now.
    unsigned Stalled() const;

    std::vector<SentRequest> Sent() const;
    // The requests sent of this code; and how many.
    std::vector<SentRequest> Sent(DWORD code) const;
    size_t Count(DWORD code) const { return Sent(code).size(); }

    // The model's state now, as a copy.
    SimHardware Hardware();
    // The model itself, for a change made as another program would (Command, Change, Notify,
    // Plug, Stream): each is reported to the panel as the stand-in reports it.
    CSimDriver& Sim() { return *m_sim; }

    HANDLE Open(const char* path) override;
    BOOL Control(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                 DWORD* bytesReturned) override;
    void Close(HANDLE device) override;

private:
    // The fault for the request just counted, if one is due.
    bool TakeFault(DWORD code, Fault* fault);
    void WaitOutStall(DWORD ms);
    static void Alter(const Fault& fault, void* out, DWORD* returned);

    std::unique_ptr<CSimDriver> m_sim;
    std::string m_error;
    IDeviceIo* m_previous;

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<Fault> m_faults;
    std::map<DWORD, unsigned> m_counts;
    std::vector<SentRequest> m_sent;
    std::map<HANDLE, uint64_t> m_clients;
    uintptr_t m_nextHandle = 0x4000;
    DWORD m_openStatus = 0;
    unsigned m_stallGeneration = 0; // EndStalls moves it on: stalls of an older one end
    bool m_stallsEnded = false;
    unsigned m_stalled = 0;
    unsigned m_inControl = 0; // requests being answered: the destructor waits for them
};
