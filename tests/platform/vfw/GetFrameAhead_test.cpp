// The frame decompressor while it decodes the next frame in the background: reading in order, jumping
// about after reading in order, dropped and damaged samples, failures and the end of the stream must
// give exactly the pictures that decoding each frame on its own gives. Also the libavcodec path for
// codecs that reorder frames: a frame asked for alone, and a damaged sample among B-frames.
#include "DibTestUtil.h"
#include "platform/vfw/Vfw.h"
#include "platform/win/Display.h"
#include "support/MemoryStream.h"
#include "support/TestWork.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>

using namespace win;
using namespace dibtest;
using testsupport::bitmapFormat;
using testsupport::MemoryStream;

namespace {

constexpr LONG W = 4, H = 4;
constexpr std::size_t kFrameBytes = 3 * W * H; // 12-byte rows need no padding

// A stream that can fail the data read of one sample (and then every second read of a sample, so
// that no earlier picture can stand in), and tells waiting tests which sample data reads finished.
struct WatchedStream : MemoryStream {
    using MemoryStream::MemoryStream;
    LONG failing = -1;
    std::mutex lock;
    std::condition_variable readDone;
    std::set<LONG> read;

    HRESULT Read(LONG start, LONG count, LPVOID buf, LONG bufSize, LONG* bytes, LONG* got) override {
        if (buf && failing >= 0) {
            std::lock_guard g(lock);
            if (start == failing || read.count(start)) return AVIERR_FILEREAD;
        }
        const HRESULT hr = MemoryStream::Read(start, count, buf, bufSize, bytes, got);
        if (buf) {
            std::lock_guard g(lock);
            read.insert(start);
            readDone.notify_all();
        }
        return hr;
    }
    bool waitForRead(LONG pos) {
        std::unique_lock g(lock);
        return readDone.wait_for(g, std::chrono::seconds(30), [&] { return read.count(pos) > 0; });
    }
};

struct Decompressor {
    PGETFRAME frame;
    explicit Decompressor(PAVISTREAM s) : frame(AVIStreamGetFrameOpen(s, nullptr)) {}
    ~Decompressor() {
        if (frame) AVIStreamGetFrameClose(frame);
    }
};

// The format of the raw test streams: 24-bit BI_RGB.
std::vector<std::uint8_t> rawFormat() {
    static const std::vector<std::uint8_t> format = bitmapFormat(W, H, 24, BI_RGB);
    return format;
}

// Sample i of a raw stream: every byte is 20 * i + 1, so each frame's picture is its own.
std::vector<std::uint8_t> rawFrame(int i) {
    return std::vector<std::uint8_t>(kFrameBytes, std::uint8_t(20 * i + 1));
}

// Frame i's picture from a decompressor that never read another frame.
std::vector<std::uint8_t> alone(PAVISTREAM s, LONG pos) {
    Decompressor d(s);
    void* dib = d.frame ? AVIStreamGetFrame(d.frame, pos) : nullptr;
    return dib ? copyImage(dib) : std::vector<std::uint8_t>{};
}

class GetFrameAhead : public ::testing::Test {
  protected:
    void SetUp() override { SetDisplayBitsPerPixelForTesting(24); }
    void TearDown() override { SetDisplayBitsPerPixelForTesting(0); }
};

} // namespace

