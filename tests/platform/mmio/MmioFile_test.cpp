#include "platform/mmio/Mmio.h"

#include "support/TestWork.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <numeric>
#include <sys/stat.h>
#include <unistd.h>

using namespace win;

namespace {

std::vector<char> pattern(std::size_t n) {
    std::vector<char> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = char((i * 7 + i / 251) & 0xFF);
    return v;
}

std::string pathIn(const std::string& name) {
    return (testsupport::workDir("mmio") / name).string();
}

HMMIO openFile(std::string& name, DWORD flags, LONG buffer = 0) {
    MMIOINFO info{};
    info.cchBuffer = buffer;
    return mmioOpen(name.data(), &info, flags);
}

// Buffered (the default buffer, a tiny one) and unbuffered files must all give the same bytes back.
struct BufferCase {
    const char* name;
    DWORD flags;
    LONG buffer;
};

class MmioFileRoundTrip : public ::testing::TestWithParam<BufferCase> {};

TEST_P(MmioFileRoundTrip, WritesAndReadsBackInPiecesOfEverySize) {
    std::string name = pathIn(std::string(GetParam().name) + ".bin");
    auto data = pattern(30000);
    HMMIO h = openFile(name, MMIO_CREATE | MMIO_WRITE | GetParam().flags, GetParam().buffer);
    ASSERT_NE(h, nullptr);
    std::size_t at = 0;
    for (LONG piece = 1; at < data.size(); piece = piece * 3 + 1) {
        LONG n = LONG(std::min<std::size_t>(piece, data.size() - at));
        ASSERT_EQ(mmioWrite(h, data.data() + at, n), n);
        at += std::size_t(n);
    }
    EXPECT_EQ(mmioSeek(h, 0, SEEK_CUR), LONG(data.size()));
    ASSERT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(testsupport::readFile(name), std::vector<std::uint8_t>(data.begin(), data.end()));

    h = openFile(name, MMIO_READ | GetParam().flags, GetParam().buffer);
    ASSERT_NE(h, nullptr);
    std::vector<char> back(data.size() + 10);
    at = 0;
    for (LONG piece = 2; at < data.size(); piece = piece * 2 + 3) {
        LONG got = mmioRead(h, back.data() + at, piece);
        ASSERT_GT(got, 0);
        at += std::size_t(got);
    }
    EXPECT_EQ(mmioRead(h, back.data(), 10), 0); // the end of the file
    back.resize(data.size());
    EXPECT_EQ(back, data);
    // Seeks from every origin land where they say.
    EXPECT_EQ(mmioSeek(h, -100, SEEK_END), LONG(data.size() - 100));
    char c = 0;
    EXPECT_EQ(mmioRead(h, &c, 1), 1);
    EXPECT_EQ(c, data[data.size() - 100]);
    EXPECT_EQ(mmioSeek(h, -5001, SEEK_CUR), LONG(data.size() - 100 + 1 - 5001));
    EXPECT_EQ(mmioRead(h, &c, 1), 1);
    EXPECT_EQ(c, data[data.size() - 5100]);
    EXPECT_EQ(mmioSeek(h, -1, SEEK_SET), -1);
    EXPECT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);
}

