// A profile with every setting other than it was, at the stand-in's largest scenario: for the
// tests and the bench that load a change of everything.
#pragma once

#include "ProfileFile.h"

// Every setting of the profile other than what it was: names suffixed, rankings reversed,
// and the next offered value of each driver-wide setting at the maximal scenario.
inline CProfile Scrambled(CProfile profile)
{
    const size_t count = profile.devices.size();
    for (CProfileDevice& device : profile.devices) {
        device.name = "X" + device.name->substr(0, 30);
        device.ranking = uint32_t(count - 1 - *device.ranking);
        for (CProfileChannel& channel : device.inputs)
            channel.name = "In " + channel.name.substr(0, 30);
        for (CProfileChannel& channel : device.outputs)
            channel.name = "Out " + channel.name.substr(0, 30);
    }
    profile.sampleRateHz = 48000;
    profile.rateMode = 1 - *profile.rateMode;
    profile.clockMaster = 1 - *profile.clockMaster;
    // The last device becomes the first, and the clock source is the first device's.
    profile.clockSource = CProfileSource{1, "S/PDIF"};
    profile.streamDepthUs = *profile.streamDepthUs - 250;
    profile.asioDepthUs = *profile.asioDepthUs + 1000;
    profile.wdmDepthUs = *profile.wdmDepthUs - 1000;
    profile.asioNamesWithDevice = !*profile.asioNamesWithDevice;
    return profile;
}
