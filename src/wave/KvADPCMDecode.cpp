// Decoding Microsoft ADPCM blocks to 8- or 16-bit PCM, one pass per block, state per channel in
// small arrays; the channel count and output depth are template arguments picked once per call.
#include "wave/KvADPCM.h"

#include "wave/KvADPCMInternal.h"

#include <limits>

namespace kv {

namespace {

using adpcm::Record;

// Frames that srcBytes of data decode to, walking the blocks as the header fields lay them out.
std::uint64_t decodedFrames(const Record& rec, std::uint64_t srcBytes) {
    const std::uint64_t header = 7 * std::uint64_t(rec.channels);
    std::uint64_t frames = (srcBytes / rec.packedBlock) * rec.samplesPerBlock;
    std::uint64_t rest = srcBytes % rec.packedBlock;
    if (rest >= header) {
        std::uint64_t coded = (rest - header) * 2 / std::uint64_t(rec.channels);
        frames += 2 + std::min<std::uint64_t>(coded, rec.samplesPerBlock - 2);
    }
    return frames;
}

template <int Bytes> inline void put(std::uint8_t*& o, std::int32_t s) {
    if constexpr (Bytes == 1) {
        *o++ = adpcm::to8(s);
    } else {
        o[0] = std::uint8_t(s);
        o[1] = std::uint8_t(std::uint32_t(s) >> 8);
        o += 2;
    }
}

inline std::int32_t read16(const std::uint8_t* p) {
    return std::int16_t(std::uint16_t(p[0] | (std::uint32_t(p[1]) << 8)));
}

// Decodes one block of at most `avail` bytes (at least its header). Returns false for a predictor the
// record does not have.
template <int C, int Bytes>
bool decodeBlock(const Record& rec, const std::uint8_t* p, std::uint32_t avail, std::uint8_t*& o) {
    std::int32_t c1[C], c2[C], step[C], s1[C], s2[C];
    for (int ch = 0; ch < C; ++ch) {
        int pred = p[ch];
        if (pred >= rec.numCoef) return false;
        c1[ch] = rec.coef1[pred];
        c2[ch] = rec.coef2[pred];
        step[ch] = read16(p + C + 2 * ch);
        s1[ch] = read16(p + 3 * C + 2 * ch);
        s2[ch] = read16(p + 5 * C + 2 * ch);
    }
    for (int ch = 0; ch < C; ++ch)
        put<Bytes>(o, s2[ch]);
    for (int ch = 0; ch < C; ++ch)
        put<Bytes>(o, s1[ch]);
    const std::uint8_t* codes = p + 7 * C;
    const std::uint32_t nibbles = std::min<std::uint32_t>((rec.samplesPerBlock - 2) * C, (avail - 7 * C) * 2);
    for (std::uint32_t i = 0; i < nibbles; ++i) {
        const int ch = C == 1 ? 0 : int(i & 1);
        const std::int8_t b = std::int8_t(codes[i >> 1]);
        const std::int32_t code = (i & 1) ? std::int8_t(b << 4) >> 4 : b >> 4;
        std::int32_t s = adpcm::clamp16(adpcm::predict(s1[ch], s2[ch], c1[ch], c2[ch]) + code * step[ch]);
        step[ch] = adpcm::nextStep(step[ch], code);
        put<Bytes>(o, s);
        s2[ch] = s1[ch];
        s1[ch] = s;
    }
    return true;
}

template <int C, int Bytes>
std::int32_t decodeAll(const Record& rec, const std::uint8_t* p, std::uint32_t n, std::uint8_t* dst) {
    std::uint8_t* o = dst;
    while (n >= 7u * C) {
        const std::uint32_t take = std::min(n, rec.packedBlock);
        if (!decodeBlock<C, Bytes>(rec, p, take, o)) return 0;
        p += take;
        n -= take;
    }
    return std::int32_t(o - dst);
}

} // namespace

std::int32_t adpcmDecodeSizeOutputData(const TWaveFormatEx* adpcmFormat, const TWaveFormatEx* pcmFormat,
                                       std::int32_t srcBytes) {
    Record rec;
    int bytes = adpcm::pcmSampleBytes(pcmFormat);
    if (!bytes || !adpcm::readRecord(adpcmFormat, rec)) return -1;
    if (srcBytes <= 0) return 0;
    std::uint64_t total = decodedFrames(rec, std::uint64_t(srcBytes)) * std::uint64_t(rec.channels * bytes);
    if (total > std::uint64_t(std::numeric_limits<std::int32_t>::max())) return -1;
    return std::int32_t(total);
}

std::int32_t adpcmDecode4Bit(const TWaveFormatEx* adpcmFormat, const TWaveFormatEx* pcmFormat,
                             const void* src, std::int32_t srcBytes, void* dst) {
    if (!src || !dst || adpcmDecodeSizeOutputData(adpcmFormat, pcmFormat, srcBytes) <= 0) return 0;
    Record rec;
    adpcm::readRecord(adpcmFormat, rec);
    const auto* p = static_cast<const std::uint8_t*>(src);
    auto* o = static_cast<std::uint8_t*>(dst);
    const auto n = std::uint32_t(srcBytes);
    const bool eight = adpcm::pcmSampleBytes(pcmFormat) == 1;
    if (rec.channels == 1) return eight ? decodeAll<1, 1>(rec, p, n, o) : decodeAll<1, 2>(rec, p, n, o);
    return eight ? decodeAll<2, 1>(rec, p, n, o) : decodeAll<2, 2>(rec, p, n, o);
}

} // namespace kv
