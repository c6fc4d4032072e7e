// Files past the RIFF limit (OpenDML, with a tiny limit so that a few frames make several AVIX parts),
// and files whose writing was cut short: truncated after the fact, or a writer that died mid-way.
#include "AviWriteUtil.h"

#include "platform/vfw/AviParser.h"
#include "platform/vfw/AviSource.h"

#include <sys/wait.h>
#include <unistd.h>

using namespace avitest;
using namespace win;

namespace {

constexpr int kW = 64, kH = 48;
constexpr std::size_t kFrameBytes = kW * kH * 3;

struct RiffLimit {
    explicit RiffLimit(std::uint64_t bytes) { AviSetRiffLimit(bytes); }
    ~RiffLimit() { AviSetRiffLimit(0); }
};

struct Written {
    std::vector<std::vector<std::uint8_t>> frames;
    std::vector<std::uint8_t> pcm;
};

// `count` video frames, each followed by a quarter second of 8 kHz stereo audio, written to path.
Written writeAv(const std::filesystem::path& path, int count) {
    Written w;
    auto f = createFile(path);
    auto v = createStream(f.get(), videoInfo(4));
    auto wf = pcmFormat(8000, 2);
    auto a = createStream(f.get(), audioInfo(wf));
    auto fmt = dibFormat(kW, kH, 24);
    EXPECT_EQ(AVIStreamSetFormat(v.get(), 0, fmt.data(), LONG(fmt.size())), AVIERR_OK);
    EXPECT_EQ(AVIStreamSetFormat(a.get(), 0, &wf, sizeof wf), AVIERR_OK);
    for (int i = 0; i < count; ++i) {
        w.frames.push_back(frameBytes(kFrameBytes, i));
        EXPECT_EQ(writeSample(v.get(), w.frames.back(), i % 3 == 0), AVIERR_OK);
        auto pcm = frameBytes(2000 * 4, 100 + i);
        EXPECT_EQ(writeSample(a.get(), pcm, true, 2000), AVIERR_OK);
        w.pcm.insert(w.pcm.end(), pcm.begin(), pcm.end());
    }
    return w;
}

AviFileModel parse(const std::filesystem::path& p) {
    std::string why;
    auto src = AviFileSource::open(p.string(), why);
    auto m = parseAvi(*src);
    EXPECT_TRUE(m.ok());
    return m.ok() ? std::move(m.value()) : AviFileModel{};
}

// Reads the file back through the AVIFile calls and compares with what was written (the first
// `frames` frames and their audio).
// Key frames are checked when the file kept its index: a reader that rebuilds the index by walking movi
// takes every frame of uncompressed video as a key frame.
void expectContents(const std::filesystem::path& path, const Written& w, std::size_t frames, bool indexed) {
    auto f = openFile(path);
    ASSERT_TRUE(f);
    auto v = stream(f.get(), streamtypeVIDEO, 0);
    auto a = stream(f.get(), streamtypeAUDIO, 0);
    ASSERT_EQ(AVIStreamLength(v.get()), LONG(frames));
    for (std::size_t i = 0; i < frames; ++i) {
        EXPECT_EQ(*sample(v.get(), LONG(i)), w.frames[i]) << i;
        EXPECT_EQ(AVIStreamIsKeyFrame(v.get(), LONG(i)), !indexed || i % 3 == 0) << i;
    }
    ASSERT_EQ(AVIStreamLength(a.get()), LONG(2000 * frames));
    std::vector<std::uint8_t> pcm(8000 * frames);
    LONG got = 0;
    ASSERT_EQ(AVIStreamRead(a.get(), 0, LONG(2000 * frames), pcm.data(), LONG(pcm.size()), nullptr, &got),
              AVIERR_OK);
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), w.pcm.begin()));
}

std::size_t countOf(const std::vector<std::uint8_t>& bytes, const char* id) {
    std::size_t n = 0;
    for (std::size_t i = 0; i + 4 <= bytes.size(); ++i)
        n += std::memcmp(&bytes[i], id, 4) == 0;
    return n;
}

TEST(AviWriteOdml, SeveralRiffsRoundTrip) {
    RiffLimit limit(40000); // about three frames and their audio per RIFF
    auto path = workDir() / "write-odml.avi";
    Written w;
    { w = writeAv(path, 12); }
    auto bytes = readFile(path);
    EXPECT_GE(countOf(bytes, "AVIX"), 3u);
    EXPECT_EQ(countOf(bytes, "idx1"), 1u); // the first RIFF keeps an index for old readers
    EXPECT_GE(countOf(bytes, "ix00"), 4u);
    AviFileModel m = parse(path);
    EXPECT_EQ(m.indexSource, AviFileModel::IndexSource::OpenDml);
    EXPECT_EQ(m.dmlhTotalFrames, 12u);
    EXPECT_GT(m.avih.dwTotalFrames, 0u);
    EXPECT_LT(m.avih.dwTotalFrames, 12u); // the first RIFF's frames only
    EXPECT_EQ(m.streams[0].header.dwLength, 12u);
    expectContents(path, w, 12, true);
    if (!testsupport::haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    // ffmpeg splits long PCM chunks into several packets: the audio is compared by its bytes.
    EXPECT_EQ(probeStreams(path).at(0), "video,12");
    EXPECT_EQ(ffmpegDecode(path, "0:v", "rawvideo -pix_fmt bgr24"), topDown(w.frames, kW, kH));
    EXPECT_EQ(ffmpegDecode(path, "0:a", "s16le"), std::string(w.pcm.begin(), w.pcm.end()));
}

TEST(AviWriteInterrupted, TruncatedFileKeepsWholeFrames) {
    auto path = workDir() / "write-whole.avi";
    Written w = writeAv(path, 12);
    auto bytes = readFile(path);
    AviFileModel m = parse(path);
    const auto& chunks = m.streams[0].chunks;
    struct Case {
        const char* name;
        std::size_t cut;
        std::size_t frames;
    };
    // A frame needs its audio too in this check: cuts lie after a frame's audio chunk or inside a frame.
    const std::size_t afterAudio6 = std::size_t(m.streams[1].chunks[6].offset + 8000);
    Case cases[] = {
        {"inside frame 5", std::size_t(chunks[5].offset + 100), 5},
        {"after the audio of frame 6", afterAudio6, 7},
        {"inside idx1", bytes.size() - 20, 12},
    };
    for (auto& c : cases) {
        auto cut = workDir() / "write-cut.avi";
        writeFile("write-cut.avi", std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + long(c.cut)));
        SCOPED_TRACE(c.name);
        expectContents(cut, w, c.frames, false);
        if (testsupport::haveFfmpeg()) {
            auto probed = probeStreams(cut);
            ASSERT_FALSE(probed.empty());
            EXPECT_EQ(probed[0], "video," + std::to_string(c.frames));
        }
    }
}

