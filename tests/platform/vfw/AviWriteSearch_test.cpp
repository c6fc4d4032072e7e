// Searching written and read streams with every FindSample direction and kind, the position and time
// helpers with their rounding, opening a stream straight from a file, and share modes.
#include "AviWriteUtil.h"

#include <unistd.h>

using namespace avitest;
using namespace win;

namespace {

// 10 frames of 8-bit video: key frames 0, 4 and 8; frame 6 dropped (no data); the palette changes at 5.
std::filesystem::path writeSearchFile(FilePtr& keepOpen, StreamPtr& writing) {
    auto path = workDir() / "write-search.avi";
    keepOpen = createFile(path);
    writing = createStream(keepOpen.get(), videoInfo(25));
    auto fmt = dibFormat(8, 2, 8), other = fmt;
    other[40 + 4 * 7] = 99;
    std::vector<std::uint8_t> pixels(16, 7);
    for (int i = 0; i < 10; ++i) {
        auto& f = i < 5 ? fmt : other;
        EXPECT_EQ(AVIStreamSetFormat(writing.get(), i, f.data(), LONG(f.size())), AVIERR_OK);
        EXPECT_EQ(writeSample(writing.get(), i == 6 ? std::vector<std::uint8_t>{} : pixels, i % 4 == 0),
                  AVIERR_OK);
    }
    return path;
}

struct Find {
    LONG pos, flags, want;
};

const Find kFinds[] = {
    {0, FIND_NEXT | FIND_KEY, 0},       {1, FIND_NEXT | FIND_KEY, 4},
    {5, FIND_NEXT | FIND_KEY, 8},       {9, FIND_NEXT | FIND_KEY, -1},
    {3, FIND_PREV | FIND_KEY, 0},       {4, FIND_PREV | FIND_KEY, 4},
    {7, FIND_PREV | FIND_KEY, 4},       {-1, FIND_PREV | FIND_KEY, -1},
    {7, FIND_FROM_START | FIND_KEY, 0}, {6, FIND_NEXT | FIND_ANY, 7},
    {9, FIND_NEXT | FIND_ANY, 9},       {10, FIND_NEXT | FIND_ANY, -1},
    {6, FIND_PREV | FIND_ANY, 5},       {20, FIND_PREV | FIND_ANY, 9},
    {9, FIND_FROM_START | FIND_ANY, 0}, {1, FIND_NEXT | FIND_FORMAT, 5},
    {6, FIND_NEXT | FIND_FORMAT, -1},   {4, FIND_PREV | FIND_FORMAT, 0},
    {7, FIND_PREV | FIND_FORMAT, 5},    {8, FIND_FROM_START | FIND_FORMAT, 0},
};

void expectFinds(IAVIStream* s, const char* which) {
    for (auto& f : kFinds)
        EXPECT_EQ(AVIStreamFindSample(s, f.pos, f.flags), f.want)
            << which << ": pos " << f.pos << " flags 0x" << std::hex << f.flags;
    // The SDK's helpers over FindSample.
    EXPECT_EQ(AVIStreamNextKeyFrame(s, 8), -1) << which;
    EXPECT_EQ(AVIStreamNextKeyFrame(s, 4), 8) << which;
    EXPECT_EQ(AVIStreamPrevKeyFrame(s, 4), 0) << which;
    EXPECT_EQ(AVIStreamNearestKeyFrame(s, 4), 4) << which;
    EXPECT_EQ(AVIStreamNearestKeyFrame(s, 6), 4) << which;
    EXPECT_EQ(AVIStreamNextSample(s, 5), 7) << which;
    EXPECT_EQ(AVIStreamPrevSample(s, 7), 5) << which;
    EXPECT_EQ(AVIStreamNearestSample(s, 6), 5) << which;
    EXPECT_EQ(AVIStreamEnd(s), 10) << which;
    EXPECT_EQ(AVIStreamEndTime(s), 400) << which;
    EXPECT_EQ(AVIStreamLengthTime(s), 400) << which;
    EXPECT_EQ(AVIStreamStartTime(s), 0) << which;
    EXPECT_EQ(AVIStreamNextKeyFrameTime(s, 50), 160) << which;  // 50 ms is frame 1; the next key is 4
    EXPECT_EQ(AVIStreamPrevKeyFrameTime(s, 200), 160) << which; // 200 ms is frame 5; the key before is 4
    LONG size = -1;
    EXPECT_EQ(AVIStreamSampleSize(s, 6, &size), AVIERR_OK) << which;
    EXPECT_EQ(size, 0) << which;
    EXPECT_EQ(AVIStreamFormatSize(s, 0, &size), AVIERR_OK) << which;
    EXPECT_EQ(size, 40 + 1024) << which;
}

TEST(AviSearch, EveryFindFlagOnWrittenAndReadStreams) {
    FilePtr f;
    StreamPtr s;
    auto path = writeSearchFile(f, s);
    expectFinds(s.get(), "being written");
    s.reset();
    f.reset();
    auto r = openFile(path);
    auto rs = stream(r.get(), streamtypeVIDEO, 0);
    expectFinds(rs.get(), "read back");
}

// Rounding of the time conversions: video rounds a sample's time up and a time's sample down, audio
// the other way; both clamp to the stream.
TEST(AviSearch, TimeConversionsRoundAsThePlatformDoes) {
    auto path = workDir() / "write-times.avi";
    auto f = createFile(path);
    auto pal = createStream(f.get(), videoInfo(25, 1));
    auto ntsc = createStream(f.get(), videoInfo(30000, 1001));
    auto wf = pcmFormat(8000, 2); // 8000 blocks a second: rate 32000, scale 4
    auto audio = createStream(f.get(), audioInfo(wf));
    ASSERT_EQ(AVIStreamSetFormat(audio.get(), 0, &wf, sizeof wf), AVIERR_OK);
    auto fmt = dibFormat(8, 2, 24);
    std::vector<std::uint8_t> frame(48);
    for (auto* s : {pal.get(), ntsc.get()}) {
        ASSERT_EQ(AVIStreamSetFormat(s, 0, fmt.data(), LONG(fmt.size())), AVIERR_OK);
        for (int i = 0; i < 100; ++i)
            ASSERT_EQ(writeSample(s, frame), AVIERR_OK);
    }
    std::vector<std::uint8_t> second(32000);
    ASSERT_EQ(writeSample(audio.get(), second, true, 8000), AVIERR_OK);

    struct Case {
        IAVIStream* s;
        bool toTime;
        LONG in, want;
    };
    Case cases[] = {
        {pal.get(), true, 1, 40},     {pal.get(), true, 3, 120},      {pal.get(), false, 39, 0},
        {pal.get(), false, 40, 1},    {pal.get(), false, 99999, 100}, {pal.get(), true, -5, 0},
        {pal.get(), true, 500, 4000}, {ntsc.get(), true, 1, 34},      {ntsc.get(), false, 34, 1},
        {ntsc.get(), false, 33, 0},   {ntsc.get(), true, 100, 3337},  {audio.get(), true, 1, 0},
        {audio.get(), true, 8, 1},    {audio.get(), false, 1, 8},     {audio.get(), false, 1000, 8000},
        {audio.get(), false, -3, 0},
    };
    for (auto& c : cases) {
        LONG got = c.toTime ? AVIStreamSampleToTime(c.s, c.in) : AVIStreamTimeToSample(c.s, c.in);
        EXPECT_EQ(got, c.want) << (c.toTime ? "sample " : "ms ") << c.in;
    }
    for (LONG i = 0; i <= 100; ++i)
        EXPECT_EQ(AVIStreamTimeToSample(ntsc.get(), AVIStreamSampleToTime(ntsc.get(), i)), i);
    for (LONG ms = 0; ms <= 1000; ++ms)
        EXPECT_EQ(AVIStreamSampleToTime(audio.get(), AVIStreamTimeToSample(audio.get(), ms)), ms);
    EXPECT_EQ(AVIStreamSampleToSample(audio.get(), pal.get(), 25), 8000); // frame 25 plays at 1 s
    EXPECT_EQ(AVIStreamSampleToTime(nullptr, 1), -1);
    EXPECT_EQ(AVIStreamTimeToSample(nullptr, 1), -1);
}

TEST(AviSearch, OpenStreamFromFile) {
    FilePtr f;
    StreamPtr s;
    auto path = writeSearchFile(f, s);
    s.reset();
    f.reset();
    PAVISTREAM stream = nullptr;
    ASSERT_EQ(AVIStreamOpenFromFileA(&stream, path.c_str(), streamtypeVIDEO, 0,
                                     OF_SHARE_DENY_NONE | OF_READWRITE, nullptr),
              AVIERR_OK);
    EXPECT_EQ(AVIStreamLength(stream), 10);
    EXPECT_EQ(AVIStreamRelease(stream), 0u);
    EXPECT_EQ(AVIStreamOpenFromFileA(&stream, path.c_str(), streamtypeAUDIO, 0, OF_READ, nullptr),
              AVIERR_NODATA);
    EXPECT_EQ(stream, nullptr);
    if (geteuid() != 0) {
        // Opening for writing needs a writable file.
        std::filesystem::permissions(path, std::filesystem::perms::owner_read);
        EXPECT_EQ(
            AVIStreamOpenFromFileA(&stream, path.c_str(), 0, 0, OF_SHARE_DENY_NONE | OF_READWRITE, nullptr),
            AVIERR_FILEOPEN);
        std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                               std::filesystem::perms::owner_write);
    }
}

