// WAVE files written through mmio are read by sox and ffprobe; files sox writes are walked by mmio.
#include "MmioTestSupport.h"

#include "support/TestWork.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace win;

namespace {

bool haveSox() {
    return testsupport::run("sox --version >/dev/null 2>&1") == 0;
}
bool haveFfprobe() {
    return testsupport::run("ffprobe -version >/dev/null 2>&1") == 0;
}

// 0.5 s of 22050 Hz 16-bit stereo, written chunk by chunk with the data's size left to the ascend.
void writeWave(std::string name, int frames) {
    HMMIO h = mmioOpen(name.data(), nullptr, MMIO_CREATE | MMIO_WRITE | MMIO_ALLOCBUF);
    ASSERT_NE(h, nullptr);
    MMCKINFO riff{};
    riff.fccType = mmioStringToFOURCC("WAVE", 0);
    ASSERT_EQ(mmioCreateChunk(h, &riff, MMIO_CREATERIFF), MMSYSERR_NOERROR);
    MMCKINFO fmt{mmioStringToFOURCC("fmt ", 0), 16, 0, 0, 0};
    ASSERT_EQ(mmioCreateChunk(h, &fmt, 0), MMSYSERR_NOERROR);
    ByteWriter w;
    w.u16(1);
    w.u16(2);
    w.u32(22050);
    w.u32(22050 * 4);
    w.u16(4);
    w.u16(16);
    ASSERT_EQ(mmioWrite(h, reinterpret_cast<const char*>(w.buffer().data()), 16), 16);
    ASSERT_EQ(mmioAscend(h, &fmt, 0), MMSYSERR_NOERROR);
    MMCKINFO data{mmioStringToFOURCC("data", 0), 0, 0, 0, 0};
    ASSERT_EQ(mmioCreateChunk(h, &data, 0), MMSYSERR_NOERROR);
    for (int i = 0; i < frames; ++i) {
        std::int16_t s = std::int16_t(10000 * std::sin(i * 0.05));
        std::int16_t frame[2] = {s, std::int16_t(-s)};
        ASSERT_EQ(mmioWrite(h, reinterpret_cast<const char*>(frame), 4), 4);
    }
    ASSERT_EQ(mmioAscend(h, &data, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioAscend(h, &riff, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);
}

TEST(MmioOracle, SoxAndFfprobeReadAWaveWrittenThroughMmio) {
    if (!haveSox() || !haveFfprobe()) GTEST_SKIP() << "sox or ffprobe is not installed";
    auto file = testsupport::workDir("mmio") / "written.wav";
    writeWave(file.string(), 11025);
    std::string q = testsupport::quote(file);
    int status = -1;
    EXPECT_EQ(testsupport::capture("sox --i -r " + q, &status), "22050\n");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(testsupport::capture("sox --i -c " + q), "2\n");
    EXPECT_EQ(testsupport::capture("sox --i -b " + q), "16\n");
    EXPECT_EQ(testsupport::capture("sox --i -s " + q), "11025\n");
    std::string probe = testsupport::capture(
        "ffprobe -v error -show_entries stream=codec_name,sample_rate,channels,duration_ts -of "
        "default=nw=1 " +
            q,
        &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(probe.find("codec_name=pcm_s16le"), std::string::npos) << probe;
    EXPECT_NE(probe.find("sample_rate=22050"), std::string::npos) << probe;
    EXPECT_NE(probe.find("channels=2"), std::string::npos) << probe;
    EXPECT_NE(probe.find("duration_ts=11025"), std::string::npos) << probe;
    // sox decodes the very samples that were written.
    auto raw = file.parent_path() / "written.raw";
    ASSERT_EQ(testsupport::run("sox " + q + " -t raw " + testsupport::quote(raw)), 0);
    auto pcm = testsupport::readFile(raw);
    ASSERT_EQ(pcm.size(), 11025u * 4);
    auto sample = [&](std::size_t i) { return std::int16_t(pcm[2 * i] | (pcm[2 * i + 1] << 8)); };
    EXPECT_EQ(sample(2 * 100), std::int16_t(10000 * std::sin(100 * 0.05)));
    EXPECT_EQ(sample(2 * 100 + 1), std::int16_t(-std::int16_t(10000 * std::sin(100 * 0.05))));
}

TEST(MmioOracle, MmioWalksTheChunksOfAWaveSoxWrote) {
    if (!haveSox()) GTEST_SKIP() << "sox is not installed";
    auto file = testsupport::workDir("mmio") / "sox.wav";
    // 8-bit mono with an odd sample count: the data chunk needs its pad byte.
    ASSERT_EQ(testsupport::run("sox -r 8000 -n -b 8 -c 1 " + testsupport::quote(file) +
                               " synth 1001s sine 440 2>/dev/null"),
              0);
    std::string name = file.string();
    HMMIO h = mmioOpen(name.data(), nullptr, MMIO_READ | MMIO_ALLOCBUF);
    ASSERT_NE(h, nullptr);
    MMCKINFO riff{};
    riff.fccType = mmioStringToFOURCC("WAVE", 0);
    ASSERT_EQ(mmioDescend(h, &riff, nullptr, MMIO_FINDRIFF), MMSYSERR_NOERROR);
    MMCKINFO fmt{};
    fmt.ckid = mmioStringToFOURCC("fmt ", 0);
    ASSERT_EQ(mmioDescend(h, &fmt, &riff, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
    ASSERT_GE(fmt.cksize, 16u);
    std::uint8_t format[16];
    ASSERT_EQ(mmioRead(h, reinterpret_cast<char*>(format), 16), 16);
    ByteReader r(format);
    r.skip(2);
    EXPECT_EQ(*r.u16(), 1);
    EXPECT_EQ(*r.u32(), 8000u);
    ASSERT_EQ(mmioAscend(h, &fmt, 0), MMSYSERR_NOERROR);
    MMCKINFO data{};
    data.ckid = mmioStringToFOURCC("data", 0);
    ASSERT_EQ(mmioDescend(h, &data, &riff, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
    EXPECT_EQ(data.cksize, 1001u);
    EXPECT_EQ(std::to_string(data.cksize) + "\n",
              testsupport::capture("sox --i -s " + testsupport::quote(file)));
    std::vector<char> samples(data.cksize);
    EXPECT_EQ(mmioRead(h, samples.data(), LONG(samples.size())), 1001);
    ASSERT_EQ(mmioAscend(h, &data, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(mmioSeek(h, 0, SEEK_CUR), LONG(std::min<std::int64_t>(std::int64_t(data.dwDataOffset) + 1002,
                                                                    std::filesystem::file_size(file))));
    MMCKINFO none{};
    none.ckid = mmioStringToFOURCC("zzzz", 0);
    EXPECT_EQ(mmioDescend(h, &none, &riff, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND);
    mmioClose(h, 0);
}

} // namespace