// A child process writes `frames` frames and their audio and ends without releasing the writer, as if
// killed; returns what it wrote.
Written writeAbandoned(const std::filesystem::path& path, int frames) {
    Written expected;
    for (int i = 0; i < frames; ++i) {
        expected.frames.push_back(frameBytes(kFrameBytes, i));
        auto pcm = frameBytes(2000 * 4, 100 + i);
        expected.pcm.insert(expected.pcm.end(), pcm.begin(), pcm.end());
    }
    pid_t pid = fork();
    if (pid == 0) {
        // The writer and its streams are never released: the process ends as if killed.
        PAVIFILE f = nullptr;
        if (AVIFileOpenA(&f, path.c_str(), OF_CREATE | OF_WRITE, nullptr) != AVIERR_OK) _exit(1);
        PAVISTREAM v = nullptr, a = nullptr;
        auto vi = videoInfo(4);
        auto wf = pcmFormat(8000, 2);
        auto ai = audioInfo(wf);
        auto fmt = dibFormat(kW, kH, 24);
        if (AVIFileCreateStreamA(f, &v, &vi) || AVIFileCreateStreamA(f, &a, &ai) ||
            AVIStreamSetFormat(v, 0, fmt.data(), LONG(fmt.size())) ||
            AVIStreamSetFormat(a, 0, &wf, sizeof wf))
            _exit(2);
        for (int i = 0; i < frames; ++i) {
            if (writeSample(v, expected.frames[std::size_t(i)], i % 3 == 0) ||
                writeSample(a, frameBytes(2000 * 4, 100 + i), true, 2000))
                _exit(3);
        }
        _exit(0);
    }
    int status = -1;
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return expected;
}

TEST(AviWriteInterrupted, AbandonedWriterLeavesItsFramesReadable) {
    auto path = workDir() / "write-abandoned.avi";
    Written w = writeAbandoned(path, 7);
    expectContents(path, w, 7, false);
    if (!testsupport::haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    EXPECT_EQ(probeStreams(path).at(0), "video,7");
    EXPECT_EQ(ffmpegDecode(path, "0:a", "s16le"), std::string(w.pcm.begin(), w.pcm.end()));
    EXPECT_EQ(ffmpegDecode(path, "0:v", "rawvideo -pix_fmt bgr24"), topDown(w.frames, kW, kH));
}

TEST(AviWriteInterrupted, AbandonedOpenDmlWriterLeavesEveryRiffReadable) {
    RiffLimit limit(40000);
    auto path = workDir() / "write-abandoned-odml.avi";
    Written w = writeAbandoned(path, 11);
    EXPECT_GE(countOf(readFile(path), "AVIX"), 3u);
    expectContents(path, w, 11, false);
}

} // namespace

namespace {

// Standard indexes hold no palette changes: they are found in movi for streams that announce them.
TEST(AviWriteOdml, PaletteChangesAcrossRiffs) {
    RiffLimit limit(4000);
    auto path = workDir() / "write-odml-pal.avi";
    auto fmt = dibFormat(32, 32, 8), blue = fmt;
    for (int i = 0; i < 256; ++i)
        blue[40 + 4 * std::size_t(i)] = 200;
    std::vector<std::uint8_t> pixels(32 * 32, 3);
    {
        auto f = createFile(path);
        auto s = createStream(f.get(), videoInfo());
        for (int i = 0; i < 8; ++i) {
            auto& use = i < 5 ? fmt : blue;
            ASSERT_EQ(AVIStreamSetFormat(s.get(), i, use.data(), LONG(use.size())), AVIERR_OK);
            ASSERT_EQ(writeSample(s.get(), pixels), AVIERR_OK);
        }
    }
    EXPECT_GE(countOf(readFile(path), "AVIX"), 3u);
    EXPECT_EQ(parse(path).indexSource, AviFileModel::IndexSource::OpenDml);
    auto f = openFile(path);
    auto s = stream(f.get(), 0, 0);
    ASSERT_EQ(AVIStreamLength(s.get()), 8);
    EXPECT_EQ(AVIStreamFindSample(s.get(), 0, FIND_NEXT | FIND_FORMAT), 0);
    EXPECT_EQ(AVIStreamFindSample(s.get(), 1, FIND_NEXT | FIND_FORMAT), 5);
    for (LONG pos : {4, 5, 7}) {
        std::vector<std::uint8_t> got(fmt.size());
        LONG size = LONG(got.size());
        ASSERT_EQ(AVIStreamReadFormat(s.get(), pos, got.data(), &size), AVIERR_OK);
        EXPECT_EQ(got, pos < 5 ? fmt : blue) << pos;
    }
}

} // namespace
