// Independent readers and writers as oracles: files this unit writes are read back by sox, ffprobe and
// sndfile-info; files sox and ffmpeg make scan to the values those tools report.
#include "wave/KvWaveIO.h"

#include "platform/win/GlobalMemory.h"
#include "support/TestWork.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace kv;
using testsupport::capture;
using testsupport::quote;
using testsupport::run;

namespace {

constexpr win::FOURCC kWave = mmioFourCC('W', 'A', 'V', 'E');

bool have(const char* tool) {
    return run(std::string("command -v ") + tool + " >/dev/null 2>&1") == 0;
}

std::string trim(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' '))
        s.pop_back();
    return s;
}

struct Pcm {
    const char* name;
    win::DWORD rate;
    win::WORD channels, bits;
};

class WrittenFiles : public ::testing::TestWithParam<Pcm> {};

TEST_P(WrittenFiles, ReadBackBySoxFfprobeAndSndfile) {
    if (!have("sox") || !have("ffprobe")) GTEST_SKIP() << "sox or ffprobe missing";
    const Pcm& p = GetParam();
    TWaveFormatEx f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = p.channels;
    f.nSamplesPerSec = p.rate;
    f.wBitsPerSample = p.bits;
    f.nBlockAlign = win::WORD(p.channels * p.bits / 8);
    f.nAvgBytesPerSec = p.rate * f.nBlockAlign;
    const wavetest::Bytes samples = wavetest::ramp(std::size_t(f.nBlockAlign) * 999);
    const auto dir = testsupport::workDir("wave-oracle");
    const std::string out = (dir / "ours.wav").string();
    PWAVEIOCB cb = nullptr;
    ASSERT_EQ(wioCreateFileInfo(cb, &f), 0);
    for (auto [id, text] : {std::pair{"INAM", "Our Title"}, std::pair{"IART", "Our Artist"}}) {
        auto* copy = static_cast<char*>(win::GlobalAllocPtr(win::GHND, std::strlen(text) + 1));
        std::strcpy(copy, text);
        RiffModifyINFO(cb->InfoChunk, RiffFindPIINFO(cb->InfoChunk, win::mmioStringToFOURCC(id, 0)),
                       RIFF_MODIFIED, copy, 0);
    }
    ASSERT_EQ(wioWriteFileInfo(cb, out.c_str()), 0);
    ASSERT_EQ(wioWaveWriteData(cb, samples.data(), std::int32_t(samples.size())),
              std::int32_t(samples.size()));
    ASSERT_EQ(wioWaveClose(cb), 0);
    wioFreeFileInfo(cb);

    EXPECT_EQ(trim(capture("sox --i -r " + quote(out))), std::to_string(p.rate));
    EXPECT_EQ(trim(capture("sox --i -c " + quote(out))), std::to_string(p.channels));
    EXPECT_EQ(trim(capture("sox --i -b " + quote(out))), std::to_string(p.bits));
    EXPECT_EQ(trim(capture("sox --i -s " + quote(out))), "999");
    const std::string raw = (dir / "sox.raw").string();
    ASSERT_EQ(run("sox " + quote(out) + " -t raw " + quote(raw) + " 2>/dev/null"), 0);
    EXPECT_EQ(testsupport::readFile(raw), samples);
    const std::string probe =
        capture("ffprobe -v error -show_entries stream=sample_rate,channels:format_tags=title,artist "
                "-of default=nw=1 " +
                quote(out));
    EXPECT_NE(probe.find("sample_rate=" + std::to_string(p.rate)), std::string::npos) << probe;
    EXPECT_NE(probe.find("TAG:title=Our Title"), std::string::npos) << probe;
    EXPECT_NE(probe.find("TAG:artist=Our Artist"), std::string::npos) << probe;
    if (have("sndfile-info")) {
        const std::string info = capture("sndfile-info " + quote(out) + " 2>&1");
        EXPECT_NE(info.find("Frames      : 999"), std::string::npos) << info;
        EXPECT_EQ(info.find("rror"), std::string::npos) << info;
    }
}

INSTANTIATE_TEST_SUITE_P(KvWaveIO, WrittenFiles,
                         ::testing::Values(Pcm{"Mono8", 8000, 1, 8}, Pcm{"Stereo16", 44100, 2, 16},
                                           Pcm{"Mono16", 22050, 1, 16}, Pcm{"Stereo8", 11025, 2, 8}),
                         [](const auto& info) { return std::string(info.param.name); });

