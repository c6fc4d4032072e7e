// Colours, the drawing objects (font, pen, brush) and the canvas: the framework's drawing surface over a
// device context. A canvas owns one font, pen and brush; before each drawing call it makes sure that
// their current GDI objects are selected into its DC and the DC's text colour, background colour and
// mode, and mix mode match them, so callers only set properties and draw.
#pragma once

#include "platform/gdi/Gdi.h"
#include "platform/ui/Classes.h"
#include "platform/ui/SysUtils.h"
#include "platform/ui/Types.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace host {

class TBitmap;

// ---- colours ----

// A colour: an RGB value (red in the low byte), a system colour (0x80000000 | COLOR_x, resolved at
// drawing time through the current system colour table), clNone or clDefault.
using TColor = std::int32_t;

constexpr TColor clSystemColor = TColor(0x80000000u);

constexpr TColor clScrollBar = clSystemColor | win::COLOR_SCROLLBAR;
constexpr TColor clBackground = clSystemColor | win::COLOR_BACKGROUND;
constexpr TColor clActiveCaption = clSystemColor | win::COLOR_ACTIVECAPTION;
constexpr TColor clInactiveCaption = clSystemColor | win::COLOR_INACTIVECAPTION;
constexpr TColor clMenu = clSystemColor | win::COLOR_MENU;
constexpr TColor clWindow = clSystemColor | win::COLOR_WINDOW;
constexpr TColor clWindowFrame = clSystemColor | win::COLOR_WINDOWFRAME;
constexpr TColor clMenuText = clSystemColor | win::COLOR_MENUTEXT;
constexpr TColor clWindowText = clSystemColor | win::COLOR_WINDOWTEXT;
constexpr TColor clCaptionText = clSystemColor | win::COLOR_CAPTIONTEXT;
constexpr TColor clActiveBorder = clSystemColor | win::COLOR_ACTIVEBORDER;
constexpr TColor clInactiveBorder = clSystemColor | win::COLOR_INACTIVEBORDER;
constexpr TColor clAppWorkSpace = clSystemColor | win::COLOR_APPWORKSPACE;
constexpr TColor clHighlight = clSystemColor | win::COLOR_HIGHLIGHT;
constexpr TColor clHighlightText = clSystemColor | win::COLOR_HIGHLIGHTTEXT;
constexpr TColor clBtnFace = clSystemColor | win::COLOR_BTNFACE;
constexpr TColor clBtnShadow = clSystemColor | win::COLOR_BTNSHADOW;
constexpr TColor clGrayText = clSystemColor | win::COLOR_GRAYTEXT;
constexpr TColor clBtnText = clSystemColor | win::COLOR_BTNTEXT;
constexpr TColor clInactiveCaptionText = clSystemColor | win::COLOR_INACTIVECAPTIONTEXT;
constexpr TColor clBtnHighlight = clSystemColor | win::COLOR_BTNHIGHLIGHT;
constexpr TColor cl3DDkShadow = clSystemColor | win::COLOR_3DDKSHADOW;
constexpr TColor cl3DLight = clSystemColor | win::COLOR_3DLIGHT;
constexpr TColor clInfoText = clSystemColor | win::COLOR_INFOTEXT;
constexpr TColor clInfoBk = clSystemColor | win::COLOR_INFOBK;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clLtGray = 0xC0C0C0;
constexpr TColor clDkGray = 0x808080;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

// The RGB value of a colour: system colours through GetSysColor, RGB values as they are (clNone and
// clDefault keep their values, as the platform's GDI takes them).
win::COLORREF ColorToRGB(TColor color);

// ---- drawing objects ----

// The base of font, pen and brush: a persistent object that reports every change of a property through
// OnChange (after the new value is stored) and makes its GDI object lazily, on the first Handle request
// after a change. A handle is owned by its object and freed when the object changes or dies; it must
// not be deleted by callers.
class TGraphicsObject : public TPersistent {
  public:
    TNotifyEvent OnChange;

  protected:
    // Runs OnChange, then frees the handle made for the previous state (a canvas takes it out of its DC
    // in its OnChange handler, so it can be deleted).
    void Changed();
    // Gives up the handle (the caller deletes it); 0 when there is none.
    virtual win::HGDIOBJ takeHandle() = 0;
};

enum class TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };

