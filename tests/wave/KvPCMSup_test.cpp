#include "wave/KvPCMSup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kv;

namespace {

TPCMWaveFormat fmt(int bits, int channels, std::uint32_t rate) {
    TWaveFormatEx f{};
    pcmBuildWaveHeader(&f, bits, channels, rate);
    return {f.wFormatTag, f.nChannels, f.nSamplesPerSec, f.nAvgBytesPerSec, f.nBlockAlign, f.wBitsPerSample};
}

std::vector<std::uint8_t> convert(const TPCMWaveFormat& dst, const TPCMWaveFormat& src,
                                  const std::vector<std::uint8_t>& in) {
    std::int32_t size = pcmConvertSizeOutputData(&dst, &src, std::int32_t(in.size()));
    EXPECT_GE(size, 0);
    std::vector<std::uint8_t> out(std::size_t(size) + 16, 0xEE);
    std::int32_t n = pcmConvert(&dst, out.data(), &src, in.data(), std::int32_t(in.size()));
    EXPECT_LE(n, size);
    EXPECT_EQ(out[std::size_t(size)], 0xEE) << "wrote past the size it asked for";
    out.resize(std::size_t(std::max(n, 0)));
    return out;
}

} // namespace

TEST(PcmFormat, ValidRatesAndHeader) {
    TWaveFormatEx f{};
    pcmBuildWaveHeader(&f, 16, 2, 44100);
    EXPECT_EQ(f.nBlockAlign, 4);
    EXPECT_EQ(f.nAvgBytesPerSec, 176400u);
    EXPECT_EQ(f.cbSize, 0);
    EXPECT_TRUE(pcmIsValidFormat(&f));
    for (auto [rate, ok] : {std::pair{4000u, true}, {100000u, true}, {3999u, false}, {100001u, false}}) {
        f.nSamplesPerSec = rate;
        EXPECT_EQ(pcmIsValidFormat(&f), ok) << rate;
    }
    f.nSamplesPerSec = 8000;
    f.wBitsPerSample = 12;
    EXPECT_FALSE(pcmIsValidFormat(&f));
    EXPECT_FALSE(pcmIsValidFormat(static_cast<const TWaveFormatEx*>(nullptr)));
}

TEST(PcmFormat, SilenceByDepth) {
    TWaveFormatEx f{};
    pcmBuildWaveHeader(&f, 8, 1, 8000);
    std::vector<std::uint8_t> b(5, 7);
    pcmFillSilence(&f, b.data(), 4);
    EXPECT_EQ(b, (std::vector<std::uint8_t>{128, 128, 128, 128, 7}));
    pcmBuildWaveHeader(&f, 16, 1, 8000);
    pcmFillSilence(&f, b.data(), 5);
    EXPECT_EQ(b, std::vector<std::uint8_t>(5, 0));
}

// One row per source/destination pair: a hand-made source frame and the frame the table gives.
struct FrameRow {
    int srcBits, srcCh, dstBits, dstCh;
    std::vector<std::uint8_t> in, out;
};

class PcmFrames : public ::testing::TestWithParam<FrameRow> {};

TEST_P(PcmFrames, ConvertsByTheTable) {
    const FrameRow& r = GetParam();
    auto out = convert(fmt(r.dstBits, r.dstCh, 22050), fmt(r.srcBits, r.srcCh, 22050), r.in);
    EXPECT_EQ(out, r.out);
}

