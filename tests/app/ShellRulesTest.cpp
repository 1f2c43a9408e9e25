// The rules of the shell around the panel, as pure functions: what the tray icon's tip says,
// and which power events are a resume of their own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ResumeFilter.h"
#include "TrayTip.h"

namespace {

const std::string kTitle = "Volmar Model B USB Control Panel";

} // namespace

TEST(TrayTipTest, TellsTheDeviceCountOrTheDriversState)
{
    const struct {
        size_t devices;
        CConnectionState state;
        const char* fact;
    } cases[] = {
        {0, CConnectionState::Connected, "no device connected"},
        {1, CConnectionState::Connected, "1 device connected"},
        {2, CConnectionState::Connected, "2 devices connected"},
        {4294967295u, CConnectionState::Connected, "4294967295 devices connected"},
        {2, CConnectionState::Closed, "driver closed"},
        {2, CConnectionState::NotResponding, "driver not responding"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(kTitle + ": " + c.fact, TrayTipText(kTitle, c.devices, c.state)) << c.fact;
}

// The tip field holds 127 characters: a long name gives way, what it says of the driver not.
TEST(TrayTipTest, ALongNameIsCutToFitTheFieldAndTheStateStaysWhole)
{
    const std::string fact = ": 2 devices connected";
    const size_t room = kTrayTipMaxChars - fact.size();
    const struct {
        size_t nameLength;
        size_t shown;
    } cases[] = {{room - 1, room - 1}, {room, room}, {room + 1, room}, {1000, room}};
    for (const auto& c : cases) {
        const std::string tip =
            TrayTipText(std::string(c.nameLength, 'n'), 2, CConnectionState::Connected);
        EXPECT_EQ(std::string(c.shown, 'n') + fact, tip) << c.nameLength;
        EXPECT_LE(tip.size(), kTrayTipMaxChars);
    }
    EXPECT_EQ(": driver closed", TrayTipText("", 0, CConnectionState::Closed));
}

TEST(ResumeFilterTest, EachResumeCountsOnceWhateverEventsItBrings)
{
    const WPARAM suspend = PBT_APMSUSPEND, automatic = PBT_APMRESUMEAUTOMATIC,
                 user = PBT_APMRESUMESUSPEND, critical = PBT_APMRESUMECRITICAL;
    const struct {
        const char* what;
        std::vector<WPARAM> events;
        std::vector<bool> isNew;
    } cases[] = {
        {"woken by a timer: automatic only", {suspend, automatic}, {false, true}},
        {"woken by the user: automatic, then the user's",
         {suspend, automatic, user},
         {false, true, false}},
        {"the user's alone", {suspend, user}, {false, true}},
        {"after a critical suspend", {critical}, {true}},
        {"two sleeps",
         {suspend, automatic, user, suspend, automatic, user},
         {false, true, false, false, true, false}},
        {"no suspend seen between two resumes",
         {automatic, user, automatic, user},
         {true, false, true, false}},
        {"other power events", {PBT_APMPOWERSTATUSCHANGE, PBT_POWERSETTINGCHANGE}, {false, false}},
    };
    for (const auto& c : cases) {
        CResumeFilter filter;
        std::vector<bool> isNew;
        for (WPARAM event : c.events)
            isNew.push_back(filter.IsNewResume(event));
        EXPECT_EQ(c.isNew, isNew) << c.what;
    }
}
