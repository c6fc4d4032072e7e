// Fonts and text for the GDI sources: measuring with a LOGFONTA and drawing glyphs into a DC's bitmap.
// Glyphs are rasterised by Qt into a coverage mask that is then combined with the bitmap by our own
// pixel code, so text reaches bitmaps of every depth and honours our clipping.
#pragma once

#include "platform/gdi/GdiSurface.h"

#include <memory>
#include <string_view>

class QFont;

namespace win::gdi {

// Makes sure a Qt GUI application exists, which font access needs. When the process has none, one is
// created on the "offscreen" platform (no display is needed or used) and kept to the end of the
// process; an application the process already has is used as it is. False when text cannot be drawn
// (the process has a non-GUI Qt application).
bool EnsureGuiApplication();

// The widget layer registers how the process's application is made, so that text drawn before the
// first window does not leave the process with an application that cannot show windows.
void SetApplicationFactory(void (*factory)());

struct FontMetrics {
    int ascent = 0;
    int descent = 0;
    int internalLeading = 0;
    int externalLeading = 0;
    int averageWidth = 0;
    int maxWidth = 0;
    int underlineOffset = 1; // below the baseline
    int lineWidth = 1;       // of underlines
    int Height() const { return ascent + descent; }
};

// A font resolved for measuring and drawing into a DC. Text is smoothed on bitmaps (or screens) of more
// than 8 bits unless the font asks not to be; glyph advances depend on that, so a DC's text is measured
// as it is drawn. Holds the text lock for its lifetime (text is rasterised one call at a time), so it
// lives only for the length of one GDI call.
class FontMeasure {
  public:
    explicit FontMeasure(const DrawContext& dc);
    ~FontMeasure();
    FontMeasure(const FontMeasure&) = delete;
    FontMeasure& operator=(const FontMeasure&) = delete;

    bool Valid() const;
    const FontMetrics& Metrics() const;
    // Advance width of UTF-8 text.
    int Width(std::string_view text) const;
    const QFont& Font() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Draws the glyphs of UTF-8 text in the DC's text colour with the top left of its cell at (left, top),
// limited to clip and the DC's clip rectangle. Nothing else is painted. False when text is unavailable.
bool PaintGlyphs(DrawContext& dc, int left, int top, std::string_view text, const RECT& clip);

} // namespace win::gdi
