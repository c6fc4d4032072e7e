// DIB to device bitmap conversion, the palette rule and the BMP files written from the result.
#include "dib/KvDIB.h"
#include "platform/gdi/GdiAccess.h"
#include "platform/ui/Graphics.h"
#include "platform/win/Display.h"
#include "platform/win/GlobalMemory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

using namespace win;
namespace fs = std::filesystem;

// A packed DIB in a global memory block, built field by field.
struct Dib {
    BITMAPINFOHEADER* header = nullptr;
    Dib(int width, int height, int bpp, std::vector<RGBQUAD> colours = {}, DWORD compression = BI_RGB,
        std::vector<DWORD> masks = {}) {
        std::size_t stride = std::size_t((width * bpp + 31) / 32 * 4);
        std::size_t rows = std::size_t(height < 0 ? -height : height);
        std::size_t table = colours.size() * 4 + masks.size() * 4;
        header = static_cast<BITMAPINFOHEADER*>(GlobalAllocPtr(GHND, 40 + table + stride * rows));
        *header = BITMAPINFOHEADER{
            40, width, height, 1, WORD(bpp), compression, DWORD(stride * rows), 0, 0, DWORD(colours.size()),
            0};
        auto* p = reinterpret_cast<std::uint8_t*>(header) + 40;
        std::copy(masks.begin(), masks.end(), reinterpret_cast<DWORD*>(p));
        std::copy(colours.begin(), colours.end(), reinterpret_cast<RGBQUAD*>(p + masks.size() * 4));
        pixels = p + table;
        this->stride = stride;
    }
    ~Dib() { GlobalFreePtr(header); }
    std::uint8_t* Row(int stored) { return pixels + std::size_t(stored) * stride; }
    std::uint8_t* pixels;
    std::size_t stride;
};

std::vector<std::uint8_t> readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::uint32_t u32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}
std::uint16_t u16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::uint16_t(b[at] | b[at + 1] << 8);
}

fs::path workDir(const std::string& name) {
    const char* base = std::getenv("QUILLAN_TEST_WORK");
    fs::path dir = fs::path(base ? base : fs::temp_directory_path().string()) / ("dib-" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

class DisplayDepth : public ::testing::Test {
  protected:
    void UseDisplay(int bpp) {
        SetDisplayBitsPerPixelForTesting(bpp);
        gdi::ResetSystemPalette();
    }
    void TearDown() override {
        SetDisplayBitsPerPixelForTesting(0);
        gdi::ResetSystemPalette();
    }
};

// The whole frame path of the tool: DIB → device bitmap + palette → bitmap object → file.
std::vector<std::uint8_t> saveFrame(const BITMAPINFOHEADER* dib, const fs::path& file, bool fields = false) {
    HBITMAP bitmap;
    HPALETTE palette;
    kv::DIB_DIBToBitmap(dib, bitmap, palette);
    host::TBitmap frame;
    frame.SetHandle(bitmap);
    frame.SetPalette(palette);
    if (fields) frame.SetPixelFormat(host::TPixelFormat::pf24bit);
    frame.SaveToFile(file.string());
    return readFile(file);
}

TEST_F(DisplayDepth, TwentyFourBitFrameGetsFixedPaletteAndExactLayout) {
    UseDisplay(24);
    Dib dib(3, 2, 24);
    // Stored bottom row first: bottom row pixels 1,2,3, top row 4,5,6 (blue = n, green = 10n, red = 20n).
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            int n = y * 3 + x + 1;
            dib.Row(y)[3 * x] = std::uint8_t(n), dib.Row(y)[3 * x + 1] = std::uint8_t(10 * n),
                           dib.Row(y)[3 * x + 2] = std::uint8_t(20 * n);
        }
    dib.Row(0)[9] = 0xEE; // padding of the source must not leak into the file
    for (bool fields : {false, true}) {
        auto f = saveFrame(dib.header, workDir("fixed") / "10000.BMP", fields);
        ASSERT_EQ(f.size(), 1078u + 24u);
        EXPECT_EQ(f[0], 'B');
        EXPECT_EQ(f[1], 'M');
        EXPECT_EQ(u32(f, 2), 1102u);
        EXPECT_EQ(u32(f, 6), 0u);
        EXPECT_EQ(u32(f, 10), 1078u);
        EXPECT_EQ(u32(f, 14), 40u);
        EXPECT_EQ(u32(f, 18), 3u);
        EXPECT_EQ(u32(f, 22), 2u);
        EXPECT_EQ(u16(f, 26), 1u);
        EXPECT_EQ(u16(f, 28), 24u);
        EXPECT_EQ(u32(f, 30), 0u);
        EXPECT_EQ(u32(f, 34), 24u);
        EXPECT_EQ(u32(f, 38), 0u);
        EXPECT_EQ(u32(f, 42), 0u);
        EXPECT_EQ(u32(f, 46), 256u);
        EXPECT_EQ(u32(f, 50), 0u);
        for (int k = 0; k < 256; ++k) {
            std::size_t at = 54 + 4 * std::size_t(k);
            EXPECT_EQ(f[at], k / 64 * 64) << k;        // blue
            EXPECT_EQ(f[at + 1], k / 8 % 8 * 32) << k; // green
            EXPECT_EQ(f[at + 2], k % 8 * 32) << k;     // red
            EXPECT_EQ(f[at + 3], 0) << k;
        }
        const std::vector<std::uint8_t> rows = {1, 10, 20, 2, 20, 40,  3, 30, 60,  0, 0, 0,
                                                4, 40, 80, 5, 50, 100, 6, 60, 120, 0, 0, 0};
        EXPECT_EQ(std::vector<std::uint8_t>(f.begin() + 1078, f.end()), rows);
    }
}

TEST_F(DisplayDepth, FramesWithoutColourTableHaveNoPalette) {
    // 16- and 32-bit frames: no palette, no colour table, pixels at offset 54, at the display's depth.
    for (int display : {16, 24, 32}) {
        UseDisplay(display);
        for (int bpp : {16, 32}) {
            SCOPED_TRACE(std::to_string(display) + "/" + std::to_string(bpp));
            Dib dib(3, 2, bpp);
            EXPECT_EQ(kv::DIB_CreatePalette(dib.header), nullptr);
            for (bool fields : {false, true}) {
                auto f = saveFrame(dib.header, workDir("nopal") / "10000.BMP", fields);
                const int b = fields ? 24 : display;
                const std::uint32_t stride = std::uint32_t((3 * b + 31) / 32 * 4);
                ASSERT_EQ(f.size(), 54u + 2 * stride);
                EXPECT_EQ(u32(f, 10), 54u);
                EXPECT_EQ(u16(f, 28), b);
                EXPECT_EQ(u32(f, 34), 2 * stride);
                EXPECT_EQ(u32(f, 46), 0u);
            }
        }
    }
}

TEST_F(DisplayDepth, PaletteRule) {
    UseDisplay(24);
    // Own colours, read from behind the header.
    Dib four(2, 2, 4, std::vector<RGBQUAD>(16, RGBQUAD{1, 2, 3, 0}));
    HPALETTE p = kv::DIB_CreatePalette(four.header);
    PALETTEENTRY e[16];
    ASSERT_EQ(GetPaletteEntries(p, 0, 16, e), 16u);
    EXPECT_EQ(e[15].peRed, 3);
    EXPECT_EQ(e[15].peBlue, 1);
    DeleteObject(p);
    // On a palette screen 16 colours become the system palette's first and last eight entries.
    UseDisplay(8);
    p = kv::DIB_CreatePalette(four.header);
    ASSERT_EQ(GetPaletteEntries(p, 0, 16, e), 16u);
    EXPECT_EQ(e[1].peRed, 128); // dark red, system entry 1
    EXPECT_EQ(e[8].peRed, 128); // system entry 248, grey
    EXPECT_EQ(e[15].peGreen, 255);
    DeleteObject(p);
    // Bit-field masks are not colours.
    Dib fields(2, 2, 16, {}, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F});
    fields.header->biClrUsed = 3;
    EXPECT_EQ(kv::DIB_CreatePalette(fields.header), nullptr);
}

