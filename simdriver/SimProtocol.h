// The driver protocol on the pipe: one request message, one reply message (see DeviceIo.h
// for the framing). A malformed message gets an error reply; the client may go on.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "DeviceIo.h"
#include "KvxUsbCatalogue.h"

class CSimDriver;

// The largest request a client may send: the header and the largest record.
constexpr DWORD SIM_MAX_REQUEST = sizeof(KvxPipeRequest) + KVX_USB_MAX_RECORD_SIZE;

// The reply to one request message.
std::string AnswerSimRequest(CSimDriver& driver, uint64_t client, const std::string& message,
                             bool tooLong);

// Serves one client until it goes.
void ServeDriverClient(CSimDriver& driver, HANDLE pipe);
