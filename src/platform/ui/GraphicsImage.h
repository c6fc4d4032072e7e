// The shared image behind TBitmap copies and the bitmap's canvas (private to the bitmap's sources).
#pragma once

#include "platform/gdi/GdiAccess.h"
#include "platform/ui/Graphics.h"

#include <atomic>

namespace host {

struct TBitmap::Image {
    std::atomic<int> refs{1};
    win::HBITMAP handle = nullptr;
    win::HPALETTE palette = nullptr;
    win::gdi::BitmapData data; // describes handle; shares its pixel memory

    Image() = default;
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
    ~Image() {
        if (handle) win::DeleteObject(handle);
        if (palette) win::DeleteObject(palette);
    }
};

// The canvas of a bitmap: a memory DC with the image's bitmap (and palette) selected, made on the first
// drawing call. Before each drawing call the bitmap unshares its image, so the canvas never writes into
// pixels another copy shares.
class TBitmap::BitmapCanvas : public TCanvas {
  public:
    explicit BitmapCanvas(TBitmap& bitmap) : m_bitmap(bitmap) {}
    ~BitmapCanvas() override { FreeContext(); }
    // Deselects the bitmap and palette and deletes the DC.
    void FreeContext();
    // The bitmap handle this canvas's DC holds, if any.
    win::HBITMAP Selected() const { return m_selected; }

  protected:
    void CreateHandle() override;
    void Changing() override;

  private:
    TBitmap& m_bitmap;
    win::HBITMAP m_selected = nullptr;
    win::HGDIOBJ m_oldBitmap = nullptr;
    win::HPALETTE m_oldPalette = nullptr;
};

} // namespace host
