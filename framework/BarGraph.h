// A small bar graph in place of a static control of a dialog template: one bar per value, the
// tallest reaching the top, drawn with GDI in the system colours (window background, text-
// coloured frame, bars in the highlight colour), so it reads under high contrast and at every
// DPI. A screen reader hears its label as its name and the text given as its value.
//
//     DDX_Control(pDX, IDC_GRAPH, m_Graph);   // a "Static" placeholder in the template
//     m_Graph.SetValues(perMinute, "12 drop-outs in the last hour, the last at 14:03");
#pragma once

#include <string>
#include <vector>

#include "AfxAccessible.h"
#include "AfxWnd.h"

class CBarGraph : public CWnd {
public:
    // Redraws when the values change; the spoken value follows the text.
    void SetValues(const std::vector<uint32_t>& values, const std::string& spoken);
    const std::vector<uint32_t>& Values() const { return m_Values; }

    // The bars inside a client rectangle, one per value that is not 0, from the left: each
    // value has an equal slot within the frame line (frame pixels wide), and a bar's height is
    // its share of the tallest, at least one pixel.
    static std::vector<RECT> BarRects(const RECT& client, const std::vector<uint32_t>& values,
                                      int frame);

protected:
    LRESULT OnPaint(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    std::vector<uint32_t> m_Values;
    CAccessibleControl m_Accessible;
    HWND m_hAccessibleFor = nullptr;
};
