#include "CmdLine.h"

#include <mbstring.h>
#include <string.h>

namespace {

// The C library's white-space class in the "C" locale, independent of the current locale.
bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Skips white space, then returns the following run of other characters and moves past it.
std::string NextToken(const char*& cursor)
{
    while (*cursor && IsBlank(*cursor))
        ++cursor;
    const char* start = cursor;
    while (*cursor && !IsBlank(*cursor))
        ++cursor;
    return std::string(start, cursor);
}

bool SameToken(const std::string& token, const char* switchText, bool ignoreCase)
{
    if (!ignoreCase)
        return token == switchText;
    return _mbsicmp(reinterpret_cast<const unsigned char*>(token.c_str()),
                    reinterpret_cast<const unsigned char*>(switchText)) == 0;
}

} // namespace

bool FindCmdLineSwitch(const char* cmdLine, const char* switchText, std::string* value,
                       bool ignoreCase)
{
    if (value)
        value->clear();
    const char* cursor = cmdLine ? cmdLine : "";
    for (;;) {
        std::string token = NextToken(cursor);
        if (token.empty())
            return false;
        if (SameToken(token, switchText, ignoreCase))
            break;
    }
    std::string next = NextToken(cursor);
    if (value)
        *value = next;
    return true;
}
