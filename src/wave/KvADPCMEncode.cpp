// Encoding 8- or 16-bit PCM to Microsoft ADPCM: per block and channel, each of the seven predictors is
// tried over the block and the one with the smallest squared error is used.
#include "wave/KvADPCM.h"

#include "wave/KvADPCMInternal.h"

#include <cstdlib>
#include <limits>
#include <memory>
#include <new>

namespace kv {

namespace {

using adpcm::Record;

struct Channel {
    std::int32_t step, s1, s2, c1, c2;
    // Encodes one sample, returning its 4-bit code and advancing the predictor state.
    std::int32_t encode(std::int32_t x) {
        const std::int32_t pred = adpcm::predict(s1, s2, c1, c2);
        const std::int32_t code = std::clamp((x - pred) / step, -8, 7);
        const std::int32_t s = adpcm::clamp16(pred + step * code);
        step = adpcm::nextStep(step, code);
        s2 = s1;
        s1 = s;
        return code;
    }
};

// Sample i of a channel in a block of n frames; samples past a short block repeat its last one.
inline std::int32_t at(const std::int32_t* x, int c, std::uint32_t n, std::uint32_t i, int ch) {
    return x[std::size_t(std::min(i, n - 1)) * c + ch];
}

std::int32_t initialStep(const std::int32_t* x, int c, std::uint32_t n, int ch, int k) {
    const std::int32_t c1 = adpcm::kCoefs[k].iCoef1, c2 = adpcm::kCoefs[k].iCoef2;
    std::int64_t sum = 0;
    for (std::uint32_t i = 2; i <= 4; ++i) {
        std::int32_t p = adpcm::predict(at(x, c, n, i - 1, ch), at(x, c, n, i - 2, ch), c1, c2);
        sum += std::abs(at(x, c, n, i, ch) - p);
    }
    return std::int32_t(std::clamp<std::int64_t>(sum / 12, 16, 32767));
}

Channel startState(const std::int32_t* x, int c, std::uint32_t n, int ch, int k) {
    return {initialStep(x, c, n, ch, k), at(x, c, n, 1, ch), at(x, c, n, 0, ch), adpcm::kCoefs[k].iCoef1,
            adpcm::kCoefs[k].iCoef2};
}

// The predictor with the smallest total of ((s - x)^2 >> 7) over the block; the lower index on a tie.
int choosePredictor(const std::int32_t* x, int c, std::uint32_t n, int ch) {
    int best = 0;
    std::uint64_t bestError = std::numeric_limits<std::uint64_t>::max();
    for (int k = 0; k < 7; ++k) {
        Channel st = startState(x, c, n, ch, k);
        std::uint64_t error = 0;
        for (std::uint32_t i = 2; i < n; ++i) {
            const std::int32_t v = x[std::size_t(i) * c + ch];
            st.encode(v);
            const std::int64_t d = st.s1 - v;
            error += std::uint64_t(d * d) >> 7;
        }
        if (error < bestError) {
            bestError = error;
            best = k;
        }
    }
    return best;
}

void put16(std::uint8_t*& o, std::int32_t v) {
    o[0] = std::uint8_t(v);
    o[1] = std::uint8_t(std::uint32_t(v) >> 8);
    o += 2;
}

// Encodes one block of n frames (full when n is the record's samples per block); returns its end.
std::uint8_t* encodeBlock(const std::int32_t* x, int c, std::uint32_t n, bool full, std::uint8_t* o) {
    Channel st[2];
    for (int ch = 0; ch < c; ++ch) {
        int k = choosePredictor(x, c, n, ch);
        st[ch] = startState(x, c, n, ch, k);
        o[ch] = std::uint8_t(k);
    }
    o += c;
    for (int ch = 0; ch < c; ++ch)
        put16(o, st[ch].step);
    for (int ch = 0; ch < c; ++ch)
        put16(o, st[ch].s1);
    for (int ch = 0; ch < c; ++ch)
        put16(o, st[ch].s2);
    bool high = true;
    std::uint8_t pending = 0;
    for (std::uint32_t i = 2; i < n; ++i) {
        for (int ch = 0; ch < c; ++ch) {
            const std::uint8_t code = std::uint8_t(st[ch].encode(x[std::size_t(i) * c + ch]) & 15);
            if (high) pending = std::uint8_t(code << 4);
            else *o++ = std::uint8_t(pending | code);
            high = !high;
        }
    }
    // A half-used byte completes a whole block, so the next block starts where the record says; a
    // short last block drops it.
    if (!high && full) *o++ = pending;
    return o;
}

std::uint64_t encodedBytes(const Record& rec, std::uint64_t frames) {
    std::uint64_t bytes = (frames / rec.samplesPerBlock) * rec.packedBlock;
    std::uint64_t n = frames % rec.samplesPerBlock;
    if (n) bytes += 7 * std::uint64_t(rec.channels) + (n >= 2 ? (n - 2) * rec.channels / 2 : 0);
    return bytes;
}

bool usable(const TWaveFormatEx* pcm, const TWaveFormatEx* adpcmFormat, Record& rec) {
    return adpcm::pcmSampleBytes(pcm) && adpcmIsValidFormat(adpcmFormat) &&
           adpcm::readRecord(adpcmFormat, rec) && pcm->nChannels == rec.channels;
}

} // namespace

std::int32_t adpcmEncodeSizeOutputData(const TWaveFormatEx* pcmFormat, const TWaveFormatEx* adpcmFormat,
                                       std::int32_t srcBytes) {
    Record rec;
    if (!usable(pcmFormat, adpcmFormat, rec)) return -1;
    if (srcBytes <= 0) return 0;
    const std::uint32_t frameBytes = std::uint32_t(adpcm::pcmSampleBytes(pcmFormat) * rec.channels);
    std::uint64_t bytes = encodedBytes(rec, std::uint32_t(srcBytes) / frameBytes);
    return bytes > std::uint64_t(std::numeric_limits<std::int32_t>::max()) ? -1 : std::int32_t(bytes);
}

std::int32_t adpcmEncode4Bit(const TWaveFormatEx* pcmFormat, const TWaveFormatEx* adpcmFormat,
                             const void* src, std::int32_t srcBytes, void* dst) {
    Record rec;
    if (!src || !dst || srcBytes <= 0 || !usable(pcmFormat, adpcmFormat, rec)) return 0;
    const int c = rec.channels, sampleBytes = adpcm::pcmSampleBytes(pcmFormat);
    const std::uint32_t frameBytes = std::uint32_t(sampleBytes * c);
    std::unique_ptr<std::int32_t[]> work(new (std::nothrow)
                                             std::int32_t[std::size_t(rec.samplesPerBlock) * c]);
    if (!work) return 0;
    const auto* p = static_cast<const std::uint8_t*>(src);
    auto* o = static_cast<std::uint8_t*>(dst);
    std::uint32_t frames = std::uint32_t(srcBytes) / frameBytes;
    while (frames > 0) {
        const std::uint32_t n = std::min(frames, rec.samplesPerBlock);
        for (std::uint32_t i = 0; i < n * std::uint32_t(c); ++i, p += sampleBytes)
            work[i] = sampleBytes == 1 ? (std::int32_t(p[0]) - 128) * 256
                                       : std::int16_t(std::uint16_t(p[0] | (std::uint32_t(p[1]) << 8)));
        o = encodeBlock(work.get(), c, n, n == rec.samplesPerBlock, o);
        frames -= n;
    }
    return std::int32_t(o - static_cast<std::uint8_t*>(dst));
}

} // namespace kv
