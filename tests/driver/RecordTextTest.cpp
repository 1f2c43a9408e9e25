#include <gtest/gtest.h>

#include <cstring>

#include "KvxUsbRecords.h"
#include "KvxUsbText.h"

TEST(RecordText, RatesShowThousandsAndTruncatedHundreds)
{
    EXPECT_EQ(FormatRate(44100), "44.1 kHz");
    EXPECT_EQ(FormatRate(48000), "48.0 kHz");
    EXPECT_EQ(FormatRate(88200), "88.2 kHz");
    EXPECT_EQ(FormatRate(11025), "11.0 kHz");
    EXPECT_EQ(FormatRate(192000), "192.0 kHz");
    EXPECT_EQ(FormatRate(0), "0.0 kHz");
    EXPECT_EQ(FormatRate(0xFFFFFFFFu), "4294967.2 kHz");
}

TEST(RecordText, MillisecondsAreTruncatedNeverRounded)
{
    EXPECT_EQ(FormatMilliseconds(2550, "ms"), "2.5 ms");
    EXPECT_EQ(FormatMilliseconds(2999, "ms"), "2.9 ms");
    EXPECT_EQ(FormatMilliseconds(80000, "ms"), "80.0 ms");
    EXPECT_EQ(FormatMilliseconds(99, "ms"), "0.0 ms");
}

TEST(RecordText, SampleCountsTruncateThenRoundUpToTheGranularity)
{
    EXPECT_EQ(UsToSamples(5000, 48000, 0), 240u);
    EXPECT_EQ(UsToSamples(5000, 48000, 32), 256u);
    EXPECT_EQ(UsToSamples(5000, 48000, 240), 240u);
    EXPECT_EQ(UsToSamples(4000, 44100, 0), 176u);
    EXPECT_EQ(UsToSamples(123456, 0, 32), 0u);
    // The product needs 64 bits: 4294967295 µs at 192 kHz.
    EXPECT_EQ(UsToSamples(0xFFFFFFFFu, 192000, 0), uint32_t(824633720ull));
}

TEST(RecordText, AsioNamesFollowTheOptionAndAreCutTo32Bytes)
{
    const std::string d39(39, 'D'), c39(39, 'C');
    const struct {
        uint32_t option;
        std::string device, channel, expected;
    } cases[] = {
        {0, "Studio", "Line 1", "Line 1"},
        {1, "Studio", "Line 1", "Studio - Line 1"},
        {0x80000000u, "Studio", "Line 1", "Studio - Line 1"}, // any non-zero value is on
        {1, "", "Line 1", " - Line 1"},                       // an empty device name still joins
        {0, d39, c39, std::string(32, 'C')},
        {1, d39, c39, std::string(32, 'D')},
        {1, std::string(29, 'D'), c39, std::string(29, 'D') + " - "},
        {1, std::string(30, 'D'), c39, std::string(30, 'D') + " -"}, // the cut may split " - "
        {1, "Dev", std::string(26, 'C'), "Dev - " + std::string(26, 'C')}, // exactly 32
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, AsioDisplayName(c.option, c.device, c.channel))
            << c.option << " '" << c.device << "' '" << c.channel << "'";
}

TEST(RecordText, TextFieldsAreBoundedByTheirRecord)
{
    _KVX_USB_CHANNEL_PROPERTIES channel;
    std::memset(&channel, 'x', sizeof channel);
    // No terminator in the hardware name: the text ends with the field.
    EXPECT_EQ(RecordText(channel.HardwareName), std::string(40, 'x'));

    SetRecordText(channel.ChannelName, "0123456789012345678901234567890123456789-too-long");
    EXPECT_EQ(RecordText(channel.ChannelName), "012345678901234567890123456789012345678");
    EXPECT_EQ(channel.ChannelName[39], '\0');

    std::memset(channel.ChannelName, 'y', sizeof channel.ChannelName);
    SetRecordText(channel.ChannelName, "Bass");
    EXPECT_EQ(RecordText(channel.ChannelName), "Bass");
    EXPECT_EQ(channel.ChannelName[5], 'y') << "bytes after the terminator are the driver's";
    EXPECT_EQ(channel.ChannelName[39], '\0');
    EXPECT_EQ(RecordText(channel.HardwareName), std::string(40, 'x'));
}
