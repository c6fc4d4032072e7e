// The background BMP writer: with its byte bound tighter than one image it still takes every image,
// writes them in order with the pixels they had when handed in, and a failed write stops it.
#include "app/engine/BmpWriteQueue.h"
#include "platform/gdi/Gdi.h"
#include "platform/ui/Graphics.h"
#include "support/BmpImage.h"
#include "support/TestWork.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using app::BmpWriteQueue;

namespace {

// A 24-bit bitmap of w x h pixels, every byte set to value.
void filled(host::TBitmap& b, int w, int h, std::uint8_t value) {
    win::BITMAPINFOHEADER bi{40, w, -h, 1, 24, win::BI_RGB, 0, 0, 0, 0, 0};
    win::HDC dc = win::GetDC(nullptr);
    win::HBITMAP hb = win::CreateDIBitmap(dc, &bi, 0, nullptr, nullptr, win::DIB_RGB_COLORS);
    win::ReleaseDC(nullptr, dc);
    b.SetHandle(hb);
    b.SetPixelFormat(host::TPixelFormat::pf24bit);
    for (int y = 0; y < h; ++y)
        std::memset(b.ScanLine(y), value, std::size_t(w) * 3);
}

fs::path emptyDir(const std::string& name) {
    fs::path dir = testsupport::workDir("bmpqueue") / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

} // namespace

TEST(BmpWriteQueue, ImagesBeyondTheByteBoundAreWrittenInOrderAsHandedIn) {
    const fs::path dir = emptyDir("order");
    constexpr int kImages = 7;
    {
        BmpWriteQueue queue(3, 1); // every image alone is larger than the bound
        host::TBitmap image;
        for (int i = 0; i < kImages; ++i) {
            filled(image, 9, 5, std::uint8_t(30 * i + 3));
            // Two images per frame, as field extraction hands them in.
            ASSERT_TRUE(queue.Submit(image, (dir / (std::to_string(2 * i) + ".BMP")).string(), i, false));
            std::memset(image.ScanLine(0), 0xEE,
                        9 * 3); // changed after handing in: the queued copy keeps its pixels
            ASSERT_TRUE(queue.Submit(image, (dir / (std::to_string(2 * i + 1) + ".BMP")).string(), i, true));
        }
        queue.Drain();
        EXPECT_FALSE(queue.FirstFailure());
        EXPECT_EQ(queue.FilesWritten(), 2 * kImages);
        EXPECT_EQ(queue.FramesCompleted(), kImages);
    }
    for (int i = 0; i < kImages; ++i) {
        const auto first =
            testsupport::parseBmp(testsupport::readFile(dir / (std::to_string(2 * i) + ".BMP")));
        const auto second =
            testsupport::parseBmp(testsupport::readFile(dir / (std::to_string(2 * i + 1) + ".BMP")));
        ASSERT_TRUE(first.error.empty() && second.error.empty()) << first.error << second.error;
        const auto value = std::uint8_t(30 * i + 3);
        EXPECT_EQ(first.bgr, std::vector<std::uint8_t>(first.bgr.size(), value)) << "image " << 2 * i;
        EXPECT_EQ(second.row(0)[0], 0xEE) << "image " << 2 * i + 1;
        EXPECT_EQ(second.row(1)[0], value) << "image " << 2 * i + 1;
    }
}

TEST(BmpWriteQueue, AFailedWriteStopsTheQueueAndIsReportedForItsFrame) {
    const fs::path dir = emptyDir("failure");
    BmpWriteQueue queue(2, 1);
    host::TBitmap image;
    filled(image, 4, 4, 9);
    ASSERT_TRUE(queue.Submit(image, (dir / "0.BMP").string(), 0));
    const std::string bad = (dir / "missing-folder" / "1.BMP").string();
    ASSERT_TRUE(queue.Submit(image, bad, 1));
    queue.Drain();
    auto failure = queue.FirstFailure();
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->file, bad);
    EXPECT_EQ(failure->frame, 1);
    EXPECT_FALSE(queue.Submit(image, (dir / "2.BMP").string(), 2)) << "nothing is queued after a failure";
    EXPECT_EQ(queue.FilesWritten(), 1);
    EXPECT_FALSE(fs::exists(dir / "2.BMP"));
}
