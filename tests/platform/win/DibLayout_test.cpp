#include "platform/win/ByteReader.h"
#include "platform/win/DibLayout.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace win;

struct HeaderSpec {
    HeaderSpec(DWORD size_, LONG width_, LONG height_, WORD bits_, DWORD compression_ = BI_RGB,
               DWORD sizeImage_ = 0, DWORD clrUsed_ = 0, std::vector<DWORD> masks = {})
        : size(size_), width(width_), height(height_), bits(bits_), compression(compression_),
          sizeImage(sizeImage_), clrUsed(clrUsed_), masksInHeader(std::move(masks)) {}
    DWORD size;
    LONG width;
    LONG height;
    WORD bits;
    DWORD compression;
    DWORD sizeImage;
    DWORD clrUsed;
    std::vector<DWORD> masksInHeader; // written at bytes 40.. of a long header
};

std::vector<std::uint8_t> header(const HeaderSpec& s) {
    ByteWriter w;
    w.u32(s.size);
    if (s.size == 12) {
        w.u16(WORD(s.width));
        w.u16(WORD(s.height));
        w.u16(1);
        w.u16(s.bits);
        return w.buffer();
    }
    w.i32(s.width);
    w.i32(s.height);
    w.u16(1);
    w.u16(s.bits);
    w.u32(s.compression);
    w.u32(s.sizeImage);
    w.i32(2835);
    w.i32(2835);
    w.u32(s.clrUsed);
    w.u32(0);
    for (DWORD m : s.masksInHeader)
        w.u32(m);
    while (w.size() < s.size)
        w.u8(0);
    return w.buffer();
}

struct LayoutCase {
    const char* name;
    HeaderSpec header;
    std::vector<DWORD> masksBehind; // appended after the header
    DWORD colours;
    std::size_t colourOffset;
    std::size_t pixelOffset;
    std::size_t stride;
    std::size_t imageBytes;
};

class DibLayoutRows : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(DibLayoutRows, LocatesTableMasksAndPixels) {
    const LayoutCase& c = GetParam();
    auto bytes = header(c.header);
    for (DWORD m : c.masksBehind)
        for (int i = 0; i < 4; ++i)
            bytes.push_back(std::uint8_t(m >> (8 * i)));
    std::string error;
    const auto layout = ParseDibLayout(bytes, &error);
    ASSERT_TRUE(layout) << error;
    EXPECT_EQ(layout->colours, c.colours);
    EXPECT_EQ(layout->colourOffset, c.colourOffset);
    EXPECT_EQ(layout->pixelOffset, c.pixelOffset);
    EXPECT_EQ(layout->stride, c.stride);
    EXPECT_EQ(layout->imageBytes, c.imageBytes);
}

// A 4-bit DIB whose biClrUsed is 20 stores 20 entries (its pixels lie behind all of them) and can index
// 16 of them; the version 4/5 headers hold their masks, and their colour tables follow the whole header.
INSTANTIATE_TEST_SUITE_P(
    Headers, DibLayoutRows,
    ::testing::Values(
        LayoutCase{"info8", {40, 4, 2, 8}, {}, 256, 40, 40 + 1024, 4, 8},
        LayoutCase{"info4used20", {40, 3, 2, 4, BI_RGB, 0, 20}, {}, 20, 40, 40 + 80, 4, 8},
        LayoutCase{"info1", {40, 1, 1, 1}, {}, 2, 40, 48, 4, 4},
        LayoutCase{"info24", {40, 3, 2, 24}, {}, 0, 40, 40, 12, 24},
        LayoutCase{"info24optimisationTable", {40, 3, 2, 24, BI_RGB, 0, 5}, {}, 5, 40, 60, 12, 24},
        LayoutCase{"core8", {12, 2, 2, 8}, {}, 256, 12, 12 + 768, 4, 8},
        LayoutCase{"bitfields40", {40, 2, 2, 16, BI_BITFIELDS}, {0xF800, 0x07E0, 0x001F}, 0, 52, 52, 4, 8},
        LayoutCase{"bitfields56", {56, 2, 2, 16, BI_BITFIELDS, 0, 0, {0xF800, 0x07E0, 0x001F, 0}}, {}, 0, 56, 56,
                   4, 8},
        LayoutCase{"v4paletted", {108, 5, 3, 8, BI_RGB, 0, 2}, {}, 2, 108, 116, 8, 24},
        LayoutCase{"v5bitfields32",
                   {124, 2, -2, 32, BI_BITFIELDS, 0, 0, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}},
                   {},
                   0,
                   124,
                   124,
                   8,
                   16},
        LayoutCase{"rle8", {40, 16, 16, 8, BI_RLE8, 300}, {}, 256, 40, 1064, 16, 300},
        LayoutCase{"rle4", {40, 16, 16, 4, BI_RLE4, 100, 16}, {}, 16, 40, 104, 8, 100}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DibLayout, ReadsMasksFromWhereTheHeaderKeepsThem) {
    auto inside = header({124, 2, 2, 32, BI_BITFIELDS, 0, 0, {0xFF, 0xFF00, 0xFF0000, 0}});
    auto layout = ParseDibLayout(inside);
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->masks[0], 0xFFu);
    EXPECT_EQ(layout->masks[2], 0xFF0000u);
    EXPECT_EQ(layout->maskBytes, 0u);

    auto plain = header({40, 2, 2, 16});
    layout = ParseDibLayout(plain);
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->masks[0], 0x7C00u); // 5-5-5 for BI_RGB 16-bit pixels
    EXPECT_TRUE(layout->topDown == false);
}