// A set of font styles.
class TFontStyles {
  public:
    constexpr TFontStyles() = default;
    constexpr TFontStyles(std::initializer_list<TFontStyle> styles) {
        for (TFontStyle s : styles)
            m_bits |= bit(s);
    }
    constexpr bool Contains(TFontStyle s) const { return (m_bits & bit(s)) != 0; }
    constexpr TFontStyles& Include(TFontStyle s) {
        m_bits |= bit(s);
        return *this;
    }
    constexpr TFontStyles& Exclude(TFontStyle s) {
        m_bits &= ~bit(s);
        return *this;
    }
    constexpr bool Empty() const { return m_bits == 0; }
    constexpr bool operator==(const TFontStyles&) const = default;

  private:
    static constexpr unsigned bit(TFontStyle s) { return 1u << unsigned(s); }
    unsigned m_bits = 0;
};

enum class TFontPitch { fpDefault, fpVariable, fpFixed };

using TFontCharset = std::uint8_t;

// A font: face name (UTF-8; the handle's face keeps at most 31 bytes of it), height in pixels (negative:
// character height, as LOGFONT) or size in points at PixelsPerInch, colour, style, character set and pitch. A
// new font is the framework's default font: "ＭＳ Ｐゴシック", 9 points, clWindowText, no style,
// DEFAULT_CHARSET.
class TFont : public TGraphicsObject {
  public:
    TFont();
    ~TFont() override;

    // A font (all properties, one OnChange); anything else raises as TPersistent does.
    void Assign(const TPersistent* source) override;

    // The font made from the current properties (colour aside), created on first use.
    win::HFONT GetHandle();

    const std::string& GetName() const { return m_name; }
    void SetName(const std::string& name);
    int GetHeight() const { return m_height; }
    void SetHeight(int height);
    // Points: -Height * 72 / PixelsPerInch, rounded.
    int GetSize() const;
    void SetSize(int size);
    int GetPixelsPerInch() const { return m_pixelsPerInch; }
    // Only changes how Size converts to Height; no OnChange.
    void SetPixelsPerInch(int ppi) { m_pixelsPerInch = ppi > 0 ? ppi : 96; }
    TColor GetColor() const { return m_color; }
    void SetColor(TColor color);
    TFontStyles GetStyle() const { return m_style; }
    void SetStyle(TFontStyles style);
    TFontCharset GetCharset() const { return m_charset; }
    void SetCharset(TFontCharset charset);
    TFontPitch GetPitch() const { return m_pitch; }
    void SetPitch(TFontPitch pitch);

    // The LOGFONTA the handle is made from.
    win::LOGFONTA LogFont() const;

  protected:
    win::HGDIOBJ takeHandle() override;

  private:
    std::string m_name;
    int m_height;
    int m_pixelsPerInch = 96;
    TColor m_color = clWindowText;
    TFontStyles m_style;
    TFontCharset m_charset = win::DEFAULT_CHARSET;
    TFontPitch m_pitch = TFontPitch::fpDefault;
    win::HFONT m_handle = nullptr;
};

// Pen styles in the order of the platform's PS_ values.
enum class TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };

// How the pen (and the brush of filled shapes) combines with the pixels under it; each maps to one R2_
// mix mode (pmCopy = R2_COPYPEN, pmXor = R2_XORPEN, pmNot = R2_NOT, ...).
enum class TPenMode {
    pmBlack,
    pmWhite,
    pmNop,
    pmNot,
    pmCopy,
    pmNotCopy,
    pmMergePenNot,
    pmMaskPenNot,
    pmMergeNotPen,
    pmMaskNotPen,
    pmMerge,
    pmNotMerge,
    pmMask,
    pmNotMask,
    pmXor,
    pmNotXor
};

// The R2_ code of a pen mode.
int PenModeToROP2(TPenMode mode);

// A pen: colour, width in pixels, style and mix mode. A new pen is black, 1 pixel, psSolid, pmCopy.
class TPen : public TGraphicsObject {
  public:
    TPen() = default;
    ~TPen() override;

    void Assign(const TPersistent* source) override;

    // The pen made from colour, width and style (the mode is a DC setting), created on first use.
    win::HPEN GetHandle();

    TColor GetColor() const { return m_color; }
    void SetColor(TColor color);
    int GetWidth() const { return m_width; }
    // Widths below 1 are stored as 1.
    void SetWidth(int width);
    TPenStyle GetStyle() const { return m_style; }
    void SetStyle(TPenStyle style);
    TPenMode GetMode() const { return m_mode; }
    void SetMode(TPenMode mode);

  protected:
    win::HGDIOBJ takeHandle() override;

