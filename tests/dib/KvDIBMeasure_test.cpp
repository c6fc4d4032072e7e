// The DIB unit's arithmetic, empty DIBs, colour-table usage, device bitmaps to DIBs and drawing.
#include "dib/KvDIB.h"
#include "platform/gdi/GdiAccess.h"
#include "platform/win/Display.h"
#include "platform/win/GlobalMemory.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace win;

struct RowCase {
    int width, bits, bytes;
};

class RowSize : public ::testing::TestWithParam<RowCase> {};

TEST_P(RowSize, PaddedToFourBytes) {
    BITMAPINFOHEADER h{40, GetParam().width, 1, 1, WORD(GetParam().bits), BI_RGB, 0, 0, 0, 0, 0};
    EXPECT_EQ(kv::DIB_WidthBytesN(&h, GetParam().bits), GetParam().bytes);
    EXPECT_EQ(kv::DIB_WidthBytes(&h), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Table, RowSize,
                         ::testing::Values(RowCase{3, 24, 12}, RowCase{1, 1, 4}, RowCase{32, 1, 4},
                                           RowCase{33, 1, 8}, RowCase{9, 4, 8}, RowCase{5, 8, 8},
                                           RowCase{3, 16, 8}, RowCase{37, 32, 148},
                                           RowCase{65536, 32, 262144}));

struct ColourCase {
    WORD bits;
    DWORD compression, clrUsed, colours, paletteBytes;
};

class ColourCount : public ::testing::TestWithParam<ColourCase> {};

TEST_P(ColourCount, AgreesWithTheParsedLayout) {
    const ColourCase& c = GetParam();
    std::vector<std::uint8_t> block(40 + 12 + 1024 + 4096, 0);
    BITMAPINFOHEADER h{40, 4, 4, 1, c.bits, c.compression, 0, 0, 0, c.clrUsed, 0};
    std::memcpy(block.data(), &h, sizeof h);
    if (c.compression == BI_BITFIELDS) {
        const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
        std::memcpy(block.data() + 40, masks, 12);
    }
    const auto* dib = reinterpret_cast<const BITMAPINFOHEADER*>(block.data());
    EXPECT_EQ(kv::DIB_NumColors(dib), c.colours);
    EXPECT_EQ(kv::DIB_PaletteSize(dib), c.paletteBytes);
    const auto layout = ParseDibLayout(block);
    ASSERT_TRUE(layout);
    EXPECT_EQ(std::size_t(kv::DIB_Ptr(dib) - block.data()), layout->pixelOffset);
}

INSTANTIATE_TEST_SUITE_P(Table, ColourCount,
                         ::testing::Values(ColourCase{8, BI_RGB, 0, 256, 1024},
                                           ColourCase{24, BI_RGB, 0, 0, 0}, ColourCase{4, BI_RGB, 3, 3, 12},
                                           ColourCase{1, BI_RGB, 0, 2, 8}, ColourCase{24, BI_RGB, 16, 16, 64},
                                           ColourCase{16, BI_BITFIELDS, 0, 0, 12},
                                           ColourCase{8, BI_RLE8, 0, 256, 1024}));

TEST(DibCreate, SixteenBitsGiveTwentyFourBitsWithoutTable) {
    BITMAPINFOHEADER* dib = kv::DIB_Create(16, 1, 10, 10, true);
    ASSERT_TRUE(dib);
    EXPECT_EQ(dib->biBitCount, 24);
    EXPECT_EQ(dib->biSizeImage, 320u);
    EXPECT_EQ(dib->biClrUsed, 0u);
    EXPECT_EQ(kv::DIB_Ptr(dib), reinterpret_cast<std::uint8_t*>(dib) + 40);
    EXPECT_GE(GlobalSize(kv::HandleFrom_DIB(dib)), kv::DIB_Size(dib));
    EXPECT_EQ(kv::DIB_FromHandle(kv::HandleFrom_DIB(dib)), dib);
    GlobalUnlock(kv::HandleFrom_DIB(dib));
    kv::DIB_Free(dib);
}

TEST(DibCreate, EightBitTopDownHeaderWithStandardColours) {
    BITMAPINFOHEADER* dib = kv::DIB_Create(8, -1, 0, 0, false);
    ASSERT_TRUE(dib);
    EXPECT_EQ(dib->biWidth, 1);
    EXPECT_EQ(dib->biHeight, -1);
    EXPECT_EQ(dib->biSizeImage, 0u);
    EXPECT_EQ(dib->biClrUsed, 256u);
    const auto* table = reinterpret_cast<const RGBQUAD*>(kv::DIB_Colors(dib));
    for (int k : {1, 17, 241}) { // dark red, every 16 entries
        EXPECT_EQ(table[k].rgbRed, 128) << k;
        EXPECT_EQ(table[k].rgbGreen, 0) << k;
    }
    EXPECT_EQ(table[255].rgbBlue, 255);
    EXPECT_EQ(table[7].rgbGreen, 192);
    // Top-down: no negative sizes, stored row of picture row y is y.
    EXPECT_EQ(kv::DIB_SizeImage(dib), 4u);
    EXPECT_EQ(kv::DIB_FlipY(dib, 0), 0);
    kv::DIB_Free(dib);
    kv::DIB_Free(nullptr);
}

TEST(DibCreate, DepthsNoDibHasGiveNull) {
    for (int bits : {0, 2, 3, 5, 7, -8})
        EXPECT_EQ(kv::DIB_Create(bits, 1, 4, 4, true), nullptr) << bits;
    EXPECT_EQ(kv::DIB_Create(24, 1, 1 << 20, 1 << 20, true), nullptr); // larger than any bitmap
}

TEST(DibPixels, XYAndFlipYAddressStoredRows) {
    BITMAPINFOHEADER* dib = kv::DIB_Create(4, 1, 5, 3, true);
    ASSERT_TRUE(dib);
    EXPECT_EQ(kv::DIB_XY(dib, 0, 0), kv::DIB_Ptr(dib)); // the bottom row of a bottom-up DIB
    EXPECT_EQ(kv::DIB_XY(dib, 3, 2), kv::DIB_Ptr(dib) + 2 * 4 + 1);
    EXPECT_EQ(kv::DIB_FlipY(dib, 0), 2);
    EXPECT_EQ(kv::DIB_XYN(dib, kv::DIB_Ptr(dib), 5, 24, 1), kv::DIB_Ptr(dib) + 16 + 15);
    kv::DIB_Free(dib);
}

TEST(DibUsage, IndicesOrPaletteColours) {
    EXPECT_FALSE(kv::DIB_SetUsage(nullptr, nullptr, 0));
    BITMAPINFOHEADER* dib = kv::DIB_Create(4, 1, 2, 2, true);
    ASSERT_TRUE(dib);
    ASSERT_TRUE(kv::DIB_SetUsage(dib, nullptr, 1));
    const auto* words = reinterpret_cast<const WORD*>(kv::DIB_Colors(dib));
    EXPECT_EQ(words[0], 0);
    EXPECT_EQ(words[15], 15);
    // Three palette colours: the rest of the table keeps what it had.
    BITMAPINFOHEADER* fresh = kv::DIB_Create(4, 1, 2, 2, true);
    std::vector<std::uint8_t> log(4 + 3 * 4);
    auto* lp = reinterpret_cast<LOGPALETTE*>(log.data());
    lp->palVersion = 0x300, lp->palNumEntries = 3;
    lp->palPalEntry[0] = PALETTEENTRY{10, 20, 30, 0};
    HPALETTE palette = CreatePalette(lp);
    ASSERT_TRUE(kv::DIB_SetUsage(fresh, palette, 0));
    const auto* table = reinterpret_cast<const RGBQUAD*>(kv::DIB_Colors(fresh));
    EXPECT_EQ(table[0].rgbRed, 10);
    EXPECT_EQ(table[0].rgbBlue, 30);
    EXPECT_EQ(table[15].rgbRed, 255); // white, as created
    // The default palette's 20 colours reach no further than its own entries.
    ASSERT_TRUE(kv::DIB_SetUsage(fresh, nullptr, 0));
    EXPECT_EQ(table[0].rgbRed, 0);
    DeleteObject(palette);
    kv::DIB_Free(dib);
    kv::DIB_Free(fresh);
}

class BitmapToDib : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override { SetDisplayBitsPerPixelForTesting(24); }
    void TearDown() override { SetDisplayBitsPerPixelForTesting(0); }
};

