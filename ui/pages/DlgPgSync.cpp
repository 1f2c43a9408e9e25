#include "DlgPgSync.h"

#include "Drv.h"
#include "KvxUsbText.h"
#include "resource.h"

BEGIN_MESSAGE_MAP(DlgPgSync, CDialogPage)
ON_BN_CLICKED(IDC_RATE_APPLY, OnApplyRate)
ON_BN_CLICKED(IDC_SOURCE_APPLY, OnApplySource)
ON_BN_CLICKED(IDC_MASTER_APPLY, OnApplyMaster)
ON_BN_CLICKED(IDC_MODE_APPLY, OnApplyMode)
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
    // A radio click or a new selection in a group enables that group's Apply, nothing else.
    AddApplyGroup(IDC_MASTER_APPLY, IDS_APPLY_MASTER, {IDC_MASTER_PC, IDC_MASTER_DEVICE});
    AddApplyGroup(IDC_RATE_APPLY, IDS_APPLY_RATE, {IDC_RATE_LIST});
    AddApplyGroup(IDC_MODE_APPLY, IDS_APPLY_MODE, {IDC_MODE_AUTOMATIC, IDC_MODE_MANUAL});
    AddApplyGroup(IDC_SOURCE_APPLY, IDS_APPLY_SOURCE, {IDC_SOURCE_LIST});
    Refresh();
    return TRUE;
}

void DlgPgSync::OnRefresh()
{
    ReadSelectionMode();
    ReadClockMaster();
    FillSampleRates();
    FillClockSources();
    DisableApplyButtons();
}

void DlgPgSync::SetSelectionModeChoice(int choice)
{
    m_nModeChoice = choice;
    UpdateData(FALSE);
    EnableControls({IDC_MODE_AUTOMATIC, IDC_MODE_MANUAL}, choice >= 0);
}

void DlgPgSync::SetClockMasterChoice(int choice)
{
    m_nMasterChoice = choice;
    UpdateData(FALSE);
    EnableControls({IDC_MASTER_PC, IDC_MASTER_DEVICE}, choice >= 0);
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
    SetSelectionModeChoice(choice);
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
    SetClockMasterChoice(choice);
}

