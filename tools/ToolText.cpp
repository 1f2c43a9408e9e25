#include "ToolText.h"

#include <cstdio>

std::string ConsoleText(const std::string& bytes)
{
    std::string out;
    for (char c : bytes) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", b);
            out += escape;
        } else {
            out += c;
        }
    }
    return out;
}

std::string JsonString(const std::string& bytes)
{
    std::string out = "\"";
    for (char c : bytes) {
        unsigned char b = static_cast<unsigned char>(c);
        if (b == '"' || b == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20 || b >= 0x7F) {
            // Latin-1 code points: the driver's bytes survive the round trip unchanged.
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", b);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}
