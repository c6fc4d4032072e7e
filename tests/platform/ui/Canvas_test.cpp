// The canvas over a bitmap: drawing objects reaching the DC, text, clipping, block transfers, and the
// bitmap's pixels, size and saved file.
#include "platform/gdi/GdiAccess.h"
#include "platform/ui/Graphics.h"
#include "platform/win/Display.h"
#include "support/BmpImage.h"
#include "support/GdiCanvas.h"
#include "support/TestWork.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>

namespace {

using namespace host;
using win::COLORREF;
using win::RGB;

// Colour of a pixel of a 24-bit bitmap, read from its memory.
COLORREF pixel(const TBitmap& b, int x, int y) {
    const std::uint8_t* p = b.ScanLine(y) + 3 * x;
    return RGB(p[2], p[1], p[0]);
}

// Every pixel, row by row.
std::vector<COLORREF> pixels(const TBitmap& b) {
    std::vector<COLORREF> out;
    for (int y = 0; y < b.GetHeight(); ++y)
        for (int x = 0; x < b.GetWidth(); ++x)
            out.push_back(pixel(b, x, y));
    return out;
}

// The smallest rectangle holding the pixels that differ from `paper`.
TRect changedBounds(const TBitmap& b, COLORREF paper) {
    TRect r{b.GetWidth(), b.GetHeight(), 0, 0};
    for (int y = 0; y < b.GetHeight(); ++y)
        for (int x = 0; x < b.GetWidth(); ++x)
            if (pixel(b, x, y) != paper)
                r = TRect{std::min<win::LONG>(r.left, x), std::min<win::LONG>(r.top, y),
                          std::max<win::LONG>(r.right, x + 1), std::max<win::LONG>(r.bottom, y + 1)};
    return r;
}

class Canvas : public ::testing::Test {
  protected:
    void SetUp() override {
        win::SetDisplayBitsPerPixelForTesting(24);
        m_live = win::gdi::LiveObjectCount();
    }
    void TearDown() override {
        // Bitmaps, DCs, fonts, pens and brushes are all gone with the objects of the test.
        EXPECT_EQ(win::gdi::LiveObjectCount(), m_live);
        win::SetDisplayBitsPerPixelForTesting(0);
    }
    // A white 24-bit bitmap.
    static void make(TBitmap& b, int w, int h) {
        b.SetPixelFormat(TPixelFormat::pf24bit);
        b.SetSize(w, h);
    }
    std::size_t m_live = 0;
};

TEST_F(Canvas, ColoursResolveThroughTheSystemTable) {
    const std::pair<TColor, COLORREF> table[] = {
        {clBtnFace, RGB(192, 192, 192)},   {clBtnHighlight, RGB(255, 255, 255)},
        {clBtnShadow, RGB(128, 128, 128)}, {clWindowFrame, RGB(0, 0, 0)},
        {clActiveCaption, RGB(0, 0, 128)}, {clWindow, RGB(255, 255, 255)},
        {clWindowText, RGB(0, 0, 0)},      {clInfoBk, RGB(255, 255, 225)},
        {clRed, RGB(255, 0, 0)},           {clNavy, RGB(0, 0, 128)},
        {clSilver, RGB(192, 192, 192)},    {clAqua, RGB(0, 255, 255)}};
    for (const auto& [colour, rgb] : table)
        EXPECT_EQ(ColorToRGB(colour), rgb) << std::hex << colour;
    EXPECT_LT(clBtnFace, 0);
}

TEST_F(Canvas, PenBrushAndFontChangesReachTheDC) {
    TBitmap b;
    make(b, 40, 30);
    TCanvas& c = b.GetCanvas();
    c.GetBrush().SetColor(clRed);
    c.FillRect(Rect(0, 0, 10, 10));
    c.GetBrush().SetColor(clBtnFace);
    c.FillRect(Rect(10, 0, 20, 10));
    EXPECT_EQ(pixel(b, 5, 5), RGB(255, 0, 0));
    EXPECT_EQ(pixel(b, 15, 5), RGB(192, 192, 192));

    c.GetPen().SetColor(clLime);
    c.MoveTo(0, 20);
    c.LineTo(30, 20);
    EXPECT_EQ(c.GetPenPos(), Point(30, 20));
    c.GetPen().SetWidth(3);
    c.GetPen().SetColor(clBlue);
    c.MoveTo(0, 25);
    c.LineTo(30, 25);
    EXPECT_EQ(pixel(b, 10, 20), RGB(0, 255, 0));
    EXPECT_EQ(pixel(b, 10, 24), RGB(0, 0, 255));
    EXPECT_EQ(pixel(b, 10, 26), RGB(0, 0, 255));

    // XOR twice leaves the pixels as they were.
    const auto before = pixels(b);
    c.GetPen().SetMode(TPenMode::pmXor);
    for (int i = 0; i < 2; ++i) {
        c.MoveTo(0, 0);
        c.LineTo(39, 29);
        EXPECT_EQ(pixels(b) == before, i == 1);
    }

    // The font's colour is the text colour; a clear brush leaves the background alone.
    c.GetBrush().SetStyle(TBrushStyle::bsClear);
    c.GetFont().SetColor(clFuchsia);
    c.GetFont().SetStyle({TFontStyle::fsBold});
    c.GetFont().SetHeight(-20);
    TBitmap text;
    make(text, 40, 30);
    text.GetCanvas().SetFont(c.GetFont());
    text.GetCanvas().GetBrush().SetStyle(TBrushStyle::bsClear);
    text.GetCanvas().TextOut(2, 2, "W");
    const auto drawn = pixels(text);
    const std::set<COLORREF> colours(drawn.begin(), drawn.end());
    EXPECT_TRUE(colours.count(RGB(255, 0, 255)));
}

TEST_F(Canvas, TextMeasuresAsTheGdiAndFillsItsCell) {
    TBitmap b;
    make(b, 200, 40);
    TCanvas& c = b.GetCanvas();
    c.GetFont().SetSize(12);
    EXPECT_EQ(c.GetFont().GetHeight(), -16);
    const std::string text = "Extracted: 42%";
    const TSize size = c.TextExtent(text);
    win::SIZE gdi{};
    ASSERT_TRUE(win::GetTextExtentPoint32A(c.GetHandle(), text.data(), int(text.size()), &gdi));
    EXPECT_EQ(size.cx, gdi.cx);
    EXPECT_EQ(size.cy, gdi.cy);
    EXPECT_EQ(c.TextWidth(text), size.cx);
    EXPECT_EQ(c.TextHeight("W"), size.cy);
    EXPECT_GT(size.cx, c.TextWidth("42%"));

    // A solid brush fills exactly the text's cell; the pen position moves to its right end.
    c.GetBrush().SetColor(clYellow);
    c.TextOut(5, 7, text);
    EXPECT_EQ(changedBounds(b, RGB(255, 255, 255)), Bounds(5, 7, size.cx, size.cy));
    EXPECT_EQ(c.GetPenPos(), Point(5 + size.cx, 7));

    // A bigger font measures bigger.
    c.GetFont().SetSize(24);
    EXPECT_GT(c.TextHeight("W"), size.cy);
}

TEST_F(Canvas, ClippedTextStaysInItsRectangle) {
    for (TBrushStyle style : {TBrushStyle::bsClear, TBrushStyle::bsSolid}) {
        TBitmap b;
        make(b, 60, 30);
        TCanvas& c = b.GetCanvas();
        c.GetFont().SetHeight(-24);
        c.GetBrush().SetColor(clSilver);
        c.GetBrush().SetStyle(style);
        const TRect clip = Rect(10, 5, 25, 15);
        c.TextRect(clip, 4, 0, "WWWW");
        const TRect changed = changedBounds(b, RGB(255, 255, 255));
        EXPECT_GE(changed.left, clip.left);
        EXPECT_GE(changed.top, clip.top);
        EXPECT_LE(changed.right, clip.right);
        EXPECT_LE(changed.bottom, clip.bottom);
        if (style == TBrushStyle::bsSolid) {
            EXPECT_EQ(changed, clip);
        } else {
            EXPECT_LT(changed.left, changed.right) << "some text is drawn";
        }
    }
    // The DC's clip rectangle limits every drawing call.
    TBitmap b;
    make(b, 30, 30);
    b.GetCanvas().IntersectClipRect(Rect(5, 6, 20, 21));
    EXPECT_EQ(b.GetCanvas().GetClipRect(), Rect(5, 6, 20, 21));
    b.GetCanvas().GetBrush().SetColor(clBlack);
    b.GetCanvas().FillRect(Rect(0, 0, 30, 30));
    EXPECT_EQ(changedBounds(b, RGB(255, 255, 255)), Rect(5, 6, 20, 21));
    b.GetCanvas().ResetClipRect();
    EXPECT_EQ(b.GetCanvas().GetClipRect(), Rect(0, 0, 30, 30));
}

TEST_F(Canvas, SrcInvertFlipsExactlyTheTextPixels) {
    TBitmap target, text;
    make(target, 50, 20);
    make(text, 50, 20);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 50; ++x) {
            std::uint8_t* p = target.ScanLine(y) + 3 * x;
            p[0] = std::uint8_t(x * 5), p[1] = std::uint8_t(y * 12), p[2] = std::uint8_t(x ^ y);
        }
    // White text on black, as the gauge makes it.
    TCanvas& t = text.GetCanvas();
    t.GetBrush().SetColor(clBlack);
    t.FillRect(Rect(0, 0, 50, 20));
    t.GetBrush().SetStyle(TBrushStyle::bsClear);
    t.GetFont().SetColor(clWhite);
    t.GetFont().SetHeight(-16);
    t.TextOut(3, 1, "42%");
    const auto before = pixels(target), mask = pixels(text);
    target.GetCanvas().SetCopyMode(cmSrcInvert);
    target.GetCanvas().Draw(0, 0, text);
    const auto after = pixels(target);
    int inverted = 0;
    for (std::size_t i = 0; i < after.size(); ++i) {
        ASSERT_EQ(after[i], before[i] ^ mask[i]) << i;
        inverted += mask[i] == RGB(255, 255, 255);
    }
    EXPECT_GT(inverted, 10);
}

