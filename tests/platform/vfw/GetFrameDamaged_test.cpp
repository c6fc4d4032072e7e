// The libavcodec path over damaged streams: samples of a real MJPEG file rearranged in an in-memory
// stream with garbage and dropped samples between them.
#include "DibTestUtil.h"
#include "platform/vfw/Vfw.h"
#include "platform/win/Display.h"
#include "support/MemoryStream.h"
#include "support/TestWork.h"

#include <gtest/gtest.h>

using namespace win;
using namespace dibtest;
using testsupport::MemoryStream;

namespace {

struct Samples {
    std::vector<std::uint8_t> format;
    std::vector<std::vector<std::uint8_t>> frames;
};

// Three MJPEG frames of different pictures, as the container hands them out.
std::optional<Samples> mjpegSamples() {
    const auto path = testsupport::workDir("getframe") / "damaged-source.avi";
    if (!std::filesystem::exists(path) &&
        testsupport::run("ffmpeg -v error -y -f lavfi -i testsrc2=size=96x64:rate=5 -frames:v 3 -c:v mjpeg " +
                         testsupport::quote(path)) != 0)
        return std::nullopt;
    PAVIFILE file = nullptr;
    PAVISTREAM stream = nullptr;
    if (AVIFileOpenA(&file, path.c_str(), OF_READ, nullptr) != AVIERR_OK) return std::nullopt;
    Samples out;
    if (AVIFileGetStream(file, &stream, streamtypeVIDEO, 0) == AVIERR_OK) {
        LONG size = 0;
        AVIStreamReadFormat(stream, 0, nullptr, &size);
        out.format.resize(std::size_t(size));
        AVIStreamReadFormat(stream, 0, out.format.data(), &size);
        for (LONG i = 0; i < AVIStreamLength(stream); ++i) {
            LONG bytes = 0, n = 0;
            AVIStreamRead(stream, i, 1, nullptr, 0, &bytes, &n);
            std::vector<std::uint8_t> data(static_cast<std::size_t>(bytes), 0);
            AVIStreamRead(stream, i, 1, data.data(), bytes, &bytes, &n);
            out.frames.push_back(std::move(data));
        }
        AVIStreamRelease(stream);
    }
    AVIFileRelease(file);
    if (out.frames.size() != 3) return std::nullopt;
    return out;
}

std::vector<std::uint8_t> garbage() {
    std::vector<std::uint8_t> g(700);
    for (std::size_t i = 0; i < g.size(); ++i)
        g[i] = std::uint8_t(i * 131 + 7);
    return g;
}

class GetFrameDamaged : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!testsupport::haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
        auto s = mjpegSamples();
        ASSERT_TRUE(s.has_value());
        samples = std::move(*s);
        SetDisplayBitsPerPixelForTesting(24);
        // The pictures of the three frames decoded from an intact stream.
        MemoryStream intact(samples.format);
        for (auto& f : samples.frames)
            intact.add(f);
        PGETFRAME g = AVIStreamGetFrameOpen(&intact, nullptr);
        ASSERT_NE(g, nullptr) << AVILastErrorDetail();
        for (LONG i = 0; i < 3; ++i) {
            void* dib = AVIStreamGetFrame(g, i);
            ASSERT_NE(dib, nullptr);
            pictures.push_back(copyImage(dib));
        }
        AVIStreamGetFrameClose(g);
        ASSERT_NE(pictures[0], pictures[1]);
    }
    void TearDown() override { SetDisplayBitsPerPixelForTesting(0); }

    Samples samples;
    std::vector<std::vector<std::uint8_t>> pictures;
};

} // namespace

TEST_F(GetFrameDamaged, GarbageAndDroppedSamplesRepeatTheLastGoodPicture) {
    MemoryStream s(samples.format);
    s.add(samples.frames[0]);
    s.add(garbage());
    s.add({});
    s.add(samples.frames[1]);
    s.add({});
    s.add(garbage());
    s.add(samples.frames[2]);
    const std::size_t expect[] = {0, 0, 0, 1, 1, 1, 2};
    for (auto order : {std::vector<LONG>{0, 1, 2, 3, 4, 5, 6}, std::vector<LONG>{5, 2, 6, 4, 1, 3, 0}}) {
        PGETFRAME g = AVIStreamGetFrameOpen(&s, nullptr);
        ASSERT_NE(g, nullptr);
        for (LONG pos : order) {
            void* dib = AVIStreamGetFrame(g, pos);
            ASSERT_NE(dib, nullptr) << pos << ": " << AVILastErrorDetail();
            EXPECT_EQ(copyImage(dib), pictures[expect[pos]]) << "frame " << pos;
        }
        AVIStreamGetFrameClose(g);
    }
    EXPECT_EQ(s.refs, 1);
}

TEST_F(GetFrameDamaged, AStreamThatStartsDamagedHasNoFirstFrame) {
    MemoryStream s(samples.format);
    s.add(garbage());
    s.add(samples.frames[1]);
    PGETFRAME g = AVIStreamGetFrameOpen(&s, nullptr);
    ASSERT_NE(g, nullptr);
    AVISetLastErrorDetail({});
    EXPECT_EQ(AVIStreamGetFrame(g, 0), nullptr);
    EXPECT_NE(AVILastErrorDetail().find("frame 0"), std::string::npos) << AVILastErrorDetail();
    void* dib = AVIStreamGetFrame(g, 1);
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(copyImage(dib), pictures[1]);
    AVIStreamGetFrameClose(g);
}

TEST_F(GetFrameDamaged, UnknownAndUndecodableCodecsAreRefusedAtOpen) {
    auto format = samples.format;
    std::memcpy(format.data() + 16, "QQ99", 4);
    MemoryStream unknown(format);
    unknown.add(samples.frames[0]);
    EXPECT_EQ(AVIStreamGetFrameOpen(&unknown, nullptr), nullptr);
    EXPECT_EQ(AVILastErrorDetail(), "unsupported compression 'QQ99'");
}
