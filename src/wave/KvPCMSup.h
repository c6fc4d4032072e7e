// Sample-level operations on uncompressed PCM audio: format records, silence, conversion between the
// 8/16-bit, mono/stereo and rate variants, extremes for display, bit-depth adaptation, volume, mixing,
// pitch change and block statistics. Buffers are raw little-endian samples: 8-bit unsigned with silence
// at 128, 16-bit signed with silence at 0, stereo frames left sample first. Nothing here throws except
// pcmAllocMixPool on exhausted memory.
#pragma once

#include "wave/KvRegs.h"

#include <cstdint>

namespace kv {

// Set by the clip and volume operations whenever they had to clip; the caller clears it.
extern bool Overflow;

// ---- format records ----

// True for PCM with 8 or 16 bits, 1 or 2 channels and 4000..100000 samples per second.
bool pcmIsValidFormat(const TWaveFormatEx* wfx);
bool pcmIsValidFormat(const TPCMWaveFormat* wfx);
// Fills wfx as PCM with the derived block align and byte rate, and no extra bytes.
void pcmBuildWaveHeader(TWaveFormatEx* wfx, std::int32_t bitsPerSample, std::int32_t channels,
                        std::uint32_t sampleRate);
// Fills bytes bytes with silence: 0 for 16-bit formats, 128 otherwise.
void pcmFillSilence(const TWaveFormatEx* wfx, void* data, std::int32_t bytes);

// ---- conversion ----

// Bytes pcmConvert writes for srcBytes of source; -1 when either format cannot be converted.
std::int32_t pcmConvertSizeOutputData(const TPCMWaveFormat* dstFormat, const TPCMWaveFormat* srcFormat,
                                      std::int32_t srcBytes);
std::int32_t pcmConvertSizeOutputData(const TWaveFormatEx* dstFormat, const TWaveFormatEx* srcFormat,
                                      std::int32_t srcBytes);
// Converts srcBytes of srcData into dstData (which must hold pcmConvertSizeOutputData bytes) by
// per-frame depth/layout conversion and frame dropping or repetition for the rate, no filtering.
// Returns the bytes written; srcBytes itself when it is <= 0; -1 for a format it cannot convert.
std::int32_t pcmConvert(const TPCMWaveFormat* dstFormat, void* dstData, const TPCMWaveFormat* srcFormat,
                        const void* srcData, std::int32_t srcBytes);
std::int32_t pcmConvert(const TWaveFormatEx* dstFormat, void* dstData, const TWaveFormatEx* srcFormat,
                        const void* srcData, std::int32_t srcBytes);

} // namespace kv
