// The installed compressors: enumeration, locating, round trips through every driver, key frames,
// settings blocks and the RLE8 encoder's runs.
#include "IcmTestUtil.h"

#include "platform/vfw/DibDecoder.h"
#include "platform/vfw/IcmDriver.h"

#include <cstring>
#include <string>
#include <vector>

using namespace icmtest;

namespace {

constexpr FOURCC kDib = mmioFOURCC('D', 'I', 'B', ' ');
constexpr FOURCC kRle = mmioFOURCC('M', 'R', 'L', 'E');
constexpr FOURCC kMjpg = mmioFOURCC('M', 'J', 'P', 'G');
constexpr FOURCC kMp4 = mmioFOURCC('F', 'M', 'P', '4');
constexpr FOURCC kFfv1 = mmioFOURCC('F', 'F', 'V', '1');
constexpr FOURCC kHfyu = mmioFOURCC('H', 'F', 'Y', 'U');
constexpr FOURCC kH264 = mmioFOURCC('H', '2', '6', '4');

std::string narrow(const WCHAR* s) {
    std::string out;
    for (; *s; ++s)
        out += char(*s);
    return out;
}

std::vector<Dib> movie(int bpp, int frames = 8) {
    std::vector<Dib> v;
    for (int t = 0; t < frames; ++t)
        v.push_back(movingFrame(64, 48, bpp, t));
    return v;
}

HicPtr open(FOURCC handler, UINT mode) {
    return HicPtr(ICOpen(ICTYPE_VIDEO, handler, mode));
}

} // namespace

