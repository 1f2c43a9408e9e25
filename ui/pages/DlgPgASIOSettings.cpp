#include "DlgPgASIOSettings.h"

#include <climits>

#include "Drv.h"
#include "resource.h"

namespace {

// Ticks for about forty steps of the range, at least one.
int TickFrequency(uint32_t positions)
{
    const uint32_t frequency = positions / 40;
    return frequency == 0 ? 1 : int(frequency);
}

void SetupSlider(CSliderCtrl& slider, uint32_t minimum, uint32_t maximum, uint32_t current,
                 uint32_t step)
{
    slider.SetRange(int(minimum / step), int(maximum / step), TRUE);
    const int frequency = TickFrequency((maximum - minimum) / step);
    slider.SetTicFreq(frequency);
    slider.SetPageSize(frequency);
    slider.SetLineSize(1);
    // The trackbar would clamp a position past the range, but not one that wraps an int.
    slider.SetPos(int(current / step < maximum / step ? current / step : maximum / step));
}

} // namespace

BEGIN_MESSAGE_MAP(CDlgPgASIOSettings, CDialogPage)
END_MESSAGE_MAP()

CDlgPgASIOSettings::CDlgPgASIOSettings(CWnd* pParentWnd)
    : CDialogPage(IDD_PAGE_ASIO_SETTINGS, pParentWnd)
{
}

CDlgPgASIOSettings::~CDlgPgASIOSettings() = default;

void CDlgPgASIOSettings::DoDataExchange(CDataExchange* pDX)
{
    CDialogPage::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_ASIO_APPLY, m_AsioApplyButton);
    DDX_Control(pDX, IDC_WDM_APPLY, m_WdmApplyButton);
    DDX_Control(pDX, IDC_WDM_SLIDER, m_WdmSlider);
    DDX_Control(pDX, IDC_ASIO_SLIDER, m_AsioSlider);
    DDX_Control(pDX, IDC_STREAM_APPLY, m_StreamApplyButton);
    DDX_Control(pDX, IDC_STREAM_SLIDER, m_StreamSlider);
}

BOOL CDlgPgASIOSettings::OnInitDialog()
{
    CDialogPage::OnInitDialog();
    Refresh();
    return TRUE;
}

void CDlgPgASIOSettings::OnRefresh()
{
    m_StreamSlider.EnableWindow(theDrv.GetStreamBufferDepth(&m_StreamDepth) == 0 &&
                                SetupStreamSlider());
    const bool asioRead = theDrv.GetAsioBufferDepth(&m_AsioDepth) == 0;
    if (asioRead)
        SetupBufferSlider(m_AsioSlider, m_AsioDepth.Depth);
    m_AsioSlider.EnableWindow(asioRead);
    const bool wdmRead = theDrv.GetWdmBufferDepth(&m_WdmDepth) == 0;
    if (wdmRead)
        SetupBufferSlider(m_WdmSlider, m_WdmDepth.Depth);
    m_WdmSlider.EnableWindow(wdmRead);
    for (CButton* button : {&m_StreamApplyButton, &m_AsioApplyButton, &m_WdmApplyButton})
        button->EnableWindow(FALSE);
}

// False for a record the slider cannot show: without a step there are no positions, an
// inverted range has none either, and positions past INT_MAX do not fit the trackbar.
bool CDlgPgASIOSettings::SetupStreamSlider()
{
    const _KVX_USB_STREAM_BUFFER_DEPTH& d = m_StreamDepth;
    if (d.Step == 0 || d.Maximum < d.Minimum || d.Maximum / d.Step > uint32_t(INT_MAX))
        return false;
    SetupSlider(m_StreamSlider, d.Minimum, d.Maximum, d.Current, d.Step);
    return true;
}

void CDlgPgASIOSettings::SetupBufferSlider(CSliderCtrl& slider, uint32_t depth)
{
    SetupSlider(slider, m_BufferMinimum, m_BufferMaximum, depth, m_BufferStep);
}