TEST_F(Canvas, DrawAndCopyRectCopyExactPixels) {
    TBitmap source, target;
    make(source, 12, 10);
    make(target, 30, 30);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x)
            source.GetCanvas().SetPixels(x, y, TColor(RGB(std::uint8_t(x * 20), std::uint8_t(y * 25), 7)));
    EXPECT_EQ(source.GetCanvas().GetPixels(3, 4), TColor(RGB(60, 100, 7)));
    EXPECT_EQ(source.GetCanvas().GetPixels(12, 0), clNone);

    target.GetCanvas().Draw(2, 3, source);
    target.GetCanvas().CopyRect(Rect(15, 0, 20, 4), source.GetCanvas(), Rect(1, 2, 6, 6));
    // Scaled to twice the size, every source pixel becomes a 2 x 2 block.
    target.GetCanvas().CopyRect(Rect(0, 20, 8, 28), source.GetCanvas(), Rect(0, 0, 4, 4));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x)
            ASSERT_EQ(pixel(target, x + 2, y + 3), pixel(source, x, y));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            ASSERT_EQ(pixel(target, 15 + x, y), pixel(source, 1 + x, 2 + y));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(pixel(target, x, 20 + y), pixel(source, x / 2, y / 2));
    EXPECT_EQ(pixel(target, 20, 0), RGB(255, 255, 255));
}

