// Reading, planning and applying profiles against the stand-in driver: the round trip at
// the largest scenario, a dry run, refusals, missing and replaced devices.
#include <gtest/gtest.h>

#include <algorithm>

#include "KvxuUsbDriver.h"
#include "ProfileApply.h"
#include "ProfileFile.h"
#include "ProfileRead.h"
#include "ScrambledProfile.h"
#include "SimDriverProcess.h"
#include "SimTrace.h"

namespace {

class ProfileLoadTest : public ::testing::Test {
protected:
    void Start(const char* scenario)
    {
        m_trace = SimDriverProcess::TempPath("profile-trace.txt");
        DeleteFileA(m_trace.c_str());
        ASSERT_TRUE(m_sim.Start(scenario, {"--trace", m_trace})) << m_sim.Log();
        ASSERT_EQ(m_driver.Open(KVX_USB_DEVICE_NAME), 0u);
    }
    void TearDown() override
    {
        m_driver.Close();
        m_sim.Stop();
        DeleteFileA(m_trace.c_str());
    }

    CProfile Save()
    {
        std::vector<std::string> notes;
        CProfile profile = ReadProfileFromDriver(m_driver, notes);
        EXPECT_TRUE(notes.empty()) << notes.front();
        profile.information.saved = "";
        return profile;
    }

    std::vector<CSettingResult> Load(const CProfile& profile, bool matchByOrder = false)
    {
        CLoadOptions options;
        options.matchByOrder = matchByOrder;
        return LoadProfile(m_driver, profile, options, false).results;
    }

    void Sim(std::initializer_list<std::string> command)
    {
        SimResult result = m_sim.Run(command);
        ASSERT_EQ(result.exitCode, 0) << result.output;
    }

    static const CSettingResult& Find(const std::vector<CSettingResult>& results,
                                      const std::string& setting)
    {
        auto it = std::find_if(results.begin(), results.end(),
                               [&](const CSettingResult& r) { return r.setting == setting; });
        static const CSettingResult none = {"(not in the results)",     "", "",
                                            CSettingOutcome::Unchanged, 0,  ""};
        return it != results.end() ? *it : none;
    }

    static size_t CountOf(const std::vector<CSettingResult>& results, CSettingOutcome outcome)
    {
        return size_t(std::count_if(results.begin(), results.end(),
                                    [&](const CSettingResult& r) { return r.outcome == outcome; }));
    }

    SimDriverProcess m_sim;
    CKvxuUsbDriver m_driver;
    std::string m_trace;
};

// The profile's file with its devices in serial order, whatever the ranking made of theirs.
std::string BySerial(CProfile profile)
{
    std::sort(profile.devices.begin(), profile.devices.end(),
              [](const CProfileDevice& a, const CProfileDevice& b) { return a.serial < b.serial; });
    return WriteProfileJson(profile);
}

} // namespace

TEST_F(ProfileLoadTest, RoundTripAtMaximalRestoresEverySetting)
{
    Start("maximal");
    const CProfile original = Save();
    ASSERT_EQ(original.devices.size(), 64u);
    const CProfile scrambled = Scrambled(original);

    std::vector<CSettingResult> results = Load(scrambled);
    // 64 names, 512 channel names, 64 rankings, the eight driver-wide settings and the
    // restarts of the streams after the stream and the WDM depth.
    EXPECT_EQ(CountOf(results, CSettingOutcome::Applied), 64u + 512u + 64u + 8u + 2u);
    EXPECT_TRUE(AllApplied(results));
    EXPECT_EQ(BySerial(Save()), BySerial(scrambled));

    // The first device again is the one whose clock source the scrambling left alone.
    results = Load(original);
    EXPECT_EQ(CountOf(results, CSettingOutcome::Applied), 64u + 512u + 64u + 7u + 2u);
    EXPECT_TRUE(AllApplied(results));
    EXPECT_EQ(WriteProfileJson(Save()), WriteProfileJson(original));

    // Loaded again, nothing differs and nothing is sent.
    SimTrace trace(m_trace);
    results = Load(original);
    EXPECT_EQ(CountOf(results, CSettingOutcome::Unchanged), results.size());
    EXPECT_EQ(trace.Operations().find("Set"), std::string::npos) << trace.Operations();
}

