// Unit conversions between bytes, samples and milliseconds; format records; format names and one-line
// descriptions.
#include "wave/KvWaveIO.h"

#include "core/KvUtils.h"
#include "platform/registry/Registry.h"
#include "platform/win/ByteReader.h"
#include "platform/win/GlobalMemory.h"
#include "wave/KvWaveIOInternal.h"

#include <clocale>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>

namespace kv {
namespace {

constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();

std::int32_t saturate32(std::int64_t v) {
    return std::int32_t(v > kInt32Max ? kInt32Max : (v < kInt32Min ? kInt32Min : v));
}

// (a × b) / c rounded to nearest with halves away from zero, as MulDiv32RN rounds; 0 for c = 0. The
// product of two 32-bit values always fits 64 bits, and c is positive here, so nothing can trap.
std::int64_t mulDivRN(std::int64_t a, std::int64_t b, std::int64_t c) {
    if (c == 0) return 0;
    const __int128 p = static_cast<__int128>(a) * b;
    const __int128 q = p / c + (2 * (p % c)) / c;
    return q > INT64_MAX ? INT64_MAX : (q < INT64_MIN ? INT64_MIN : std::int64_t(q));
}

// Rounds up to a multiple of the block alignment (no rounding for an alignment of 0 or 1).
std::int64_t roundUpToBlock(std::int64_t v, std::int64_t align) {
    if (align <= 1 || v > INT64_MAX - align) return v;
    const std::int64_t rest = v % align;
    if (rest == 0) return v;
    return rest > 0 ? v + (align - rest) : v - rest;
}

// A byte count in the int32 range: beyond it, the largest multiple of the block alignment that fits.
std::int32_t saturateBlocks(std::int64_t v, std::int64_t align) {
    if (v <= kInt32Max) return saturate32(v);
    return std::int32_t(align > 1 ? kInt32Max - kInt32Max % align : kInt32Max);
}

std::uint64_t mulDiv64(std::uint64_t a, std::uint64_t b, std::uint64_t c) {
    if (c == 0) return 0;
    const unsigned __int128 q = static_cast<unsigned __int128>(a) * b / c;
    return q > UINT64_MAX ? UINT64_MAX : std::uint64_t(q);
}

std::uint64_t roundUpToBlock64(std::uint64_t v, std::uint64_t align) {
    if (align <= 1 || v % align == 0) return v;
    const std::uint64_t up = v + (align - v % align);
    return up < v ? UINT64_MAX - UINT64_MAX % align : up;
}

} // namespace

// ---- 32-bit conversions ----
std::int32_t wioBytesToSamples(const TWaveFormatEx* wfx, std::int32_t bytes) {
    return wfx ? saturate32(mulDivRN(bytes, wfx->nSamplesPerSec, wfx->nAvgBytesPerSec)) : 0;
}
std::int32_t wioBytesToTime(const TWaveFormatEx* wfx, std::int32_t bytes) {
    return wfx ? saturate32(mulDivRN(bytes, 1000, wfx->nAvgBytesPerSec)) : 0;
}
std::int32_t wioSamplesToBytes(const TWaveFormatEx* wfx, std::int32_t samples) {
    if (!wfx) return 0;
    return saturateBlocks(
        roundUpToBlock(mulDivRN(samples, wfx->nAvgBytesPerSec, wfx->nSamplesPerSec), wfx->nBlockAlign),
        wfx->nBlockAlign);
}
std::int32_t wioSamplesToTime(const TWaveFormatEx* wfx, std::int32_t samples) {
    return wfx ? saturate32(mulDivRN(samples, 1000, wfx->nSamplesPerSec)) : 0;
}
std::int32_t wioTimeToSamples(const TWaveFormatEx* wfx, std::int32_t ms) {
    return wfx ? saturate32(mulDivRN(ms, wfx->nSamplesPerSec, 1000)) : 0;
}
std::int32_t wioTimeToBytes(const TWaveFormatEx* wfx, std::int32_t ms) {
    if (!wfx) return 0;
    return saturateBlocks(roundUpToBlock(mulDivRN(ms, wfx->nAvgBytesPerSec, 1000), wfx->nBlockAlign),
                          wfx->nBlockAlign);
}
std::int32_t wioBytesPerSample(const TWaveFormatEx* wfx) {
    return wioSamplesToBytes(wfx, 1);
}

// ---- 64-bit conversions ----
std::uint64_t wioBytesToSamples64(const TWaveFormatEx* wfx, std::uint64_t bytes) {
    return wfx ? mulDiv64(bytes, wfx->nSamplesPerSec, wfx->nAvgBytesPerSec) : 0;
}
std::uint64_t wioBytesToTime64(const TWaveFormatEx* wfx, std::uint64_t bytes) {
    return wfx ? mulDiv64(bytes, 1000, wfx->nAvgBytesPerSec) : 0;
}
std::uint64_t wioSamplesToBytes64(const TWaveFormatEx* wfx, std::uint64_t samples) {
    if (!wfx) return 0;
    return roundUpToBlock64(mulDiv64(samples, wfx->nAvgBytesPerSec, wfx->nSamplesPerSec), wfx->nBlockAlign);
}
std::uint64_t wioSamplesToTime64(const TWaveFormatEx* wfx, std::uint64_t samples) {
    return wfx ? mulDiv64(samples, 1000, wfx->nSamplesPerSec) : 0;
}
std::uint64_t wioTimeToSamples64(const TWaveFormatEx* wfx, std::uint64_t ms) {
    return wfx ? mulDiv64(ms, wfx->nSamplesPerSec, 1000) : 0;
}
std::uint64_t wioTimeToBytes64(const TWaveFormatEx* wfx, std::uint64_t ms) {
    if (!wfx) return 0;
    return roundUpToBlock64(mulDiv64(ms, wfx->nAvgBytesPerSec, 1000), wfx->nBlockAlign);
}

// ---- on a block ----
std::int32_t wioBytesToSamplesEx(const TWAVEIOCB* cb, std::int32_t bytes) {
    return cb ? wioBytesToSamples(&cb->Format, bytes) : 0;
}
std::int32_t wioBytesToTimeEx(const TWAVEIOCB* cb, std::int32_t bytes) {
    return cb ? wioBytesToTime(&cb->Format, bytes) : 0;
}
std::int32_t wioSamplesToBytesEx(const TWAVEIOCB* cb, std::int32_t samples) {
    return cb ? wioSamplesToBytes(&cb->Format, samples) : 0;
}
std::int32_t wioSamplesToTimeEx(const TWAVEIOCB* cb, std::int32_t samples) {
    return cb ? wioSamplesToTime(&cb->Format, samples) : 0;
}
std::int32_t wioTimeToSamplesEx(const TWAVEIOCB* cb, std::int32_t ms) {
    return cb ? wioTimeToSamples(&cb->Format, ms) : 0;
}
std::int32_t wioTimeToBytesEx(const TWAVEIOCB* cb, std::int32_t ms) {
    return cb ? wioTimeToBytes(&cb->Format, ms) : 0;
}

namespace wio {

// The same conversions on the block's unsigned 32-bit fields, which may exceed the int32 range of the
// public 32-bit operations: rounded as those round, computed in 64 bits, capped at 0xFFFFFFFF.
win::DWORD bytesToSamples(const TWAVEIOCB* cb, win::DWORD bytes) {
    const auto v = mulDivRN(bytes, cb->Format.nSamplesPerSec, cb->Format.nAvgBytesPerSec);
    return win::DWORD(v > 0xFFFFFFFFll ? 0xFFFFFFFFll : (v < 0 ? 0 : v));
}
win::DWORD samplesToBytes(const TWAVEIOCB* cb, win::DWORD samples) {
    const auto v = roundUpToBlock(mulDivRN(samples, cb->Format.nAvgBytesPerSec, cb->Format.nSamplesPerSec),
                                  cb->Format.nBlockAlign);
    return win::DWORD(v > 0xFFFFFFFFll ? 0xFFFFFFFFll : (v < 0 ? 0 : v));
}

// The format tag that names a format: an EXTENSIBLE format whose sub-format is one of the standard
// GUIDs (the old tag, then -0000-0010-8000-00AA00389B71) is named by that old tag.
win::WORD namingTag(const TWaveFormatEx* wfx) {
    if (wfx->wFormatTag != WAVE_FORMAT_EXTENSIBLE || wfx->cbSize < 22) return wfx->wFormatTag;
    static constexpr std::uint8_t kBaseTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                                   0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    const auto* extra = reinterpret_cast<const std::uint8_t*>(wfx) + sizeof(TWaveFormatEx);
    win::ByteReader reader({extra, 22});
    reader.skip(6); // valid bits and channel mask
    const std::uint32_t data1 = *reader.u32();
    const auto tail = *reader.span(12);
    if ((data1 >> 16) != 0 || std::memcmp(tail.data(), kBaseTail, 12) != 0) return wfx->wFormatTag;
    return win::WORD(data1);
}

} // namespace wio

// ---- format records ----
std::int32_t wioSizeOfWaveFormat(const TWaveFormatEx* wfx) {
    if (!wfx) return 0;
    return wfx->wFormatTag == WAVE_FORMAT_PCM ? 18 : 18 + wfx->cbSize;
}

TWaveFormatEx* wioCopyWaveFormat(const TWaveFormatEx* wfx) {
    if (!wfx) return nullptr;
    const std::int32_t size = wioSizeOfWaveFormat(wfx);
    auto* copy = static_cast<TWaveFormatEx*>(win::GlobalAllocPtr(win::GHND, std::size_t(size)));
    if (!copy) return nullptr;
    std::memcpy(copy, wfx, std::size_t(wfx->wFormatTag == WAVE_FORMAT_PCM ? 16 : size));
    if (wfx->wFormatTag == WAVE_FORMAT_PCM) copy->cbSize = 0;
    return copy;
}

namespace {

struct FormatName {
    win::WORD tag;
    const char* name;
};

// Searched in order; the first row with the tag gives the name.
constexpr FormatName kFormatNames[] = {
    {0x0000, "Unknown"},
    {0x0001, "PCM"},
    {0x020C, "PCM 32"},
    {0x0002, "Microsoft ADPCM"},
    {0x0003, "Mediavision's ADPCM"},
    {0x0005, "IBM CVSD"},
    {0x0006, "CCITT A-Law"},
    {0x0007, "CCITT mu-Law"},
    {0x0010, "OKI ADPCM"},
    {0x0011, "IMA ADPCM"},
    {0x0011, "DVI ADPCM"},
    {0x0012, "Mediaspace's ADPCM"},
    {0x0013, "Sierra's ADPCM"},
    {0x0014, "CCITT G.723 ADPCM"},
    {0x0015, "Digisound DIGISTD"},
    {0x0016, "Digisound DIGIFIX"},
    {0x0017, "Dialogic OKI ADPCM"},
    {0x0020, "Yamaha ADPCM"},
    {0x0021, "Sonarc"},
    {0x0022, "DSP Group's Truespeech"},
    {0x0023, "Echo SC1"},
    {0x0024, "Audiofile AF36"},
    {0x0025, "Audio Processing Technology"},
    {0x0026, "Audiofile AF10"},
    {0x0030, "Dolby AC2"},
    {0x0209, "Dolby AC2"},
    {0x0031, "GSM 6.10"},
    {0x0033, "Antex ADPCME"},
    {0x0039, "CS IMA ADPCM"},
    {0x0040, "CCITT G.721 ADPCM"},
    {0x0050, "MPEG 1"},
    {0x0055, "MPEG Layer-3"},
    {0x0200, "Creative's ADPCM"},
    {0x1001, "Olivetti's ADPCM"},
    {0x0204, "CDI-C"},
    {0x0205, "CDI-B"},
    {0x0206, "Antex-DVI-OKI ADPCME"},
    {0xFFFF, "*DEVELOPMENT ONLY TAG*"},
};

struct Separators {
    char decimal = '.';
    char list = ',';
};

std::mutex& intlLock() {
    static std::mutex m;
    return m;
}
bool g_intlRead = false;
Separators g_intl;

// The first character of a text value of the user's international settings, or 0.
char intlValue(win::HKEY key, const char* name) {
    char buffer[16] = {};
    win::DWORD type = 0;
    win::DWORD size = sizeof buffer - 1;
    if (win::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<win::BYTE*>(buffer), &size) !=
            win::ERROR_SUCCESS ||
        type != win::REG_SZ)
        return 0;
    return buffer[0];
}

// The user's settings first, then the locale's decimal point (and a list separator that differs from
// it), then "." and ",".
Separators readSeparators() {
    Separators s;
    if (const std::lconv* lc = std::localeconv(); lc && lc->decimal_point && *lc->decimal_point) {
        s.decimal = *lc->decimal_point;
        s.list = s.decimal == ',' ? ';' : ',';
    }
    win::HKEY key = nullptr;
    if (win::RegOpenKeyExA(win::HKEY_CURRENT_USER, "Control Panel\\International", 0, win::KEY_READ, &key) ==
        win::ERROR_SUCCESS) {
        if (char c = intlValue(key, "sDecimal")) s.decimal = c;
        if (char c = intlValue(key, "sList")) s.list = c;
        win::RegCloseKey(key);
    }
    return s;
}

Separators separators() {
    std::lock_guard g(intlLock());
    if (!g_intlRead) {
        g_intl = readSeparators();
        g_intlRead = true;
    }
    return g_intl;
}

} // namespace

