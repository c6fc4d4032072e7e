// The frame decompressor over real AVI files made by ffmpeg with each codec, compared frame by frame
// with ffmpeg's own decode of the same file.
#include "DibTestUtil.h"
#include "platform/vfw/Vfw.h"
#include "platform/win/Display.h"
#include "support/TestWork.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace win;
using namespace dibtest;

namespace {

struct Codec {
    const char* name;
    const char* args; // ffmpeg output options
    const char* size;
    int frames;
    int maxDiff;     // largest channel difference allowed against ffmpeg's decode
    bool interFrame; // has frames that depend on others: random access is checked too
    const char* source = "testsrc2";
};

const Codec kCodecs[] = {
    {"mjpeg", "-c:v mjpeg -q:v 3 -pix_fmt yuvj420p", "320x240", 12, 2, false},
    // Small full-range frames: the scaler must keep the JPEG range on every frame, not only the first.
    {"mjpeg-small", "-c:v mjpeg -q:v 5 -pix_fmt yuvj420p", "96x54", 6, 2, false, "testsrc"},
    {"mpeg4-bframes", "-c:v mpeg4 -bf 2 -g 6 -q:v 4", "320x240", 12, 2, true},
    {"h264", "-c:v libx264 -preset veryfast -bf 2 -g 6 -pix_fmt yuv420p", "320x240", 12, 2, true},
    {"dv", "-c:v dvvideo -pix_fmt yuv411p -r 30000/1001", "720x480", 4, 2, false},
    {"huffyuv-rgb", "-c:v huffyuv -pix_fmt rgb24", "320x240", 12, 0, false},
    {"ffv1-rgb", "-c:v ffv1 -pix_fmt bgr0", "320x240", 12, 0, false},
    {"ffv1-odd-size", "-c:v ffv1 -pix_fmt yuv420p", "161x97", 6, 2, false},
    {"cinepak", "-c:v cinepak", "160x120", 6, 2, true},
    {"msvideo1", "-c:v msvideo1", "160x120", 12, 0, true},
    {"msmpeg4v2", "-c:v msmpeg4v2 -g 6 -q:v 4", "320x240", 12, 2, true},
    {"msmpeg4v3", "-c:v msmpeg4 -g 6 -q:v 4", "320x240", 12, 2, true},
    {"yuy2", "-c:v rawvideo -pix_fmt yuyv422", "320x240", 6, 2, false},
    {"bgr24-raw", "-c:v rawvideo -pix_fmt bgr24", "161x97", 6, 0, false},
    {"pal8-raw", "-c:v rawvideo -pix_fmt pal8", "160x120", 6, 0, false},
};

struct Media {
    std::filesystem::path avi;
    std::vector<std::uint8_t> reference; // ffmpeg's frames as top-down BGR24
    std::vector<long> positions;         // stream position of each sample with data (ffmpeg skips the rest)
};

// Makes the file (unless an earlier run did) and ffmpeg's decode of it.
std::optional<Media> makeMedia(const Codec& c) {
    Media m;
    const auto dir = testsupport::workDir("getframe");
    m.avi = dir / (std::string(c.name) + ".avi");
    const auto raw = dir / (std::string(c.name) + ".bgr");
    if (!std::filesystem::exists(m.avi)) {
        const std::string make = "ffmpeg -v error -y -f lavfi -i " + std::string(c.source) + "=size=" + std::string(c.size) +
                                 ":rate=25 -frames:v " + std::to_string(c.frames) + " " + c.args + " " +
                                 testsupport::quote(m.avi);
        if (testsupport::run(make) != 0) return std::nullopt;
    }
    const std::string decode = "ffmpeg -v error -y -i " + testsupport::quote(m.avi) +
                               " -fps_mode passthrough -f rawvideo -pix_fmt bgr24 " + testsupport::quote(raw);
    if (testsupport::run(decode) != 0) return std::nullopt;
    m.reference = testsupport::readFile(raw);
    // Frames written as zero-length samples (dropped frames) have no packet in ffmpeg's reading.
    int status = 0;
    std::string dts =
        testsupport::capture("ffprobe -v error -select_streams v:0 -show_entries packet=dts -of csv=p=0 " +
                                 testsupport::quote(m.avi),
                             &status);
    if (status != 0) return std::nullopt;
    for (std::size_t at = 0; at < dts.size();) {
        std::size_t end = dts.find('\n', at);
        if (end == std::string::npos) end = dts.size();
        if (end > at) m.positions.push_back(std::stol(dts.substr(at, end - at)));
        at = end + 1;
    }
    return m;
}

struct Opened {
    PAVIFILE file = nullptr;
    PAVISTREAM stream = nullptr;
    PGETFRAME frame = nullptr;
    ~Opened() {
        if (frame) AVIStreamGetFrameClose(frame);
        if (stream) AVIStreamRelease(stream);
        if (file) AVIFileRelease(file);
    }
};

bool open(Opened& o, const std::filesystem::path& path) {
    if (AVIFileOpenA(&o.file, path.c_str(), OF_READ, nullptr) != AVIERR_OK) return false;
    if (AVIFileGetStream(o.file, &o.stream, streamtypeVIDEO, 0) != AVIERR_OK) return false;
    o.frame = AVIStreamGetFrameOpen(o.stream, nullptr);
    return o.frame != nullptr;
}

// The 24-bit picture of a DIB as top-down BGR rows without padding.
std::vector<std::uint8_t> topDownBgr(const void* dib) {
    const auto& h = header(dib);
    const int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    std::vector<std::uint8_t> out;
    for (int y = 0; y < height; ++y)
        out.insert(out.end(), rowOf(dib, y), rowOf(dib, y) + h.biWidth * 3);
    return out;
}

class GetFrameCodecs : public ::testing::TestWithParam<Codec> {
  protected:
    void SetUp() override {
        if (!testsupport::haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
        SetDisplayBitsPerPixelForTesting(24);
    }
    void TearDown() override { SetDisplayBitsPerPixelForTesting(0); }
};

} // namespace

TEST_P(GetFrameCodecs, FramesMatchFfmpegsDecodeInOrderAndAtRandom) {
    const Codec& c = GetParam();
    auto media = makeMedia(c);
    if (!media) GTEST_SKIP() << "this ffmpeg cannot make " << c.name;
    Opened o;
    ASSERT_TRUE(open(o, media->avi)) << AVILastErrorDetail();
    const LONG length = AVIStreamLength(o.stream);
    const auto* first = static_cast<const BITMAPINFOHEADER*>(AVIStreamGetFrame(o.frame, 0));
    ASSERT_NE(first, nullptr) << AVILastErrorDetail();
    ASSERT_EQ(first->biBitCount, 24);
    const std::size_t frameBytes = std::size_t(first->biWidth) * std::size_t(first->biHeight) * 3;
    ASSERT_EQ(media->reference.size(), frameBytes * media->positions.size()) << "one frame per packet";
    ASSERT_EQ(media->positions.back() + 1, length);

    std::vector<std::vector<std::uint8_t>> decoded;
    for (LONG i = 0; i < length; ++i) {
        void* dib = AVIStreamGetFrame(o.frame, i);
        ASSERT_NE(dib, nullptr) << i << ": " << AVILastErrorDetail();
        decoded.push_back(topDownBgr(dib));
        // A position without data shows the picture before it.
        std::size_t k = 0;
        while (k + 1 < media->positions.size() && media->positions[k + 1] <= i)
            ++k;
        const std::uint8_t* ref = media->reference.data() + k * frameBytes;
        int worst = 0;
        double sum = 0;
        for (std::size_t k = 0; k < frameBytes; ++k) {
            const int d = std::abs(int(decoded.back()[k]) - int(ref[k]));
            worst = std::max(worst, d);
            sum += d;
        }
        EXPECT_LE(worst, c.maxDiff) << "frame " << i;
        EXPECT_LE(sum / double(frameBytes), 0.25) << "frame " << i;
    }
    if (!c.interFrame) return;
    Opened r;
    ASSERT_TRUE(open(r, media->avi));
    for (LONG pos : {length - 1, LONG(2), length / 2 + 1, LONG(0), length / 2, LONG(1)}) {
        void* dib = AVIStreamGetFrame(r.frame, pos);
        ASSERT_NE(dib, nullptr) << pos;
        EXPECT_EQ(topDownBgr(dib), decoded[std::size_t(pos)]) << "frame " << pos << " out of order";
    }
}

INSTANTIATE_TEST_SUITE_P(Ffmpeg, GetFrameCodecs, ::testing::ValuesIn(kCodecs), [](const auto& info) {
    std::string n = info.param.name;
    for (char& ch : n)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return n;
});
