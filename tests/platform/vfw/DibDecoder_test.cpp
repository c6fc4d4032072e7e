#include "DibTestUtil.h"
#include "platform/vfw/DibDecoder.h"
#include "platform/win/Display.h"
#include "support/MemoryStream.h"

#include <gtest/gtest.h>

#include <climits>

using namespace win;
using namespace dibtest;
using testsupport::bitmapFormat;
using testsupport::MemoryStream;

namespace {

constexpr int W = 7; // odd width: rows of every depth carry padding
constexpr int H = 3;

struct Closer {
    PGETFRAME frame;
    ~Closer() {
        if (frame) AVIStreamGetFrameClose(frame);
    }
};

std::vector<Rgb> testPalette(int n) {
    std::vector<Rgb> p;
    for (int i = 0; i < n; ++i)
        p.push_back({std::uint8_t(i * 37 + 5), std::uint8_t(255 - i * 11), std::uint8_t(i * 101)});
    return p;
}

std::vector<std::uint8_t> dwords(std::initializer_list<std::uint32_t> v) {
    std::vector<std::uint8_t> out;
    for (auto d : v)
        out.insert(out.end(),
                   {std::uint8_t(d), std::uint8_t(d >> 8), std::uint8_t(d >> 16), std::uint8_t(d >> 24)});
    return out;
}

std::uint8_t replicate(std::uint32_t v, int bits) {
    return std::uint8_t(bits == 5 ? (v << 3) | (v >> 2) : (v << 2) | (v >> 4));
}

} // namespace

// One row per source layout: the pixel values written and the colours they must come out as.
struct RawCase {
    const char* name;
    int bpp;
    DWORD compression;
    std::vector<std::uint8_t> extra; // palette or masks
    std::uint32_t (*value)(int x, int y);
    Rgb (*expected)(std::uint32_t value);
};

TEST(DibDecoderRaw, EveryLayoutDecodesToExactColoursInBothRowOrders) {
    static const auto pal2 = testPalette(2), pal16 = testPalette(16), pal256 = testPalette(256);
    const std::vector<RawCase> cases = {
        {"1-bit", 1, BI_RGB, paletteBytes(pal2), [](int x, int y) { return std::uint32_t((x + y) & 1); },
         [](std::uint32_t v) { return pal2[v]; }},
        {"4-bit", 4, BI_RGB, paletteBytes(pal16),
         [](int x, int y) { return std::uint32_t((x * 3 + y * 5) % 16); },
         [](std::uint32_t v) { return pal16[v]; }},
        {"8-bit", 8, BI_RGB, paletteBytes(pal256),
         [](int x, int y) { return std::uint32_t(x * 40 + y * 77) & 255; },
         [](std::uint32_t v) { return pal256[v]; }},
        {"16-bit 555",
         16,
         BI_RGB,
         {},
         [](int x, int y) { return std::uint32_t((x * 4513 + y * 977) & 0x7FFF); },
         [](std::uint32_t v) {
             return Rgb{replicate(v >> 10 & 31, 5), replicate(v >> 5 & 31, 5), replicate(v & 31, 5)};
         }},
        {"16-bit 565 fields", 16, BI_BITFIELDS, dwords({0xF800, 0x07E0, 0x001F}),
         [](int x, int y) { return std::uint32_t((x * 9413 + y * 1977) & 0xFFFF); },
         [](std::uint32_t v) {
             return Rgb{replicate(v >> 11 & 31, 5), replicate(v >> 5 & 63, 6), replicate(v & 31, 5)};
         }},
        {"24-bit",
         24,
         BI_RGB,
         {},
         [](int x, int y) { return std::uint32_t(x * 0x251F03 + y * 0x0A3377); },
         [](std::uint32_t v) {
             return Rgb{std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)};
         }},
        {"32-bit with junk in the fourth byte",
         32,
         BI_RGB,
         {},
         [](int x, int y) { return std::uint32_t(0xAB000000u | (x * 0x251F03 + y * 0x0A3377)); },
         [](std::uint32_t v) {
             return Rgb{std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)};
         }},
        {"32-bit 10-10-10 fields", 32, BI_BITFIELDS, dwords({0x3FF00000, 0x000FFC00, 0x000003FF}),
         [](int x, int y) { return std::uint32_t(x * 0x1234567u + y * 0x0876543u) & 0x3FFFFFFF; },
         [](std::uint32_t v) {
             return Rgb{std::uint8_t(v >> 22), std::uint8_t(v >> 12), std::uint8_t(v >> 2)};
         }},
    };
    for (const RawCase& c : cases) {
        for (bool topDown : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (topDown ? " top-down" : " bottom-up"));
            std::vector<std::vector<std::uint32_t>> rows(H, std::vector<std::uint32_t>(W));
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x)
                    rows[y][x] = c.value(x, y);
            MemoryStream s(bitmapFormat(W, topDown ? -H : H, WORD(c.bpp), c.compression, c.extra));
            s.add(packRows(rows, c.bpp, topDown));
            BITMAPINFOHEADER want{40, W, H, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
            Closer f{AVIStreamGetFrameOpen(&s, &want)};
            ASSERT_NE(f.frame, nullptr) << AVILastErrorDetail();
            void* dib = AVIStreamGetFrame(f.frame, 0);
            ASSERT_NE(dib, nullptr) << AVILastErrorDetail();
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x)
                    ASSERT_EQ(pixel(dib, x, y), c.expected(rows[y][x])) << x << "," << y;
        }
    }
}

