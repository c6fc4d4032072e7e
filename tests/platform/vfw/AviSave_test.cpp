// Saving streams into a new file: copies of video and PCM audio read back by our reader and by ffmpeg,
// the order of interleaved chunks, progress, abort and the file left under the target name, the
// file-type filter.
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

// A file of 12 frames of 64x48 24-bit video (key frames every 4th) and PCM audio of the same length, the
// streams written one after the other (not interleaved).
const Source& source() {
    static Source src = [] {
        Source s;
        s.path = workDir() / "save-source.avi";
        auto wf = pcmFormat(8000, 2);
        s.pcm.resize(std::size_t(kAudioSamples) * 4);
        for (std::size_t i = 0; i < s.pcm.size(); ++i)
            s.pcm[i] = std::uint8_t(i * 13 + (i >> 9));
        auto f = createFile(s.path);
        auto v = createStream(f.get(), videoInfo(25));
        auto a = createStream(f.get(), audioInfo(wf));
        auto fmt = dibFormat(kW, kH, 24);
        EXPECT_EQ(AVIStreamSetFormat(v.get(), 0, fmt.data(), LONG(fmt.size())), AVIERR_OK);
        EXPECT_EQ(AVIStreamSetFormat(a.get(), 0, &wf, sizeof wf), AVIERR_OK);
        for (int i = 0; i < kFrames; ++i) {
            s.frames.push_back(frameBytes(kFrameBytes, i));
            EXPECT_EQ(writeSample(v.get(), s.frames.back(), i % 4 == 0), AVIERR_OK);
        }
        EXPECT_EQ(writeSample(a.get(), s.pcm, true, kAudioSamples), AVIERR_OK);
        return s;
    }();
    return src;
}

struct OpenStreams {
    FilePtr file;
    StreamPtr video, audio;
    std::vector<PAVISTREAM> list() const { return {video.get(), audio.get()}; }
};

OpenStreams openSource() {
    OpenStreams o;
    o.file = openFile(source().path);
    o.video = stream(o.file.get(), streamtypeVIDEO, 0);
    o.audio = stream(o.file.get(), streamtypeAUDIO, 0);
    return o;
}

AVICOMPRESSOPTIONS options(DWORD type, DWORD flags, DWORD every) {
    AVICOMPRESSOPTIONS o{};
    o.fccType = type;
    o.dwFlags = flags;
    o.dwInterleaveEvery = every;
    o.dwQuality = DWORD(-1);
    return o;
}

std::vector<int> g_progress;
int g_abortAt = 1000;

BOOL recordProgress(int percent) {
    g_progress.push_back(percent);
    return percent >= g_abortAt;
}

HRESULT save(const std::filesystem::path& path, const OpenStreams& in, AVICOMPRESSOPTIONS* video,
             AVICOMPRESSOPTIONS* audio, int abortAt = 1000) {
    g_progress.clear();
    g_abortAt = abortAt;
    auto streams = in.list();
    LPAVICOMPRESSOPTIONS opts[2] = {video, audio};
    return AVISaveVA(path.c_str(), nullptr, &recordProgress, 2, streams.data(), opts);
}

// The streams' chunks in file order, as the stream number of each.
std::string chunkOrder(const std::filesystem::path& p) {
    std::string why;
    auto src = AviFileSource::open(p.string(), why);
    auto m = parseAvi(*src);
    EXPECT_TRUE(m.ok());
    std::vector<std::pair<std::uint64_t, char>> chunks;
    for (std::size_t s = 0; s < m.value().streams.size(); ++s)
        for (auto& c : m.value().streams[s].chunks)
            chunks.push_back({c.offset, char(s == 0 ? 'V' : 'A')});
    std::sort(chunks.begin(), chunks.end());
    std::string order;
    for (auto& c : chunks)
        order += c.second;
    return order;
}

bool noPartFilesIn(const std::filesystem::path& dir) {
    for (auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().extension() == ".part") return false;
    return true;
}

TEST(AviSave, CopiedVideoAndAudioReadBackByOurReaderAndFfmpeg) {
    auto path = workDir() / "save-copy.avi";
    auto in = openSource();
    auto vo = options(streamtypeVIDEO, AVICOMPRESSF_INTERLEAVE | AVICOMPRESSF_VALID, 3);
    auto ao = options(streamtypeAUDIO, AVICOMPRESSF_VALID, 0);
    ASSERT_EQ(save(path, in, &vo, &ao), AVIERR_OK) << AVILastErrorDetail();

    auto f = openFile(path);
    auto v = stream(f.get(), streamtypeVIDEO, 0);
    auto a = stream(f.get(), streamtypeAUDIO, 0);
    ASSERT_TRUE(v && a);
    ASSERT_EQ(AVIStreamLength(v.get()), kFrames);
    EXPECT_EQ(info(v.get()).dwRate, 25u);
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
    EXPECT_EQ(probeStreams(path).at(0), "video,12");
    EXPECT_EQ(ffmpegDecode(path, "0:v", "rawvideo -pix_fmt bgr24"), topDown(source().frames, kW, kH));
    EXPECT_EQ(ffmpegDecode(path, "0:a", "s16le"), std::string(source().pcm.begin(), source().pcm.end()));
    // The audio's timing: it starts with the video and lasts as long.
    std::string start =
        testsupport::capture("ffprobe -v error -select_streams a -show_entries packet=pts_time -of "
                             "csv=p=0 " +
                             testsupport::quote(path) + " | head -1");
    EXPECT_EQ(std::stod(start), 0.0);
}

