// Every setting the driver reports, as a profile.
#pragma once

#include <string>
#include <vector>

#include "DriverSnapshot.h"
#include "Profile.h"

// The channels of one device in one direction, in the driver's order: a channel's index
// in a profile is its place in this list.
std::vector<const CSnapshotChannel*> ChannelsOfDevice(const std::vector<CSnapshotChannel>& channels,
                                                      uint32_t deviceId);

// The profile of what the snapshot holds. What could not be read is left out and named in
// notes, with the status; so is a name the driver left without a terminator, which is
// kept as its first 39 bytes, as the panel would store it. What a profile file cannot hold
// (a depth off the buffer page's grid, a name with control bytes, a serial two devices share)
// is left out and noted too, so that what is saved always loads. Rankings are kept as the
// devices' order: places 0, 1, 2 ...
CProfile ProfileFromSnapshot(const CDriverSnapshot& snapshot, std::vector<std::string>& notes);

// Reads the driver and makes its profile, as above.
CProfile ReadProfileFromDriver(CKvxuUsbDriver& driver, std::vector<std::string>& notes);

// "2026-12-07T18:20:00Z", now.
std::string UtcTimestamp();
