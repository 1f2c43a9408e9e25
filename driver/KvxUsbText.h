// Texts made from driver values, shared by the pages, and safe access to the records'
// fixed-width text fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// "44.1 kHz": thousands and hundreds of Hz, both truncated.
std::string FormatRate(uint32_t rateHz);

// "2.5 ms": whole and tenth milliseconds of a time in microseconds, both truncated.
std::string FormatMilliseconds(uint32_t timeUs, const char* unit);

// Samples in a buffer of timeUs at rateHz, truncated, then rounded up to a multiple of
// granularity when that is not 0. Computed in 64 bits; the low 32 bits are returned.
uint32_t UsToSamples(uint32_t timeUs, uint32_t rateHz, uint32_t granularity);

// The name an ASIO host shows for a channel: the device name, " - " and the channel name
// when the driver's display-name option is non-zero, else the channel name; at most 32 bytes.
std::string AsioDisplayName(uint32_t asioNameOption, const std::string& deviceName,
                            const std::string& channelName);

// Whether a byte is a control byte (below 0x20, or 0x7F), which no name the panel, a profile
// or the command line writes may hold.
inline bool IsControlByte(char c)
{
    const unsigned char byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

// The text of a fixed-width field: up to its terminator, never past the field, even when
// the driver left no terminator in it.
template <size_t N> std::string RecordText(const char (&field)[N])
{
    size_t len = 0;
    while (len < N && field[len] != '\0')
        ++len;
    return std::string(field, len);
}

// Writes at most N-1 bytes of text, a terminator after them and one in the field's last
// byte. The other bytes after the text stay as the driver left them.
template <size_t N> void SetRecordText(char (&field)[N], const char* text)
{
    size_t len = 0;
    while (len < N - 1 && text[len] != '\0') {
        field[len] = text[len];
        ++len;
    }
    field[len] = '\0';
    field[N - 1] = '\0';
}
