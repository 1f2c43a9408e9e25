// The findings of the driver self-test: one check per operation and field, with what was
// expected and what was seen, and their text and JSON forms.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct CCheck {
    enum Verdict { PASS, FAIL, SKIP };

    Verdict verdict = PASS;
    std::string operation; // the catalogue's name, "GetDeviceProperties"
    std::string field;     // the record's field, "DeviceName", or "status", "bytes returned"
    std::string expected;
    std::string seen; // for SKIP: why it could not be checked
};

class CCheckList {
public:
    void Add(CCheck::Verdict verdict, const std::string& operation, const std::string& field,
             const std::string& expected, const std::string& seen);
    void Check(bool ok, const std::string& operation, const std::string& field,
               const std::string& expected, const std::string& seen)
    {
        Add(ok ? CCheck::PASS : CCheck::FAIL, operation, field, expected, seen);
    }

    const std::vector<CCheck>& Checks() const { return m_checks; }
    size_t Count(CCheck::Verdict verdict) const;
    bool Failed() const { return Count(CCheck::FAIL) > 0; }

private:
    std::vector<CCheck> m_checks;
};

// One check over many items, such as every device's name: it passes when every item does,
// and a failure names the first items that did not.
class CItemCheck {
public:
    // noun: what the items are, for "all 10 channels".
    CItemCheck(CCheckList& checks, const std::string& operation, const std::string& field,
               const std::string& expected, const std::string& noun);

    // seen: what this item showed, with the item named when there are many ("device 2: 70").
    void Item(bool ok, const std::string& seen);
    // Adds the check to the list; with no item checked, a SKIP saying whyNone.
    void Finish(const std::string& whyNone);
    size_t Items() const { return m_items; }

private:
    CCheckList& m_checks;
    std::string m_operation, m_field, m_expected, m_noun;
    size_t m_items = 0;
    std::string m_firstSeen;
    std::vector<std::string> m_failures; // the first few
    size_t m_failed = 0;
};

// "PASS  GetDriverInfo  status  expected SUCCESS; seen SUCCESS", a line per check, and the
// counts in a last line.
std::string RenderChecksText(const CCheckList& checks);

// The checks as the members "checks", "passed", "failed" and "skipped" of a JSON object,
// without its braces, indented by two spaces.
std::string RenderChecksJsonMembers(const CCheckList& checks);
