#include "SimTrace.h"

#include "KvxUsbCatalogue.h"
#include "KvxUsbStatus.h"

CSimTrace::~CSimTrace()
{
    if (m_file)
        std::fclose(m_file);
}

bool CSimTrace::Open(const std::string& path, std::string* error)
{
    m_file = std::fopen(path.c_str(), "a");
    if (!m_file)
        *error = "cannot open trace file " + path;
    return m_file != nullptr;
}

void CSimTrace::Request(DWORD code, DWORD inSize, DWORD outSize, DWORD returned, DWORD status)
{
    if (!m_file)
        return;
    const KvxUsbOperation* op = FindKvxUsbOperation(code);
    char text[200];
    std::snprintf(text, sizeof text, "%s in=%lu out=%lu returned=%lu status=%s",
                  op ? op->name : HexText(code).c_str(), static_cast<unsigned long>(inSize),
                  static_cast<unsigned long>(outSize), static_cast<unsigned long>(returned),
                  HexText(status).c_str());
    Line(text);
}

void CSimTrace::Note(const std::string& text)
{
    if (m_file)
        Line(text.c_str());
}

void CSimTrace::Line(const char* text)
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    std::lock_guard<std::mutex> lock(m_lock);
    std::fprintf(m_file, "%02u:%02u:%02u.%03u %s\n", t.wHour, t.wMinute, t.wSecond, t.wMilliseconds,
                 text);
    std::fflush(m_file); // read while the stand-in runs
}
