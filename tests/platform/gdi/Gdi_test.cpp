// The GDI stand-in: handle validation, palettes and the system palette, DIB to device conversion.
#include "platform/gdi/Gdi.h"
#include "platform/gdi/GdiAccess.h"
#include "platform/win/Display.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using namespace win;

class Screen : public ::testing::Test {
  protected:
    void Use(int bpp) {
        SetDisplayBitsPerPixelForTesting(bpp);
        gdi::ResetSystemPalette();
    }
    void TearDown() override {
        SetDisplayBitsPerPixelForTesting(0);
        gdi::ResetSystemPalette();
    }
};

HPALETTE makePalette(const std::vector<PALETTEENTRY>& entries) {
    std::vector<std::uint8_t> buffer(4 + 4 * entries.size());
    auto* log = reinterpret_cast<LOGPALETTE*>(buffer.data());
    log->palVersion = 0x300;
    log->palNumEntries = WORD(entries.size());
    std::memcpy(log->palPalEntry, entries.data(), 4 * entries.size());
    return CreatePalette(log);
}

// A BITMAPINFO with room for 256 colours, followed by the pixel rows.
struct Info {
    BITMAPINFOHEADER h{};
    RGBQUAD colours[256]{};
    Info(int w, int height, int bpp, DWORD compression = BI_RGB) {
        h = BITMAPINFOHEADER{40, w, height, 1, WORD(bpp), compression, 0, 0, 0, 0, 0};
    }
    const BITMAPINFO* Get() const { return reinterpret_cast<const BITMAPINFO*>(this); }
    BITMAPINFO* Get() { return reinterpret_cast<BITMAPINFO*>(this); }
};

// Reads a bitmap back as 24-bit rows, bottom row first, through a screen DC.
std::vector<std::uint8_t> read24(HBITMAP bitmap, int w, int h) {
    Info info(w, h, 24);
    std::vector<std::uint8_t> out(std::size_t((w * 24 + 31) / 32 * 4 * h), 0xCC);
    HDC dc = GetDC(nullptr);
    EXPECT_EQ(GetDIBits(dc, bitmap, 0, UINT(h), out.data(), info.Get(), DIB_RGB_COLORS), h);
    ReleaseDC(nullptr, dc);
    return out;
}

TEST_F(Screen, StaleForeignAndWrongKindHandlesFail) {
    Use(24);
    const std::size_t live = gdi::LiveObjectCount();
    HDC dc = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 4, 4);
    HPALETTE palette = makePalette({{1, 2, 3, 0}});
    ASSERT_TRUE(bitmap && palette);
    // Wrong kinds are refused.
    EXPECT_EQ(SelectPalette(dc, reinterpret_cast<HPALETTE>(bitmap), FALSE), nullptr);
    EXPECT_EQ(GetPaletteEntries(reinterpret_cast<HPALETTE>(bitmap), 0, 1, nullptr), 0u);
    EXPECT_EQ(ReleaseDC(nullptr, reinterpret_cast<HDC>(palette)), 0);
    Info info(4, 4, 24);
    EXPECT_EQ(GetDIBits(dc, reinterpret_cast<HBITMAP>(palette), 0, 4, nullptr, info.Get(), DIB_RGB_COLORS),
              0);
    // Foreign values that were never handles.
    int local = 0;
    EXPECT_EQ(GetObject(&local, sizeof(BITMAP), &local), 0);
    EXPECT_EQ(DeleteObject(&local), FALSE);
    EXPECT_EQ(GetDeviceCaps(reinterpret_cast<HDC>(&local), BITSPIXEL), 0);
    // Deleted objects are stale.
    EXPECT_EQ(DeleteObject(bitmap), TRUE);
    EXPECT_EQ(DeleteObject(palette), TRUE);
    EXPECT_EQ(DeleteObject(bitmap), FALSE);
    BITMAP bm{};
    EXPECT_EQ(GetObject(bitmap, sizeof bm, &bm), 0);
    EXPECT_EQ(ReleaseDC(nullptr, dc), 1);
    EXPECT_EQ(ReleaseDC(nullptr, dc), 0);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 0);
    EXPECT_EQ(gdi::LiveObjectCount(), live);
}

