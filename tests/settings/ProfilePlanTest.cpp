// Plans and saved profiles over hand-built snapshots: what a load sends, in which order, and
// what a save leaves out so that the file loads again.
#include <gtest/gtest.h>

#include <algorithm>

#include "KvxUsbText.h"
#include "ProfileApply.h"
#include "ProfileFile.h"
#include "ProfileRead.h"

namespace {

// A driver with devices of these serials and rankings (a ranking of -1: unreadable), manual
// mode at 48 kHz of 44.1, 48 and 96 kHz.
CDriverSnapshot Snapshot(std::vector<std::pair<std::string, int>> devices)
{
    CDriverSnapshot snapshot;
    uint32_t id = 1;
    for (const auto& [serial, ranking] : devices) {
        CSnapshotDevice device;
        device.id = id++;
        device.properties.status = ranking < 0 ? ERROR_GEN_FAILURE : 0;
        device.properties.value.DeviceId = device.id;
        device.properties.value.Ranking = ranking < 0 ? 0 : uint32_t(ranking);
        SetRecordText(device.properties.value.SerialNumber, serial.c_str());
        SetRecordText(device.properties.value.DeviceName, ("Name " + serial).c_str());
        snapshot.devices.push_back(device);
    }
    snapshot.rates.value = {0, 48000, 3, {44100, 48000, 96000}};
    snapshot.rateMode.value = KVX_USB_RATE_MODE_MANUAL;
    return snapshot;
}

CProfile Ranking(std::vector<std::string> serials)
{
    CProfile profile;
    for (size_t i = 0; i < serials.size(); ++i) {
        profile.devices.emplace_back();
        profile.devices.back().serial = serials[i];
        profile.devices.back().ranking = uint32_t(i);
    }
    return profile;
}

// Each result as "setting: current -> wanted (outcome)", in plan order.
std::string PlanText(const CProfile& profile, const CDriverSnapshot& snapshot,
                     bool matchByOrder = false)
{
    CLoadOptions options;
    options.matchByOrder = matchByOrder;
    std::string text;
    for (const CSettingResult& r : PlanProfile(profile, snapshot, options).results)
        text += r.setting + ": " + r.current + " -> " + r.wanted + " (" + OutcomeName(r.outcome) +
                (r.why.empty() ? "" : ", " + r.why) + ")\n";
    return text;
}

} // namespace

