// Test helpers for the library's controls: an off-screen bitmap to draw on and read back, and counters
// of the repaint requests a control makes.
#pragma once

#include "platform/ui/Canvas.h"
#include "platform/ui/Graphics.h"

#include <functional>

namespace kvtest {

// A bitmap of the given size filled with one colour; pixels read back as RGB colours.
class Surface {
  public:
    Surface(int width, int height, host::TColor background = host::clWhite) {
        m_bitmap.SetSize(width, height);
        Fill(background);
    }
    host::TCanvas& Canvas() { return m_bitmap.GetCanvas(); }
    host::TBitmap& Bitmap() { return m_bitmap; }
    int Width() const { return m_bitmap.GetWidth(); }
    int Height() const { return m_bitmap.GetHeight(); }
    host::TColor At(int x, int y) { return Canvas().GetPixels(x, y); }
    void Fill(host::TColor colour) {
        Canvas().GetBrush().SetColor(colour);
        Canvas().FillRect(host::Rect(0, 0, Width(), Height()));
    }
    // Number of pixels in the rectangle for which pred holds.
    int Count(const host::TRect& r, const std::function<bool(host::TColor)>& pred) {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                n += pred(At(x, y)) ? 1 : 0;
        return n;
    }
    int CountColour(const host::TRect& r, host::TColor colour) {
        return Count(r, [colour](host::TColor c) { return c == colour; });
    }

  private:
    host::TBitmap m_bitmap;
};

// Bitmap pixels as RGB colours (for bitmaps painted by PaintTo).
inline host::TColor PixelOf(host::TBitmap& bitmap, int x, int y) {
    return bitmap.GetCanvas().GetPixels(x, y);
}

// A control class that counts its deferred (Invalidate) and immediate (Repaint) repaint requests
// instead of painting.
template <typename Control> class Counting : public Control {
  public:
    using Control::Control;
    int invalidates = 0;
    int repaints = 0;
    void Invalidate() override { ++invalidates; }
    void Repaint() override { ++repaints; }
};

} // namespace kvtest
