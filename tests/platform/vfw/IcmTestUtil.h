// Helpers of the installable-compressor tests: a synthetic moving picture as DIBs, running frames
// through a compressor and back, and comparing pictures.
#pragma once

#include "platform/vfw/FrameFormat.h"
#include "platform/vfw/Icm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace icmtest {

using namespace win;

inline DWORD_PTR ptr(const void* p) {
    return reinterpret_cast<DWORD_PTR>(p);
}

// A packed DIB: header, colour table, bottom-up rows.
struct Dib {
    std::vector<std::uint8_t> format; // header and colour table
    std::vector<std::uint8_t> bits;
    BITMAPINFOHEADER* header() { return reinterpret_cast<BITMAPINFOHEADER*>(format.data()); }
    const BITMAPINFOHEADER* header() const {
        return reinterpret_cast<const BITMAPINFOHEADER*>(format.data());
    }
    std::size_t stride() const {
        return std::size_t(DibStride(std::uint64_t(header()->biWidth), header()->biBitCount));
    }
};

inline std::vector<std::uint8_t> rgbHeader(int w, int h, int bpp, DWORD colours = 0) {
    BITMAPINFOHEADER bi{};
    bi.biSize = 40;
    bi.biWidth = w;
    bi.biHeight = h;
    bi.biPlanes = 1;
    bi.biBitCount = WORD(bpp);
    bi.biSizeImage = DWORD(DibStride(std::uint64_t(w), unsigned(bpp)) * std::uint64_t(h < 0 ? -h : h));
    bi.biClrUsed = colours;
    std::vector<std::uint8_t> f(sizeof bi + colours * 4);
    std::memcpy(f.data(), &bi, sizeof bi);
    for (DWORD i = 0; i < colours; ++i) {
        f[40 + i * 4] = std::uint8_t(i * 7);
        f[40 + i * 4 + 1] = std::uint8_t(255 - i);
        f[40 + i * 4 + 2] = std::uint8_t(i * 3 + 40);
    }
    return f;
}

// Frame t of a moving picture: smooth colour ramps that drift and a square that moves. 8-bit frames
// have blocks of one index (runs) and a noisy line every few lines (literal runs).
inline Dib movingFrame(int w, int h, int bpp, int t) {
    Dib d;
    d.format = rgbHeader(w, h, bpp, bpp == 8 ? 256 : 0);
    d.bits.assign(d.stride() * std::size_t(h), 0);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = d.bits.data() + std::size_t(h - 1 - y) * d.stride(); // y counts from the top
        for (int x = 0; x < w; ++x) {
            const bool square = x >= 8 + 2 * t && x < 24 + 2 * t && y >= 10 && y < 26;
            if (bpp == 8) {
                row[x] = y % 7 == 3 ? std::uint8_t((x * 37 + t * 11) & 0xFF)
                                    : std::uint8_t(square ? 255 : ((x + t) / 8) * 16 + y / 8);
                continue;
            }
            std::uint8_t* p = row + std::size_t(x) * std::size_t(bpp / 8);
            p[0] = std::uint8_t(square ? 30 : x * 3 + t * 4);
            p[1] = std::uint8_t(square ? 220 : y * 4 + 20);
            p[2] = std::uint8_t(square ? 60 : (x + y) * 2 + t * 3);
            if (bpp == 32) p[3] = 0;
        }
    }
    return d;
}

// Peak signal-to-noise ratio of the colour bytes of two 24- or 32-bit pictures of one layout.
inline double psnr(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b, int bpp) {
    double sum = 0;
    std::size_t n = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (bpp == 32 && i % 4 == 3) continue;
        const double d = double(a[i]) - double(b[i]);
        sum += d * d;
        ++n;
    }
    if (sum == 0) return 99.0;
    return 10.0 * std::log10(255.0 * 255.0 / (sum / double(n)));
}

struct Compressed {
    std::vector<std::uint8_t> format;
    std::vector<std::vector<std::uint8_t>> frames;
    std::vector<DWORD> flags;
};

