// What the ADPCM decoder and encoder share: the tables, the checked view of a format record, and the
// per-sample arithmetic.
#pragma once

#include "wave/KvRegs.h"

#include <algorithm>
#include <cstdint>

namespace kv::adpcm {

inline constexpr std::int32_t kAdapt[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                            768, 614, 512, 409, 307, 230, 230, 230};
inline constexpr TADPCMCoefSet kCoefs[7] = {{256, 0}, {512, -256}, {0, 0},     {192, 64},
                                            {240, 0}, {460, -208}, {392, -232}};
// The step never grows past this, so step × adaptation and code × step stay inside 32 bits whatever a
// file's header holds; real streams stay far below it.
inline constexpr std::int32_t kMaxStep = 0x7FFFFFFF / 768;

// A format record's fields, checked: the coefficients are those that cbSize covers.
struct Record {
    int channels = 0;
    std::uint32_t samplesPerBlock = 0;
    std::uint32_t blockAlign = 0;
    std::uint32_t packedBlock = 0; // bytes of one whole block as the header fields lay it out
    int numCoef = 0;               // usable pairs (at most 256: a block names its predictor in a byte)
    std::int32_t coef1[256] = {};
    std::int32_t coef2[256] = {};
};

// Reads an ADPCM record; false when it has no usable channel count, samples per block below 2,
// a coefficient count beyond cbSize, or a block align different from what the fields lay out.
bool readRecord(const TWaveFormatEx* wfx, Record& out);

// Bytes per sample of a PCM record usable on the PCM side (8 or 16 bits), or 0.
int pcmSampleBytes(const TWaveFormatEx* pcm);

inline std::int32_t clamp16(std::int32_t v) {
    return std::clamp(v, -32768, 32767);
}

inline std::int32_t nextStep(std::int32_t step, std::int32_t code) {
    std::int32_t s = (kAdapt[code & 15] * step) >> 8;
    return std::clamp(s, 16, kMaxStep);
}

inline std::int32_t predict(std::int32_t s1, std::int32_t s2, std::int32_t c1, std::int32_t c2) {
    return std::int32_t((std::int64_t(s1) * c1 + std::int64_t(s2) * c2) >> 8);
}

// A decoded sample as 8-bit PCM: trunc(s / 256) + 128, modulo 256.
inline std::uint8_t to8(std::int32_t s) {
    return std::uint8_t((s < 0 ? (s + 255) >> 8 : s >> 8) + 128);
}

} // namespace kv::adpcm
