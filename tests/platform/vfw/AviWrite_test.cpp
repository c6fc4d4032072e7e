// Files written through the AVIFile interface, read back by our reader and by ffprobe/ffmpeg: frame
// counts, sizes, key frames, the decoded bytes of uncompressed video and PCM audio, the header fields,
// extra data chunks, records and palette changes.
#include "AviWriteUtil.h"

#include "platform/vfw/AviParser.h"
#include "platform/vfw/AviSource.h"

#include <functional>

using namespace avitest;
using namespace win;

namespace {

constexpr int kW = 64, kH = 48;
constexpr std::size_t kFrameBytes = kW * kH * 3;

// Writes 12 frames of 64x48 24-bit video, key frames every 4th, and returns them.
std::vector<std::vector<std::uint8_t>> writeVideo(IAVIStream* s, int count = 12) {
    auto fmt = dibFormat(kW, kH, 24);
    EXPECT_EQ(AVIStreamSetFormat(s, 0, fmt.data(), LONG(fmt.size())), AVIERR_OK);
    std::vector<std::vector<std::uint8_t>> frames;
    for (int i = 0; i < count; ++i) {
        frames.push_back(frameBytes(kFrameBytes, i));
        EXPECT_EQ(writeSample(s, frames.back(), i % 4 == 0), AVIERR_OK);
    }
    return frames;
}

AviFileModel parse(const std::filesystem::path& p) {
    std::string why;
    auto src = AviFileSource::open(p.string(), why);
    auto m = parseAvi(*src);
    EXPECT_TRUE(m.ok());
    return m.ok() ? std::move(m.value()) : AviFileModel{};
}

TEST(AviWrite, VideoRoundTripsThroughOurReaderAndFfmpeg) {
    auto path = workDir() / "write-video.avi";
    std::vector<std::vector<std::uint8_t>> frames;
    {
        auto f = createFile(path);
        auto s = createStream(f.get(), videoInfo(25));
        frames = writeVideo(s.get());
        EXPECT_EQ(AVIStreamLength(s.get()), 12);
    }
    AviFileModel m = parse(path);
    EXPECT_EQ(m.indexSource, AviFileModel::IndexSource::Idx1);
    EXPECT_EQ(m.avih.dwTotalFrames, 12u);
    EXPECT_EQ(m.avih.dwFlags & AVIF_HASINDEX, AVIF_HASINDEX);
    EXPECT_EQ(m.avih.dwFlags & AVIF_ISINTERLEAVED, 0u); // one stream
    EXPECT_EQ(m.avih.dwMicroSecPerFrame, 40000u);
    EXPECT_EQ(m.avih.dwSuggestedBufferSize, kFrameBytes);
    EXPECT_EQ(m.avih.dwMaxBytesPerSec, 12 * kFrameBytes); // all 12 frames lie in the first second
    EXPECT_EQ(m.avih.dwWidth, DWORD(kW));
    EXPECT_EQ(m.streams[0].header.dwLength, 12u);

    auto f = openFile(path);
    auto s = stream(f.get(), streamtypeVIDEO, 0);
    ASSERT_TRUE(s);
    ASSERT_EQ(AVIStreamLength(s.get()), 12);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(*sample(s.get(), i), frames[std::size_t(i)]) << i;
        EXPECT_EQ(AVIStreamIsKeyFrame(s.get(), i), i % 4 == 0) << i;
    }
    if (!testsupport::haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    EXPECT_EQ(probeStreams(path), std::vector<std::string>{"video,12"});
    EXPECT_EQ(ffmpegDecode(path, "0:v", "rawvideo -pix_fmt bgr24"), topDown(frames, kW, kH));
}

TEST(AviWrite, InterleavedAudioAndVideoInRecords) {
    auto path = workDir() / "write-av.avi";
    auto wf = pcmFormat(8000, 2);
    std::vector<std::uint8_t> pcm(8000 * 4); // one second
    for (std::size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = std::uint8_t(i * 13 + (i >> 9));
    std::vector<std::vector<std::uint8_t>> frames;
    {
        auto f = createFile(path);
        auto v = createStream(f.get(), videoInfo(10));
        auto a = createStream(f.get(), audioInfo(wf));
        ASSERT_EQ(AVIStreamSetFormat(a.get(), 0, &wf, sizeof wf), AVIERR_OK);
        auto fmt = dibFormat(kW, kH, 24);
        ASSERT_EQ(AVIStreamSetFormat(v.get(), 0, fmt.data(), LONG(fmt.size())), AVIERR_OK);
        // Ten records of one frame and a tenth of a second of audio in two uneven chunks.
        std::size_t at = 0;
        for (int i = 0; i < 10; ++i) {
            frames.push_back(frameBytes(kFrameBytes, i));
            ASSERT_EQ(writeSample(v.get(), frames.back()), AVIERR_OK);
            for (std::size_t part : {300u, 500u}) {
                std::vector<std::uint8_t> d(pcm.begin() + long(at * 4), pcm.begin() + long((at + part) * 4));
                LONG samples = 0, bytes = 0;
                ASSERT_EQ(AVIStreamWrite(a.get(), LONG(at), LONG(part), d.data(), LONG(d.size()), 0, &samples,
                                         &bytes),
                          AVIERR_OK);
                EXPECT_EQ(samples, LONG(part));
                EXPECT_EQ(bytes, LONG(part * 4));
                at += part;
            }
            ASSERT_EQ(AVIFileEndRecord(f.get()), AVIERR_OK);
        }
        EXPECT_EQ(AVIStreamLength(a.get()), 8000);
        // The stream being written reads back what it holds, across chunk boundaries.
        std::vector<std::uint8_t> back(400 * 4);
        LONG got = 0;
        ASSERT_EQ(AVIStreamRead(a.get(), 100, 400, back.data(), LONG(back.size()), nullptr, &got), AVIERR_OK);
        EXPECT_EQ(got, 400);
        EXPECT_TRUE(std::equal(back.begin(), back.end(), pcm.begin() + 400));
    }
    AviFileModel m = parse(path);
    EXPECT_EQ(m.avih.dwFlags & (AVIF_HASINDEX | AVIF_ISINTERLEAVED), AVIF_HASINDEX | AVIF_ISINTERLEAVED);
    EXPECT_EQ(m.avih.dwMaxBytesPerSec, 10 * kFrameBytes + pcm.size());
    EXPECT_EQ(m.streams[1].header.dwSampleSize, 4u);
    EXPECT_EQ(m.streams[1].header.dwLength, 8000u);

    auto f = openFile(path);
    auto a = stream(f.get(), streamtypeAUDIO, 0);
    ASSERT_EQ(AVIStreamLength(a.get()), 8000);
    std::vector<std::uint8_t> back(pcm.size());
    LONG got = 0;
    ASSERT_EQ(AVIStreamRead(a.get(), 0, 8000, back.data(), LONG(back.size()), nullptr, &got), AVIERR_OK);
    EXPECT_EQ(back, pcm);
    if (!testsupport::haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    EXPECT_EQ(ffmpegDecode(path, "0:a", "s16le"), std::string(pcm.begin(), pcm.end()));
    EXPECT_EQ(ffmpegDecode(path, "0:v", "rawvideo -pix_fmt bgr24"), topDown(frames, kW, kH));
}

TEST(AviWrite, ExtraDataChunksOfStreamsAndFile) {
    auto path = workDir() / "write-data.avi";
    const FOURCC strd = mmioFOURCC('s', 't', 'r', 'd'), note = mmioFOURCC('N', 'O', 'T', 'E'),
                 late = mmioFOURCC('L', 'A', 'T', 'E');
    std::vector<std::uint8_t> codecData = {1, 2, 3, 4, 5}, text = {'h', 'i', 0};
    {
        auto f = createFile(path);
        auto s = createStream(f.get(), videoInfo());
        ASSERT_EQ(AVIStreamWriteData(s.get(), strd, codecData.data(), LONG(codecData.size())), AVIERR_OK);
        ASSERT_EQ(AVIFileWriteData(f.get(), note, text.data(), LONG(text.size())), AVIERR_OK);
        writeVideo(s.get(), 2);
        // After the data has begun, small additions still fit the header's reserve; big ones do not.
        ASSERT_EQ(AVIFileWriteData(f.get(), late, text.data(), LONG(text.size())), AVIERR_OK);
        std::vector<std::uint8_t> big(64 * 1024);
        EXPECT_EQ(AVIFileWriteData(f.get(), late, big.data(), LONG(big.size())), AVIERR_UNSUPPORTED);
        LONG size = 0;
        EXPECT_EQ(AVIStreamReadData(s.get(), strd, nullptr, &size), AVIERR_OK);
        EXPECT_EQ(size, 5);
    }
    auto f = openFile(path);
    auto s = stream(f.get(), 0, 0);
    struct Case {
        const char* name;
        std::function<HRESULT(LPVOID, LONG*)> read;
        std::vector<std::uint8_t> want;
    };
    std::vector<Case> cases = {
        {"strd", [&](LPVOID b, LONG* n) { return AVIStreamReadData(s.get(), strd, b, n); }, codecData},
        {"file NOTE", [&](LPVOID b, LONG* n) { return AVIFileReadData(f.get(), note, b, n); }, text},
        {"file LATE", [&](LPVOID b, LONG* n) { return AVIFileReadData(f.get(), late, b, n); }, text},
    };
    for (auto& c : cases) {
        LONG size = 0;
        ASSERT_EQ(c.read(nullptr, &size), AVIERR_OK) << c.name;
        ASSERT_EQ(size, LONG(c.want.size())) << c.name;
        std::vector<std::uint8_t> buf(static_cast<std::size_t>(size));
        ASSERT_EQ(c.read(buf.data(), &size), AVIERR_OK) << c.name;
        EXPECT_EQ(buf, c.want) << c.name;
        size = 1;
        EXPECT_EQ(c.read(buf.data(), &size), AVIERR_BUFFERTOOSMALL) << c.name;
    }
    LONG size = 7;
    EXPECT_EQ(AVIStreamReadData(s.get(), note, nullptr, &size), AVIERR_NODATA);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(AVIFileReadData(f.get(), strd, nullptr, &size), AVIERR_NODATA);
    EXPECT_EQ(*sample(s.get(), 1), frameBytes(kFrameBytes, 1));
}

TEST(AviWrite, PaletteChangesOf8BitVideo) {
    auto path = workDir() / "write-pal.avi";
    auto fmt = dibFormat(16, 4, 8);
    auto red = fmt;
    for (int i = 10; i < 20; ++i)
        red[40 + 4 * std::size_t(i) + 2] = 255; // entries 10..19 get full red
    std::vector<std::uint8_t> pixels(16 * 4, 15);
    {
        auto f = createFile(path);
        auto s = createStream(f.get(), videoInfo());
        for (int i = 0; i < 6; ++i) {
            // The format is set before every frame, as a writer of DIBs does; only a change writes.
            ASSERT_EQ(AVIStreamSetFormat(s.get(), i, (i < 3 ? fmt : red).data(), LONG(fmt.size())),
                      AVIERR_OK);
            ASSERT_EQ(writeSample(s.get(), pixels), AVIERR_OK);
        }
        EXPECT_EQ(AVIStreamFindSample(s.get(), 5, FIND_PREV | FIND_FORMAT), 3);
        auto other = dibFormat(16, 8, 8);
        EXPECT_EQ(AVIStreamSetFormat(s.get(), 6, other.data(), LONG(other.size())), AVIERR_UNSUPPORTED);
        EXPECT_EQ(AVIStreamSetFormat(s.get(), 2, fmt.data(), LONG(fmt.size())), AVIERR_UNSUPPORTED);
    }
    AviFileModel m = parse(path);
    EXPECT_EQ(m.streams[0].header.dwFlags & AVISF_VIDEO_PALCHANGES, AVISF_VIDEO_PALCHANGES);
    auto f = openFile(path);
    auto s = stream(f.get(), 0, 0);
    ASSERT_EQ(AVIStreamLength(s.get()), 6);
    for (LONG pos : {0, 2, 3, 5}) {
        std::vector<std::uint8_t> got(fmt.size());
        LONG size = LONG(got.size());
        ASSERT_EQ(AVIStreamReadFormat(s.get(), pos, got.data(), &size), AVIERR_OK);
        EXPECT_EQ(got, pos < 3 ? fmt : red) << pos;
    }
    EXPECT_EQ(AVIStreamFindSample(s.get(), 1, FIND_NEXT | FIND_FORMAT), 3);
    if (!testsupport::haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    EXPECT_EQ(probeStreams(path), std::vector<std::string>{"video,6"});
    // ffmpeg applies the ##pc chunk too: pixel value 15 turns from grey to red at frame 3.
    std::string want;
    for (int i = 0; i < 6; ++i)
        for (int p = 0; p < 16 * 4; ++p)
            want += std::string{char(15), char(15), char(i < 3 ? 15 : 255)};
    EXPECT_EQ(ffmpegDecode(path, "0:v", "rawvideo -pix_fmt bgr24"), want);
}

TEST(AviWrite, WritingRulesAndResults) {
    auto path = workDir() / "write-rules.avi";
    auto f = createFile(path);
    auto v = createStream(f.get(), videoInfo());
    auto wf = pcmFormat(8000, 2);
    auto a = createStream(f.get(), audioInfo(wf));
    ASSERT_EQ(AVIStreamSetFormat(a.get(), 0, &wf, sizeof wf), AVIERR_OK);
    writeVideo(v.get(), 2);
    std::vector<std::uint8_t> ten(10);
    LONG samples = -1, bytes = -1;
    // Whole samples only: 10 bytes of 4-byte samples with 2 samples asked for write 8 bytes.
    EXPECT_EQ(AVIStreamWrite(a.get(), -1, 2, ten.data(), 10, 0, &samples, &bytes), AVIERR_OK);
    EXPECT_EQ(samples, 2);
    EXPECT_EQ(bytes, 8);
    EXPECT_EQ(AVIStreamWrite(a.get(), -1, 3, ten.data(), 10, 0, &samples, &bytes), AVIERR_BADSIZE);
    struct Case {
        const char* name;
        HRESULT got, want;
    };
    std::vector<std::uint8_t> frame(kFrameBytes);
    Case cases[] = {
        {"start before the end", AVIStreamWrite(v.get(), 0, 1, frame.data(), LONG(frame.size()), 0, 0, 0),
         AVIERR_BADPARAM},
        {"start after the end", AVIStreamWrite(v.get(), 5, 1, frame.data(), LONG(frame.size()), 0, 0, 0),
         AVIERR_BADPARAM},
        {"two video samples at once",
         AVIStreamWrite(v.get(), 2, 2, frame.data(), LONG(frame.size()), 0, 0, 0), AVIERR_BADPARAM},
        {"at the end", AVIStreamWrite(v.get(), 2, 1, frame.data(), LONG(frame.size()), 0, 0, 0), AVIERR_OK},
        {"a dropped frame", AVIStreamWrite(v.get(), -1, 1, nullptr, 0, AVIIF_KEYFRAME, 0, 0), AVIERR_OK},
        {"delete on a stream being written", v->Delete(0, 1), AVIERR_UNSUPPORTED},
        {"no stream info", AVIFileCreateStreamA(f.get(), nullptr, nullptr), AVIERR_BADPARAM},
    };
    for (auto& c : cases)
        EXPECT_EQ(c.got, c.want) << c.name;
    EXPECT_EQ(AVIStreamLength(v.get()), 4);
    // The dropped frame is no key frame and holds no data.
    EXPECT_EQ(AVIStreamFindSample(v.get(), 3, FIND_PREV | FIND_KEY), 0);
    EXPECT_EQ(AVIStreamFindSample(v.get(), 3, FIND_PREV | FIND_ANY), 2);
    AVIFILEINFOA fi{};
    ASSERT_EQ(AVIFileInfoA(f.get(), &fi, sizeof fi), AVIERR_OK);
    EXPECT_EQ(fi.dwStreams, 2u);
    EXPECT_EQ(fi.dwCaps, AVIFILECAPS_CANREAD | AVIFILECAPS_CANWRITE);

    // Streams of a file opened for reading cannot be changed.
    a.reset();
    v.reset();
    f.reset();
    auto r = openFile(path);
    auto rs = stream(r.get(), streamtypeVIDEO, 0);
    EXPECT_EQ(AVIStreamWrite(rs.get(), -1, 1, frame.data(), LONG(frame.size()), 0, 0, 0), AVIERR_READONLY);
    EXPECT_EQ(AVIStreamSetFormat(rs.get(), 0, frame.data(), 40), AVIERR_READONLY);
    EXPECT_EQ(rs->Delete(0, 1), AVIERR_UNSUPPORTED);
    EXPECT_EQ(AVIFileEndRecord(r.get()), AVIERR_READONLY);
    EXPECT_EQ(AVIStreamLength(rs.get()), 4);
}

} // namespace
