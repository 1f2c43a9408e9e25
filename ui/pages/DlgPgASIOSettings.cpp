#include "DlgPgASIOSettings.h"

#include <climits>
#include <cstdio>

#include "DropOutMonitor.h"
#include "Drv.h"
#include "KvxUsbText.h"
#include "StatusHost.h"
#include "resource.h"

namespace {

// Ticks for about forty steps of the range, at least one; the page size follows them.
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
ON_WM_SHOWWINDOW()
ON_WM_HSCROLL()
ON_BN_CLICKED(IDC_STREAM_APPLY, OnApplyStream)
ON_BN_CLICKED(IDC_ASIO_APPLY, OnApplyAsio)
ON_BN_CLICKED(IDC_WDM_APPLY, OnApplyWdm)
ON_BN_CLICKED(IDC_DROPOUT_WATCH, OnWatchDropOuts)
ON_BN_CLICKED(IDC_DROPOUT_RESET, OnResetDropOuts)
ON_BN_CLICKED(IDC_DROPOUT_COPY, OnCopyDropOuts)
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
    DDX_Control(pDX, IDC_WDM_SLIDER, m_WdmSlider);
    DDX_Control(pDX, IDC_ASIO_SLIDER, m_AsioSlider);
    DDX_Control(pDX, IDC_STREAM_APPLY, m_StreamApplyButton);
    DDX_Control(pDX, IDC_STREAM_SLIDER, m_StreamSlider);
    m_DropOuts.DoDataExchange(pDX);
    DDX_Text(pDX, IDC_STREAM_VALUE, m_strStream);
    DDX_Text(pDX, IDC_ASIO_VALUE, m_strAsio);
    DDX_Text(pDX, IDC_WDM_VALUE, m_strWdm);
}

void CDlgPgASIOSettings::SetToolTipWidth(UINT dpi)
{
    m_ToolTip.SetMaxTipWidth(AfxScaleForDpi(180, dpi)); // long tips wrap
}

void CDlgPgASIOSettings::OnDpiLayout(UINT oldDpi, UINT newDpi)
{
    CDialogPage::OnDpiLayout(oldDpi, newDpi);
    if (m_ToolTip.m_hWnd)
        SetToolTipWidth(newDpi);
}

BOOL CDlgPgASIOSettings::OnInitDialog()
{
    CDialogPage::OnInitDialog();
    // Each slider's value enables its own Apply (UpdateLabels); a refresh disables them all.
    // An Apply that disables itself hands the keyboard back to its slider.
    AddApplyGroup(IDC_STREAM_APPLY, IDS_APPLY_STREAM_DEPTH, {IDC_STREAM_SLIDER});
    AddApplyGroup(IDC_ASIO_APPLY, IDS_APPLY_ASIO_DEPTH, {IDC_ASIO_SLIDER});
    AddApplyGroup(IDC_WDM_APPLY, IDS_APPLY_WDM_DEPTH, {IDC_WDM_SLIDER});
    m_StreamSliderAccessible.Attach(m_StreamSlider.m_hWnd);
    m_AsioSliderAccessible.Attach(m_AsioSlider.m_hWnd);
    m_WdmSliderAccessible.Attach(m_WdmSlider.m_hWnd);
    m_DropOuts.Init(*this);
    Refresh();
    if (m_ToolTip.Create(this, TTS_ALWAYSTIP)) {
        SetToolTipWidth(AfxGetWindowDpi(m_hWnd));
        const std::string note = AfxLoadString(IDS_ASIO_ROUNDING_NOTE);
        for (int id : {IDC_ASIO_APPLY, IDC_ASIO_SLIDER, IDC_ASIO_VALUE, IDC_ASIO_CAPTION})
            m_ToolTip.AddTool(GetDlgItem(id), note.c_str());
        m_ToolTip.Activate(TRUE);
    }
    return TRUE;
}

BOOL CDlgPgASIOSettings::PreTranslateMessage(MSG* pMsg)
{
    if (m_ToolTip.m_hWnd)
        m_ToolTip.RelayEvent(pMsg);
    return CDialogPage::PreTranslateMessage(pMsg);
}

