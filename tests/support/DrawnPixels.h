// What a window has drawn on the screen: the pixels of its client area, and the bar graph's
// bars as they are seen there, for the colour and scaling suites.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
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

// A known hour of drop-outs per minute, as the graph shows it column by column on the screen:
// a bar in the highlight colour for each minute that had any, in order, the tallest from the
// frame to the top, each other its share of that (to a pixel); the frame in the text colour
// around the window colour.
inline void ExpectBarsDrawn(CBarGraph& graph)
{
    std::vector<uint32_t> values(60, 0);
    values[3] = 2, values[20] = 4, values[21] = 1, values[59] = 8;
    graph.SetValues(values, "");
    RECT client;
    GetClientRect(graph.m_hWnd, &client);
    const std::vector<COLORREF> pixels = DrawnPixels(graph.m_hWnd, client);
    const int width = client.right, height = client.bottom;
    const int frame = AfxScaleForDpi(1, AfxGetWindowDpi(graph.m_hWnd)), full = height - 2 * frame;
    std::vector<int> bars; // the height of each run of bar columns
    for (int x = 0, last = 0; x < width; ++x) {
        int column = 0;
        for (int y = 0; y < height; ++y)
            column += pixels[size_t(y * width + x)] == GetSysColor(COLOR_HIGHLIGHT);
        if (column && column != last)
            bars.push_back(column);
        last = column;
    }
    const uint32_t tallest = *std::max_element(values.begin(), values.end());
    std::vector<int> expected;
    for (uint32_t v : values)
        if (v)
            expected.push_back(int(v * uint32_t(full) / tallest));
    EXPECT_EQ(expected, bars) << "bar heights, left to right";
    EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), pixels[0]) << "the frame";
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), pixels[size_t(frame * width + frame)]) << "the background";
}