TEST_F(Screen, ObjectsInUseCannotBeDeleted) {
    Use(24);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 2, 2);
    HPALETTE palette = makePalette({{1, 2, 3, 0}});
    HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
    HPALETTE oldPalette = SelectPalette(memory, palette, FALSE);
    ASSERT_TRUE(oldBitmap && oldPalette);
    EXPECT_EQ(oldPalette, GetStockObject(DEFAULT_PALETTE));
    EXPECT_EQ(DeleteObject(bitmap), FALSE);
    EXPECT_EQ(DeleteObject(palette), FALSE);
    // A memory DC makes bitmaps like the one selected into it.
    HBITMAP compatible = CreateCompatibleBitmap(memory, 3, 1);
    BITMAP bm{};
    ASSERT_EQ(GetObject(compatible, sizeof bm, &bm), int(sizeof bm));
    EXPECT_EQ(bm.bmBitsPixel, 24);
    EXPECT_EQ(bm.bmWidthBytes, 12);
    SelectObject(memory, oldBitmap);
    SelectPalette(memory, oldPalette, FALSE);
    EXPECT_EQ(DeleteObject(bitmap), TRUE);
    EXPECT_EQ(DeleteObject(palette), TRUE);
    EXPECT_EQ(DeleteObject(compatible), TRUE);
    EXPECT_EQ(DeleteDC(memory), TRUE);
    EXPECT_EQ(DeleteDC(screen), FALSE); // a window DC is released, not deleted
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
}

TEST_F(Screen, DeviceCapsFollowTheDisplayDepth) {
    for (int bpp : {8, 16, 24, 32}) {
        Use(bpp);
        HDC dc = GetDC(nullptr);
        EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), bpp);
        EXPECT_EQ(GetDeviceCaps(dc, PLANES), 1);
        EXPECT_EQ(GetDeviceCaps(dc, SIZEPALETTE), bpp == 8 ? 256 : 0);
        EXPECT_EQ((GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE) != 0, bpp == 8);
        EXPECT_EQ(GetSystemPaletteEntries(dc, 0, 0, nullptr), bpp == 8 ? 256u : 0u);
        ReleaseDC(nullptr, dc);
    }
}

TEST_F(Screen, ForegroundRealisationFillsTheFreeMiddleSlots) {
    Use(8);
    HDC dc = GetDC(nullptr);
    PALETTEENTRY sys[256];
    ASSERT_EQ(GetSystemPaletteEntries(dc, 0, 256, sys), 256u);
    EXPECT_EQ(sys[0].peRed, 0);
    EXPECT_EQ(sys[7].peRed, 192);
    EXPECT_EQ(sys[255].peRed, 255);
    EXPECT_EQ(sys[249].peRed, 255); // pure red among the last ten
    EXPECT_EQ(sys[249].peGreen, 0);
    // Black is a static colour and shares its slot; the two new colours take slots 10 and 11.
    HPALETTE palette = makePalette({{0, 0, 0, 0}, {10, 20, 30, 0}, {40, 50, 60, 0}});
    HPALETTE old = SelectPalette(dc, palette, FALSE);
    EXPECT_EQ(RealizePalette(dc), 2u);
    ASSERT_EQ(GetSystemPaletteEntries(dc, 10, 2, sys), 2u);
    EXPECT_EQ(sys[0].peRed, 10);
    EXPECT_EQ(sys[1].peBlue, 60);
    // Converting a DIB now maps each pixel to the nearest palette colour's slot (white is nearest
    // to the palette's lightest colour, not to the static white the palette does not hold).
    Info info(4, 1, 24);
    const std::uint8_t pixels[12] = {30, 20, 10, 61, 49, 41, 0, 0, 1, 255, 255, 255};
    HBITMAP bitmap = CreateDIBitmap(dc, &info.h, CBM_INIT, pixels, info.Get(), DIB_RGB_COLORS);
    ASSERT_TRUE(bitmap);
    gdi::BitmapData data;
    ASSERT_TRUE(gdi::GetBitmapData(bitmap, data));
    EXPECT_EQ(data.bpp, 8);
    EXPECT_EQ(std::vector<int>(data.bits.get(), data.bits.get() + 4), (std::vector<int>{10, 11, 0, 11}));
    SelectPalette(dc, old, FALSE);
    DeleteObject(bitmap);
    DeleteObject(palette);
    ReleaseDC(nullptr, dc);
}