void CDlgPgASIOSettings::OnRefresh()
{
    _KVX_USB_SAMPLE_RATE_INFO rates = {};
    m_nSampleRate = theDrv.GetSampleRateInfo(&rates) == 0 ? rates.CurrentRate : 0;

    const bool streamRead = theDrv.GetStreamBufferDepth(&m_StreamDepth) == 0 && SetupStreamSlider();
    m_StreamSlider.EnableWindow(streamRead);
    if (!streamRead)
        m_strStream.clear();

    const bool asioRead = theDrv.GetAsioBufferDepth(&m_AsioDepth) == 0;
    if (asioRead)
        SetupBufferSlider(m_AsioSlider, m_AsioStep, m_AsioMinimum, m_AsioMaximum,
                          m_AsioDepth.Depth);
    else
        m_strAsio.clear();
    m_AsioSlider.EnableWindow(asioRead);

    const bool wdmRead = theDrv.GetWdmBufferDepth(&m_WdmDepth) == 0;
    if (wdmRead)
        SetupBufferSlider(m_WdmSlider, m_WdmStep, m_WdmMinimum, m_WdmMaximum, m_WdmDepth.Depth);
    else
        m_strWdm.clear();
    m_WdmSlider.EnableWindow(wdmRead);
    // With nothing read there is nothing new to show; the emptied texts go out with the next
    // transfer (a statistics tick or a slider move).
    if (wdmRead || streamRead || asioRead)
        UpdateLabels();
    DisableApplyButtons();
}

// False for a record the slider cannot show, handled like a failed read: without a step
// there are no positions, an inverted range has none either, and positions past INT_MAX do
// not fit the trackbar.
bool CDlgPgASIOSettings::SetupStreamSlider()
{
    const _KVX_USB_STREAM_BUFFER_DEPTH& d = m_StreamDepth;
    if (d.Step == 0 || d.Maximum < d.Minimum || d.Maximum / d.Step > uint32_t(INT_MAX))
        return false;
    SetupSlider(m_StreamSlider, d.Minimum, d.Maximum, d.Current, d.Step);
    return true;
}

void CDlgPgASIOSettings::SetupBufferSlider(CSliderCtrl& slider, uint32_t step, uint32_t minimum,
                                           uint32_t maximum, uint32_t depth)
{
    SetupSlider(slider, minimum, maximum, depth, step);
}

std::string CDlgPgASIOSettings::DepthText(const _KVX_USB_BUFFER_DEPTH& depth) const
{
    // Samples are counted at the rate; without it, only the time is known.
    if (m_nSampleRate == 0)
        return FormatMilliseconds(depth.Depth, AfxLoadString(IDS_MS).c_str());
    char text[128];
    std::snprintf(text, sizeof text, "%d.%01d %s\n%d %s", int(depth.Depth / 1000),
                  int(depth.Depth % 1000 / 100), AfxLoadString(IDS_MS).c_str(),
                  int(UsToSamples(depth.Depth, m_nSampleRate, depth.Granularity)),
                  AfxLoadString(IDS_SAMPLES).c_str());
    return text;
}

void CDlgPgASIOSettings::UpdateBufferLabel(CSliderCtrl& slider, uint32_t step,
                                           _KVX_USB_BUFFER_DEPTH& depth, std::string& text,
                                           int applyId)
{
    if (!slider.IsWindowEnabled())
        return;
    const uint32_t before = depth.Depth;
    depth.Depth = uint32_t(slider.GetPos()) * step;
    text = DepthText(depth);
    if (depth.Depth != before)
        GroupChanged(applyId);
}

void CDlgPgASIOSettings::UpdateLabels()
{
    // A value off the step grid is cut down to it here, and that is what Apply writes.
    UpdateBufferLabel(m_AsioSlider, m_AsioStep, m_AsioDepth, m_strAsio, IDC_ASIO_APPLY);
    UpdateBufferLabel(m_WdmSlider, m_WdmStep, m_WdmDepth, m_strWdm, IDC_WDM_APPLY);
    if (m_StreamSlider.IsWindowEnabled()) {
        const uint32_t before = m_StreamDepth.Current;
        m_StreamDepth.Current = uint32_t(m_StreamSlider.GetPos()) * m_StreamDepth.Step;
        m_strStream = FormatMilliseconds(m_StreamDepth.Current, AfxLoadString(IDS_MS).c_str());
        if (m_StreamDepth.Current != before)
            GroupChanged(IDC_STREAM_APPLY);
    }
    ShowTexts();
}

