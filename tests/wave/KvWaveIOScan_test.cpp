// The scan's leniency and refusals, one built file layout per row, scanned as a memory image.
#include "wave/KvWaveIO.h"

#include "support/TestWork.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

using namespace kv;
using wavetest::PcmFormat;
using wavetest::ramp;
using wavetest::WaveBuilder;

namespace {

struct Layout {
    const char* name;
    std::function<WaveBuilder()> build;
    int status;
    std::int64_t dataBytes = -1; // -1: not checked
    std::int64_t samples = -1;
    std::int64_t blockAlign = -1;
    const char* repair = nullptr; // a text one of the repair notes contains
};

PcmFormat mono8() {
    return PcmFormat{};
}
PcmFormat stereo16() {
    PcmFormat f;
    f.channels = 2;
    f.bits = 16;
    f.rate = 44100;
    return f;
}

WaveBuilder plain(std::int64_t dataSize = -1) {
    WaveBuilder b;
    b.fmt(mono8()).data(ramp(100), dataSize);
    return b;
}

class ScanLayouts : public ::testing::TestWithParam<Layout> {};

TEST_P(ScanLayouts, ScanAsTheRulesSay) {
    const Layout& row = GetParam();
    WaveBuilder b = row.build();
    const wavetest::Bytes bytes = b.build();
    PWAVEIOCB cb = nullptr;
    ASSERT_EQ(wioBuildFileInfoFromMem(cb, bytes.data(), std::int32_t(bytes.size())), row.status);
    if (row.status != WIOERR_NOERROR) {
        EXPECT_EQ(cb, nullptr);
        return;
    }
    ASSERT_NE(cb, nullptr);
    EXPECT_EQ(cb->Flags, WIO_MEMORY);
    EXPECT_EQ(cb->FileSize, bytes.size());
    EXPECT_EQ(cb->DataOffset, b.offsetOf("data"));
    if (row.dataBytes >= 0) {
        EXPECT_EQ(cb->DataBytes, row.dataBytes);
    }
    if (row.samples >= 0) {
        EXPECT_EQ(cb->DataSamples, row.samples);
    }
    if (row.blockAlign >= 0) {
        EXPECT_EQ(cb->Format.nBlockAlign, row.blockAlign);
    }
    EXPECT_EQ(cb->LastSample, cb->DataSamples);
    EXPECT_GE(cb->BlockSize, WAVEIOCB_FIXED_SIZE + 18);
    const auto repairs = wioGetScanRepairs(cb);
    if (row.repair) {
        bool found = false;
        for (const auto& r : repairs)
            found = found || r.find(row.repair) != std::string::npos;
        EXPECT_TRUE(found) << "no repair note with \"" << row.repair << "\" among " << repairs.size();
    } else {
        EXPECT_TRUE(repairs.empty()) << repairs.front();
    }
    wioFreeFileInfo(cb);
    EXPECT_TRUE(wioGetScanRepairs(cb).empty());
}

PcmFormat wrongAlign() {
    PcmFormat f = stereo16();
    f.blockAlign = 3;
    f.byteRate = 5;
    return f;
}

PcmFormat adpcmNoRates() {
    PcmFormat f;
    f.tag = 2;
    f.bits = 4;
    f.blockAlign = 0;
    f.byteRate = 0;
    f.extra = {0, 0, 0, 0};
    return f;
}

const Layout kLayouts[] = {
    {"Plain", [] { return plain(); }, 0, 100, 100, 1},
    {"DataSizeZero", [] { return plain(0); }, 0, 100, 100, 1, "data size 0"},
    {"DataSizeAllOnes", [] { return plain(0xFFFFFFFF); }, 0, 100, 100, 1, "data size"},
    {"DataSizePastFile", [] { return plain(100000); }, 0, 100, 100, 1, "data size"},
    {"RiffSizePastFile",
     [] {
         auto b = plain();
         b.riffSize = 100000;
         return b;
     },
     0, 100, 100, 1, "RIFF size 100000 cut"},
    {"RiffSizeTooSmall",
     [] {
         auto b = plain();
         b.riffSize = 4;
         return b;
     },
     0, 100, 100, 1, "walked on"},
    {"ChunkPastRiffEndEndsScan",
     [] {
         auto b = plain();
         b.add("JUNK", wavetest::Bytes(50));
         b.riffSize = 4 + 8 + 16 + 8 + 100 + 20;
         return b;
     },
     0, 100, 100},
    {"PcmWrongAlignRecomputed",
     [] {
         WaveBuilder b;
         b.fmt(wrongAlign()).data(ramp(102));
         return b;
     },
     0, 100, 25, 4, "recomputed"},
    {"NoFmt",
     [] {
         WaveBuilder b;
         b.data(ramp(10));
         return b;
     },
     WIOERR_ERROR},
    {"NotRiff",
     [] {
         auto b = plain();
         b.riffId = "RIFX";
         return b;
     },
     WIOERR_FILEERROR},
    {"NotWave",
     [] {
         auto b = plain();
         b.form = "AVI ";
         return b;
     },
     WIOERR_FILEERROR},
    {"NoData",
     [] {
         WaveBuilder b;
         b.fmt(mono8());
         return b;
     },
     WIOERR_FILEERROR},
    {"SecondFmtStops",
     [] {
         WaveBuilder b;
         b.fmt(mono8()).fmt(stereo16()).data(ramp(10));
         return b;
     },
     WIOERR_FILEERROR},
    {"OddChunkWithoutPad",
     [] {
         WaveBuilder b;
         b.fmt(mono8()).add("JUNK", {1, 2, 3}, -1, false).data(ramp(100));
         return b;
     },
     0, 100, 100, 1, "no pad byte"},
    {"OddDataPadNotASample",
     [] {
         WaveBuilder b;
         b.fmt(mono8()).data(ramp(101)).info({{"INAM", "x"}});
         return b;
     },
     0, 101, 101},
    {"FactIgnored",
     [] {
         WaveBuilder b;
         b.fmt(mono8()).fact(9999).data(ramp(100));
         return b;
     },
     0, 100, 100},
    {"FmtTooLarge",
     [] {
         WaveBuilder b;
         b.add("fmt ", wavetest::Bytes(70000)).data(ramp(10));
         return b;
     },
     WIOERR_ERROR},
    {"NoChannels",
     [] {
         PcmFormat f;
         f.channels = 0;
         WaveBuilder b;
         b.fmt(f).data(ramp(10));
         return b;
     },
     WIOERR_ERROR},
    {"PcmAlignOverflow",
     [] {
         PcmFormat f;
         f.channels = 0xFFFF;
         f.bits = 0xFFFF;
         WaveBuilder b;
         b.fmt(f).data(ramp(10));
         return b;
     },
     WIOERR_ERROR},
    {"NonPcmZeroRates",
     [] {
         WaveBuilder b;
         b.fmt(adpcmNoRates()).data(ramp(100));
         return b;
     },
     0, 100, 0, 0},
    {"CbSizePastChunk",
     [] {
         WaveBuilder b;
         auto body = wavetest::fmtBody(adpcmNoRates());
         body[16] = 200; // cbSize claims 200 bytes, the chunk holds 4
         b.add("fmt ", body).data(ramp(10));
         return b;
     },
     0, 10, -1, -1, "extra size 200 cut"},
    {"ExtensiblePcm",
     [] {
         WaveBuilder b;
         b.fmt(wavetest::extensible(1, 2, 48000, 24)).data(ramp(60));
         return b;
     },
     0, 60, 10, 6},
};

INSTANTIATE_TEST_SUITE_P(KvWaveIO, ScanLayouts, ::testing::ValuesIn(kLayouts),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(KvWaveIOScan, SixteenByteFmtReadsWithCbSizeZeroAndKeepsMetadata) {
    WaveBuilder b;
    b.fmt(stereo16())
        .info({{"INAM", "Title"}, {"IART", "Artist"}})
        .data(ramp(40))
        .add("DISP", wavetest::dispText("Pic"));
    const auto bytes = b.build();
    PWAVEIOCB cb = nullptr;
    ASSERT_EQ(wioBuildFileInfoFromMem(cb, bytes.data(), std::int32_t(bytes.size())), 0);
    EXPECT_EQ(cb->Format.cbSize, 0);
    EXPECT_EQ(cb->DataSamples, 10u);
    const char* name =
        RiffINFOValue(cb->InfoChunk, RiffFindPIINFO(cb->InfoChunk, win::mmioStringToFOURCC("INAM", 0)));
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name, "Title");
    ASSERT_NE(cb->DispList->Head, nullptr);
    EXPECT_STREQ(static_cast<const char*>(RiffDISPValue(cb->DispList->Head)), "Pic");
    wioFreeFileInfo(cb);
}

TEST(KvWaveIOScan, RefusesMissingImages) {
    PWAVEIOCB cb = nullptr;
    EXPECT_EQ(wioBuildFileInfoFromMem(cb, nullptr, 10), WIOERR_FILEERROR);
    const char byte = 0;
    EXPECT_EQ(wioBuildFileInfoFromMem(cb, &byte, 0), WIOERR_FILEERROR);
    EXPECT_EQ(wioReadFileInfo(cb, "/nonexistent/file.wav", mmioFourCC('W', 'A', 'V', 'E'), WIO_FILE),
              WIOERR_FILEERROR);
    EXPECT_FALSE(wioIsWaveFile("/nonexistent/file.wav", WIO_FILE));
    EXPECT_EQ(cb, nullptr);
    EXPECT_EQ(wioFreeFileInfo(cb), WIOERR_BADPARAM);
}

} // namespace

