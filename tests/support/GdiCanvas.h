// Test helpers for drawing: a bitmap selected into its own memory DC, read and written as raw pixel
// values straight from its memory (independently of the GDI pixel code under test).
#pragma once

#include "platform/gdi/Gdi.h"
#include "platform/gdi/GdiAccess.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

namespace win {

inline std::ostream& operator<<(std::ostream& out, const RECT& r) {
    return out << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}

} // namespace win

namespace testgdi {

// A DIB section of 1, 4, 8, 16, 24 or 32 bits; colours fill the table of 8 bits and less.
inline win::HBITMAP Section(int w, int h, int bpp, const std::vector<win::RGBQUAD>& colours = {}) {
    struct {
        win::BITMAPINFOHEADER h;
        win::RGBQUAD c[256];
    } info{};
    info.h = win::BITMAPINFOHEADER{
        40, w, h, 1, win::WORD(bpp), win::BI_RGB, 0, 0, 0, win::DWORD(colours.size()), 0};
    for (std::size_t i = 0; i < colours.size() && i < 256; ++i)
        info.c[i] = colours[i];
    void* bits = nullptr;
    return win::CreateDIBSection(nullptr, reinterpret_cast<win::BITMAPINFO*>(&info), win::DIB_RGB_COLORS,
                                 &bits, nullptr, 0);
}

// 256 grey levels: index i is RGB(i, i, i).
inline std::vector<win::RGBQUAD> Greys() {
    std::vector<win::RGBQUAD> table;
    for (int i = 0; i < 256; ++i)
        table.push_back(win::RGBQUAD{win::BYTE(i), win::BYTE(i), win::BYTE(i), 0});
    return table;
}

class Canvas {
  public:
    explicit Canvas(win::HBITMAP bitmap) : m_bitmap(bitmap), m_dc(win::CreateCompatibleDC(nullptr)) {
        EXPECT_TRUE(m_bitmap && m_dc);
        m_old = win::SelectObject(m_dc, m_bitmap);
        EXPECT_TRUE(m_old);
        win::gdi::GetBitmapData(m_bitmap, m_data);
    }
    ~Canvas() {
        win::SelectObject(m_dc, m_old);
        win::DeleteDC(m_dc);
        win::DeleteObject(m_bitmap);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    win::HDC dc() const { return m_dc; }
    win::HBITMAP bitmap() const { return m_bitmap; }
    int Width() const { return m_data.width; }
    int Height() const { return m_data.height; }

    std::uint32_t Value(int x, int y) const {
        const std::uint8_t* row = m_data.Row(y);
        switch (m_data.bpp) {
        case 1:
            return (row[x / 8] >> (7 - x % 8)) & 1;
        case 4:
            return (row[x / 2] >> (x % 2 ? 0 : 4)) & 15;
        case 8:
            return row[x];
        default: {
            std::uint32_t v = 0;
            const int bytes = m_data.bpp / 8;
            for (int i = 0; i < bytes; ++i)
                v |= std::uint32_t(row[x * bytes + i]) << (8 * i);
            return v;
        }
        }
    }
    void SetValue(int x, int y, std::uint32_t v) {
        std::uint8_t* row = m_data.Row(y);
        switch (m_data.bpp) {
        case 1:
            row[x / 8] = std::uint8_t((row[x / 8] & ~(1 << (7 - x % 8))) | ((v & 1) << (7 - x % 8)));
            return;
        case 4:
            row[x / 2] =
                std::uint8_t((row[x / 2] & ~(15 << (x % 2 ? 0 : 4))) | ((v & 15) << (x % 2 ? 0 : 4)));
            return;
        case 8:
            row[x] = std::uint8_t(v);
            return;
        default:
            for (int i = 0; i < m_data.bpp / 8; ++i)
                row[x * (m_data.bpp / 8) + i] = std::uint8_t(v >> (8 * i));
        }
    }
    // All pixel values, row by row from the top.
    std::vector<std::uint32_t> Values() const {
        std::vector<std::uint32_t> out;
        for (int y = 0; y < Height(); ++y)
            for (int x = 0; x < Width(); ++x)
                out.push_back(Value(x, y));
        return out;
    }
    void Fill(std::uint32_t v) {
        for (int y = 0; y < Height(); ++y)
            for (int x = 0; x < Width(); ++x)
                SetValue(x, y, v);
    }

  private:
    win::HBITMAP m_bitmap;
    win::HDC m_dc;
    win::HGDIOBJ m_old = nullptr;
    win::gdi::BitmapData m_data;
};

// Blue-green-red value of a 24- or 32-bit pixel for a colour.
constexpr std::uint32_t Bgr(win::COLORREF c) {
    return win::GetBValue(c) | (win::GetGValue(c) << 8) | (std::uint32_t(win::GetRValue(c)) << 16);
}

} // namespace testgdi
