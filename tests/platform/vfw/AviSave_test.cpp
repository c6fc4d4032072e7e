// Saving streams into a new file: copies and compressed video with PCM audio read back by our reader
// and by ffmpeg, the order of interleaved chunks, progress, abort and what is left under the target
// name, the file-type filter.
#include "AviWriteUtil.h"

#include "platform/vfw/AviParser.h"
#include "platform/vfw/AviSave.h"
#include "platform/vfw/AviSource.h"

#include <algorithm>

using namespace avitest;
using namespace win;

namespace {

constexpr int kW = 64, kH = 48, kFrames = 12;
constexpr std::size_t kFrameBytes = kW * kH * 3;
constexpr LONG kAudioSamples = 8000 * kFrames / 25; // as long as the video at 25 frames a second

struct Source {
    std::filesystem::path path;
    std::vector<std::vector<std::uint8_t>> frames;
    std::vector<std::uint8_t> pcm;
};

// 12 frames of 64x48 24-bit video (smooth gradients that move, which lossy codecs keep close; key
// frames every 4th) and PCM audio of the same length, written one stream after the other.
const Source& source() {
    static Source src = [] {
        Source s;
        s.path = workDir() / "save-source.avi";
        for (int n = 0; n < kFrames; ++n) {
            std::vector<std::uint8_t> f(kFrameBytes);
            for (std::size_t i = 0; i < kW * kH; ++i) {
                const int x = int(i % kW), y = int(i / kW);
                f[3 * i] = std::uint8_t(x * 3 + n * 5);
                f[3 * i + 1] = std::uint8_t(y * 4 + 20);
                f[3 * i + 2] = std::uint8_t(200 - x * 2 - n * 3);
            }
            s.frames.push_back(std::move(f));
        }
        s.pcm.resize(std::size_t(kAudioSamples) * 4);
        for (std::size_t i = 0; i < s.pcm.size(); ++i)
            s.pcm[i] = std::uint8_t(i * 13 + (i >> 9));
        auto wf = pcmFormat(8000, 2);
        auto f = createFile(s.path);
        auto v = createStream(f.get(), videoInfo(25));
        auto a = createStream(f.get(), audioInfo(wf));
        auto fmt = dibFormat(kW, kH, 24);
        EXPECT_EQ(AVIStreamSetFormat(v.get(), 0, fmt.data(), LONG(fmt.size())), AVIERR_OK);
        EXPECT_EQ(AVIStreamSetFormat(a.get(), 0, &wf, sizeof wf), AVIERR_OK);
        for (int i = 0; i < kFrames; ++i)
            EXPECT_EQ(writeSample(v.get(), s.frames[std::size_t(i)], i % 4 == 0), AVIERR_OK);
        EXPECT_EQ(writeSample(a.get(), s.pcm, true, kAudioSamples), AVIERR_OK);
        return s;
    }();
    return src;
}

struct OpenStreams {
    FilePtr file = openFile(source().path);
    StreamPtr video = stream(file.get(), streamtypeVIDEO, 0);
    StreamPtr audio = stream(file.get(), streamtypeAUDIO, 0);
};

AVICOMPRESSOPTIONS videoOptions(DWORD flags, DWORD every, FOURCC handler = 0) {
    AVICOMPRESSOPTIONS o{};
    o.fccType = streamtypeVIDEO;
    o.fccHandler = handler;
    o.dwFlags = flags | AVICOMPRESSF_VALID;
    o.dwInterleaveEvery = every;
    o.dwKeyFrameEvery = 4;
    o.dwQuality = 9000;
    return o;
}

std::vector<int> g_progress;
int g_abortAt = 1000;

BOOL recordProgress(int percent) {
    g_progress.push_back(percent);
    return percent >= g_abortAt;
}

HRESULT save(const std::filesystem::path& path, const OpenStreams& in, AVICOMPRESSOPTIONS* video,
             AVICOMPRESSOPTIONS* audio = nullptr, int abortAt = 1000) {
    g_progress.clear();
    g_abortAt = abortAt;
    PAVISTREAM streams[2] = {in.video.get(), in.audio.get()};
    LPAVICOMPRESSOPTIONS opts[2] = {video, audio};
    return AVISaveVA(path.c_str(), nullptr, &recordProgress, 2, streams, opts);
}

// The streams' chunks in file order: V for the video stream's, A for the audio stream's.
std::string chunkOrder(const std::filesystem::path& p) {
    std::string why;
    auto src = AviFileSource::open(p.string(), why);
    auto m = parseAvi(*src);
    EXPECT_TRUE(m.ok());
    std::vector<std::pair<std::uint64_t, char>> chunks;
    for (std::size_t s = 0; s < m.value().streams.size(); ++s)
        for (auto& c : m.value().streams[s].chunks)
            chunks.push_back({c.offset, s == 0 ? 'V' : 'A'});
    std::sort(chunks.begin(), chunks.end());
    std::string order;
    for (auto& c : chunks)
        order += c.second;
    return order;
}

std::string ffprobe(const std::filesystem::path& p, const std::string& what) {
    return testsupport::capture("ffprobe -v error -select_streams v -show_entries " + what + " -of csv=p=0 " +
                                testsupport::quote(p));
}

TEST(AviSave, CopiedVideoAndAudioReadBackByOurReaderAndFfmpeg) {
    auto path = workDir() / "save-copy.avi";
    OpenStreams in;
    auto vo = videoOptions(AVICOMPRESSF_INTERLEAVE, 3);
    ASSERT_EQ(save(path, in, &vo), AVIERR_OK) << AVILastErrorDetail();

    auto f = openFile(path);
    auto v = stream(f.get(), streamtypeVIDEO, 0);
    auto a = stream(f.get(), streamtypeAUDIO, 0);
    ASSERT_TRUE(v && a);
    ASSERT_EQ(AVIStreamLength(v.get()), kFrames);
    for (int i = 0; i < kFrames; ++i) {
        EXPECT_EQ(*sample(v.get(), i), source().frames[std::size_t(i)]) << i;
        EXPECT_EQ(AVIStreamIsKeyFrame(v.get(), i), i % 4 == 0) << i;
    }
    ASSERT_EQ(AVIStreamLength(a.get()), kAudioSamples);
    std::vector<std::uint8_t> back(source().pcm.size());
    ASSERT_EQ(AVIStreamRead(a.get(), 0, kAudioSamples, back.data(), LONG(back.size()), nullptr, nullptr),
              AVIERR_OK);
    EXPECT_EQ(back, source().pcm);

    if (!testsupport::haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    EXPECT_EQ(ffprobe(path, "stream=codec_name,nb_frames,duration"), "rawvideo,0.480000,12\n");
    EXPECT_EQ(ffmpegDecode(path, "0:v", "rawvideo -pix_fmt bgr24"), topDown(source().frames, kW, kH));
    EXPECT_EQ(ffmpegDecode(path, "0:a", "s16le"), std::string(source().pcm.begin(), source().pcm.end()));
}

TEST(AviSave, ThroughTheInstalledCodecsReadBackByFfmpeg) {
    if (!testsupport::haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    struct Case {
        FOURCC handler;
        const char* codec;
        bool lossless;
        std::string keys; // key frames as ffprobe sees them ("" for codecs of key frames only)
    };
    const std::vector<Case> cases = {
        {mmioFOURCC('M', 'J', 'P', 'G'), "mjpeg", false, ""},
        {mmioFOURCC('F', 'F', 'V', '1'), "ffv1", true, ""},
        {mmioFOURCC('H', 'F', 'Y', 'U'), "huffyuv", true, ""},
        {mmioFOURCC('F', 'M', 'P', '4'), "mpeg4", false, "K___K___K___"},
    };
    OpenStreams in;
    const std::string want = topDown(source().frames, kW, kH);
    for (auto& c : cases) {
        auto path = workDir() / ("save-" + std::string(c.codec) + ".avi");
        auto vo = videoOptions(AVICOMPRESSF_KEYFRAMES | AVICOMPRESSF_INTERLEAVE, 2, c.handler);
        ASSERT_EQ(save(path, in, &vo), AVIERR_OK) << c.codec << ": " << AVILastErrorDetail();
        EXPECT_EQ(ffprobe(path, "stream=codec_name,nb_frames,duration"),
                  std::string(c.codec) + ",0.480000,12\n");
        std::string decoded = ffmpegDecode(path, "0:v", "rawvideo -pix_fmt bgr24");
        ASSERT_EQ(decoded.size(), want.size()) << c.codec;
        double error = 0;
        for (std::size_t i = 0; i < want.size(); ++i)
            error += std::abs(int(std::uint8_t(decoded[i])) - int(std::uint8_t(want[i])));
        EXPECT_LE(error / double(want.size()), c.lossless ? 0.0 : 4.0) << c.codec;
        if (!c.keys.empty()) {
            std::string flags = ffprobe(path, "packet=flags"), keys;
            for (std::size_t i = 0; i < flags.size(); ++i)
                if (i == 0 || flags[i - 1] == '\n') keys += flags[i] == 'K' ? 'K' : '_';
            EXPECT_EQ(keys, c.keys) << c.codec;
        }
        EXPECT_EQ(ffmpegDecode(path, "0:a", "s16le").size(), source().pcm.size()) << c.codec;
    }
}

TEST(AviSave, ChunkOrderFollowsTheInterleaveSetting) {
    struct Case {
        DWORD flags, every;
        std::string order;
    };
    // 0.48 s of video and audio: each turn's audio piece comes before its frames.
    const std::vector<Case> cases = {
        {AVICOMPRESSF_INTERLEAVE, 3, "AVVVAVVVAVVVAVVV"},
        {AVICOMPRESSF_INTERLEAVE, 1, "AVAVAVAVAVAVAVAVAVAVAVAV"},
        {AVICOMPRESSF_INTERLEAVE, 5, "AVVVVVAVVVVVAVV"},
        {0, 3, "VVVVVVVVVVVVA"},
    };
    OpenStreams in;
    for (auto& c : cases) {
        auto path = workDir() / "save-order.avi";
        auto vo = videoOptions(c.flags, c.every);
        ASSERT_EQ(save(path, in, &vo), AVIERR_OK);
        EXPECT_EQ(chunkOrder(path), c.order) << c.every;
    }
}

TEST(AviSave, ProgressAbortAndFailureLeaveTheTargetAlone) {
    auto dir = workDir() / "save-abort";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    OpenStreams in;
    auto vo = videoOptions(AVICOMPRESSF_INTERLEAVE, 1);

    auto fresh = dir / "new.avi";
    EXPECT_EQ(save(fresh, in, &vo, nullptr, 50), AVIERR_USERABORT);
    EXPECT_GE(g_progress.back(), 50);
    EXPECT_LT(g_progress.back(), 100);
    EXPECT_FALSE(std::filesystem::exists(fresh));

    auto old = dir / "old.avi";
    const std::vector<std::uint8_t> before = {'k', 'e', 'e', 'p'};
    writeFile("save-abort/old.avi", before);
    EXPECT_EQ(save(old, in, &vo, nullptr, 50), AVIERR_USERABORT);
    EXPECT_EQ(readFile(old), before);
    // Audio in a format other than its own is refused, before anything is written.
    auto wf = pcmFormat(11025, 1);
    AVICOMPRESSOPTIONS ao{};
    ao.lpFormat = &wf;
    ao.cbFormat = sizeof wf;
    EXPECT_EQ(save(old, in, &vo, &ao), AVIERR_BADFORMAT);
    EXPECT_EQ(readFile(old), before);

    // A save that succeeds reports every percentage once, in order, up to 100, and replaces the file.
    ASSERT_EQ(save(old, in, &vo), AVIERR_OK);
    EXPECT_EQ(g_progress.front(), 0);
    EXPECT_EQ(g_progress.back(), 100);
    EXPECT_GE(g_progress.size(), 10u);
    EXPECT_TRUE(std::is_sorted(g_progress.begin(), g_progress.end()));
    EXPECT_EQ(std::adjacent_find(g_progress.begin(), g_progress.end()), g_progress.end());
    EXPECT_NE(readFile(old), before);
    // No temporary file is left behind by any of them.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
}

TEST(AviSave, SavingOverTheSourceItselfReadsTheOldFile) {
    auto path = workDir() / "save-self.avi";
    std::filesystem::copy_file(source().path, path, std::filesystem::copy_options::overwrite_existing);
    {
        auto f = openFile(path);
        auto v = stream(f.get(), streamtypeVIDEO, 0);
        PAVISTREAM list[1] = {v.get()};
        ASSERT_EQ(AVISaveVA(path.c_str(), nullptr, nullptr, 1, list, nullptr), AVIERR_OK)
            << AVILastErrorDetail();
        EXPECT_EQ(*sample(v.get(), 11), source().frames[11]);
    }
    auto f = openFile(path);
    EXPECT_EQ(AVIStreamLength(stream(f.get(), streamtypeVIDEO, 0).get()), kFrames);
    EXPECT_FALSE(stream(f.get(), streamtypeAUDIO, 0));
}

TEST(AviBuildFilter, ListsAndSmallBuffers) {
    struct Case {
        BOOL saving;
        std::vector<std::string> want;
    };
    const std::vector<Case> cases = {
        {FALSE, {"All multimedia files (*.avi)", "*.avi", "AVI files (*.avi)", "*.avi"}},
        {TRUE, {"AVI files (*.avi)", "*.avi"}},
    };
    for (auto& c : cases) {
        char buf[256];
        std::memset(buf, 'x', sizeof buf);
        ASSERT_EQ(AVIBuildFilterA(buf, sizeof buf, c.saving), AVIERR_OK);
        std::vector<std::string> parts;
        std::size_t at = 0;
        for (; buf[at]; at += parts.back().size() + 1)
            parts.emplace_back(buf + at);
        EXPECT_EQ(parts, c.want);
        std::memset(buf, 'x', sizeof buf);
        EXPECT_EQ(AVIBuildFilterA(buf, LONG(at), c.saving), AVIERR_BUFFERTOOSMALL);
        EXPECT_EQ(buf[0], 0) << "an empty list, not a cut one";
        EXPECT_EQ(AVIBuildFilterA(buf, LONG(at + 1), c.saving), AVIERR_OK);
    }
}

} // namespace