TEST(AviShare, ModesBetweenOpensOfThisProcess) {
    auto path = workDir() / "share.avi";
    auto make = [&] {
        auto f = createFile(path);
        auto s = createStream(f.get(), videoInfo());
        auto fmt = dibFormat(8, 2, 24);
        AVIStreamSetFormat(s.get(), 0, fmt.data(), LONG(fmt.size()));
    };
    struct Case {
        UINT first, second;
        HRESULT want;
    };
    const Case cases[] = {
        {OF_READ | OF_SHARE_EXCLUSIVE, OF_READ | OF_SHARE_DENY_NONE, AVIERR_FILEOPEN},
        {OF_READ | OF_SHARE_DENY_WRITE, OF_READ | OF_SHARE_DENY_WRITE, AVIERR_OK},
        {OF_READ | OF_SHARE_DENY_WRITE, OF_READWRITE | OF_SHARE_DENY_NONE, AVIERR_FILEOPEN},
        {OF_READWRITE | OF_SHARE_DENY_NONE, OF_READ | OF_SHARE_DENY_WRITE, AVIERR_FILEOPEN},
        {OF_READWRITE | OF_SHARE_DENY_NONE, OF_READWRITE | OF_SHARE_DENY_NONE, AVIERR_OK},
        {OF_READ | OF_SHARE_DENY_READ, OF_READ, AVIERR_FILEOPEN},
        {OF_READ, OF_READ | OF_SHARE_DENY_NONE, AVIERR_OK},
        {OF_CREATE | OF_WRITE | OF_SHARE_EXCLUSIVE, OF_READ, AVIERR_FILEOPEN},
        {OF_READ | OF_SHARE_DENY_NONE, OF_CREATE | OF_WRITE | OF_SHARE_DENY_NONE, AVIERR_OK},
    };
    for (auto& c : cases) {
        make(); // the cases that create empty the file
        PAVIFILE a = nullptr, b = nullptr;
        ASSERT_EQ(AVIFileOpenA(&a, path.c_str(), c.first, nullptr), AVIERR_OK) << std::hex << c.first;
        EXPECT_EQ(AVIFileOpenA(&b, path.c_str(), c.second, nullptr), c.want)
            << std::hex << c.first << " then " << c.second;
        AVIFileRelease(b);
        AVIFileRelease(a);
    }
    // A stream keeps its file open (and its share mode in force) after the file is released.
    make();
    PAVIFILE a = nullptr, b = nullptr;
    ASSERT_EQ(AVIFileOpenA(&a, path.c_str(), OF_READ | OF_SHARE_EXCLUSIVE, nullptr), AVIERR_OK);
    auto s = stream(a, 0, 0);
    AVIFileRelease(a);
    EXPECT_EQ(AVIFileOpenA(&b, path.c_str(), OF_READ, nullptr), AVIERR_FILEOPEN);
    s.reset();
    EXPECT_EQ(AVIFileOpenA(&b, path.c_str(), OF_READ, nullptr), AVIERR_OK);
    AVIFileRelease(b);
}

} // namespace