TEST(DibDecoderRaw, IndicesOutsideTheColourTableComeOutBlack) {
    MemoryStream s(bitmapFormat(4, 1, 8, BI_RGB, paletteBytes({{10, 20, 30}, {40, 50, 60}}), 2));
    s.add(packRows({{0, 1, 2, 255}}, 8, false));
    Closer f{AVIStreamGetFrameOpen(&s, nullptr)};
    ASSERT_NE(f.frame, nullptr);
    void* dib = AVIStreamGetFrame(f.frame, 0);
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(pixel(dib, 1, 0), (Rgb{40, 50, 60}));
    EXPECT_EQ(pixel(dib, 2, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(pixel(dib, 3, 0), (Rgb{0, 0, 0}));
}

TEST(DibDecoderOutput, WantedFormatsAreDeliveredExactly) {
    const std::vector<Rgb> colours = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {200, 100, 50}};
    std::vector<std::vector<std::uint32_t>> rows = {{0xFF0000, 0x00FF00}, {0x0000FF, 0xC86432}};
    MemoryStream s(bitmapFormat(2, 2, 24, BI_RGB));
    s.add(packRows(rows, 24, false));

    { // 16-bit 5-5-5
        BITMAPINFOHEADER want{40, 2, 2, 1, 16, BI_RGB, 0, 0, 0, 0, 0};
        Closer f{AVIStreamGetFrameOpen(&s, &want)};
        ASSERT_NE(f.frame, nullptr);
        void* dib = AVIStreamGetFrame(f.frame, 0);
        ASSERT_NE(dib, nullptr);
        EXPECT_EQ(header(dib).biSizeImage, 8u);
        EXPECT_EQ(word16(dib, 0, 0), 0x7C00);
        EXPECT_EQ(word16(dib, 1, 1), (200 >> 3) << 10 | (100 >> 3) << 5 | (50 >> 3));
    }
    { // 16-bit 5-6-5 as BI_BITFIELDS: the masks follow the header in the output too
        struct {
            BITMAPINFOHEADER h;
            DWORD masks[3];
        } want{{40, 2, 2, 1, 16, BI_BITFIELDS, 0, 0, 0, 0, 0}, {0xF800, 0x07E0, 0x001F}};
        Closer f{AVIStreamGetFrameOpen(&s, &want.h)};
        ASSERT_NE(f.frame, nullptr);
        void* dib = AVIStreamGetFrame(f.frame, 0);
        ASSERT_NE(dib, nullptr);
        EXPECT_EQ(header(dib).biCompression, BI_BITFIELDS);
        EXPECT_EQ(std::memcmp(static_cast<std::uint8_t*>(dib) + 40, want.masks, 12), 0);
        EXPECT_EQ(word16(dib, 1, 0), 0x07E0);
        EXPECT_EQ(word16(dib, 1, 1), (200 >> 3) << 11 | (100 >> 2) << 5 | (50 >> 3));
    }
    { // 32-bit top-down
        BITMAPINFOHEADER want{40, 2, -2, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        Closer f{AVIStreamGetFrameOpen(&s, &want)};
        ASSERT_NE(f.frame, nullptr);
        void* dib = AVIStreamGetFrame(f.frame, 0);
        ASSERT_NE(dib, nullptr);
        EXPECT_EQ(header(dib).biHeight, -2);
        EXPECT_EQ(header(dib).biSizeImage, 16u);
        const std::uint8_t* first = pixelData(dib); // the top row is stored first
        EXPECT_EQ(first[2], 255);
        EXPECT_EQ(pixel(dib, 1, 1), colours[3]);
    }
    { // 8-bit of a colour source: the colour cube
        BITMAPINFOHEADER want{40, 2, 2, 1, 8, BI_RGB, 0, 0, 0, 0, 0};
        Closer f{AVIStreamGetFrameOpen(&s, &want)};
        ASSERT_NE(f.frame, nullptr);
        void* dib = AVIStreamGetFrame(f.frame, 0);
        ASSERT_NE(dib, nullptr);
        EXPECT_EQ(header(dib).biClrUsed, 216u);
        EXPECT_EQ(pixel(dib, 0, 0), (Rgb{255, 0, 0}));
        EXPECT_EQ(pixel(dib, 1, 1), (Rgb{204, 102, 51})); // nearest cube colour
    }
    for (BITMAPINFOHEADER bad :
         {BITMAPINFOHEADER{40, 3, 2, 1, 24, BI_RGB, 0, 0, 0, 0, 0},
          BITMAPINFOHEADER{40, 2, 2, 1, 4, BI_RGB, 0, 0, 0, 0, 0},
          BITMAPINFOHEADER{40, 2, 2, 1, 16, mmioFOURCC('Y', 'U', 'Y', '2'), 0, 0, 0, 0, 0}}) {
        EXPECT_EQ(AVIStreamGetFrameOpen(&s, &bad), nullptr);
        EXPECT_FALSE(AVILastErrorDetail().empty());
    }
    EXPECT_EQ(s.refs, 1) << "every decompressor released the stream";
}

TEST(DibDecoderOutput, BestDisplayFormatFollowsTheDisplayDepth) {
    const auto pal = testPalette(16);
    MemoryStream paletted(bitmapFormat(4, 2, 4, BI_RGB, paletteBytes(pal)));
    paletted.add(packRows({{0, 1, 2, 3}, {12, 13, 14, 15}}, 4, false));
    MemoryStream colour(bitmapFormat(4, 2, 24, BI_RGB));
    colour.add(std::vector<std::uint8_t>(24, 0x80));
    struct Row {
        int display;
        MemoryStream* stream;
        int bits;
        DWORD clrUsed;
    };
    for (Row r : {Row{24, &colour, 24, 0}, Row{32, &colour, 32, 0}, Row{16, &colour, 16, 0},
                  Row{8, &colour, 8, 216}, Row{8, &paletted, 8, 16}, Row{24, &paletted, 24, 0}}) {
        SCOPED_TRACE(r.display);
        SetDisplayBitsPerPixelForTesting(r.display);
        Closer f{AVIStreamGetFrameOpen(r.stream, AVIGETFRAMEF_BESTDISPLAYFMT)};
        ASSERT_NE(f.frame, nullptr);
        void* dib = AVIStreamGetFrame(f.frame, 0);
        ASSERT_NE(dib, nullptr);
        EXPECT_EQ(header(dib).biBitCount, r.bits);
        EXPECT_EQ(header(dib).biClrUsed, r.clrUsed);
        EXPECT_EQ(header(dib).biCompression, BI_RGB);
        EXPECT_GT(header(dib).biHeight, 0);
        EXPECT_EQ(header(dib).biSizeImage, strideOf(dib) * 2);
        if (r.stream == &paletted) {
            EXPECT_EQ(pixel(dib, 2, 1), pal[14]);
        }
    }
    SetDisplayBitsPerPixelForTesting(0);
}

TEST(DibDecoderRaw, UncompressedFramesAreReadStraightIntoTheOutput) {
    MemoryStream s(bitmapFormat(5, 4, 24, BI_RGB));
    for (int i = 0; i < 3; ++i)
        s.add(std::vector<std::uint8_t>(16 * 4, std::uint8_t(i * 50)));
    Closer f{AVIStreamGetFrameOpen(&s, nullptr)};
    ASSERT_NE(f.frame, nullptr);
    void* first = AVIStreamGetFrame(f.frame, 0);
    ASSERT_NE(first, nullptr);
    void* second = AVIStreamGetFrame(f.frame, 1);
    ASSERT_NE(second, nullptr);
    for (int i = 1; i < 3; ++i) {
        void* dib = AVIStreamGetFrame(f.frame, i);
        EXPECT_EQ(dib, i % 2 ? second : first) << "two output blocks take turns";
        EXPECT_EQ(pixel(dib, 4, 3), (Rgb{std::uint8_t(i * 50), std::uint8_t(i * 50), std::uint8_t(i * 50)}));
    }
    EXPECT_EQ(s.dataReads, 3);
    AVIStreamGetFrame(f.frame, 2);
    EXPECT_EQ(s.dataReads, 3) << "asking for the same frame again reads nothing";
}

TEST(DibDecoderRaw, DroppedAndDamagedFramesShowThePictureBefore) {
    MemoryStream s(bitmapFormat(2, 2, 24, BI_RGB));
    s.add(std::vector<std::uint8_t>(16, 10));
    s.add({});                               // dropped
    s.add(std::vector<std::uint8_t>(5, 99)); // damaged: shorter than a frame
    s.add(std::vector<std::uint8_t>(16, 30));
    s.add(std::vector<std::uint8_t>(20, 40)); // longer than a frame: the extra bytes are ignored
    for (auto order : {std::vector<LONG>{0, 1, 2, 3, 4}, std::vector<LONG>{2, 4, 1, 3, 0}}) {
        Closer f{AVIStreamGetFrameOpen(&s, nullptr)};
        ASSERT_NE(f.frame, nullptr);
        const std::uint8_t expect[] = {10, 10, 10, 30, 40};
        for (LONG pos : order) {
            void* dib = AVIStreamGetFrame(f.frame, pos);
            ASSERT_NE(dib, nullptr) << pos;
            EXPECT_EQ(pixel(dib, 1, 1).g, expect[pos]) << pos;
        }
        EXPECT_EQ(AVIStreamGetFrame(f.frame, 5), nullptr);
        EXPECT_NE(AVILastErrorDetail().find("outside"), std::string::npos);
        EXPECT_EQ(AVIStreamGetFrame(f.frame, -1), nullptr);
    }
    MemoryStream broken(bitmapFormat(2, 2, 24, BI_RGB));
    broken.add({});
    broken.add(std::vector<std::uint8_t>(3, 0));
    Closer f{AVIStreamGetFrameOpen(&broken, nullptr)};
    ASSERT_NE(f.frame, nullptr);
    EXPECT_EQ(AVIStreamGetFrame(f.frame, 0), nullptr);
    EXPECT_EQ(AVIStreamGetFrame(f.frame, 1), nullptr);
    EXPECT_NE(AVILastErrorDetail().find("frame 1"), std::string::npos);
}

TEST(DibDecoderRaw, PaletteChangesTakeEffectFromTheirFrame) {
    const std::vector<Rgb> a = {{1, 2, 3}, {4, 5, 6}}, b = {{7, 8, 9}, {10, 11, 12}};
    MemoryStream s(bitmapFormat(2, 1, 8, BI_RGB, paletteBytes(a), 2));
    for (int i = 0; i < 4; ++i)
        s.add({0, 1, 0, 0});
    s.changeFormat(2, bitmapFormat(2, 1, 8, BI_RGB, paletteBytes(b), 2));
    for (int display : {24, 8}) {
        SetDisplayBitsPerPixelForTesting(display);
        for (auto order : {std::vector<LONG>{0, 1, 2, 3}, std::vector<LONG>{3, 0, 2, 1}}) {
            Closer f{AVIStreamGetFrameOpen(&s, nullptr)};
            ASSERT_NE(f.frame, nullptr);
            for (LONG pos : order) {
                void* dib = AVIStreamGetFrame(f.frame, pos);
                ASSERT_NE(dib, nullptr);
                EXPECT_EQ(pixel(dib, 1, 0), (pos < 2 ? a : b)[1]) << display << " " << pos;
            }
        }
    }
    SetDisplayBitsPerPixelForTesting(0);
}

TEST(DibDecoderOpen, HostileFormatsAreRefusedWithTheirCause) {
    struct Case {
        std::vector<std::uint8_t> format;
        const char* detail;
    };
    const std::vector<Case> cases = {
        {bitmapFormat(0, 240, 24, BI_RGB), "frame size 0 x 240 is invalid"},
        {bitmapFormat(320, INT_MIN, 24, BI_RGB), "is invalid"},
        {bitmapFormat(-5, 10, 24, BI_RGB), "is invalid"},
        {bitmapFormat(40000, 10, 24, BI_RGB), "too large"},
        {bitmapFormat(30000, 30000, 32, BI_RGB), "too large"},
        {bitmapFormat(16, 16, 24, mmioFOURCC('X', 'Y', 'Z', '1')), "unsupported compression 'XYZ1'"},
        {bitmapFormat(16, 16, 16, BI_BITFIELDS), "masks"},
        {bitmapFormat(16, 16, 24, BI_BITFIELDS, std::vector<std::uint8_t>(12, 0xFF)), "BI_BITFIELDS"},
        {bitmapFormat(16, 16, 4, BI_RLE8), "run-length"},
        {bitmapFormat(16, 16, 7, BI_RGB), "7 bits"},
        {std::vector<std::uint8_t>(20, 0), "too short"},
    };
    for (const Case& c : cases) {
        MemoryStream s(c.format);
        s.add(std::vector<std::uint8_t>(64, 0));
        AVISetLastErrorDetail({});
        EXPECT_EQ(AVIStreamGetFrameOpen(&s, nullptr), nullptr) << c.detail;
        EXPECT_NE(AVILastErrorDetail().find(c.detail), std::string::npos) << AVILastErrorDetail();
        EXPECT_EQ(s.refs, 1);
    }
    MemoryStream audio(bitmapFormat(16, 16, 24, BI_RGB));
    audio.type = streamtypeAUDIO;
    EXPECT_EQ(AVIStreamGetFrameOpen(&audio, nullptr), nullptr);
    EXPECT_EQ(AVIStreamGetFrameOpen(nullptr, nullptr), nullptr);
    EXPECT_EQ(AVIStreamGetFrame(nullptr, 0), nullptr);
    EXPECT_EQ(AVIStreamGetFrameClose(nullptr), AVIERR_BADHANDLE);
}

TEST(DibDecoderOpen, OversizedColourCountsAreCappedAtTheBitDepth) {
    MemoryStream s(bitmapFormat(2, 1, 1, BI_RGB, paletteBytes({{1, 1, 1}, {2, 2, 2}}), 100000));
    s.add({0x40, 0, 0, 0});
    SetDisplayBitsPerPixelForTesting(8);
    Closer f{AVIStreamGetFrameOpen(&s, nullptr)};
    SetDisplayBitsPerPixelForTesting(0);
    ASSERT_NE(f.frame, nullptr);
    void* dib = AVIStreamGetFrame(f.frame, 0);
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(header(dib).biClrUsed, 2u);
    EXPECT_EQ(pixel(dib, 1, 0), (Rgb{2, 2, 2}));
}
