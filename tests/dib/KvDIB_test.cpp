// DIB to device bitmap conversion, the palette rule and the BMP files written from the result.
#include "dib/KvDIB.h"
#include "platform/gdi/GdiAccess.h"
#include "platform/ui/Graphics.h"
#include "platform/win/Display.h"
#include "platform/win/GlobalMemory.h"

#include <gtest/gtest.h>

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
        std::memcpy(p, masks.data(), masks.size() * 4);
        std::memcpy(p + masks.size() * 4, colours.data(), colours.size() * 4);
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

} // namespace
