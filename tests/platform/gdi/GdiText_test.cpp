// Text: extents, placement under the alignment flags, background modes, every bitmap depth, formatted
// text in rectangles and fonts. No test depends on the shapes of a particular font's glyphs: ink is
// compared with the extents the same font reports, or with the ink of the same text drawn elsewhere.
#include "platform/gdi/Gdi.h"
#include "platform/gdi/GdiText.h"
#include "support/GdiCanvas.h"

#include <QtCore/QCoreApplication>
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using namespace win;
using testgdi::Bgr;
using testgdi::Canvas;

constexpr std::uint32_t kWhite = 0xFFFFFF;

// The bounding box of the pixels that differ from the background; empty when none.
RECT ink(const Canvas& c, std::uint32_t background = kWhite) {
    RECT r{c.Width(), c.Height(), 0, 0};
    for (int y = 0; y < c.Height(); ++y)
        for (int x = 0; x < c.Width(); ++x)
            if (c.Value(x, y) != background)
                r = RECT{std::min<LONG>(r.left, x), std::min<LONG>(r.top, y), std::max<LONG>(r.right, x + 1),
                         std::max<LONG>(r.bottom, y + 1)};
    return r;
}

RECT shifted(RECT r, int dx, int dy) {
    return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

// A white 24-bit canvas with a 20-pixel font, black text on a transparent background.
struct TextCanvas : Canvas {
    HFONT font;
    TextCanvas(int w = 160, int h = 60, LONG height = -20) : Canvas(testgdi::Section(w, h, 24)) {
        Fill(kWhite);
        LOGFONTA lf{};
        lf.lfHeight = height;
        font = CreateFontIndirectA(&lf);
        SelectObject(dc(), font);
        SetBkMode(dc(), TRANSPARENT);
        SetTextColor(dc(), RGB(0, 0, 0));
    }
    ~TextCanvas() { SelectObject(dc(), GetStockObject(SYSTEM_FONT)), DeleteObject(font); }
    SIZE Extent(const char* text) {
        SIZE s{};
        EXPECT_TRUE(GetTextExtentPoint32A(dc(), text, int(std::strlen(text)), &s));
        return s;
    }
};

const char kText[] = "HIH HIH";

TEST(GdiText, InkLiesInsideTheReportedExtentAndHasTheTextColour) {
    TextCanvas c;
    const SIZE size = c.Extent(kText);
    ASSERT_GT(size.cx, 20);
    ASSERT_GT(size.cy, 15);
    SetTextColor(c.dc(), RGB(200, 0, 0));
    ASSERT_TRUE(TextOutA(c.dc(), 30, 20, kText, int(std::strlen(kText))));
    const RECT box = ink(c);
    EXPECT_GE(box.left, 30);
    EXPECT_GE(box.top, 20);
    EXPECT_LE(box.right, 30 + size.cx);
    EXPECT_LE(box.bottom, 20 + size.cy);
    int solid = 0;
    for (int y = 0; y < c.Height(); ++y)
        for (int x = 0; x < c.Width(); ++x)
            solid += c.Value(x, y) == Bgr(RGB(200, 0, 0));
    EXPECT_GT(solid, 10);
}

TEST(GdiText, AlignmentMovesTheTextToTheReferencePoint) {
    TEXTMETRICA tm{};
    RECT reference;
    SIZE size;
    {
        TextCanvas c;
        size = c.Extent(kText);
        ASSERT_TRUE(GetTextMetricsA(c.dc(), &tm));
        EXPECT_EQ(tm.tmHeight, size.cy);
        EXPECT_EQ(tm.tmAscent + tm.tmDescent, tm.tmHeight);
        TextOutA(c.dc(), 40, 10, kText, int(std::strlen(kText)));
        reference = ink(c);
    }
    struct Case {
        UINT align;
        int left, top; // where the cell's top left corner must end up for a reference point (80, 30)
    };
    const Case cases[] = {{TA_RIGHT | TA_TOP, 80 - size.cx, 30},
                          {TA_CENTER | TA_TOP, 80 - size.cx / 2, 30},
                          {TA_LEFT | TA_BOTTOM, 80, 30 - size.cy},
                          {TA_LEFT | TA_BASELINE, 80, 30 - tm.tmAscent},
                          {TA_RIGHT | TA_BASELINE, 80 - size.cx, 30 - tm.tmAscent}};
    for (const Case& k : cases) {
        TextCanvas c;
        EXPECT_EQ(SetTextAlign(c.dc(), k.align), TA_LEFT | TA_TOP);
        ASSERT_TRUE(TextOutA(c.dc(), 80, 30, kText, int(std::strlen(kText))));
        EXPECT_EQ(ink(c), shifted(reference, k.left - 40, k.top - 10)) << "align " << k.align;
    }
    // With TA_UPDATECP the text starts at the current position and moves it on.
    TextCanvas c;
    SetTextAlign(c.dc(), TA_UPDATECP);
    MoveToEx(c.dc(), 40, 10, nullptr);
    TextOutA(c.dc(), 0, 0, kText, int(std::strlen(kText)));
    EXPECT_EQ(ink(c), reference);
    POINT at{};
    GetCurrentPositionEx(c.dc(), &at);
    EXPECT_EQ(at.x, 40 + size.cx);
}

TEST(GdiText, OpaqueModeFillsTheCellWithTheBackgroundColour) {
    TextCanvas c;
    const SIZE size = c.Extent(kText);
    SetBkMode(c.dc(), OPAQUE);
    SetBkColor(c.dc(), RGB(0, 255, 0));
    TextOutA(c.dc(), 5, 7, kText, int(std::strlen(kText)));
    EXPECT_EQ(ink(c), (RECT{5, 7, 5 + size.cx, 7 + size.cy}));
    for (int y = 7; y < 7 + size.cy; ++y)
        for (int x = 5; x < 5 + size.cx; ++x)
            ASSERT_NE(c.Value(x, y), kWhite) << x << "," << y;
    // ETO_OPAQUE fills its rectangle, ETO_CLIPPED keeps the text in it.
    TextCanvas e;
    SetBkColor(e.dc(), RGB(0, 0, 255));
    const RECT r{10, 10, 30, 40};
    ASSERT_TRUE(
        ExtTextOutA(e.dc(), 12, 12, ETO_OPAQUE | ETO_CLIPPED, &r, kText, UINT(std::strlen(kText)), nullptr));
    EXPECT_EQ(ink(e), r);
}

TEST(GdiText, TextReachesMonochromeAndPaletteBitmaps) {
    Canvas mono(CreateBitmap(120, 40, 1, 1, nullptr)); // all black
    Canvas grey(testgdi::Section(120, 40, 8, testgdi::Greys()));
    grey.Fill(255);
    SetTextColor(mono.dc(), RGB(255, 255, 255));
    SetTextColor(grey.dc(), RGB(60, 60, 60));
    for (Canvas* c : {&mono, &grey}) {
        SelectObject(c->dc(), GetStockObject(DEFAULT_GUI_FONT));
        SetBkMode(c->dc(), TRANSPARENT);
        SIZE size{};
        ASSERT_TRUE(GetTextExtentPoint32A(c->dc(), kText, 7, &size));
        ASSERT_TRUE(TextOutA(c->dc(), 4, 4, kText, 7));
        const RECT box = ink(*c, c == &mono ? 0 : 255);
        EXPECT_GE(box.left, 4);
        EXPECT_LE(box.right, 4 + size.cx);
        EXPECT_LE(box.bottom, 4 + size.cy);
        // Not smoothed: every pixel is the background or the text colour.
        for (std::uint32_t v : c->Values())
            ASSERT_TRUE(c == &mono ? v <= 1 : (v == 255 || v == 60)) << v;
    }
    EXPECT_LT(ink(mono, 0).left, ink(mono, 0).right);
}

TEST(GdiText, DrawTextMeasuresAlignsAndClips) {
    TextCanvas c;
    const SIZE size = c.Extent(kText);
    RECT calc{10, 5, 11, 6};
    EXPECT_EQ(DrawTextA(c.dc(), kText, -1, &calc, DT_CALCRECT | DT_SINGLELINE), size.cy);
    EXPECT_EQ(calc, (RECT{10, 5, 10 + size.cx, 5 + size.cy}));
    EXPECT_EQ(ink(c), (RECT{c.Width(), c.Height(), 0, 0})); // measuring draws nothing
    TextOutA(c.dc(), 0, 0, kText, 7);
    const RECT reference = ink(c);
    const RECT box{20, 10, 140, 50};
    struct Case {
        UINT format;
        int left, top;
        int result;
    };
    const int dx = (120 - size.cx) / 2, dy = (40 - size.cy) / 2;
    const Case cases[] = {{DT_SINGLELINE, 20, 10, size.cy},
                          {DT_SINGLELINE | DT_CENTER | DT_VCENTER, 20 + dx, 10 + dy, dy + size.cy},
                          {DT_SINGLELINE | DT_RIGHT | DT_BOTTOM, 140 - size.cx, 50 - size.cy, 40}};
    for (const Case& k : cases) {
        TextCanvas t;
        RECT r = box;
        EXPECT_EQ(DrawTextA(t.dc(), kText, -1, &r, k.format), k.result);
        EXPECT_EQ(ink(t), shifted(reference, k.left, k.top)) << "format " << k.format;
    }
    // Text wider than its rectangle is clipped to it unless DT_NOCLIP.
    for (UINT format : {0u, DT_NOCLIP}) {
        TextCanvas t;
        RECT narrow{10, 10, 30, 40};
        DrawTextA(t.dc(), kText, -1, &narrow, DT_SINGLELINE | format);
        EXPECT_EQ(ink(t).right <= 30, format == 0u);
    }
}

TEST(GdiText, EllipsesShortenTextToItsRectangle) {
    const char path[] = "/folder/another folder/yet another/file.avi";
    for (UINT ellipsis : {DT_END_ELLIPSIS, DT_PATH_ELLIPSIS, DT_WORD_ELLIPSIS}) {
        TextCanvas t(300, 40);
        RECT r{10, 5, 150, 35};
        DrawTextA(t.dc(), path, -1, &r, DT_SINGLELINE | DT_NOCLIP | ellipsis);
        const RECT box = ink(t);
        EXPECT_GE(box.left, 10) << ellipsis;
        EXPECT_LE(box.right, 150) << ellipsis;
        EXPECT_GT(box.right, 80) << ellipsis; // not shortened more than needed
    }
    // The path form keeps the file name: the end of the drawn text is the end of the full text.
    TextCanvas whole(600, 40), shortened(600, 40);
    RECT r{0, 5, 590, 35};
    DrawTextA(whole.dc(), path, -1, &r, DT_SINGLELINE | DT_RIGHT);
    const SIZE size = whole.Extent(path);
    RECT s{590 - size.cx / 2, 5, 590, 35};
    DrawTextA(shortened.dc(), path, -1, &s, DT_SINGLELINE | DT_RIGHT | DT_PATH_ELLIPSIS);
    for (int y = 0; y < 40; ++y)
        for (int x = 560; x < 600; ++x)
            ASSERT_EQ(shortened.Value(x, y), whole.Value(x, y)) << x << "," << y;
}

TEST(GdiText, PrefixesLinesAndWrapping) {
    TextCanvas c;
    auto calc = [&](const char* text, UINT format, int width = 1) {
        RECT r{0, 0, width, 1};
        const int height = DrawTextA(c.dc(), text, -1, &r, DT_CALCRECT | format);
        EXPECT_EQ(height, r.bottom);
        return r;
    };
    EXPECT_EQ(calc("&File", DT_SINGLELINE).right, c.Extent("File").cx);
    EXPECT_EQ(calc("a&&b", DT_SINGLELINE).right, c.Extent("a&b").cx);
    EXPECT_EQ(calc("&File", DT_SINGLELINE | DT_NOPREFIX).right, c.Extent("&File").cx);
    const int line = c.Extent("X").cy;
    EXPECT_EQ(calc("one\ntwo\r\nthree", 0).bottom, 3 * line);
    EXPECT_EQ(calc("one\ntwo", DT_SINGLELINE).bottom, line);
    EXPECT_EQ(calc("one two one two", DT_WORDBREAK, c.Extent("one two").cx).bottom, 2 * line);
    EXPECT_EQ(calc("one two one two", DT_WORDBREAK, c.Extent("one two").cx).right, c.Extent("one two").cx);
    // The underlined character adds ink below the text's baseline.
    TextCanvas plain, prefixed;
    RECT r{0, 0, 100, 40};
    DrawTextA(plain.dc(), "File", -1, &r, DT_SINGLELINE);
    DrawTextA(prefixed.dc(), "&File", -1, &r, DT_SINGLELINE);
    TEXTMETRICA tm{};
    GetTextMetricsA(plain.dc(), &tm);
    EXPECT_NE(plain.Values(), prefixed.Values());
    for (int y = 0; y <= tm.tmAscent; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ(plain.Value(x, y), prefixed.Value(x, y));
}

TEST(GdiText, FontsFollowTheirLogicalDescription) {
    auto metrics = [](LOGFONTA lf, const char* text, SIZE& size) {
        TextCanvas c;
        HFONT font = CreateFontIndirectA(&lf);
        HGDIOBJ old = SelectObject(c.dc(), font);
        TEXTMETRICA tm{};
        EXPECT_TRUE(GetTextMetricsA(c.dc(), &tm));
        EXPECT_TRUE(GetTextExtentPoint32A(c.dc(), text, int(std::strlen(text)), &size));
        SelectObject(c.dc(), old);
        EXPECT_TRUE(DeleteObject(font));
        return tm;
    };
    LOGFONTA lf{};
    SIZE normal{}, bold{}, big{}, cell{};
    lf.lfHeight = -20;
    const TEXTMETRICA em = metrics(lf, kText, normal);
    EXPECT_GE(em.tmHeight, 20); // 20 pixels without the internal leading
    EXPECT_EQ(em.tmInternalLeading, em.tmHeight - 20);
    lf.lfHeight = 20;
    EXPECT_NEAR(metrics(lf, kText, cell).tmHeight, 20, 1); // 20 pixels with it
    lf.lfHeight = -40;
    metrics(lf, kText, big);
    EXPECT_GT(big.cx, normal.cx * 3 / 2);
    lf.lfHeight = -20;
    lf.lfWeight = FW_BOLD;
    EXPECT_EQ(metrics(lf, kText, bold).tmWeight, FW_BOLD);
    EXPECT_GE(bold.cx, normal.cx);
    std::strcpy(lf.lfFaceName, "No Such Face Anywhere");
    SIZE fallback{};
    metrics(lf, kText, fallback); // falls back to a default face
    EXPECT_GT(fallback.cx, 0);
    HFONT font = CreateFontIndirectA(&lf);
    LOGFONTA back{};
    ASSERT_EQ(GetObject(font, sizeof back, &back), int(sizeof back));
    EXPECT_STREQ(back.lfFaceName, "No Such Face Anywhere");
    DeleteObject(font);
}

TEST(GdiText, TheApplicationForFontsKeepsTheProcessLocale) {
    // Run on its own (as ctest does), this creates the application: with a locale in the environment
    // that the application would take over.
    const bool existed = QCoreApplication::instance() != nullptr;
    setenv("LC_ALL", "C.UTF-8", 1);
    const std::string before = std::setlocale(LC_ALL, nullptr);
    EXPECT_TRUE(gdi::EnsureGuiApplication());
    EXPECT_NE(QCoreApplication::instance(), nullptr);
    if (!existed) {
        EXPECT_EQ(std::setlocale(LC_ALL, nullptr), before);
    }
}

} // namespace