TEST_F(DisplayDepth, EightBitDisplayWritesFramePaletteAndIndices) {
    UseDisplay(8);
    // An 8-bit frame with three colours; pixels 2, 1, 0.
    Dib dib(3, 1, 8, {{10, 20, 30, 0}, {0, 0, 200, 0}, {250, 0, 0, 0}});
    dib.Row(0)[0] = 2, dib.Row(0)[1] = 1, dib.Row(0)[2] = 0;
    auto f = saveFrame(dib.header, workDir("pal8") / "10000.BMP");
    ASSERT_EQ(f.size(), 1078u + 4u);
    EXPECT_EQ(u16(f, 28), 8u);
    EXPECT_EQ(u32(f, 10), 1078u);
    EXPECT_EQ(u32(f, 46), 256u);
    const std::vector<std::uint8_t> table = {10, 20, 30, 0, 0, 0, 200, 0, 250, 0, 0, 0};
    EXPECT_EQ(std::vector<std::uint8_t>(f.begin() + 54, f.begin() + 66), table);
    EXPECT_TRUE(std::all_of(f.begin() + 66, f.begin() + 1078, [](std::uint8_t v) { return v == 0; }));
    EXPECT_EQ(std::vector<std::uint8_t>(f.begin() + 1078, f.end()), (std::vector<std::uint8_t>{2, 1, 0, 0}));

    // A 24-bit frame through the fixed palette: pure red (224 is the top level) becomes index 7.
    Dib rgb(2, 1, 24);
    rgb.Row(0)[2] = 224;                                         // red
    rgb.Row(0)[3] = 192, rgb.Row(0)[4] = 32, rgb.Row(0)[5] = 64; // blue 192, green 32, red 64
    f = saveFrame(rgb.header, workDir("pal8") / "10001.BMP");
    ASSERT_EQ(f.size(), 1078u + 4u);
    EXPECT_EQ(f[1078], 7);
    EXPECT_EQ(f[1079], 3 * 64 + 1 * 8 + 2);
    // Frames without palette use the system palette as it stands.
    Dib plain(1, 1, 32);
    plain.Row(0)[0] = 255, plain.Row(0)[1] = 255, plain.Row(0)[2] = 255;
    f = saveFrame(plain.header, workDir("pal8") / "10002.BMP");
    ASSERT_EQ(f.size(), 1078u + 4u);
    EXPECT_EQ(f[1078], 255);
    EXPECT_EQ(u32(f, 54 + 4 * 255), 0x00FFFFFFu);
}