TEST_F(ProfileLoadTest, RoundTripAfterTheStandInChangedEverySettingOfAKind)
{
    // Channel ids: the device id, 0x8000 for an output, and the index.
    Start("maximal");
    const std::string original = WriteProfileJson(Save());
    for (auto command : {std::vector<std::string>{"set", "rate", "44100"},
                         {"set", "mode", "auto"},
                         {"set", "master", "device"},
                         {"set", "source", "1", "7"},
                         {"set", "asio-names", "on"},
                         {"set", "stream-depth", "750"},
                         {"set", "asio-depth", "3000"},
                         {"set", "wdm-depth", "7000"},
                         {"set", "name", "64", "Renamed"},
                         {"set", "channel", "65536", "Renamed"},
                         {"set", "channel", "360450", "Renamed"},
                         {"set", "ranking", "1", "63"},
                         {"set", "ranking", "64", "0"}}) {
        const SimResult result = m_sim.Run(command);
        ASSERT_EQ(result.exitCode, 0) << result.output;
    }
    CProfile profile;
    std::string error;
    ASSERT_TRUE(ReadProfileJson(original, profile, error)) << error;
    EXPECT_TRUE(AllApplied(Load(profile)));
    EXPECT_EQ(WriteProfileJson(Save()), original);
}

TEST_F(ProfileLoadTest, DryRunPlansEveryChangeAndSendsNothingThatChanges)
{
    Start("demo");
    const CProfile original = Save();
    CProfile changed = original;
    changed.sampleRateHz = 96000;
    changed.rateMode = KVX_USB_RATE_MODE_MANUAL; // the demo picks its rate itself
    changed.devices[1].outputs[3].name = "Cue";
    SimTrace trace(m_trace);
    const std::vector<CSettingResult> plan =
        LoadProfile(m_driver, changed, CLoadOptions(), true).results;
    EXPECT_EQ(CountOf(plan, CSettingOutcome::Planned), 3u);
    const CSettingResult& rate = Find(plan, "sampling rate");
    EXPECT_EQ(rate.current + " -> " + rate.wanted, "48000 Hz -> 96000 Hz");
    EXPECT_EQ(Find(plan, "device KVX-B1-010203 output 3 name").wanted, "\"Cue\"");
    const std::string operations = trace.Operations();
    EXPECT_FALSE(operations.empty());
    for (const char* change : {"Set", "StartStreams", "StopStreams"})
        EXPECT_EQ(operations.find(change), std::string::npos) << operations;
}

TEST_F(ProfileLoadTest, RefusalsWhileStreamingAreReportedAndTheRestIsApplied)
{
    Start("demo");
    CProfile changed = Save();
    changed.sampleRateHz = 96000;
    changed.rateMode = KVX_USB_RATE_MODE_MANUAL;
    changed.clockSource = CProfileSource{1, "S/PDIF"};
    changed.wdmDepthUs = 20000;
    Sim({"stream", "on"});
    SimTrace trace(m_trace);
    const std::vector<CSettingResult> results = Load(changed);
    for (const char* setting : {"sampling rate", "clock source"}) {
        EXPECT_EQ(Find(results, setting).outcome, CSettingOutcome::Refused) << setting;
        EXPECT_EQ(ResultReason(Find(results, setting)),
                  "audio is streaming; stop playback and try again: "
                  "KVX_USB_E_STREAMING_ACTIVE (0xE0000047)");
    }
    EXPECT_EQ(Find(results, "WDM buffer depth").outcome, CSettingOutcome::Applied);
    EXPECT_FALSE(AllApplied(results));
    // The WDM depth goes out as the buffer page sends it: the streams stopped and started.
    const std::string operations = trace.Operations();
    EXPECT_NE(operations.find("SetWdmBufferDepth StopStreams StartStreams"), std::string::npos)
        << operations;
}