  private:
    TColor m_color = clBlack;
    int m_width = 1;
    TPenStyle m_style = TPenStyle::psSolid;
    TPenMode m_mode = TPenMode::pmCopy;
    win::HPEN m_handle = nullptr;
};

// bsSolid fills; bsClear leaves the inside of shapes alone and draws text without a background.
enum class TBrushStyle { bsSolid, bsClear };

// A brush: colour and style. A new brush is white and solid.
class TBrush : public TGraphicsObject {
  public:
    TBrush() = default;
    ~TBrush() override;

    void Assign(const TPersistent* source) override;

    // A solid brush of the colour, or the stock null brush for bsClear; created on first use.
    win::HBRUSH GetHandle();

    TColor GetColor() const { return m_color; }
    // Setting a colour makes a clear brush solid.
    void SetColor(TColor color);
    TBrushStyle GetStyle() const { return m_style; }
    void SetStyle(TBrushStyle style);

  protected:
    win::HGDIOBJ takeHandle() override;

  private:
    TColor m_color = clWhite;
    TBrushStyle m_style = TBrushStyle::bsSolid;
    win::HBRUSH m_handle = nullptr;
};

// ---- canvas ----

// The raster operation of CopyRect, Draw and BrushCopy.
using TCopyMode = win::DWORD;
constexpr TCopyMode cmBlackness = win::BLACKNESS;
constexpr TCopyMode cmDstInvert = win::DSTINVERT;
constexpr TCopyMode cmMergeCopy = win::MERGECOPY;
constexpr TCopyMode cmMergePaint = win::MERGEPAINT;
constexpr TCopyMode cmNotSrcCopy = win::NOTSRCCOPY;
constexpr TCopyMode cmNotSrcErase = win::NOTSRCERASE;
constexpr TCopyMode cmPatCopy = win::PATCOPY;
constexpr TCopyMode cmPatInvert = win::PATINVERT;
constexpr TCopyMode cmPatPaint = win::PATPAINT;
constexpr TCopyMode cmSrcAnd = win::SRCAND;
constexpr TCopyMode cmSrcCopy = win::SRCCOPY;
constexpr TCopyMode cmSrcErase = win::SRCERASE;
constexpr TCopyMode cmSrcInvert = win::SRCINVERT;
constexpr TCopyMode cmSrcPaint = win::SRCPAINT;
constexpr TCopyMode cmWhiteness = win::WHITENESS;

// A drawing surface over a device context. The canvas does not own a DC given with SetHandle; derived
// canvases (a bitmap's, a control's) make their own in CreateHandle and free it themselves.
//
// Every drawing call runs OnChanging first (a bitmap's canvas unshares the image there), then selects
// what it needs into the DC, draws, and runs OnChange. Coordinates are the DC's pixels; rectangles
// exclude their right and bottom edges.
class TCanvas : public TPersistent {
  public:
    // What RequiredState makes sure of before a call: a DC, and the font (with text colour), the pen
    // (with mix mode) or the brush (with background colour and mode) selected into it.
    enum State : unsigned {
        csHandleValid = 1u << 0,
        csFontValid = 1u << 1,
        csPenValid = 1u << 2,
        csBrushValid = 1u << 3,
        csAllValid = 0xFu,
    };

    TCanvas();
    ~TCanvas() override;

    // The DC; a canvas without one makes it (CreateHandle) and raises EInvalidOperation (SysUtils.h)
    // when it cannot.
    win::HDC GetHandle();
    // Uses hdc from now on (0: none). The objects selected into the previous DC are taken out of it,
    // the pen position is taken from the new one.
    void SetHandle(win::HDC hdc);
    bool HandleAllocated() const { return m_handle != nullptr; }
    // Selects into the DC what the states name; a DC is made first when needed.
    void RequiredState(unsigned states);

    TFont& GetFont() { return m_font; }
    TPen& GetPen() { return m_pen; }
    TBrush& GetBrush() { return m_brush; }
    // Copy the given object's properties into the canvas's own (one OnChange each).
    void SetFont(const TFont& font) { m_font.Assign(&font); }
    void SetPen(const TPen& pen) { m_pen.Assign(&pen); }
    void SetBrush(const TBrush& brush) { m_brush.Assign(&brush); }

    TCopyMode GetCopyMode() const { return m_copyMode; }
    void SetCopyMode(TCopyMode mode) { m_copyMode = mode; }
    // The DC's current position.
    TPoint GetPenPos();
    void SetPenPos(TPoint position) { MoveTo(position.x, position.y); }

