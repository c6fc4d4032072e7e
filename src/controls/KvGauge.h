// A window-less progress display with the library's bevel: Progress between MinValue and MaxValue is
// shown as a horizontal or vertical bar, a pie, a needle or only as text, with an optional percentage
// text over it. A change of Progress repaints at once, but only when the whole-number percentage
// changes, so the gauge stays current while the UI thread is busy and a long run repaints at most a
// hundred times. Each paint draws into one off-screen bitmap that is copied onto the control in one
// piece.
#pragma once

#include "controls/KvObjControls.h"

#include <cstdint>
#include <string>

namespace kv {

enum TKvGaugeKind { gkText, gkHorizontalBar, gkVerticalBar, gkPie, gkNeedle };

// The arithmetic of the gauge, on its own so that it can be checked without a control.
//
// Whole percentage of progress in [minValue, maxValue]: (progress - minValue) * 100 / (maxValue -
// minValue) in floating point, truncated toward zero; 0 for an empty range.
int gaugePercentDone(std::int32_t minValue, std::int32_t maxValue, std::int32_t progress);
// The filled part of `length` pixels for `percent`: length * (percent * 0.01), truncated toward zero.
int gaugeFilledLength(int percent, int length);
// Where the pie's wedge starts for `percent` in a width x height drawing rectangle at the origin; the
// wedge runs counter-clockwise from there to the top middle (width / 2, 0).
host::TPoint gaugePieStart(int percent, int width, int height);
// The outer end of the needle for `percent`; the needle starts at (width / 2, height - 1).
host::TPoint gaugeNeedleEnd(int percent, int width, int height);
// "caption NN%" or, without a caption, "NN%".
std::string gaugeText(const std::string& caption, int percent);

class TKvCustomGauge : public TKvGraphicControl {
  public:
    explicit TKvCustomGauge(host::TComponent* AOwner);

    // ---- appearance: a change invalidates (repaints later) ----
    TKvGaugeKind GetKind() const { return m_kind; }
    void SetKind(TKvGaugeKind Value);
    bool GetShowText() const { return m_showText; }
    void SetShowText(bool Value);
    TColor GetForeColor() const { return m_foreColor; }
    void SetForeColor(TColor Value);
    TColor GetBackColor() const { return m_backColor; }
    void SetBackColor(TColor Value);
    const std::string& GetCaption() const { return m_caption; }
    void SetCaption(const std::string& Value);
    // For the bar kinds: the text in two colours, drawn directly, instead of inverted.
    bool GetBWText() const { return m_bwText; }
    void SetBWText(bool Value);

    // ---- range and value ----
    std::int32_t GetMinValue() const { return m_minValue; }
    // Clamped into [-2147483647, MaxValue]; a change invalidates. Progress is not re-clamped.
    void SetMinValue(std::int32_t Value);
    std::int32_t GetMaxValue() const { return m_maxValue; }
    // Clamped into [MinValue, 2147483647]; a change invalidates. Progress is not re-clamped.
    void SetMaxValue(std::int32_t Value);
    std::int32_t GetProgress() const { return m_progress; }
    // Clamped into [MinValue, MaxValue]; repaints at once when the whole percentage changes.
    void SetProgress(std::int32_t Value);
    // Progress + delta through SetProgress (without overflowing on the way).
    void AddProgress(std::int32_t delta);
    int GetPercentDone() const;

    // ---- drawing steps, each onto a canvas within rect (the off-screen bitmap's area in Paint) ----
    void PaintImage(host::TCanvas& Canvas, const host::TRect& rect);
    void PaintText(host::TCanvas& Canvas, const host::TRect& rect);
    void PaintAsBar(host::TCanvas& Canvas, const host::TRect& rect, bool horizontal);
    void PaintAsPie(host::TCanvas& Canvas, const host::TRect& rect);
    void PaintAsNeedle(host::TCanvas& Canvas, const host::TRect& rect);
    void PaintAsNothing(host::TCanvas& Canvas, const host::TRect& rect);

  protected:
    // Bevel, then image and text through one off-screen bitmap copied inside the bevel.
    void Paint() override;

  private:
    void paintTwoColourText(host::TCanvas& Canvas, const host::TRect& rect, const std::string& text);
    void paintInvertedText(host::TCanvas& Canvas, const host::TRect& rect, const std::string& text);
    template <typename T> void setAndInvalidate(T& field, const T& value);

    TKvGaugeKind m_kind = gkHorizontalBar;
    bool m_showText = true;
    TColor m_foreColor = host::clActiveCaption;
    TColor m_backColor = host::clWhite;
    std::int32_t m_minValue = 0;
    std::int32_t m_maxValue = 100;
    std::int32_t m_progress = 0;
    std::string m_caption;
    bool m_bwText = false;
};

class TKvGauge : public TKvCustomGauge {
  public:
    using TKvCustomGauge::TKvCustomGauge;
};

} // namespace kv
