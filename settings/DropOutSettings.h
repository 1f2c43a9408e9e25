// The settings in force when drop-outs are counted: the rate and the three buffer depths, read
// together so that a drop-out can be told with what it happened. The panel's drop-out watch,
// `kvxuctl watch` and the support report read and tell them alike.
#pragma once

#include <string>

#include "DriverSnapshot.h"

class CKvxuUsbDriver;

struct CDropOutSettings {
    CDriverRead<_KVX_USB_SAMPLE_RATE_INFO> rate;
    CDriverRead<_KVX_USB_STREAM_BUFFER_DEPTH> stream;
    CDriverRead<_KVX_USB_BUFFER_DEPTH> asio;
    CDriverRead<_KVX_USB_BUFFER_DEPTH> wdm;
};

// Four reads: the rate, then the stream, ASIO and WDM depths.
CDropOutSettings ReadDropOutSettings(CKvxuUsbDriver& driver);

// "ASIO buffer 2.0 ms (96 samples) at 48.0 kHz"; what could not be read is left out, and
// "settings not read" when nothing could be.
std::string DropOutSettingsText(const CDropOutSettings& settings);
// "48000 Hz, stream 2.0 ms, ASIO 2.0 ms (96 samples), WDM 10.0 ms", each part "?" when unread.
std::string DropOutDepthsText(const CDropOutSettings& settings);
