// The INFO and DISP models: parsing hostile INFO bodies, the edit rules, and writing and reading both
// through real mmio files.
#include "wave/KvRIFF.h"

#include "platform/win/GlobalMemory.h"
#include "support/TestWork.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace kv;

namespace {

char* globalText(const std::string& s) {
    auto* p = static_cast<char*>(win::GlobalAllocPtr(win::GHND, s.size() + 1));
    std::memcpy(p, s.c_str(), s.size());
    return p;
}

// An INFO list whose raw body is `body` (without the "INFO" form type), parsed.
PInfoChunk parsed(const wavetest::Bytes& body) {
    PInfoChunk chunk = nullptr;
    EXPECT_EQ(RiffInitINFO(chunk), RIFFERR_NOERROR);
    chunk->RawText = static_cast<char*>(win::GlobalAllocPtr(win::GHND, body.size() + 1));
    std::memcpy(chunk->RawText, body.data(), body.size());
    chunk->RawSize = win::DWORD(body.size());
    EXPECT_EQ(RiffParseINFO(chunk), RIFFERR_NOERROR);
    return chunk;
}

std::string value(PInfoChunk chunk, const char* id) {
    const char* v = RiffINFOValue(chunk, RiffFindPIINFO(chunk, win::mmioStringToFOURCC(id, 0)));
    return v ? v : "";
}

wavetest::Bytes withoutForm(wavetest::Bytes b) {
    return wavetest::Bytes(b.begin() + 4, b.end());
}

} // namespace

TEST(KvRIFF, FourCCAndTable) {
    EXPECT_EQ(mmioFourCC('f', 'm', 't', ' '), win::mmioStringToFOURCC("fmt ", 0));
    EXPECT_EQ(RiffFindaINFO(win::mmioStringToFOURCC("IARL", 0)), 0);
    EXPECT_EQ(RiffFindaINFO(win::mmioStringToFOURCC("ITCH", 0)), 22);
    EXPECT_EQ(RiffFindaINFO(win::mmioStringToFOURCC("IXYZ", 0)), -1);
    EXPECT_STREQ(aINFO[14].Name, "Name");
    EXPECT_EQ(aINFO[INFO_TAG_COUNT].Id, nullptr);
    for (int i = 0; i < INFO_TAG_COUNT; ++i) {
        EXPECT_EQ(std::strlen(aINFO[i].Id), 4u) << i;
        EXPECT_GT(std::strlen(aINFO[i].Description), 10u) << i;
    }
}

TEST(KvRIFF, ParseStepsOverPadBytesAndSkipsUnknownTags) {
    PInfoChunk chunk =
        parsed(withoutForm(wavetest::infoBody({{"INAM", "abcd"}, {"IXYZ", "lost"}, {"IART", "Me"}})));
    EXPECT_EQ(value(chunk, "INAM"), "abcd"); // 5 bytes + pad
    EXPECT_EQ(value(chunk, "IART"), "Me");
    RiffFreeINFO(chunk);
    EXPECT_EQ(chunk, nullptr);
}

// Values that do not end in their sub-chunk, sub-chunks past the body and sizes that overflow when padded.
TEST(KvRIFF, ParseIsSafeOnHostileBodies) {
    PInfoChunk chunk =
        parsed(withoutForm(wavetest::infoBody({{"INAM", "ab"}, {"IART", "xyz!"}}, false, false)));
    EXPECT_EQ(value(chunk, "INAM"), "ab");
    EXPECT_EQ(value(chunk, "IART"), "xyz!");
    RiffFreeINFO(chunk);

    win::ByteWriter w; // a sub-chunk that claims 0xFFFFFFFF bytes
    w.fourcc("ICMT");
    w.u32(0xFFFFFFFF);
    w.bytes("note", 4);
    chunk = parsed(w.buffer());
    EXPECT_EQ(value(chunk, "ICMT"), "note");
    RiffFreeINFO(chunk);

    chunk = parsed({'I', 'N', 'A'}); // a header fragment
    EXPECT_EQ(value(chunk, "INAM"), "");
    RiffFreeINFO(chunk);
}

TEST(KvRIFF, ModifyKeepsTheFileValueAndClearsOnlyWhatWasThere) {
    PInfoChunk chunk = parsed(withoutForm(wavetest::infoBody({{"INAM", "Song"}})));
    PInfoData name = RiffFindPIINFO(chunk, win::mmioStringToFOURCC("INAM", 0));
    RiffModifyINFO(chunk, name, RIFF_MODIFIED, globalText("Song"), 0);
    EXPECT_EQ(name->Flags, RIFF_AS_READ);
    EXPECT_EQ(name->NewText, nullptr);
    RiffModifyINFO(chunk, name, RIFF_MODIFIED, globalText(""), 0);
    EXPECT_EQ(value(chunk, "INAM"), ""); // cleared
    EXPECT_EQ(name->Flags, RIFF_MODIFIED);

    PInfoData artist = RiffFindPIINFO(chunk, win::mmioStringToFOURCC("IART", 0));
    RiffModifyINFO(chunk, artist, RIFF_MODIFIED, globalText(""), 0);
    EXPECT_EQ(artist->NewText, nullptr); // nothing to clear: the text is released
    RiffModifyINFO(chunk, artist, RIFF_MODIFIED, globalText("Band"), 0);
    EXPECT_EQ(value(chunk, "IART"), "Band");
    RiffModifyINFO(chunk, artist, RIFF_REVERTED, nullptr, 0);
    EXPECT_EQ(value(chunk, "IART"), "");
    EXPECT_EQ(artist->Flags, RIFF_REVERTED);
    RiffModifyINFO(chunk, nullptr, RIFF_MODIFIED, globalText("no entry"), 0); // released, not leaked
    RiffFreeINFO(chunk);
}