std::string CDlgPgASIOSettings::SpokenText(const std::string& shown)
{
    std::string spoken;
    for (char c : shown)
        spoken += c == '\n' ? std::string(", ") : std::string(1, c);
    return spoken;
}

void CDlgPgASIOSettings::ShowTexts()
{
    UpdateData(FALSE);
    m_StreamSliderAccessible.SetValue(SpokenText(m_strStream));
    m_AsioSliderAccessible.SetValue(SpokenText(m_strAsio));
    m_WdmSliderAccessible.SetValue(SpokenText(m_strWdm));
}

void CDlgPgASIOSettings::ReportDepth(const CSliderCtrl& slider, const std::string& text)
{
    IStatusHost* host = GetStatusHost();
    if (host && slider.IsWindowEnabled())
        host->SetStatusText((AfxAccessibleLabel(slider.m_hWnd) + ": " + SpokenText(text)).c_str());
}

void CDlgPgASIOSettings::OnHScroll(UINT nSBCode, UINT nPos, CWnd* pScrollBar)
{
    UpdateLabels();
    CDialogPage::OnHScroll(nSBCode, nPos, pScrollBar);
}

void CDlgPgASIOSettings::OnShowWindow(BOOL bShow, UINT nStatus)
{
    CDialogPage::OnShowWindow(bShow, nStatus);
    // Sent before the page's own visibility changes: it is taken from the message.
    PollStatistics(IsSeenOnScreen(bShow != FALSE));
    Refresh();
}

void CDlgPgASIOSettings::FollowScreenVisibility()
{
    PollStatistics(IsSeenOnScreen(m_hWnd && (GetStyle() & WS_VISIBLE) != 0));
}

bool CDlgPgASIOSettings::IsSeenOnScreen(bool pageShown) const
{
    if (!pageShown || !m_hWnd)
        return false;
    const HWND parent = ::GetParent(m_hWnd);
    const HWND top = ::GetAncestor(m_hWnd, GA_ROOT);
    return (!parent || ::IsWindowVisible(parent)) && !(top && ::IsIconic(top));
}

void CDlgPgASIOSettings::PollStatistics(bool poll)
{
    if (CDropOutMonitor* monitor = m_DropOuts.Monitor())
        monitor->SetPageSeen(poll);
}

void CDlgPgASIOSettings::ShowDropOuts()
{
    if (!m_hWnd)
        return;
    m_DropOuts.Update();
    // Only a text that changed is set: a screen reader is not told of the count every second.
    ShowTexts();
}

// Each depth goes into its record as the driver has it now; the refresh then shows what the
// driver holds, so a refused change springs back, and the user is told why. The streams
// restart only for a depth the driver took.
void CDlgPgASIOSettings::OnApplyStream()
{
    const CWriteResult result = theDrv.StoreStreamDepth(m_StreamDepth.Current);
    Applied(result, true, m_StreamSlider, m_strStream, IDS_SUBJECT_STREAM_DEPTH);
}

void CDlgPgASIOSettings::OnApplyAsio()
{
    const CWriteResult result = theDrv.StoreAsioDepth(m_AsioDepth.Depth);
    Applied(result, false, m_AsioSlider, m_strAsio, IDS_SUBJECT_ASIO_DEPTH);
}

void CDlgPgASIOSettings::OnApplyWdm()
{
    const CWriteResult result = theDrv.StoreWdmDepth(m_WdmDepth.Depth);
    Applied(result, true, m_WdmSlider, m_strWdm, IDS_SUBJECT_WDM_DEPTH);
}

void CDlgPgASIOSettings::Applied(const CWriteResult& result, bool restartStreams,
                                 const CSliderCtrl& slider, const std::string& text, UINT subjectId)
{
    // Streams left stopped by a restart that failed are told, never passed over.
    const DWORD restart =
        restartStreams && result.outcome == CWriteOutcome::Applied ? theDrv.RestartStreams() : 0;
    Refresh();
    ReportDepth(slider, text);
    if (TellWriteOutcome(result, subjectId) && restart != 0)
        TellRestartFailure(restart, subjectId);
}