TEST_F(Screen, EightBitReadBackUsesTheSelectedPalette) {
    Use(24);
    HDC dc = GetDC(nullptr);
    Info in(3, 1, 24);
    const std::uint8_t pixels[12] = {0, 0, 250, 0, 200, 0, 9, 9, 9, 0, 0, 0};
    HBITMAP bitmap = CreateDIBitmap(dc, &in.h, CBM_INIT, pixels, in.Get(), DIB_RGB_COLORS);
    HPALETTE palette = makePalette({{0, 0, 0, 0}, {255, 0, 0, 0}, {0, 255, 0, 0}});
    SelectPalette(dc, palette, FALSE);
    Info out(3, 1, 8);
    std::uint8_t indices[4] = {7, 7, 7, 7};
    ASSERT_EQ(GetDIBits(dc, bitmap, 0, 1, indices, out.Get(), DIB_RGB_COLORS), 1);
    EXPECT_EQ(indices[0], 1); // near red
    EXPECT_EQ(indices[1], 2); // near green
    EXPECT_EQ(indices[2], 0); // near black
    EXPECT_EQ(indices[3], 0); // padding
    EXPECT_EQ(out.colours[1].rgbRed, 255);
    EXPECT_EQ(out.colours[2].rgbGreen, 255);
    EXPECT_EQ(out.colours[3].rgbRed, 0); // past the palette: zero
    SelectPalette(dc, static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), FALSE);
    DeleteObject(palette);
    DeleteObject(bitmap);
    ReleaseDC(nullptr, dc);
}

struct FormatCase {
    const char* name;
    int bpp;
    DWORD compression;
    std::vector<DWORD> masks;
    std::vector<RGBQUAD> colours;
    std::vector<std::uint8_t> row; // one row of 2 pixels, padded
};

// Every format the decoders hand out becomes the same 24-bit picture: (blue 0, green 0, red 255) and
// (blue 255, green 255, red 255), in both row orders.
TEST_F(Screen, DecoderFormatsConvertToTheScreenDepth) {
    Use(24);
    const std::vector<FormatCase> cases = {
        {"1 bit", 1, BI_RGB, {}, {{0, 0, 255, 0}, {255, 255, 255, 0}}, {0x40, 0, 0, 0}},
        {"4 bit", 4, BI_RGB, {}, {{1, 1, 1, 0}, {0, 0, 255, 0}, {255, 255, 255, 0}}, {0x12, 0, 0, 0}},
        {"8 bit", 8, BI_RGB, {}, {{0, 0, 255, 0}, {255, 255, 255, 0}}, {0, 1, 0, 0}},
        {"16 bit 555", 16, BI_RGB, {}, {}, {0x00, 0x7C, 0xFF, 0x7F}},
        {"16 bit 565", 16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, {}, {0x00, 0xF8, 0xFF, 0xFF}},
        {"32 bit", 32, BI_RGB, {}, {}, {0, 0, 255, 0x55, 255, 255, 255, 0x55}},
        {"32 bit fields", 32, BI_BITFIELDS, {0xFF, 0xFF00, 0xFF0000}, {}, {255, 0, 0, 0, 255, 255, 255, 0}},
    };
    for (const FormatCase& c : cases) {
        for (int sign : {1, -1}) {
            SCOPED_TRACE(std::string(c.name) + (sign < 0 ? " top-down" : ""));
            std::vector<std::uint8_t> dib(40 + 4 * (c.masks.size() + c.colours.size()));
            BITMAPINFOHEADER h{
                40, 2, 2 * sign, 1, WORD(c.bpp), c.compression, 0, 0, 0, DWORD(c.colours.size()), 0};
            std::memcpy(dib.data(), &h, 40);
            std::copy(c.masks.begin(), c.masks.end(), reinterpret_cast<DWORD*>(dib.data() + 40));
            std::copy(c.colours.begin(), c.colours.end(),
                      reinterpret_cast<RGBQUAD*>(dib.data() + 40 + 4 * c.masks.size()));
            // Two identical rows, so the picture is the same in either order.
            std::vector<std::uint8_t> bits = c.row;
            bits.insert(bits.end(), c.row.begin(), c.row.end());
            HDC dc = GetDC(nullptr);
            auto* info = reinterpret_cast<const BITMAPINFO*>(dib.data());
            HBITMAP bitmap =
                CreateDIBitmap(dc, &info->bmiHeader, CBM_INIT, bits.data(), info, DIB_RGB_COLORS);
            ReleaseDC(nullptr, dc);
            ASSERT_TRUE(bitmap);
            std::vector<std::uint8_t> row = {0, 0, 255, 255, 255, 255, 0, 0};
            std::vector<std::uint8_t> both = row;
            both.insert(both.end(), row.begin(), row.end());
            EXPECT_EQ(read24(bitmap, 2, 2), both);
            DeleteObject(bitmap);
        }
    }
}

