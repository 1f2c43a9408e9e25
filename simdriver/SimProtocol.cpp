#include "SimProtocol.h"

#include <cstring>

#include "DeviceIo.h"
#include "KvxUsbCatalogue.h"
#include "SimDriver.h"
#include "SimPipeServer.h"

std::string AnswerSimRequest(CSimDriver& driver, uint64_t client, const std::string& message,
                             bool tooLong)
{
    std::string reply(sizeof(KvxPipeReply) + KVX_USB_MAX_RECORD_SIZE, '\0');
    KvxPipeReply answer = {0, 0};
    KvxPipeRequest request = {0, 0, 0};
    if (!tooLong && message.size() >= sizeof request)
        std::memcpy(&request, message.data(), sizeof request);
    if (tooLong || message.size() < sizeof request ||
        request.InSize != message.size() - sizeof request) {
        answer.Status = SIM_E_BAD_FRAME;
        driver.TraceMalformed(request.Code, DWORD(message.size()), request.OutSize, answer.Status);
    } else {
        DWORD returned = 0;
        answer.Status =
            driver.Request(client, request.Code, message.data() + sizeof request, request.InSize,
                           &reply[sizeof answer], request.OutSize, &returned);
        answer.BytesReturned = returned;
    }
    std::memcpy(&reply[0], &answer, sizeof answer);
    reply.resize(sizeof answer + answer.BytesReturned);
    return reply;
}

void ServeDriverClient(CSimDriver& driver, HANDLE pipe)
{
    ULONG processId = 0;
    GetNamedPipeClientProcessId(pipe, &processId);
    uint64_t client = driver.Connect(processId);
    std::string message;
    bool tooLong = false;
    while (ReadSimMessage(pipe, &message, SIM_MAX_REQUEST, &tooLong)) {
        std::string reply = AnswerSimRequest(driver, client, message, tooLong);
        DWORD written = 0;
        if (!WriteFile(pipe, reply.data(), DWORD(reply.size()), &written, nullptr))
            break; // the client went while we answered
    }
    driver.Disconnect(client);
}