    // ---- lines and shapes: outlines with the pen, insides with the brush ----
    void MoveTo(int x, int y);
    // A line from the pen position to (x, y), that point excluded; the pen position moves there.
    void LineTo(int x, int y);
    void Polyline(std::span<const TPoint> points);
    // A closed outline through the points, filled (alternate rule).
    void Polygon(std::span<const TPoint> points);
    void Rectangle(int x1, int y1, int x2, int y2);
    void Rectangle(const TRect& rect) { Rectangle(rect.left, rect.top, rect.right, rect.bottom); }
    // The ellipse inscribed in the rectangle.
    void Ellipse(int x1, int y1, int x2, int y2);
    void Ellipse(const TRect& rect) { Ellipse(rect.left, rect.top, rect.right, rect.bottom); }
    // A wedge of the ellipse inscribed in (x1, y1, x2, y2), counter-clockwise from the radial through
    // (x3, y3) to the radial through (x4, y4); the same radial twice gives the whole ellipse.
    void Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
    // The part of the same ellipse's outline (Arc) or the segment cut off by the chord (Chord).
    void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
    void Chord(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);

    // ---- fills ----
    // The rectangle in the brush (the pen is not used).
    void FillRect(const TRect& rect);
    // A 1-pixel frame just inside the rectangle, in the brush.
    void FrameRect(const TRect& rect);
    // Inverts every other pixel of the rectangle's frame; drawing it twice removes it.
    void DrawFocusRect(const TRect& rect);

    // ---- pixels ----
    // The colour at (x, y); clNone outside the bitmap or the clip rectangle.
    TColor GetPixels(int x, int y);
    void SetPixels(int x, int y, TColor color);

    // ---- text (UTF-8) in the font, its colour, over the brush unless the brush is clear ----
    // Text with the top left of its cell at (x, y); the pen position moves to its right end.
    void TextOut(int x, int y, const std::string& text);
    // Text at (x, y) that draws nothing outside rect; a solid brush fills rect first.
    void TextRect(const TRect& rect, int x, int y, const std::string& text);
    TSize TextExtent(const std::string& text);
    int TextWidth(const std::string& text) { return TextExtent(text).cx; }
    int TextHeight(const std::string& text) { return TextExtent(text).cy; }
    // The GDI's DrawTextA in this canvas's font, colour and background (DT_ flags); returns its result.
    int DrawText(const std::string& text, TRect& rect, win::UINT format);

    // ---- clipping ----
    // The area drawing reaches: the DC's clip rectangle within its bitmap.
    TRect GetClipRect();
    // Narrows the DC's clip rectangle to its intersection with rect.
    void IntersectClipRect(const TRect& rect);
    // Removes the DC's clip rectangle.
    void ResetClipRect();

    // ---- block transfers with CopyMode ----
    // The bitmap at (x, y) in its own size (nothing for an empty bitmap).
    void Draw(int x, int y, TBitmap& bitmap);
    // The bitmap scaled into rect.
    void StretchDraw(const TRect& rect, TBitmap& bitmap);
    // source's sourceRect into dest, scaled when the sizes differ.
    void CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect);
    // The bitmap's sourceRect into dest with the pixels of colour `color` replaced by the brush.
    void BrushCopy(const TRect& dest, TBitmap& bitmap, const TRect& sourceRect, TColor color);

    // Locking has no effect here (one thread draws into a canvas); kept so callers can bracket work.
    void Lock() { ++m_lockCount; }
    void Unlock() { --m_lockCount; }
    bool TryLock() {
        Lock();
        return true;
    }
    int LockCount() const { return m_lockCount; }

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

  protected:
    // Makes a DC and gives it to SetHandle; the base canvas has no way to and does nothing.
    virtual void CreateHandle() {}
    // Takes the canvas's font, pen and brush out of the DC (the stock objects go back in).
    void DeselectHandles();
    virtual void Changing();
    virtual void Changed();

  private:
    void fontChanged();
    void penChanged();
    void brushChanged();
    void selectFont();
    void selectPen();
    void selectBrush();
    void blt(const TRect& dest, win::HDC source, const TRect& sourceRect, win::DWORD rop);

    win::HDC m_handle = nullptr;
    unsigned m_state = 0;
    TFont m_font;
    TPen m_pen;
    TBrush m_brush;
    TCopyMode m_copyMode = cmSrcCopy;
    int m_lockCount = 0;
};

} // namespace host
