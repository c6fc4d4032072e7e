// Stream behaviour: information records, reading with every buffer and count form, searching for key
// frames, data and format changes, palette changes applied to the format.
#include "AviTestUtil.h"

#include <cstring>

using namespace avitest;
using namespace win;

namespace {

TEST(AviStreamInfo, ComesFromTheIndexNotFromTheHeaders) {
    AviBuilder b;
    int v = b.addVideo(32, -16, 24, 0, 30000, 1001);
    b.streams[std::size_t(v)].header.dwLength = 99;             // wrong
    b.streams[std::size_t(v)].header.dwSuggestedBufferSize = 7; // wrong
    b.streams[std::size_t(v)].name = "camera";
    b.streams[std::size_t(v)].header.dwStart = 3;
    for (int i = 0; i < 5; ++i)
        b.addFrame(v, 100 + std::size_t(i), 1);
    auto file = openBytes(b.build());
    auto s = stream(file.get(), 0, 0);
    AVISTREAMINFOA i = info(s.get());
    EXPECT_EQ(i.fccType, streamtypeVIDEO);
    EXPECT_EQ(i.dwLength, 5u);
    EXPECT_EQ(i.dwSuggestedBufferSize, 104u);
    EXPECT_EQ(i.dwRate, 30000u);
    EXPECT_EQ(i.dwScale, 1001u);
    EXPECT_EQ(i.dwStart, 3u);
    EXPECT_EQ(AVIStreamStart(s.get()), 3);
    EXPECT_STREQ(i.szName, "camera");
    EXPECT_EQ(i.rcFrame.right, 32);
    EXPECT_EQ(i.rcFrame.bottom, 16);
    EXPECT_EQ(i.dwFlags & AVISTREAMINFO_FORMATCHANGES, 0u);
    // The start is reported but positions still count from the first chunk.
    EXPECT_EQ(sample(s.get(), 0)->size(), 100u);

    AVIFILEINFOA fi{};
    ASSERT_EQ(AVIFileInfoA(file.get(), &fi, sizeof fi), AVIERR_OK);
    EXPECT_EQ(fi.dwStreams, 1u);
    EXPECT_EQ(fi.dwLength, 5u);
    EXPECT_EQ(fi.dwRate, 30000u);
    EXPECT_EQ(fi.dwSuggestedBufferSize, 104u);
    EXPECT_EQ(fi.dwCaps, AVIFILECAPS_CANREAD);
    EXPECT_EQ(fi.dwWidth, 32u);
    EXPECT_EQ(fi.dwHeight, 16u);
    EXPECT_STREQ(fi.szFileType, "AVI");
}

TEST(AviStreamInfo, FileLengthCoversTheLongestStreamAndRatesFallBack) {
    AviBuilder b;
    int v = b.addVideo(8, 8, 24, 0, 0, 0); // rate and scale 0: from the avih frame period
    int a = b.addAudio(1, 8000, 8);
    for (int i = 0; i < 2; ++i)
        b.addFrame(v, 10, 1);
    b.addFrame(a, 4000, 2); // half a second of audio against 0.2 s of video
    b.options.avihMicroSecPerFrame = 100000;
    auto file = openBytes(b.build());
    auto vs = stream(file.get(), streamtypeVIDEO, 0);
    EXPECT_EQ(info(vs.get()).dwRate, 1000000u);
    EXPECT_EQ(info(vs.get()).dwScale, 100000u);
    AVIFILEINFOA fi{};
    AVIFileInfoA(file.get(), &fi, sizeof fi);
    EXPECT_EQ(fi.dwLength, 5u);
    EXPECT_EQ(fi.dwSuggestedBufferSize, 4000u);
}

TEST(AviStreamLookup, ByTypeAndIndexWithNoDataPastTheEnd) {
    AviBuilder b;
    int v0 = b.addVideo(8, 8);
    b.addAudio();
    int v1 = b.addVideo(4, 4);
    b.addFrame(v0, 4, 1);
    b.addFrame(v1, 6, 2);
    auto file = openBytes(b.build());
    PAVISTREAM s = nullptr;
    EXPECT_EQ(AVIFileGetStream(file.get(), &s, streamtypeVIDEO, 1), AVIERR_OK);
    ASSERT_TRUE(s);
    EXPECT_EQ(sample(s, 0)->size(), 6u);
    AVIStreamRelease(s);
    EXPECT_EQ(AVIFileGetStream(file.get(), &s, streamtypeVIDEO, 2), AVIERR_NODATA);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(AVIFileGetStream(file.get(), &s, 0, 3), AVIERR_NODATA);
    EXPECT_EQ(AVIFileGetStream(file.get(), &s, streamtypeMIDI, 0), AVIERR_NODATA);
    EXPECT_TRUE(stream(file.get(), 0, 2));
}

TEST(AviStreamLookup, StreamOutlivesItsFile) {
    AviBuilder b;
    b.addFrame(b.addVideo(8, 8), 12, 7);
    auto file = openBytes(b.build());
    auto s = stream(file.get(), 0, 0);
    file.reset();
    EXPECT_EQ(*sample(s.get(), 0), std::vector<std::uint8_t>(12, 7));
}

TEST(AviStreamRead, SizesConvenientCountsAndSmallBuffers) {
    AviBuilder b;
    int v = b.addVideo(8, 8);
    b.addFrame(v, 10, 1);
    b.addFrame(v, 0, 0); // dropped frame
    b.addFrame(v, 30, 3);
    auto file = openBytes(b.build());
    auto s = stream(file.get(), 0, 0);
    LONG bytes = -1, samples = -1;
    EXPECT_EQ(AVIStreamRead(s.get(), 0, 3, nullptr, 0, &bytes, &samples), AVIERR_OK);
    EXPECT_EQ(bytes, 40);
    EXPECT_EQ(samples, 3);
    EXPECT_EQ(AVIStreamRead(s.get(), 1, 1, nullptr, 0, &bytes, &samples), AVIERR_OK);
    EXPECT_EQ(bytes, 0);
    EXPECT_EQ(samples, 1);

    std::vector<std::uint8_t> buf(25);
    EXPECT_EQ(AVIStreamRead(s.get(), 2, 1, buf.data(), 25, &bytes, &samples), AVIERR_BUFFERTOOSMALL);
    EXPECT_EQ(samples, 0);
    EXPECT_EQ(bytes, 30);
    // As many whole samples as fit: the 10-byte frame and the empty one, not the 30-byte one.
    EXPECT_EQ(AVIStreamRead(s.get(), 0, AVISTREAMREAD_CONVENIENT, buf.data(), 25, &bytes, &samples),
              AVIERR_OK);
    EXPECT_EQ(samples, 2);
    EXPECT_EQ(bytes, 10);
    EXPECT_EQ(AVIStreamRead(s.get(), 3, 1, buf.data(), 25, &bytes, &samples), AVIERR_BADPARAM);
    EXPECT_EQ(AVIStreamRead(s.get(), -1, 1, buf.data(), 25, &bytes, &samples), AVIERR_BADPARAM);
    EXPECT_EQ(AVIStreamRead(s.get(), 0, -2, buf.data(), 25, &bytes, &samples), AVIERR_BADPARAM);
}

TEST(AviStreamRead, AudioBlocksSpanChunks) {
    AviBuilder b;
    int a = b.addAudio(2, 8000, 16); // 4-byte blocks
    std::vector<std::uint8_t> all;
    for (int c = 0; c < 3; ++c) {
        std::vector<std::uint8_t> d(12 + 4 * std::size_t(c));
        for (auto& x : d)
            x = std::uint8_t(all.size() + (&x - d.data()));
        all.insert(all.end(), d.begin(), d.end());
        b.addChunk(a, d);
    }
    auto file = openBytes(b.build());
    auto s = stream(file.get(), 0, 0);
    ASSERT_EQ(AVIStreamLength(s.get()), LONG(all.size() / 4));
    EXPECT_EQ(info(s.get()).dwSampleSize, 4u);
    std::vector<std::uint8_t> buf(64);
    LONG bytes = 0, samples = 0;
    // Samples 2..6 cross from the first chunk (3 blocks) into the second.
    ASSERT_EQ(AVIStreamRead(s.get(), 2, 5, buf.data(), 64, &bytes, &samples), AVIERR_OK);
    EXPECT_EQ(samples, 5);
    EXPECT_EQ(std::vector<std::uint8_t>(buf.begin(), buf.begin() + 20),
              std::vector<std::uint8_t>(all.begin() + 8, all.begin() + 28));
    // A buffer of 10 bytes holds two blocks.
    EXPECT_EQ(AVIStreamRead(s.get(), 0, 5, buf.data(), 10, &bytes, &samples), AVIERR_OK);
    EXPECT_EQ(samples, 2);
    EXPECT_EQ(AVIStreamRead(s.get(), 0, 1, buf.data(), 3, &bytes, &samples), AVIERR_BUFFERTOOSMALL);
    // Convenient without a buffer: the rest of the chunk holding the start.
    EXPECT_EQ(AVIStreamRead(s.get(), 1, AVISTREAMREAD_CONVENIENT, nullptr, 0, &bytes, &samples), AVIERR_OK);
    EXPECT_EQ(samples, 2);
    EXPECT_EQ(AVIStreamFindSample(s.get(), 5, FIND_PREV | FIND_KEY), 5);
}

TEST(AviStreamFind, KeysSkipDroppedFramesAndRespectDirection) {
    AviBuilder b;
    int v = b.addVideo(8, 8);
    b.addFrame(v, 0, 0, true); // dropped frame flagged key: never a key frame
    b.addFrame(v, 5, 1, true);
    b.addFrame(v, 5, 2, false);
    b.addFrame(v, 0, 0, true);
    b.addFrame(v, 5, 3, true);
    b.addFrame(v, 5, 4, false);
    auto file = openBytes(b.build());
    auto s = stream(file.get(), 0, 0);
    PAVISTREAM p = s.get();
    EXPECT_EQ(AVIStreamFindSample(p, 0, FIND_PREV | FIND_KEY), -1);
    EXPECT_EQ(AVIStreamFindSample(p, 0, FIND_NEXT | FIND_KEY), 1);
    EXPECT_EQ(AVIStreamFindSample(p, 3, FIND_PREV | FIND_KEY), 1);
    EXPECT_EQ(AVIStreamFindSample(p, 3, FIND_NEXT | FIND_KEY), 4);
    EXPECT_EQ(AVIStreamFindSample(p, 5, FIND_NEXT | FIND_KEY), -1);
    EXPECT_EQ(AVIStreamFindSample(p, 100, FIND_PREV | FIND_KEY), 4);
    EXPECT_EQ(AVIStreamFindSample(p, 5, FIND_FROM_START | FIND_KEY), 1);
    EXPECT_EQ(AVIStreamFindSample(p, 3, FIND_NEXT | FIND_ANY), 4);
    EXPECT_EQ(AVIStreamFindSample(p, 3, FIND_PREV | FIND_ANY), 2);
    EXPECT_EQ(AVIStreamFindSample(p, 0, FIND_PREV | FIND_ANY), -1);
    EXPECT_EQ(AVIStreamFindSample(p, 4, FIND_PREV | FIND_FORMAT), 0);
    EXPECT_EQ(AVIStreamFindSample(p, 1, FIND_NEXT | FIND_FORMAT), -1);
}

TEST(AviStreamFind, WithoutKeyFlagsTheFirstFrameWithDataIsKey) {
    AviBuilder b;
    int v = b.addVideo(8, 8);
    b.addFrame(v, 0, 0, false);
    for (int i = 0; i < 3; ++i)
        b.addFrame(v, 5, 1, false);
    auto file = openBytes(b.build());
    auto s = stream(file.get(), 0, 0);
    EXPECT_EQ(AVIStreamFindSample(s.get(), 3, FIND_PREV | FIND_KEY), 1);
}

std::vector<RGBQUAD> grey(int n) {
    std::vector<RGBQUAD> p;
    for (int i = 0; i < n; ++i)
        p.push_back({BYTE(i), BYTE(i), BYTE(i), 0});
    return p;
}

TEST(AviStreamFormat, PaletteChangesApplyFromTheirPosition) {
    AviBuilder b;
    int v = b.addVideo(4, 4, 8, 0, 10, 1, grey(4));
    b.addFrame(v, 16, 0);
    b.addFrame(v, 16, 1);
    b.addPaletteChange(v, 1, {{200, 100, 50, 0}, {9, 8, 7, 0}});
    b.addFrame(v, 16, 2, false);
    b.addPaletteChange(v, 3, {{1, 2, 3, 0}});
    b.addPaletteChange(v, 250, std::vector<PALETTEENTRY>(10)); // 250 + 10 > 256: ignored
    b.addFrame(v, 16, 3, false);
    auto file = openBytes(b.build());
    auto s = stream(file.get(), 0, 0);
    AVISTREAMINFOA i = info(s.get());
    EXPECT_EQ(AVIStreamLength(s.get()), 4);
    EXPECT_TRUE(i.dwFlags & AVISTREAMINFO_FORMATCHANGES);
    EXPECT_EQ(i.dwFormatChangeCount, 2u);
    LONG size = 0;
    ASSERT_EQ(AVIStreamReadFormat(s.get(), 0, nullptr, &size), AVIERR_OK);
    ASSERT_EQ(size, 40 + 16);
    auto formatAt = [&](LONG pos) {
        std::vector<RGBQUAD> table(4);
        std::vector<std::uint8_t> f(static_cast<std::size_t>(size));
        LONG n = size;
        EXPECT_EQ(AVIStreamReadFormat(s.get(), pos, f.data(), &n), AVIERR_OK);
        std::memcpy(table.data(), f.data() + 40, 16);
        return table;
    };
    auto t1 = formatAt(1), t2 = formatAt(2), t3 = formatAt(3);
    EXPECT_EQ(t1[1].rgbRed, 1);
    EXPECT_EQ(t2[1].rgbRed, 200);
    EXPECT_EQ(t2[1].rgbGreen, 100);
    EXPECT_EQ(t2[1].rgbBlue, 50);
    EXPECT_EQ(t2[2].rgbBlue, 7);
    EXPECT_EQ(t2[3].rgbRed, 3);
    EXPECT_EQ(t3[3].rgbRed, 1);
    EXPECT_EQ(t3[3].rgbBlue, 3);
    EXPECT_EQ(AVIStreamFindSample(s.get(), 0, FIND_NEXT | FIND_FORMAT), 0);
    EXPECT_EQ(AVIStreamFindSample(s.get(), 1, FIND_NEXT | FIND_FORMAT), 2);
    EXPECT_EQ(AVIStreamFindSample(s.get(), 3, FIND_PREV | FIND_FORMAT), 3);

    std::vector<std::uint8_t> small(20);
    LONG n = 20;
    EXPECT_EQ(AVIStreamReadFormat(s.get(), 0, small.data(), &n), AVIERR_BUFFERTOOSMALL);
    EXPECT_EQ(n, 20);
}

} // namespace
