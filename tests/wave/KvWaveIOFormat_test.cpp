// Unit conversions (including formats with zero rates and block sizes), format names and descriptions.
#include "wave/KvWaveIO.h"

#include "platform/registry/Registry.h"
#include "platform/win/GlobalMemory.h"
#include "support/TestRegistry.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace kv;

namespace {

TWaveFormatEx pcm(win::DWORD rate, win::WORD channels, win::WORD bits) {
    TWaveFormatEx f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = win::WORD(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

struct Conversion {
    const char* name;
    TWaveFormatEx wfx;
    std::int32_t (*op)(const TWaveFormatEx*, std::int32_t);
    std::int32_t in, out;
};

TWaveFormatEx adpcm22() {
    TWaveFormatEx f{};
    f.wFormatTag = WAVE_FORMAT_ADPCM;
    f.nChannels = 1;
    f.nSamplesPerSec = 22050;
    f.nAvgBytesPerSec = 11179;
    f.nBlockAlign = 512;
    f.wBitsPerSample = 4;
    return f;
}

TWaveFormatEx zeroed(win::DWORD rate, win::DWORD avg, win::WORD align) {
    TWaveFormatEx f = pcm(44100, 2, 16);
    f.nSamplesPerSec = rate;
    f.nAvgBytesPerSec = avg;
    f.nBlockAlign = align;
    return f;
}

class Conversions : public ::testing::TestWithParam<Conversion> {};

TEST_P(Conversions, GiveTheRoundedResult) {
    const Conversion& c = GetParam();
    EXPECT_EQ(c.op(&c.wfx, c.in), c.out);
}

INSTANTIATE_TEST_SUITE_P(
    KvWaveIO, Conversions,
    ::testing::Values(Conversion{"TimeToBytes1ms", pcm(44100, 2, 16), wioTimeToBytes, 1, 176},
                      Conversion{"TimeToBytesRoundsUpToBlock", adpcm22(), wioTimeToBytes, 1, 512},
                      Conversion{"BytesToSamples", pcm(44100, 2, 16), wioBytesToSamples, 176400, 44100},
                      Conversion{"BytesToTimeRoundsToNearest", pcm(8000, 1, 8), wioBytesToTime, 12, 2},
                      Conversion{"SamplesToBytes", pcm(44100, 1, 16), wioSamplesToBytes, 10, 20},
                      Conversion{"SamplesToTime", pcm(44100, 1, 16), wioSamplesToTime, 44100, 1000},
                      Conversion{"TimeToSamples", pcm(11025, 1, 8), wioTimeToSamples, 1000, 11025},
                      Conversion{"AdpcmSamplesToBytesWholeBlocks", adpcm22(), wioSamplesToBytes, 1012, 1024},
                      Conversion{"NegativeRoundsAwayFromZero", pcm(8000, 1, 8), wioBytesToTime, -12, -2},
                      Conversion{"Saturates", pcm(100000, 2, 16), wioTimeToBytes, 0x7FFFFFFF, 0x7FFFFFFC},
                      Conversion{"ZeroByteRate", zeroed(44100, 0, 4), wioBytesToSamples, 1000, 0},
                      Conversion{"ZeroRate", zeroed(0, 176400, 4), wioSamplesToBytes, 1000, 0},
                      Conversion{"ZeroRateTime", zeroed(0, 176400, 4), wioSamplesToTime, 1000, 0},
                      Conversion{"ZeroAlignNotRounded", zeroed(44100, 88200, 0), wioSamplesToBytes, 1, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KvWaveIO, SixtyFourBitConversionsTruncateAndNeverDivideByZero) {
    const TWaveFormatEx f = pcm(44100, 2, 16);
    EXPECT_EQ(wioBytesToSamples64(&f, 4ull * 3'000'000'000ull), 3'000'000'000ull);
    EXPECT_EQ(wioSamplesToTime64(&f, 44099), 999u);
    EXPECT_EQ(wioTimeToBytes64(&f, 1), 176u);
    const TWaveFormatEx zero = zeroed(0, 0, 0);
    EXPECT_EQ(wioBytesToSamples64(&zero, 100), 0u);
    EXPECT_EQ(wioSamplesToBytes64(&zero, 100), 0u);
    EXPECT_EQ(wioBytesPerSample(&f), 4);
    EXPECT_EQ(wioBytesToSamples(nullptr, 5), 0);
}

TEST(KvWaveIO, FormatRecordsStorePcmAsEighteenBytes) {
    TWaveFormatEx f = pcm(8000, 1, 8);
    f.cbSize = 7; // a PCM record's cbSize is not its size
    EXPECT_EQ(wioSizeOfWaveFormat(&f), 18);
    TWaveFormatEx* copy = wioCopyWaveFormat(&f);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->cbSize, 0);
    EXPECT_EQ(copy->nSamplesPerSec, 8000u);
    win::GlobalFreePtr(copy);
    EXPECT_EQ(wioSizeOfWaveFormat(nullptr), 0);
    EXPECT_EQ(wioCopyWaveFormat(nullptr), nullptr);
}

struct Named {
    const char* test;
    win::WORD tag;
    const char* name;
};

class FormatNames : public ::testing::TestWithParam<Named> {};

TEST_P(FormatNames, FirstMatchingRow) {
    TWaveFormatEx f{};
    f.wFormatTag = GetParam().tag;
    std::string name;
    wioGetFormatName(&f, name);
    EXPECT_EQ(name, GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(KvWaveIO, FormatNames,
                         ::testing::Values(Named{"Pcm", 1, "PCM"}, Named{"Adpcm", 2, "Microsoft ADPCM"},
                                           Named{"Ima", 0x11, "IMA ADPCM"}, Named{"Ac2", 0x209, "Dolby AC2"},
                                           Named{"Mp3", 0x55, "MPEG Layer-3"},
                                           Named{"Dev", 0xFFFF, "*DEVELOPMENT ONLY TAG*"},
                                           Named{"Mediavision", 3, "Mediavision's ADPCM"},
                                           Named{"NotInTable", 4, "Unknown"}, Named{"Zero", 0, "Unknown"}),
                         [](const auto& info) { return std::string(info.param.test); });

TEST(KvWaveIO, ExtensibleIsNamedBySubFormat) {
    const wavetest::Bytes body = wavetest::fmtBody(wavetest::extensible(1, 2, 48000, 24));
    std::string name;
    wioGetFormatName(reinterpret_cast<const TWaveFormatEx*>(body.data()), name);
    EXPECT_EQ(name, "PCM");
    wavetest::Bytes other = body;
    other[18 + 6 + 4 + 2] ^= 1; // not the standard base GUID
    wioGetFormatName(reinterpret_cast<const TWaveFormatEx*>(other.data()), name);
    EXPECT_EQ(name, "Unknown");
    wioGetFormatName(nullptr, name);
    EXPECT_EQ(name, "Unknown");
}

TEST(KvWaveIO, FormatDescriptions) {
    testsupport::freshRegistry();
    wioResetIntlSettings();
    std::string text;
    TWaveFormatEx f = pcm(22050, 1, 8);
    wioGetFormat(&f, text);
    EXPECT_EQ(text, "22.050 kHz, 8 Bit, Mono");
    f = pcm(44100, 2, 16);
    wioGetFormat(&f, text);
    EXPECT_EQ(text, "44.100 kHz, 16 Bit, Stereo");
    f = pcm(48000, 6, 16);
    wioGetFormat(&f, text);
    EXPECT_EQ(text, "48.000 kHz, 16 Bit, 6 Channels");
    f = zeroed(0, 0, 0);
    f.nChannels = 0;
    wioGetFormat(&f, text);
    EXPECT_EQ(text, "0.000 kHz, 0 Bit, Mono");
    wioGetFormat(nullptr, text);
    EXPECT_EQ(text, "Unknown");
}

TEST(KvWaveIO, SeparatorsComeFromTheUsersSettingsAndAreRemembered) {
    testsupport::freshRegistry();
    win::HKEY key = nullptr;
    ASSERT_EQ(win::RegCreateKeyExA(win::HKEY_CURRENT_USER, "Control Panel\\International", 0, nullptr, 0,
                                   win::KEY_ALL_ACCESS, nullptr, &key, nullptr),
              win::ERROR_SUCCESS);
    win::RegSetValueExA(key, "sDecimal", 0, win::REG_SZ, reinterpret_cast<const win::BYTE*>(","), 2);
    win::RegSetValueExA(key, "sList", 0, win::REG_SZ, reinterpret_cast<const win::BYTE*>(";"), 2);
    wioResetIntlSettings();
    std::string text;
    const TWaveFormatEx f = pcm(44100, 2, 16);
    wioGetFormat(&f, text);
    EXPECT_EQ(text, "44,100 kHz; 16 Bit; Stereo");
    win::RegSetValueExA(key, "sDecimal", 0, win::REG_SZ, reinterpret_cast<const win::BYTE*>("'"), 2);
    wioGetFormat(&f, text);
    EXPECT_EQ(text, "44,100 kHz; 16 Bit; Stereo"); // remembered
    win::RegCloseKey(key);
    testsupport::freshRegistry();
    wioResetIntlSettings();
    wioGetFormat(&f, text);
    EXPECT_EQ(text, "44.100 kHz, 16 Bit, Stereo");
}

} // namespace
