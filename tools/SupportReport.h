// The support report: everything the driver reports, read once through a channel of its
// own, as readable text or as JSON for a support ticket.
#pragma once

#include <windows.h>

#include <cstdint>
#include <list>
#include <string>

#include "ToolText.h"

class CKvxuUsbDriver;

// One entry of the report: a group, a list, a text, a number, or a read that failed.
// Texts hold the driver's bytes unchanged; each output escapes them its own way.
struct CReportNode {
    enum Kind { GROUP, LIST, TEXT, NUMBER, FLAG, FAILURE };

    Kind kind = GROUP;
    std::string key;    // JSON member name
    std::string label;  // what the text report calls it
    std::string text;   // TEXT; for NUMBER an optional readable form ("48.0 kHz")
    std::string unit;   // NUMBER, in the text report: "2.0 ms (2000 us)"
    int64_t number = 0; // NUMBER; FLAG 0 or 1
    DWORD status = 0;   // FAILURE
    // A list: entries added later leave references to earlier ones valid.
    std::list<CReportNode> children;

    CReportNode& Group(const std::string& key, const std::string& label);
    CReportNode& List(const std::string& key, const std::string& label);
    CReportNode& Text(const std::string& key, const std::string& label, const std::string& text);
    CReportNode& Number(const std::string& key, const std::string& label, int64_t value,
                        const std::string& readable = std::string(),
                        const std::string& unit = std::string());
    CReportNode& Flag(const std::string& key, const std::string& label, bool value);
    CReportNode& Failure(const std::string& key, const std::string& label, DWORD status);
};

// Reads everything from an open channel into a report tree.
CReportNode ReadSupportReport(CKvxuUsbDriver& driver);

// kvxuinfo: opens a channel of its own, reads the report into out as text or JSON, says in
// err when the driver stopped answering, and returns the exit status (ExitStatus.h): 1 when
// a read inside the report failed, 3 without a driver or when it stopped answering.
int RunSupportReport(bool json, std::string& out, std::string& err);

std::string RenderText(const CReportNode& report);
std::string RenderJson(const CReportNode& report);
