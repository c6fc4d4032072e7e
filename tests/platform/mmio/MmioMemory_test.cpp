#include "MmioTestSupport.h"

#include "support/TestWork.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace win;
using namespace mmiotest;

namespace {

TEST(MmioMemory, ReadsNeverPassTheImage) {
    std::vector<std::uint8_t> bytes{1, 2, 3, 4, 5};
    HMMIO h = openImage(bytes);
    ASSERT_NE(h, nullptr);
    char out[8];
    EXPECT_EQ(mmioRead(h, out, 8), 5);
    EXPECT_EQ(mmioRead(h, out, 8), 0);
    EXPECT_EQ(mmioSeek(h, 6, SEEK_SET), -1);
    EXPECT_EQ(mmioSeek(h, 0, SEEK_END), 5);
    EXPECT_EQ(mmioWrite(h, "x", 1), -1); // read-only
    EXPECT_EQ(mmioSetBuffer(h, nullptr, 100, 0), MMSYSERR_INVALPARAM);
    mmioClose(h, 0);
}

TEST(MmioMemory, WritesGrowAnImageOnlyWhenAllowed) {
    std::vector<std::uint8_t> bytes(4, 0);
    HMMIO fixed = openImage(bytes, MMIO_READWRITE);
    EXPECT_EQ(mmioWrite(fixed, "abcdef", 6), 4); // what fits
    EXPECT_EQ(mmioWrite(fixed, "g", 1), -1);
    MMIOINFO info{};
    EXPECT_EQ(mmioAdvance(fixed, &info, MMIO_WRITE), MMSYSERR_INVALPARAM); // not the file's buffer
    ASSERT_EQ(mmioGetInfo(fixed, &info, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(mmioAdvance(fixed, &info, MMIO_WRITE), MMIOERR_CANNOTEXPAND);
    mmioClose(fixed, 0);
    EXPECT_EQ(std::memcmp(bytes.data(), "abcd", 4), 0);

    HMMIO grows = openImage(bytes, MMIO_READWRITE | MMIO_CREATE, 100);
    EXPECT_EQ(mmioSeek(grows, 0, SEEK_END), 0); // a created image starts empty
    std::vector<char> data(1000);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = char(i);
    EXPECT_EQ(mmioWrite(grows, data.data(), 1000), 1000);
    EXPECT_EQ(mmioSeek(grows, 0, SEEK_END), 1000);
    ASSERT_EQ(mmioGetInfo(grows, &info, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(info.cchBuffer % 4, 0); // the original 4 bytes and whole increments of 100
    EXPECT_GE(info.cchBuffer, 1000);
    EXPECT_EQ(std::memcmp(info.pchBuffer, data.data(), 1000), 0);
    ASSERT_EQ(mmioSeek(grows, 10, SEEK_SET), 10);
    char c = 0;
    EXPECT_EQ(mmioRead(grows, &c, 1), 1);
    EXPECT_EQ(c, char(10));
    mmioClose(grows, 0);
}

TEST(MmioMemory, AnInternalImageIsMadeWhenNoBytesAreGiven) {
    MMIOINFO info{};
    info.fccIOProc = FOURCC_MEM;
    info.cchBuffer = 16;
    info.adwInfo[0] = 16;
    HMMIO h = mmioOpen(nullptr, &info, MMIO_READWRITE | MMIO_CREATE);
    ASSERT_NE(h, nullptr);
    MMCKINFO ck{};
    ck.fccType = mmioFOURCC('T', 'E', 'S', 'T');
    ASSERT_EQ(mmioCreateChunk(h, &ck, MMIO_CREATERIFF), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioWrite(h, "0123456789abcdefXYZ", 19), 19);
    ASSERT_EQ(mmioAscend(h, &ck, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(ck.cksize, 23u);
    EXPECT_EQ(mmioSeek(h, 0, SEEK_END), 32); // 8 + 23 + pad
    ASSERT_EQ(mmioGetInfo(h, &info, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(std::memcmp(info.pchBuffer, "RIFF\x17\0\0\0TEST0123", 16), 0);
    mmioClose(h, 0);
}

// Direct buffer access: reading a file by walking pchNext to pchEndRead and advancing.
class MmioDirect : public ::testing::TestWithParam<LONG> {};

TEST_P(MmioDirect, ReadsAndWritesThroughTheBuffer) {
    std::string name = (testsupport::workDir("mmio") / "direct.bin").string();
    MMIOINFO open{};
    open.cchBuffer = GetParam();
    HMMIO h = mmioOpen(name.data(), &open, MMIO_CREATE | MMIO_WRITE | MMIO_ALLOCBUF);
    ASSERT_NE(h, nullptr);
    MMIOINFO info{};
    ASSERT_EQ(mmioGetInfo(h, &info, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(info.cchBuffer, GetParam());
    const int total = 10000;
    for (int i = 0; i < total; ++i) {
        if (info.pchNext == info.pchEndWrite) {
            info.dwFlags |= MMIO_DIRTY;
            ASSERT_EQ(mmioAdvance(h, &info, MMIO_WRITE), MMSYSERR_NOERROR);
            EXPECT_EQ(info.lBufOffset, i);
        }
        *info.pchNext++ = char(i % 251);
    }
    info.dwFlags |= MMIO_DIRTY;
    ASSERT_EQ(mmioSetInfo(h, &info, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(mmioSeek(h, 0, SEEK_CUR), total);
    ASSERT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);
    auto written = testsupport::readFile(name);
    ASSERT_EQ(written.size(), std::size_t(total));
    for (int i = 0; i < total; ++i)
        ASSERT_EQ(written[i], i % 251) << i;

    h = mmioOpen(name.data(), &open, MMIO_READ | MMIO_ALLOCBUF);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(mmioSeek(h, 3, SEEK_SET), 3); // direct reading starts wherever the file stands
    ASSERT_EQ(mmioGetInfo(h, &info, 0), MMSYSERR_NOERROR);
    int read = 3;
    for (;;) {
        if (info.pchNext == info.pchEndRead) {
            ASSERT_EQ(mmioAdvance(h, &info, MMIO_READ), MMSYSERR_NOERROR);
            EXPECT_EQ(info.lBufOffset, read);
            if (info.pchNext == info.pchEndRead) break; // the end of the file
        }
        ASSERT_EQ(std::uint8_t(*info.pchNext++), read % 251) << read;
        ++read;
    }
    EXPECT_EQ(read, total);
    ASSERT_EQ(mmioSetInfo(h, &info, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(mmioSeek(h, 0, SEEK_CUR), total);
    mmioClose(h, 0);
}

INSTANTIATE_TEST_SUITE_P(Buffers, MmioDirect, ::testing::Values(8192, 100, 1));

TEST(MmioBuffer, SetBufferSwitchesBetweenBuffersWithoutLosingData) {
    std::string name = (testsupport::workDir("mmio") / "setbuffer.bin").string();
    HMMIO h = mmioOpen(name.data(), nullptr, MMIO_CREATE | MMIO_READWRITE);
    MMIOINFO info{};
    ASSERT_EQ(mmioGetInfo(h, &info, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(info.pchBuffer, nullptr);
    EXPECT_EQ(mmioAdvance(h, &info, MMIO_READ), MMIOERR_UNBUFFERED);
    ASSERT_EQ(mmioSetBuffer(h, nullptr, 64, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioWrite(h, "abc", 3), 3);
    char mine[16];
    ASSERT_EQ(mmioSetBuffer(h, mine, sizeof mine, 0), MMSYSERR_NOERROR); // flushes "abc" first
    ASSERT_EQ(mmioGetInfo(h, &info, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(info.pchBuffer, mine);
    EXPECT_EQ(info.dwFlags & MMIO_ALLOCBUF, 0u);
    ASSERT_EQ(mmioWrite(h, "def", 3), 3);
    ASSERT_EQ(mmioSetBuffer(h, nullptr, 0, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioWrite(h, "gh", 2), 2);
    EXPECT_EQ(mmioSetBuffer(h, nullptr, -1, 0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(mmioSetBuffer(h, nullptr, 0x7FFFFFFF, 0), MMIOERR_OUTOFMEMORY);
    ASSERT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(testsupport::readFile(name), bytesOf("abcdefgh"));
}

TEST(MmioBuffer, FlushWritesAndEmptiesTheBuffer) {
    std::string name = (testsupport::workDir("mmio") / "flush.bin").string();
    HMMIO h = mmioOpen(name.data(), nullptr, MMIO_CREATE | MMIO_READWRITE | MMIO_ALLOCBUF);
    ASSERT_EQ(mmioWrite(h, "hello", 5), 5);
    EXPECT_TRUE(testsupport::readFile(name).empty()); // still in the buffer
    MMIOINFO info{};
    mmioGetInfo(h, &info, 0);
    EXPECT_NE(info.dwFlags & MMIO_DIRTY, 0u);
    EXPECT_NE(info.dwFlags & MMIO_CREATE, 0u); // the open flags stay readable
    ASSERT_EQ(mmioFlush(h, MMIO_EMPTYBUF), MMSYSERR_NOERROR);
    EXPECT_EQ(testsupport::readFile(name), bytesOf("hello"));
    mmioGetInfo(h, &info, 0);
    EXPECT_EQ(info.dwFlags & MMIO_DIRTY, 0u);
    EXPECT_EQ(info.pchNext, info.pchEndRead);
    EXPECT_EQ(info.lBufOffset, 5);
    mmioClose(h, 0);
}

// A custom I/O procedure over a string, installed by its code and opened by it.
std::string g_store;
LRESULT stringProc(LPSTR lpmmioinfo, UINT msg, LPARAM p1, LPARAM p2) {
    auto* info = reinterpret_cast<MMIOINFO*>(lpmmioinfo);
    switch (msg) {
    case MMIOM_OPEN:
        return (info->dwFlags & MMIO_CREATE) ? (g_store.clear(), 0) : 0;
    case MMIOM_CLOSE:
        return 0;
    case MMIOM_READ: {
        auto n = std::min<LPARAM>(p2, LPARAM(g_store.size()) - info->lDiskOffset);
        std::memcpy(reinterpret_cast<char*>(p1), g_store.data() + info->lDiskOffset, std::size_t(n));
        info->lDiskOffset += LONG(n);
        return n;
    }
    case MMIOM_WRITE:
    case MMIOM_WRITEFLUSH:
        g_store.resize(std::max<std::size_t>(g_store.size(), std::size_t(info->lDiskOffset + p2)));
        std::memcpy(g_store.data() + info->lDiskOffset, reinterpret_cast<const char*>(p1), std::size_t(p2));
        info->lDiskOffset += LONG(p2);
        return p2;
    case MMIOM_SEEK: {
        LPARAM base = p2 == SEEK_SET ? 0 : p2 == SEEK_CUR ? info->lDiskOffset : LPARAM(g_store.size());
        info->lDiskOffset = LONG(base + p1);
        return info->lDiskOffset;
    }
    case MMIOM_USER:
        return 42;
    default:
        return 0;
    }
}

TEST(MmioIOProc, InstalledProceduresCarryTheFile) {
    const FOURCC code = mmioFOURCC('S', 'T', 'R', ' ');
    EXPECT_EQ(mmioInstallIOProc(code, nullptr, MMIO_FINDPROC), nullptr);
    ASSERT_EQ(mmioInstallIOProc(code, stringProc, MMIO_INSTALLPROC), stringProc);
    EXPECT_EQ(mmioInstallIOProc(code, nullptr, MMIO_FINDPROC), stringProc);
    EXPECT_NE(mmioInstallIOProc(FOURCC_DOS, nullptr, MMIO_FINDPROC), nullptr);
    MMIOINFO info{};
    info.fccIOProc = code;
    char name[] = "anything";
    HMMIO h = mmioOpen(name, &info, MMIO_CREATE | MMIO_READWRITE | MMIO_ALLOCBUF);
    ASSERT_NE(h, nullptr);
    MMCKINFO ck{mmioFOURCC('a', 'b', 'c', 'd'), 0, 0, 0, 0};
    ASSERT_EQ(mmioCreateChunk(h, &ck, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioWrite(h, "xyz", 3), 3);
    ASSERT_EQ(mmioAscend(h, &ck, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(mmioSendMessage(h, MMIOM_USER, 0, 0), 42);
    ASSERT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(g_store, std::string("abcd\x03\0\0\0xyz\0", 12));
    EXPECT_EQ(mmioInstallIOProc(code, nullptr, MMIO_REMOVEPROC), stringProc);
    EXPECT_EQ(mmioInstallIOProc(code, nullptr, MMIO_FINDPROC), nullptr);
    EXPECT_EQ(mmioInstallIOProc(FOURCC_MEM, nullptr, MMIO_REMOVEPROC), nullptr); // built in
}

TEST(MmioIOProc, RenameMovesAFile) {
    auto dir = testsupport::workDir("mmio");
    std::string from = (dir / "before.bin").string(), to = (dir / "after.bin").string();
    HMMIO h = mmioOpen(from.data(), nullptr, MMIO_CREATE | MMIO_WRITE);
    mmioClose(h, 0);
    EXPECT_EQ(mmioRename(from.c_str(), to.c_str(), nullptr, 0), MMSYSERR_NOERROR);
    EXPECT_TRUE(std::filesystem::exists(to));
    EXPECT_FALSE(std::filesystem::exists(from));
    EXPECT_EQ(mmioRename(from.c_str(), to.c_str(), nullptr, 0), MMIOERR_FILENOTFOUND);
}

} // namespace
