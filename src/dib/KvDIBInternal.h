// Pieces shared by the sources of the DIB unit: blocks of the global heap and the device context the
// conversions draw through.
#pragma once

#include "dib/KvDIB.h"

#include <cstddef>

namespace kv::dibunit {

// A zero-filled movable block, locked for its whole life; null when it cannot be had.
BITMAPINFOHEADER* allocDib(std::size_t bytes);
// Grows (or shrinks) a DIB's block; null (and the old block still valid) when it cannot.
BITMAPINFOHEADER* reallocDib(BITMAPINFOHEADER* dib, std::size_t bytes);

// The device context of the window that has the keyboard focus, or of the screen when none has it.
class FocusDC {
  public:
    FocusDC() : m_window(win::GetFocus()), m_dc(win::GetDC(m_window)) {}
    ~FocusDC() {
        if (m_dc) win::ReleaseDC(m_window, m_dc);
    }
    FocusDC(const FocusDC&) = delete;
    FocusDC& operator=(const FocusDC&) = delete;
    win::HDC Get() const { return m_dc; }

  private:
    win::HWND m_window;
    win::HDC m_dc;
};

// Selects a palette into a DC as a foreground palette and realises it; selects the previous one back
// when it goes. A null palette selects nothing.
class SelectedPalette {
  public:
    SelectedPalette(win::HDC dc, win::HPALETTE palette) : m_dc(dc) {
        if (!palette) return;
        m_previous = win::SelectPalette(dc, palette, win::FALSE);
        win::RealizePalette(dc);
    }
    ~SelectedPalette() {
        if (m_previous) win::SelectPalette(m_dc, m_previous, win::FALSE);
    }
    SelectedPalette(const SelectedPalette&) = delete;
    SelectedPalette& operator=(const SelectedPalette&) = delete;

  private:
    win::HDC m_dc;
    win::HPALETTE m_previous = nullptr;
};

} // namespace kv::dibunit