TEST_F(Canvas, BrushCopyReplacesOneColour) {
    TBitmap source, target;
    make(source, 6, 4);
    make(target, 6, 4);
    source.GetCanvas().GetBrush().SetColor(clRed);
    source.GetCanvas().FillRect(Rect(0, 0, 3, 4)); // left half red, right half white
    target.GetCanvas().GetBrush().SetColor(clGreen);
    target.GetCanvas().BrushCopy(Rect(0, 0, 6, 4), source, Rect(0, 0, 6, 4), clWhite);
    EXPECT_EQ(pixel(target, 1, 1), RGB(255, 0, 0));
    EXPECT_EQ(pixel(target, 4, 1), RGB(0, 128, 0));
}

TEST_F(Canvas, DrawingUnsharesTheImageAndSavesWhatWasDrawn) {
    TBitmap b, copy;
    make(b, 24, 16);
    copy.Assign(&b);
    TCanvas& c = b.GetCanvas();
    c.GetBrush().SetColor(clNavy);
    c.GetPen().SetColor(clRed);
    c.Ellipse(2, 2, 22, 14);
    c.Pie(0, 0, 24, 16, 24, 8, 12, 0);
    EXPECT_NE(copy.GetHandle(), b.GetHandle());
    EXPECT_EQ(changedBounds(copy, RGB(255, 255, 255)), Rect(24, 16, 0, 0)) << "the copy stays white";
    // The copy's canvas may take the shared handle for reading; drawing into b still works after.
    TBitmap third;
    third.Assign(&b);
    EXPECT_EQ(third.GetCanvas().GetPixels(12, 8), TColor(RGB(0, 0, 128)));
    c.GetBrush().SetColor(clYellow);
    c.FillRect(Rect(0, 0, 1, 1));
    EXPECT_EQ(pixel(third, 0, 0), RGB(255, 255, 255));

    const auto path = testsupport::workDir("canvas") / "drawn.bmp";
    b.SaveToFile(path.string());
    std::ifstream in(path, std::ios::binary);
    const auto image = testsupport::parseBmp({std::istreambuf_iterator<char>(in), {}});
    ASSERT_EQ(image.error, "");
    ASSERT_EQ(image.width, 24);
    ASSERT_EQ(image.height, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 24; ++x) {
            const std::uint8_t* p = image.row(y) + 3 * x;
            ASSERT_EQ(RGB(p[2], p[1], p[0]), pixel(b, x, y)) << x << "," << y;
        }
    EXPECT_EQ(pixel(b, 0, 0), RGB(255, 255, 0));
    EXPECT_EQ(pixel(b, 18, 5), RGB(0, 0, 128)); // inside the pie, which is drawn last
}