struct Made {
    const char* name;
    const char* command; // makes OUT
    const char* formatName;
};

class PeerFiles : public ::testing::TestWithParam<Made> {};

TEST_P(PeerFiles, ScanToWhatTheToolsReport) {
    if (!have("sox") || !have("ffmpeg") || !have("ffprobe")) GTEST_SKIP() << "sox or ffmpeg missing";
    const Made& m = GetParam();
    const std::string out = (testsupport::workDir("wave-oracle") / "peer.wav").string();
    std::string command = m.command;
    command.replace(command.find("OUT"), 3, quote(out));
    ASSERT_EQ(run(command + " >/dev/null 2>&1"), 0) << command;
    PWAVEIOCB cb = nullptr;
    ASSERT_EQ(wioReadFileInfo(cb, out.c_str(), kWave, WIO_FILE), 0);
    std::string name;
    wioGetFormatName(&cb->Format, name);
    EXPECT_EQ(name, m.formatName);
    const std::string probe =
        capture("ffprobe -v error -show_entries stream=sample_rate,channels -of default=nw=1 " + quote(out));
    EXPECT_NE(probe.find("sample_rate=" + std::to_string(cb->Format.nSamplesPerSec)), std::string::npos)
        << probe;
    EXPECT_NE(probe.find("channels=" + std::to_string(cb->Format.nChannels)), std::string::npos) << probe;
    if (name == "PCM") {
        EXPECT_EQ(trim(capture("sox --i -s " + quote(out))), std::to_string(cb->DataSamples));
        ASSERT_EQ(wioWaveOpen(cb), 0);
        wavetest::Bytes ours(cb->DataBytes);
        EXPECT_EQ(wioWaveReadData(cb, ours.data(), std::int32_t(ours.size())), std::int32_t(ours.size()));
        const std::string raw = (testsupport::workDir("wave-oracle") / "peer.raw").string();
        ASSERT_EQ(run("sox " + quote(out) + " -t raw " + quote(raw) + " 2>/dev/null"), 0);
        EXPECT_EQ(testsupport::readFile(raw), ours);
    } else {
        // Whole blocks of compressed data: the data chunk's size rounded down to the block size.
        EXPECT_EQ(cb->DataBytes % cb->Format.nBlockAlign, 0u);
        if (have("sndfile-info")) {
            const std::string info = capture("sndfile-info " + quote(out) + " 2>&1");
            EXPECT_NE(info.find("Block Align   : " + std::to_string(cb->Format.nBlockAlign)),
                      std::string::npos)
                << info;
        }
    }
    const char* title =
        RiffINFOValue(cb->InfoChunk, RiffFindPIINFO(cb->InfoChunk, mmioFourCC('I', 'N', 'A', 'M')));
    if (std::string(m.command).find("title=") != std::string::npos) {
        ASSERT_NE(title, nullptr);
        EXPECT_STREQ(title, "Peer Title");
    }
    wioFreeFileInfo(cb);
}

INSTANTIATE_TEST_SUITE_P(
    KvWaveIO, PeerFiles,
    ::testing::Values(
        Made{"Sox8Mono", "sox -n -r 8000 -c 1 -b 8 OUT synth 0.3 sine 440", "PCM"},
        Made{"Sox16Stereo", "sox -n -r 44100 -c 2 -b 16 OUT synth 0.2 sine 440", "PCM"},
        Made{"FfmpegTags",
             "ffmpeg -y -v error -f lavfi -i sine=frequency=300:duration=0.25 -ac 2 -ar 22050 -c:a pcm_s16le "
             "-metadata title='Peer Title' -metadata artist=Someone OUT",
             "PCM"},
        Made{"FfmpegU8", "ffmpeg -y -v error -f lavfi -i sine=duration=0.2 -ar 11025 -c:a pcm_u8 OUT", "PCM"},
        Made{"FfmpegMsAdpcm", "ffmpeg -y -v error -f lavfi -i sine=duration=0.3 -ar 22050 -c:a adpcm_ms OUT",
             "Microsoft ADPCM"},
        Made{"SoxMsAdpcm", "sox -n -r 11025 -c 1 -e ms-adpcm OUT synth 0.3 sine 500", "Microsoft ADPCM"},
        Made{"Sox24BitExtensible", "sox -n -r 48000 -c 2 -b 24 OUT synth 0.1 sine 500", "PCM"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