TEST_F(ProfileLoadTest, DevicesAreMatchedBySerialOrByRankingOrder)
{
    Start("demo");
    const CProfile original = Save();
    CProfile changed = original;
    changed.devices[0].name = "Studio";
    changed.devices[1].inputs[0].name = "Kick";

    struct Case {
        const char* what;
        std::initializer_list<std::string> command;
        bool byOrder;
        CSettingOutcome secondDevice;
        const char* why;
    } cases[] = {
        {"unplugged", {"unplug", "2"}, false, CSettingOutcome::Skipped, "not connected"},
        {"replaced, by serial",
         {"set", "serial", "2", "KVX-B1-999999"},
         false,
         CSettingOutcome::Skipped,
         "not connected"},
        {"replaced, by order",
         {"set", "serial", "2", "KVX-B1-999999"},
         true,
         CSettingOutcome::Applied,
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Sim({"plug", "2"});
        Sim({"set", "serial", "2", "KVX-B1-010203"});
        ASSERT_TRUE(AllApplied(Load(original)));
        Sim(c.command);
        const std::vector<CSettingResult> results = Load(changed, c.byOrder);
        EXPECT_EQ(Find(results, "device KVX-B2-004711 name").outcome, CSettingOutcome::Applied);
        const CSettingResult& kick = Find(results, "device KVX-B1-010203 input 0 name");
        EXPECT_EQ(kick.outcome, c.secondDevice);
        EXPECT_EQ(kick.why, c.why);
        EXPECT_EQ(AllApplied(results), c.secondDevice == CSettingOutcome::Applied);
    }
}

TEST_F(ProfileLoadTest, RankingsOfConnectedDevicesStayAPermutation)
{
    Start("demo");
    CProfile reversed = Save();
    reversed.devices[0].ranking = 1;
    reversed.devices[1].ranking = 0;
    ASSERT_TRUE(AllApplied(Load(reversed)));
    const CProfile saved = Save();
    ASSERT_EQ(saved.devices.size(), 2u);
    EXPECT_EQ(saved.devices[0].serial, "KVX-B1-010203");
    EXPECT_EQ(*saved.devices[0].ranking, 0u);
    EXPECT_EQ(*saved.devices[1].ranking, 1u);
}

TEST_F(ProfileLoadTest, SettingsTheDriverDoesNotOfferAreSkippedWithWhy)
{
    Start("demo");
    CProfile changed;
    changed.sampleRateHz = 22050;
    changed.clockSource = CProfileSource{9, "Nowhere"};
    changed.streamDepthUs = 2250; // off the 500 us grid
    CProfileDevice device;
    device.serial = "KVX-B1-010203";
    device.inputs = {{5, "Five", ""}};
    changed.devices = {device};
    const std::vector<CSettingResult> results = Load(changed);
    EXPECT_EQ(CountOf(results, CSettingOutcome::Skipped), results.size());
    EXPECT_EQ(Find(results, "sampling rate").why, "not among the rates the driver offers");
    EXPECT_EQ(Find(results, "clock source").why,
              "the first device offers no clock source with id 9");
    EXPECT_EQ(Find(results, "stream buffer depth").why,
              "not on the driver's range: 1000 to 8000 us in steps of 500 us");
    EXPECT_EQ(Find(results, "device KVX-B1-010203 input 5 name").why,
              "the device has 2 input channels");
}

TEST_F(ProfileLoadTest, WithoutADriverEverySettingIsSkipped)
{
    Start("demo");
    const CProfile saved = Save();
    m_driver.Close();
    const std::vector<CSettingResult> results = Load(saved);
    EXPECT_EQ(CountOf(results, CSettingOutcome::Skipped), results.size());
    EXPECT_EQ(Find(results, "sampling rate").why,
              "its current value could not be read: KVX_USB_E_NOT_OPEN (0xE0000013)");
}
