// The control panel's picture of what the driver reports: devices, their synchronisation
// modes, input and output channels, and the last values read for a few global settings.
// It is also the shared driver channel that the view, the pages and the about box use.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "KvxuUsbDriver.h"

// Each array owns its records; every record is allocated alone, at exactly its record's
// size. Element pointers and indexes stay valid until the next load or free of that array.
typedef std::vector<std::unique_ptr<_KVX_USB_DEVICE_PROPERTIES>> CDeviceArray;
typedef std::vector<std::unique_ptr<_KVX_USB_DEVICE_SYNCH_MODE_INFO>> CSynchModeArray;
typedef std::vector<std::unique_ptr<_KVX_USB_CHANNEL_PROPERTIES>> CChannelArray;

// How a change the user asked for ended, as the user is told it.
enum class CWriteOutcome {
    Applied,   // the driver took it
    Unchanged, // the driver already held it: nothing was sent
    NotSent,   // the record could not be read whole just before: nothing was sent
    Refused,   // the driver said no
    NoAnswer,  // the request ran out of time: the driver may still apply it
};
struct CWriteResult {
    CWriteOutcome outcome;
    DWORD status; // the failed read's (NotSent) or the write's (Refused, NoAnswer); else 0
};
// The outcome of a write that was sent, by its status.
CWriteResult SentWriteResult(DWORD status);

// Loads go on after a failure and return the status of the first failure in list order (0
// when all succeeded); records that failed to load are left out.
//
// The Store... functions write one setting of one record: they read the record afresh, change
// only that field, and send it only when that changed it, so that nothing the panel did not
// read whole, and nothing the user did not change, goes back to the driver.
class CDrv : public CKvxuUsbDriver {
public:
    CDrv();
    ~CDrv() override;

    // Also m_DeviceIds: the ids the driver listed, empty when the list could not be read.
    DWORD LoadDevices();
    DWORD LoadSynchModes();
    // Reads the channels of one half of the channel-id lists.
    DWORD LoadChannels(CChannelArray& channels, KvxUsbDirection direction);
    // The two parts of LoadChannels, for a load in steps: the ids of one half of the lists,
    // and the records of these ids added to the array.
    DWORD ReadChannelIds(KvxUsbDirection direction, std::vector<uint32_t>& ids);
    DWORD AddChannels(CChannelArray& channels, const std::vector<uint32_t>& ids);

    void FreeDevices();
    void FreeSynchModes();
    static void FreeChannels(CChannelArray& channels);
    // The ids of the devices the driver lists, no more than its record holds.
    DWORD ReadDeviceIds(std::vector<uint32_t>& ids);

    CWriteResult StoreDeviceRanking(uint32_t deviceId, uint32_t ranking);
    CWriteResult StoreDeviceName(uint32_t deviceId, const std::string& name);
    CWriteResult StoreChannelName(uint32_t channelId, const std::string& name);
    // The source the device offers with this id, of the kind it gives it.
    CWriteResult StoreClockSource(uint32_t deviceId, uint32_t sourceId);
    CWriteResult StoreStreamDepth(uint32_t currentUs);
    CWriteResult StoreAsioDepth(uint32_t depthUs);
    CWriteResult StoreWdmDepth(uint32_t depthUs);

    uint32_t m_AsioNameOption = 0;
    _KVX_USB_CLOCK_MASTER m_ClockMaster = {};
    std::vector<uint32_t> m_DeviceIds;
    CDeviceArray m_Devices;
    CSynchModeArray m_SynchModes;
    CChannelArray m_InputChannels;
    CChannelArray m_OutputChannels;
    uint32_t m_SampleRateMode = 0;
    _KVX_USB_SAMPLE_RATE_INFO m_SampleRateInfo = {};
};

// The one model cache. It must be constructed after the application object and destroyed
// before it, so the application's own source file defines both, in this order:
//     CKVX_USB_CPLApp theApp;
//     CDrv theDrv;
// Nothing in driver/ defines it; a test program defines its own.
extern CDrv theDrv;
