#include "KvxUsbStatus.h"

#include <cstdio>

#include "KvxuUsbDriver.h"

const char* StatusName(DWORD status)
{
    switch (status) {
    case 0:
        return "SUCCESS";
    case KVX_USB_E_THREAD:
        return "KVX_USB_E_THREAD";
    case KVX_USB_E_NOT_OPEN:
        return "KVX_USB_E_NOT_OPEN";
    case KVX_USB_E_INTERFACE_VERSION:
        return "KVX_USB_E_INTERFACE_VERSION";
    case KVX_USB_E_NOT_RESPONDING:
        return "KVX_USB_E_NOT_RESPONDING";
    case KVX_USB_E_SHORT_ANSWER:
        return "KVX_USB_E_SHORT_ANSWER";
    case KVX_USB_E_BAD_LIST:
        return "KVX_USB_E_BAD_LIST";
    case KVX_USB_E_STREAMING_ACTIVE:
        return "KVX_USB_E_STREAMING_ACTIVE";
    case ERROR_INVALID_FUNCTION:
        return "ERROR_INVALID_FUNCTION";
    case ERROR_FILE_NOT_FOUND:
        return "ERROR_FILE_NOT_FOUND";
    case ERROR_PATH_NOT_FOUND:
        return "ERROR_PATH_NOT_FOUND";
    case ERROR_ACCESS_DENIED:
        return "ERROR_ACCESS_DENIED";
    case ERROR_INVALID_HANDLE:
        return "ERROR_INVALID_HANDLE";
    case ERROR_NOT_ENOUGH_MEMORY:
        return "ERROR_NOT_ENOUGH_MEMORY";
    case ERROR_INVALID_DATA:
        return "ERROR_INVALID_DATA";
    case ERROR_NOT_READY:
        return "ERROR_NOT_READY";
    case ERROR_BAD_LENGTH:
        return "ERROR_BAD_LENGTH";
    case ERROR_GEN_FAILURE:
        return "ERROR_GEN_FAILURE";
    case ERROR_SHARING_VIOLATION:
        return "ERROR_SHARING_VIOLATION";
    case ERROR_NOT_SUPPORTED:
        return "ERROR_NOT_SUPPORTED";
    case ERROR_INVALID_PARAMETER:
        return "ERROR_INVALID_PARAMETER";
    case ERROR_BROKEN_PIPE:
        return "ERROR_BROKEN_PIPE";
    case ERROR_SEM_TIMEOUT:
        return "ERROR_SEM_TIMEOUT";
    case ERROR_INSUFFICIENT_BUFFER:
        return "ERROR_INSUFFICIENT_BUFFER";
    case ERROR_BAD_PIPE:
        return "ERROR_BAD_PIPE";
    case ERROR_PIPE_BUSY:
        return "ERROR_PIPE_BUSY";
    case ERROR_NO_DATA:
        return "ERROR_NO_DATA";
    case ERROR_PIPE_NOT_CONNECTED:
        return "ERROR_PIPE_NOT_CONNECTED";
    case ERROR_MORE_DATA:
        return "ERROR_MORE_DATA";
    case ERROR_NO_MORE_ITEMS:
        return "ERROR_NO_MORE_ITEMS";
    case ERROR_OPERATION_ABORTED:
        return "ERROR_OPERATION_ABORTED";
    case ERROR_IO_DEVICE:
        return "ERROR_IO_DEVICE";
    case ERROR_DEVICE_NOT_CONNECTED:
        return "ERROR_DEVICE_NOT_CONNECTED";
    case ERROR_NOT_FOUND:
        return "ERROR_NOT_FOUND";
    case ERROR_TIMEOUT:
        return "ERROR_TIMEOUT";
    default:
        return "";
    }
}

const char* StatusSentence(DWORD status)
{
    switch (status) {
    case 0:
        return "done";
    case KVX_USB_E_STREAMING_ACTIVE:
        return "audio is streaming; stop playback and try again";
    case KVX_USB_E_NOT_OPEN:
        return "the driver is not open";
    case KVX_USB_E_INTERFACE_VERSION:
        return "the driver speaks another version of the control protocol";
    case KVX_USB_E_THREAD:
        return "a thread of the control panel could not be started";
    case KVX_USB_E_SHORT_ANSWER:
        return "the driver answered with fewer bytes than the record holds";
    case KVX_USB_E_BAD_LIST:
        return "the driver gave a list longer than its record, or with an id twice";
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return "the driver is not installed or not running";
    case ERROR_NOT_FOUND:
    case ERROR_DEVICE_NOT_CONNECTED:
        return "the device is no longer connected";
    case ERROR_INVALID_PARAMETER:
    case ERROR_INVALID_DATA:
        return "the driver does not take this value";
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
        return "the driver does not support this";
    case ERROR_ACCESS_DENIED:
        return "the driver denied access";
    case ERROR_BUSY:
    case ERROR_NOT_READY:
        return "the device is busy; try again";
    case KVX_USB_E_NOT_RESPONDING:
    case ERROR_TIMEOUT:
    case ERROR_SEM_TIMEOUT:
        return "the driver does not respond";
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
    case ERROR_PIPE_NOT_CONNECTED:
    case ERROR_INVALID_HANDLE:
        return "the driver went away";
    default:
        return "the driver refused it";
    }
}

std::string HexText(DWORD value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(value));
    return text;
}

std::string StatusText(DWORD status)
{
    const char* name = StatusName(status);
    return *name ? std::string(name) + " (" + HexText(status) + ")" : HexText(status);
}
