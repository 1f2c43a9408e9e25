// The two name dialogs: one dialog on two templates, each editing the name of its record.
#pragma once

#include "NameEditDlg.h"
#include "resource.h"

// "Edit Device Name": the DeviceName of a copy of a device record.
class CSubDlgDeviceNameEdit : public CNameEditDlg {
public:
    explicit CSubDlgDeviceNameEdit(_KVX_USB_DEVICE_PROPERTIES* record, CWnd* pParentWnd = nullptr)
        : CNameEditDlg(IDD_DEVICE_NAME_EDIT, record->DeviceName, pParentWnd)
    {
    }
};

// "Edit Channel Name": the ChannelName of a copy of a channel record.
class CSubDlgChannelNameEdit : public CNameEditDlg {
public:
    explicit CSubDlgChannelNameEdit(_KVX_USB_CHANNEL_PROPERTIES* record, CWnd* pParentWnd = nullptr)
        : CNameEditDlg(IDD_CHANNEL_NAME_EDIT, record->ChannelName, pParentWnd)
    {
    }
};
