// CreateDIBitmap and GetDIBits take every kind of DIB a BMP file holds and give the pixels ffmpeg's
// BMP decoder gives for the same file.
#include "platform/gdi/Gdi.h"
#include "platform/win/Display.h"
#include "support/BmpImage.h"
#include "support/TestWork.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace win;
using namespace testsupport;

constexpr int kWidth = 37, kHeight = 21;

std::vector<std::uint32_t> palette(std::size_t n) {
    std::vector<std::uint32_t> p(n);
    for (std::size_t i = 0; i < n; ++i)
        p[i] = std::uint32_t((i * 37 % 256) << 16 | (255 - i * 11 % 256) << 8 | (i * 101 % 256));
    return p;
}

std::vector<std::uint32_t> picture(std::uint32_t (*value)(int x, int y)) {
    std::vector<std::uint32_t> v(std::size_t(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            v[std::size_t(y) * kWidth + std::size_t(x)] = value(x, y);
    return v;
}

// Indices in runs and in single pixels, as run-length data meets them.
std::vector<std::uint32_t> indices(std::uint32_t count) {
    std::vector<std::uint32_t> v(std::size_t(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            v[std::size_t(y) * kWidth + std::size_t(x)] =
                x < 12 ? std::uint32_t(y % count) : std::uint32_t((x * 7 + y * 3) % count);
    return v;
}

BmpSpec indexed(int bits, std::uint32_t tableSize, std::uint32_t indexRange, bool topDown = false) {
    BmpSpec s;
    s.width = kWidth, s.height = kHeight, s.bitCount = bits, s.topDown = topDown;
    s.colours = palette(tableSize);
    s.clrUsed = tableSize == (1u << bits) ? 0 : tableSize;
    s.pixels = packDibRows(indices(indexRange), kWidth, kHeight, bits, topDown);
    return s;
}

BmpSpec trueColour(int bits, std::uint32_t headerSize = 40, bool topDown = false) {
    BmpSpec s;
    s.width = kWidth, s.height = kHeight, s.bitCount = bits, s.topDown = topDown, s.headerSize = headerSize;
    auto values =
        picture([](int x, int y) { return std::uint32_t(x * 6 << 16 | y * 12 << 8 | (x + y) * 4); });
    if (bits == 16)
        for (auto& v : values) // 5-6-5 or 5-5-5 values from the same pattern
            v = v & 0xFFFF;
    s.pixels = packDibRows(values, kWidth, kHeight, bits, topDown);
    return s;
}

BmpSpec bitfields(int bits, std::uint32_t headerSize, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    BmpSpec s = trueColour(bits, headerSize);
    s.compression = 3;
    s.masks[0] = r, s.masks[1] = g, s.masks[2] = b;
    return s;
}

BmpSpec rle(bool fourBit, int skipFrom) {
    BmpSpec s;
    s.width = kWidth, s.height = kHeight, s.bitCount = fourBit ? 4 : 8, s.compression = fourBit ? 2 : 1;
    const std::uint32_t n = fourBit ? 16 : 200;
    s.colours = palette(n);
    s.clrUsed = n == 16 ? 0 : n;
    s.pixels = encodeDibRle(indices(n), kWidth, kHeight, fourBit, skipFrom);
    return s;
}

struct Kind {
    const char* name;
    const char* ffmpegPixFmt;       // made by ffmpeg's encoder when not null
    std::function<BmpSpec()> build; // else made by the byte builder
};

std::ostream& operator<<(std::ostream& os, const Kind& k) {
    return os << k.name;
}

const Kind kKinds[] = {
    {"ffmpeg_bgr24", "bgr24", nullptr},
    {"ffmpeg_bgra", "bgra", nullptr},
    {"ffmpeg_rgb565", "rgb565le", nullptr},
    {"ffmpeg_rgb555", "rgb555le", nullptr},
    {"ffmpeg_pal8", "pal8", nullptr},
    {"ffmpeg_gray", "gray", nullptr},
    {"ffmpeg_monob", "monob", nullptr},
    {"bits1", nullptr, [] { return indexed(1, 2, 2); }},
    {"bits4", nullptr, [] { return indexed(4, 16, 16); }},
    {"bits8", nullptr, [] { return indexed(8, 256, 256); }},
    {"bits4_clrused20", nullptr, [] { return indexed(4, 20, 16); }},
    {"bits8_short_table", nullptr, [] { return indexed(8, 40, 64); }},
    {"bits1_top_down", nullptr, [] { return indexed(1, 2, 2, true); }},
    {"bits8_top_down", nullptr, [] { return indexed(8, 256, 256, true); }},
    {"core_bits1", nullptr,
     [] {
         auto s = indexed(1, 2, 2);
         s.headerSize = 12;
         return s;
     }},
    {"core_bits4", nullptr,
     [] {
         auto s = indexed(4, 16, 16);
         s.headerSize = 12;
         return s;
     }},
    {"core_bits8", nullptr,
     [] {
         auto s = indexed(8, 256, 256);
         s.headerSize = 12;
         return s;
     }},
    {"core_bits24", nullptr, [] { return trueColour(24, 12); }},
    {"bits16_555", nullptr, [] { return trueColour(16); }},
    {"bits24", nullptr, [] { return trueColour(24); }},
    {"bits24_size_image_0", nullptr,
     [] {
         auto s = trueColour(24);
         s.sizeImage = 0;
         return s;
     }},
    {"bits24_top_down", nullptr, [] { return trueColour(24, 40, true); }},
    {"bits24_optimisation_table", nullptr,
     [] {
         auto s = trueColour(24);
         s.colours = palette(16);
         s.clrUsed = 16;
         return s;
     }},
    {"bits32", nullptr, [] { return trueColour(32); }},
    {"v4_bits24", nullptr, [] { return trueColour(24, 108); }},
    {"v5_bits24", nullptr, [] { return trueColour(24, 124); }},
    {"bitfields565_behind_40", nullptr, [] { return bitfields(16, 40, 0xF800, 0x07E0, 0x001F); }},
    {"bitfields565_in_56", nullptr, [] { return bitfields(16, 56, 0xF800, 0x07E0, 0x001F); }},
    {"bitfields555_in_108", nullptr, [] { return bitfields(16, 108, 0x7C00, 0x03E0, 0x001F); }},
    {"bitfields888_in_124", nullptr, [] { return bitfields(32, 124, 0xFF0000, 0xFF00, 0xFF); }},
    {"bitfields888_behind_40", nullptr, [] { return bitfields(32, 40, 0xFF0000, 0xFF00, 0xFF); }},
    {"rle8", nullptr, [] { return rle(false, 1 << 30); }},
    {"rle8_skips", nullptr, [] { return rle(false, 30); }},
    {"rle4", nullptr, [] { return rle(true, 1 << 30); }},
    {"rle4_skips", nullptr, [] { return rle(true, 25); }},
};

class DibConvert : public ::testing::TestWithParam<Kind> {
  protected:
    void SetUp() override { SetDisplayBitsPerPixelForTesting(32); }
    void TearDown() override { SetDisplayBitsPerPixelForTesting(0); }
};

// The file's pixels through CreateDIBitmap and GetDIBits as 24-bit rows, top row first.
std::vector<std::uint8_t> throughGdi(const std::vector<std::uint8_t>& file, std::string& error) {
    if (file.size() < 18) return error = "file too short", std::vector<std::uint8_t>{};
    const std::uint32_t offset = le32(&file[10]);
    // The packed DIB, 4-byte aligned as a global block holds it.
    std::vector<std::uint32_t> dib((file.size() - 14 + 3) / 4);
    std::memcpy(dib.data(), file.data() + 14, file.size() - 14);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(dib.data());
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(bytes);
    HDC dc = GetDC(nullptr);
    HBITMAP bitmap = CreateDIBitmap(dc, header, CBM_INIT, bytes + (offset - 14),
                                    reinterpret_cast<const BITMAPINFO*>(bytes), DIB_RGB_COLORS);
    std::vector<std::uint8_t> out;
    if (!bitmap) {
        error = "CreateDIBitmap failed";
    } else {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = kWidth;
        info.bmiHeader.biHeight = -kHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        const std::size_t stride = (kWidth * 3 + 3) / 4 * 4;
        std::vector<std::uint8_t> rows(stride * kHeight);
        if (GetDIBits(dc, bitmap, 0, kHeight, rows.data(), &info, DIB_RGB_COLORS) != kHeight) {
            error = "GetDIBits failed";
        } else {
            for (int y = 0; y < kHeight; ++y)
                out.insert(out.end(), rows.begin() + long(stride * y),
                           rows.begin() + long(stride * y + kWidth * 3));
        }
        DeleteObject(bitmap);
    }
    ReleaseDC(nullptr, dc);
    return out;
}

TEST_P(DibConvert, GivesFfmpegsPixels) {
    if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
    const Kind& kind = GetParam();
    const auto dir = workDir("dibconvert");
    const auto bmp = dir / (std::string(kind.name) + ".bmp");
    const auto raw = dir / (std::string(kind.name) + ".raw");
    if (kind.ffmpegPixFmt) {
        ASSERT_EQ(run("ffmpeg -v error -y -f lavfi -i testsrc=size=37x21 -frames:v 1 -pix_fmt " +
                      std::string(kind.ffmpegPixFmt) + " " + quote(bmp)),
                  0);
    } else {
        const auto bytes = buildBmp(kind.build());
        std::ofstream(bmp, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
    }
    ASSERT_EQ(run("ffmpeg -v error -y -i " + quote(bmp) + " -f rawvideo -pix_fmt bgr24 " + quote(raw)), 0);
    const auto expected = readFile(raw);
    ASSERT_EQ(expected.size(), std::size_t(kWidth) * kHeight * 3);
    std::string error;
    const auto got = throughGdi(readFile(bmp), error);
    ASSERT_EQ(error, "");
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i)
        ASSERT_EQ(int(got[i]), int(expected[i]))
            << "pixel " << (i / 3) % kWidth << "," << i / 3 / kWidth << " channel " << i % 3;
}

INSTANTIATE_TEST_SUITE_P(EveryBmpKind, DibConvert, ::testing::ValuesIn(kKinds),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
