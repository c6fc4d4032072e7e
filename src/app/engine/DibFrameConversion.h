// The frame conversion the command line uses: DIB_DIBToBitmap into two handles.
#pragma once

#include "app/engine/ExtractionInputs.h"

namespace app {

class DibFrameConversion : public IFrameConversion {
public:
    void btnExtractClick(win::BITMAPINFOHEADER* dib) override;
    win::HBITMAP FrameBitmap() const override { return m_bitmap; }
    win::HPALETTE FramePalette() const override { return m_palette; }

private:
    win::HBITMAP m_bitmap = nullptr;
    win::HPALETTE m_palette = nullptr;
};

} // namespace app
