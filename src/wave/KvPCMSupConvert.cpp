// Conversion between the 8/16-bit, mono/stereo and rate variants of PCM. One of sixteen frame
// converters and one of four frame writers is picked once, as template arguments, so the loop over the
// frames is a single inlined pass without calls.
#include "wave/KvPCMSup.h"

#include <cstddef>
#include <cstring>
#include <limits>

namespace kv {

namespace {

// A format's code: stereo adds 2, sixteen-bit adds 4; -1 when the format cannot be converted.
int formatCode(const TPCMWaveFormat* f) {
    if (!f || f->wFormatTag != WAVE_FORMAT_PCM || f->nSamplesPerSec == 0) return -1;
    if (f->nChannels != 1 && f->nChannels != 2) return -1;
    if (f->wBitsPerSample != 8 && f->wBitsPerSample != 16) return -1;
    return (f->nChannels == 2 ? 2 : 0) + (f->wBitsPerSample == 16 ? 4 : 0);
}

constexpr std::uint32_t bytesPerFrame(int code) {
    return code == 0 ? 1 : code == 6 ? 4 : 2;
}

TPCMWaveFormat pcmPart(const TWaveFormatEx& w) {
    return {w.wFormatTag, w.nChannels, w.nSamplesPerSec, w.nAvgBytesPerSec, w.nBlockAlign, w.wBitsPerSample};
}

// The exact number of frames the rate accumulator writes for n source frames. Decimating, the
// accumulator stays in [0, Rs) and gains Rs per written frame; repeating, it ends each frame in
// [Rd - Rs, Rd) and loses Rs per written frame: both pin the count to one value.
std::uint64_t framesWritten(std::uint64_t n, std::uint64_t rs, std::uint64_t rd) {
    if (n == 0) return 0;
    if (rs > rd) {
        std::uint64_t start = rs / 2, due = n * rd;
        return due <= start ? 0 : (due - start + rs - 1) / rs;
    }
    return (rd / 2 + (n - 1) * rd) / rs + 1;
}

struct Frame {
    std::int32_t l, r;
};

inline std::int32_t read16(const std::uint8_t* p) {
    return std::int16_t(std::uint16_t(p[0] | (std::uint32_t(p[1]) << 8)));
}
inline void write16(std::uint8_t* p, std::int32_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(std::uint32_t(v) >> 8);
}
// The high byte of a 16-bit sample with its top bit inverted: the 8-bit sample.
inline std::int32_t high8(std::int32_t s) {
    return ((s >> 8) + 128) & 255;
}
inline std::int32_t widen8(std::int32_t u) {
    return (u - 128) * 256;
}

// One source frame of code Src in the depth and layout of code Dst.
template <int Src, int Dst> inline Frame convertFrame(const std::uint8_t* p) {
    if constexpr (Src == 0) {
        std::int32_t u = p[0];
        if constexpr (Dst < 4)
            return {u, u};
        else
            return {widen8(u), widen8(u)};
    } else if constexpr (Src == 2) {
        std::int32_t l = p[0], r = p[1];
        if constexpr (Dst == 0)
            return {(l + r) >> 1, 0};
        else if constexpr (Dst == 2)
            return {l, r};
        else if constexpr (Dst == 4)
            return {widen8((l + r) >> 1), 0};
        else
            return {widen8(l), widen8(r)};
    } else if constexpr (Src == 4) {
        std::int32_t s = read16(p);
        if constexpr (Dst < 4)
            return {high8(s), high8(s)};
        else
            return {s, s};
    } else {
        std::int32_t l = read16(p), r = read16(p + 2);
        if constexpr (Dst == 0)
            return {(((l + 32768) + (r + 32768)) >> 1) >> 8, 0};
        else if constexpr (Dst == 2)
            return {high8(l), high8(r)};
        else if constexpr (Dst == 4)
            return {(l + r) >> 1, 0};
        else
            return {l, r};
    }
}

template <int Dst> inline void writeFrame(std::uint8_t* o, Frame f) {
    if constexpr (Dst == 0) {
        o[0] = std::uint8_t(f.l);
    } else if constexpr (Dst == 2) {
        o[0] = std::uint8_t(f.l);
        o[1] = std::uint8_t(f.r);
    } else if constexpr (Dst == 4) {
        write16(o, f.l);
    } else {
        write16(o, f.l);
        write16(o + 2, f.r);
    }
}

// Fewer output than input frames: a frame is written when taking the destination rate off the
// accumulator borrows, and then the source rate is added back.
template <int Src, int Dst>
std::uint8_t* decimate(std::uint8_t* o, const std::uint8_t* p, std::uint32_t n, std::uint32_t rs,
                       std::uint32_t rd) {
    constexpr std::uint32_t sb = bytesPerFrame(Src), db = bytesPerFrame(Dst);
    std::uint32_t acc = rs / 2;
    for (std::uint32_t i = 0; i < n; ++i, p += sb) {
        if (acc >= rd) {
            acc -= rd;
            continue;
        }
        writeFrame<Dst>(o, convertFrame<Src, Dst>(p));
        o += db;
        acc = acc - rd + rs;
    }
    return o;
}

// As many or more output frames: each frame is written once, and again for every source rate the
// accumulator still holds; the destination rate is added after its last write.
template <int Src, int Dst>
std::uint8_t* repeat(std::uint8_t* o, const std::uint8_t* p, std::uint32_t n, std::uint32_t rs,
                     std::uint32_t rd) {
    constexpr std::uint32_t sb = bytesPerFrame(Src), db = bytesPerFrame(Dst);
    std::uint32_t acc = rd / 2;
    if (rs == rd) {
        for (std::uint32_t i = 0; i < n; ++i, p += sb, o += db)
            writeFrame<Dst>(o, convertFrame<Src, Dst>(p));
        return o;
    }
    for (std::uint32_t i = 0; i < n; ++i, p += sb) {
        Frame f = convertFrame<Src, Dst>(p);
        bool more;
        do {
            writeFrame<Dst>(o, f);
            o += db;
            more = acc >= rs;
            acc -= rs;
        } while (more);
        acc += rd;
    }
    return o;
}

using ConvertLoop = std::uint8_t* (*)(std::uint8_t*, const std::uint8_t*, std::uint32_t, std::uint32_t,
                                      std::uint32_t);

template <int Src, int Dst> constexpr ConvertLoop pickLoop(bool decimating) {
    return decimating ? &decimate<Src, Dst> : &repeat<Src, Dst>;
}

template <int Src> ConvertLoop pickForSource(int dst, bool decimating) {
    switch (dst) {
    case 0:
        return pickLoop<Src, 0>(decimating);
    case 2:
        return pickLoop<Src, 2>(decimating);
    case 4:
        return pickLoop<Src, 4>(decimating);
    default:
        return pickLoop<Src, 6>(decimating);
    }
}

ConvertLoop pick(int src, int dst, bool decimating) {
    switch (src) {
    case 0:
        return pickForSource<0>(dst, decimating);
    case 2:
        return pickForSource<2>(dst, decimating);
    case 4:
        return pickForSource<4>(dst, decimating);
    default:
        return pickForSource<6>(dst, decimating);
    }
}

constexpr std::uint64_t kMaxBytes = std::uint64_t(std::numeric_limits<std::int32_t>::max());

} // namespace

std::int32_t pcmConvertSizeOutputData(const TPCMWaveFormat* dstFormat, const TPCMWaveFormat* srcFormat,
                                      std::int32_t srcBytes) {
    int src = formatCode(srcFormat), dst = formatCode(dstFormat);
    if (src < 0 || dst < 0) return -1;
    if (srcBytes <= 0) return 0;
    std::uint64_t n = std::uint32_t(srcBytes) / bytesPerFrame(src);
    std::uint64_t rs = srcFormat->nSamplesPerSec, rd = dstFormat->nSamplesPerSec;
    // The proportional count, raised where the accumulator writes a frame more than it (short blocks
    // and uneven ratios), so a buffer of this size always holds pcmConvert's output.
    std::uint64_t frames = n * rd / rs;
    std::uint64_t exact = framesWritten(n, rs, rd);
    if (exact > frames) frames = exact;
    if (frames > kMaxBytes / bytesPerFrame(dst)) return -1;
    return std::int32_t(frames * bytesPerFrame(dst));
}

std::int32_t pcmConvertSizeOutputData(const TWaveFormatEx* dstFormat, const TWaveFormatEx* srcFormat,
                                      std::int32_t srcBytes) {
    if (!dstFormat || !srcFormat) return -1;
    TPCMWaveFormat d = pcmPart(*dstFormat), s = pcmPart(*srcFormat);
    return pcmConvertSizeOutputData(&d, &s, srcBytes);
}

std::int32_t pcmConvert(const TPCMWaveFormat* dstFormat, void* dstData, const TPCMWaveFormat* srcFormat,
                        const void* srcData, std::int32_t srcBytes) {
    int src = formatCode(srcFormat), dst = formatCode(dstFormat);
    if (src < 0 || dst < 0) return -1;
    if (srcBytes <= 0) return srcBytes;
    if (!dstData || !srcData) return -1;
    std::uint32_t n = std::uint32_t(srcBytes) / bytesPerFrame(src);
    std::uint32_t rs = srcFormat->nSamplesPerSec, rd = dstFormat->nSamplesPerSec;
    std::uint64_t frames = framesWritten(n, rs, rd);
    if (frames > kMaxBytes / bytesPerFrame(dst)) return -1;
    auto* out = static_cast<std::uint8_t*>(dstData);
    const auto* in = static_cast<const std::uint8_t*>(srcData);
    if (src == dst && rs == rd) {
        std::memcpy(out, in, std::size_t(n) * bytesPerFrame(src));
        return std::int32_t(n * bytesPerFrame(src));
    }
    std::uint8_t* end = pick(src, dst, rs > rd)(out, in, n, rs, rd);
    return std::int32_t(end - out);
}

std::int32_t pcmConvert(const TWaveFormatEx* dstFormat, void* dstData, const TWaveFormatEx* srcFormat,
                        const void* srcData, std::int32_t srcBytes) {
    if (!dstFormat || !srcFormat) return -1;
    TPCMWaveFormat d = pcmPart(*dstFormat), s = pcmPart(*srcFormat);
    return pcmConvert(&d, dstData, &s, srcData, srcBytes);
}

} // namespace kv
