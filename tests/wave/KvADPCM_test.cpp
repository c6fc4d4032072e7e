#include "wave/KvADPCM.h"

#include "support/TestWork.h"
#include "wave/AdpcmTestFiles.h"
#include "wave/KvPCMSup.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

using namespace kv;
using testsupport::quote;

namespace {

TWaveFormatEx pcm(int bits, int channels, std::uint32_t rate) {
    TWaveFormatEx f{};
    pcmBuildWaveHeader(&f, bits, channels, rate);
    return f;
}

TADPCMWaveFormat adpcmFor(int channels, std::uint32_t rate) {
    TWaveFormatEx src = pcm(16, channels, rate);
    TADPCMWaveFormat f{};
    EXPECT_TRUE(adpcmBuildFormatHeader(&src, &f.wfx, 0, 0, 0));
    return f;
}

std::vector<std::uint8_t> decode(const TWaveFormatEx* a, int bits, const std::vector<std::uint8_t>& data) {
    TWaveFormatEx out = pcm(bits, a->nChannels, a->nSamplesPerSec);
    std::int32_t size = adpcmDecodeSizeOutputData(a, &out, std::int32_t(data.size()));
    EXPECT_GE(size, 0);
    std::vector<std::uint8_t> dst(std::size_t(std::max(size, 0)));
    std::int32_t n = adpcmDecode4Bit(a, &out, data.data(), std::int32_t(data.size()), dst.data());
    EXPECT_EQ(n, size);
    dst.resize(std::size_t(std::max(n, 0)));
    return dst;
}

// One block header for a mono 16-bit record: predictor, step, sample 1, sample 2.
std::vector<std::uint8_t> monoHeader(std::uint8_t pred, std::int16_t step, std::int16_t s1, std::int16_t s2) {
    win::ByteWriter w;
    w.u8(pred);
    w.i16(step);
    w.i16(s1);
    w.i16(s2);
    return w.buffer();
}

} // namespace

struct HeaderRow {
    int channels;
    std::uint32_t rate;
    int blockAlign, samplesPerBlock;
    std::uint32_t avgBytes;
};

class AdpcmHeader : public ::testing::TestWithParam<HeaderRow> {};

TEST_P(AdpcmHeader, BuildsBlockLayoutAndRate) {
    const HeaderRow& row = GetParam();
    TADPCMWaveFormat f = adpcmFor(row.channels, row.rate);
    EXPECT_EQ(f.wfx.wFormatTag, WAVE_FORMAT_ADPCM);
    EXPECT_EQ(f.wfx.nSamplesPerSec, row.rate);
    EXPECT_EQ(f.wfx.nBlockAlign, row.blockAlign);
    EXPECT_EQ(f.wSamplesPerBlock, row.samplesPerBlock);
    EXPECT_EQ(f.wfx.nAvgBytesPerSec, row.avgBytes);
    EXPECT_EQ(f.wfx.cbSize, 32);
    EXPECT_TRUE(adpcmIsValidFormat(&f.wfx));
}

INSTANTIATE_TEST_SUITE_P(Rates, AdpcmHeader,
                         ::testing::Values(HeaderRow{1, 22050, 512, 1012, 11179},
                                           HeaderRow{1, 11025, 256, 500, 5666},
                                           HeaderRow{2, 44100, 2048, 2036, 44408},
                                           // Above 65535 Hz the rate is kept whole.
                                           HeaderRow{1, 96000, 2048, 4084, 48000 + 7 * (48000 / 2048 + 1)}));