TEST_F(Screen, TopDownSourceIsStoredBottomUp) {
    Use(24);
    Info info(1, -2, 24);
    const std::uint8_t bits[8] = {1, 1, 1, 0, 2, 2, 2, 0}; // top row first
    HDC dc = GetDC(nullptr);
    HBITMAP bitmap = CreateDIBitmap(dc, &info.h, CBM_INIT, bits, info.Get(), DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    gdi::BitmapData d;
    ASSERT_TRUE(gdi::GetBitmapData(bitmap, d));
    EXPECT_FALSE(d.topDown);
    EXPECT_EQ(d.bits[0], 2); // bottom row first in memory
    EXPECT_EQ(d.bits[4], 1);
    EXPECT_EQ(d.Row(0)[0], 1);
    DeleteObject(bitmap);
}

TEST_F(Screen, DeviceMemoryFormatsOfSixteenAndThirtyTwoBitScreens) {
    Info info(1, 1, 24);
    const std::uint8_t bits[4] = {0xFF, 0x80, 0x08, 0};
    for (int bpp : {16, 32}) {
        Use(bpp);
        HDC dc = GetDC(nullptr);
        HBITMAP bitmap = CreateDIBitmap(dc, &info.h, CBM_INIT, bits, info.Get(), DIB_RGB_COLORS);
        ReleaseDC(nullptr, dc);
        gdi::BitmapData d;
        ASSERT_TRUE(gdi::GetBitmapData(bitmap, d));
        EXPECT_EQ(d.bpp, bpp);
        if (bpp == 16) {
            // 5-5-5: red 1, green 16, blue 31.
            EXPECT_EQ(d.bits[0] | d.bits[1] << 8, (1 << 10) | (16 << 5) | 31);
        } else {
            EXPECT_EQ(std::vector<int>(d.bits.get(), d.bits.get() + 4),
                      (std::vector<int>{0xFF, 0x80, 0x08, 0}));
        }
        DeleteObject(bitmap);
    }
}

TEST_F(Screen, MalformedDescriptionsAreRefused) {
    Use(24);
    HDC dc = GetDC(nullptr);
    const std::uint8_t bits[64] = {};
    auto tryMake = [&](BITMAPINFOHEADER h) {
        Info info(1, 1, 24);
        info.h = h;
        HBITMAP b = CreateDIBitmap(dc, &info.h, CBM_INIT, bits, info.Get(), DIB_RGB_COLORS);
        if (b) DeleteObject(b);
        return b != nullptr;
    };
    BITMAPINFOHEADER good{40, 2, 2, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    EXPECT_TRUE(tryMake(good));
    for (auto change : std::vector<void (*)(BITMAPINFOHEADER&)>{
             [](BITMAPINFOHEADER& h) { h.biSize = 12; }, [](BITMAPINFOHEADER& h) { h.biWidth = 0; },
             [](BITMAPINFOHEADER& h) { h.biHeight = 0; }, [](BITMAPINFOHEADER& h) { h.biWidth = 0x7FFFFFFF; },
             [](BITMAPINFOHEADER& h) { h.biBitCount = 7; },
             [](BITMAPINFOHEADER& h) { h.biCompression = BI_RLE8; },
             [](BITMAPINFOHEADER& h) { h.biCompression = BI_BITFIELDS; }, // 24 bits have no fields
         }) {
        BITMAPINFOHEADER h = good;
        change(h);
        EXPECT_FALSE(tryMake(h));
    }
    EXPECT_EQ(CreateDIBitmap(dc, &good, CBM_INIT, nullptr, nullptr, DIB_RGB_COLORS), nullptr);
    ReleaseDC(nullptr, dc);
}

} // namespace