void DlgPgSync::FillSampleRates()
{
    CRefillGuard refill(*this, m_RateList);
    m_RateList.ResetContent();
    if (theDrv.GetSampleRateInfo(&theDrv.m_SampleRateInfo) != 0) {
        m_RateList.EnableWindow(FALSE);
        return;
    }
    // The list follows the mode as it is now, not as it was a moment ago, and only a mode
    // read whole.
    if (theDrv.GetSampleRateMode(&theDrv.m_SampleRateMode) != 0) {
        SetSelectionModeChoice(-1);
        m_RateList.EnableWindow(FALSE);
        return;
    }
    const _KVX_USB_SAMPLE_RATE_INFO& info = theDrv.m_SampleRateInfo;
    const uint32_t count = info.RateCount < KVX_USB_MAX_RATES ? info.RateCount : KVX_USB_MAX_RATES;
    for (uint32_t i = 0; i < count; ++i) {
        const int item = m_RateList.AddString(FormatRate(info.Rates[i]).c_str());
        m_RateList.SetItemData(item, info.Rates[i]);
    }
    const int items = m_RateList.GetCount();
    if (items <= 0) {
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

void DlgPgSync::FillClockSources()
{
    CRefillGuard refill(*this, m_SourceList);
    m_SourceList.ResetContent();
    if (theDrv.LoadSynchModes() != 0 || theDrv.m_SynchModes.empty()) {
        m_SourceList.EnableWindow(FALSE);
        return;
    }
    // The first device's sources, named as the driver names them.
    const _KVX_USB_DEVICE_SYNCH_MODE_INFO& modes = *theDrv.m_SynchModes[0];
    const uint32_t count = modes.SourceCount < KVX_USB_MAX_CLOCK_SOURCES
                               ? modes.SourceCount
                               : KVX_USB_MAX_CLOCK_SOURCES;
    for (uint32_t i = 0; i < count; ++i) {
        const int item = m_SourceList.AddString(RecordText(modes.Sources[i].Name).c_str());
        m_SourceList.SetItemData(item, modes.Sources[i].SourceId);
    }
    const int items = m_SourceList.GetCount();
    if (items <= 0) {
        m_SourceList.EnableWindow(FALSE);
        return;
    }
    m_SourceList.EnableWindow(TRUE);
    for (int item = 0; item < items; ++item) {
        if (m_SourceList.GetItemData(item) == modes.Current.SourceId) {
            m_SourceList.SetCurSel(item);
            break;
        }
    }
}

void DlgPgSync::TellOutcome(const CWriteResult& result, CButton& applyButton, UINT subjectId,
                            UINT streamingText, UINT refusedText)
{
    if (result.outcome == CWriteOutcome::Applied || result.outcome == CWriteOutcome::Unchanged) {
        applyButton.EnableWindow(FALSE);
    } else if (result.outcome == CWriteOutcome::Refused) {
        const UINT text = result.status == KVX_USB_E_STREAMING_ACTIVE ? streamingText : refusedText;
        MessageBox(AfxLoadString(text).c_str(), AfxLoadString(IDS_ERROR_CAPTION).c_str(), MB_OK);
    } else {
        TellWriteOutcome(result, subjectId);
    }
}

void DlgPgSync::OnApplyRate()
{
    const int item = m_RateList.GetCurSel();
    if (item < 0)
        return;
    const DWORD_PTR rate = m_RateList.GetItemData(item);
    if (rate == DWORD_PTR(CB_ERR))
        return;
    // Kept also when refused: the buffer page counts samples with it until the next read.
    theDrv.m_SampleRateInfo.CurrentRate = uint32_t(rate);
    TellOutcome(SentWriteResult(theDrv.SetSampleRate(uint32_t(rate))), m_RateApplyButton,
                IDS_SUBJECT_RATE, IDS_RATE_REFUSED_STREAMING, IDS_RATE_REFUSED);
}

void DlgPgSync::OnApplySource()
{
    const int item = m_SourceList.GetCurSel();
    if (item < 0) {
        m_SourceApplyButton.EnableWindow(FALSE);
        return;
    }
    const uint32_t sourceId = uint32_t(m_SourceList.GetItemData(item));
    if (theDrv.m_SynchModes.empty()) {
        EnableControls({IDC_SOURCE_LIST, IDC_SOURCE_APPLY}, false);
        return;
    }
    // The device whose sources the list shows, and no other.
    TellOutcome(theDrv.StoreClockSource(theDrv.m_SynchModes[0]->DeviceId, sourceId),
                m_SourceApplyButton, IDS_SUBJECT_SOURCE, IDS_SOURCE_REFUSED_STREAMING,
                IDS_SOURCE_REFUSED);
}

void DlgPgSync::OnApplyMaster()
{
    UpdateData(TRUE);
    theDrv.m_ClockMaster.ClockMaster =
        m_nMasterChoice != 0 ? KVX_USB_CLOCK_MASTER_DEVICE : KVX_USB_CLOCK_MASTER_PC;
    if (theDrv.SetClockMaster(&theDrv.m_ClockMaster) == 0)
        m_MasterApplyButton.EnableWindow(FALSE);
}

void DlgPgSync::OnApplyMode()
{
    UpdateData(TRUE);
    theDrv.m_SampleRateMode =
        m_nModeChoice == 0 ? KVX_USB_RATE_MODE_AUTOMATIC : KVX_USB_RATE_MODE_MANUAL;
    if (theDrv.SetSampleRateMode(theDrv.m_SampleRateMode) != 0)
        return;
    m_ModeApplyButton.EnableWindow(FALSE);
    FillSampleRates();
}
