// Faults the stand-in can be told to inject, to exercise a client's failure paths.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

// Counts reported by the overcount fault: far above every record's capacity.
constexpr uint32_t SIM_OVERCOUNT = 1000;
// A short answer of half its record.
constexpr uint32_t SIM_SHORT_HALF = 0xFFFFFFFFu;

class CSimFaults {
public:
    // The next count requests of the operation fail with status and change nothing; with
    // after, only once that many requests of it have been answered as usual.
    void FailNext(DWORD code, uint32_t count, DWORD status, uint32_t after = 0);
    // Answers of the operation carry only their first bytes (0 too), or half their record.
    void AnswerShort(DWORD code, uint32_t bytes) { m_short[code] = bytes; }
    void AnswerHalf(DWORD code) { m_short[code] = SIM_SHORT_HALF; }
    // Id lists, clock-source and rate counts above their records' capacity.
    void Overcount() { m_overcount = true; }
    // Names and serial numbers fill their whole field, without a terminator.
    void Unterminated() { m_unterminated = true; }
    // The stream buffer depth reports a step of 0.
    void ZeroStep() { m_zeroStep = true; }
    // Id lists repeat their first id in place of their second.
    void Duplicate() { m_duplicate = true; }
    // No request is answered for the next milliseconds.
    void Stall(DWORD milliseconds);
    void Clear();

    // Before a request: the status it must fail with (one of its injected failures used
    // up), or 0.
    DWORD TakeFailure(DWORD code);
    // How long a request must still wait before it is answered.
    DWORD StallLeft() const;
    // After a successful answer: damages it as told.
    void Alter(DWORD code, void* out, DWORD* returned) const;

    std::string Describe() const;

private:
    struct Failure {
        uint32_t count;
        DWORD status;
        uint32_t after; // requests still answered before the failures begin
    };
    std::map<DWORD, Failure> m_failures;
    std::map<DWORD, uint32_t> m_short; // bytes kept, or SIM_SHORT_HALF
    bool m_overcount = false;
    bool m_unterminated = false;
    bool m_zeroStep = false;
    bool m_duplicate = false;
    DWORD m_stallEnd = 0;
    bool m_stalling = false;
};
