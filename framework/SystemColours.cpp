#include "SystemColours.h"

#include "AfxApp.h"
#include "ScopedHandle.h"

#include <vector>

namespace {

bool HighContrastIsOn()
{
    HIGHCONTRASTA scheme = {sizeof scheme, 0, nullptr};
    return ::SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof scheme, &scheme, 0) &&
           (scheme.dwFlags & HCF_HIGHCONTRASTON);
}

// Below half the luminance of white (ITU-R BT.601 weights).
bool IsDark(COLORREF colour)
{
    return 299 * GetRValue(colour) + 587 * GetGValue(colour) + 114 * GetBValue(colour) < 1000 * 128;
}

// The icon's pixels, top row first, as 32-bit BGRA, and each pixel's coverage from 0 to 255:
// its alpha where the drawing has one, else opaque where its mask is clear.
bool ReadCoverage(HICON icon, int size, std::vector<BYTE>* coverage)
{
    ICONINFO info = {};
    if (!::GetIconInfo(icon, &info))
        return false;
    const CBitmapHandle colourBitmap(info.hbmColor), maskBitmap(info.hbmMask);
    BITMAPINFO format = {};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), size, -size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<DWORD> colour(size_t(size) * size), mask(size_t(size) * size);
    HDC screen = ::GetDC(nullptr);
    const bool read =
        info.hbmColor && info.hbmMask &&
        ::GetDIBits(screen, info.hbmColor, 0, size, colour.data(), &format, DIB_RGB_COLORS) ==
            size &&
        ::GetDIBits(screen, info.hbmMask, 0, size, mask.data(), &format, DIB_RGB_COLORS) == size;
    ::ReleaseDC(nullptr, screen);
    if (!read)
        return false;
    bool hasAlpha = false;
    for (DWORD pixel : colour)
        hasAlpha = hasAlpha || (pixel >> 24) != 0;
    coverage->resize(colour.size());
    for (size_t i = 0; i < colour.size(); ++i)
        (*coverage)[i] = hasAlpha ? BYTE(colour[i] >> 24) : ((mask[i] & 0xFFFFFF) ? 0 : 255);
    return true;
}

} // namespace

bool AfxUseOneColourIcons()
{
    return HighContrastIsOn() || IsDark(::GetSysColor(COLOR_WINDOW));
}

HICON AfxLoadIconInColour(UINT id, int size, COLORREF colour)
{
    const CIconHandle drawing(static_cast<HICON>(::LoadImageA(
        AfxGetResourceHandle(), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
    std::vector<BYTE> coverage;
    if (!drawing || !ReadCoverage(drawing.Get(), size, &coverage))
        return nullptr;
    // Every pixel in the colour, as opaque as the drawing was there; the mask for those who
    // draw without alpha.
    DWORD* pixel = nullptr;
    const CBitmapHandle pixels(AfxCreatePixelBitmap(size, size, &pixel));
    if (!pixels)
        return nullptr;
    const DWORD rgb =
        DWORD(GetRValue(colour)) << 16 | DWORD(GetGValue(colour)) << 8 | GetBValue(colour);
    for (size_t i = 0; i < coverage.size(); ++i)
        pixel[i] = DWORD(coverage[i]) << 24 | rgb;
    const CBitmapHandle mask(AfxCreateMaskBitmap(
        size, size, [&](int x, int y) { return coverage[size_t(y) * size + x] == 0; }));
    ICONINFO made = {TRUE, 0, 0, mask.Get(), pixels.Get()};
    return mask ? ::CreateIconIndirect(&made) : nullptr;
}

HICON AfxLoadIconForColours(UINT id, UINT oneColourId, int size, int nColourIndex)
{
    if (AfxUseOneColourIcons())
        return AfxLoadIconInColour(oneColourId, size, ::GetSysColor(nColourIndex));
    return static_cast<HICON>(::LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(id), IMAGE_ICON,
                                           size, size, LR_DEFAULTCOLOR));
}

bool AfxIsColourChange(UINT message, WPARAM wParam)
{
    return message == WM_SYSCOLORCHANGE ||
           (message == WM_SETTINGCHANGE && wParam == SPI_SETHIGHCONTRAST);
}

HBITMAP AfxCreatePixelBitmap(int width, int height, DWORD** pixels)
{
    BITMAPINFO format = {};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && !bits) {
        ::DeleteObject(bitmap);
        bitmap = nullptr;
    }
    *pixels = static_cast<DWORD*>(bits);
    return bitmap;
}

HBITMAP AfxCreateMaskBitmap(int width, int height, const std::function<bool(int, int)>& clear)
{
    // CreateBitmap takes rows of whole 16-bit words.
    const size_t stride = size_t(width + 15) / 16 * 2;
    std::vector<BYTE> bits(stride * height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (clear(x, y))
                bits[y * stride + x / 8] |= BYTE(0x80 >> (x % 8));
    return ::CreateBitmap(width, height, 1, 1, bits.data());
}