INSTANTIATE_TEST_SUITE_P(Buffers, MmioFileRoundTrip,
                         ::testing::Values(BufferCase{"default", MMIO_ALLOCBUF, 0},
                                           BufferCase{"small", MMIO_ALLOCBUF, 37},
                                           BufferCase{"unbuffered", 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MmioFile, ReadWriteRewritesInThePlaceAndKeepsTheRest) {
    std::string name = pathIn("rw.bin");
    auto data = pattern(20000);
    HMMIO h = openFile(name, MMIO_CREATE | MMIO_READWRITE | MMIO_ALLOCBUF, 1000);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(mmioWrite(h, data.data(), LONG(data.size())), LONG(data.size()));
    ASSERT_EQ(mmioSeek(h, 5000, SEEK_SET), 5000);
    char buf[4];
    ASSERT_EQ(mmioRead(h, buf, 4), 4);
    EXPECT_EQ(std::memcmp(buf, data.data() + 5000, 4), 0);
    ASSERT_EQ(mmioWrite(h, "ABCD", 4), 4); // in the middle of the buffer just read
    std::memcpy(data.data() + 5004, "ABCD", 4);
    ASSERT_EQ(mmioSeek(h, 0, SEEK_END), 20000);
    ASSERT_EQ(mmioWrite(h, "xyz", 3), 3);
    data.insert(data.end(), {'x', 'y', 'z'});
    EXPECT_EQ(mmioSeek(h, 0, SEEK_END), 20003); // counts the bytes still in the buffer
    ASSERT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(testsupport::readFile(name), std::vector<std::uint8_t>(data.begin(), data.end()));
}

TEST(MmioFile, OpenFailuresSayWhy) {
    MMIOINFO info{};
    std::string missing = pathIn("none.bin");
    EXPECT_EQ(mmioOpen(missing.data(), &info, MMIO_READ), nullptr);
    EXPECT_EQ(info.wErrorRet, MMIOERR_FILENOTFOUND);
    std::string noFolder = pathIn("no-such-folder/file.bin");
    EXPECT_EQ(mmioOpen(noFolder.data(), &info, MMIO_READ), nullptr);
    EXPECT_EQ(info.wErrorRet, MMIOERR_PATHNOTFOUND);
    std::string folder = testsupport::workDir("mmio").string();
    EXPECT_EQ(mmioOpen(folder.data(), &info, MMIO_READ), nullptr);
    EXPECT_EQ(info.wErrorRet, MMIOERR_ACCESSDENIED);
    if (geteuid() != 0) {
        std::string locked = pathIn("locked.bin");
        HMMIO h = mmioOpen(locked.data(), nullptr, MMIO_CREATE | MMIO_WRITE);
        ASSERT_NE(h, nullptr);
        mmioClose(h, 0);
        chmod(locked.c_str(), 0400);
        EXPECT_EQ(mmioOpen(locked.data(), &info, MMIO_READWRITE), nullptr);
        EXPECT_EQ(info.wErrorRet, MMIOERR_ACCESSDENIED);
    }
    std::string any = pathIn("any.bin");
    EXPECT_EQ(mmioOpen(any.data(), &info, MMIO_RWMODE), nullptr);
    EXPECT_EQ(info.wErrorRet, MMSYSERR_INVALFLAG);
    info = {};
    info.fccIOProc = mmioFOURCC('N', 'O', 'N', 'E');
    EXPECT_EQ(mmioOpen(any.data(), &info, MMIO_READ), nullptr);
    EXPECT_NE(info.wErrorRet, MMSYSERR_NOERROR);
}

TEST(MmioFile, CreateTruncatesAndReadOnlyFilesRefuseWrites) {
    std::string name = pathIn("trunc.bin");
    HMMIO h = mmioOpen(name.data(), nullptr, MMIO_CREATE | MMIO_WRITE);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(mmioWrite(h, "0123456789", 10), 10);
    char c;
    EXPECT_EQ(mmioRead(h, &c, 1), -1); // opened for writing only
    mmioClose(h, 0);
    h = mmioOpen(name.data(), nullptr, MMIO_READ | MMIO_ALLOCBUF);
    EXPECT_EQ(mmioWrite(h, "x", 1), -1);
    EXPECT_EQ(mmioSeek(h, 0, SEEK_END), 10);
    mmioClose(h, 0);
    h = mmioOpen(name.data(), nullptr, MMIO_CREATE | MMIO_READWRITE);
    EXPECT_EQ(mmioSeek(h, 0, SEEK_END), 0);
    mmioClose(h, 0);
}

TEST(MmioFile, NameOperationsParseTestAndDelete) {
    auto dir = testsupport::workDir("mmio");
    ASSERT_EQ(chdir(dir.c_str()), 0);
    char name[128] = "sub/../parsed.bin";
    EXPECT_EQ(mmioOpen(name, nullptr, MMIO_PARSE), reinterpret_cast<HMMIO>(TRUE));
    EXPECT_EQ(std::string(name), (dir / "parsed.bin").string());
    EXPECT_EQ(mmioOpen(name, nullptr, MMIO_EXIST), nullptr);
    HMMIO h = mmioOpen(name, nullptr, MMIO_CREATE | MMIO_WRITE);
    ASSERT_NE(h, nullptr);
    mmioClose(h, 0);
    char relative[128] = "./parsed.bin";
    EXPECT_EQ(mmioOpen(relative, nullptr, MMIO_EXIST), reinterpret_cast<HMMIO>(TRUE));
    EXPECT_EQ(std::string(relative), (dir / "parsed.bin").string()); // expanded as well
    EXPECT_EQ(mmioOpen(name, nullptr, MMIO_DELETE), reinterpret_cast<HMMIO>(TRUE));
    EXPECT_FALSE(std::filesystem::exists(name));
    MMIOINFO info{};
    EXPECT_EQ(mmioOpen(name, &info, MMIO_DELETE), nullptr);
    EXPECT_EQ(info.wErrorRet, MMIOERR_FILENOTFOUND);
    // A full path that would not fit the caller's 128 bytes is not written over the buffer.
    std::string deep(150, 'd');
    std::vector<char> small(deep.begin(), deep.end());
    small.resize(128);
    small[20] = 0;
    std::string before(small.data());
    std::filesystem::create_directories(dir / std::string(120, 'x'));
    ASSERT_EQ(chdir((dir / std::string(120, 'x')).c_str()), 0);
    EXPECT_EQ(mmioOpen(small.data(), nullptr, MMIO_PARSE), nullptr);
    EXPECT_EQ(std::string(small.data()), before);
    ASSERT_EQ(chdir("/"), 0);
}

TEST(MmioFile, HandlesAreCheckedAndNeverReused) {
    std::string name = pathIn("handles.bin");
    HMMIO h = mmioOpen(name.data(), nullptr, MMIO_CREATE | MMIO_READWRITE | MMIO_ALLOCBUF);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);
    char c;
    MMIOINFO info{};
    MMCKINFO ck{};
    for (HMMIO bad : {h, HMMIO(nullptr), reinterpret_cast<HMMIO>(TRUE)}) {
        EXPECT_EQ(mmioClose(bad, 0), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(mmioRead(bad, &c, 1), -1);
        EXPECT_EQ(mmioWrite(bad, &c, 1), -1);
        EXPECT_EQ(mmioSeek(bad, 0, SEEK_SET), -1);
        EXPECT_EQ(mmioGetInfo(bad, &info, 0), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(mmioSetInfo(bad, &info, 0), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(mmioAdvance(bad, &info, MMIO_READ), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(mmioFlush(bad, 0), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(mmioSetBuffer(bad, nullptr, 100, 0), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(mmioDescend(bad, &ck, nullptr, 0), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(mmioAscend(bad, &ck, 0), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(mmioCreateChunk(bad, &ck, 0), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(mmioSendMessage(bad, MMIOM_USER, 0, 0), LRESULT(MMSYSERR_INVALHANDLE));
    }
    HMMIO again = mmioOpen(name.data(), nullptr, MMIO_READ);
    EXPECT_NE(again, h);
    mmioClose(again, 0);
}

TEST(MmioFile, PositionsALongCannotHoldAreRefused) {
    std::string name = pathIn("sparse.bin");
    int fd = ::open(name.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, off_t(0x80000000LL) + 100), 0); // sparse: takes no space
    ::close(fd);
    HMMIO h = mmioOpen(name.data(), nullptr, MMIO_READWRITE | MMIO_ALLOCBUF);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(mmioSeek(h, 0, SEEK_END), -1);
    ASSERT_EQ(mmioSeek(h, 0x7FFFFFF0, SEEK_SET), 0x7FFFFFF0);
    char buf[32];
    EXPECT_EQ(mmioRead(h, buf, 32), 15); // up to the last offset a LONG holds
    EXPECT_EQ(mmioWrite(h, buf, 1), -1);
    EXPECT_EQ(mmioSeek(h, 0x7FFFFFFF, SEEK_SET), 0x7FFFFFFF);
    EXPECT_EQ(mmioSeek(h, 1, SEEK_CUR), -1);
    MMCKINFO ck{};
    EXPECT_EQ(mmioDescend(h, &ck, nullptr, 0), MMIOERR_CHUNKNOTFOUND);
    // The start of such a file is still walked: a header chunk, and a body too large to step over.
    ASSERT_EQ(mmioSeek(h, 0, SEEK_SET), 0);
    const char head[] = "RIFF\xF0\xFF\xFF\xFFWAVEfmt \x02\0\0\0..data\xF0\xFF\xFF\x8F";
    ASSERT_EQ(mmioWrite(h, head, sizeof head - 1), LONG(sizeof head - 1));
    ASSERT_EQ(mmioSeek(h, 0, SEEK_SET), 0);
    MMCKINFO riff{};
    ASSERT_EQ(mmioDescend(h, &riff, nullptr, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioDescend(h, &ck, &riff, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(mmioAscend(h, &ck, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioDescend(h, &ck, &riff, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(ck.ckid, mmioFOURCC('d', 'a', 't', 'a'));
    EXPECT_EQ(mmioAscend(h, &ck, 0), MMIOERR_CANNOTSEEK); // its end lies past any LONG offset
    EXPECT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);
    std::filesystem::remove(name);
}

TEST(MmioFile, AnOpenDescriptorIsTakenAndLeftOpenWithFhOpen) {
    std::string name = pathIn("fd.bin");
    int fd = ::open(name.c_str(), O_CREAT | O_TRUNC | O_RDWR, 0600);
    ASSERT_GE(fd, 0);
    MMIOINFO info{};
    info.fccIOProc = FOURCC_DOS;
    info.adwInfo[0] = DWORD(fd);
    HMMIO h = mmioOpen(nullptr, &info, MMIO_READWRITE);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(mmioWrite(h, "hello", 5), 5);
    EXPECT_EQ(mmioClose(h, MMIO_FHOPEN), MMSYSERR_NOERROR);
    EXPECT_EQ(lseek(fd, 0, SEEK_END), 5); // still open
    ::close(fd);
}

} // namespace