// 16-bit samples little-endian: 1000 = E8 03, -1000 = 18 FC, 0x1234, -0x1234 = CC ED.
INSTANTIATE_TEST_SUITE_P(
    AllSixteen, PcmFrames,
    ::testing::Values(FrameRow{8, 1, 8, 1, {200}, {200}}, FrameRow{8, 2, 8, 2, {1, 2}, {1, 2}},
                      FrameRow{16, 1, 16, 1, {0x34, 0x12}, {0x34, 0x12}},
                      FrameRow{16, 2, 16, 2, {1, 2, 3, 4}, {1, 2, 3, 4}},
                      FrameRow{8, 2, 8, 1, {255, 254}, {254}},
                      FrameRow{16, 1, 8, 1, {0xCC, 0xED}, {0xED ^ 0x80}},
                      FrameRow{16, 2, 8, 1, {0xE8, 0x03, 0x18, 0xFC}, {128}},
                      FrameRow{16, 2, 8, 1, {0xFF, 0x7F, 0xFF, 0x7F}, {255}},
                      FrameRow{8, 1, 8, 2, {9}, {9, 9}}, FrameRow{16, 1, 8, 2, {0x34, 0x12}, {0x92, 0x92}},
                      FrameRow{16, 2, 8, 2, {0x34, 0x12, 0xCC, 0xED}, {0x92, 0x6D}},
                      FrameRow{8, 1, 16, 1, {0}, {0x00, 0x80}}, FrameRow{8, 2, 16, 1, {127, 129}, {0, 0}},
                      FrameRow{8, 2, 16, 1, {0, 1}, {0x00, 0x80}},
                      FrameRow{8, 1, 16, 2, {129}, {0x00, 0x01, 0x00, 0x01}},
                      FrameRow{8, 2, 16, 2, {255, 0}, {0x00, 0x7F, 0x00, 0x80}},
                      FrameRow{16, 1, 16, 2, {0x34, 0x12}, {0x34, 0x12, 0x34, 0x12}},
                      // floor((-1 + -2) / 2) = -2
                      FrameRow{16, 2, 16, 1, {0xFF, 0xFF, 0xFE, 0xFF}, {0xFE, 0xFF}}),
    [](const auto& info) {
        const FrameRow& r = info.param;
        return std::to_string(r.srcBits) + "x" + std::to_string(r.srcCh) + "_to_" +
               std::to_string(r.dstBits) + "x" + std::to_string(r.dstCh) + "_" + std::to_string(info.index);
    });

TEST(PcmConvert, HalvingKeepsEverySecondFrameFromTheSecond) {
    std::vector<std::uint8_t> in(100);
    for (std::size_t i = 0; i < in.size(); ++i)
        in[i] = std::uint8_t(i);
    auto out = convert(fmt(8, 1, 22050), fmt(8, 1, 44100), in);
    ASSERT_EQ(out.size(), 50u);
    for (std::size_t i = 0; i < out.size(); ++i)
        EXPECT_EQ(out[i], 2 * i + 1);
    auto twice = convert(fmt(8, 1, 44100), fmt(8, 1, 22050), in);
    ASSERT_EQ(twice.size(), 200u);
    for (std::size_t i = 0; i < twice.size(); ++i)
        EXPECT_EQ(twice[i], i / 2);
}

TEST(PcmConvert, EightToElevenKilohertzWritesEveryFrameDue) {
    std::vector<std::uint8_t> in(8000, 77);
    auto src = fmt(8, 1, 8000), dst = fmt(8, 1, 11025);
    EXPECT_EQ(pcmConvertSizeOutputData(&dst, &src, 8000), 11025);
    EXPECT_EQ(convert(dst, src, in).size(), 11025u);
}

// The size asked for always holds what is written, for short blocks and uneven ratios too.
class PcmRatePairs : public ::testing::TestWithParam<std::pair<std::uint32_t, std::uint32_t>> {};