TEST(DibLayout, RefusesHeadersThatCannotBeMeasured) {
    const HeaderSpec bad[] = {
        {41, 4, 2, 8},                        // unknown header size
        {40, 0, 2, 8},                        // no width
        {40, 4, 0, 8},                        // no height
        {40, 4, 2, 7},                        // bit count
        {40, 4, 2, 24, BI_RLE8},              // RLE8 needs 8 bits
        {40, 4, -2, 8, BI_RLE8},              // RLE stored top-down
        {40, 4, 2, 8, BI_RGB, 0, 257},        // colour table too long
        {40, 1 << 20, 2, 8},                  // too wide
        {40, 60000, 60000, 32},               // too many bytes
        {40, 4, 2, 16, BI_BITFIELDS},         // masks missing behind the header
        {40, 4, 2, 8, 9},                     // unknown compression
    };
    for (const HeaderSpec& s : bad) {
        std::string error;
        EXPECT_FALSE(ParseDibLayout(header(s), &error)) << s.size << " " << s.width << "x" << s.height;
        EXPECT_FALSE(error.empty());
    }
    std::string error;
    std::size_t at = 0;
    auto cut = header({40, 4, 2, 8});
    cut.resize(20);
    EXPECT_FALSE(ParseDibLayout(cut, &error, {}, &at));
    EXPECT_EQ(at, 20u); // where the reader ran out
}

TEST(DibLayout, LayoutOfChecksTheWholeDibFitsItsMemory) {
    auto bytes = header({40, 4, 2, 8, BI_RGB, 0, 2});
    bytes.resize(40 + 8 + 8);
    const auto* dib = reinterpret_cast<const BITMAPINFOHEADER*>(bytes.data());
    EXPECT_TRUE(DibLayoutOf(dib, bytes.size()));
    std::string error;
    EXPECT_FALSE(DibLayoutOf(dib, bytes.size() - 1, &error));
    EXPECT_NE(error.find("56"), std::string::npos) << error;
}

TEST(ByteReader, RemembersWhereItFirstFailed) {
    const std::uint8_t data[] = {'R', 'I', 'F', 'F', 1, 0, 0};
    ByteReader r(data, 100);
    EXPECT_EQ(*r.fourcc(), mmioFOURCC('R', 'I', 'F', 'F'));
    EXPECT_FALSE(r.failed());
    EXPECT_FALSE(r.u32());
    EXPECT_TRUE(r.failed());
    EXPECT_EQ(r.failureOffset(), 104u);
    EXPECT_EQ(*r.i16(), 1); // a failed read does not move
    EXPECT_FALSE(r.span(2));
    EXPECT_EQ(r.failureOffset(), 104u); // the first failure is kept
    ByteReader s(data);
    auto view = s.span(4);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->size(), 4u);
    EXPECT_EQ(s.position(), 4u);
}

} // namespace