TEST_P(BitmapToDib, RoundTripKeepsColoursTheDepthHolds) {
    const int bits = GetParam();
    // Black, white, and pure red and blue where the depth has them.
    BITMAPINFOHEADER* source = kv::DIB_Create(24, 1, 4, 2, true);
    std::uint8_t* p = kv::DIB_Ptr(source);
    const std::uint8_t colours[4][3] = {{0, 0, 0}, {255, 255, 255}, {0, 0, 255}, {255, 0, 0}};
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 2; ++y)
            std::memcpy(p + y * 12 + 3 * x, colours[x], 3);
    HBITMAP bitmap;
    HPALETTE palette;
    kv::DIB_DIBToBitmap(source, bitmap, palette);
    ASSERT_TRUE(bitmap);
    BITMAPINFOHEADER* dib = kv::DIB_BitmapToDIB(bitmap, nullptr, bits, -1);
    ASSERT_TRUE(dib);
    EXPECT_EQ(dib->biBitCount, bits);
    EXPECT_EQ(dib->biHeight, -2);
    EXPECT_EQ(DibLayoutOf(dib, GlobalSize(kv::HandleFrom_DIB(dib)))->pixelOffset,
              std::size_t(kv::DIB_Ptr(dib) - reinterpret_cast<std::uint8_t*>(dib)));
    HBITMAP back;
    HPALETTE backPalette;
    kv::DIB_DIBToBitmap(dib, back, backPalette);
    ASSERT_TRUE(back);
    gdi::BitmapData d;
    ASSERT_TRUE(gdi::GetBitmapData(back, d));
    // 8 bits without a palette are the colour cube, which has black but no pure red, blue or white.
    const int kept = bits == 1 ? 2 : bits == 8 ? 1 : 4;
    for (int x = 0; x < kept; ++x)
        EXPECT_EQ(0, std::memcmp(d.Row(0) + 3 * x, colours[x], 3)) << "pixel " << x;
    DeleteObject(back);
    DeleteObject(backPalette);
    DeleteObject(bitmap);
    DeleteObject(palette);
    kv::DIB_Free(dib);
    kv::DIB_Free(source);
    EXPECT_EQ(kv::DIB_BitmapToDIB(nullptr, nullptr, bits, 1), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Depths, BitmapToDib, ::testing::Values(1, 4, 8, 24));

TEST(DibDisplay, StretchesTheWholePictureIntoTheRectangle) {
    SetDisplayBitsPerPixelForTesting(24);
    BITMAPINFOHEADER* dib = kv::DIB_Create(24, 1, 2, 1, true);
    std::uint8_t* p = kv::DIB_Ptr(dib);
    p[2] = 255;           // left pixel red
    p[3] = 255, p[4] = 0; // right pixel blue
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP target = CreateCompatibleBitmap(screen, 8, 4);
    HGDIOBJ old = SelectObject(memory, target);
    kv::DIB_Display(dib, memory, 2, 1, 6, 3);
    EXPECT_EQ(GetPixel(memory, 2, 1), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(memory, 3, 2), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(memory, 4, 1), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(memory, 5, 2), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(memory, 6, 1), RGB(0, 0, 0)); // outside the rectangle
    EXPECT_EQ(GetPixel(memory, 2, 0), RGB(0, 0, 0));
    SelectObject(memory, old);
    DeleteObject(target);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    kv::DIB_Free(dib);
    SetDisplayBitsPerPixelForTesting(0);
}

} // namespace
