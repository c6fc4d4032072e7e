// Writing, reading, positioning and whole-file operations on files, raw files, memory images and the
// module's resource.
#include "wave/KvWaveIO.h"

#include "platform/win/GlobalMemory.h"
#include "support/TestWork.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

using namespace kv;
using wavetest::Bytes;
using wavetest::WaveBuilder;

namespace {

constexpr win::FOURCC kWave = mmioFourCC('W', 'A', 'V', 'E');

TWaveFormatEx pcm(win::DWORD rate, win::WORD channels, win::WORD bits) {
    TWaveFormatEx f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = win::WORD(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

std::string path(const char* name) {
    return (testsupport::workDir("wave") / name).string();
}

// The chunk ids of a RIFF file's top level, in order.
std::vector<std::string> chunkIds(const Bytes& file) {
    std::vector<std::string> ids;
    win::ByteReader r(file);
    r.skip(12);
    while (r.remaining() >= 8) {
        auto id = *r.span(4);
        const std::uint32_t size = *r.u32();
        ids.emplace_back(reinterpret_cast<const char*>(id.data()), 4);
        if (!r.skip(size + (size & 1))) break;
    }
    return ids;
}

void writeWave(const std::string& name, const TWaveFormatEx& f, const Bytes& samples,
               PWAVEIOCB* keep = nullptr) {
    PWAVEIOCB cb = nullptr;
    ASSERT_EQ(wioCreateFileInfo(cb, &f), 0);
    ASSERT_EQ(wioWriteFileInfo(cb, name.c_str()), 0);
    const std::int32_t half = std::int32_t(samples.size() / 2);
    EXPECT_EQ(wioWaveWriteData(cb, samples.data(), half), half);
    EXPECT_EQ(wioWaveWriteDataDirect(cb, samples.data() + half, std::int32_t(samples.size()) - half),
              std::int32_t(samples.size()) - half);
    EXPECT_EQ(wioWaveClose(cb), 0);
    if (keep)
        *keep = cb;
    else
        wioFreeFileInfo(cb);
}

} // namespace

TEST(KvWaveIOData, WrittenFileHasFmtDataFactAndReadsBack) {
    const std::string name = path("written.wav");
    const Bytes samples = wavetest::ramp(2000);
    writeWave(name, pcm(8000, 1, 16), samples);
    const Bytes file = testsupport::readFile(name);
    EXPECT_EQ(chunkIds(file), (std::vector<std::string>{"fmt ", "data", "fact"}));
    win::ByteReader r(file);
    r.seek(16);
    EXPECT_EQ(*r.u32(), 18u); // a PCM format is written with its cbSize
    r.seek(file.size() - 4);
    EXPECT_EQ(*r.u32(), 1000u); // fact: the sample count

    PWAVEIOCB cb = nullptr;
    ASSERT_EQ(wioReadFileInfo(cb, name.c_str(), kWave, WIO_FILE), 0);
    EXPECT_EQ(cb->DataSamples, 1000u);
    EXPECT_EQ(cb->FileSize, file.size());
    ASSERT_EQ(wioWaveOpen(cb), 0);
    Bytes back(3000);
    EXPECT_EQ(wioWaveReadData(cb, back.data(), 3000), 2000);
    back.resize(2000);
    EXPECT_EQ(back, samples);
    EXPECT_EQ(wioWaveReadData(cb, back.data(), 10), -1); // at the end of the range
    wioWaveClose(cb);
    wioFreeFileInfo(cb);
}

TEST(KvWaveIOData, PositionsClampToTheRangeAndReadFromThere) {
    const std::string name = path("range.wav");
    const Bytes samples = wavetest::ramp(400);
    writeWave(name, pcm(8000, 2, 16), samples); // 100 frames of 4 bytes
    PWAVEIOCB cb = nullptr;
    ASSERT_EQ(wioReadFileInfo(cb, name.c_str(), kWave, WIO_FILE), 0);
    EXPECT_EQ(wioWaveSetFirstSample(cb, 100), WIOERR_BADPARAM);
    EXPECT_EQ(wioWaveSetLastSample(cb, 101), WIOERR_BADPARAM);
    EXPECT_EQ(wioWaveSetFirstSample(cb, 10), 0);
    EXPECT_EQ(wioWaveSetLastSample(cb, 20), 0);
    EXPECT_EQ(wioWaveSetLastSample(cb, 10), WIOERR_BADPARAM);
    ASSERT_EQ(wioWaveOpen(cb), 0);
    EXPECT_EQ(cb->BytesLeft, 40u);
    ASSERT_EQ(wioWaveSetPosition(cb, 500), 0); // beyond the range: the last sample of it
    EXPECT_EQ(cb->Position, 9u);
    std::uint8_t frame[8] = {};
    EXPECT_EQ(wioWaveReadData(cb, frame, 8), 4);
    EXPECT_EQ(std::memcmp(frame, samples.data() + 19 * 4, 4), 0);
    EXPECT_EQ(wioWaveReadData(cb, frame, 4), -1);
    EXPECT_EQ(wioWaveSetPosition(cb, -1), WIOERR_FILEERROR);
    ASSERT_EQ(wioWaveSetPosition(cb, 2), 0);
    EXPECT_EQ(wioWaveReadSamples(cb, frame, 2), 2);
    EXPECT_EQ(std::memcmp(frame, samples.data() + 12 * 4, 8), 0);
    EXPECT_EQ(cb->Position, 4u);
    EXPECT_EQ(wioWaveReadDataDirect(cb, frame, 4), 4);
    EXPECT_EQ(std::memcmp(frame, samples.data() + 14 * 4, 4), 0);
    wioFreeFileInfo(cb); // closes the file still open
}

TEST(KvWaveIOData, MetadataAndCopiedChunksAreWrittenAtClose) {
    WaveBuilder src;
    src.fmt(wavetest::PcmFormat{})
        .data(wavetest::ramp(20))
        .add("cue ", Bytes(28, 1))
        .add("JUNK", Bytes(6))
        .add("plst", Bytes(16, 2))
        .fact(9999);
    const std::string srcName = path("cues.wav");
    src.writeFile(srcName);
    PWAVEIOCB in = nullptr;
    ASSERT_EQ(wioReadFileInfo(in, srcName.c_str(), kWave, WIO_FILE), 0);
    PWAVEIOCB out = nullptr;
    ASSERT_EQ(wioCreateFileInfo(out, &in->Format), 0);
    auto* title = static_cast<char*>(win::GlobalAllocPtr(win::GHND, 8));
    std::strcpy(title, "Title");
    RiffModifyINFO(out->InfoChunk, RiffFindPIINFO(out->InfoChunk, mmioFourCC('I', 'N', 'A', 'M')),
                   RIFF_MODIFIED, title, 0);
    auto* text = static_cast<char*>(win::GlobalAllocPtr(win::GHND, 4));
    std::strcpy(text, "Pic");
    RiffInsertDISP(out->DispList, RiffCreateDISP(RIFF_MODIFIED, CF_TEXT, nullptr, text));
    const std::string outName = path("copy.wav");
    ASSERT_EQ(wioWriteFileInfo(out, outName.c_str()), 0);
    EXPECT_EQ(wioWaveCopyUselessChunks(out, in), 0);
    EXPECT_EQ(wioWaveWriteData(out, wavetest::ramp(20).data(), 20), 20);
    EXPECT_EQ(wioWaveClose(out), 0);
    EXPECT_EQ(chunkIds(testsupport::readFile(outName)),
              (std::vector<std::string>{"fmt ", "data", "fact", "cue ", "plst", "DISP", "LIST"}));
    wioFreeFileInfo(out);
    wioFreeFileInfo(in);
    ASSERT_EQ(wioReadFileInfo(out, outName.c_str(), kWave, WIO_FILE), 0);
    EXPECT_STREQ(
        RiffINFOValue(out->InfoChunk, RiffFindPIINFO(out->InfoChunk, mmioFourCC('I', 'N', 'A', 'M'))),
        "Title");
    EXPECT_STREQ(static_cast<const char*>(RiffDISPValue(out->DispList->Head)), "Pic");
    wioFreeFileInfo(out);
}

TEST(KvWaveIOData, WholeFileLoadAndSaveRewriteTheFactCount) {
    WaveBuilder b;
    b.fmt(wavetest::PcmFormat{}).fact(9999).data(wavetest::ramp(300));
    const std::string name = path("fact.wav");
    b.writeFile(name);
    TWaveFormatEx* wfx = nullptr;
    void* data = nullptr;
    std::int32_t size = 0;
    ASSERT_EQ(wioWaveLoadFile(name.c_str(), wfx, data, size), 0);
    EXPECT_EQ(size, 300);
    EXPECT_EQ(std::memcmp(data, wavetest::ramp(300).data(), 300), 0);
    const std::string saved = path("saved.wav");
    ASSERT_EQ(wioWaveSaveFile(saved.c_str(), wfx, data, size), 0);
    const Bytes file = testsupport::readFile(saved);
    win::ByteReader r(file);
    r.seek(file.size() - 4);
    EXPECT_EQ(*r.u32(), 300u);
    EXPECT_EQ(wioWaveSaveFile(path("none.wav").c_str(), wfx, data, 0), WIOERR_FILEERROR);
    EXPECT_FALSE(wioFileExists(path("none.wav").c_str())); // a failed save leaves no file
    win::GlobalFreePtr(wfx);
    win::GlobalFreePtr(data);
    EXPECT_EQ(wioWaveLoadFile(path("missing.wav").c_str(), wfx, data, size), WIOERR_FILEERROR);
    EXPECT_EQ(data, nullptr);
}

TEST(KvWaveIOData, RawFilesMemoryImagesAndTheResource) {
    const std::string raw = path("noise.raw");
    const Bytes bytes = wavetest::ramp(1010);
    std::ofstream(raw, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), 1010);
    PWAVEIOCB cb = nullptr;
    ASSERT_EQ(wioBuildFileInfoFromRAW(cb, raw.c_str(), 10, 8000, 1, 16), 0);
    EXPECT_EQ(cb->Flags, WIO_RAW);
    EXPECT_EQ(cb->DataBytes, 1000u);
    EXPECT_EQ(cb->DataSamples, 500u);
    ASSERT_EQ(wioWaveOpen(cb), 0);
    ASSERT_EQ(wioWaveSetPosition(cb, 100), 0);
    Bytes got(1000);
    EXPECT_EQ(wioWaveReadData(cb, got.data(), 1000), 800);
    EXPECT_EQ(std::memcmp(got.data(), bytes.data() + 210, 800), 0);
    EXPECT_EQ(wioWaveWriteData(cb, got.data(), 2), -1); // raw files are read only
    wioFreeFileInfo(cb);

    WaveBuilder b;
    b.fmt(wavetest::PcmFormat{}).data(wavetest::ramp(64));
    const Bytes image = b.build();
    ASSERT_EQ(wioBuildFileInfoFromMem(cb, image.data(), std::int32_t(image.size())), 0);
    ASSERT_EQ(wioWaveOpen(cb), 0);
    EXPECT_EQ(wioWaveReadData(cb, got.data(), 64), 64);
    EXPECT_EQ(std::memcmp(got.data(), wavetest::ramp(64).data(), 64), 0);
    EXPECT_EQ(wioWaveClose(cb), 0);
    ASSERT_EQ(wioWaveOpen(cb), 0); // opens again from the kept MMIOINFO
    EXPECT_EQ(wioWaveReadData(cb, got.data(), 64), 64);
    wioFreeFileInfo(cb);

    ASSERT_EQ(wioBuildFileInfoFromResource(cb, "CHIME"), 0);
    EXPECT_EQ(cb->Flags, WIO_RESOURCE);
    EXPECT_GT(cb->DataSamples, 0u);
    ASSERT_EQ(wioWaveOpen(cb), 0);
    Bytes all(cb->DataBytes);
    EXPECT_EQ(wioWaveReadData(cb, all.data(), std::int32_t(all.size())), std::int32_t(all.size()));
    wioFreeFileInfo(cb);
    EXPECT_EQ(wioBuildFileInfoFromResource(cb, "NO SUCH SOUND"), WIOERR_FILEERROR);
}

TEST(KvWaveIOData, FileNames) {
    char name[260] = "/usr/share/../share/file.wav";
    EXPECT_TRUE(wioGetFullPathName(name));
    EXPECT_STREQ(name, "/usr/share/file.wav");
    EXPECT_EQ(wioExtractPath(name), 11);
    EXPECT_STREQ(name, "/usr/share/");
    char temp[260] = {};
    std::strcpy(temp, testsupport::workDir("wave").c_str());
    ASSERT_TRUE(wioFileCreateTemp(temp));
    EXPECT_EQ(std::string(temp).rfind(testsupport::workDir("wave").string(), 0), 0u) << temp;
    EXPECT_FALSE(wioFileExists(temp)); // the name is free for the caller to create
    EXPECT_FALSE(wioFileDelete(temp));
}
