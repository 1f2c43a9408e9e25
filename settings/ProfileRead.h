// Every setting the driver reports, as a profile.
#pragma once

#include <string>
#include <vector>

#include "DriverSnapshot.h"
#include "Profile.h"

// A channel of a device, numbered by its place among that device's entries in the driver's id
// list: its index in a profile.
struct CDeviceChannel {
    uint32_t index;
    const CSnapshotChannel* channel;
};

// The channels of one device in one direction whose number is sure. A channel that could not
// be read may be any device's, so every channel after it in the list has an unsure number
// and is left out; complete says whether any was.
struct CDeviceChannels {
    std::vector<CDeviceChannel> sure;
    bool complete = true;
    DWORD unreadStatus = 0; // of the first channel that could not be read
};
CDeviceChannels ChannelsOfDevice(const std::vector<CSnapshotChannel>& channels, uint32_t deviceId);

// The profile of what the snapshot holds. What could not be read is left out and named in
// notes, with the status; so is a name the driver left without a terminator, which is
// kept as its first 39 bytes, as the panel would store it. What a profile file cannot hold
// (a depth off the buffer page's grid, a name with control bytes, a serial two devices share)
// is left out and noted too, so that what is saved always loads. Rankings are kept as the
// devices' order: places 0, 1, 2 ...
CProfile ProfileFromSnapshot(const CDriverSnapshot& snapshot, std::vector<std::string>& notes);

// Reads the driver and makes its profile, as above.
CProfile ReadProfileFromDriver(CKvxuUsbDriver& driver, std::vector<std::string>& notes);

// A profile read to be saved, and why it must not be: the one rule of kvxuctl save and the
// panel's Save. A file is never replaced by a profile that holds nothing, nor by one read
// while the driver stopped answering, which is not the driver's whole state.
struct CProfileToSave {
    CProfile profile;
    std::vector<std::string> notes;
    DWORD refusal = 0;  // 0: save it; else why not: KVX_USB_E_NOT_RESPONDING, or the
                        // status of the first read that failed when nothing was read
    std::string reason; // the refusal as a sentence for the user
};
CProfileToSave ReadProfileToSave(CKvxuUsbDriver& driver);

// Whether a profile holds no setting at all.
bool HoldsNoSetting(const CProfile& profile);

// "2026-12-07T18:20:00Z", now.
std::string UtcTimestamp();
