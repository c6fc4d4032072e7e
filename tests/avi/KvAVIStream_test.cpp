// The stream object on written files and on a recording fake: positions and times, key-frame searches
// and their time forms, the forms FindSample answers in, raw samples, data chunks, sample conversion
// between streams and the failures each operation reports.
#include "avi/FakeAviFile.h"
#include "avi/KvAVI.h"
#include "platform/vfw/AviWriteUtil.h"
#include "support/ExceptionMessage.h"

#include <gtest/gtest.h>

using namespace kv;
using testing_avi::FakeStream;

using testsupport::messageOf;

namespace {

// 10 frames of 4x2 24-bit video at 25 frames a second, named "clip": key frames 0, 4 and 8; frame i
// holds frameBytes(24, i). A PCM stream of 8000 blocks of 4 bytes a second with 4000 blocks (half a second)
// beside it.
std::filesystem::path writeClip() {
    auto path = avitest::workDir() / "kvstream-clip.avi";
    avitest::FilePtr f = avitest::createFile(path);
    auto vi = avitest::videoInfo(25);
    std::strcpy(vi.szName, "clip");
    avitest::StreamPtr v = avitest::createStream(f.get(), vi);
    auto wf = avitest::pcmFormat(8000, 2);
    avitest::StreamPtr a = avitest::createStream(f.get(), avitest::audioInfo(wf));
    auto fmt = avitest::dibFormat(4, 2, 24);
    EXPECT_EQ(win::AVIStreamSetFormat(v.get(), 0, fmt.data(), win::LONG(fmt.size())), win::AVIERR_OK);
    EXPECT_EQ(win::AVIStreamSetFormat(a.get(), 0, &wf, sizeof wf), win::AVIERR_OK);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(avitest::writeSample(v.get(), avitest::frameBytes(24, i), i % 4 == 0), win::AVIERR_OK);
    EXPECT_EQ(avitest::writeSample(a.get(), avitest::frameBytes(16000, 0), true, 4000), win::AVIERR_OK);
    return path;
}

struct Loaded {
    TKvAVIStream* video = new TKvAVIStream;
    TKvAVIStream* audio = new TKvAVIStream;
    std::filesystem::path path; // written once per process, in the folder of the first test that loads it
    Loaded() {
        static const std::filesystem::path clip = writeClip();
        path = clip;
        video->LoadFromFile(path, stVideo, 0);
        audio->LoadFromFile(path, stAudio, 0);
    }
    ~Loaded() {
        video->Release();
        audio->Release();
    }
};

} // namespace

TEST(KvAVIStream, PositionsAndTimesOfAWrittenFile) {
    Loaded l;
    EXPECT_EQ(l.video->GetEndPos(), 10);
    EXPECT_EQ(l.video->GetStartPosTime(), 0);
    EXPECT_EQ(l.video->GetEndPosTime(), 400);
    EXPECT_EQ(l.video->GetLengthTime(), 400);
    EXPECT_EQ(l.video->SamplesToTime(5), 200);
    EXPECT_EQ(l.video->TimeToSamples(219), 5);
    EXPECT_EQ(l.video->GetFrameRate(), 25.0L);
    EXPECT_EQ(l.video->GetName(), "clip");
    EXPECT_EQ(l.video->StreamSampleSize(), 0);
    EXPECT_EQ(l.audio->StreamSampleSize(), 4);
    EXPECT_EQ(l.audio->GetLengthTime(), 500);
    // Frame 5 plays at 200 ms, where the audio is at block 1600; one stream converts to itself untouched.
    EXPECT_EQ(AVISampleToSample(l.video, l.audio, 5), 1600);
    EXPECT_EQ(AVISampleToSample(l.audio, l.video, 1600), 5);
    TKvAVIStream* empty = new TKvAVIStream; // no interface: any use would raise
    EXPECT_EQ(AVISampleToSample(empty, empty, 17), 17);
    EXPECT_EQ(messageOf([&] { AVISampleToSample(empty, l.video, 17); }), "Stream not opened");
    empty->Release();
}

TEST(KvAVIStream, KeyFrameSearchesAndTheirTimeForms) {
    Loaded l;
    const TKvAVIStream& v = *l.video;
    struct Case {
        const char* what;
        std::int32_t got, want;
    } cases[] = {
        {"next of the last key frame", v.NextKeyFrame(8), -1},
        {"next of a key frame", v.NextKeyFrame(4), 8},
        {"next between", v.NextKeyFrame(1), 4},
        {"prev never pos itself", v.PrevKeyFrame(4), 0},
        {"prev of the first", v.PrevKeyFrame(0), -1},
        {"nearest of a key frame", v.NearestKeyFrame(4), 4},
        {"nearest between", v.NearestKeyFrame(7), 4},
        {"find from start", v.FindSample(7, fdFromStart, ftKeyFrame), 0},
        {"find next", v.FindSample(5, fdNext, ftKeyFrame), 8},
        {"find prev", v.FindSample(7, fdPrev, ftKeyFrame), 4},
        {"find next non-empty", v.FindSample(3, fdNext, ftNonEmpty), 3},
        {"find format change", v.FindSample(3, fdPrev, ftFormatChange), 0},
        {"next key time", v.NextKeyFrameTime(50), 160},
        {"prev key time", v.PrevKeyFrameTime(200), 160},
        {"nearest key time", v.NearestKeyFrameTime(360), 320},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.got, c.want) << c.what;
    EXPECT_TRUE(v.IsKeyFrame(8));
    EXPECT_FALSE(v.IsKeyFrame(9));
}