TEST(AviSave, ChunkOrderFollowsTheInterleaveSetting) {
    struct Case {
        const char* name;
        DWORD flags;
        DWORD every;
        std::string order;
    };
    // 12 frames at 25 a second and 0.48 s of audio: turns of 3 frames give 4 audio pieces, each before
    // its frames; pieces of one frame give 12; without interleaving the streams follow each other.
    const std::vector<Case> cases = {
        {"every 3", AVICOMPRESSF_INTERLEAVE, 3, "AVVVAVVVAVVVAVVV"},
        {"every 1", AVICOMPRESSF_INTERLEAVE, 1, "AVAVAVAVAVAVAVAVAVAVAVAV"},
        {"every 5", AVICOMPRESSF_INTERLEAVE, 5, "AVVVVVAVVVVVAVV"},
        {"not interleaved", 0, 3, "VVVVVVVVVVVVA"},
    };
    auto in = openSource();
    for (auto& c : cases) {
        auto path = workDir() / "save-order.avi";
        auto vo = options(streamtypeVIDEO, c.flags | AVICOMPRESSF_VALID, c.every);
        ASSERT_EQ(save(path, in, &vo, nullptr), AVIERR_OK) << c.name;
        EXPECT_EQ(chunkOrder(path), c.order) << c.name;
    }
}

TEST(AviSave, ProgressRisesToOneHundred) {
    auto path = workDir() / "save-progress.avi";
    auto in = openSource();
    auto vo = options(streamtypeVIDEO, AVICOMPRESSF_INTERLEAVE, 1);
    ASSERT_EQ(save(path, in, &vo, nullptr), AVIERR_OK);
    ASSERT_GE(g_progress.size(), 10u);
    EXPECT_EQ(g_progress.front(), 0);
    EXPECT_EQ(g_progress.back(), 100);
    EXPECT_TRUE(std::is_sorted(g_progress.begin(), g_progress.end()));
    EXPECT_EQ(std::adjacent_find(g_progress.begin(), g_progress.end()), g_progress.end())
        << "each value once";
}

TEST(AviSave, AbortLeavesNoFileAndKeepsTheOldOne) {
    auto dir = workDir() / "save-abort";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    auto in = openSource();
    auto vo = options(streamtypeVIDEO, AVICOMPRESSF_INTERLEAVE, 1);

    auto fresh = dir / "new.avi";
    EXPECT_EQ(save(fresh, in, &vo, nullptr, 50), AVIERR_USERABORT);
    EXPECT_GE(g_progress.back(), 50);
    EXPECT_LT(g_progress.back(), 100);
    EXPECT_FALSE(std::filesystem::exists(fresh));

    auto old = dir / "old.avi";
    std::vector<std::uint8_t> before = {'k', 'e', 'e', 'p'};
    writeFile("save-abort/old.avi", before);
    EXPECT_EQ(save(old, in, &vo, nullptr, 50), AVIERR_USERABORT);
    EXPECT_EQ(readFile(old), before);
    // A failure (a format the audio cannot be saved in) does the same.
    auto wf = pcmFormat(11025, 1);
    auto ao = options(streamtypeAUDIO, 0, 0);
    ao.lpFormat = &wf;
    ao.cbFormat = sizeof wf;
    EXPECT_EQ(save(old, in, &vo, &ao), AVIERR_BADFORMAT);
    EXPECT_EQ(readFile(old), before);
    EXPECT_TRUE(noPartFilesIn(dir));

    // A save that succeeds replaces the old file.
    ASSERT_EQ(save(old, in, &vo, nullptr), AVIERR_OK);
    EXPECT_NE(readFile(old), before);
    EXPECT_TRUE(noPartFilesIn(dir));
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
    auto v = stream(f.get(), streamtypeVIDEO, 0);
    EXPECT_EQ(AVIStreamLength(v.get()), kFrames);
    EXPECT_FALSE(stream(f.get(), streamtypeAUDIO, 0));
}

TEST(AviSave, BadArguments) {
    auto in = openSource();
    PAVISTREAM none[1] = {nullptr};
    auto path = workDir() / "save-bad.avi";
    EXPECT_EQ(AVISaveVA(path.c_str(), nullptr, nullptr, 0, none, nullptr), AVIERR_BADPARAM);
    EXPECT_EQ(AVISaveVA(path.c_str(), nullptr, nullptr, 1, none, nullptr), AVIERR_BADPARAM);
    EXPECT_EQ(AVISaveVA(nullptr, nullptr, nullptr, 1, none, nullptr), AVIERR_BADPARAM);
    PAVISTREAM one[1] = {in.video.get()};
    EXPECT_EQ(AVISaveVA((workDir() / "no-such-folder" / "x.avi").c_str(), nullptr, nullptr, 1, one, nullptr),
              AVIERR_FILEOPEN);
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
        while (buf[at]) {
            parts.emplace_back(buf + at);
            at += parts.back().size() + 1;
        }
        EXPECT_EQ(parts, c.want);
        const LONG needed = LONG(at + 1);
        char small[256];
        std::memset(small, 'x', sizeof small);
        EXPECT_EQ(AVIBuildFilterA(small, needed - 1, c.saving), AVIERR_BUFFERTOOSMALL);
        EXPECT_EQ(small[0], 0) << "an empty list, not a cut one";
        EXPECT_EQ(AVIBuildFilterA(small, needed, c.saving), AVIERR_OK);
        EXPECT_EQ(small[needed - 1], 0);
    }
    EXPECT_EQ(AVIBuildFilterA(nullptr, 10, FALSE), AVIERR_BADPARAM);
}

} // namespace
