// One description of every setting a user can change: its key in a profile file, its name on
// the command line, its words, its domain and its place in a load. The file's read, check and
// write, the plan of a load, kvxuctl's get and set, the self-test's range checks, the support
// report and the panel's own limits all take them from here, so that none of them can accept
// what another refuses.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Profile.h"

class CKvxuUsbDriver;
struct CDriverSnapshot;

enum class CSettingId {
    SampleRate,
    RateMode,
    ClockMaster,
    ClockSource,
    StreamDepth,
    AsioDepth,
    WdmDepth,
    AsioNames,
    DeviceName,
    Ranking,
    InputName,
    OutputName,
};

// How a setting's value is written: a whole number, one of its words, off or on (true or
// false in a file), or 8-bit text.
enum class CSettingForm { Number, Word, Flag, Text };

// A value of a setting that has words: "auto" is 1 of the rate selection mode.
struct CSettingWord {
    uint32_t value;
    const char* word;
};

// The values a setting takes. Numbers: minimum to maximum, on multiples of step when step is
// not 0, or only the words' values when there are words. Texts: minimum to maximum bytes,
// without control bytes when printableOnly.
struct CSettingDomain {
    uint32_t minimum = 0;
    uint32_t maximum = 0xFFFFFFFFu;
    uint32_t step = 0;
    std::vector<CSettingWord> words;
    bool printableOnly = false;
};

struct CSettingDescriptor {
    CSettingId id;
    CSettingForm form;
    const char* fileKey; // at the file's top level, or in a device or channel entry
    const char* command; // kvxuctl get and set
    const char* label;   // results, notes and reports: "ASIO buffer depth"
    const char* unit;    // after a number: "Hz", "us"; "" for none
    const char* syntax;  // help: "US"
    const char* meaning; // help: what it is
    CSettingDomain domain;
};

// Every setting, in the order get prints them.
const std::vector<CSettingDescriptor>& AllSettings();
const CSettingDescriptor& Describe(CSettingId id);
// The setting of that command name, or nullptr.
const CSettingDescriptor* FindSettingCommand(const std::string& command);

// What sends one setting's new value to the driver; its status.
typedef std::function<DWORD(CKvxuUsbDriver&)> CSettingSend;

// The driver-wide settings a profile holds as a number (a word's or a flag's value too), with
// their member and their driver side, in the order get prints them. A profile is read, and a
// load planned, by a loop over them. The clock source is an object of its own.
struct CProfileNumber {
    CSettingId id;
    std::optional<uint32_t> CProfile::*member;
    // The value as the snapshot read it, or the status of a read that did not come back whole.
    DWORD (*read)(const CDriverSnapshot& snapshot, uint32_t& value);
    // Why the driver, as the snapshot shows it, cannot take wanted from this profile; ""
    // when it can. nullptr: the file's own domain is all there is to it.
    std::string (*refuses)(const CDriverSnapshot& snapshot, const CProfile& profile,
                           uint32_t wanted);
    // What sends wanted: the record as the snapshot read it with only this setting changed,
    // so that every other field goes back as the driver gave it.
    CSettingSend (*send)(const CDriverSnapshot& snapshot, uint32_t wanted);
    // The new value takes effect only once the streams restart.
    bool restartsStreams;
};
const std::vector<CProfileNumber>& ProfileNumbers();
// The entry of that setting, or nullptr for one a profile holds otherwise.
const CProfileNumber* FindProfileNumber(CSettingId id);

// ---- values ----

// "" when value is in the setting's domain, else why not: "must be from 1000 to 80000, a
// multiple of 1000".
std::string CheckValue(const CSettingDescriptor& setting, uint32_t value);
// The same for a text: "longer than 39 bytes (41)", "contains a control byte (0x0A)".
std::string CheckText(const CSettingDescriptor& setting, const std::string& text);

// The word of a value, or nullptr when the setting has no word for it.
const char* WordOf(const CSettingDescriptor& setting, uint32_t value);
// The value of a word; false when the setting has no such word.
bool ValueOfWord(const CSettingDescriptor& setting, const std::string& word, uint32_t& value);
// "manual or auto".
std::string WordsText(const CSettingDescriptor& setting);
// A value as a person reads it: "48000 Hz", "auto", "7 (neither manual nor auto)".
std::string ValueText(const CSettingDescriptor& setting, uint32_t value);

// ---- the order of a load ----

// When a step of a load applies: always, or only for a wanted word, so that a setting can go
// before or after another depending on where it is going.
struct CLoadStep {
    CSettingId id;
    const char* onlyForWord; // nullptr: always
};

// Every setting of a profile is planned and sent in this order:
// - names first, since a ranking write carries the device's name;
// - the ranking before the clock source, which belongs to the device that will be first;
// - the rate only while the selection mode lets a rate be chosen: a mode going to manual
//   goes before it, one going to auto after it;
// - the buffers last, since the stream and the WDM depth restart the streams.
const std::vector<CLoadStep>& LoadOrder();
