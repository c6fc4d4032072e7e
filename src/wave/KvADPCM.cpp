// ADPCM format records: the checked reading of a record from outside, validity, and building the
// matching ADPCM or PCM record.
#include "wave/KvADPCM.h"

#include "platform/win/ByteReader.h"
#include "wave/KvADPCMInternal.h"
#include "wave/KvPCMSup.h"

#include <cstring>
#include <span>

namespace kv {

namespace adpcm {

namespace {

std::span<const std::uint8_t> recordBytes(const TWaveFormatEx* wfx) {
    return {reinterpret_cast<const std::uint8_t*>(wfx), sizeof(TWaveFormatEx) + wfx->cbSize};
}

} // namespace

bool readRecord(const TWaveFormatEx* wfx, Record& out) {
    if (!wfx || (wfx->nChannels != 1 && wfx->nChannels != 2) || wfx->cbSize < 4) return false;
    win::ByteReader r(recordBytes(wfx));
    r.skip(sizeof(TWaveFormatEx));
    auto spb = r.u16();
    auto count = r.u16();
    if (!spb || !count || *spb < 2) return false;
    // The whole table must lie inside cbSize; pairs past 256 can never be named by a block.
    if (std::uint32_t(*count) * 4 > r.remaining()) return false;
    out.numCoef = std::min<int>(*count, 256);
    for (int i = 0; i < out.numCoef; ++i) {
        out.coef1[i] = *r.i16();
        out.coef2[i] = *r.i16();
    }
    out.channels = wfx->nChannels;
    out.samplesPerBlock = *spb;
    out.blockAlign = wfx->nBlockAlign;
    std::uint32_t nibbles = (out.samplesPerBlock - 2) * std::uint32_t(out.channels);
    out.packedBlock = 7 * std::uint32_t(out.channels) + (nibbles + 1) / 2;
    return out.blockAlign == out.packedBlock;
}

int pcmSampleBytes(const TWaveFormatEx* pcm) {
    if (!pcm) return 0;
    return pcm->wBitsPerSample == 8 ? 1 : pcm->wBitsPerSample == 16 ? 2 : 0;
}

} // namespace adpcm

bool adpcmIsValidFormat(const TWaveFormatEx* wfx) {
    if (!wfx || wfx->wFormatTag != WAVE_FORMAT_ADPCM || wfx->wBitsPerSample != 4) return false;
    if (wfx->nChannels != 1 && wfx->nChannels != 2) return false;
    win::ByteReader r(adpcm::recordBytes(wfx));
    r.skip(sizeof(TWaveFormatEx) + 2);
    auto count = r.u16();
    if (!count || *count != 7) return false;
    for (const auto& pair : adpcm::kCoefs) {
        auto c1 = r.i16(), c2 = r.i16();
        if (!c1 || !c2 || *c1 != pair.iCoef1 || *c2 != pair.iCoef2) return false;
    }
    return true;
}

namespace {

bool buildAdpcm(const TWaveFormatEx* src, TWaveFormatEx* dst, std::int32_t channels, std::int32_t rate) {
    if (channels != 1 && channels != 2) return false;
    if (rate < 4000 || rate > 100000) return false;
    const std::uint32_t c = std::uint32_t(channels), r = std::uint32_t(rate);
    std::uint32_t blockAlign = 256 * c;
    if (r > 11025) blockAlign *= r / 11000;
    std::uint32_t spb = ((blockAlign - 7 * c) * 8) / (4 * c) + 2;
    std::uint32_t g = (4 * c * r) / 8;
    TADPCMWaveFormat f{};
    f.wfx.wFormatTag = WAVE_FORMAT_ADPCM;
    f.wfx.nChannels = win::WORD(c);
    f.wfx.nSamplesPerSec = r;
    f.wfx.nAvgBytesPerSec = g + 7 * c * (g / blockAlign + 1);
    f.wfx.nBlockAlign = win::WORD(blockAlign);
    f.wfx.wBitsPerSample = 4;
    f.wfx.cbSize = 32;
    f.wSamplesPerBlock = win::WORD(spb);
    f.wNumCoef = 7;
    std::memcpy(f.aCoef, adpcm::kCoefs, sizeof f.aCoef);
    std::memcpy(dst, &f, sizeof f);
    return true;
}

} // namespace

bool adpcmBuildFormatHeader(const TWaveFormatEx* src, TWaveFormatEx* dst, std::int32_t bitsPerSample,
                            std::int32_t channels, std::int32_t sampleRate) {
    if (!src || !dst) return false;
    if (channels <= 0) channels = src->nChannels;
    // The full 32-bit rate: rates above 65535 Hz are valid PCM and must not wrap.
    if (sampleRate <= 0) sampleRate = std::int32_t(std::min<win::DWORD>(src->nSamplesPerSec, 0x7FFFFFFF));
    if (pcmIsValidFormat(src)) return buildAdpcm(src, dst, channels, sampleRate);
    if (adpcmIsValidFormat(src)) {
        pcmBuildWaveHeader(dst, bitsPerSample <= 0 ? 16 : bitsPerSample, channels, std::uint32_t(sampleRate));
        return true;
    }
    return false;
}

} // namespace kv