TEST(ProfilePlan, ARankingIsAnOrderAndOnlyTheRankedDevicesMove)
{
    CProfile rateOnly;
    rateOnly.sampleRateHz = 48000;
    const struct {
        const char* what;
        CDriverSnapshot snapshot;
        CProfile profile;
        const char* plan;
    } cases[] = {
        {"a gap left by an unplug, and a profile without rankings", Snapshot({{"A", 1}, {"B", 2}}),
         rateOnly, "sampling rate: 48000 Hz -> 48000 Hz (unchanged)\n"},
        {"the same order over a gap", Snapshot({{"A", 1}, {"B", 2}}), Ranking({"A", "B"}),
         "device A ranking: 1 -> 1 (unchanged)\ndevice B ranking: 2 -> 2 (unchanged)\n"},
        {"swapped: the two take each other's places, gaps kept",
         Snapshot({{"A", 1}, {"B", 4}, {"C", 2}}), Ranking({"B", "A"}),
         "device B ranking: 4 -> 1 (to apply)\ndevice A ranking: 1 -> 4 (to apply)\n"},
        {"a ranked device not connected", Snapshot({{"A", 0}}), Ranking({"Z", "A"}),
         "device Z ranking:  -> 0 (skipped, not connected)\ndevice A ranking: 0 -> 0 "
         "(unchanged)\n"},
        {"a shared place: the device that shares it moves on, the rest keep theirs",
         Snapshot({{"A", 0}, {"B", 0}, {"C", 3}}), Ranking({"B", "A"}),
         "device B ranking: 0 -> 0 (unchanged)\ndevice A ranking: 0 -> 1 (to apply)\n"},
        {"a file that ranks only the device with a gap", Snapshot({{"A", 0}, {"B", 0}, {"C", 7}}),
         Ranking({"C"}),
         "device B ranking: 0 -> 1 (to apply)\ndevice C ranking: 7 -> 7 (unchanged)\n"},
        {"shared places beside an unreadable device are not guessed at",
         Snapshot({{"A", 0}, {"B", 0}, {"X", -1}}), Ranking({"B", "A"}),
         "device B ranking:  -> 0 (skipped, devices share a place in the ranking and one could "
         "not be read; store the order on the devices page)\ndevice A ranking:  -> 1 (skipped, "
         "devices share a place in the ranking and one could not be read; store the order on "
         "the devices page)\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PlanText(c.profile, c.snapshot), c.plan) << c.what;
}

TEST(ProfilePlan, TheRateIsSentOnlyWhileTheModeLetsItBeChosen)
{
    auto profile = [](std::optional<uint32_t> mode) {
        CProfile p;
        p.sampleRateHz = 96000;
        p.rateMode = mode;
        return p;
    };
    auto driverIn = [](uint32_t mode) {
        CDriverSnapshot s = Snapshot({});
        s.rateMode.value = mode;
        return s;
    };
    const uint32_t manual = KVX_USB_RATE_MODE_MANUAL, automatic = KVX_USB_RATE_MODE_AUTOMATIC;
    const struct {
        const char* what;
        CProfile profile;
        CDriverSnapshot snapshot;
        const char* plan;
    } cases[] = {
        {"to auto: the rate first, while manual still takes it", profile(automatic),
         driverIn(manual),
         "sampling rate: 48000 Hz -> 96000 Hz (to apply)\n"
         "rate selection mode: manual -> auto (to apply)\n"},
        {"to manual: the mode first", profile(manual), driverIn(automatic),
         "rate selection mode: auto -> manual (to apply)\n"
         "sampling rate: 48000 Hz -> 96000 Hz (to apply)\n"},
        {"staying in auto: the driver picks the rate", profile(std::nullopt), driverIn(automatic),
         "sampling rate:  -> 96000 Hz (skipped, the driver picks the rate in automatic mode; "
         "choose manual mode to set one)\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PlanText(c.profile, c.snapshot), c.plan) << c.what;
}

TEST(ProfilePlan, MatchingByOrderIsRefusedWhileADeviceCannotBeRead)
{
    CProfile profile = Ranking({"OLD-1", "OLD-2"});
    profile.devices[0].name = "First";
    profile.devices[1].name = "Second";
    const std::string plan = PlanText(profile, Snapshot({{"NEW-1", -1}, {"NEW-2", 1}}), true);
    EXPECT_EQ(plan.find("to apply"), std::string::npos) << plan;
    EXPECT_NE(plan.find("device OLD-2 name:  -> \"Second\" (skipped, device id 1 could not be "
                        "read, so devices cannot be matched by their order (ERROR_GEN_FAILURE"),
              std::string::npos)
        << plan;
    // With every device readable, places match as before.
    EXPECT_NE(PlanText(profile, Snapshot({{"NEW-1", 0}, {"NEW-2", 1}}), true)
                  .find("device OLD-2 name: \"Name NEW-2\" -> \"Second\" (to apply)"),
              std::string::npos);
}

TEST(ProfileSave, WhatAFileCannotHoldIsLeftOutWithANoteAndTheRestLoads)
{
    const std::string fullSerial(sizeof(_KVX_USB_DEVICE_PROPERTIES::SerialNumber), 'S');
    const struct {
        const char* what;
        void (*change)(CDriverSnapshot&);
        const char* note; // empty: nothing left out
    } cases[] = {
        {"an ASIO depth below the range", [](CDriverSnapshot& s) { s.asioDepth.value.Depth = 500; },
         "ASIO buffer depth: 500 us not saved, a profile's asioBufferDepthUs must be from 1000"},
        {"a WDM depth off the grid", [](CDriverSnapshot& s) { s.wdmDepth.value.Depth = 5500; },
         "a multiple of 1000"},
        {"a rate of 0", [](CDriverSnapshot& s) { s.rates.value.CurrentRate = 0; },
         "sampling rate: 0 Hz not saved"},
        {"a stream depth of 0", [](CDriverSnapshot& s) { s.streamDepth.value.Current = 0; },
         "stream buffer depth: 0 us not saved"},
        {"a mode neither manual nor auto", [](CDriverSnapshot& s) { s.rateMode.value = 7; },
         "rate selection mode: 7 (neither manual nor auto) not saved"},
        {"two devices with one serial",
         [](CDriverSnapshot& s) { s.devices[1].properties.value.SerialNumber[0] = 'A'; },
         "device A: not saved, another device has the same serial"},
        {"an empty serial",
         [](CDriverSnapshot& s) { s.devices[0].properties.value.SerialNumber[0] = 0; },
         "device without serial: not saved"},
        {"a name with a line break",
         [](CDriverSnapshot& s) { s.devices[0].properties.value.DeviceName[1] = '\n'; },
         "device A name: not saved, it contains a control byte (0x0A)"},
        {"a serial filling its whole field is kept whole",
         [](CDriverSnapshot& s) {
             std::fill(std::begin(s.devices[0].properties.value.SerialNumber),
                       std::end(s.devices[0].properties.value.SerialNumber), 'S');
         },
         ""},
    };
    for (const auto& c : cases) {
        CDriverSnapshot snapshot = Snapshot({{"A", 0}, {"B", 1}});
        snapshot.streamDepth.value = {1000, 8000, 1000, 2000};
        snapshot.asioDepth.value.Depth = snapshot.wdmDepth.value.Depth = 4000;
        c.change(snapshot);
        std::vector<std::string> notes;
        const CProfile profile = ProfileFromSnapshot(snapshot, notes);
        std::string all;
        for (const std::string& note : notes)
            all += note + "\n";
        if (*c.note)
            EXPECT_NE(all.find(c.note), std::string::npos) << c.what << ":\n" << all;
        else
            EXPECT_EQ(all, "") << c.what;
        CProfile loaded;
        std::string error;
        EXPECT_TRUE(ReadProfileJson(WriteProfileJson(profile), loaded, error))
            << c.what << ": " << error;
        // Whatever was left out, the kept devices keep their order, without gaps.
        for (const CProfileDevice& device : loaded.devices)
            EXPECT_LT(*device.ranking, loaded.devices.size()) << c.what;
    }
    CDriverSnapshot full = Snapshot({{"A", 0}});
    std::fill(std::begin(full.devices[0].properties.value.SerialNumber),
              std::end(full.devices[0].properties.value.SerialNumber), 'S');
    std::vector<std::string> notes;
    EXPECT_EQ(ProfileFromSnapshot(full, notes).devices[0].serial, fullSerial)
        << "saved one byte short, it would never match again";
}