namespace {

// Writes through `write` into a new RIFF "TEST" file and returns the mmio handle reopened for reading,
// descended into the RIFF chunk.
template <typename Write> win::HMMIO roundTrip(const std::string& path, Write write, win::MMCKINFO& riff) {
    std::string name = path;
    win::HMMIO h =
        win::mmioOpen(name.data(), nullptr, win::MMIO_CREATE | win::MMIO_READWRITE | win::MMIO_ALLOCBUF);
    EXPECT_NE(h, nullptr);
    win::MMCKINFO form{};
    form.fccType = win::mmioFOURCC('T', 'E', 'S', 'T');
    EXPECT_EQ(win::mmioCreateChunk(h, &form, win::MMIO_CREATERIFF), 0u);
    write(h);
    EXPECT_EQ(win::mmioAscend(h, &form, 0), 0u);
    win::mmioClose(h, 0);
    h = win::mmioOpen(name.data(), nullptr, win::MMIO_READ | win::MMIO_ALLOCBUF);
    EXPECT_EQ(win::mmioDescend(h, &riff, nullptr, 0), 0u);
    return h;
}

} // namespace

TEST(KvRIFF, InfoWritesPresentValuesAndReadsThemBack) {
    PInfoChunk out = nullptr;
    RiffInitINFO(out);
    RiffModifyINFO(out, RiffFindPIINFO(out, win::mmioStringToFOURCC("ICMT", 0)), RIFF_MODIFIED,
                   globalText("odd"), 0);
    RiffModifyINFO(out, RiffFindPIINFO(out, win::mmioStringToFOURCC("ISFT", 0)), RIFF_MODIFIED,
                   globalText("even"), 0);
    const auto path = testsupport::workDir("riff") / "info.riff";
    win::MMCKINFO riff{};
    win::HMMIO h = roundTrip(
        path.string(), [&](win::HMMIO w) { EXPECT_EQ(RiffWriteINFO(w, out), 0); }, riff);
    win::MMCKINFO list{};
    list.fccType = win::mmioFOURCC('I', 'N', 'F', 'O');
    ASSERT_EQ(win::mmioDescend(h, &list, &riff, win::MMIO_FINDLIST), 0u);
    EXPECT_EQ(list.cksize, 4u + 8 + 4 + 8 + 6); // "odd\0" and "even\0" + pad
    PInfoChunk in = nullptr;
    RiffInitINFO(in);
    EXPECT_EQ(RiffReadINFO(h, list, in), 0);
    EXPECT_EQ(value(in, "ICMT"), "odd");
    EXPECT_EQ(value(in, "ISFT"), "even");
    win::mmioClose(h, 0);

    PInfoChunk copy = nullptr;
    RiffInitINFO(copy);
    EXPECT_EQ(RiffCopyInfo(copy, in), 0);
    EXPECT_EQ(value(copy, "ISFT"), "even");
    EXPECT_EQ(RiffFindPIINFO(copy, win::mmioStringToFOURCC("ISFT", 0))->Flags, RIFF_MODIFIED);
    for (PInfoChunk* c : {&out, &in, &copy})
        RiffFreeINFO(*c);
}

TEST(KvRIFF, NothingIsWrittenWithoutValues) {
    PInfoChunk info = nullptr;
    RiffInitINFO(info);
    PDispList disp = nullptr;
    RiffInitDISP(disp);
    void* other = win::GlobalAllocPtr(win::GHND, 8);
    std::memset(other, 'x', 8);
    RiffInsertDISP(disp, RiffCreateDISP(RIFF_MODIFIED, 3, nullptr, other)); // format 3 is never written
    const auto path = testsupport::workDir("riff") / "empty.riff";
    win::MMCKINFO riff{};
    win::HMMIO h = roundTrip(
        path.string(),
        [&](win::HMMIO w) {
            EXPECT_EQ(RiffWriteINFO(w, info), 0);
            EXPECT_EQ(RiffWriteDISP(w, disp), 0);
        },
        riff);
    EXPECT_EQ(riff.cksize, 4u);
    win::mmioClose(h, 0);
    RiffFreeINFO(info);
    RiffFreeDISP(disp, true);
    EXPECT_EQ(disp, nullptr);
}

