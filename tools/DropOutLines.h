// The drop-out lines of `kvxuctl watch`: the driver's drop-out counter read once a period,
// and a line for each rise with the time and the settings then in force, as text or as one
// JSON object a line. A counter that went down (a driver restart, a device unplugged) is
// told as a new start, never as a negative number of drop-outs.
#pragma once

#include <cstdint>
#include <string>

class CKvxuUsbDriver;

class CDropOutLines {
public:
    explicit CDropOutLines(bool json) : m_bJson(json) {}
    // Reads the counter: the line to print, empty when there is nothing to tell (the first
    // read, no change, or a read that failed).
    std::string Poll(CKvxuUsbDriver& driver);

private:
    bool m_bJson;
    bool m_bCounting = false;
    uint32_t m_nLast = 0;
};

// "14:03:12" of the local time now, and "2026-12-08T14:03:12" for JSON.
std::string LocalClockText(bool withDate);