TEST(DibToBitmap, HostileHeadersGiveNullAndNeverReadOutside) {
    SetDisplayBitsPerPixelForTesting(24);
    const std::size_t live = gdi::LiveObjectCount();
    auto convert = [](const BITMAPINFOHEADER* h) {
        HBITMAP b = reinterpret_cast<HBITMAP>(1);
        HPALETTE p = reinterpret_cast<HPALETTE>(1);
        kv::DIB_DIBToBitmap(h, b, p);
        bool ok = b != nullptr;
        DeleteObject(b);
        DeleteObject(p);
        return ok;
    };
    EXPECT_FALSE(convert(nullptr));
    {
        // A global block too short for the header itself is refused before a field is read.
        void* block = GlobalAllocPtr(GMEM_MOVEABLE | GMEM_ZEROINIT, 20);
        EXPECT_FALSE(convert(static_cast<BITMAPINFOHEADER*>(block)));
        GlobalFreePtr(block);
    }
    {
        // biClrUsed 0 at 8 bits: the table is 256 entries long and the pixels follow it.
        Dib dib(1, 1, 8, std::vector<RGBQUAD>(256, RGBQUAD{0, 0, 0, 0}));
        dib.header->biClrUsed = 0;
        reinterpret_cast<RGBQUAD*>(dib.header + 1)[9] = RGBQUAD{1, 2, 3, 0};
        dib.pixels[0] = 9;
        HBITMAP b;
        HPALETTE p;
        kv::DIB_DIBToBitmap(dib.header, b, p);
        ASSERT_TRUE(b);
        gdi::BitmapData d;
        ASSERT_TRUE(gdi::GetBitmapData(b, d));
        EXPECT_EQ(d.bits[0], 1);
        EXPECT_EQ(d.bits[2], 3);
        DeleteObject(b);
        DeleteObject(p);
    }
    for (auto spoil : std::vector<void (*)(BITMAPINFOHEADER&)>{
             [](BITMAPINFOHEADER& h) { h.biClrUsed = 300; },
             [](BITMAPINFOHEADER& h) { h.biClrUsed = 0xFFFFFFFF; },
             [](BITMAPINFOHEADER& h) { h.biWidth = 5000; },         // larger than the block
             [](BITMAPINFOHEADER& h) { h.biHeight = -0x7FFFFFFF; }, // absurd height
             [](BITMAPINFOHEADER& h) { h.biSize = 0x10000; }, [](BITMAPINFOHEADER& h) { h.biSize = 39; },
             [](BITMAPINFOHEADER& h) { h.biPlanes = 0; },
             [](BITMAPINFOHEADER& h) { h.biSizeImage = 1; },         // claims fewer pixel bytes than needed
             [](BITMAPINFOHEADER& h) { h.biCompression = BI_RLE4; }, // run-length 4-bit data at 8 bits
         }) {
        Dib dib(4, 4, 8, std::vector<RGBQUAD>(256, RGBQUAD{0, 0, 0, 0}));
        spoil(*dib.header);
        EXPECT_FALSE(convert(dib.header));
        EXPECT_EQ(kv::DIB_CreatePalette(dib.header), nullptr);
    }
    EXPECT_EQ(gdi::LiveObjectCount(), live);
    SetDisplayBitsPerPixelForTesting(0);
}

TEST(DibToBitmap, LongerHeadersKeepTheirTablesAndMasksInPlace) {
    SetDisplayBitsPerPixelForTesting(24);
    // A 124-byte header with bit fields: the masks are inside the header, the pixels right behind it.
    const std::size_t size = 124 + 4;
    auto* block = static_cast<std::uint8_t*>(GlobalAllocPtr(GHND, size));
    BITMAPINFOHEADER h{124, 1, 1, 1, 16, BI_BITFIELDS, 4, 0, 0, 0, 0};
    std::memcpy(block, &h, 40);
    const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(block + 40, masks, 12);
    block[124] = 0x00, block[125] = 0xF8; // pure red in 5-6-5
    HBITMAP b;
    HPALETTE p;
    kv::DIB_DIBToBitmap(reinterpret_cast<BITMAPINFOHEADER*>(block), b, p);
    ASSERT_TRUE(b);
    EXPECT_EQ(p, nullptr);
    gdi::BitmapData d;
    ASSERT_TRUE(gdi::GetBitmapData(b, d));
    EXPECT_EQ(std::vector<int>(d.bits.get(), d.bits.get() + 3), (std::vector<int>{0, 0, 255}));
    DeleteObject(b);
    GlobalFreePtr(block);
    SetDisplayBitsPerPixelForTesting(0);
}

} // namespace
