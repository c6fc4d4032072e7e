// The further block operations: peaks, zero crossings, channel layout and single-sample helpers.
#include "wave/KvPCMSup.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace kv {

namespace {

inline std::int32_t read16(const std::uint8_t* p) {
    return std::int16_t(std::uint16_t(p[0] | (std::uint32_t(p[1]) << 8)));
}
inline void write16(std::uint8_t* p, std::int32_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(std::uint32_t(v) >> 8);
}

// A PCM record's sample bytes (1 or 2) and channels (1 or 2), or false.
bool layout(const TWaveFormatEx* wfx, int& sampleBytes, int& channels) {
    if (!wfx || wfx->wFormatTag != WAVE_FORMAT_PCM) return false;
    if ((wfx->wBitsPerSample != 8 && wfx->wBitsPerSample != 16) ||
        (wfx->nChannels != 1 && wfx->nChannels != 2))
        return false;
    sampleBytes = wfx->wBitsPerSample / 8;
    channels = wfx->nChannels;
    return true;
}

template <int Bytes> inline std::int32_t sampleAt(const std::uint8_t* p) {
    if constexpr (Bytes == 1)
        return std::int32_t(p[0]) - 128;
    else
        return read16(p);
}

template <int Bytes, int C> void peaks(const std::uint8_t* p, std::uint32_t frames, std::int32_t* peak) {
    for (std::uint32_t i = 0; i < frames; ++i, p += Bytes * C)
        for (int ch = 0; ch < C; ++ch)
            peak[ch] = std::max(peak[ch], std::abs(sampleAt<Bytes>(p + Bytes * ch)));
}

template <int Bytes>
std::int32_t zeroCross(const std::uint8_t* p, std::uint32_t frames, std::uint32_t start, int stride) {
    if (start == 0) start = 1;
    for (std::uint32_t i = start; i < frames; ++i)
        if ((sampleAt<Bytes>(p + std::size_t(i - 1) * stride) < 0) !=
            (sampleAt<Bytes>(p + std::size_t(i) * stride) < 0))
            return std::int32_t(i);
    return -1;
}

} // namespace

void pcmFindPeak(const TWaveFormatEx* wfx, const void* data, std::int32_t bytes, std::int32_t& left,
                 std::int32_t& right) {
    left = right = 0;
    int sb, c;
    if (!layout(wfx, sb, c) || !data || bytes <= 0) return;
    std::int32_t peak[2] = {0, 0};
    const std::uint32_t frames = std::uint32_t(bytes) / std::uint32_t(sb * c);
    const auto* p = static_cast<const std::uint8_t*>(data);
    if (sb == 1)
        c == 1 ? peaks<1, 1>(p, frames, peak) : peaks<1, 2>(p, frames, peak);
    else
        c == 1 ? peaks<2, 1>(p, frames, peak) : peaks<2, 2>(p, frames, peak);
    left = peak[0];
    right = c == 2 ? peak[1] : peak[0];
}

std::int32_t pcmFindZeroCross(const TWaveFormatEx* wfx, const void* data, std::int32_t bytes,
                              std::int32_t startFrame) {
    int sb, c;
    if (!layout(wfx, sb, c) || !data || bytes <= 0 || startFrame < 0) return -1;
    const std::uint32_t frames = std::uint32_t(bytes) / std::uint32_t(sb * c);
    const auto* p = static_cast<const std::uint8_t*>(data);
    return sb == 1 ? zeroCross<1>(p, frames, std::uint32_t(startFrame), sb * c)
                   : zeroCross<2>(p, frames, std::uint32_t(startFrame), sb * c);
}

std::int32_t pcmChannelAlign(std::int32_t bits, std::int32_t dstChannels, void* dstData,
                             std::int32_t srcChannels, const void* srcData, std::int32_t srcBytes) {
    if ((bits != 8 && bits != 16) || dstChannels < 1 || dstChannels > 2 || srcChannels < 1 || srcChannels > 2)
        return 0;
    if (!dstData || !srcData || srcBytes <= 0) return 0;
    const auto* p = static_cast<const std::uint8_t*>(srcData);
    auto* o = static_cast<std::uint8_t*>(dstData);
    const std::uint32_t sb = std::uint32_t(bits / 8);
    const std::uint32_t frames = std::uint32_t(srcBytes) / (sb * std::uint32_t(srcChannels));
    if (dstChannels == srcChannels) {
        std::memmove(o, p, std::size_t(frames) * sb * std::uint32_t(srcChannels));
        return std::int32_t(frames * sb * std::uint32_t(srcChannels));
    }
    for (std::uint32_t i = 0; i < frames; ++i) {
        if (dstChannels == 2) {
            std::memcpy(o + 2 * sb * i, p + sb * i, sb);
            std::memcpy(o + 2 * sb * i + sb, p + sb * i, sb);
        } else if (sb == 1) {
            o[i] = std::uint8_t((p[2 * i] + p[2 * i + 1]) >> 1);
        } else {
            write16(o + 2 * i, (read16(p + 4 * i) + read16(p + 4 * i + 2)) >> 1);
        }
    }
    return std::int32_t(frames * sb * std::uint32_t(dstChannels));
}

std::uint8_t pcmAvgSample8(std::uint8_t a, std::uint8_t b) {
    return std::uint8_t((a + b) >> 1);
}
std::int16_t pcmAvgSample16(std::int16_t a, std::int16_t b) {
    return std::int16_t((a + b) >> 1);
}

std::int32_t pcmRepSample8(std::uint8_t* dst, std::uint8_t sample, std::int32_t count) {
    if (!dst || count <= 0) return 0;
    std::memset(dst, sample, std::size_t(count));
    return count;
}

std::int32_t pcmRepSample16(std::int16_t* dst, std::int16_t sample, std::int32_t count) {
    if (!dst || count <= 0) return 0;
    for (std::int32_t i = 0; i < count; ++i)
        dst[i] = sample;
    return count * 2;
}

} // namespace kv
