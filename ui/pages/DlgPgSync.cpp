#include "DlgPgSync.h"

#include "Drv.h"
#include "KvxUsbText.h"
#include "resource.h"

BEGIN_MESSAGE_MAP(DlgPgSync, CDialogPage)
END_MESSAGE_MAP()

DlgPgSync::DlgPgSync(CWnd* pParentWnd) : CDialogPage(IDD_PAGE_SYNC, pParentWnd) {}

DlgPgSync::~DlgPgSync() = default;

void DlgPgSync::DoDataExchange(CDataExchange* pDX)
{
    CDialogPage::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_RATE_APPLY, m_RateApplyButton);
    DDX_Control(pDX, IDC_MASTER_APPLY, m_MasterApplyButton);
    DDX_Control(pDX, IDC_RATE_LIST, m_RateList);
    DDX_Control(pDX, IDC_SOURCE_LIST, m_SourceList);
    DDX_Control(pDX, IDC_MASTER_PC, m_MasterPcRadio);
    DDX_Control(pDX, IDC_MASTER_DEVICE, m_MasterDeviceRadio);
    DDX_Radio(pDX, IDC_MASTER_PC, m_nMasterChoice);
    DDX_Control(pDX, IDC_MODE_APPLY, m_ModeApplyButton);
    DDX_Control(pDX, IDC_MODE_AUTOMATIC, m_AutomaticRadio);
    DDX_Control(pDX, IDC_MODE_MANUAL, m_ManualRadio);
    DDX_Radio(pDX, IDC_MODE_AUTOMATIC, m_nModeChoice);
    DDX_Control(pDX, IDC_SOURCE_APPLY, m_SourceApplyButton);
}

BOOL DlgPgSync::OnInitDialog()
{
    CDialogPage::OnInitDialog();
    AddApplyGroup(IDC_MASTER_APPLY, {IDC_MASTER_PC, IDC_MASTER_DEVICE});
    AddApplyGroup(IDC_RATE_APPLY, {IDC_RATE_LIST});
    AddApplyGroup(IDC_MODE_APPLY, {IDC_MODE_AUTOMATIC, IDC_MODE_MANUAL});
    AddApplyGroup(IDC_SOURCE_APPLY, {IDC_SOURCE_LIST});
    // The clock sources are not listed yet.
    m_SourceList.EnableWindow(FALSE);
    Refresh();
    return TRUE;
}

void DlgPgSync::OnRefresh()
{
    ReadSelectionMode();
    ReadClockMaster();
    FillSampleRates();
    DisableApplyButtons();
}

void DlgPgSync::SetChoice(int& choice, int value, CButton& first, CButton& second)
{
    choice = value;
    UpdateData(FALSE);
    first.EnableWindow(value >= 0);
    second.EnableWindow(value >= 0);
}

void DlgPgSync::ReadSelectionMode()
{
    int choice = -1;
    if (theDrv.GetSampleRateMode(&theDrv.m_SampleRateMode) == 0) {
        if (theDrv.m_SampleRateMode == KVX_USB_RATE_MODE_AUTOMATIC)
            choice = 0;
        else if (theDrv.m_SampleRateMode == KVX_USB_RATE_MODE_MANUAL)
            choice = 1;
    }
    SetChoice(m_nModeChoice, choice, m_AutomaticRadio, m_ManualRadio);
}

void DlgPgSync::ReadClockMaster()
{
    int choice = -1;
    if (theDrv.GetClockMaster(&theDrv.m_ClockMaster) == 0) {
        if (theDrv.m_ClockMaster.ClockMaster == KVX_USB_CLOCK_MASTER_PC)
            choice = 0;
        else if (theDrv.m_ClockMaster.ClockMaster == KVX_USB_CLOCK_MASTER_DEVICE)
            choice = 1;
    }
    SetChoice(m_nMasterChoice, choice, m_MasterPcRadio, m_MasterDeviceRadio);
}

void DlgPgSync::FillSampleRates()
{
    CRefillGuard refill(*this, m_RateList);
    m_RateList.ResetContent();
    if (theDrv.GetSampleRateInfo(&theDrv.m_SampleRateInfo) != 0) {
        m_RateList.EnableWindow(FALSE);
        return;
    }
    if (theDrv.GetSampleRateMode(&theDrv.m_SampleRateMode) != 0) {
        SetChoice(m_nModeChoice, -1, m_AutomaticRadio, m_ManualRadio);
        return;
    }
    const _KVX_USB_SAMPLE_RATE_INFO& info = theDrv.m_SampleRateInfo;
    const uint32_t count = info.RateCount < KVX_USB_MAX_RATES ? info.RateCount : KVX_USB_MAX_RATES;
    for (uint32_t i = 0; i < count; ++i) {
        const int item = m_RateList.AddString(FormatRate(info.Rates[i]).c_str());
        m_RateList.SetItemData(item, info.Rates[i]);
    }
    const int items = m_RateList.GetCount();
    if (items == 0) {
        m_RateList.EnableWindow(FALSE);
        return;
    }
    m_RateList.EnableWindow(theDrv.m_SampleRateMode == KVX_USB_RATE_MODE_MANUAL);
    for (int item = 0; item < items; ++item) {
        if (m_RateList.GetItemData(item) == info.CurrentRate) {
            m_RateList.SetCurSel(item);
            break;
        }
    }
}
