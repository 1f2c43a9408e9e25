#include "CheckList.h"

#include <algorithm>

#include "ToolText.h"

namespace {

// The failing items a check names before it only counts the rest.
const size_t kFailuresNamed = 3;

const char* VerdictText(CCheck::Verdict verdict)
{
    switch (verdict) {
    case CCheck::PASS:
        return "PASS";
    case CCheck::FAIL:
        return "FAIL";
    default:
        return "SKIP";
    }
}

std::string Padded(const std::string& text, size_t width)
{
    return text.size() < width ? text + std::string(width - text.size(), ' ') : text + " ";
}

} // namespace

void CCheckList::Add(CCheck::Verdict verdict, const std::string& operation,
                     const std::string& field, const std::string& expected, const std::string& seen)
{
    m_checks.push_back({verdict, operation, field, expected, seen});
}

size_t CCheckList::Count(CCheck::Verdict verdict) const
{
    return size_t(std::count_if(m_checks.begin(), m_checks.end(),
                                [verdict](const CCheck& c) { return c.verdict == verdict; }));
}

CItemCheck::CItemCheck(CCheckList& checks, const std::string& operation, const std::string& field,
                       const std::string& expected, const std::string& noun)
    : m_checks(checks), m_operation(operation), m_field(field), m_expected(expected), m_noun(noun)
{
}

void CItemCheck::Item(bool ok, const std::string& seen)
{
    if (m_items++ == 0)
        m_firstSeen = seen;
    if (ok)
        return;
    if (m_failed++ < kFailuresNamed)
        m_failures.push_back(seen);
}

void CItemCheck::Finish(const std::string& whyNone)
{
    if (m_items == 0) {
        m_checks.Add(CCheck::SKIP, m_operation, m_field, m_expected, whyNone);
        return;
    }
    if (m_failed == 0) {
        m_checks.Add(CCheck::PASS, m_operation, m_field, m_expected,
                     m_items == 1 ? m_firstSeen : "all " + std::to_string(m_items) + " " + m_noun);
        return;
    }
    std::string seen;
    for (const std::string& failure : m_failures)
        seen += (seen.empty() ? "" : "; ") + failure;
    if (m_items > 1)
        seen +=
            " (" + std::to_string(m_failed) + " of " + std::to_string(m_items) + " " + m_noun + ")";
    m_checks.Add(CCheck::FAIL, m_operation, m_field, m_expected, seen);
}

std::string RenderChecksText(const CCheckList& checks)
{
    std::string out;
    for (const CCheck& c : checks.Checks())
        out += Padded(VerdictText(c.verdict), 6) + Padded(c.operation, 27) + Padded(c.field, 22) +
               "expected " + c.expected + "; seen " + c.seen + "\n";
    out += std::to_string(checks.Checks().size()) +
           " checks: " + std::to_string(checks.Count(CCheck::PASS)) + " passed, " +
           std::to_string(checks.Count(CCheck::FAIL)) + " failed, " +
           std::to_string(checks.Count(CCheck::SKIP)) + " skipped\n";
    return out;
}

std::string RenderChecksJsonMembers(const CCheckList& checks)
{
    std::string out = "  \"checks\": [";
    const char* separator = "\n";
    for (const CCheck& c : checks.Checks()) {
        out += separator;
        separator = ",\n";
        out += "    {\"result\": " + JsonString(VerdictText(c.verdict)) +
               ", \"operation\": " + JsonString(c.operation) +
               ", \"field\": " + JsonString(c.field) + ", \"expected\": " + JsonString(c.expected) +
               ", \"seen\": " + JsonString(c.seen) + "}";
    }
    out += checks.Checks().empty() ? "],\n" : "\n  ],\n";
    out += "  \"passed\": " + std::to_string(checks.Count(CCheck::PASS)) + ",\n";
    out += "  \"failed\": " + std::to_string(checks.Count(CCheck::FAIL)) + ",\n";
    out += "  \"skipped\": " + std::to_string(checks.Count(CCheck::SKIP));
    return out;
}
