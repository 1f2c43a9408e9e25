#include "SimFaults.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "KvxUsbCatalogue.h"
#include "KvxUsbStatus.h"

namespace {

// Replaces the terminator and everything after it with visible filler.
template <size_t N> void Unterminate(char (&field)[N])
{
    size_t len = strnlen(field, N);
    std::memset(field + len, '#', N - len);
}

void UnterminateAnswer(DWORD code, void* out)
{
    switch (code) {
    case IOCTL_KVX_USB_GET_DEVICE_PROPERTIES: {
        auto* p = static_cast<_KVX_USB_DEVICE_PROPERTIES*>(out);
        Unterminate(p->DeviceName);
        Unterminate(p->SerialNumber);
        break;
    }
    case IOCTL_KVX_USB_GET_CHANNEL_PROPERTIES: {
        auto* c = static_cast<_KVX_USB_CHANNEL_PROPERTIES*>(out);
        Unterminate(c->HardwareName);
        Unterminate(c->ChannelName);
        break;
    }
    case IOCTL_KVX_USB_GET_SYNCH_MODE_INFO: {
        auto* s = static_cast<_KVX_USB_DEVICE_SYNCH_MODE_INFO*>(out);
        Unterminate(s->Current.Name);
        for (_KVX_USB_CLOCK_SOURCE& source : s->Sources)
            Unterminate(source.Name);
        break;
    }
    }
}

void OvercountAnswer(DWORD code, void* out)
{
    switch (code) {
    case IOCTL_KVX_USB_GET_DEVICE_ID_LIST:
        static_cast<_KVX_USB_DEVICE_ID_LIST*>(out)->Count = SIM_OVERCOUNT;
        break;
    case IOCTL_KVX_USB_GET_CHANNEL_ID_LISTS:
        static_cast<_KVX_USB_CHANNEL_ID_LISTS*>(out)->Input.Count = SIM_OVERCOUNT;
        static_cast<_KVX_USB_CHANNEL_ID_LISTS*>(out)->Output.Count = SIM_OVERCOUNT;
        break;
    case IOCTL_KVX_USB_GET_SYNCH_MODE_INFO:
        static_cast<_KVX_USB_DEVICE_SYNCH_MODE_INFO*>(out)->SourceCount = SIM_OVERCOUNT;
        break;
    case IOCTL_KVX_USB_GET_SAMPLE_RATE_INFO:
        static_cast<_KVX_USB_SAMPLE_RATE_INFO*>(out)->RateCount = SIM_OVERCOUNT;
        break;
    }
}

void DuplicateAnswer(DWORD code, void* out)
{
    switch (code) {
    case IOCTL_KVX_USB_GET_DEVICE_ID_LIST: {
        auto* ids = static_cast<_KVX_USB_DEVICE_ID_LIST*>(out);
        ids->DeviceIds[1] = ids->DeviceIds[0];
        break;
    }
    case IOCTL_KVX_USB_GET_CHANNEL_ID_LISTS: {
        auto* lists = static_cast<_KVX_USB_CHANNEL_ID_LISTS*>(out);
        lists->Input.ChannelIds[1] = lists->Input.ChannelIds[0];
        lists->Output.ChannelIds[1] = lists->Output.ChannelIds[0];
        break;
    }
    }
}

const char* OperationName(DWORD code)
{
    const KvxUsbOperation* op = FindKvxUsbOperation(code);
    return op ? op->name : "?";
}

} // namespace

void CSimFaults::FailNext(DWORD code, uint32_t count, DWORD status, uint32_t after)
{
    if (count == 0)
        m_failures.erase(code);
    else
        m_failures[code] = {count, status, after};
}

void CSimFaults::Stall(DWORD milliseconds)
{
    m_stallEnd = GetTickCount() + milliseconds;
    m_stalling = milliseconds > 0;
}

void CSimFaults::Clear()
{
    *this = CSimFaults();
}

DWORD CSimFaults::TakeFailure(DWORD code)
{
    auto it = m_failures.find(code);
    if (it == m_failures.end())
        return 0;
    if (it->second.after > 0) {
        --it->second.after;
        return 0;
    }
    DWORD status = it->second.status;
    if (--it->second.count == 0)
        m_failures.erase(it);
    return status;
}

DWORD CSimFaults::StallLeft() const
{
    if (!m_stalling)
        return 0;
    LONG left = LONG(m_stallEnd - GetTickCount());
    return left > 0 ? DWORD(left) : 0;
}

void CSimFaults::Alter(DWORD code, void* out, DWORD* returned) const
{
    if (m_unterminated)
        UnterminateAnswer(code, out);
    if (m_overcount)
        OvercountAnswer(code, out);
    if (m_duplicate)
        DuplicateAnswer(code, out);
    if (m_zeroStep && code == IOCTL_KVX_USB_GET_STREAM_BUFFER_DEPTH)
        static_cast<_KVX_USB_STREAM_BUFFER_DEPTH*>(out)->Step = 0;
    auto cut = m_short.find(code);
    if (cut != m_short.end())
        *returned =
            cut->second == SIM_SHORT_HALF ? *returned / 2 : std::min<DWORD>(*returned, cut->second);
}

std::string CSimFaults::Describe() const
{
    std::string text;
    char line[160];
    for (const auto& f : m_failures) {
        std::snprintf(line, sizeof line, "  fail %s next %u with %s after %u\n",
                      OperationName(f.first), f.second.count, HexText(f.second.status).c_str(),
                      f.second.after);
        text += line;
    }
    for (const auto& cut : m_short)
        text += std::string("  short ") + OperationName(cut.first) +
                (cut.second == SIM_SHORT_HALF ? std::string(" half")
                                              : " " + std::to_string(cut.second) + " bytes") +
                "\n";
    if (m_overcount)
        text += "  overcount\n";
    if (m_unterminated)
        text += "  unterminated\n";
    if (m_zeroStep)
        text += "  zerostep\n";
    if (m_duplicate)
        text += "  duplicate\n";
    if (DWORD left = StallLeft()) {
        std::snprintf(line, sizeof line, "  stall %lu ms left\n", static_cast<unsigned long>(left));
        text += line;
    }
    return text.empty() ? "  none\n" : text;
}
