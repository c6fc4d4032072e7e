// The wave format records shared by the whole audio side of the library, in the exact byte layout of
// the files and interfaces that carry them (packed, little-endian).
#pragma once

#include "platform/win/WinTypes.h"

#include <cstdint>

namespace kv {

using TWaveFormatEx = win::WAVEFORMATEX;
using PWaveFormatEx = TWaveFormatEx*;

constexpr win::WORD WAVE_FORMAT_UNKNOWN = 0x0000;
constexpr win::WORD WAVE_FORMAT_PCM = win::WAVE_FORMAT_PCM;
constexpr win::WORD WAVE_FORMAT_ADPCM = 0x0002;
constexpr win::WORD WAVE_FORMAT_IEEE_FLOAT = 0x0003;
constexpr win::WORD WAVE_FORMAT_ALAW = 0x0006;
constexpr win::WORD WAVE_FORMAT_MULAW = 0x0007;
constexpr win::WORD WAVE_FORMAT_IMA_ADPCM = 0x0011;
constexpr win::WORD WAVE_FORMAT_GSM610 = 0x0031;
constexpr win::WORD WAVE_FORMAT_MPEGLAYER3 = 0x0055;
constexpr win::WORD WAVE_FORMAT_EXTENSIBLE = 0xFFFE;

#pragma pack(push, 1)
// The format without its cbSize field, as the conversion routines take it.
struct TPCMWaveFormat {
    win::WORD wFormatTag;
    win::WORD nChannels;
    win::DWORD nSamplesPerSec;
    win::DWORD nAvgBytesPerSec;
    win::WORD nBlockAlign;
    win::WORD wBitsPerSample;
};
using PPCMWaveFormat = TPCMWaveFormat*;

// One predictor coefficient pair of Microsoft ADPCM.
struct TADPCMCoefSet {
    std::int16_t iCoef1;
    std::int16_t iCoef2;
};

// Microsoft ADPCM: the common format, samples per block, and wNumCoef coefficient pairs (seven in
// this record; a file's record may declare more in its cbSize).
struct TADPCMWaveFormat {
    TWaveFormatEx wfx;
    win::WORD wSamplesPerBlock;
    win::WORD wNumCoef;
    TADPCMCoefSet aCoef[7];
};
using PADPCMWaveFormat = TADPCMWaveFormat*;

struct TGUID {
    win::DWORD Data1;
    win::WORD Data2;
    win::WORD Data3;
    win::BYTE Data4[8];
};

// WAVE_FORMAT_EXTENSIBLE: the common format (cbSize at least 22), valid bits, speaker mask and the
// sub-format, whose first word is the old format tag for the standard formats.
struct TWaveFormatExtensible {
    TWaveFormatEx Format;
    win::WORD wValidBitsPerSample;
    win::DWORD dwChannelMask;
    TGUID SubFormat;
};
#pragma pack(pop)

static_assert(sizeof(TPCMWaveFormat) == 16);
static_assert(sizeof(TADPCMCoefSet) == 4);
static_assert(sizeof(TADPCMWaveFormat) == 50);
static_assert(sizeof(TGUID) == 16);
static_assert(sizeof(TWaveFormatExtensible) == 40);

} // namespace kv