TEST_F(Canvas, SizeKeepsPixelsAndFormat) {
    TBitmap b;
    b.SetWidth(5);
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.GetWidth(), 5);
    b.SetHeight(4);
    ASSERT_FALSE(b.Empty());
    EXPECT_EQ(b.GetPixelFormat(), TPixelFormat::pfDevice);
    win::BITMAP info{};
    win::GetObject(b.GetHandle(), sizeof info, &info);
    EXPECT_EQ(info.bmBitsPixel, win::GetDeviceCaps(b.GetCanvas().GetHandle(), win::BITSPIXEL));

    TBitmap d;
    make(d, 4, 3);
    d.GetCanvas().GetBrush().SetColor(clRed);
    d.GetCanvas().FillRect(Rect(0, 0, 4, 3));
    d.SetSize(6, 2);
    EXPECT_EQ(d.GetPixelFormat(), TPixelFormat::pf24bit);
    EXPECT_EQ(pixel(d, 3, 1), RGB(255, 0, 0));
    EXPECT_EQ(pixel(d, 4, 1), RGB(255, 255, 255));
    // A copy sharing the image that d's canvas holds selected still gets its pixels when resized.
    EXPECT_EQ(d.GetCanvas().GetPixels(0, 0), clRed);
    TBitmap shared;
    shared.Assign(&d);
    shared.SetSize(8, 2);
    EXPECT_EQ(pixel(shared, 3, 1), RGB(255, 0, 0));
    EXPECT_EQ(pixel(shared, 7, 1), RGB(255, 255, 255));
    d.GetCanvas().SetPixels(0, 0, clBlue);
    EXPECT_EQ(pixel(d, 0, 0), RGB(0, 0, 255));
    EXPECT_EQ(pixel(shared, 0, 0), RGB(255, 0, 0));
    d.SetHeight(0);
    EXPECT_TRUE(d.Empty());
    d.SetHeight(2);
    EXPECT_EQ(d.GetPixelFormat(), TPixelFormat::pf24bit);

    TBitmap m;
    make(m, 4, 1);
    m.GetCanvas().SetPixels(1, 0, clGray);
    m.SetMonochrome(true);
    EXPECT_TRUE(m.GetMonochrome());
    EXPECT_EQ(m.GetCanvas().GetPixels(0, 0), clWhite);
    EXPECT_EQ(m.GetCanvas().GetPixels(1, 0), clBlack);
    m.SetMonochrome(false);
    EXPECT_EQ(m.GetCanvas().GetPixels(1, 0), clBlack);
}