// FIND_OFFSET points at the chunk's header in the file, whose id and size agree with FIND_SIZE; FIND_INDEX
// and FIND_LENGTH give the chunk's number and the sample's bytes, for chunk and fixed-size streams.
TEST(KvAVIStream, FindSampleAnswersEveryReturnForm) {
    Loaded l;
    const auto bytes = testsupport::readFile(l.path);
    win::PAVISTREAM v = l.video->GetPStream(), a = l.audio->GetPStream();
    const win::LONG key = win::FIND_PREV | win::FIND_KEY;
    EXPECT_EQ(win::AVIStreamFindSample(v, 6, key | win::FIND_POS), 4);
    EXPECT_EQ(win::AVIStreamFindSample(v, 6, key | win::FIND_LENGTH), 24);
    EXPECT_EQ(win::AVIStreamFindSample(v, 6, key | win::FIND_SIZE), 24);
    EXPECT_EQ(win::AVIStreamFindSample(v, 6, key | win::FIND_INDEX), 4);
    const win::LONG offset = win::AVIStreamFindSample(v, 6, key | win::FIND_OFFSET);
    ASSERT_GT(offset, 0);
    ASSERT_LE(std::size_t(offset) + 8 + 24, bytes.size());
    EXPECT_EQ(std::string(bytes.begin() + offset, bytes.begin() + offset + 4), "00db");
    EXPECT_EQ(bytes[std::size_t(offset) + 4], 24);
    const auto frame4 = avitest::frameBytes(24, 4);
    EXPECT_TRUE(std::equal(frame4.begin(), frame4.end(), bytes.begin() + offset + 8));
    EXPECT_EQ(win::AVIStreamFindSample(v, 9, win::FIND_NEXT | win::FIND_KEY | win::FIND_OFFSET), -1);

    EXPECT_EQ(win::AVIStreamFindSample(a, 700, win::FIND_NEXT | win::FIND_ANY | win::FIND_LENGTH), 4);
    EXPECT_EQ(win::AVIStreamFindSample(a, 700, win::FIND_NEXT | win::FIND_ANY | win::FIND_SIZE), 16000);
    EXPECT_EQ(win::AVIStreamFindSample(a, 700, win::FIND_NEXT | win::FIND_ANY | win::FIND_INDEX), 0);
}

TEST(KvAVIStream, RawSamplesAndDataChunks) {
    Loaded l;
    EXPECT_EQ(l.video->SampleSize(2, 3), 72);
    std::vector<std::uint8_t> buf(48);
    l.video->ReadSamples(2, buf.data(), 2);
    auto frame2 = avitest::frameBytes(24, 2);
    EXPECT_TRUE(std::equal(frame2.begin(), frame2.end(), buf.begin()));
    // 50 bytes hold two whole frames.
    buf.assign(50, 0);
    EXPECT_EQ(l.video->ReadBytes(8, buf.data(), 50), 2);
    EXPECT_EQ(l.audio->ReadBytes(3998, buf.data(), 50), 2); // only two blocks are left
    std::int32_t bytes = -1, samples = -1;
    l.audio->Read(10, nullptr, 0, 5, &bytes, &samples);
    EXPECT_EQ(bytes, 20);
    EXPECT_EQ(samples, 5);
    EXPECT_EQ(messageOf([&] { l.video->ReadSamples(9, buf.data(), 2); }), "Error reading samples");

    const win::FOURCC absent = win::mmioFOURCC('s', 't', 'r', 'd');
    EXPECT_EQ(l.video->GetDataSize(absent), 0);
    EXPECT_NE(messageOf([&] { l.video->ReadData(absent, buf.data(), 4); }).find("No data"),
              std::string::npos);
    // Read-only streams refuse changes with the platform's code.
    EXPECT_NE(messageOf([&] { l.video->DeleteSamples(0, 1); }).find("Unsupported"), std::string::npos);
}

