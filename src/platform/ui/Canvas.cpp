// Colours and the drawing objects: font, pen and brush with their lazily made GDI handles.
#include "platform/ui/Canvas.h"

#include "platform/win/WinMath.h"

#include <cstring>

namespace host {
namespace {

// Stores value in slot and reports whether it changed.
template <typename T> bool store(T& slot, const T& value) {
    if (slot == value) return false;
    slot = value;
    return true;
}

// The longest prefix of a UTF-8 text of at most max bytes that ends at a character boundary.
std::size_t utf8Prefix(const std::string& text, std::size_t max) {
    if (text.size() <= max) return text.size();
    std::size_t n = max;
    while (n > 0 && (std::uint8_t(text[n]) & 0xC0) == 0x80)
        --n;
    return n;
}

} // namespace

win::COLORREF ColorToRGB(TColor color) {
    if (color < 0) return win::GetSysColor(int(color & 0xFF));
    return win::COLORREF(color);
}

void TGraphicsObject::Changed() {
    win::HGDIOBJ old = takeHandle();
    if (OnChange) OnChange(this);
    if (old) win::DeleteObject(old);
}

// ---- font ----

TFont::TFont() : m_name("ＭＳ Ｐゴシック"), m_height(-win::MulDiv(9, 96, 72)) {}

TFont::~TFont() {
    if (m_handle) win::DeleteObject(m_handle);
}

win::HGDIOBJ TFont::takeHandle() {
    win::HGDIOBJ old = m_handle;
    m_handle = nullptr;
    return old;
}

void TFont::Assign(const TPersistent* source) {
    auto* font = dynamic_cast<const TFont*>(source);
    if (!font) return TPersistent::Assign(source);
    if (font == this) return;
    bool changed = store(m_name, font->m_name);
    changed |= store(m_height, font->m_height);
    changed |= store(m_color, font->m_color);
    changed |= store(m_style, font->m_style);
    changed |= store(m_charset, font->m_charset);
    changed |= store(m_pitch, font->m_pitch);
    m_pixelsPerInch = font->m_pixelsPerInch;
    if (changed) Changed();
}

win::LOGFONTA TFont::LogFont() const {
    win::LOGFONTA lf{};
    lf.lfHeight = m_height;
    lf.lfWeight = m_style.Contains(TFontStyle::fsBold) ? win::FW_BOLD : win::FW_NORMAL;
    lf.lfItalic = m_style.Contains(TFontStyle::fsItalic) ? 1 : 0;
    lf.lfUnderline = m_style.Contains(TFontStyle::fsUnderline) ? 1 : 0;
    lf.lfStrikeOut = m_style.Contains(TFontStyle::fsStrikeOut) ? 1 : 0;
    lf.lfCharSet = m_charset;
    lf.lfQuality = win::DEFAULT_QUALITY;
    switch (m_pitch) {
    case TFontPitch::fpDefault:
        lf.lfPitchAndFamily = win::DEFAULT_PITCH;
        break;
    case TFontPitch::fpVariable:
        lf.lfPitchAndFamily = win::VARIABLE_PITCH;
        break;
    case TFontPitch::fpFixed:
        lf.lfPitchAndFamily = win::FIXED_PITCH;
        break;
    }
    std::memcpy(lf.lfFaceName, m_name.data(), utf8Prefix(m_name, win::LF_FACESIZE - 1));
    return lf;
}

win::HFONT TFont::GetHandle() {
    if (!m_handle) {
        const win::LOGFONTA lf = LogFont();
        m_handle = win::CreateFontIndirectA(&lf);
    }
    return m_handle;
}

void TFont::SetName(const std::string& name) {
    if (store(m_name, name)) Changed();
}

void TFont::SetHeight(int height) {
    if (store(m_height, height)) Changed();
}

int TFont::GetSize() const {
    return -win::MulDiv(m_height, 72, m_pixelsPerInch);
}

void TFont::SetSize(int size) {
    SetHeight(-win::MulDiv(size, m_pixelsPerInch, 72));
}

void TFont::SetColor(TColor color) {
    if (store(m_color, color)) Changed();
}

void TFont::SetStyle(TFontStyles style) {
    if (store(m_style, style)) Changed();
}

void TFont::SetCharset(TFontCharset charset) {
    if (store(m_charset, charset)) Changed();
}

void TFont::SetPitch(TFontPitch pitch) {
    if (store(m_pitch, pitch)) Changed();
}

// ---- pen ----

int PenModeToROP2(TPenMode mode) {
    switch (mode) {
    case TPenMode::pmBlack:
        return win::R2_BLACK;
    case TPenMode::pmWhite:
        return win::R2_WHITE;
    case TPenMode::pmNop:
        return win::R2_NOP;
    case TPenMode::pmNot:
        return win::R2_NOT;
    case TPenMode::pmCopy:
        return win::R2_COPYPEN;
    case TPenMode::pmNotCopy:
        return win::R2_NOTCOPYPEN;
    case TPenMode::pmMergePenNot:
        return win::R2_MERGEPENNOT;
    case TPenMode::pmMaskPenNot:
        return win::R2_MASKPENNOT;
    case TPenMode::pmMergeNotPen:
        return win::R2_MERGENOTPEN;
    case TPenMode::pmMaskNotPen:
        return win::R2_MASKNOTPEN;
    case TPenMode::pmMerge:
        return win::R2_MERGEPEN;
    case TPenMode::pmNotMerge:
        return win::R2_NOTMERGEPEN;
    case TPenMode::pmMask:
        return win::R2_MASKPEN;
    case TPenMode::pmNotMask:
        return win::R2_NOTMASKPEN;
    case TPenMode::pmXor:
        return win::R2_XORPEN;
    case TPenMode::pmNotXor:
        return win::R2_NOTXORPEN;
    }
    return win::R2_COPYPEN;
}

TPen::~TPen() {
    if (m_handle) win::DeleteObject(m_handle);
}

win::HGDIOBJ TPen::takeHandle() {
    win::HGDIOBJ old = m_handle;
    m_handle = nullptr;
    return old;
}

void TPen::Assign(const TPersistent* source) {
    auto* pen = dynamic_cast<const TPen*>(source);
    if (!pen) return TPersistent::Assign(source);
    if (pen == this) return;
    bool changed = store(m_color, pen->m_color);
    changed |= store(m_width, pen->m_width);
    changed |= store(m_style, pen->m_style);
    changed |= store(m_mode, pen->m_mode);
    if (changed) Changed();
}

win::HPEN TPen::GetHandle() {
    if (!m_handle) m_handle = win::CreatePen(int(m_style), m_width, ColorToRGB(m_color));
    return m_handle;
}

void TPen::SetColor(TColor color) {
    if (store(m_color, color)) Changed();
}

void TPen::SetWidth(int width) {
    if (store(m_width, width < 1 ? 1 : width)) Changed();
}

void TPen::SetStyle(TPenStyle style) {
    if (store(m_style, style)) Changed();
}

void TPen::SetMode(TPenMode mode) {
    if (store(m_mode, mode)) Changed();
}

// ---- brush ----

TBrush::~TBrush() {
    if (m_handle) win::DeleteObject(m_handle);
}

win::HGDIOBJ TBrush::takeHandle() {
    win::HGDIOBJ old = m_handle;
    m_handle = nullptr;
    return old;
}

void TBrush::Assign(const TPersistent* source) {
    auto* brush = dynamic_cast<const TBrush*>(source);
    if (!brush) return TPersistent::Assign(source);
    if (brush == this) return;
    bool changed = store(m_color, brush->m_color);
    changed |= store(m_style, brush->m_style);
    if (changed) Changed();
}

win::HBRUSH TBrush::GetHandle() {
    if (!m_handle) {
        m_handle = m_style == TBrushStyle::bsClear
                       ? static_cast<win::HBRUSH>(win::GetStockObject(win::NULL_BRUSH))
                       : win::CreateSolidBrush(ColorToRGB(m_color));
    }
    return m_handle;
}

void TBrush::SetColor(TColor color) {
    bool changed = store(m_color, color);
    changed |= store(m_style, TBrushStyle::bsSolid);
    if (changed) Changed();
}

void TBrush::SetStyle(TBrushStyle style) {
    if (store(m_style, style)) Changed();
}

} // namespace host