// Compresses the frames with an open compressor; keys lists the frames asked to be key frames.
inline Compressed compressAll(HIC hic, const std::vector<Dib>& input, const std::vector<int>& keys = {},
                              DWORD quality = ICQUALITY_DEFAULT) {
    Compressed c;
    auto* in = const_cast<BITMAPINFOHEADER*>(input.front().header());
    const LRESULT formatSize = ICSendMessage(hic, ICM_COMPRESS_GET_FORMAT, ptr(in), 0);
    EXPECT_GE(formatSize, 40);
    if (formatSize < 40) return c;
    c.format.assign(std::size_t(formatSize), 0);
    auto* out = reinterpret_cast<BITMAPINFOHEADER*>(c.format.data());
    EXPECT_EQ(ICSendMessage(hic, ICM_COMPRESS_GET_FORMAT, ptr(in), ptr(out)), ICERR_OK);
    const LRESULT maxSize = ICSendMessage(hic, ICM_COMPRESS_GET_SIZE, ptr(in), ptr(out));
    EXPECT_GT(maxSize, 0);
    EXPECT_EQ(ICSendMessage(hic, ICM_COMPRESS_BEGIN, ptr(in), ptr(out)), ICERR_OK);
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(maxSize));
    for (std::size_t i = 0; i < input.size(); ++i) {
        DWORD ckid = 0, flags = 0;
        const bool key = std::find(keys.begin(), keys.end(), int(i)) != keys.end();
        const DWORD rc = ICCompress(hic, key ? ICCOMPRESS_KEYFRAME : 0, out, buffer.data(),
                                    const_cast<BITMAPINFOHEADER*>(input[i].header()),
                                    const_cast<std::uint8_t*>(input[i].bits.data()), &ckid, &flags, LONG(i),
                                    0, quality, nullptr, nullptr);
        EXPECT_EQ(LRESULT(rc), ICERR_OK) << "frame " << i;
        c.frames.emplace_back(buffer.begin(), buffer.begin() + out->biSizeImage);
        c.flags.push_back(flags);
    }
    EXPECT_EQ(ICSendMessage(hic, ICM_COMPRESS_END, 0, 0), ICERR_OK);
    return c;
}

// Decompresses every frame into DIBs of outFormat (a header, and colour table when 8-bit).
inline std::vector<std::vector<std::uint8_t>> decompressAll(HIC hic, const Compressed& c,
                                                            std::vector<std::uint8_t> outFormat) {
    std::vector<std::vector<std::uint8_t>> pictures;
    std::vector<std::uint8_t> in = c.format;
    auto* inHeader = reinterpret_cast<BITMAPINFOHEADER*>(in.data());
    auto* outHeader = reinterpret_cast<BITMAPINFOHEADER*>(outFormat.data());
    EXPECT_EQ(ICSendMessage(hic, ICM_DECOMPRESS_QUERY, ptr(inHeader), ptr(outHeader)), ICERR_OK);
    EXPECT_EQ(ICSendMessage(hic, ICM_DECOMPRESS_BEGIN, ptr(inHeader), ptr(outHeader)), ICERR_OK);
    std::vector<std::uint8_t> picture(outHeader->biSizeImage);
    for (std::size_t i = 0; i < c.frames.size(); ++i) {
        inHeader->biSizeImage = DWORD(c.frames[i].size());
        const DWORD flags = c.flags[i] & AVIIF_KEYFRAME ? 0 : ICDECOMPRESS_NOTKEYFRAME;
        const DWORD rc = ICDecompress(hic, flags, inHeader, const_cast<std::uint8_t*>(c.frames[i].data()),
                                      outHeader, picture.data());
        EXPECT_EQ(LRESULT(rc), ICERR_OK) << "frame " << i;
        pictures.push_back(picture);
    }
    EXPECT_EQ(ICSendMessage(hic, ICM_DECOMPRESS_END, 0, 0), ICERR_OK);
    return pictures;
}

struct HicCloser {
    void operator()(HIC__* h) const { ICClose(h); }
};
using HicPtr = std::unique_ptr<HIC__, HicCloser>;

} // namespace icmtest
