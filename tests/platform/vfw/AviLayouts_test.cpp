// The same frames written in every layout real writers produce must read back the same: indexes of
// each kind, no index, record lists, missing pad bytes, unfinished headers.
#include "AviTestUtil.h"

using namespace avitest;
using namespace win;

// The id of an OpenDML super index, for finding it in built bytes.
constexpr std::string_view kIndxId = "indx";

namespace {

struct Layout {
    const char* name;
    void (*apply)(Options&);
};

const Layout kLayouts[] = {
    {"idx1Relative", [](Options&) {}},
    {"idx1Absolute", [](Options& o) { o.idx1 = Idx1::Absolute; }},
    {"idx1OffByFour", [](Options& o) { o.idx1Bias = 4; }},
    {"noIndex", [](Options& o) { o.idx1 = Idx1::None; }},
    {"recLists", [](Options& o) { o.recEvery = 2; }},
    {"recListsNoIndex", [](Options& o) { o.recEvery = 3, o.idx1 = Idx1::None; }},
    {"junkBeforeMovi", [](Options& o) { o.junkBeforeMovi = true; }},
    {"noPadBytesNoIndex", [](Options& o) { o.padOddChunks = false, o.idx1 = Idx1::None; }},
    {"noPadBytesIdx1", [](Options& o) { o.padOddChunks = false; }},
    {"riffSizeZero", [](Options& o) { o.riffSizeZero = true, o.idx1 = Idx1::None; }},
    {"moviSizeZero", [](Options& o) { o.moviSizeZero = true, o.idx1 = Idx1::None; }},
    {"openDml", [](Options& o) { o.openDml = true, o.idx1 = Idx1::None; }},
    {"openDmlWithIdx1", [](Options& o) { o.openDml = true; }},
    {"openDmlAvix", [](Options& o) { o.openDml = true, o.chunksPerRiff = 4; }},
    {"openDmlFieldIndex", [](Options& o) { o.openDml = true, o.chunksPerRiff = 5, o.fieldIndex = true; }},
    {"wrongTotals", [](Options& o) { o.avihTotalFrames = 3; }},
};

// Video frames of odd and even sizes with a dropped frame and non-key frames, interleaved with audio.
AviBuilder sampleFile(const Layout& layout) {
    AviBuilder b;
    layout.apply(b.options);
    int v = b.addVideo(8, 4, 24, mmioFOURCC('X', 'V', 'I', 'D'));
    int a = b.addAudio(1, 8000, 16);
    for (int i = 0; i < 9; ++i) {
        std::size_t size = i == 4 ? 0 : 20 + std::size_t(i) * 3; // odd and even sizes, one dropped
        auto& c = b.addFrame(v, size, std::uint8_t(0x10 + i), i % 3 == 0);
        if (size >= 5)
            c.data[0] = 0, c.data[1] = 0, c.data[2] = 1, c.data[3] = 0xB6, c.data[4] = i % 3 ? 0x40 : 0;
        b.addFrame(a, 10 + std::size_t(i % 2) * 2, std::uint8_t(0xA0 + i));
    }
    return b;
}

class AviLayouts : public ::testing::TestWithParam<Layout> {};

TEST_P(AviLayouts, FramesAudioAndKeysReadBack) {
    AviBuilder b = sampleFile(GetParam());
    auto bytes = b.build();
    HRESULT rc;
    auto file = openBytes(bytes, &rc);
    ASSERT_EQ(rc, AVIERR_OK) << AVILastErrorDetail();
    auto video = stream(file.get(), streamtypeVIDEO, 0);
    auto audio = stream(file.get(), streamtypeAUDIO, 0);
    ASSERT_TRUE(video && audio);

    std::vector<const Chunk*> frames, blocks;
    for (auto& c : b.chunks)
        (c.stream == 0 ? frames : blocks).push_back(&c);
    ASSERT_EQ(AVIStreamLength(video.get()), LONG(frames.size()));
    std::uint32_t largest = 0;
    for (LONG i = 0; i < LONG(frames.size()); ++i) {
        auto got = sample(video.get(), i);
        ASSERT_TRUE(got) << "frame " << i;
        EXPECT_EQ(*got, frames[std::size_t(i)]->data) << "frame " << i;
        bool key = frames[std::size_t(i)]->key && !frames[std::size_t(i)]->data.empty();
        EXPECT_EQ(AVIStreamFindSample(video.get(), i, FIND_PREV | FIND_KEY) == i, key) << "frame " << i;
        largest = std::max(largest, std::uint32_t(frames[std::size_t(i)]->data.size()));
    }
    EXPECT_EQ(info(video.get()).dwSuggestedBufferSize, largest);

    // Audio as one byte stream of 2-byte blocks across the chunks.
    std::vector<std::uint8_t> expected;
    for (auto* c : blocks)
        expected.insert(expected.end(), c->data.begin(), c->data.end());
    ASSERT_EQ(AVIStreamLength(audio.get()), LONG(expected.size() / 2));
    std::vector<std::uint8_t> all(expected.size());
    LONG bytesRead = 0, samplesRead = 0;
    ASSERT_EQ(AVIStreamRead(audio.get(), 0, AVIStreamLength(audio.get()), all.data(), LONG(all.size()),
                            &bytesRead, &samplesRead),
              AVIERR_OK);
    EXPECT_EQ(samplesRead, AVIStreamLength(audio.get()));
    EXPECT_EQ(all, expected);
}

INSTANTIATE_TEST_SUITE_P(Avi, AviLayouts, ::testing::ValuesIn(kLayouts),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(AviIndexChoice, OpenDmlIsUsedAcrossAvixAndIdx1WhenAlone) {
    AviBuilder b = sampleFile(kLayouts[0]);
    b.options.openDml = true;
    b.options.chunksPerRiff = 6;
    auto file = openBytes(b.build());
    ASSERT_TRUE(file);
    auto& model = static_cast<AviFile*>(file.get())->model();
    EXPECT_EQ(model.indexSource, AviFileModel::IndexSource::OpenDml);
    EXPECT_EQ(model.dmlhTotalFrames, 9u);

    AviBuilder plain = sampleFile(kLayouts[0]);
    auto f2 = openBytes(plain.build());
    EXPECT_EQ(static_cast<AviFile*>(f2.get())->model().indexSource, AviFileModel::IndexSource::Idx1);
}

TEST(AviIndexChoice, IndexPointingElsewhereIsRebuiltByScanning) {
    AviBuilder b = sampleFile(kLayouts[0]);
    b.options.idx1Bias = 2; // matches no chunk under any interpretation
    auto file = openBytes(b.build());
    ASSERT_TRUE(file);
    auto& model = static_cast<AviFile*>(file.get())->model();
    EXPECT_EQ(model.indexSource, AviFileModel::IndexSource::Scan);
    EXPECT_FALSE(model.indexProblem.empty());
    auto video = stream(file.get(), streamtypeVIDEO, 0);
    EXPECT_EQ(AVIStreamLength(video.get()), 9);
    // Scanned MPEG-4: frames whose VOP is intra are the key frames, the dropped frame is not.
    EXPECT_EQ(AVIStreamFindSample(video.get(), 5, FIND_PREV | FIND_KEY), 3);
    EXPECT_EQ(AVIStreamFindSample(video.get(), 4, FIND_NEXT | FIND_KEY), 6);
}

} // namespace

namespace {

TEST(AviLarge, OpenDmlChunksAboveFourGigabytes) {
    AviBuilder b = sampleFile(kLayouts[0]);
    b.options.openDml = true;
    b.options.idx1 = Idx1::None;
    b.options.chunksPerRiff = 6;
    b.options.gapBeforeAvix = (std::uint64_t(9) << 29) + 12; // 4.5 GB
    auto bytes = b.build();
    auto path = (workDir() / "above-4gb.avi").string();
    if (!b.writeFile(path, bytes)) GTEST_SKIP() << "cannot write a sparse file here";
    PAVIFILE f = nullptr;
    HRESULT rc = AVIFileOpenA(&f, path.c_str(), OF_READ, nullptr);
    FilePtr file(f);
    std::filesystem::remove(path);
    ASSERT_EQ(rc, AVIERR_OK) << AVILastErrorDetail();
    EXPECT_EQ(static_cast<AviFile*>(file.get())->model().indexSource, AviFileModel::IndexSource::OpenDml);
    auto video = stream(file.get(), streamtypeVIDEO, 0);
    ASSERT_EQ(AVIStreamLength(video.get()), 9);
    ASSERT_GT(b.chunks.back().dataPos, std::uint64_t(1) << 32);
    for (LONG i = 0; i < 9; ++i) {
        const Chunk* c = nullptr;
        int k = -1;
        for (auto& x : b.chunks)
            if (x.stream == 0 && ++k == i) c = &x;
        EXPECT_EQ(*sample(video.get(), i), c->data) << i;
    }
}

} // namespace

namespace {

TEST(AviIndexChoice, Idx1OfTheFirstRiffAloneIsNotEnoughWithAvix) {
    AviBuilder b = sampleFile(kLayouts[0]);
    b.options.openDml = true;
    b.options.chunksPerRiff = 6;
    auto bytes = b.build();
    // Hide every indx: only the idx1 of the first RIFF remains, so movi must be scanned.
    for (auto it = std::search(bytes.begin(), bytes.end(), kIndxId.begin(), kIndxId.end()); it != bytes.end();
         it = std::search(it, bytes.end(), kIndxId.begin(), kIndxId.end()))
        std::copy_n("JUNK", 4, it);
    auto file = openBytes(bytes);
    ASSERT_TRUE(file);
    EXPECT_EQ(static_cast<AviFile*>(file.get())->model().indexSource, AviFileModel::IndexSource::Scan);
    EXPECT_EQ(AVIStreamLength(stream(file.get(), streamtypeVIDEO, 0).get()), 9);
}

} // namespace