namespace {

void* smallDib(std::int32_t claimedHeight) {
    const std::size_t size = 40 + 4 * 2; // 2x1 pixels, 32 bits
    auto* p = static_cast<std::uint8_t*>(win::GlobalAllocPtr(win::GHND, size));
    win::BITMAPINFOHEADER bi{};
    bi.biSize = 40;
    bi.biWidth = 2;
    bi.biHeight = claimedHeight;
    bi.biPlanes = 1;
    bi.biBitCount = 32;
    std::memcpy(p, &bi, 40);
    for (std::size_t i = 40; i < size; ++i)
        p[i] = std::uint8_t(i);
    return p;
}

} // namespace

TEST(KvRIFF, DispRoundTripsTextAndDibAndSkipsDibsLargerThanTheirBlock) {
    PDispList out = nullptr;
    RiffInitDISP(out);
    RiffInsertDISP(out, RiffCreateDISP(RIFF_MODIFIED, CF_TEXT, nullptr, globalText("Cover")));
    RiffInsertDISP(out, RiffCreateDISP(RIFF_MODIFIED, CF_DIB, nullptr, smallDib(1)));
    RiffInsertDISP(out, RiffCreateDISP(RIFF_MODIFIED, CF_DIB, nullptr, smallDib(1000))); // header lies
    const auto path = testsupport::workDir("riff") / "disp.riff";
    win::MMCKINFO riff{};
    win::HMMIO h = roundTrip(
        path.string(), [&](win::HMMIO w) { EXPECT_EQ(RiffWriteDISP(w, out), 0); }, riff);
    PDispList in = nullptr;
    RiffInitDISP(in);
    win::MMCKINFO ck{};
    int n = 0;
    while (win::mmioDescend(h, &ck, &riff, 0) == 0) {
        EXPECT_EQ(ck.ckid, win::mmioFOURCC('D', 'I', 'S', 'P'));
        EXPECT_EQ(RiffReadDISP(h, ck, in), 0);
        win::mmioAscend(h, &ck, 0);
        ++n;
    }
    win::mmioClose(h, 0);
    ASSERT_EQ(n, 2);
    EXPECT_STREQ(static_cast<const char*>(RiffDISPValue(in->Head)), "Cover");
    EXPECT_EQ(in->Head->Next->ClipFormat, CF_DIB);
    EXPECT_EQ(std::memcmp(in->Head->Next->Data, out->Head->Next->NewData, 48), 0);

    // Setting the value read leaves the entry as it is; a different one replaces it.
    RiffModifyDISP(in, in->Head, RIFF_MODIFIED, globalText("Cover"));
    EXPECT_EQ(in->Head->NewData, nullptr);
    RiffModifyDISP(in, in->Head, RIFF_MODIFIED, globalText("Back"));
    EXPECT_STREQ(static_cast<const char*>(RiffDISPValue(in->Head)), "Back");

    PDispList copy = nullptr;
    RiffInitDISP(copy);
    EXPECT_EQ(RiffCopyDISP(copy, in), 0);
    EXPECT_STREQ(static_cast<const char*>(RiffDISPValue(copy->Head)), "Back");
    ASSERT_NE(copy->Head->Next, nullptr);
    EXPECT_EQ(copy->Head->Next->ClipFormat, CF_DIB);
    for (PDispList* l : {&out, &in, &copy})
        RiffFreeDISP(*l, true);
}

TEST(KvRIFF, SmallAndOversizedChunksReadSafely) {
    const auto path = testsupport::workDir("riff") / "small.riff";
    wavetest::WaveBuilder b;
    b.form = "TEST";
    b.add("LIST", {'I', 'N', 'F', 'O'})
        .add("DISP", {1, 0, 0, 0})
        .add("DISP", {1, 0, 0, 0, 'a', 0}, 0x7FFFFFF0);
    b.writeFile(path.string());
    std::string name = path.string();
    win::HMMIO h = win::mmioOpen(name.data(), nullptr, win::MMIO_READ);
    win::MMCKINFO riff{}, ck{};
    ASSERT_EQ(win::mmioDescend(h, &riff, nullptr, 0), 0u);
    PInfoChunk info = nullptr;
    RiffInitINFO(info);
    PDispList disp = nullptr;
    RiffInitDISP(disp);
    ASSERT_EQ(win::mmioDescend(h, &ck, &riff, 0), 0u);
    EXPECT_EQ(RiffReadINFO(h, ck, info), 0);
    EXPECT_EQ(info->RawText, nullptr);
    win::mmioAscend(h, &ck, 0);
    ASSERT_EQ(win::mmioDescend(h, &ck, &riff, 0), 0u);
    EXPECT_EQ(RiffReadDISP(h, ck, disp), 0);
    EXPECT_EQ(disp->Head, nullptr);
    win::mmioAscend(h, &ck, 0);
    ASSERT_EQ(win::mmioDescend(h, &ck, &riff, 0), 0u);
    EXPECT_EQ(RiffReadDISP(h, ck, disp), RIFFERR_FILEERROR); // refused before allocating 2 GB
    EXPECT_EQ(disp->Head, nullptr);
    win::mmioClose(h, 0);
    RiffFreeINFO(info);
    RiffFreeDISP(disp, true);
}
