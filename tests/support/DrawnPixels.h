// What a window has drawn on the screen: the pixels of its client area, and the bar graph's
// bars as they are seen there, for the colour and scaling suites.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "BarGraph.h"
#include "Dpi.h"

// The pixels of a rectangle of the window's client area as it is drawn on the screen.
inline std::vector<COLORREF> DrawnPixels(HWND hwnd, const RECT& rect)
{
    UpdateWindow(hwnd);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    BITMAPINFO format = {};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC window = GetDC(hwnd), memory = CreateCompatibleDC(window);
    HBITMAP bitmap = CreateDIBSection(window, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, window, rect.left, rect.top, SRCCOPY);
    std::vector<COLORREF> pixels;
    for (int i = 0; i < width * height; ++i) {
        const DWORD pixel = static_cast<const DWORD*>(bits)[i];
        pixels.push_back(RGB(BYTE(pixel >> 16), BYTE(pixel >> 8), BYTE(pixel)));
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(hwnd, window);
    return pixels;
}

// An hour of drop-outs per minute with bars of every height, a lone bar and empty minutes.
inline std::vector<uint32_t> KnownDropOutHistory()
{
    std::vector<uint32_t> minutes(60, 0);
    for (size_t i = 0; i < minutes.size(); i += 3)
        minutes[i] = uint32_t(i % 13);
    minutes[59] = 20;
    return minutes;
}

// The graph shows these values as BarRects lays them out, column by column, in the highlight
// colour on the window colour within a frame in the text colour.
inline void ExpectBarsDrawn(CBarGraph& graph, const std::vector<uint32_t>& values)
{
    graph.SetValues(values, "");
    RECT client;
    GetClientRect(graph.m_hWnd, &client);
    const std::vector<COLORREF> pixels = DrawnPixels(graph.m_hWnd, client);
    const int width = client.right, height = client.bottom;
    const int frame = AfxScaleForDpi(1, AfxGetWindowDpi(graph.m_hWnd));
    std::vector<int> expected(size_t(width), 0), seen(size_t(width), 0);
    for (const RECT& bar : CBarGraph::BarRects(client, values, frame))
        for (int x = bar.left; x < bar.right; ++x)
            expected[size_t(x)] = bar.bottom - bar.top;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            seen[size_t(x)] += pixels[size_t(y * width + x)] == GetSysColor(COLOR_HIGHLIGHT);
    EXPECT_EQ(expected, seen) << "bar heights column by column";
    EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), pixels[0]) << "the frame";
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), pixels[size_t(frame * width + frame)]) << "the background";
}