void wioGetFormatName(const TWaveFormatEx* wfx, std::string& name) {
    name = "Unknown";
    if (!wfx) return;
    const win::WORD tag = wio::namingTag(wfx);
    for (const FormatName& row : kFormatNames)
        if (row.tag == tag) {
            name = row.name;
            return;
        }
}

void wioGetFormat(const TWaveFormatEx* wfx, std::string& text) {
    if (!wfx) {
        text = "Unknown";
        return;
    }
    const Separators sep = separators();
    const std::uint32_t rate = wfx->nSamplesPerSec;
    // A rate or channel count of 0 reads as 0 bits instead of dividing by zero.
    const std::uint64_t bits = rate ? std::uint64_t(wfx->nAvgBytesPerSec) * 8 / rate : 0;
    const std::uint64_t perChannel = wfx->nChannels ? bits / wfx->nChannels : 0;
    const char ds[2] = {sep.decimal, 0};
    const char ls[2] = {sep.list, 0};
    char buffer[160];
    if (wfx->nChannels <= 2)
        std::snprintf(buffer, sizeof buffer, "%u%s%.03u kHz%s %llu Bit%s %s", rate / 1000, ds, rate % 1000,
                      ls, static_cast<unsigned long long>(perChannel), ls,
                      wfx->nChannels == 2 ? "Stereo" : "Mono");
    else
        std::snprintf(buffer, sizeof buffer, "%u%s%.03u kHz%s %llu Bit%s %u Channels", rate / 1000, ds,
                      rate % 1000, ls, static_cast<unsigned long long>(perChannel), ls,
                      unsigned(wfx->nChannels));
    text = buffer;
}

void wioResetIntlSettings() {
    std::lock_guard g(intlLock());
    g_intlRead = false;
}

} // namespace kv