TEST_F(GetFrameAhead, InOrderThenJumpsGiveEachFramesOwnPicture) {
    WatchedStream s(rawFormat());
    for (int i = 0; i < 8; ++i)
        s.add(rawFrame(i));
    s.samples[3].clear();   // dropped: shows frame 2
    s.samples[5].resize(7); // damaged: shows frame 4
    std::vector<std::vector<std::uint8_t>> expect;
    for (LONG i = 0; i < 8; ++i)
        expect.push_back(alone(&s, i));
    ASSERT_EQ(expect[3], expect[2]);
    ASSERT_EQ(expect[5], expect[4]);
    ASSERT_NE(expect[6], expect[4]);

    // In order to the end, back to the start, in order again with jumps back, forward and repeats.
    const std::vector<LONG> order = {0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 1, 2, 3, 6, 7, 4, 4, 5, 2, 3, 4};
    Decompressor d(&s);
    ASSERT_NE(d.frame, nullptr);
    for (LONG pos : order) {
        void* dib = AVIStreamGetFrame(d.frame, pos);
        ASSERT_NE(dib, nullptr) << pos << ": " << AVILastErrorDetail();
        EXPECT_EQ(copyImage(dib), expect[std::size_t(pos)]) << "frame " << pos;
    }
    EXPECT_EQ(AVIStreamGetFrame(d.frame, 8), nullptr) << "past the end";
}

TEST_F(GetFrameAhead, TheHandedOutPictureStaysWhileTheNextFrameIsRead) {
    WatchedStream s(rawFormat());
    for (int i = 0; i < 4; ++i)
        s.add(rawFrame(i));
    Decompressor d(&s);
    ASSERT_NE(d.frame, nullptr);
    ASSERT_NE(AVIStreamGetFrame(d.frame, 0), nullptr);
    void* dib = AVIStreamGetFrame(d.frame, 1);
    ASSERT_NE(dib, nullptr);
    // Frame 2 is read in the background, straight into an output DIB: not into the one handed out.
    ASSERT_TRUE(s.waitForRead(2)) << "frame 2 was not read ahead";
    EXPECT_EQ(copyImage(dib), alone(&s, 1));
    void* next = AVIStreamGetFrame(d.frame, 2);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(copyImage(next), alone(&s, 2));
}

TEST_F(GetFrameAhead, AFailedBackgroundReadIsReportedForItsOwnFrame) {
    WatchedStream s(rawFormat());
    for (int i = 0; i < 5; ++i)
        s.add(rawFrame(i));
    s.failing = 2;
    Decompressor d(&s);
    ASSERT_NE(d.frame, nullptr);
    for (LONG pos : {0, 1})
        ASSERT_NE(AVIStreamGetFrame(d.frame, pos), nullptr);
    AVISetLastErrorDetail({});
    EXPECT_EQ(AVIStreamGetFrame(d.frame, 2), nullptr);
    EXPECT_NE(AVILastErrorDetail().find("frame 2"), std::string::npos) << AVILastErrorDetail();
    for (LONG pos : {3, 4}) {
        void* dib = AVIStreamGetFrame(d.frame, pos);
        ASSERT_NE(dib, nullptr) << pos;
        const auto v = std::uint8_t(20 * pos + 1);
        EXPECT_EQ(pixel(dib, 0, 0), (Rgb{v, v, v})) << pos;
    }
}

