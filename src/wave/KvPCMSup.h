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

// ---- display support ----

// The two extremes of each channel in the order they occur (first, second); 8-bit results as unsigned
// sample values, 16-bit signed; mono gives the right results equal to the left; a block without a
// whole frame gives silence in all four.
void pcmFindMinMax(const TWaveFormatEx* wfx, const void* data, std::int32_t bytes, std::int32_t& leftFirst,
                   std::int32_t& leftSecond, std::int32_t& rightFirst, std::int32_t& rightSecond);

// ---- bit depth ----

// Copies (equal depths) or converts samples between 8 and 16 bits: 16→8 is trunc(s / 256) + 128,
// 8→16 is (b - 128) * 256. Returns the bytes written; 0 for a depth other than 8 or 16.
std::int32_t pcmBitsPerSampleAlign(std::int32_t dstBits, void* dstData, std::int32_t srcBits,
                                   const void* srcData, std::int32_t srcBytes);

// ---- volume ----

// Scales every sample in place by (s * gain) >> 14 (16384 is unity; stereo takes leftGain for the first
// and rightGain for the second sample), clipped. True if any sample clipped (and Overflow set).
bool pcmVolume(const TWaveFormatEx* wfx, void* data, std::int32_t bytes, std::int32_t leftGain,
               std::int32_t rightGain);
// Clips to -128..127 / -32768..32767, setting Overflow when it had to.
std::int32_t pcmSampleClip8(std::int32_t v);
std::int32_t pcmSampleClip16(std::int32_t v);
// One unsigned 8-bit or signed 16-bit sample scaled by (s * gain) >> 14 and clipped.
std::uint8_t pcmSampleVolume8(std::uint8_t b, std::int32_t gain);
std::int16_t pcmSampleVolume16(std::int16_t s, std::int32_t gain);


// ---- further block operations ----

// The largest magnitude per channel: |s| for 16-bit, |b - 128| for 8-bit; mono gives right = left;
// 0 for both without a whole frame.
void pcmFindPeak(const TWaveFormatEx* wfx, const void* data, std::int32_t bytes, std::int32_t& left,
                 std::int32_t& right);
// The first frame at or after startFrame whose first-channel sample has the other sign than the
// frame before it (zero counts as positive); -1 when there is none.
std::int32_t pcmFindZeroCross(const TWaveFormatEx* wfx, const void* data, std::int32_t bytes,
                              std::int32_t startFrame);
// Mono to stereo (each sample in both channels) or stereo to mono (floor of the channels' mean) at one
// depth; a copy for equal counts. Returns the bytes written; 0 for other channel counts or depths.
std::int32_t pcmChannelAlign(std::int32_t bits, std::int32_t dstChannels, void* dstData,
                             std::int32_t srcChannels, const void* srcData, std::int32_t srcBytes);
// The mean of two samples, floored: (a + b) >> 1.
std::uint8_t pcmAvgSample8(std::uint8_t a, std::uint8_t b);
std::int16_t pcmAvgSample16(std::int16_t a, std::int16_t b);
// Writes one sample count times; returns the bytes written.
std::int32_t pcmRepSample8(std::uint8_t* dst, std::uint8_t sample, std::int32_t count);
std::int32_t pcmRepSample16(std::int16_t* dst, std::int16_t sample, std::int32_t count);

} // namespace kv
