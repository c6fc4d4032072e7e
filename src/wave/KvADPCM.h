// Microsoft ADPCM (format tag 2), four bits per sample, mono or stereo: format records, decoding to
// 8- or 16-bit PCM and encoding from it. The functions never throw; they return 0 (or false) for a
// record they cannot use. Format records may come from files: their coefficient table is read only as
// far as cbSize covers it.
#pragma once

#include "wave/KvRegs.h"

#include <cstdint>

namespace kv {

// True for tag 2, 4 bits, 1 or 2 channels, and exactly the seven standard coefficient pairs.
bool adpcmIsValidFormat(const TWaveFormatEx* wfx);

// PCM src (valid for pcmIsValidFormat) → an ADPCM record in dst (room for 50 bytes); ADPCM src → a PCM
// record (bitsPerSample, 16 when <= 0). Channels or rate <= 0 are taken from src. False, dst untouched,
// for anything else, or for a channel count or rate the codec cannot describe.
bool adpcmBuildFormatHeader(const TWaveFormatEx* src, TWaveFormatEx* dst, std::int32_t bitsPerSample,
                            std::int32_t channels, std::int32_t sampleRate);

// The bytes adpcmDecode4Bit can write for srcBytes of ADPCM data: whole blocks decode to
// wSamplesPerBlock frames, a cut last block to its header's two frames plus its complete codes.
// -1 when the records cannot be decoded or the size does not fit 31 bits.
std::int32_t adpcmDecodeSizeOutputData(const TWaveFormatEx* adpcmFormat, const TWaveFormatEx* pcmFormat,
                                       std::int32_t srcBytes);
// Decodes blocks packed as the record's wSamplesPerBlock says into dst, which must hold
// adpcmDecodeSizeOutputData bytes. Returns the bytes written; 0 for an unusable record (wrong channel
// count, nBlockAlign that does not match wSamplesPerBlock, coefficient table beyond cbSize) or when
// a block names a predictor the record does not have.
std::int32_t adpcmDecode4Bit(const TWaveFormatEx* adpcmFormat, const TWaveFormatEx* pcmFormat,
                             const void* src, std::int32_t srcBytes, void* dst);

// The bytes adpcmEncode4Bit writes for srcBytes of PCM; -1 when the records cannot be encoded.
std::int32_t adpcmEncodeSizeOutputData(const TWaveFormatEx* pcmFormat, const TWaveFormatEx* adpcmFormat,
                                       std::int32_t srcBytes);
// Encodes PCM (8 or 16 bits, the ADPCM record's channel count) block by block, choosing per block and
// channel the predictor with the smallest squared error. dst must hold adpcmEncodeSizeOutputData bytes.
// Returns the bytes written; 0 when the records are unusable or the working buffer cannot be had.
std::int32_t adpcmEncode4Bit(const TWaveFormatEx* pcmFormat, const TWaveFormatEx* adpcmFormat,
                             const void* src, std::int32_t srcBytes, void* dst);

} // namespace kv
