// Block operations over PCM buffers: extremes for display, bit-depth adaptation, volume. Each picks
// its case once and runs one tight pass, the depth and channel count as template arguments.
#include "wave/KvPCMSup.h"

#include <algorithm>
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

struct Extremes {
    std::int32_t min, max;
    std::uint32_t minAt = 0, maxAt = 0;
    void see(std::int32_t v, std::uint32_t i) {
        if (v < min) min = v, minAt = i;
        if (v > max) max = v, maxAt = i;
    }
    void result(std::int32_t offset, std::int32_t& first, std::int32_t& second) const {
        bool maxFirst = maxAt < minAt;
        first = (maxFirst ? max : min) + offset;
        second = (maxFirst ? min : max) + offset;
    }
};

template <int Bytes, int C> void scan(const std::uint8_t* p, std::uint32_t frames, Extremes* e) {
    for (std::uint32_t i = 0; i < frames; ++i, p += Bytes * C)
        for (int ch = 0; ch < C; ++ch)
            e[ch].see(Bytes == 1 ? std::int32_t(p[ch]) - 128 : read16(p + 2 * ch), i);
}

template <int Bytes> inline std::int32_t scaled(std::int32_t s, std::int32_t gain, bool& clipped) {
    std::int64_t v = (std::int64_t(s) * gain) >> 14;
    const std::int32_t lo = Bytes == 1 ? -128 : -32768, hi = Bytes == 1 ? 127 : 32767;
    if (v < lo || v > hi) {
        clipped = true;
        return v < lo ? lo : hi;
    }
    return std::int32_t(v);
}

template <int Bytes, int C>
bool scale(std::uint8_t* p, std::uint32_t frames, std::int32_t leftGain, std::int32_t rightGain) {
    bool clipped = false;
    const std::int32_t gains[2] = {leftGain, rightGain};
    for (std::uint32_t i = 0; i < frames; ++i, p += Bytes * C)
        for (int ch = 0; ch < C; ++ch) {
            if constexpr (Bytes == 1)
                p[ch] = std::uint8_t(scaled<1>(std::int32_t(p[ch]) - 128, gains[ch], clipped) + 128);
            else
                write16(p + 2 * ch, scaled<2>(read16(p + 2 * ch), gains[ch], clipped));
        }
    return clipped;
}

} // namespace

void pcmFindMinMax(const TWaveFormatEx* wfx, const void* data, std::int32_t bytes, std::int32_t& leftFirst,
                   std::int32_t& leftSecond, std::int32_t& rightFirst, std::int32_t& rightSecond) {
    const bool wide = wfx && wfx->wBitsPerSample == 16;
    const bool stereo = wfx && wfx->nChannels == 2;
    const std::uint32_t frameBytes = (wide ? 2 : 1) * (stereo ? 2 : 1);
    const std::uint32_t frames = bytes > 0 && data ? std::uint32_t(bytes) / frameBytes : 0;
    const std::int32_t silence = wide ? 0 : 128;
    if (frames == 0) {
        leftFirst = leftSecond = rightFirst = rightSecond = silence;
        return;
    }
    const std::int32_t top = wide ? 32767 : 127;
    Extremes e[2] = {{top, -top}, {top, -top}};
    const auto* p = static_cast<const std::uint8_t*>(data);
    if (wide)
        stereo ? scan<2, 2>(p, frames, e) : scan<2, 1>(p, frames, e);
    else
        stereo ? scan<1, 2>(p, frames, e) : scan<1, 1>(p, frames, e);
    const std::int32_t offset = wide ? 0 : 128;
    e[0].result(offset, leftFirst, leftSecond);
    if (stereo)
        e[1].result(offset, rightFirst, rightSecond);
    else
        rightFirst = leftFirst, rightSecond = leftSecond;
}

std::int32_t pcmBitsPerSampleAlign(std::int32_t dstBits, void* dstData, std::int32_t srcBits,
                                   const void* srcData, std::int32_t srcBytes) {
    if ((dstBits != 8 && dstBits != 16) || (srcBits != 8 && srcBits != 16)) return 0;
    if (!dstData || !srcData || srcBytes <= 0) return 0;
    const auto* p = static_cast<const std::uint8_t*>(srcData);
    auto* o = static_cast<std::uint8_t*>(dstData);
    if (dstBits == srcBits) {
        std::memmove(o, p, std::size_t(srcBytes));
        return srcBytes;
    }
    const std::uint32_t n = std::uint32_t(srcBytes) / std::uint32_t(srcBits / 8);
    if (srcBits == 16) {
        for (std::uint32_t i = 0; i < n; ++i) {
            std::int32_t s = read16(p + 2 * i);
            o[i] = std::uint8_t((s < 0 ? (s + 255) >> 8 : s >> 8) + 128);
        }
        return std::int32_t(n);
    }
    for (std::uint32_t i = 0; i < n; ++i)
        write16(o + 2 * i, (std::int32_t(p[i]) - 128) * 256);
    return std::int32_t(n * 2);
}

bool pcmVolume(const TWaveFormatEx* wfx, void* data, std::int32_t bytes, std::int32_t leftGain,
               std::int32_t rightGain) {
    if (!wfx || wfx->wFormatTag != WAVE_FORMAT_PCM || !data || bytes <= 0) return false;
    if ((wfx->wBitsPerSample != 8 && wfx->wBitsPerSample != 16) ||
        (wfx->nChannels != 1 && wfx->nChannels != 2))
        return false;
    const bool stereo = wfx->nChannels == 2, wide = wfx->wBitsPerSample == 16;
    if (leftGain == 16384 && (!stereo || rightGain == 16384)) return false;
    const std::uint32_t frames = std::uint32_t(bytes) / ((wide ? 2u : 1u) * (stereo ? 2u : 1u));
    auto* p = static_cast<std::uint8_t*>(data);
    bool clipped =
        wide ? (stereo ? scale<2, 2>(p, frames, leftGain, rightGain) : scale<2, 1>(p, frames, leftGain, 0))
             : (stereo ? scale<1, 2>(p, frames, leftGain, rightGain) : scale<1, 1>(p, frames, leftGain, 0));
    if (clipped) Overflow = true;
    return clipped;
}

std::int32_t pcmSampleClip8(std::int32_t v) {
    if (v < -128 || v > 127) Overflow = true;
    return std::clamp(v, -128, 127);
}

std::int32_t pcmSampleClip16(std::int32_t v) {
    if (v < -32768 || v > 32767) Overflow = true;
    return std::clamp(v, -32768, 32767);
}

std::uint8_t pcmSampleVolume8(std::uint8_t b, std::int32_t gain) {
    bool clipped = false;
    std::int32_t v = scaled<1>(std::int32_t(b) - 128, gain, clipped);
    if (clipped) Overflow = true;
    return std::uint8_t(v + 128);
}

std::int16_t pcmSampleVolume16(std::int16_t s, std::int32_t gain) {
    bool clipped = false;
    std::int32_t v = scaled<2>(s, gain, clipped);
    if (clipped) Overflow = true;
    return std::int16_t(v);
}

} // namespace kv
