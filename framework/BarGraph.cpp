#include "BarGraph.h"

#include "Dpi.h"

BEGIN_MESSAGE_MAP(CBarGraph, CWnd)
ON_MESSAGE(WM_PAINT, OnPaint)
END_MESSAGE_MAP()

void CBarGraph::SetValues(const std::vector<uint32_t>& values, const std::string& spoken)
{
    if (!m_hWnd)
        return;
    if (values != m_Values) {
        m_Values = values;
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
    }
    // Made when first needed, and again for a new window: the template's control exists only
    // once the page does.
    if (m_hAccessibleFor != m_hWnd && m_Accessible.Attach(m_hWnd))
        m_hAccessibleFor = m_hWnd;
    m_Accessible.SetValue(spoken);
}

std::vector<RECT> CBarGraph::BarRects(const RECT& client, const std::vector<uint32_t>& values,
                                      int frame)
{
    std::vector<RECT> bars;
    const int left = client.left + frame, bottom = client.bottom - frame;
    const int width = client.right - frame - left, height = bottom - (client.top + frame);
    if (values.empty() || width <= 0 || height <= 0)
        return bars;
    uint32_t tallest = 0;
    for (uint32_t v : values)
        tallest = v > tallest ? v : tallest;
    const int n = int(values.size());
    for (int i = 0; i < n; ++i) {
        if (values[i] == 0)
            continue;
        const int barHeight = int(uint64_t(values[i]) * unsigned(height) / tallest);
        // Slots share the width evenly; a gap of one pixel between bars where there is room.
        const int x0 = left + i * width / n, x1 = left + (i + 1) * width / n;
        const int gap = x1 - x0 > 2 ? 1 : 0;
        bars.push_back({x0, bottom - (barHeight > 0 ? barHeight : 1), x1 - gap, bottom});
    }
    return bars;
}

LRESULT CBarGraph::OnPaint(WPARAM, LPARAM)
{
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    const int frame = AfxScaleForDpi(1, GetLayoutDpi());
    ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_WINDOW));
    const HBRUSH line = ::GetSysColorBrush(COLOR_WINDOWTEXT);
    for (int i = 0; i < frame; ++i) {
        RECT edge = {client.left + i, client.top + i, client.right - i, client.bottom - i};
        ::FrameRect(dc, &edge, line);
    }
    for (const RECT& bar : BarRects(client, m_Values, frame))
        ::FillRect(dc, &bar, ::GetSysColorBrush(COLOR_HIGHLIGHT));
    ::EndPaint(m_hWnd, &ps);
    return 0;
}
