// PCM format records and silence.
#include "wave/KvPCMSup.h"

#include "core/KvUtils.h"

namespace kv {

bool Overflow = false;

namespace {

bool isValidPcm(win::WORD tag, win::WORD channels, win::DWORD rate, win::WORD bits) {
    return tag == WAVE_FORMAT_PCM && (bits == 8 || bits == 16) && (channels == 1 || channels == 2) &&
           rate >= 4000 && rate <= 100000;
}

} // namespace

bool pcmIsValidFormat(const TWaveFormatEx* wfx) {
    return wfx && isValidPcm(wfx->wFormatTag, wfx->nChannels, wfx->nSamplesPerSec, wfx->wBitsPerSample);
}

bool pcmIsValidFormat(const TPCMWaveFormat* wfx) {
    return wfx && isValidPcm(wfx->wFormatTag, wfx->nChannels, wfx->nSamplesPerSec, wfx->wBitsPerSample);
}

void pcmBuildWaveHeader(TWaveFormatEx* wfx, std::int32_t bitsPerSample, std::int32_t channels,
                        std::uint32_t sampleRate) {
    if (!wfx) return;
    wfx->wFormatTag = WAVE_FORMAT_PCM;
    wfx->nChannels = win::WORD(channels);
    wfx->nSamplesPerSec = sampleRate;
    wfx->wBitsPerSample = win::WORD(bitsPerSample);
    wfx->nBlockAlign = win::WORD((std::uint32_t(channels) * std::uint32_t(bitsPerSample)) >> 3);
    wfx->nAvgBytesPerSec = sampleRate * wfx->nBlockAlign;
    wfx->cbSize = 0;
}

void pcmFillSilence(const TWaveFormatEx* wfx, void* data, std::int32_t bytes) {
    if (!wfx || !data || bytes <= 0) return;
    GlobalFillMem(data, bytes, wfx->wBitsPerSample == 16 ? 0 : 128);
}

} // namespace kv