TEST(AdpcmHeader, BackToPcmAndRefusals) {
    TADPCMWaveFormat a = adpcmFor(2, 22050);
    TWaveFormatEx p{};
    ASSERT_TRUE(adpcmBuildFormatHeader(&a.wfx, &p, 0, 0, 0));
    EXPECT_EQ(p.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(p.wBitsPerSample, 16);
    EXPECT_EQ(p.nChannels, 2);
    EXPECT_EQ(p.nBlockAlign, 4);
    EXPECT_EQ(p.nSamplesPerSec, 22050u);
    ASSERT_TRUE(adpcmBuildFormatHeader(&a.wfx, &p, 8, 1, 11025));
    EXPECT_EQ(p.nBlockAlign, 1);
    EXPECT_EQ(p.nAvgBytesPerSec, 11025u);

    TWaveFormatEx src = pcm(16, 1, 22050);
    TADPCMWaveFormat untouched{};
    std::memset(&untouched, 0x5A, sizeof untouched);
    TADPCMWaveFormat d = untouched;
    EXPECT_FALSE(adpcmBuildFormatHeader(&src, &d.wfx, 0, 3, 0)); // the codec has 1 or 2 channels
    src.wFormatTag = 3;
    EXPECT_FALSE(adpcmBuildFormatHeader(&src, &d.wfx, 0, 0, 0));
    EXPECT_EQ(std::memcmp(&d, &untouched, sizeof d), 0);
}

TEST(AdpcmValid, RejectsAlteredRecords) {
    TADPCMWaveFormat f = adpcmFor(1, 22050);
    ASSERT_TRUE(adpcmIsValidFormat(&f.wfx));
    TADPCMWaveFormat g = f;
    g.aCoef[5].iCoef2 = -207;
    EXPECT_FALSE(adpcmIsValidFormat(&g.wfx));
    g = f;
    g.wfx.cbSize = 20; // the table runs past what cbSize covers
    EXPECT_FALSE(adpcmIsValidFormat(&g.wfx));
    g = f;
    g.wfx.nChannels = 0;
    EXPECT_FALSE(adpcmIsValidFormat(&g.wfx));
    g = f;
    g.wfx.wBitsPerSample = 3;
    EXPECT_FALSE(adpcmIsValidFormat(&g.wfx));
    EXPECT_FALSE(adpcmIsValidFormat(nullptr));
}

// Records a file could carry that the decoder must refuse without reading or writing out of bounds.
struct HostileRow {
    const char* name;
    void (*spoil)(TADPCMWaveFormat&);
};

class AdpcmHostile : public ::testing::TestWithParam<HostileRow> {};

TEST_P(AdpcmHostile, DecodesNothing) {
    TADPCMWaveFormat f = adpcmFor(1, 11025);
    GetParam().spoil(f);
    std::vector<std::uint8_t> data(4096, 0x11);
    TWaveFormatEx out = pcm(16, 1, 11025);
    std::vector<std::uint8_t> dst(1 << 16);
    EXPECT_EQ(adpcmDecode4Bit(&f.wfx, &out, data.data(), std::int32_t(data.size()), dst.data()), 0);
    EXPECT_EQ(adpcmDecodeSizeOutputData(&f.wfx, &out, std::int32_t(data.size())), -1);
}

INSTANTIATE_TEST_SUITE_P(
    Records, AdpcmHostile,
    ::testing::Values(HostileRow{"CoefsBeyondCbSize", [](TADPCMWaveFormat& f) { f.wNumCoef = 200; }},
                      HostileRow{"NoChannels", [](TADPCMWaveFormat& f) { f.wfx.nChannels = 0; }},
                      HostileRow{"ThreeChannels", [](TADPCMWaveFormat& f) { f.wfx.nChannels = 3; }},
                      HostileRow{"ZeroBlockAlign", [](TADPCMWaveFormat& f) { f.wfx.nBlockAlign = 0; }},
                      HostileRow{"BlockAlignBelowHeader", [](TADPCMWaveFormat& f) { f.wfx.nBlockAlign = 6; }},
                      HostileRow{"BlockTooSmallForSamples",
                                 [](TADPCMWaveFormat& f) { f.wSamplesPerBlock = 2000; }},
                      HostileRow{"ZeroSamplesPerBlock", [](TADPCMWaveFormat& f) { f.wSamplesPerBlock = 0; }},
                      HostileRow{"NoCbSize", [](TADPCMWaveFormat& f) { f.wfx.cbSize = 0; }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AdpcmDecode, SizeHelperRefusesOverflow) {
    TADPCMWaveFormat f = adpcmFor(2, 44100);
    TWaveFormatEx out = pcm(16, 2, 44100);
    // 2^31 - 1 bytes of stereo blocks decode to about 8 GiB of PCM: no 31-bit size exists.
    EXPECT_EQ(adpcmDecodeSizeOutputData(&f.wfx, &out, 0x7FFFFFFF), -1);
    EXPECT_EQ(adpcmDecode4Bit(&f.wfx, &out, "", 0x7FFFFFFF, &out), 0);
}

TEST(AdpcmDecode, BadPredictorInLaterBlockMakesResultZero) {
    TADPCMWaveFormat f = adpcmFor(1, 11025);
    std::vector<std::uint8_t> data(f.wfx.nBlockAlign * 2, 0);
    data[0] = 3;
    data[f.wfx.nBlockAlign] = 7;
    TWaveFormatEx out = pcm(16, 1, 11025);
    std::vector<std::uint8_t> dst(
        std::size_t(adpcmDecodeSizeOutputData(&f.wfx, &out, std::int32_t(data.size()))));
    EXPECT_EQ(adpcmDecode4Bit(&f.wfx, &out, data.data(), std::int32_t(data.size()), dst.data()), 0);
    data[f.wfx.nBlockAlign] = 6;
    EXPECT_EQ(adpcmDecode4Bit(&f.wfx, &out, data.data(), std::int32_t(data.size()), dst.data()),
              std::int32_t(dst.size()));
}

TEST(AdpcmDecode, EightBitOutputAndCutBlocks) {
    TADPCMWaveFormat f = adpcmFor(1, 11025);
    auto block = monoHeader(0, 16, -256, -1); // sample 2 (-1) comes out first
    block.push_back(0x00);                    // two codes of 0: each repeats the prediction
    auto out8 = decode(&f.wfx, 8, block);
    ASSERT_EQ(out8.size(), 4u);
    EXPECT_EQ(out8[0], 128); // -1
    EXPECT_EQ(out8[1], 127); // -256
    // pred = 2 * s1 - s2 for coefficients (512, -256) would differ; predictor 0 repeats s1.
    EXPECT_EQ(out8[2], 127);
    // Input ending inside the header gives nothing; inside the codes only the frames it completes.
    EXPECT_TRUE(decode(&f.wfx, 16, std::vector<std::uint8_t>(block.begin(), block.begin() + 6)).empty());
    EXPECT_EQ(decode(&f.wfx, 16, monoHeader(0, 16, 5, 6)).size(), 4u);

    TADPCMWaveFormat s = adpcmFor(2, 11025);
    std::vector<std::uint8_t> stereo(14 + 3, 0);
    EXPECT_EQ(decode(&s.wfx, 16, stereo).size(), (2 + 3) * 4u);
}

TEST(AdpcmEncode, ConstantBlockIsExactWithPredictorZero) {
    TADPCMWaveFormat f = adpcmFor(1, 11025);
    TWaveFormatEx in = pcm(16, 1, 11025);
    std::vector<std::int16_t> samples(f.wSamplesPerBlock, 1234);
    std::int32_t bytes = std::int32_t(samples.size() * 2);
    std::int32_t size = adpcmEncodeSizeOutputData(&in, &f.wfx, bytes);
    ASSERT_EQ(size, f.wfx.nBlockAlign);
    std::vector<std::uint8_t> enc(std::size_t(size) + 8, 0xEE);
    ASSERT_EQ(adpcmEncode4Bit(&in, &f.wfx, samples.data(), bytes, enc.data()), size);
    EXPECT_EQ(enc[0], 0);
    EXPECT_EQ(enc[std::size_t(size)], 0xEE); // nothing past the reported size
    enc.resize(std::size_t(size));
    auto dec = decode(&f.wfx, 16, enc);
    ASSERT_EQ(dec.size(), samples.size() * 2);
    EXPECT_EQ(std::memcmp(dec.data(), samples.data(), dec.size()), 0);
}

TEST(AdpcmEncode, ShortBlocksAndEightBitInput) {
    TADPCMWaveFormat f = adpcmFor(1, 11025);
    TWaveFormatEx in = pcm(8, 1, 11025);
    for (std::int32_t frames : {1, 2, 3, 4, 7, 501, 503}) {
        std::vector<std::uint8_t> src(static_cast<std::size_t>(frames));
        for (std::size_t i = 0; i < src.size(); ++i)
            src[i] = std::uint8_t(128 + 60 * ((i / 3) % 2));
        std::int32_t size = adpcmEncodeSizeOutputData(&in, &f.wfx, frames);
        std::vector<std::uint8_t> enc(std::size_t(size) + 1, 0xEE);
        ASSERT_EQ(adpcmEncode4Bit(&in, &f.wfx, src.data(), frames, enc.data()), size) << frames;
        EXPECT_EQ(enc.back(), 0xEE) << frames;
    }
    TWaveFormatEx stereoIn = pcm(16, 2, 11025);
    EXPECT_EQ(adpcmEncode4Bit(&stereoIn, &f.wfx, "abcd", 4, &stereoIn), 0); // channel counts differ
}

// ---- against sox and ffmpeg ----

struct OracleRow {
    const char* maker;
    int channels;
    int rate;
};

class AdpcmOracle : public ::testing::TestWithParam<OracleRow> {};

TEST_P(AdpcmOracle, DecodesLikeSox) {
    const OracleRow& row = GetParam();
    auto dir = testsupport::workDir("adpcm");
    auto x = dir / "x.wav", a = dir / "a.wav", ref = dir / "ref.raw";
    ASSERT_EQ(testsupport::run("sox -n -r " + std::to_string(row.rate) + " -c " +
                               std::to_string(row.channels) + " -b 16 " + quote(x) +
                               " synth 1 pinknoise vol 0.8"),
              0);
    std::string make = std::string(row.maker) == "sox" ? "sox " + quote(x) + " -e ms-adpcm " + quote(a)
                                                       : "ffmpeg -v error -y -fflags +bitexact -i " +
                                                             quote(x) + " -c:a adpcm_ms " + quote(a);
    ASSERT_EQ(testsupport::run(make), 0);
    ASSERT_EQ(testsupport::run("sox " + quote(a) + " -t s16 " + quote(ref)), 0);
    auto parts = adpcmtest::readWave(testsupport::readFile(a));
    ASSERT_TRUE(parts);
    auto ours = decode(parts->wfx(), 16, parts->data);
    auto theirs = testsupport::readFile(ref);
    ASSERT_EQ(ours.size(), theirs.size());
    EXPECT_TRUE(ours == theirs);
    if (std::string(row.maker) == "sox") {
        std::set<int> predictors;
        for (std::size_t at = 0; at + 1 < parts->data.size(); at += parts->wfx()->nBlockAlign)
            for (int ch = 0; ch < row.channels; ++ch)
                predictors.insert(parts->data[at + std::size_t(ch)]);
        EXPECT_GE(predictors.size(), 2u) << "the file should use predictors beyond the first";
    }
}

TEST_P(AdpcmOracle, SoxDecodesOurEncoding) {
    const OracleRow& row = GetParam();
    auto dir = testsupport::workDir("adpcm");
    auto x = dir / "x.wav", a = dir / "ours.wav", ref = dir / "ref.raw";
    ASSERT_EQ(testsupport::run("sox -n -r " + std::to_string(row.rate) + " -c " +
                               std::to_string(row.channels) + " -b 16 " + quote(x) +
                               " synth 0.7 pinknoise sine 440 vol 0.9"),
              0);
    auto parts = adpcmtest::readWave(testsupport::readFile(x));
    ASSERT_TRUE(parts);
    TWaveFormatEx in = pcm(16, row.channels, std::uint32_t(row.rate));
    TADPCMWaveFormat f = adpcmFor(row.channels, std::uint32_t(row.rate));
    std::int32_t size = adpcmEncodeSizeOutputData(&in, &f.wfx, std::int32_t(parts->data.size()));
    std::vector<std::uint8_t> enc(static_cast<std::size_t>(size));
    ASSERT_EQ(adpcmEncode4Bit(&in, &f.wfx, parts->data.data(), std::int32_t(parts->data.size()), enc.data()),
              size);
    adpcmtest::writeFile(a, adpcmtest::makeWave(&f, sizeof f, enc));
    ASSERT_EQ(testsupport::run("sox " + quote(a) + " -t s16 " + quote(ref) + " 2>/dev/null"), 0);
    auto ours = decode(&f.wfx, 16, enc);
    auto theirs = testsupport::readFile(ref);
    ASSERT_EQ(ours.size(), theirs.size());
    EXPECT_TRUE(ours == theirs);
    // And the encoding is close to its input: 4-bit ADPCM of noise stays within a few percent.
    double err = 0, sig = 0;
    for (std::size_t i = 0; i + 1 < std::min(ours.size(), parts->data.size()); i += 2) {
        double o = std::int16_t(ours[i] | ours[i + 1] << 8),
               s = std::int16_t(parts->data[i] | parts->data[i + 1] << 8);
        err += (o - s) * (o - s);
        sig += s * s;
    }
    EXPECT_LT(err, sig * 0.05);
}

INSTANTIATE_TEST_SUITE_P(Files, AdpcmOracle,
                         ::testing::Values(OracleRow{"sox", 1, 22050}, OracleRow{"sox", 2, 44100},
                                           OracleRow{"sox", 1, 8000}, OracleRow{"ffmpeg", 1, 22050},
                                           OracleRow{"ffmpeg", 2, 44100}),
                         [](const auto& info) {
                             return std::string(info.param.maker) + "_" +
                                    std::to_string(info.param.channels) + "ch_" +
                                    std::to_string(info.param.rate);
                         });