// The scan reads chunk headers and seeks over bodies: a 2 GB file (sparse) scans in a few reads.
TEST(KvWaveIOScan, LargeFileScansWithoutReadingSamples) {
    const std::string name = (testsupport::workDir("wave") / "large.wav").string();
    WaveBuilder b;
    b.fmt(stereo16()).data({}, 2'000'000'000 - 44).info({{"INAM", "Long"}});
    wavetest::Bytes head = b.build();
    head.resize(44);
    {
        std::ofstream out(name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(head.data()), std::streamsize(head.size()));
    }
    std::filesystem::resize_file(name, 2'000'000'000);
    const auto start = std::chrono::steady_clock::now();
    PWAVEIOCB cb = nullptr;
    ASSERT_EQ(wioReadFileInfo(cb, name.c_str(), mmioFourCC('W', 'A', 'V', 'E'), WIO_FILE), 0);
    const auto ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(cb->DataBytes, 2'000'000'000u - 44);
    EXPECT_EQ(cb->DataSamples, (2'000'000'000u - 44) / 4);
    EXPECT_LT(ms, 200.0); // typically well under a millisecond; the bound leaves room for a loaded machine
    std::printf("scan of a 2 GB file: %.3f ms\n", ms);
    wioFreeFileInfo(cb);
    std::filesystem::remove(name);
}
