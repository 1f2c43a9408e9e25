// Loading a profile: a plan of every setting it holds against what the driver reports now,
// then only the settings that differ sent, in an order that works, each with its result.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "DriverSnapshot.h"
#include "Profile.h"
#include "SettingCatalogue.h"

class CKvxuUsbDriver;

enum class CSettingOutcome {
    Unchanged, // the driver has it already; nothing sent
    Planned,   // differs; a dry run stops here
    Applied,
    Refused,  // the driver answered with a failure status
    Skipped,  // not sent, and why says why
    NoAnswer, // sent, and the request ran out of time: the driver may still apply it
};

struct CSettingResult {
    std::string setting; // "sampling rate", "device KVX-B2-004711 input 3 name"
    std::string current; // readable values; empty when unknown
    std::string wanted;
    CSettingOutcome outcome = CSettingOutcome::Unchanged;
    DWORD status = 0; // Refused, NoAnswer
    std::string why;  // Skipped: why; Refused, NoAnswer: what the status means
};

struct CLoadOptions {
    // Devices by their place in the ranking instead of by serial number: a replaced
    // interface takes over the settings of the one it replaces.
    bool matchByOrder = false;
};

struct CProfilePlan {
    std::vector<CSettingResult> results;
    // Beside each result: what sends it, for Planned results only, and whether the streams
    // must restart for it to take effect.
    std::vector<CSettingSend> sends;
    std::vector<bool> restarts;
};

// The plan of a checked profile against the driver as the snapshot shows it.
CProfilePlan PlanProfile(const CProfile& profile, const CDriverSnapshot& snapshot,
                         const CLoadOptions& options);

// Sends every planned setting in order; a refusal does not stop the rest. Once a request is
// unanswered nothing more is sent (the driver refuses it at once) and each is told "not sent".
// A setting that restarts the streams is followed by a result of its own for the restart.
void ApplyPlan(CProfilePlan& plan, CKvxuUsbDriver& driver);

// Reads the driver, plans, and applies the plan unless dryRun (which sends nothing that
// changes the driver).
CProfilePlan LoadProfile(CKvxuUsbDriver& driver, const CProfile& profile,
                         const CLoadOptions& options, bool dryRun);

// "applied", "unchanged", "refused", "skipped", "to apply", "no answer".
const char* OutcomeName(CSettingOutcome outcome);

// "2 applied, 29 unchanged, 1 refused": the count of each outcome that occurs.
std::string OutcomeSummary(const std::vector<CSettingResult>& results);

// Why a setting was skipped, or what its refusal means followed by the status by name
// ("audio is streaming; stop playback and try again: KVX_USB_E_STREAMING_ACTIVE (0xE0000047)");
// empty for the others.
std::string ResultReason(const CSettingResult& result);

// True when every setting was applied or unchanged (a dry run: would be).
bool AllApplied(const std::vector<CSettingResult>& results);
