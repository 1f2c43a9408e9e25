// The control panel's picture of what the driver reports: devices, their synchronisation
// modes, input and output channels, and the last values read for a few global settings.
// It is also the shared driver channel that the view, the pages and the about box use.
#pragma once

#include <memory>
#include <vector>

#include "KvxuUsbDriver.h"

// Each array owns its records; every record is allocated alone, at exactly its record's
// size. Element pointers and indexes stay valid until the next load or free of that array.
typedef std::vector<std::unique_ptr<_KVX_USB_DEVICE_PROPERTIES>> CDeviceArray;
typedef std::vector<std::unique_ptr<_KVX_USB_DEVICE_SYNCH_MODE_INFO>> CSynchModeArray;
typedef std::vector<std::unique_ptr<_KVX_USB_CHANNEL_PROPERTIES>> CChannelArray;

// Loads and stores go on after a failure and return the status of the first failure in
// list order (0 when all succeeded); records that failed to load are left out.
class CDrv : public CKvxuUsbDriver {
public:
    CDrv();
    ~CDrv() override;

    DWORD LoadDevices();
    DWORD StoreDevices();
    DWORD LoadSynchModes();
    DWORD StoreSynchModes();
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

    uint32_t m_AsioNameOption = 0;
    _KVX_USB_CLOCK_MASTER m_ClockMaster = {};
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
