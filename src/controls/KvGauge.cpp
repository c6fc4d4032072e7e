#include "controls/KvGauge.h"

#include "controls/KvPanel.h"
#include "platform/ui/Graphics.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>

namespace kv {

namespace {

constexpr std::int32_t kLowestMinValue = -2147483647;
constexpr std::int32_t kHighestMaxValue = 2147483647;

// A floating-point result truncated toward zero into the int range (values past it only arise when
// Progress was left outside a range that shrank later).
int truncToInt(double v) {
    if (!(v > double(INT_MIN))) return INT_MIN;
    if (!(v < double(INT_MAX))) return INT_MAX;
    return int(v);
}

// Nearest integer, halves to even, as the platform's rounding does.
int roundToInt(double v) {
    return truncToInt(std::nearbyint(v));
}

int widthOf(const host::TRect& r) {
    return r.right - r.left;
}
int heightOf(const host::TRect& r) {
    return r.bottom - r.top;
}

void fill(host::TCanvas& canvas, const host::TRect& rect, TColor color) {
    canvas.GetBrush().SetColor(color);
    canvas.GetBrush().SetStyle(host::TBrushStyle::bsSolid);
    canvas.FillRect(rect);
}

// Brush and 1-pixel pen for the shapes of the bar, pie and needle.
void setShapeColours(host::TCanvas& canvas, TColor brush, TColor pen) {
    canvas.GetBrush().SetColor(brush);
    canvas.GetBrush().SetStyle(host::TBrushStyle::bsSolid);
    canvas.GetPen().SetColor(pen);
    canvas.GetPen().SetWidth(1);
    canvas.GetPen().SetStyle(host::TPenStyle::psSolid);
}

} // namespace

int gaugePercentDone(std::int32_t minValue, std::int32_t maxValue, std::int32_t progress) {
    // Differences in 64 bits: a range from -2147483647 to 2147483647 does not fit 32.
    const std::int64_t range = std::int64_t(maxValue) - minValue;
    if (range == 0) return 0;
    return truncToInt(double(std::int64_t(progress) - minValue) * 100.0 / double(range));
}

int gaugeFilledLength(int percent, int length) {
    return truncToInt(length * (percent * 0.01));
}

host::TPoint gaugePieStart(int percent, int width, int height) {
    const int cx = width / 2;
    const int cy = height / 2;
    const double a = (percent / 50.0 + 0.5) * std::numbers::pi;
    return host::Point(roundToInt((1 - std::cos(a)) * cx), roundToInt((1 - std::sin(a)) * cy));
}

host::TPoint gaugeNeedleEnd(int percent, int width, int height) {
    const int cx = width / 2;
    const double a = percent / 100.0 * std::numbers::pi;
    return host::Point(roundToInt((1 - std::cos(a)) * cx), roundToInt((1 - std::sin(a)) * (height - 1)));
}

std::string gaugeText(const std::string& caption, int percent) {
    const std::string number = std::to_string(percent) + "%";
    return caption.empty() ? number : caption + " " + number;
}

TKvCustomGauge::TKvCustomGauge(host::TComponent* AOwner) : TKvGraphicControl(AOwner) {
    SetBounds(GetLeft(), GetTop(), 150, 18);
}

template <typename T> void TKvCustomGauge::setAndInvalidate(T& field, const T& value) {
    if (field == value) return;
    field = value;
    Invalidate();
}

void TKvCustomGauge::SetKind(TKvGaugeKind Value) {
    setAndInvalidate(m_kind, Value);
}
void TKvCustomGauge::SetShowText(bool Value) {
    setAndInvalidate(m_showText, Value);
}
void TKvCustomGauge::SetForeColor(TColor Value) {
    setAndInvalidate(m_foreColor, Value);
}
void TKvCustomGauge::SetBackColor(TColor Value) {
    setAndInvalidate(m_backColor, Value);
}
void TKvCustomGauge::SetCaption(const std::string& Value) {
    setAndInvalidate(m_caption, Value);
}
void TKvCustomGauge::SetBWText(bool Value) {
    setAndInvalidate(m_bwText, Value);
}

void TKvCustomGauge::SetMinValue(std::int32_t Value) {
    setAndInvalidate(m_minValue, std::clamp(Value, kLowestMinValue, std::max(m_maxValue, kLowestMinValue)));
}

void TKvCustomGauge::SetMaxValue(std::int32_t Value) {
    setAndInvalidate(m_maxValue, std::clamp(Value, m_minValue, kHighestMaxValue));
}

void TKvCustomGauge::SetProgress(std::int32_t Value) {
    Value = std::clamp(Value, m_minValue, m_maxValue);
    if (Value == m_progress) return;
    const int oldPercent = GetPercentDone();
    m_progress = Value;
    if (GetPercentDone() != oldPercent) Repaint();
}

void TKvCustomGauge::AddProgress(std::int32_t delta) {
    const std::int64_t sum = std::int64_t(m_progress) + delta;
    SetProgress(std::int32_t(std::clamp<std::int64_t>(sum, m_minValue, m_maxValue)));
}

int TKvCustomGauge::GetPercentDone() const {
    return gaugePercentDone(m_minValue, m_maxValue, m_progress);
}

void TKvCustomGauge::Paint() {
    host::TCanvas& canvas = *GetCanvas();
    const host::TRect inner = GetBevel()->PaintBevel(canvas, GetClientRect(), true);
    const int w = widthOf(inner);
    const int h = heightOf(inner);
    if (w <= 0 || h <= 0) return;
    host::TBitmap image;
    image.SetSize(w, h);
    const host::TRect area = host::Rect(0, 0, w, h);
    PaintImage(image.GetCanvas(), area);
    if (m_showText) PaintText(image.GetCanvas(), area);
    const host::TCopyMode mode = canvas.GetCopyMode();
    canvas.SetCopyMode(host::cmSrcCopy);
    canvas.Draw(inner.left, inner.top, image);
    canvas.SetCopyMode(mode);
}

void TKvCustomGauge::PaintImage(host::TCanvas& Canvas, const host::TRect& rect) {
    switch (m_kind) {
    case gkHorizontalBar:
        PaintAsBar(Canvas, rect, true);
        break;
    case gkVerticalBar:
        PaintAsBar(Canvas, rect, false);
        break;
    case gkPie:
        PaintAsPie(Canvas, rect);
        break;
    case gkNeedle:
        PaintAsNeedle(Canvas, rect);
        break;
    default:
        PaintAsNothing(Canvas, rect);
        break;
    }
}

void TKvCustomGauge::PaintAsNothing(host::TCanvas& Canvas, const host::TRect& rect) {
    fill(Canvas, rect, m_backColor);
}

void TKvCustomGauge::PaintAsBar(host::TCanvas& Canvas, const host::TRect& rect, bool horizontal) {
    fill(Canvas, rect, m_backColor);
    setShapeColours(Canvas, m_foreColor, m_foreColor);
    const int p = GetPercentDone();
    if (horizontal) {
        const int w = std::min(gaugeFilledLength(p, widthOf(rect)), widthOf(rect));
        if (w <= 0) return;
        Canvas.FillRect(host::Rect(rect.left, rect.top, rect.left + w, rect.bottom));
    } else {
        const int h = std::min(gaugeFilledLength(p, heightOf(rect)), heightOf(rect));
        if (h <= 0) return;
        Canvas.FillRect(host::Rect(rect.left, rect.bottom - h, rect.right, rect.bottom));
    }
}

void TKvCustomGauge::PaintAsPie(host::TCanvas& Canvas, const host::TRect& rect) {
    const int W = widthOf(rect);
    const int H = heightOf(rect);
    fill(Canvas, rect, GetColor());
    setShapeColours(Canvas, m_backColor, m_foreColor);
    Canvas.Ellipse(rect.left, rect.top, rect.left + W, rect.top + H);
    const int p = GetPercentDone();
    if (p <= 0) return;
    Canvas.GetBrush().SetColor(m_foreColor);
    const host::TPoint start = gaugePieStart(p, W, H);
    Canvas.Pie(rect.left, rect.top, rect.left + W, rect.top + H, rect.left + start.x, rect.top + start.y,
               rect.left + W / 2, rect.top);
}

void TKvCustomGauge::PaintAsNeedle(host::TCanvas& Canvas, const host::TRect& rect) {
    const int W = widthOf(rect);
    const int H = heightOf(rect);
    const int x0 = rect.left;
    const int y0 = rect.top;
    fill(Canvas, rect, GetColor());
    setShapeColours(Canvas, m_backColor, m_foreColor);
    // The upper half of an ellipse twice the height, standing on the bottom row.
    Canvas.Pie(x0, y0, x0 + W, y0 + 2 * H - 1, x0 + W, y0 + H - 1, x0, y0 + H - 1);
    const int p = GetPercentDone();
    if (p <= 0) return;
    const host::TPoint end = gaugeNeedleEnd(p, W, H);
    Canvas.MoveTo(x0 + W / 2, y0 + H - 1);
    Canvas.LineTo(x0 + end.x, y0 + end.y);
}

void TKvCustomGauge::PaintText(host::TCanvas& Canvas, const host::TRect& rect) {
    const std::string text = gaugeText(m_caption, GetPercentDone());
    if (m_bwText && (m_kind == gkHorizontalBar || m_kind == gkVerticalBar))
        paintTwoColourText(Canvas, rect, text);
    else
        paintInvertedText(Canvas, rect, text);
}

void TKvCustomGauge::paintTwoColourText(host::TCanvas& Canvas, const host::TRect& rect,
                                        const std::string& text) {
    const int W = widthOf(rect);
    const int H = heightOf(rect);
    const int p = GetPercentDone();
    Canvas.SetFont(*GetFont());
    const int x = rect.left + (W - Canvas.TextWidth(text)) / 2;
    const int y = rect.top + (H - Canvas.TextHeight(text)) / 2;
    Canvas.GetBrush().SetStyle(host::TBrushStyle::bsClear);

    host::TRect unfilled;
    host::TRect filled;
    if (m_kind == gkHorizontalBar) {
        const int bar = rect.left + gaugeFilledLength(p, W);
        unfilled = host::Rect(bar, y, rect.right, rect.bottom);
        filled = host::Rect(x, y, bar, rect.bottom);
    } else {
        const int top = rect.top + H - gaugeFilledLength(p, H);
        unfilled = host::Rect(x, y, rect.right, top);
        filled = host::Rect(x, top, rect.right, rect.bottom);
    }
    auto drawClipped = [&](const host::TRect& clip) {
        if (clip.right > clip.left && clip.bottom > clip.top) Canvas.TextRect(clip, x, y, text);
    };
    drawClipped(unfilled);
    // The inverse of the font's colour over the filled part. The inversion is done on the RGB value,
    // so that a system colour (the default font colour is one) inverts to a real colour.
    Canvas.GetFont().SetColor(TColor(host::ColorToRGB(GetFont()->GetColor()) ^ 0xFFFFFFu));
    drawClipped(filled);
}

void TKvCustomGauge::paintInvertedText(host::TCanvas& Canvas, const host::TRect& rect,
                                       const std::string& text) {
    const int W = widthOf(rect);
    const int H = heightOf(rect);
    if (W <= 0 || H <= 0) return;
    host::TBitmap mask;
    mask.SetSize(W, H);
    host::TCanvas& mc = mask.GetCanvas();
    fill(mc, host::Rect(0, 0, W, H), host::clBlack);
    mc.SetFont(*GetFont());
    mc.GetFont().SetColor(host::clWhite);
    mc.GetBrush().SetStyle(host::TBrushStyle::bsClear);
    mc.TextOut((W - mc.TextWidth(text)) / 2, (H - mc.TextHeight(text)) / 2, text);
    const host::TCopyMode mode = Canvas.GetCopyMode();
    Canvas.SetCopyMode(host::cmSrcInvert);
    Canvas.Draw(rect.left, rect.top, mask);
    Canvas.SetCopyMode(mode);
}

} // namespace kv
