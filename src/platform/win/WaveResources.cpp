// The module's "WAVE" resources: short sounds made once, at first use, as complete RIFF WAVE images.
#include "platform/win/ByteReader.h"
#include "platform/win/ModuleResources.h"

#include <cmath>
#include <cstdint>

namespace win {
namespace {

struct Tone {
    std::uint32_t rate;
    std::uint16_t bits; // 8 or 16
    double seconds;
    double hertz;
    double decay; // per second, of the amplitude
};

// A sine with a short rise and an exponential fall, as 8-bit unsigned or 16-bit signed PCM, mono.
std::vector<std::uint8_t> makeTone(const Tone& t) {
    const std::uint32_t samples = std::uint32_t(t.rate * t.seconds);
    const std::uint16_t align = std::uint16_t(t.bits / 8);
    const std::uint32_t dataBytes = samples * align;
    ByteWriter w;
    w.fourcc("RIFF");
    w.u32(4 + (8 + 16) + (8 + dataBytes + (dataBytes & 1)));
    w.fourcc("WAVE");
    w.fourcc("fmt ");
    w.u32(16);
    w.u16(1); // PCM
    w.u16(1);
    w.u32(t.rate);
    w.u32(t.rate * align);
    w.u16(align);
    w.u16(t.bits);
    w.fourcc("data");
    w.u32(dataBytes);
    const double pi = 3.14159265358979323846;
    for (std::uint32_t i = 0; i < samples; ++i) {
        double time = double(i) / t.rate;
        double rise = std::min(1.0, time / 0.004);
        double v = rise * std::exp(-t.decay * time) * std::sin(2 * pi * t.hertz * time) * 0.8;
        if (t.bits == 8)
            w.u8(std::uint8_t(std::lround(128 + 127 * v)));
        else
            w.i16(std::int16_t(std::lround(32767 * v)));
    }
    if (dataBytes & 1) w.u8(0);
    return w.buffer();
}

} // namespace

const std::vector<ModuleResource>& WaveResources() {
    static const std::vector<std::uint8_t> chime = makeTone({11025, 8, 0.2, 880.0, 15.0});
    static const std::vector<std::uint8_t> ding = makeTone({22050, 16, 0.1, 1320.0, 30.0});
    static const std::vector<ModuleResource> list = {
        {"WAVE", "CHIME", chime},
        {"WAVE", MAKEINTRESOURCEA(1), ding},
    };
    return list;
}

} // namespace win