TEST_F(Canvas, FontPropertiesAndNotifications) {
    TFont f;
    int changes = 0;
    f.OnChange = [&](TObject*) { ++changes; };
    EXPECT_EQ(f.GetSize(), 9);
    f.SetHeight(-16);
    EXPECT_EQ(f.GetSize(), 12);
    f.SetHeight(-16);
    EXPECT_EQ(changes, 1);
    f.SetStyle({TFontStyle::fsBold, TFontStyle::fsItalic});
    // The face name of the handle is cut to 31 bytes at a character boundary.
    f.SetName(std::string(20, 'a') + "ゴシックゴシック");
    const win::LOGFONTA lf = f.LogFont();
    EXPECT_EQ(lf.lfWeight, win::FW_BOLD);
    EXPECT_EQ(lf.lfItalic, 1);
    EXPECT_EQ(lf.lfHeight, -16);
    EXPECT_EQ(std::string(lf.lfFaceName), std::string(20, 'a') + "ゴシッ");
    EXPECT_EQ(changes, 3);

    TFont g;
    int gChanges = 0;
    g.OnChange = [&](TObject*) { ++gChanges; };
    g.Assign(&f);
    EXPECT_EQ(gChanges, 1);
    EXPECT_EQ(g.GetName(), f.GetName());
    EXPECT_TRUE(g.GetStyle().Contains(TFontStyle::fsItalic));
    g.Assign(&f);
    EXPECT_EQ(gChanges, 1);
    TPen pen;
    EXPECT_THROW(g.Assign(&pen), Exception);
}

TEST_F(Canvas, CanvasWithoutADcRefusesToDraw) {
    TCanvas c;
    EXPECT_THROW(c.FillRect(Rect(0, 0, 1, 1)), EInvalidOperation);
    // Over a DC of its own caller, the canvas draws and gives the DC back clean.
    TBitmap b;
    make(b, 8, 8);
    win::HDC dc = win::CreateCompatibleDC(nullptr);
    b.FreeContext();
    win::HGDIOBJ old = win::SelectObject(dc, b.GetHandle());
    c.SetHandle(dc);
    c.GetBrush().SetColor(clTeal);
    c.FillRect(Rect(0, 0, 8, 8));
    c.SetHandle(nullptr);
    EXPECT_EQ(pixel(b, 7, 7), RGB(0, 128, 128));
    win::SelectObject(dc, old);
    win::DeleteDC(dc);
}

TEST_F(Canvas, DrawTextIsTheGdiCall) {
    TBitmap viaCanvas, viaGdi;
    make(viaCanvas, 80, 24);
    make(viaGdi, 80, 24);
    TCanvas& c = viaCanvas.GetCanvas();
    c.GetBrush().SetStyle(TBrushStyle::bsClear);
    c.GetFont().SetColor(clBlue);
    TRect r = Rect(0, 0, 80, 24);
    const win::UINT format = win::DT_CENTER | win::DT_VCENTER | win::DT_SINGLELINE;
    const int height = c.DrawText("Panel", r, format);

    TCanvas& g = viaGdi.GetCanvas();
    g.RequiredState(TCanvas::csHandleValid);
    win::HFONT font = c.GetFont().GetHandle();
    win::HGDIOBJ old = win::SelectObject(g.GetHandle(), font);
    win::SetTextColor(g.GetHandle(), ColorToRGB(clBlue));
    win::SetBkMode(g.GetHandle(), win::TRANSPARENT);
    win::RECT r2 = Rect(0, 0, 80, 24);
    EXPECT_EQ(win::DrawTextA(g.GetHandle(), "Panel", 5, &r2, format), height);
    win::SelectObject(g.GetHandle(), old);
    EXPECT_EQ(pixels(viaCanvas), pixels(viaGdi));
    EXPECT_NE(changedBounds(viaCanvas, RGB(255, 255, 255)), Rect(80, 24, 0, 0));
}

} // namespace
