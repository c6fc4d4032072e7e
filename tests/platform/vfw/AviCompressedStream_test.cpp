// Compressed streams over a test compressor whose delta frames decode only in order: forced key frames,
// each frame compressed once when read in order, reads out of order giving the same bytes, the settings
// handed to the compressor; full frames.
#include "AviWriteUtil.h"
#include "support/TestCompressor.h"

#include "platform/vfw/AviSave.h"

using namespace avitest;
using namespace win;

namespace {

constexpr int kW = 32, kH = 16, kFrames = 12;
constexpr std::size_t kFrameBytes = kW * kH * 3;

struct Source {
    FilePtr file;
    StreamPtr video;
    std::vector<std::vector<std::uint8_t>> frames;
};

Source makeSource() {
    auto path = workDir() / "compress-source.avi";
    Source s;
    {
        auto f = createFile(path);
        auto v = createStream(f.get(), videoInfo(25));
        auto fmt = dibFormat(kW, kH, 24);
        EXPECT_EQ(AVIStreamSetFormat(v.get(), 0, fmt.data(), LONG(fmt.size())), AVIERR_OK);
        for (int i = 0; i < kFrames; ++i) {
            s.frames.push_back(frameBytes(kFrameBytes, i));
            EXPECT_EQ(writeSample(v.get(), s.frames.back()), AVIERR_OK);
        }
    }
    s.file = openFile(path);
    s.video = stream(s.file.get(), streamtypeVIDEO, 0);
    return s;
}

AVICOMPRESSOPTIONS codecOptions(FOURCC handler, DWORD flags, DWORD keyEvery = 0) {
    AVICOMPRESSOPTIONS o{};
    o.fccType = streamtypeVIDEO;
    o.fccHandler = handler;
    o.dwFlags = flags | AVICOMPRESSF_VALID;
    o.dwKeyFrameEvery = keyEvery;
    o.dwQuality = 6500;
    o.dwBytesPerSecond = 25 * 1000;
    return o;
}

StreamPtr compressed(IAVIStream* source, AVICOMPRESSOPTIONS o, HRESULT want = AVIERR_OK) {
    PAVISTREAM s = nullptr;
    EXPECT_EQ(AVIMakeCompressedStream(&s, source, &o, nullptr), want) << AVILastErrorDetail();
    return StreamPtr(s);
}

struct ReadBack {
    std::vector<std::vector<std::uint8_t>> samples;
    std::vector<bool> keys;
};

ReadBack readAll(IAVIStream* s) {
    ReadBack r;
    for (LONG i = 0; i < AVIStreamLength(s); ++i) {
        r.samples.push_back(*sample(s, i));
        r.keys.push_back(AVIStreamIsKeyFrame(s, i));
    }
    return r;
}

std::vector<bool> keysAt(std::initializer_list<int> at) {
    std::vector<bool> k(kFrames, false);
    for (int i : at)
        k[std::size_t(i)] = true;
    return k;
}

TEST(AviCompressedStream, KeyFramesAsAskedAndEachFrameCompressedOnce) {
    testcodec::Installed codec;
    auto src = makeSource();
    struct Case {
        const char* name;
        DWORD flags, every;
        std::vector<bool> keys;
    };
    const std::vector<Case> cases = {
        {"every 4", AVICOMPRESSF_KEYFRAMES, 4, keysAt({0, 4, 8})},
        {"every 5", AVICOMPRESSF_KEYFRAMES, 5, keysAt({0, 5, 10})},
        {"only the first", 0, 4, keysAt({0})},
    };
    for (auto& c : cases) {
        testcodec::counters() = {};
        auto s = compressed(src.video.get(), codecOptions(testcodec::kHandler, c.flags, c.every));
        ASSERT_TRUE(s) << c.name;
        ReadBack r = readAll(s.get());
        EXPECT_EQ(r.keys, c.keys) << c.name;
        EXPECT_EQ(testcodec::decode(r.samples, r.keys), src.frames) << c.name;
        EXPECT_EQ(testcodec::counters().frames, kFrames) << c.name << ": every frame once";
        EXPECT_EQ(testcodec::counters().begins, 1) << c.name;
        EXPECT_EQ(testcodec::counters().quality, 6500u) << c.name;
    }
}

TEST(AviCompressedStream, ReadsOutOfOrderGiveTheSequentialBytes) {
    testcodec::Installed codec;
    auto src = makeSource();
    auto s = compressed(src.video.get(), codecOptions(testcodec::kHandler, AVICOMPRESSF_KEYFRAMES, 4));
    ReadBack inOrder = readAll(s.get());
    testcodec::counters() = {};
    for (int pos : {6, 2, 11, 3, 3, 0}) {
        EXPECT_EQ(*sample(s.get(), pos), inOrder.samples[std::size_t(pos)]) << pos;
        EXPECT_EQ(AVIStreamIsKeyFrame(s.get(), pos), bool(inOrder.keys[std::size_t(pos)])) << pos;
    }
    // 6 from key 4 (3 frames), 2 from 0 (3), 11 from 8 (4), 3 from 0 (4), 3 again (none), 0 (1).
    EXPECT_EQ(testcodec::counters().frames, 15);
}

TEST(AviCompressedStream, FormatRateAndFullFrames) {
    testcodec::Installed codec;
    auto src = makeSource();
    auto s = compressed(src.video.get(), codecOptions(testcodec::kHandler, AVICOMPRESSF_DATARATE));
    ASSERT_TRUE(s);
    EXPECT_EQ(info(s.get()).fccHandler, testcodec::kHandler);
    BITMAPINFOHEADER bi{};
    LONG size = sizeof bi;
    ASSERT_EQ(AVIStreamReadFormat(s.get(), 0, &bi, &size), AVIERR_OK);
    EXPECT_EQ(bi.biCompression, testcodec::kHandler);
    sample(s.get(), 0);
    EXPECT_EQ(testcodec::counters().frameSize, 1000u) << "25000 bytes a second at 25 frames a second";

    // Full frames of an uncompressed source are its frames, all key frames.
    ReadBack r = readAll(compressed(src.video.get(), codecOptions(mmioFOURCC('D', 'I', 'B', ' '), 0)).get());
    EXPECT_EQ(r.samples, src.frames);
    EXPECT_EQ(r.keys, std::vector<bool>(kFrames, true));
    compressed(src.video.get(), codecOptions(mmioFOURCC('N', 'O', 'N', 'E'), 0), AVIERR_NOCOMPRESSOR);
}

} // namespace