TEST(Icm, EnumerationListsEveryDriverWithItsNames) {
    std::vector<std::pair<FOURCC, std::string>> found;
    ICINFO info{};
    for (DWORD i = 0; ICInfo(ICTYPE_VIDEO, i, &info); ++i) {
        EXPECT_EQ(info.dwSize, sizeof(ICINFO));
        EXPECT_EQ(info.fccType, ICTYPE_VIDEO);
        EXPECT_EQ(info.dwVersionICM, ICVERSION);
        EXPECT_FALSE(narrow(info.szDescription).empty());
        found.emplace_back(info.fccHandler, narrow(info.szName));
    }
    const std::vector<std::pair<FOURCC, std::string>> expected = {{kDib, "Uncompressed"}, {kRle, "RLE8"},
                                                                  {kMjpg, "MJPEG"},       {kMp4, "MPEG-4"},
                                                                  {kFfv1, "FFV1"},        {kHfyu, "Huffyuv"}};
    ASSERT_GE(found.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(found[i], expected[i]) << i;
    // By name, without regard to case, and not at all for an unknown one.
    EXPECT_TRUE(ICInfo(ICTYPE_VIDEO, mmioFOURCC('f', 'f', 'v', '1'), &info));
    EXPECT_EQ(info.fccHandler, kFfv1);
    EXPECT_FALSE(ICInfo(ICTYPE_VIDEO, mmioFOURCC('Z', 'Z', 'Z', 'Z'), &info));
    EXPECT_FALSE(ICInfo(mmioFOURCC('a', 'u', 'd', 'c'), 0, &info));
}

TEST(Icm, LocateFindsCompressorsAndDecompressors) {
    Dib rgb = movingFrame(64, 48, 24, 0);
    for (FOURCC handler : {kDib, kMjpg, kMp4, kFfv1, kHfyu}) {
        HicPtr hic(ICLocate(ICTYPE_VIDEO, handler, rgb.header(), nullptr, ICMODE_COMPRESS));
        ASSERT_TRUE(hic) << vfw::fourccText(handler);
        ICINFO info{};
        EXPECT_EQ(ICGetInfo(hic.get(), &info, sizeof info), LRESULT(sizeof info));
        EXPECT_EQ(info.fccHandler, handler);
    }
    // RLE8 takes 8-bit pictures only: asked for a 24-bit one it is passed over for one that can.
    HicPtr other(ICLocate(ICTYPE_VIDEO, kRle, rgb.header(), nullptr, ICMODE_COMPRESS));
    ASSERT_TRUE(other);
    ICINFO info{};
    ICGetInfo(other.get(), &info, sizeof info);
    EXPECT_EQ(info.fccHandler, kDib);

    // Decompression is found by the input's compression: BI_RLE8 and an MPEG-4 alias.
    std::vector<std::uint8_t> rle = rgbHeader(64, 48, 8, 256);
    reinterpret_cast<BITMAPINFOHEADER*>(rle.data())->biCompression = BI_RLE8;
    HicPtr rleDec(ICLocate(ICTYPE_VIDEO, 0, reinterpret_cast<BITMAPINFOHEADER*>(rle.data()), nullptr,
                           ICMODE_DECOMPRESS));
    ASSERT_TRUE(rleDec);
    ICGetInfo(rleDec.get(), &info, sizeof info);
    EXPECT_EQ(info.fccHandler, kRle);
    BITMAPINFOHEADER xvid = *rgb.header();
    xvid.biCompression = mmioFOURCC('X', 'V', 'I', 'D');
    HicPtr mp4Dec(ICLocate(ICTYPE_VIDEO, 0, &xvid, nullptr, ICMODE_DECOMPRESS));
    ASSERT_TRUE(mp4Dec);
    ICGetInfo(mp4Dec.get(), &info, sizeof info);
    EXPECT_EQ(info.fccHandler, kMp4);
    xvid.biCompression = mmioFOURCC('Q', 'Q', 'Q', 'Q');
    EXPECT_EQ(ICLocate(ICTYPE_VIDEO, 0, &xvid, nullptr, ICMODE_DECOMPRESS), nullptr);
}

TEST(Icm, ClosedOrUnknownHandlesAreRefused) {
    HIC hic = ICOpen(ICTYPE_VIDEO, kDib, ICMODE_COMPRESS);
    ASSERT_NE(hic, nullptr);
    EXPECT_EQ(ICClose(hic), ICERR_OK);
    EXPECT_EQ(ICClose(hic), ICERR_BADHANDLE);
    EXPECT_EQ(ICSendMessage(hic, ICM_COMPRESS_END, 0, 0), ICERR_BADHANDLE);
    EXPECT_EQ(ICOpen(ICTYPE_VIDEO, mmioFOURCC('n', 'o', 'n', 'e'), ICMODE_COMPRESS), nullptr);
    // Handler 0 opens the uncompressed driver.
    HicPtr dib = open(0, ICMODE_DECOMPRESS);
    ASSERT_TRUE(dib);
}

struct RoundTrip {
    FOURCC handler;
    int bpp;
    double minPsnr;    // 0: the pictures must come back exactly
    DWORD compression; // of the compressed format
};

class IcmRoundTrip : public testing::TestWithParam<RoundTrip> {};

TEST_P(IcmRoundTrip, FramesComeBack) {
    const RoundTrip p = GetParam();
    HicPtr enc = open(p.handler, ICMODE_COMPRESS);
    if (!enc && p.handler == kH264) GTEST_SKIP() << "no H.264 encoder installed";
    ASSERT_TRUE(enc);
    const auto input = movie(p.bpp);
    const Compressed c = compressAll(enc.get(), input, {0});
    ASSERT_EQ(c.frames.size(), input.size());
    const auto* format = reinterpret_cast<const BITMAPINFOHEADER*>(c.format.data());
    EXPECT_EQ(format->biCompression, p.compression);
    EXPECT_TRUE(c.flags[0] & AVIIF_KEYFRAME);
    std::size_t total = 0;
    for (const auto& f : c.frames)
        total += f.size();
    if (p.handler != kDib) {
        EXPECT_LT(total, input.size() * input[0].bits.size()) << "nothing was compressed";
    }

    HicPtr dec = open(p.handler, ICMODE_DECOMPRESS);
    ASSERT_TRUE(dec);
    const int outBits = p.bpp == 8 ? 8 : 24;
    std::vector<std::uint8_t> out = rgbHeader(64, 48, outBits, p.bpp == 8 ? 256 : 0);
    if (p.bpp == 8) std::copy(input[0].format.begin() + 40, input[0].format.end(), out.begin() + 40);
    const auto pictures = decompressAll(dec.get(), c, out);
    ASSERT_EQ(pictures.size(), input.size());
    for (std::size_t i = 0; i < input.size(); ++i) {
        const Dib expected = p.bpp == 32 ? movingFrame(64, 48, 24, int(i)) : input[i];
        if (p.minPsnr == 0) {
            EXPECT_EQ(pictures[i], expected.bits) << "frame " << i;
        } else {
            EXPECT_GT(psnr(pictures[i], expected.bits, 24), p.minPsnr) << "frame " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Drivers, IcmRoundTrip,
                         testing::Values(RoundTrip{kDib, 24, 0, BI_RGB}, RoundTrip{kDib, 8, 0, BI_RGB},
                                         RoundTrip{kRle, 8, 0, BI_RLE8}, RoundTrip{kFfv1, 24, 0, kFfv1},
                                         RoundTrip{kFfv1, 32, 0, kFfv1}, RoundTrip{kHfyu, 24, 0, kHfyu},
                                         RoundTrip{kMjpg, 24, 27, kMjpg}, RoundTrip{kMp4, 24, 27, kMp4},
                                         RoundTrip{kH264, 24, 27, kH264}));

struct KeyCase {
    FOURCC handler;
    DWORD keyRate;           // set through the settings block
    std::vector<int> asked;  // frames asked to be key frames
    std::vector<int> keys;   // frames that must be key frames
    std::vector<int> deltas; // frames that must not be
    bool framesInfo = false; // the rate comes with the sequence's information instead of the settings
};

class IcmKeyFrames : public testing::TestWithParam<KeyCase> {};

TEST_P(IcmKeyFrames, KeyFramesWhereAskedAndByRate) {
    const KeyCase k = GetParam();
    HicPtr enc = open(k.handler, ICMODE_COMPRESS);
    if (!enc && k.handler == kH264) GTEST_SKIP() << "no H.264 encoder installed";
    ASSERT_TRUE(enc);
    DWORD quality = 0;
    ICSendMessage(enc.get(), ICM_GETDEFAULTQUALITY, ptr(&quality), sizeof quality);
    if (k.framesInfo) {
        ICCOMPRESSFRAMES info{};
        info.lQuality = -1;
        info.lKeyRate = LONG(k.keyRate);
        ASSERT_EQ(ICSendMessage(enc.get(), ICM_COMPRESS_FRAMES_INFO, ptr(&info), sizeof info), ICERR_OK);
    } else {
        auto state = icm::packState(k.handler, {quality ? quality : ICQUALITY_HIGH, k.keyRate});
        ASSERT_EQ(ICSendMessage(enc.get(), ICM_SETSTATE, ptr(state.data()), state.size()),
                  LRESULT(state.size()));
    }
    const Compressed c = compressAll(enc.get(), movie(24, 9), k.asked);
    ASSERT_EQ(c.flags.size(), 9u);
    for (int i : k.keys)
        EXPECT_TRUE(c.flags[std::size_t(i)] & AVIIF_KEYFRAME) << "frame " << i;
    for (int i : k.deltas)
        EXPECT_FALSE(c.flags[std::size_t(i)] & AVIIF_KEYFRAME) << "frame " << i;
    // Whatever the key frames, the frames decode one by one in order.
    HicPtr dec = open(k.handler, ICMODE_DECOMPRESS);
    const auto pictures = decompressAll(dec.get(), c, rgbHeader(64, 48, 24));
    const auto input = movie(24, 9);
    for (std::size_t i = 0; i < pictures.size(); ++i)
        EXPECT_GT(psnr(pictures[i], input[i].bits, 24), 25) << "frame " << i;
}

INSTANTIATE_TEST_SUITE_P(Drivers, IcmKeyFrames,
                         testing::Values(KeyCase{kMp4, 0, {5}, {0, 5}, {1, 2, 6}},
                                         KeyCase{kMp4, 3, {}, {0, 3, 6}, {1, 2, 4, 5, 7}},
                                         KeyCase{kFfv1, 0, {2, 7}, {0, 2, 7}, {1, 3, 8}},
                                         KeyCase{kFfv1, 4, {}, {0, 4, 8}, {1, 2, 3, 5}},
                                         KeyCase{kH264, 0, {4}, {0, 4}, {1, 5}},
                                         KeyCase{kH264, 4, {}, {0, 4, 8}, {1, 2, 3, 5}, true}));

TEST(Icm, SettingsBlockIsValidated) {
    HicPtr enc = open(kMjpg, ICMODE_COMPRESS);
    ASSERT_TRUE(enc);
    const LRESULT size = ICSendMessage(enc.get(), ICM_GETSTATE, 0, 0);
    ASSERT_EQ(size, LRESULT(icm::kStateBytes));
    std::vector<std::uint8_t> original(static_cast<std::size_t>(size));
    EXPECT_EQ(ICSendMessage(enc.get(), ICM_GETSTATE, ptr(original.data()), original.size()), size);

    const std::vector<std::vector<std::uint8_t>> refused = {
        icm::packState(kMp4, {5000, 1}),                                 // another driver's
        icm::packState(kMjpg, {10001, 1}),                               // quality out of range
        std::vector<std::uint8_t>(original.begin(), original.end() - 1), // short
    };
    for (const auto& block : refused) {
        EXPECT_EQ(ICSendMessage(enc.get(), ICM_SETSTATE, ptr(block.data()), block.size()), 0);
        std::vector<std::uint8_t> now(original.size());
        ICSendMessage(enc.get(), ICM_GETSTATE, ptr(now.data()), now.size());
        EXPECT_EQ(now, original);
    }
    const auto good = icm::packState(kMjpg, {2000, 1});
    EXPECT_EQ(ICSendMessage(enc.get(), ICM_SETSTATE, ptr(good.data()), good.size()), size);
    std::vector<std::uint8_t> now(original.size());
    ICSendMessage(enc.get(), ICM_GETSTATE, ptr(now.data()), now.size());
    EXPECT_EQ(now, good);
    // Lower quality, smaller frames.
    const auto input = movie(24, 2);
    const Compressed low = compressAll(enc.get(), input);
    const Compressed high = compressAll(enc.get(), input, {}, 9500);
    EXPECT_LT(low.frames[1].size(), high.frames[1].size());
}

TEST(Icm, DefaultsAndFlagsOfEachDriver) {
    struct Row {
        FOURCC handler;
        bool quality;
        bool temporal;
    };
    for (const Row& r : {Row{kDib, false, false}, Row{kRle, false, false}, Row{kMjpg, true, false},
                         Row{kMp4, true, true}, Row{kFfv1, false, true}, Row{kHfyu, false, false}}) {
        HicPtr hic = open(r.handler, ICMODE_QUERY);
        ASSERT_TRUE(hic);
        ICINFO info{};
        ICGetInfo(hic.get(), &info, sizeof info);
        EXPECT_EQ(bool(info.dwFlags & VIDCF_QUALITY), r.quality) << vfw::fourccText(r.handler);
        EXPECT_EQ(bool(info.dwFlags & VIDCF_TEMPORAL), r.temporal) << vfw::fourccText(r.handler);
        DWORD value = 0;
        const LRESULT q = ICSendMessage(hic.get(), ICM_GETDEFAULTQUALITY, ptr(&value), sizeof value);
        EXPECT_EQ(q == ICERR_OK, r.quality);
        if (r.quality) {
            EXPECT_TRUE(value > 0 && value <= ICQUALITY_HIGH);
        }
        value = 0;
        EXPECT_EQ(ICSendMessage(hic.get(), ICM_GETDEFAULTKEYFRAMERATE, ptr(&value), sizeof value), ICERR_OK);
        EXPECT_EQ(value > 1, r.temporal);
        // No dialogs and no drawing.
        EXPECT_EQ(ICSendMessage(hic.get(), ICM_ABOUT, DWORD_PTR(-1), ICMF_ABOUT_QUERY), ICERR_UNSUPPORTED);
        EXPECT_EQ(ICSendMessage(hic.get(), ICM_DRAW_BEGIN, 0, 0), ICERR_UNSUPPORTED);
    }
}

struct RleLine {
    std::vector<std::uint8_t> pixels;
    std::vector<std::uint8_t> encoded;
};

TEST(IcmRle, LinesBecomeRunsAndLiterals) {
    std::vector<std::uint8_t> long300(300, 7);
    std::vector<std::uint8_t> longEncoded = {255, 7, 45, 7};
    std::vector<std::uint8_t> literal300(300);
    for (std::size_t i = 0; i < literal300.size(); ++i)
        literal300[i] = std::uint8_t(i % 2 ? i : 255 - i);
    const std::vector<RleLine> rows = {
        {{5, 5, 5}, {3, 5}},
        {{1, 2, 3, 4}, {0, 4, 1, 2, 3, 4}},
        {{1, 2, 3}, {0, 3, 1, 2, 3, 0}}, // odd literal padded to 16 bits
        {{1, 2}, {1, 1, 1, 2}},          // too short for a literal
        {{9}, {1, 9}},
        {{1, 2, 3, 3, 3, 4}, {1, 1, 1, 2, 3, 3, 1, 4}},
        {long300, longEncoded},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const RleLine& r = rows[i];
        std::vector<std::uint8_t> out(2 * r.pixels.size() + 2);
        const std::size_t n = icm::encodeRle8Line(r.pixels.data(), r.pixels.size(), out.data());
        out.resize(n);
        EXPECT_EQ(out, r.encoded) << "row " << i;
        EXPECT_LE(n, 2 * r.pixels.size());
    }
    // Whatever the mix, the existing decoder reads the line back.
    for (const auto& pixels : {rows[5].pixels, literal300, long300}) {
        std::vector<std::uint8_t> out(2 * pixels.size() + 4);
        std::size_t n = icm::encodeRle8Line(pixels.data(), pixels.size(), out.data());
        out[n++] = 0;
        out[n++] = 1;
        out.resize(n);
        std::vector<std::uint8_t> image(pixels.size(), 0xEE);
        EXPECT_EQ(win::DecodeDibRle(out, false, image.data(), int(pixels.size()), 1, false),
                  win::RleResult::EndOfBitmap);
        EXPECT_EQ(image, pixels);
    }
}

TEST(IcmRle, RefusesPicturesItCannotTake) {
    HicPtr hic = open(kRle, ICMODE_COMPRESS);
    ASSERT_TRUE(hic);
    Dib rgb = movingFrame(16, 8, 24, 0);
    EXPECT_EQ(ICSendMessage(hic.get(), ICM_COMPRESS_QUERY, ptr(rgb.header()), 0), ICERR_BADFORMAT);
    Dib indexed = movingFrame(16, 8, 8, 0);
    EXPECT_EQ(ICSendMessage(hic.get(), ICM_COMPRESS_QUERY, ptr(indexed.header()), 0), ICERR_OK);
    // A colour table claiming more than 256 entries is not a format at all.
    indexed.header()->biClrUsed = 100000;
    EXPECT_EQ(ICSendMessage(hic.get(), ICM_COMPRESS_QUERY, ptr(indexed.header()), 0), ICERR_BADFORMAT);
}

namespace {

// The format block of a driver's input ends where the pixels of the same packed DIB begin.
struct FormatBlock {
    const char* name;
    win::DWORD size, compression;
    win::WORD bits;
    win::DWORD clrUsed;
    std::size_t bytes;
};

class IcmFormatBytes : public ::testing::TestWithParam<FormatBlock> {};

TEST_P(IcmFormatBytes, EndWhereThePixelsBegin) {
    const FormatBlock& c = GetParam();
    std::vector<std::uint8_t> block(200, 0);
    win::BITMAPINFOHEADER h{c.size, 8, 8, 1, c.bits, c.compression, 0, 0, 0, c.clrUsed, 0};
    std::memcpy(block.data(), &h, sizeof h);
    const win::DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(block.data() + 40, masks, sizeof masks);
    EXPECT_EQ(win::icm::formatBytes(reinterpret_cast<const win::BITMAPINFOHEADER*>(block.data())), c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, IcmFormatBytes,
    ::testing::Values(FormatBlock{"bits8_full_table", 40, win::BI_RGB, 8, 0, 40 + 1024},
                      FormatBlock{"bits4_clrused20", 40, win::BI_RGB, 4, 20, 40 + 80},
                      FormatBlock{"rle8_short_table", 40, win::BI_RLE8, 8, 5, 40 + 20},
                      FormatBlock{"bits24_optimisation_table", 40, win::BI_RGB, 24, 16, 40 + 64},
                      FormatBlock{"bitfields_behind_40", 40, win::BI_BITFIELDS, 16, 0, 52},
                      FormatBlock{"bitfields_in_56", 56, win::BI_BITFIELDS, 16, 0, 56},
                      FormatBlock{"bits24_v5", 124, win::BI_RGB, 24, 0, 124},
                      FormatBlock{"codec_with_data", 60, win::mmioFOURCC('X', 'V', 'I', 'D'), 24, 0, 60},
                      FormatBlock{"bits8_too_many_colours", 40, win::BI_RGB, 8, 300, 0}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