TEST_P(PcmRatePairs, SizeCoversOutput) {
    auto [rs, rd] = GetParam();
    auto src = fmt(16, 2, rs), dst = fmt(8, 1, rd);
    for (int frames = 0; frames < 40; ++frames) {
        std::vector<std::uint8_t> in(std::size_t(frames) * 4, 0x40);
        auto out = convert(dst, src, in);
        // Equal rates give one frame for each; otherwise the count follows the ratio within a frame.
        double ideal = double(frames) * rd / rs;
        EXPECT_NEAR(double(out.size()), ideal, 1.0) << frames;
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, PcmRatePairs,
                         ::testing::Values(std::pair{44100u, 22050u}, std::pair{48000u, 44100u},
                                           std::pair{8000u, 11025u}, std::pair{22050u, 22050u},
                                           std::pair{11025u, 44100u}, std::pair{1000u, 3000u},
                                           std::pair{3u, 4u}));

TEST(PcmConvert, RefusalsAndEmptyInput) {
    auto ok = fmt(16, 2, 44100), bad = ok;
    bad.nChannels = 3;
    std::uint8_t buf[8] = {};
    EXPECT_EQ(pcmConvert(&bad, buf, &ok, buf, 8), -1);
    EXPECT_EQ(pcmConvertSizeOutputData(&ok, &bad, 8), -1);
    bad = ok;
    bad.nSamplesPerSec = 0;
    EXPECT_EQ(pcmConvert(&ok, buf, &bad, buf, 8), -1);
    bad = ok;
    bad.wFormatTag = 2;
    EXPECT_EQ(pcmConvertSizeOutputData(&bad, &ok, 8), -1);
    EXPECT_EQ(pcmConvert(&ok, buf, &ok, buf, 0), 0);
    EXPECT_EQ(pcmConvert(&ok, buf, &ok, buf, -5), -5);
    // An output that cannot be counted in 31 bits is refused before anything is written.
    auto slow = fmt(8, 1, 1), fast = fmt(16, 2, 4000000);
    EXPECT_EQ(pcmConvertSizeOutputData(&fast, &slow, 1000), -1);
    EXPECT_EQ(pcmConvert(&fast, buf, &slow, buf, 1000), -1);
}

TEST(PcmMinMax, ExtremesInTimeOrder) {
    TWaveFormatEx f{};
    pcmBuildWaveHeader(&f, 8, 1, 8000);
    std::vector<std::uint8_t> up(256);
    for (int i = 0; i < 256; ++i)
        up[std::size_t(i)] = std::uint8_t(i);
    std::int32_t a, b, c, d;
    pcmFindMinMax(&f, up.data(), 256, a, b, c, d);
    EXPECT_EQ(std::vector<int>({a, b, c, d}), std::vector<int>({0, 255, 0, 255}));
    std::vector<std::uint8_t> down(up.rbegin(), up.rend());
    pcmFindMinMax(&f, down.data(), 256, a, b, c, d);
    EXPECT_EQ(std::vector<int>({a, b, c, d}), std::vector<int>({255, 0, 255, 0}));

    pcmBuildWaveHeader(&f, 16, 2, 8000);
    std::vector<std::int16_t> st = {5, -7, -300, 20, 400, 10, 0, -9000};
    pcmFindMinMax(&f, st.data(), 16, a, b, c, d);
    EXPECT_EQ(std::vector<int>({a, b, c, d}), std::vector<int>({-300, 400, 20, -9000}));
    pcmFindMinMax(&f, st.data(), 3, a, b, c, d); // no whole frame
    EXPECT_EQ(std::vector<int>({a, b, c, d}), std::vector<int>({0, 0, 0, 0}));
}

TEST(PcmBits, AdaptsDepth) {
    std::vector<std::int16_t> s = {-1, -256, 255, 32767, -32768};
    std::vector<std::uint8_t> o(5);
    EXPECT_EQ(pcmBitsPerSampleAlign(8, o.data(), 16, s.data(), 10), 5);
    EXPECT_EQ(o, (std::vector<std::uint8_t>{128, 127, 128, 255, 0}));
    std::vector<std::int16_t> w(5);
    EXPECT_EQ(pcmBitsPerSampleAlign(16, w.data(), 8, o.data(), 5), 10);
    EXPECT_EQ(w, (std::vector<std::int16_t>{0, -256, 0, 32512, -32768}));
    EXPECT_EQ(pcmBitsPerSampleAlign(12, w.data(), 8, o.data(), 5), 0);
}

TEST(PcmVolume, ScalesAndClips) {
    TWaveFormatEx f{};
    pcmBuildWaveHeader(&f, 16, 2, 8000);
    std::vector<std::int16_t> s = {20000, 20000, -3, 100};
    Overflow = false;
    EXPECT_TRUE(pcmVolume(&f, s.data(), 8, 32768, 8192));
    EXPECT_EQ(s, (std::vector<std::int16_t>{32767, 10000, -6, 50}));
    EXPECT_TRUE(Overflow);
    Overflow = false;
    EXPECT_FALSE(pcmVolume(&f, s.data(), 8, 16384, 16384));
    EXPECT_EQ(s[1], 10000);
    pcmBuildWaveHeader(&f, 8, 1, 8000);
    std::vector<std::uint8_t> b = {0, 128, 200};
    EXPECT_FALSE(pcmVolume(&f, b.data(), 3, 8192, 0));
    EXPECT_EQ(b, (std::vector<std::uint8_t>{64, 128, 164}));
    EXPECT_FALSE(Overflow);
    f.wFormatTag = 2;
    EXPECT_FALSE(pcmVolume(&f, b.data(), 3, 0, 0));
    EXPECT_EQ(b[0], 64);
}

TEST(PcmVolume, SingleSamples) {
    Overflow = false;
    EXPECT_EQ(pcmSampleClip8(100), 100);
    EXPECT_EQ(pcmSampleClip16(-32768), -32768);
    EXPECT_FALSE(Overflow);
    EXPECT_EQ(pcmSampleClip8(-129), -128);
    EXPECT_TRUE(Overflow);
    Overflow = false;
    EXPECT_EQ(pcmSampleVolume8(0, 8192), 64);
    EXPECT_EQ(pcmSampleVolume16(-3, 8192), -2); // arithmetic shift floors
    EXPECT_FALSE(Overflow);
    EXPECT_EQ(pcmSampleVolume8(255, 65536), 255);
    EXPECT_TRUE(Overflow);
}

TEST(PcmOps, PeaksAndZeroCrossings) {
    TWaveFormatEx f{};
    pcmBuildWaveHeader(&f, 16, 2, 8000);
    std::vector<std::int16_t> st = {5, -7, -300, 20, 400, 10, 0, -32768};
    std::int32_t l, r;
    pcmFindPeak(&f, st.data(), 16, l, r);
    EXPECT_EQ(l, 400);
    EXPECT_EQ(r, 32768);
    EXPECT_EQ(pcmFindZeroCross(&f, st.data(), 16, 0), 1);
    EXPECT_EQ(pcmFindZeroCross(&f, st.data(), 16, 2), 2);
    EXPECT_EQ(pcmFindZeroCross(&f, st.data(), 16, 3), -1);
    pcmBuildWaveHeader(&f, 8, 1, 8000);
    std::vector<std::uint8_t> m = {130, 129, 128, 127, 0};
    pcmFindPeak(&f, m.data(), 5, l, r);
    EXPECT_EQ(l, 128);
    EXPECT_EQ(r, 128);
    EXPECT_EQ(pcmFindZeroCross(&f, m.data(), 5, 0), 3);
}

TEST(PcmOps, ChannelLayoutAndSingleSamples) {
    std::vector<std::int16_t> mono = {-3, 7}, stereo(4), back(2);
    EXPECT_EQ(pcmChannelAlign(16, 2, stereo.data(), 1, mono.data(), 4), 8);
    EXPECT_EQ(stereo, (std::vector<std::int16_t>{-3, -3, 7, 7}));
    stereo = {-3, 0, 7, 8};
    EXPECT_EQ(pcmChannelAlign(16, 1, back.data(), 2, stereo.data(), 8), 4);
    EXPECT_EQ(back, (std::vector<std::int16_t>{-2, 7}));
    EXPECT_EQ(pcmChannelAlign(12, 1, back.data(), 2, stereo.data(), 8), 0);
    EXPECT_EQ(pcmAvgSample8(255, 254), 254);
    EXPECT_EQ(pcmAvgSample16(-32768, -32767), -32768);
    std::vector<std::int16_t> rep(3);
    EXPECT_EQ(pcmRepSample16(rep.data(), -5, 3), 6);
    EXPECT_EQ(rep, (std::vector<std::int16_t>(3, -5)));
}
