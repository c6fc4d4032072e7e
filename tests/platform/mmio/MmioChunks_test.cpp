#include "MmioTestSupport.h"

#include "support/TestWork.h"

#include <gtest/gtest.h>

using namespace win;
using namespace mmiotest;

namespace {

// RIFF "TEST" { "aaaa"(3 bytes, padded), LIST "lst1" { "bbbb"(2) }, "cccc"(5, padded) }
std::vector<std::uint8_t> nestedImage() {
    ByteWriter inner;
    chunk(inner, "bbbb", {1, 2});
    ByteWriter body;
    chunk(body, "aaaa", {9, 8, 7});
    auto list = form("LIST", "lst1", inner.buffer());
    body.bytes(list.data(), list.size());
    chunk(body, "cccc", {5, 5, 5, 5, 5});
    return form("RIFF", "TEST", body.buffer());
}

TEST(MmioChunks, DescendReadsFormTypesAndAscendSkipsPadBytes) {
    auto bytes = nestedImage();
    HMMIO h = openImage(bytes);
    ASSERT_NE(h, nullptr);
    MMCKINFO riff{};
    ASSERT_EQ(mmioDescend(h, &riff, nullptr, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(riff.ckid, FOURCC_RIFF);
    EXPECT_EQ(riff.fccType, mmioFOURCC('T', 'E', 'S', 'T'));
    EXPECT_EQ(riff.dwDataOffset, 8u); // the form type is the start of the data
    EXPECT_EQ(riff.cksize, bytes.size() - 8);
    EXPECT_EQ(mmioSeek(h, 0, SEEK_CUR), 12); // behind the form type
    MMCKINFO a{};
    ASSERT_EQ(mmioDescend(h, &a, &riff, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(a.ckid, mmioFOURCC('a', 'a', 'a', 'a'));
    EXPECT_EQ(a.cksize, 3u);
    EXPECT_EQ(a.dwDataOffset, 20u);
    ASSERT_EQ(mmioAscend(h, &a, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(mmioSeek(h, 0, SEEK_CUR), 24); // 3 bytes and the pad
    MMCKINFO list{};
    list.fccType = mmioFOURCC('l', 's', 't', '1');
    ASSERT_EQ(mmioDescend(h, &list, &riff, MMIO_FINDLIST), MMSYSERR_NOERROR);
    MMCKINFO b{};
    ASSERT_EQ(mmioDescend(h, &b, &list, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(b.ckid, mmioFOURCC('b', 'b', 'b', 'b'));
    ASSERT_EQ(mmioAscend(h, &b, 0), MMSYSERR_NOERROR);
    MMCKINFO none{};
    EXPECT_EQ(mmioDescend(h, &none, &list, 0), MMIOERR_CHUNKNOTFOUND); // the end of the list
    ASSERT_EQ(mmioAscend(h, &list, 0), MMSYSERR_NOERROR);
    MMCKINFO c{};
    ASSERT_EQ(mmioDescend(h, &c, &riff, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(c.ckid, mmioFOURCC('c', 'c', 'c', 'c'));
    char data[5];
    EXPECT_EQ(mmioRead(h, data, 5), 5);
    mmioClose(h, 0);
}

// A search finds only what lies among the parent's children: never a chunk of a sibling or beyond.
struct FindCase {
    const char* name;
    UINT flags;
    FOURCC id;
    FOURCC type;
    bool fromList; // search inside the LIST instead of the RIFF
    MMRESULT result;
};

class MmioFind : public ::testing::TestWithParam<FindCase> {};

TEST_P(MmioFind, SearchesStayInsideTheParent) {
    auto bytes = nestedImage();
    // After the RIFF chunk, a chunk that only a search leaving its parent would find.
    ByteWriter tail;
    chunk(tail, "zzzz", {1, 2, 3, 4});
    bytes.insert(bytes.end(), tail.buffer().begin(), tail.buffer().end());
    HMMIO h = openImage(bytes);
    MMCKINFO riff{};
    riff.fccType = mmioFOURCC('T', 'E', 'S', 'T');
    ASSERT_EQ(mmioDescend(h, &riff, nullptr, MMIO_FINDRIFF), MMSYSERR_NOERROR);
    MMCKINFO parent = riff;
    if (GetParam().fromList) {
        parent.fccType = mmioFOURCC('l', 's', 't', '1');
        ASSERT_EQ(mmioDescend(h, &parent, &riff, MMIO_FINDLIST), MMSYSERR_NOERROR);
    }
    MMCKINFO ck{};
    ck.ckid = GetParam().id;
    ck.fccType = GetParam().type;
    EXPECT_EQ(mmioDescend(h, &ck, &parent, GetParam().flags), GetParam().result);
    if (GetParam().result == MMSYSERR_NOERROR && GetParam().flags == MMIO_FINDCHUNK) {
        EXPECT_EQ(ck.ckid, GetParam().id);
    }
    mmioClose(h, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MmioFind,
    ::testing::Values(
        FindCase{"LaterSibling", MMIO_FINDCHUNK, mmioFOURCC('c', 'c', 'c', 'c'), 0, false, MMSYSERR_NOERROR},
        FindCase{"ChildOfSibling", MMIO_FINDCHUNK, mmioFOURCC('b', 'b', 'b', 'b'), 0, false,
                 MMIOERR_CHUNKNOTFOUND},
        FindCase{"AfterTheParent", MMIO_FINDCHUNK, mmioFOURCC('z', 'z', 'z', 'z'), 0, false,
                 MMIOERR_CHUNKNOTFOUND},
        FindCase{"ListOfOtherType", MMIO_FINDLIST, 0, mmioFOURCC('x', 'x', 'x', 'x'), false,
                 MMIOERR_CHUNKNOTFOUND},
        FindCase{"InsideTheList", MMIO_FINDCHUNK, mmioFOURCC('b', 'b', 'b', 'b'), 0, true, MMSYSERR_NOERROR},
        FindCase{"SiblingOfTheList", MMIO_FINDCHUNK, mmioFOURCC('c', 'c', 'c', 'c'), 0, true,
                 MMIOERR_CHUNKNOTFOUND}),
    [](const auto& info) { return std::string(info.param.name); });

// Sizes from the data that no seek, read or allocation may trust.
struct HostileCase {
    const char* name;
    std::uint32_t size;
};

class MmioHostileSizes : public ::testing::TestWithParam<HostileCase> {};

TEST_P(MmioHostileSizes, AreReportedAndNeverFollowed) {
    ByteWriter body;
    chunk(body, "huge", {1, 2, 3, 4}, GetParam().size);
    chunk(body, "next", {7, 7});
    auto bytes = form("RIFF", "TEST", body.buffer());
    HMMIO h = openImage(bytes);
    MMCKINFO riff{};
    ASSERT_EQ(mmioDescend(h, &riff, nullptr, 0), MMSYSERR_NOERROR);
    MMCKINFO ck{};
    ck.ckid = mmioFOURCC('n', 'e', 'x', 't');
    // The search cannot step over a chunk that claims to run past its parent.
    EXPECT_EQ(mmioDescend(h, &ck, &riff, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND);
    ASSERT_EQ(mmioSeek(h, 12, SEEK_SET), 12);
    // Descending without a search reports the chunk as it claims to be, for the caller to judge...
    ASSERT_EQ(mmioDescend(h, &ck, &riff, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(ck.cksize, GetParam().size);
    // ...but ascending cannot leave it past the end of the image.
    EXPECT_EQ(mmioAscend(h, &ck, 0), MMIOERR_CANNOTSEEK);
    mmioClose(h, 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, MmioHostileSizes,
                         ::testing::Values(HostileCase{"AllOnes", 0xFFFFFFFFu},
                                           HostileCase{"PastTheEnd", 1000u},
                                           HostileCase{"WrapsA32BitOffset", 0xFFFFFFF0u},
                                           HostileCase{"PastALong", 0x80000000u}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MmioChunks, ShortAndTruncatedHeadersAreNotFound) {
    ByteWriter w;
    w.fourcc("RIFF");
    w.u32(100);
    auto bytes = w.buffer(); // no form type
    HMMIO h = openImage(bytes);
    MMCKINFO ck{};
    EXPECT_EQ(mmioDescend(h, &ck, nullptr, 0), MMIOERR_CHUNKNOTFOUND);
    mmioClose(h, 0);
    std::vector<std::uint8_t> partial{'f', 'm', 't', ' ', 1};
    h = openImage(partial);
    EXPECT_EQ(mmioDescend(h, &ck, nullptr, 0), MMIOERR_CHUNKNOTFOUND);
    mmioClose(h, 0);
    // A LIST too small for its type reads without one and is left as a whole.
    ByteWriter small;
    chunk(small, "LIST", {'a', 'b'});
    chunk(small, "next", {});
    bytes = small.buffer();
    h = openImage(bytes);
    ASSERT_EQ(mmioDescend(h, &ck, nullptr, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(ck.fccType, 0u);
    EXPECT_EQ(mmioSeek(h, 0, SEEK_CUR), 8);
    ASSERT_EQ(mmioAscend(h, &ck, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioDescend(h, &ck, nullptr, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(ck.ckid, mmioFOURCC('n', 'e', 'x', 't'));
    mmioClose(h, 0);
}

TEST(MmioChunks, ALastOddChunkWithoutItsPadByteCanBeLeft) {
    ByteWriter w;
    chunk(w, "odd ", {1, 2, 3});
    auto bytes = w.buffer();
    bytes.pop_back(); // many writers leave the pad out at the end of a file
    HMMIO h = openImage(bytes);
    MMCKINFO ck{};
    ASSERT_EQ(mmioDescend(h, &ck, nullptr, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(mmioAscend(h, &ck, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(mmioSeek(h, 0, SEEK_CUR), 11);
    EXPECT_EQ(mmioDescend(h, &ck, nullptr, 0), MMIOERR_CHUNKNOTFOUND);
    mmioClose(h, 0);
}

// Written through create and ascend: nested chunks of odd sizes get their real sizes and pad bytes.
TEST(MmioChunks, CreateAndAscendWriteRealSizesAndPads) {
    std::string name = (testsupport::workDir("mmio") / "nested.riff").string();
    HMMIO h = mmioOpen(name.data(), nullptr, MMIO_CREATE | MMIO_READWRITE | MMIO_ALLOCBUF);
    ASSERT_NE(h, nullptr);
    MMCKINFO riff{};
    riff.fccType = mmioFOURCC('T', 'E', 'S', 'T');
    ASSERT_EQ(mmioCreateChunk(h, &riff, MMIO_CREATERIFF), MMSYSERR_NOERROR);
    EXPECT_EQ(riff.ckid, FOURCC_RIFF);
    EXPECT_EQ(riff.dwDataOffset, 8u);
    EXPECT_EQ(riff.dwFlags, MMIO_DIRTY);
    MMCKINFO a{mmioFOURCC('a', 'a', 'a', 'a'), 0, 0, 0, 0};
    ASSERT_EQ(mmioCreateChunk(h, &a, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioWrite(h, "\x09\x08\x07", 3), 3);
    ASSERT_EQ(mmioAscend(h, &a, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(a.cksize, 3u);
    MMCKINFO list{};
    list.fccType = mmioFOURCC('l', 's', 't', '1');
    ASSERT_EQ(mmioCreateChunk(h, &list, MMIO_CREATELIST), MMSYSERR_NOERROR);
    MMCKINFO b{mmioFOURCC('b', 'b', 'b', 'b'), 0, 0, 0, 0};
    ASSERT_EQ(mmioCreateChunk(h, &b, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioWrite(h, "\x01\x02", 2), 2);
    ASSERT_EQ(mmioAscend(h, &b, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioAscend(h, &list, 0), MMSYSERR_NOERROR);
    MMCKINFO c{mmioFOURCC('c', 'c', 'c', 'c'), 0, 0, 0, 0};
    ASSERT_EQ(mmioCreateChunk(h, &c, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioWrite(h, "\x05\x05\x05\x05\x05", 5), 5);
    ASSERT_EQ(mmioAscend(h, &c, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioAscend(h, &riff, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(testsupport::readFile(name), nestedImage());
}

TEST(MmioChunks, AscendingADirtyChunkRewritesAStaleSize) {
    ByteWriter w;
    chunk(w, "data", {1, 2, 3, 4, 5, 6}, 0); // a size of 0 left by an interrupted recording
    auto bytes = w.buffer();
    HMMIO h = openImage(bytes, MMIO_READWRITE);
    MMCKINFO ck{};
    ASSERT_EQ(mmioDescend(h, &ck, nullptr, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(ck.cksize, 0u);
    ASSERT_EQ(mmioSeek(h, 6, SEEK_CUR), 14);
    ck.dwFlags |= MMIO_DIRTY;
    ASSERT_EQ(mmioAscend(h, &ck, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(ck.cksize, 6u);
    EXPECT_EQ(bytes[4], 6);
    mmioClose(h, 0);
}

TEST(MmioChunks, StringsBecomeFourCCs) {
    EXPECT_EQ(mmioStringToFOURCC("fmt ", 0), mmioFOURCC('f', 'm', 't', ' '));
    EXPECT_EQ(mmioStringToFOURCC("wave", MMIO_TOUPPER), mmioFOURCC('W', 'A', 'V', 'E'));
    EXPECT_EQ(mmioStringToFOURCC("ab", 0), mmioFOURCC('a', 'b', ' ', ' '));
    EXPECT_EQ(mmioStringToFOURCC("", 0), mmioFOURCC(' ', ' ', ' ', ' '));
    EXPECT_EQ(mmioStringToFOURCC("LISTING", 0), FOURCC_LIST);
}

} // namespace
