// A file past the real RIFF limit (over 1 GB of 1080p frames, the default limit): written as AVI 1.0
// with an OpenDML continuation, read back whole by us and counted by ffprobe. Skipped when the disk has
// too little room for it.
#include "AviWriteUtil.h"

#include "platform/vfw/AviParser.h"
#include "platform/vfw/AviSource.h"

#include <sys/statvfs.h>

using namespace avitest;
using namespace win;

namespace {

constexpr int kW = 1920, kH = 1080;
constexpr std::size_t kFrameBytes = std::size_t(kW) * kH * 3;
constexpr int kFrames = 200; // 1.24 GB of video

// The frame's bytes differ per frame in a few places only, so that writing 1.2 GB stays cheap while each
// frame read back can still be told from its neighbours.
void stamp(std::vector<std::uint8_t>& frame, int n) {
    for (std::size_t at = 0; at < frame.size(); at += 1 << 20)
        std::memcpy(&frame[at], &n, sizeof n);
    std::memcpy(&frame[frame.size() - sizeof n], &n, sizeof n);
}

bool roomFor(const std::filesystem::path& dir, std::uint64_t bytes) {
    struct statvfs s{};
    return statvfs(dir.c_str(), &s) == 0 && std::uint64_t(s.f_bavail) * s.f_frsize > bytes;
}

} // namespace

TEST(AviWriteLarge, PastOneGigabyteContinuesAsOpenDml) {
    auto path = workDir() / "write-large.avi";
    if (!roomFor(workDir(), 3ull << 30)) GTEST_SKIP() << "less than 3 GB free in " << workDir();
    std::vector<std::uint8_t> frame(kFrameBytes, 0x40);
    {
        auto f = createFile(path);
        auto v = createStream(f.get(), videoInfo(25));
        auto fmt = dibFormat(kW, kH, 24);
        ASSERT_EQ(AVIStreamSetFormat(v.get(), 0, fmt.data(), LONG(fmt.size())), AVIERR_OK);
        for (int i = 0; i < kFrames; ++i) {
            stamp(frame, i);
            ASSERT_EQ(writeSample(v.get(), frame, i % 25 == 0), AVIERR_OK) << i;
        }
    }
    EXPECT_GT(std::filesystem::file_size(path), 1ull << 30);
    {
        std::string why;
        auto src = AviFileSource::open(path.string(), why);
        ASSERT_TRUE(src) << why;
        auto m = parseAvi(*src);
        ASSERT_TRUE(m.ok());
        EXPECT_EQ(m.value().indexSource, AviFileModel::IndexSource::OpenDml);
        EXPECT_EQ(m.value().dmlhTotalFrames, std::uint32_t(kFrames));
    }
    {
        auto f = openFile(path);
        ASSERT_TRUE(f);
        auto v = stream(f.get(), streamtypeVIDEO, 0);
        ASSERT_EQ(AVIStreamLength(v.get()), kFrames);
        for (int i : {0, 1, 150, 174, kFrames - 1}) {
            stamp(frame, i);
            EXPECT_EQ(*sample(v.get(), i), frame) << i;
        }
        EXPECT_EQ(AVIStreamPrevKeyFrame(v.get(), kFrames - 1), 175);
    }
    if (testsupport::haveFfmpeg()) {
        std::string out = testsupport::capture("ffprobe -v error -count_packets -show_entries stream=nb_read_packets "
                                               "-of csv=p=0 " +
                                               testsupport::quote(path) + " 2>/dev/null");
        EXPECT_EQ(out, std::to_string(kFrames) + "\n");
    }
    std::filesystem::remove(path);
}
