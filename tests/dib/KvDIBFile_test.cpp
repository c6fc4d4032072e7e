// BMP files of every kind read into packed DIBs, checked against ffmpeg's decoding of the same files;
// damaged files; raw DIBs read from a file position; the module's bitmap resource.
#include "dib/KvDIB.h"
#include "platform/ui/FileHandles.h"
#include "platform/ui/Streams.h"
#include "platform/win/Display.h"
#include "platform/win/GlobalMemory.h"
#include "support/BmpFileBuilder.h"
#include "support/TestWork.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

namespace {

using namespace win;
using testsupport::BmpFileSpec;
namespace fs = std::filesystem;

void writeFile(const fs::path& p, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// The DIB's picture as ffmpeg's rawvideo bgr24 gives it: top row first, no padding, through the
// library's own road (device bitmap, then its pixels as a top-down 24-bit DIB).
std::vector<std::uint8_t> picture(const BITMAPINFOHEADER* dib) {
    HBITMAP bitmap;
    HPALETTE palette;
    kv::DIB_DIBToBitmap(dib, bitmap, palette);
    if (palette) DeleteObject(palette);
    if (!bitmap) return {};
    const int w = dib->biWidth, h = dib->biHeight < 0 ? -dib->biHeight : dib->biHeight;
    BITMAPINFOHEADER info{40, w, -h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    const std::size_t stride = std::size_t((w * 24 + 31) / 32 * 4);
    std::vector<std::uint8_t> rows(stride * std::size_t(h));
    HDC dc = GetDC(nullptr);
    const int got = GetDIBits(dc, bitmap, 0, UINT(h), rows.data(), reinterpret_cast<BITMAPINFO*>(&info), 0);
    ReleaseDC(nullptr, dc);
    DeleteObject(bitmap);
    if (got != h) return {};
    std::vector<std::uint8_t> out;
    for (int y = 0; y < h; ++y)
        out.insert(out.end(), rows.begin() + long(stride * std::size_t(y)),
                   rows.begin() + long(stride * std::size_t(y) + std::size_t(w) * 3));
    return out;
}

// Every DIB handed out is packed: a 40-byte header, masks or table, pixels, all inside its block, and
// the unit's measures agree with the parsed layout.
void expectPacked(const BITMAPINFOHEADER* dib) {
    ASSERT_TRUE(dib);
    EXPECT_EQ(dib->biSize, 40u);
    const std::size_t block = GlobalSize(kv::HandleFrom_DIB(dib));
    const auto layout = DibLayoutOf(dib, block);
    ASSERT_TRUE(layout);
    EXPECT_EQ(std::size_t(kv::DIB_Ptr(dib) - reinterpret_cast<const std::uint8_t*>(dib)),
              layout->pixelOffset);
    EXPECT_EQ(kv::DIB_BISize(dib), layout->pixelOffset);
    EXPECT_EQ(kv::DIB_NumColors(dib), layout->compression == BI_BITFIELDS ? 0u : layout->colours);
    EXPECT_EQ(kv::DIB_Size(dib), layout->packedSize());
    EXPECT_EQ(kv::DIB_Size(dib), block);
    if (!layout->compressed()) {
        EXPECT_EQ(kv::DIB_SizeImage(dib), layout->imageBytes);
    }
}

struct Kind {
    std::string name;
    std::string pixFmt; // made by ffmpeg when set
    BmpFileSpec layout; // else built byte by byte
};

BmpFileSpec indexed(int bits, int colours, std::uint32_t header = 40, std::uint32_t compression = 0) {
    BmpFileSpec s;
    s.width = 37, s.height = 21, s.bits = bits, s.headerSize = header, s.compression = compression;
    s.colours = testsupport::distinctFileColours(colours);
    s.pixels = testsupport::filePatternIndices(s.width, s.height, colours);
    return s;
}

BmpFileSpec trueColour(int bits, std::uint32_t header, std::uint32_t compression, std::uint32_t r = 0,
                       std::uint32_t g = 0, std::uint32_t b = 0) {
    BmpFileSpec s;
    s.width = 37, s.height = 21, s.bits = bits, s.headerSize = header, s.compression = compression;
    s.masks[0] = r, s.masks[1] = g, s.masks[2] = b;
    for (int i = 0; i < s.width * s.height * bits / 8; ++i)
        s.pixels.push_back(std::uint8_t(i * 7 + i / 37));
    return s;
}

void PrintTo(const Kind& kind, std::ostream* os) {
    *os << kind.name;
}

std::vector<Kind> kinds() {
    std::vector<Kind> k;
    for (const char* f : {"bgr24", "bgra", "rgb565le", "rgb555le", "pal8", "gray", "monob"})
        k.push_back({std::string("ffmpeg_") + f, f, {}});
    k.push_back({"core1", "", indexed(1, 2, 12)});
    k.push_back({"core4", "", indexed(4, 16, 12)});
    k.push_back({"core8", "", indexed(8, 256, 12)});
    k.push_back({"core24", "", trueColour(24, 12, 0)});
    k.push_back({"rle8", "", indexed(8, 200, 40, 1)});
    k.push_back({"rle4", "", indexed(4, 16, 40, 2)});
    k.push_back({"shortTable4", "", indexed(4, 5)});
    k.push_back({"shortTable8", "", indexed(8, 20)});
    k.push_back({"v4_8bit", "", indexed(8, 256, 108)});
    k.push_back({"v5_4bit", "", indexed(4, 16, 124)});
    k.push_back({"v5_24bit", "", trueColour(24, 124, 0)});
    k.push_back({"v4_565", "", trueColour(16, 108, 3, 0xF800, 0x07E0, 0x001F)});
    k.push_back({"v5_argb", "", trueColour(32, 124, 3, 0x00FF0000, 0x0000FF00, 0x000000FF)});
    k.push_back({"info56_565", "", trueColour(16, 56, 3, 0xF800, 0x07E0, 0x001F)});
    k.push_back({"bitfields40_555", "", trueColour(16, 40, 3, 0x7C00, 0x03E0, 0x001F)});
    BmpFileSpec top = indexed(8, 256);
    top.topDown = true;
    k.push_back({"topDown8", "", top});
    BmpFileSpec top24 = trueColour(24, 40, 0);
    top24.topDown = true;
    k.push_back({"topDown24", "", top24});
    BmpFileSpec zero = trueColour(32, 40, 0);
    zero.sizeImage = 0;
    k.push_back({"sizeImage0", "", zero});
    BmpFileSpec gap = indexed(8, 16);
    gap.gap = 100; // pixels found by the file header's offset
    k.push_back({"pixelOffsetGap", "", gap});
    return k;
}

class BmpKinds : public ::testing::TestWithParam<Kind> {
  protected:
    void SetUp() override { SetDisplayBitsPerPixelForTesting(24); }
    void TearDown() override { SetDisplayBitsPerPixelForTesting(0); }
};

TEST_P(BmpKinds, ReadsPackedDibWithFfmpegsPixels) {
    if (!testsupport::haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    const Kind& kind = GetParam();
    const fs::path dir = testsupport::workDir("dib");
    const fs::path file = dir / (kind.name + ".bmp"), raw = dir / (kind.name + ".raw");
    if (!kind.pixFmt.empty()) {
        ASSERT_EQ(testsupport::run("ffmpeg -v error -y -f lavfi -i testsrc=size=37x21 -frames:v 1 -pix_fmt " +
                                   kind.pixFmt + " " + testsupport::quote(file)),
                  0);
    } else {
        writeFile(file, testsupport::buildBmpFile(kind.layout));
    }
    ASSERT_EQ(testsupport::run("ffmpeg -v error -y -i " + testsupport::quote(file) +
                               " -f rawvideo -pix_fmt bgr24 " + testsupport::quote(raw)),
              0);
    BITMAPINFOHEADER* dib = kv::DIB_OpenFile(file.string().c_str());
    ASSERT_TRUE(dib) << kv::OpenBmpFile(file.string()).error;
    expectPacked(dib);
    EXPECT_EQ(dib->biWidth, 37);
    EXPECT_EQ(std::abs(dib->biHeight), 21);
    const auto ours = picture(dib);
    const auto theirs = testsupport::readFile(raw);
    ASSERT_EQ(ours.size(), theirs.size());
    std::size_t differ = 0;
    for (std::size_t i = 0; i < ours.size(); ++i)
        differ += ours[i] != theirs[i];
    EXPECT_EQ(differ, 0u) << "bytes differing from ffmpeg's decode";
    kv::DIB_Free(dib);
}

INSTANTIATE_TEST_SUITE_P(Files, BmpKinds, ::testing::ValuesIn(kinds()),
                         [](const auto& info) { return info.param.name; });

// Damaged files give a clear null and a reason, never a read outside the file or a giant block.
struct Damage {
    std::string name;
    void (*spoil)(std::vector<std::uint8_t>& file);
    std::string reason; // part of the message
};

void PrintTo(const Damage& damage, std::ostream* os) {
    *os << damage.name;
}

void set32(std::vector<std::uint8_t>& f, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        f[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}

class DamagedFiles : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedFiles, GiveNullWithTheCause) {
    BmpFileSpec s = indexed(8, 16);
    auto bytes = testsupport::buildBmpFile(s);
    GetParam().spoil(bytes);
    const fs::path file = testsupport::workDir("dib") / "damaged.bmp";
    writeFile(file, bytes);
    const kv::BmpFileRead read = kv::OpenBmpFile(file.string());
    EXPECT_EQ(read.dib, nullptr);
    EXPECT_NE(read.error.find(GetParam().reason), std::string::npos) << read.error;
    EXPECT_EQ(kv::DIB_OpenFile(file.string().c_str()), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Files, DamagedFiles,
    ::testing::Values(
        Damage{"truncatedPixels", [](auto& f) { f.resize(f.size() - 5); }, "pixel data is cut short"},
        Damage{"offsetBeyondFile", [](auto& f) { set32(f, 10, 0x7FFFFFF0); }, "beyond the end of the file"},
        Damage{"offsetIntoHeader", [](auto& f) { set32(f, 10, 20); }, "points into the bitmap header"},
        Damage{"giantWidth", [](auto& f) { set32(f, 18, 0x7FFFFFFF); }, "too large"},
        Damage{"giantHeight", [](auto& f) { set32(f, 22, 60000); }, "cut short"},
        Damage{"negativeWidth", [](auto& f) { set32(f, 18, 0xFFFFFFF0); }, "invalid"},
        Damage{"hugeColourCount", [](auto& f) { set32(f, 46, 0xFFFFFFFF); }, "colour table"},
        Damage{"unknownHeaderSize", [](auto& f) { set32(f, 14, 0x10000); }, "not a known kind"},
        Damage{"headerCut", [](auto& f) { f.resize(30); }, "header is cut short"},
        Damage{"tooShort", [](auto& f) { f.resize(10); }, "too short"},
        Damage{"jpeg", [](auto& f) { set32(f, 30, BI_JPEG), f[28] = 0; }, "JPEG picture"},
        Damage{"png", [](auto& f) { set32(f, 30, BI_PNG), f[28] = 0; }, "PNG picture"},
        Damage{"zeroPlanes", [](auto& f) { f[26] = 0; }, "planes"}),
    [](const auto& info) { return info.param.name; });

TEST(BmpFile, ColourTableCutByPixelOffsetKeepsItsFirstEntries) {
    SetDisplayBitsPerPixelForTesting(24);
    BmpFileSpec s = indexed(8, 16);
    s.clrUsed = 0;                // claims 256 entries
    s.offBits = 14 + 40 + 16 * 4; // but the pixels follow the 16 stored
    const fs::path file = testsupport::workDir("dib") / "cut.bmp";
    writeFile(file, testsupport::buildBmpFile(s));
    BITMAPINFOHEADER* dib = kv::DIB_OpenFile(file.string().c_str());
    expectPacked(dib);
    EXPECT_EQ(dib->biClrUsed, 256u);
    const auto* table = kv::DIB_Colors(dib);
    EXPECT_EQ(0, std::memcmp(table + 4 * 15,
                             std::vector<std::uint8_t>{s.colours[45], s.colours[46], s.colours[47], 0}.data(),
                             4));
    EXPECT_EQ(table[4 * 16] | table[4 * 16 + 1] | table[4 * 16 + 2], 0); // beyond the file's table: black
    EXPECT_EQ(kv::DIB_Ptr(dib)[0], s.pixels[std::size_t(20 * 37)]);      // bottom row, first pixel
    kv::DIB_Free(dib);
    SetDisplayBitsPerPixelForTesting(0);
}

TEST(BmpFile, RunLengthSizeLargerThanTheFileTakesWhatIsThere) {
    BmpFileSpec s = indexed(8, 16, 40, 1);
    s.sizeImage = 1 << 20;
    const auto bytes = testsupport::buildBmpFile(s);
    const fs::path file = testsupport::workDir("dib") / "rle.bmp";
    writeFile(file, bytes);
    BITMAPINFOHEADER* dib = kv::DIB_OpenFile(file.string().c_str());
    expectPacked(dib);
    EXPECT_EQ(dib->biSizeImage, bytes.size() - (14 + 40 + 64));
    kv::DIB_Free(dib);
}

TEST(BmpFile, RawDibIsReadFromTheFilePositionAndLeavesItAtThePixels) {
    BmpFileSpec s = indexed(4, 16, 12); // a core header: 3-byte entries widened to 4
    s.fileHeader = false;
    auto bytes = std::vector<std::uint8_t>(33, 0xEE);
    const auto dibBytes = testsupport::buildBmpFile(s);
    bytes.insert(bytes.end(), dibBytes.begin(), dibBytes.end());
    const fs::path file = testsupport::workDir("dib") / "raw.dib";
    writeFile(file, bytes);
    const int handle = host::FileOpen(file.string(), host::fmOpenRead);
    ASSERT_GE(handle, 0);
    ASSERT_EQ(host::FileSeek(handle, 33, 0), 33);
    BITMAPINFOHEADER* info = kv::DIB_ReadBitmapInfo(handle);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->biSize, 40u);
    EXPECT_EQ(info->biClrUsed, 16u);
    EXPECT_EQ(info->biSizeImage, 20u * 21u);
    EXPECT_EQ(host::FileSeek(handle, 0, 1), 33 + 12 + 16 * 3);
    EXPECT_EQ(0,
              std::memcmp(kv::DIB_Colors(info) + 4,
                          std::vector<std::uint8_t>{s.colours[3], s.colours[4], s.colours[5], 0}.data(), 4));
    kv::DIB_Free(info);
    EXPECT_EQ(kv::DIB_ReadBitmapInfo(-1), nullptr);
    host::FileClose(handle);
}

TEST(BmpFile, BitmapResourceOfTheProgramWhenNoFileHasTheName) {
    BITMAPINFOHEADER* dib = kv::DIB_OpenFile("bmp_wave");
    ASSERT_TRUE(dib);
    EXPECT_EQ(kv::HandleFrom_DIB(dib), nullptr); // owned by the module
    EXPECT_EQ(dib->biWidth, 16);
    EXPECT_EQ(dib->biHeight, 16);
    EXPECT_EQ(kv::DIB_BitCount(dib), 4);
    EXPECT_EQ(kv::DIB_NumColors(dib), 16u);
    EXPECT_EQ(kv::DIB_Size(dib), 40u + 64u + 128u);
    // The bottom-left pixel, the colour drawn transparently, is the silver background.
    EXPECT_EQ(*kv::DIB_XY(dib, 0, 0) >> 4, 7);
    kv::DIB_Free(dib); // does nothing
    EXPECT_EQ(kv::DIB_OpenFile("BMP_WAVE"), dib);
    EXPECT_EQ(kv::DIB_OpenFile("/no/such/file.bmp"), nullptr);
}

} // namespace