TEST(KvAVIStream, WritingThroughTheStreamObject) {
    auto path = avitest::workDir() / "kvstream-write.avi";
    avitest::FilePtr f = avitest::createFile(path);
    auto wf = avitest::pcmFormat(8000, 2);
    avitest::StreamPtr a = avitest::createStream(f.get(), avitest::audioInfo(wf));
    avitest::StreamPtr v = avitest::createStream(f.get(), avitest::videoInfo(25));
    TKvAVIStream* audio = new TKvAVIStream(a.get());
    TKvAVIStream* video = new TKvAVIStream(v.get());
    audio->SetFormat(0, &wf, sizeof wf);
    const auto pcm = avitest::frameBytes(40, 1);
    audio->WriteSamples(0, pcm.data(), 10, true);
    EXPECT_EQ(audio->GetLength(), 10);
    audio->WriteBytes(10, pcm.data(), 10, true); // two whole blocks of the ten bytes
    EXPECT_EQ(audio->GetLength(), 12);
    EXPECT_EQ(messageOf([&] { video->WriteSamples(0, pcm.data(), 1, true); }),
              "Stream has no static sample size");

    const win::FOURCC ckid = win::mmioFOURCC('s', 't', 'r', 'd');
    const char codecData[] = "settings";
    video->WriteData(ckid, codecData, sizeof codecData);
    EXPECT_EQ(video->GetDataSize(ckid), std::int32_t(sizeof codecData));
    char back[sizeof codecData] = {};
    video->ReadData(ckid, back, sizeof back);
    EXPECT_STREQ(back, codecData);
    EXPECT_EQ(messageOf([&] { video->ReadData(ckid, back, 4); }).substr(0, 9), "AVI error");
    char more[20] = {};
    EXPECT_EQ(messageOf([&] { video->ReadData(ckid, more, sizeof more); }), "Error reading data");
    audio->Release();
    video->Release();
}

// What WriteBytes and WriteSamples ask of the library, seen by a stream that records its calls.
TEST(KvAVIStream, WriteCallsCarrySampleCountsAndKeyFlags) {
    FakeStream fake(win::streamtypeAUDIO);
    TKvAVIStream* s = new TKvAVIStream(&fake);
    const std::uint8_t data[16] = {};
    struct Case {
        win::DWORD sampleSize;
        bool samples; // WriteSamples, else WriteBytes
        std::int32_t arg;
        bool key;
        win::LONG wantSamples, wantSize;
        win::DWORD wantFlags;
    } cases[] = {
        {4, false, 10, true, 2, 10, win::AVIIF_KEYFRAME}, // integer division
        {4, false, 3, false, 0, 3, 0},
        {0, false, 10, true, 1, 10, win::AVIIF_KEYFRAME}, // varying size: one sample
        {4, true, 3, false, 3, 12, 0},
    };
    for (const Case& c : cases) {
        fake.sampleSize = c.sampleSize;
        fake.writes.clear();
        if (c.samples)
            s->WriteSamples(7, data, c.arg, c.key);
        else
            s->WriteBytes(7, data, c.arg, c.key);
        ASSERT_EQ(fake.writes.size(), 1u);
        EXPECT_EQ(fake.writes[0].start, 7);
        EXPECT_EQ(fake.writes[0].samples, c.wantSamples) << c.arg;
        EXPECT_EQ(fake.writes[0].size, c.wantSize) << c.arg;
        EXPECT_EQ(fake.writes[0].flags, c.wantFlags) << c.arg;
    }
    s->Release();
}

TEST(KvAVIStream, FrameRatesAndStreamsWithoutARate) {
    FakeStream fake(win::streamtypeVIDEO);
    TKvAVIStream* s = new TKvAVIStream(&fake);
    fake.rate = 30000;
    fake.scale = 1001;
    EXPECT_NEAR(double(s->GetFrameRate()), 29.97002997, 1e-8);
    fake.rate = 0xFFFFFFFF; // both unsigned
    fake.scale = 1;
    EXPECT_EQ(s->GetFrameRate(), 4294967295.0L);
    fake.rate = 25;
    fake.scale = 0;
    EXPECT_THROW(s->GetFrameRate(), host::EZeroDivide);
    // Without a rate the library cannot convert, and each conversion says which way it failed.
    EXPECT_EQ(messageOf([&] { s->TimeToSamples(10); }), "Failed to convert time to sample");
    EXPECT_EQ(messageOf([&] { s->SamplesToTime(1); }), "Failed to convert sample to time");
    EXPECT_EQ(messageOf([&] { s->GetLengthTime(); }), "Failed to get length");
    EXPECT_EQ(messageOf([&] { s->GetEndPosTime(); }), "Failed to get end");
    fake.length = -1;
    EXPECT_EQ(messageOf([&] { s->GetEndPos(); }), "Failed to get end");
    s->Release();

    TKvAVIStream* none = new TKvAVIStream;
    EXPECT_EQ(messageOf([&] { none->NextKeyFrame(0); }), "Stream not opened");
    EXPECT_NE(messageOf([&] {
                  none->LoadFromFile(avitest::workDir() / "absent.avi", stVideo, 0);
              }).find("Error opening file"),
              std::string::npos);
    EXPECT_EQ(messageOf([&] { none->GetName(); }), "Stream not opened");
    none->Release();
}
