#include "DibTestUtil.h"
#include "platform/vfw/DibDecoder.h"
#include "support/MemoryStream.h"

#include <gtest/gtest.h>

using namespace win;
using namespace dibtest;
using testsupport::bitmapFormat;
using testsupport::MemoryStream;

namespace {

using Rows = std::vector<std::vector<int>>;

std::vector<std::uint8_t> greyPalette() {
    std::vector<Rgb> p;
    for (int i = 0; i < 256; ++i)
        p.push_back({std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)});
    return paletteBytes(p);
}

// Indices of an 8-bit output DIB, rows from the top.
Rows indices(const void* dib) {
    const auto& h = header(dib);
    const int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    Rows out{std::size_t(height), std::vector<int>{}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < h.biWidth; ++x)
            out[std::size_t(y)].push_back(rowOf(dib, y)[x]);
    return out;
}

struct Decomp {
    PGETFRAME frame;
    explicit Decomp(MemoryStream& s, int w, int h) {
        BITMAPINFOHEADER want{40, w, h, 1, 8, BI_RGB, 0, 0, 0, 0, 0};
        frame = AVIStreamGetFrameOpen(&s, &want);
    }
    ~Decomp() {
        if (frame) AVIStreamGetFrameClose(frame);
    }
    Rows at(LONG pos) {
        void* dib = AVIStreamGetFrame(frame, pos);
        return dib ? indices(dib) : Rows{};
    }
};

// Every RLE8 code: encoded runs, odd absolute runs with their pad byte, end of line, delta, end of bitmap.
const std::vector<std::uint8_t> kRle8Frame = {
    3, 1, 0, 3, 2, 3, 4,  0, 0, 0,  // line 0: run of three 1s, absolute 2 3 4 (+pad), end of line
    0, 2, 2, 1, 2, 5, 0,  0,        // delta (+2, +1) to line 2, run of two 5s, end of line
    0, 5, 6, 7, 8, 9, 10, 0, 0, 1}; // line 3: absolute 6..10 (+pad), end of bitmap
const Rows kRle8Picture = {{6, 7, 8, 9, 10, 0}, {0, 0, 5, 5, 0, 0}, {0, 0, 0, 0, 0, 0}, {1, 1, 1, 2, 3, 4}};

} // namespace

TEST(DibDecoderRle, Rle8DecodesEveryEscape) {
    MemoryStream s(bitmapFormat(6, 4, 8, BI_RLE8, greyPalette()));
    s.add(kRle8Frame);
    Decomp d(s, 6, 4);
    ASSERT_NE(d.frame, nullptr) << AVILastErrorDetail();
    EXPECT_EQ(d.at(0), kRle8Picture);
}

TEST(DibDecoderRle, Rle4DecodesNibbleRunsAndOddAbsoluteRuns) {
    MemoryStream s(bitmapFormat(5, 3, 4, BI_RLE4, greyPalette()));
    s.add({5, 0x12, 0,    0, // line 0: alternating 1 2 1 2 1
           0, 2,    1,    0,    0,    3, 0x34, 0x50,
           0, 0,                                    // line 1: delta +1, absolute 3 4 5 (two bytes, no pad)
           0, 5,    0x67, 0x89, 0xA0, 0, 0,    1}); // line 2: absolute 6..10 (three bytes + pad), end
    Decomp d(s, 5, 3);
    ASSERT_NE(d.frame, nullptr) << AVILastErrorDetail();
    EXPECT_EQ(d.at(0), (Rows{{6, 7, 8, 9, 10}, {0, 3, 4, 5, 0}, {1, 2, 1, 2, 1}}));
}

