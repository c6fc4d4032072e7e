// Fonts and text output. Qt resolves faces through the system's font configuration and rasterises the
// glyphs; everything else (alignment, background, clipping, colour on every bitmap depth) is ours.
#include "platform/gdi/GdiText.h"

#include "platform/gdi/Gdi.h"
#include "platform/win/Display.h"

#include <QtCore/QCoreApplication>
#include <QtGui/QFont>
#include <QtGui/QFontMetrics>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QPainter>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <mutex>
#include <string>
#include <vector>

namespace win {
namespace gdi {
namespace {

// Text is rasterised one call at a time; FontMeasure and PaintGlyphs nest, hence recursive.
std::recursive_mutex& textMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

QGuiApplication* g_ownApplication = nullptr; // ours, when the process had none; never destroyed
void (*g_applicationFactory)() = nullptr;

// Platform face names that programs ask for, and faces of this system that stand in for them. Faces
// not found at all fall back to the system's default for the font's family (sans, serif, mono).
void addFaceSubstitutes() {
    QFont::insertSubstitutions(QString::fromUtf8("ＭＳ Ｐゴシック"), {"IPAPGothic", "IPAGothic"});
    QFont::insertSubstitutions(QString::fromUtf8("ＭＳ ゴシック"), {"IPAGothic", "IPAPGothic"});
    QFont::insertSubstitutions("MS PGothic", {"IPAPGothic", "IPAGothic"});
    QFont::insertSubstitutions("MS UI Gothic", {"IPAPGothic", "IPAGothic"});
    QFont::insertSubstitutions("MS Gothic", {"IPAGothic", "IPAPGothic"});
}

constexpr int kMaxPixelSize = 1024;

QFont makeFont(const LOGFONTA& lf, bool smooth) {
    QFont f;
    const QString face = QString::fromUtf8(lf.lfFaceName, int(strnlen(lf.lfFaceName, LF_FACESIZE)));
    const int family = lf.lfPitchAndFamily & 0xF0;
    QFont::StyleHint hint = QFont::SansSerif;
    if ((lf.lfPitchAndFamily & 0x03) == FIXED_PITCH || family == FF_MODERN)
        hint = QFont::Monospace;
    else if (family == FF_ROMAN)
        hint = QFont::Serif;
    f.setStyleHint(hint);
    f.setFamilies({face.isEmpty() ? QString(hint == QFont::Monospace ? "monospace"
                                            : hint == QFont::Serif   ? "serif"
                                                                     : "sans-serif")
                                  : face});
    f.setKerning(false);
    f.setHintingPreference(QFont::PreferFullHinting);
    if (!smooth || lf.lfQuality == NONANTIALIASED_QUALITY) f.setStyleStrategy(QFont::NoAntialias);
    f.setWeight(QFont::Weight(lf.lfWeight <= 0 ? FW_NORMAL : std::clamp<LONG>(lf.lfWeight, 1, 1000)));
    f.setItalic(lf.lfItalic != 0);
    f.setUnderline(lf.lfUnderline != 0);
    f.setStrikeOut(lf.lfStrikeOut != 0);
    // A negative height is the character (em) height; a positive one the cell height, ascent plus
    // descent, which the em height is scaled to; 0 asks for the default cell of 16 pixels.
    const LONG height = lf.lfHeight == 0 ? 16 : lf.lfHeight;
    if (height < 0) {
        f.setPixelSize(int(std::clamp<LONG>(-height, 1, kMaxPixelSize)));
    } else {
        f.setPixelSize(100);
        const QFontMetricsF m(f);
        const double cell = m.ascent() + m.descent();
        const double em = cell > 0 ? std::min<double>(height, kMaxPixelSize) * 100.0 / cell : 16.0;
        f.setPixelSize(std::clamp(int(std::lround(em)), 1, kMaxPixelSize));
    }
    if (lf.lfWidth > 0) {
        const int natural = QFontMetrics(f).averageCharWidth();
        if (natural > 0) f.setStretch(std::clamp(int(std::lround(lf.lfWidth * 100.0 / natural)), 1, 4000));
    }
    return f;
}

QString qtext(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

void SetApplicationFactory(void (*factory)()) {
    std::lock_guard lock(textMutex());
    g_applicationFactory = factory;
}

bool EnsureGuiApplication() {
    std::lock_guard lock(textMutex());
    if (!QCoreApplication::instance() && g_applicationFactory) g_applicationFactory();
    if (!QCoreApplication::instance()) {
        static int argc = 3;
        static char name[] = "quillan", option[] = "-platform", platform[] = "offscreen";
        static char* argv[] = {name, option, platform, nullptr};
        // The application sets the C locale from the environment; number formatting elsewhere in the
        // process must not change because text was drawn, so the locale is put back.
        const std::string locale = std::setlocale(LC_ALL, nullptr);
        g_ownApplication = new QGuiApplication(argc, argv);
        std::setlocale(LC_ALL, locale.c_str());
    }
    // Whoever made the application, the platform's face names map to this system's faces.
    static bool substituted = false;
    if (!substituted && QCoreApplication::instance()) {
        addFaceSubstitutes();
        substituted = true;
    }
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

struct FontMeasure::Impl {
    std::unique_lock<std::recursive_mutex> lock{textMutex()};
    bool valid = false;
    QFont font;
    std::unique_ptr<QFontMetrics> qmetrics;
    FontMetrics metrics;
};

FontMeasure::FontMeasure(const DrawContext& dc) : m_impl(std::make_unique<Impl>()) {
    if (!EnsureGuiApplication()) return;
    const int depth = dc.surface.Valid() ? dc.surface.Bpp() : DisplayBitsPerPixel();
    m_impl->font = makeFont(dc.font, depth > 8);
    m_impl->qmetrics = std::make_unique<QFontMetrics>(m_impl->font);
    const QFontMetrics& q = *m_impl->qmetrics;
    FontMetrics& m = m_impl->metrics;
    m.ascent = q.ascent();
    m.descent = q.descent();
    m.internalLeading = std::max(0, m.ascent + m.descent - m_impl->font.pixelSize());
    m.externalLeading = std::max(0, q.leading());
    m.averageWidth = q.averageCharWidth();
    m.maxWidth = q.maxWidth();
    m.underlineOffset = std::max(1, q.underlinePos());
    m.lineWidth = std::max(1, q.lineWidth());
    m_impl->valid = true;
}

FontMeasure::~FontMeasure() = default;

bool FontMeasure::Valid() const {
    return m_impl->valid;
}

const FontMetrics& FontMeasure::Metrics() const {
    return m_impl->metrics;
}

const QFont& FontMeasure::Font() const {
    return m_impl->font;
}

int FontMeasure::Width(std::string_view text) const {
    return m_impl->valid ? m_impl->qmetrics->horizontalAdvance(qtext(text)) : 0;
}

bool PaintGlyphs(DrawContext& dc, int left, int top, std::string_view text, const RECT& clip) {
    FontMeasure measure(dc);
    if (!measure.Valid()) return false;
    if (!dc.surface.Valid() || text.empty()) return true;
    const FontMetrics& m = measure.Metrics();
    // Glyphs may reach past their cell (overhangs, accents), so the mask covers a margin around it.
    const long long margin = m.Height(), width = measure.Width(text);
    auto bounded = [](long long v) { return LONG(std::clamp<long long>(v, INT32_MIN, INT32_MAX)); };
    RECT area{bounded(left - margin), bounded(top - margin), bounded(left + width + margin),
              bounded(top + m.Height() + margin)};
    area = Intersect(Intersect(area, clip), dc.clip);
    if (IsEmpty(area)) return true;
    QImage mask(area.right - area.left, area.bottom - area.top, QImage::Format_Alpha8);
    if (mask.isNull()) return false;
    mask.fill(0);
    {
        QPainter painter(&mask);
        painter.setFont(measure.Font());
        painter.setPen(QColor(0, 0, 0, 255));
        painter.drawText(QPoint(left - area.left, top - area.top + m.ascent), qtext(text));
    }
    Surface& s = dc.surface;
    const bool indexed = s.Bpp() <= 8;
    const PixelValue textValue = s.ValueOf(dc.textColor);
    const int tr = GetRValue(dc.textColor), tg = GetGValue(dc.textColor), tb = GetBValue(dc.textColor);
    for (int y = 0; y < mask.height(); ++y) {
        const uchar* coverage = mask.constScanLine(y);
        for (int x = 0; x < mask.width(); ++x) {
            const int a = coverage[x];
            if (a == 0 || (indexed && a < 128)) continue;
            const int px = area.left + x, py = area.top + y;
            if (indexed || a == 255) {
                s.Set(px, py, textValue);
                continue;
            }
            const COLORREF d = s.ColourOf(s.Get(px, py));
            auto mix = [a](int fg, int bg) { return BYTE((fg * a + bg * (255 - a) + 127) / 255); };
            s.Set(px, py,
                  s.ValueOf(RGB(mix(tr, GetRValue(d)), mix(tg, GetGValue(d)), mix(tb, GetBValue(d)))));
        }
    }
    return true;
}

} // namespace gdi

using namespace gdi;

namespace {

std::string_view textOf(const char* text, long long count) {
    return text && count > 0 ? std::string_view(text, std::size_t(count)) : std::string_view();
}

// Byte length of the UTF-8 sequence starting at text[i] (1 for a stray byte).
std::size_t sequenceLength(std::string_view text, std::size_t i) {
    const auto lead = std::uint8_t(text[i]);
    std::size_t n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return std::min(n, text.size() - i);
}

void fill(DrawContext& dc, const RECT& r, COLORREF colour) {
    const RECT area = Intersect(r, dc.clip);
    const PixelValue v = dc.surface.ValueOf(colour);
    for (int y = area.top; y < area.bottom; ++y)
        FillSpan(dc.surface, area, y, area.left, area.right, v, R2_COPYPEN);
}

// Text at a reference point under the DC's alignment; rect (when given) is filled with ETO_OPAQUE and
// limits the text with ETO_CLIPPED.
BOOL textOut(HDC hdc, int x, int y, UINT options, const RECT* rect, std::string_view text, const int* dx) {
    DrawContext dc;
    if (!Capture(hdc, dc)) return FALSE;
    FontMeasure measure(dc);
    if (!measure.Valid()) return FALSE;
    const FontMetrics& m = measure.Metrics();
    const bool updateCP = (dc.textAlign & TA_UPDATECP) != 0;
    if (updateCP) x = dc.position.x, y = dc.position.y;
    long long width = 0;
    if (dx) {
        for (std::size_t i = 0; i < text.size(); ++i)
            width += dx[i];
    } else {
        width = measure.Width(text);
    }
    constexpr long long kLimit = 1 << 24;
    if (width > kLimit || width < 0 || x < -kLimit || x > kLimit || y < -kLimit || y > kLimit) return FALSE;
    const UINT horizontal = dc.textAlign & TA_CENTER, vertical = dc.textAlign & TA_BASELINE;
    const int left = horizontal == TA_RIGHT    ? x - int(width)
                     : horizontal == TA_CENTER ? x - int(width) / 2
                                               : x;
    const int top = vertical == TA_BASELINE ? y - m.ascent : vertical == TA_BOTTOM ? y - m.Height() : y;
    RECT clip{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    if (rect && (options & ETO_CLIPPED)) clip = *rect;
    if (dc.surface.Valid()) {
        if (rect && (options & ETO_OPAQUE)) fill(dc, *rect, dc.bkColor);
        if (dc.bkMode == OPAQUE)
            fill(dc, Intersect(clip, RECT{left, top, left + int(width), top + m.Height()}), dc.bkColor);
        if (!dx) {
            PaintGlyphs(dc, left, top, text, clip);
        } else {
            // One character at a time at the given advances (one per byte of the text).
            int at = left;
            for (std::size_t i = 0; i < text.size();) {
                const std::size_t n = sequenceLength(text, i);
                PaintGlyphs(dc, at, top, text.substr(i, n), clip);
                for (std::size_t k = 0; k < n; ++k)
                    at += dx[i + k];
                i += n;
            }
        }
    }
    if (updateCP) {
        if (horizontal == TA_LEFT) SetPosition(hdc, POINT{x + int(width), y});
        if (horizontal == TA_RIGHT) SetPosition(hdc, POINT{x - int(width), y});
    }
    return TRUE;
}

} // namespace

BOOL TextOutA(HDC hdc, int x, int y, const char* text, int count) {
    return textOut(hdc, x, y, 0, nullptr, textOf(text, count), nullptr);
}

BOOL ExtTextOutA(HDC hdc, int x, int y, UINT options, const RECT* rect, const char* text, UINT count,
                 const int* dx) {
    return textOut(hdc, x, y, options, rect, textOf(text, count), dx);
}

BOOL GetTextExtentPoint32A(HDC hdc, const char* text, int count, SIZE* size) {
    DrawContext dc;
    if (!size || count < 0 || !Capture(hdc, dc)) return FALSE;
    FontMeasure measure(dc);
    if (!measure.Valid()) return FALSE;
    *size = SIZE{measure.Width(textOf(text, count)), measure.Metrics().Height()};
    return TRUE;
}

BOOL GetTextMetricsA(HDC hdc, TEXTMETRICA* tm) {
    DrawContext dc;
    if (!tm || !Capture(hdc, dc)) return FALSE;
    FontMeasure measure(dc);
    if (!measure.Valid()) return FALSE;
    const FontMetrics& m = measure.Metrics();
    const LOGFONTA& lf = dc.font;
    *tm = TEXTMETRICA{};
    tm->tmHeight = m.Height();
    tm->tmAscent = m.ascent;
    tm->tmDescent = m.descent;
    tm->tmInternalLeading = m.internalLeading;
    tm->tmExternalLeading = m.externalLeading;
    tm->tmAveCharWidth = m.averageWidth;
    tm->tmMaxCharWidth = m.maxWidth;
    tm->tmWeight = lf.lfWeight <= 0 ? FW_NORMAL : lf.lfWeight;
    tm->tmDigitizedAspectX = tm->tmDigitizedAspectY = 96;
    tm->tmFirstChar = 0x20;
    tm->tmLastChar = 0xFF;
    tm->tmDefaultChar = '?';
    tm->tmBreakChar = ' ';
    tm->tmItalic = lf.lfItalic ? 0xFF : 0;
    tm->tmUnderlined = lf.lfUnderline ? 0xFF : 0;
    tm->tmStruckOut = lf.lfStrikeOut ? 0xFF : 0;
    const bool fixed =
        (lf.lfPitchAndFamily & 0x03) == FIXED_PITCH || (lf.lfPitchAndFamily & 0xF0) == FF_MODERN;
    tm->tmPitchAndFamily = BYTE((lf.lfPitchAndFamily & 0xF0) | (fixed ? 0 : TMPF_FIXED_PITCH));
    tm->tmCharSet = lf.lfCharSet;
    return TRUE;
}

} // namespace win