namespace {

// The samples of a file made by ffmpeg, with their key frame flags, in a memory stream.
std::unique_ptr<MemoryStream> loadSamples(const std::filesystem::path& path) {
    PAVIFILE file = nullptr;
    PAVISTREAM stream = nullptr;
    if (AVIFileOpenA(&file, path.c_str(), OF_READ, nullptr) != AVIERR_OK) return nullptr;
    std::unique_ptr<MemoryStream> out;
    if (AVIFileGetStream(file, &stream, streamtypeVIDEO, 0) == AVIERR_OK) {
        LONG size = 0;
        AVIStreamReadFormat(stream, 0, nullptr, &size);
        std::vector<std::uint8_t> format(std::size_t(size), 0);
        AVIStreamReadFormat(stream, 0, format.data(), &size);
        out = std::make_unique<MemoryStream>(std::move(format));
        for (LONG i = 0; i < AVIStreamLength(stream); ++i) {
            LONG bytes = 0, n = 0;
            AVIStreamRead(stream, i, 1, nullptr, 0, &bytes, &n);
            std::vector<std::uint8_t> data(std::size_t(bytes), 0);
            AVIStreamRead(stream, i, 1, data.data(), bytes, &bytes, &n);
            out->add(std::move(data), AVIStreamFindSample(stream, i, FIND_KEY | FIND_PREV) == i);
        }
        AVIStreamRelease(stream);
    }
    AVIFileRelease(file);
    return out;
}

std::unique_ptr<MemoryStream> encoded(const std::string& name, const std::string& args, int frames) {
    const auto path = testsupport::workDir("getframe") / (name + ".avi");
    if (!std::filesystem::exists(path) &&
        testsupport::run("ffmpeg -v error -y -f lavfi -i testsrc2=size=160x120:rate=25 -frames:v " +
                         std::to_string(frames) + " " + args + " " + testsupport::quote(path)) != 0)
        return nullptr;
    return loadSamples(path);
}

std::vector<std::vector<std::uint8_t>> inOrder(PAVISTREAM s) {
    std::vector<std::vector<std::uint8_t>> out;
    Decompressor d(s);
    for (LONG i = 0; d.frame && i < AVIStreamLength(s); ++i) {
        void* dib = AVIStreamGetFrame(d.frame, i);
        out.push_back(dib ? copyImage(dib) : std::vector<std::uint8_t>{});
    }
    return out;
}

} // namespace

// After a seek, B-frames that follow a key frame but refer to the picture before it cannot be
// decoded; libavcodec drops them, and the key frame's picture must still land on its own frame.
TEST_F(GetFrameAhead, ReorderedFramesAskedForAloneMatchReadingInOrder) {
    if (!testsupport::haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    const std::pair<const char*, const char*> codecs[] = {
        {"ahead-mpeg4-open-gop", "-c:v mpeg4 -bf 2 -g 4 -q:v 4"},
        {"ahead-h264-bframes", "-c:v libx264 -preset veryfast -bf 2 -g 5 -pix_fmt yuv420p"},
    };
    for (const auto& [name, args] : codecs) {
        // Long enough that frames in the middle are decoded from a key frame other than the first.
        auto s = encoded(name, args, 40);
        if (!s) continue; // the encoder is missing
        const auto expect = inOrder(s.get());
        ASSERT_EQ(expect.size(), s->samples.size());
        for (LONG pos = 0; pos < LONG(expect.size()); ++pos) {
            ASSERT_FALSE(expect[std::size_t(pos)].empty()) << name << " frame " << pos;
            EXPECT_EQ(alone(s.get(), pos), expect[std::size_t(pos)]) << name << " frame " << pos;
        }
    }
}

TEST_F(GetFrameAhead, ADamagedBFrameLeavesTheFramesAfterItInPlace) {
    if (!testsupport::haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    auto s = encoded("ahead-mpeg4-damaged", "-c:v mpeg4 -bf 2 -g 12 -q:v 4", 12);
    ASSERT_NE(s, nullptr);
    const auto intact = inOrder(s.get());
    ASSERT_EQ(intact.size(), 12u);
    // Decode order I P B B P B B ...: sample 5 is a B-frame, shown as frame 4.
    constexpr LONG kDamaged = 5;
    ASSERT_FALSE(s->keys[kDamaged]);
    for (std::size_t i = 0; i < s->samples[kDamaged].size(); ++i)
        s->samples[kDamaged][i] = std::uint8_t(i * 131 + 7);
    const auto damaged = inOrder(s.get());
    ASSERT_EQ(damaged.size(), intact.size());
    for (LONG i = 0; i < kDamaged - 1; ++i)
        EXPECT_EQ(damaged[std::size_t(i)], intact[std::size_t(i)]) << "frame " << i;
    EXPECT_EQ(damaged[kDamaged], damaged[kDamaged - 1]) << "the lost picture repeats the one before";
    for (LONG i = kDamaged + 1; i < 12; ++i)
        EXPECT_EQ(damaged[std::size_t(i)], intact[std::size_t(i)]) << "frame " << i << " shifted";
}
