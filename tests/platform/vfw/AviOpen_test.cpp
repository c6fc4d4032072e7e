// Opening: result codes and their detail text, damaged and truncated files, and inputs built to make a
// reader allocate, loop or read out of bounds.
#include "AviTestUtil.h"

using namespace avitest;
using namespace win;

// The id of an OpenDML super index, for finding it in built bytes.
constexpr std::string_view kIndxId = "indx";

namespace {

AviBuilder tenFrames(Idx1 idx1 = Idx1::Relative) {
    AviBuilder b;
    b.options.idx1 = idx1;
    int v = b.addVideo(8, 8);
    for (int i = 0; i < 10; ++i)
        b.addFrame(v, 40, std::uint8_t(i), i % 5 == 0);
    return b;
}

TEST(AviOpen, MissingFileGivesFileOpenWithTheSystemReason) {
    PAVIFILE f = reinterpret_cast<PAVIFILE>(1);
    EXPECT_EQ(AVIFileOpenA(&f, (workDir() / "does-not-exist.avi").c_str(), OF_READ, nullptr),
              AVIERR_FILEOPEN);
    EXPECT_EQ(f, nullptr);
    EXPECT_EQ(AVILastErrorDetail(), "No such file or directory");
    EXPECT_EQ(AVIFileOpenA(&f, workDir().c_str(), OF_READ, nullptr), AVIERR_FILEOPEN);
}

TEST(AviOpen, NonAviGivesBadFormat) {
    auto path = writeFile("not-avi.wav", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'});
    PAVIFILE f = nullptr;
    EXPECT_EQ(AVIFileOpenA(&f, path.c_str(), OF_READ | OF_SHARE_EXCLUSIVE, nullptr), AVIERR_BADFORMAT);
    EXPECT_EQ(AVILastErrorDetail(), "not a RIFF AVI file (offset 0x0)");
    HRESULT rc;
    EXPECT_FALSE(openBytes({}, &rc));
    EXPECT_EQ(rc, AVIERR_BADFORMAT);
}

TEST(AviOpen, FromDiskWithReferenceCounting) {
    auto path = writeFile("ten.avi", tenFrames().build());
    PAVIFILE f = nullptr;
    ASSERT_EQ(AVIFileOpenA(&f, path.c_str(), OF_READ | OF_SHARE_DENY_WRITE, nullptr), AVIERR_OK);
    EXPECT_EQ(AVILastErrorDetail(), "");
    EXPECT_EQ(AVIFileAddRef(f), 2u);
    EXPECT_EQ(AVIFileRelease(f), 1u);
    PAVISTREAM s = nullptr;
    ASSERT_EQ(AVIFileGetStream(f, &s, streamtypeVIDEO, 0), AVIERR_OK);
    EXPECT_EQ(AVIFileRelease(f), 0u);
    EXPECT_EQ(*sample(s, 9), std::vector<std::uint8_t>(40, 9));
    EXPECT_EQ(AVIStreamRelease(s), 0u);
    // Creating over an existing file empties it and writes it anew.
    ASSERT_EQ(AVIFileOpenA(&f, path.c_str(), OF_CREATE | OF_WRITE, nullptr), AVIERR_OK);
    EXPECT_EQ(AVIFileRelease(f), 0u);
    EXPECT_EQ(AVIClearClipboard(), 0);
}

TEST(AviDamage, TruncatedFileKeepsTheFramesBeforeTheCut) {
    AviBuilder b = tenFrames();
    auto bytes = b.build();
    // Cut in the middle of frame 6: idx1 is gone, frames 0..5 are whole.
    auto cut = truncated(bytes, std::size_t(b.chunks[6].dataPos + 10));
    HRESULT rc;
    auto file = openBytes(cut, &rc);
    ASSERT_EQ(rc, AVIERR_OK) << AVILastErrorDetail();
    auto s = stream(file.get(), 0, 0);
    EXPECT_EQ(AVIStreamLength(s.get()), 6);
    EXPECT_EQ(*sample(s.get(), 5), std::vector<std::uint8_t>(40, 5));
    EXPECT_EQ(AVIStreamFindSample(s.get(), 5, FIND_PREV | FIND_KEY), 5);
}

TEST(AviDamage, IndexPastTheEndIsRebuiltOrReported) {
    AviBuilder b = tenFrames();
    auto bytes = b.build();
    // The idx1 entry of frame 7 points far past the end of the (complete) file: scan instead.
    std::size_t idx1 = bytes.size() - 10 * 16;
    patchU32(bytes, idx1 + 7 * 16 + 8, 0x7FFFFF00);
    HRESULT rc;
    auto file = openBytes(bytes, &rc);
    ASSERT_EQ(rc, AVIERR_OK);
    EXPECT_EQ(AVIStreamLength(stream(file.get(), 0, 0).get()), 10);

    // With the chunks themselves destroyed there is nothing to rebuild from: the index problem is the
    // reason given.
    for (auto& c : b.chunks)
        std::fill(bytes.begin() + long(c.dataPos) - 8, bytes.begin() + long(c.dataPos), 0xEE);
    file = openBytes(bytes, &rc);
    EXPECT_FALSE(file);
    EXPECT_EQ(rc, AVIERR_BADFORMAT);
    EXPECT_NE(AVILastErrorDetail().find("idx1"), std::string::npos) << AVILastErrorDetail();
}

TEST(AviDamage, EntryPastTheEndReportedWithStreamAndEntry) {
    AviBuilder b = tenFrames();
    auto bytes = b.build();
    std::size_t idx1 = bytes.size() - 10 * 16;
    patchU32(bytes, idx1 + 9 * 16 + 12, 0x00FFFFFF); // last frame claims 16 MB
    for (auto& c : b.chunks)
        std::fill(bytes.begin() + long(c.dataPos) - 8, bytes.begin() + long(c.dataPos) - 4, 'x');
    // Restore the ids spot-checked by the loader so only the size is wrong; the scan finds nothing.
    for (std::size_t i = 0; i < 10; ++i)
        std::copy_n("00dc", 4, bytes.begin() + long(b.chunks[i].dataPos) - 8);
    for (std::size_t i = 0; i < 10; ++i)
        patchU32(bytes, std::size_t(b.chunks[i].dataPos) - 4, 0x7FFFFFF0);
    HRESULT rc;
    EXPECT_FALSE(openBytes(bytes, &rc));
    EXPECT_EQ(rc, AVIERR_BADFORMAT);
    EXPECT_NE(AVILastErrorDetail().find("stream 0: index entry 9 points past the end of the file (offset 0x"),
              std::string::npos)
        << AVILastErrorDetail();
}

TEST(AviDamage, GarbageInsideMoviIsSkippedWhenScanning) {
    AviBuilder b = tenFrames(Idx1::None);
    auto bytes = b.build();
    // Overwrite the header of frame 3 with bytes that are no chunk id.
    std::fill(bytes.begin() + long(b.chunks[3].dataPos) - 8, bytes.begin() + long(b.chunks[3].dataPos), 0x01);
    HRESULT rc;
    auto file = openBytes(bytes, &rc);
    ASSERT_EQ(rc, AVIERR_OK);
    auto s = stream(file.get(), 0, 0);
    EXPECT_EQ(AVIStreamLength(s.get()), 9);
    EXPECT_EQ(*sample(s.get(), 3), std::vector<std::uint8_t>(40, 4));
}

TEST(AviHostile, HugeCountsAndSizesDoNotAllocate) {
    AviBuilder b = tenFrames();
    b.options.openDml = true;
    b.options.idx1 = Idx1::None;
    auto bytes = b.build();
    // Find the indx chunk and claim 2^32-1 entries in it, and in the ix chunk.
    auto find = [&](const char* id) {
        for (std::size_t i = 0; i + 4 <= bytes.size(); ++i)
            if (std::equal(id, id + 4, bytes.begin() + long(i))) return i;
        return std::size_t(0);
    };
    std::size_t indx = find("indx"), ix = find("ix00");
    ASSERT_TRUE(indx && ix);
    patchU32(bytes, indx + 8 + 4, 0xFFFFFFFF);
    patchU32(bytes, ix + 8 + 4, 0xFFFFFFFF);
    HRESULT rc;
    auto file = openBytes(bytes, &rc);
    ASSERT_EQ(rc, AVIERR_OK);
    EXPECT_EQ(AVIStreamLength(stream(file.get(), 0, 0).get()), 10);

    // A super index whose slots all point at the same ix chunk lists more chunks than the file holds.
    auto many = b.build();
    indx = std::size_t(std::search(many.begin(), many.end(), kIndxId.begin(), kIndxId.end()) - many.begin());
    std::vector<std::uint8_t> slot(many.begin() + long(indx) + 32, many.begin() + long(indx) + 48);
    for (int k = 1; k < 32; ++k)
        std::copy(slot.begin(), slot.end(), many.begin() + long(indx) + 32 + 16 * k);
    patchU32(many, indx + 8 + 4, 32);
    file = openBytes(many, &rc);
    ASSERT_EQ(rc, AVIERR_OK); // falls back to scanning movi
    EXPECT_EQ(AVIStreamLength(stream(file.get(), 0, 0).get()), 10);
}

TEST(AviHostile, AbsurdHeaderSizesAreClamped) {
    AviBuilder b = tenFrames();
    auto bytes = b.build();
    patchU32(bytes, 4, 0xFFFFFFF0);  // RIFF
    patchU32(bytes, 16, 0xFFFFFFF0); // LIST hdrl: broken header, movi is searched for
    HRESULT rc;
    auto file = openBytes(bytes, &rc);
    ASSERT_EQ(rc, AVIERR_OK) << AVILastErrorDetail();
    EXPECT_EQ(AVIStreamLength(stream(file.get(), 0, 0).get()), 10);
}

} // namespace
