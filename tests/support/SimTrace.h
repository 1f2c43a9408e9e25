// The stand-in's request trace (serve --trace FILE) from a mark on: what reached the driver.
#pragma once

#include <string>

#include "SimDriverProcess.h"

class SimTrace {
public:
    explicit SimTrace(const std::string& path)
        : m_path(path), m_start(SimDriverProcess::ReadFileText(path).size())
    {
    }
    std::string Text() const { return SimDriverProcess::ReadFileText(m_path).substr(m_start); }
    // Requests of the operation since the mark.
    int Count(const char* operation) const
    {
        const std::string text = Text(), needle = std::string(" ") + operation + " in=";
        int n = 0;
        for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
            ++n;
        return n;
    }
    // The operations since the mark, in order, separated by spaces.
    std::string Operations() const
    {
        std::string text = Text(), names;
        for (size_t line = 0; line < text.size();) {
            const size_t end = text.find('\n', line);
            const std::string row = text.substr(line, end - line);
            const size_t name = row.find(' ');
            if (name != std::string::npos)
                names += (names.empty() ? "" : " ") +
                         row.substr(name + 1, row.find(' ', name + 1) - name - 1);
            line = end == std::string::npos ? text.size() : end + 1;
        }
        return names;
    }

private:
    std::string m_path;
    size_t m_start;
};
