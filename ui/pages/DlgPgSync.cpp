#include "DlgPgSync.h"

#include "Drv.h"
#include "KvxUsbText.h"
#include "resource.h"

namespace {

// The driver's sampling-rate selection modes.
const uint32_t kManualMode = 0;
const uint32_t kAutomaticMode = 1;

} // namespace

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
    // The clock sources are not listed yet.
    m_SourceList.EnableWindow(FALSE);
    Refresh();
    return TRUE;
}

void DlgPgSync::Refresh()
{
    if (!m_hWnd)
        return;
    ReadSelectionMode();
    ReadClockMaster();
    FillSampleRates();
    for (CButton* button :
         {&m_MasterApplyButton, &m_RateApplyButton, &m_ModeApplyButton, &m_SourceApplyButton})
        button->EnableWindow(FALSE);
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
        if (theDrv.m_SampleRateMode == kAutomaticMode)
            choice = 0;
        else if (theDrv.m_SampleRateMode == kManualMode)
            choice = 1;
    }
    SetChoice(m_nModeChoice, choice, m_AutomaticRadio, m_ManualRadio);
}

void DlgPgSync::ReadClockMaster()
{
    int choice = -1;
    if (theDrv.GetClockMaster(&theDrv.m_ClockMaster) == 0 && theDrv.m_ClockMaster.ClockMaster <= 1)
        choice = int(theDrv.m_ClockMaster.ClockMaster);
    SetChoice(m_nMasterChoice, choice, m_MasterPcRadio, m_MasterDeviceRadio);
}

void DlgPgSync::FillSampleRates()
{
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
    m_RateList.EnableWindow(theDrv.m_SampleRateMode == kManualMode);
    for (int item = 0; item < items; ++item) {
        if (m_RateList.GetItemData(item) == info.CurrentRate) {
            m_RateList.SetCurSel(item);
            break;
        }
    }
}
