// The bitmap object: shared images with copy on write, row access, pixel formats and atomic saving.
#include "platform/gdi/GdiAccess.h"
#include "platform/ui/Graphics.h"
#include "platform/win/Display.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace win;
namespace fs = std::filesystem;

fs::path workDir(const std::string& name) {
    const char* base = std::getenv("QUILLAN_TEST_WORK");
    fs::path dir = fs::path(base ? base : fs::temp_directory_path().string()) / ("tbitmap-" + name);
    std::error_code ignored;
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::vector<std::uint8_t> readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A 24-bit device bitmap whose row y (from the top) is filled with the value 'A' + y.
HBITMAP rowsBitmap(int width, int height) {
    BITMAPINFOHEADER h{40, width, -height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::size_t stride = std::size_t((width * 3 + 3) / 4 * 4);
    std::vector<std::uint8_t> bits(stride * std::size_t(height), 0);
    for (int y = 0; y < height; ++y)
        std::memset(&bits[std::size_t(y) * stride], 'A' + y, std::size_t(width) * 3);
    HDC dc = GetDC(nullptr);
    HBITMAP b =
        CreateDIBitmap(dc, &h, CBM_INIT, bits.data(), reinterpret_cast<BITMAPINFO*>(&h), DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    return b;
}

std::string rowLetters(const host::TBitmap& b) {
    std::string s;
    for (int y = 0; y < b.GetHeight(); ++y)
        s += char(b.ScanLine(y)[0]);
    return s;
}

void copyRow(host::TBitmap& b, int from, int to) {
    std::vector<std::uint8_t> row(b.ScanLine(from), b.ScanLine(from) + 3 * b.GetWidth());
    std::memcpy(b.ScanLine(to), row.data(), row.size());
}

class Bitmap : public ::testing::Test {
  protected:
    void SetUp() override { SetDisplayBitsPerPixelForTesting(24); }
    void TearDown() override {
        SetDisplayBitsPerPixelForTesting(0);
        gdi::ResetSystemPalette();
    }
};

TEST_F(Bitmap, FieldImagesNeverChangeTheFrame) {
    for (int height : {1, 4, 5}) {
        SCOPED_TRACE(height);
        host::TBitmap frame, odd, even;
        frame.SetHandle(rowsBitmap(3, height));
        frame.SetPixelFormat(host::TPixelFormat::pf24bit);
        EXPECT_EQ(frame.GetPixelFormat(), host::TPixelFormat::pf24bit);
        const std::string original = rowLetters(frame);
        odd.Assign(&frame);
        even.Assign(&frame);
        EXPECT_EQ(odd.GetHandle(), frame.GetHandle()); // shared until written
        for (int y = 1; y < height; y += 2)
            copyRow(odd, y - 1, y);
        for (int y = 1; y < height; y += 2)
            copyRow(even, y, y - 1);
        EXPECT_EQ(rowLetters(frame), original);
        const std::map<int, std::pair<std::string, std::string>> expected = {
            {1, {"A", "A"}}, {4, {"AACC", "BBDD"}}, {5, {"AACCE", "BBDDE"}}};
        EXPECT_EQ(rowLetters(odd), expected.at(height).first);
        EXPECT_EQ(rowLetters(even), expected.at(height).second);
        if (height > 1) {
            EXPECT_NE(odd.GetHandle(), frame.GetHandle());
        }
        // A 3-pixel row is 9 pixel bytes and 3 bytes of padding that stay zero.
        const std::uint8_t* row = odd.ScanLine(0);
        EXPECT_EQ(row[9] | row[10] | row[11], 0);
        if (height > 1) {
            EXPECT_EQ(odd.ScanLine(1) - odd.ScanLine(0), -12) << "rows are stored bottom-up";
        }
    }
}

TEST_F(Bitmap, WritingTheOriginalLeavesCopiesAlone) {
    host::TBitmap frame, copy;
    frame.SetHandle(rowsBitmap(2, 2));
    copy.Assign(&frame);
    frame.ScanLine(0)[0] = 'Z';
    EXPECT_EQ(rowLetters(frame), "ZB");
    EXPECT_EQ(rowLetters(copy), "AB");
    // A bitmap that is not shared is written in place.
    const std::uint8_t* before = frame.ScanLine(1);
    EXPECT_EQ(frame.ScanLine(1), before);
}

TEST_F(Bitmap, HandleAndPaletteOwnership) {
    const std::size_t live = gdi::LiveObjectCount();
    {
        host::TBitmap b;
        EXPECT_TRUE(b.Empty());
        EXPECT_THROW(b.ScanLine(0), host::EInvalidGraphicOperation);
        b.SetHandle(rowsBitmap(2, 2));
        EXPECT_THROW(b.ScanLine(2), host::EInvalidGraphicOperation);
        EXPECT_THROW(b.ScanLine(-1), host::EInvalidGraphicOperation);
        LOGPALETTE log{0x300, 1, {{1, 2, 3, 0}}};
        HPALETTE p = CreatePalette(&log);
        b.SetPalette(p);
        EXPECT_EQ(b.GetPalette(), p);
        b.SetPalette(p); // same value: nothing happens, the palette stays alive
        EXPECT_EQ(GetObject(p, 0, nullptr), 2);
        b.SetHandle(rowsBitmap(1, 1)); // releases bitmap and palette
        EXPECT_EQ(b.GetPalette(), nullptr);
        EXPECT_EQ(GetObject(p, 0, nullptr), 0);
        host::TBitmap other;
        other.Assign(&b);
        b.SetPixelFormat(host::TPixelFormat::pf24bit);
        EXPECT_EQ(other.GetPixelFormat(), host::TPixelFormat::pfDevice);
        int local = 0;
        EXPECT_THROW(b.SetHandle(reinterpret_cast<HBITMAP>(&local)), host::EInvalidGraphicOperation);
        EXPECT_THROW(b.SetPalette(reinterpret_cast<HPALETTE>(&local)), host::EInvalidGraphicOperation);
    }
    EXPECT_EQ(gdi::LiveObjectCount(), live);
}

TEST_F(Bitmap, SaveReplacesAnExistingFileAndLeavesNoTemporary) {
    fs::path dir = workDir("replace");
    fs::path file = dir / "10000.BMP";
    { std::ofstream(file) << std::string(5000, 'x'); }
    host::TBitmap b;
    b.SetHandle(rowsBitmap(3, 2));
    b.SaveToFile(file.string());
    auto bytes = readFile(file);
    ASSERT_EQ(bytes.size(), 54u + 24u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[54], 'B'); // bottom row first
    EXPECT_EQ(bytes[54 + 12], 'A');
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(Bitmap, FailedSaveThrowsNamingTheFileAndLeavesNothing) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
    fs::path dir = workDir("readonly");
    host::TBitmap b;
    b.SetHandle(rowsBitmap(3, 2));
    fs::path file = dir / "10001.BMP";
    ::chmod(dir.c_str(), 0555);
    try {
        b.SaveToFile(file.string());
        ADD_FAILURE() << "no exception";
    } catch (const host::Exception& e) {
        EXPECT_NE(e.Message().find(file.string()), std::string::npos) << e.Message();
        EXPECT_NE(e.Message().find("Permission denied"), std::string::npos) << e.Message();
    }
    ::chmod(dir.c_str(), 0755);
    EXPECT_TRUE(fs::is_empty(dir));
    // An existing read-only image is not replaced either.
    { std::ofstream(file) << "old"; }
    ::chmod(file.c_str(), 0444);
    EXPECT_THROW(b.SaveToFile(file.string()), host::EFCreateError);
    EXPECT_EQ(readFile(file).size(), 3u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    // A missing folder and an empty bitmap are errors, not empty files.
    EXPECT_THROW(b.SaveToFile((dir / "missing" / "1.BMP").string()), host::EFCreateError);
    host::TBitmap empty;
    EXPECT_THROW(empty.SaveToFile((dir / "2.BMP").string()), host::EInvalidGraphicOperation);
    EXPECT_FALSE(fs::exists(dir / "2.BMP"));
}

TEST_F(Bitmap, FullDiskKeepsThePreviousFileAndLeavesNoPartialFile) {
    // A file size limit makes the write fail part way, as a full disk would.
    fs::path dir = workDir("full");
    fs::path file = dir / "10000.BMP";
    { std::ofstream(file) << "previous"; }
    host::TBitmap b;
    b.SetHandle(rowsBitmap(64, 64));
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_THROW(b.SaveToFile(file.string()), host::EFCreateError);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(readFile(file).size(), 8u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(Bitmap, SpecialFilesAreNotReplaced) {
    fs::path dir = workDir("special");
    host::TBitmap b;
    b.SetHandle(rowsBitmap(2, 2));
    fs::create_directory(dir / "folder.BMP");
    ASSERT_EQ(::mkfifo((dir / "pipe.BMP").c_str(), 0644), 0);
    EXPECT_THROW(b.SaveToFile((dir / "folder.BMP").string()), host::EFCreateError);
    EXPECT_THROW(b.SaveToFile((dir / "pipe.BMP").string()), host::EFCreateError);
    EXPECT_TRUE(fs::is_directory(dir / "folder.BMP"));
    EXPECT_TRUE(fs::is_fifo(dir / "pipe.BMP"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
    // The message names the file and the system's reason.
    const std::string missing = (dir / "missing" / "10000.BMP").string();
    try {
        b.SaveToFile(missing);
        ADD_FAILURE() << "no exception";
    } catch (const host::EFCreateError& e) {
        EXPECT_EQ(e.Message(), "Cannot create file \"" + missing + "\". No such file or directory");
    }
}

TEST_F(Bitmap, SharedCopiesSaveOnAnotherThreadWhileTheOriginalChanges) {
    fs::path dir = workDir("threads");
    host::TBitmap frame;
    frame.SetHandle(rowsBitmap(64, 32));
    frame.SetPixelFormat(host::TPixelFormat::pf24bit);
    std::vector<std::unique_ptr<host::TBitmap>> copies;
    for (int i = 0; i < 8; ++i) {
        copies.push_back(std::make_unique<host::TBitmap>());
        copies.back()->Assign(&frame);
    }
    std::vector<std::thread> writers;
    for (int i = 0; i < 8; ++i)
        writers.emplace_back([&, i] {
            copies[std::size_t(i)]->SaveToFile((dir / (std::to_string(i) + ".BMP")).string());
            copies[std::size_t(i)].reset();
        });
    for (int y = 0; y < frame.GetHeight(); ++y)
        std::memset(frame.ScanLine(y), 'z', 64 * 3);
    for (auto& t : writers)
        t.join();
    for (int i = 0; i < 8; ++i) {
        auto bytes = readFile(dir / (std::to_string(i) + ".BMP"));
        ASSERT_EQ(bytes.size(), 54u + 192u * 32u);
        EXPECT_EQ(bytes[54], 'A' + 31); // the frame as it was when assigned
        EXPECT_EQ(bytes[54 + 192 * 31], 'A');
    }
    EXPECT_EQ(frame.ScanLine(0)[0], 'z');
}

// ffmpeg reads the files back to the pixels that went in.
TEST_F(Bitmap, IndependentReaderDecodesSavedFiles) {
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffmpeg not installed";
    fs::path dir = workDir("ffmpeg");
    for (int display : {16, 24, 32}) {
        SetDisplayBitsPerPixelForTesting(display);
        for (bool to24 : {false, true}) {
            SCOPED_TRACE(std::to_string(display) + (to24 ? " converted" : " device"));
            // Colours that 5-5-5 keeps exactly (multiples of 8 widened by repeating their top bits).
            const int w = 5, h = 3;
            BITMAPINFOHEADER hdr{40, w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
            std::vector<std::uint8_t> bits(std::size_t(16 * h), 0);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    for (int c = 0; c < 3; ++c) {
                        int v = ((x * 3 + y * 5 + c * 7) % 32) * 8;
                        bits[std::size_t(y * 16 + x * 3 + c)] = std::uint8_t(v | v >> 5);
                    }
            HDC dc = GetDC(nullptr);
            HBITMAP hb = CreateDIBitmap(dc, &hdr, CBM_INIT, bits.data(), reinterpret_cast<BITMAPINFO*>(&hdr),
                                        DIB_RGB_COLORS);
            ReleaseDC(nullptr, dc);
            host::TBitmap b;
            b.SetHandle(hb);
            if (to24) b.SetPixelFormat(host::TPixelFormat::pf24bit);
            fs::path file = dir / "frame.BMP";
            fs::path raw = dir / "frame.raw";
            b.SaveToFile(file.string());
            std::string cmd = "ffmpeg -v error -y -i '" + file.string() + "' -f rawvideo -pix_fmt bgr24 '" +
                              raw.string() + "'";
            ASSERT_EQ(std::system(cmd.c_str()), 0);
            auto decoded = readFile(raw);
            ASSERT_EQ(decoded.size(), std::size_t(w * h * 3));
            for (int y = 0; y < h; ++y) // ffmpeg gives the top row first
                EXPECT_EQ(
                    std::vector<std::uint8_t>(decoded.begin() + y * w * 3, decoded.begin() + (y + 1) * w * 3),
                    std::vector<std::uint8_t>(bits.begin() + (h - 1 - y) * 16,
                                              bits.begin() + (h - 1 - y) * 16 + w * 3));
        }
    }
}

} // namespace