TEST(DibDecoderRle, FramesDrawOverThePreviousPictureAndRandomAccessMatchesSequential) {
    MemoryStream s(bitmapFormat(6, 4, 8, BI_RLE8, greyPalette()));
    for (int i = 0; i < 9; ++i) {
        if (i % 4 == 0) {
            s.add(kRle8Frame, true);
        } else if (i == 6) {
            s.add({}, false); // dropped: same picture as frame 5
        } else {
            // Move to pixel (i % 6, line i % 4) and set it to 20 + i.
            s.add({0, 2, std::uint8_t(i % 6), std::uint8_t(i % 4), 1, std::uint8_t(20 + i), 0, 1}, false);
        }
    }
    Decomp seq(s, 6, 4);
    ASSERT_NE(seq.frame, nullptr);
    std::vector<Rows> frames;
    for (LONG i = 0; i < 9; ++i)
        frames.push_back(seq.at(i));
    Rows expect1 = kRle8Picture;
    expect1[3 - 1][1] = 21;
    EXPECT_EQ(frames[1], expect1);
    EXPECT_EQ(frames[6], frames[5]);
    EXPECT_EQ(frames[4], kRle8Picture) << "a key frame starts a fresh picture";

    for (auto order :
         {std::vector<LONG>{5, 2, 7, 0, 6, 3, 1, 4, 8}, std::vector<LONG>{8, 7, 6, 5, 4, 3, 2, 1, 0}}) {
        Decomp rnd(s, 6, 4);
        for (LONG pos : order)
            EXPECT_EQ(rnd.at(pos), frames[std::size_t(pos)]) << pos;
    }
    const int reads = s.dataReads;
    for (LONG i = 0; i < 9; ++i)
        seq.at(i == 0 ? 0 : i); // frame 0 again starts over, the rest follow on
    EXPECT_EQ(s.dataReads - reads, 8) << "sequential reading never decodes a sample twice";
}

TEST(DibDecoderRle, PaletteChangeRecoloursTheDeltaPicture) {
    std::vector<Rgb> a(256, Rgb{0, 0, 0}), b(256, Rgb{0, 0, 0});
    a[5] = {50, 0, 0};
    b[5] = {0, 0, 50};
    MemoryStream s(bitmapFormat(6, 4, 8, BI_RLE8, paletteBytes(a)));
    s.add(kRle8Frame);
    s.add({0, 1}, false); // nothing drawn
    s.changeFormat(1, bitmapFormat(6, 4, 8, BI_RLE8, paletteBytes(b)));
    BITMAPINFOHEADER want{40, 6, 4, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    PGETFRAME f = AVIStreamGetFrameOpen(&s, &want);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(pixel(AVIStreamGetFrame(f, 0), 2, 1), (Rgb{50, 0, 0}));
    EXPECT_EQ(pixel(AVIStreamGetFrame(f, 1), 2, 1), (Rgb{0, 0, 50}));
    EXPECT_EQ(pixel(AVIStreamGetFrame(f, 0), 2, 1), (Rgb{50, 0, 0}));
    AVIStreamGetFrameClose(f);
}

TEST(DibDecoderRle, HostileCodesStayInsideTheImage) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> data;
        bool fourBit;
        win::RleResult result;
    };
    const std::vector<Case> cases = {
        {"run past the line", {255, 7, 255, 7, 0, 1}, false, win::RleResult::EndOfBitmap},
        {"delta past the last line", {0, 2, 255, 255, 1, 9}, false, win::RleResult::OffImage},
        {"delta past the line end, then a run",
         {0, 2, 200, 0, 3, 9, 0, 1},
         false,
         win::RleResult::EndOfBitmap},
        {"absolute run longer than the data", {0, 200, 1, 2, 3}, false, win::RleResult::Truncated},
        {"absolute run longer than the line",
         {0, 9, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 1},
         false,
         win::RleResult::EndOfBitmap},
        {"4-bit absolute run longer than the data", {0, 255, 0x12}, true, win::RleResult::Truncated},
        {"too many end-of-lines", {0, 0, 0, 0, 0, 0, 0, 0, 5, 5}, false, win::RleResult::OffImage},
        {"truncated delta", {0, 2, 1}, false, win::RleResult::Truncated},
        {"odd trailing byte", {2, 4, 7}, false, win::RleResult::Truncated},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> image(3 * 2 + 16, 0xEE);
        std::fill(image.begin(), image.begin() + 6, 0);
        EXPECT_EQ(win::DecodeDibRle(c.data, c.fourBit, image.data(), 3, 2, false), c.result);
        for (std::size_t i = 6; i < image.size(); ++i)
            ASSERT_EQ(image[i], 0xEE) << "wrote past the image";
    }
    std::vector<std::uint8_t> image(6, 0);
    win::DecodeDibRle(std::vector<std::uint8_t>{255, 7, 0, 1}, false, image.data(), 3, 2, false);
    EXPECT_EQ(image, (std::vector<std::uint8_t>{0, 0, 0, 7, 7, 7}))
        << "the run is clipped to the bottom line";
}
