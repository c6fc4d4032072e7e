// Number, time and volume texts.
#include "core/KvUtils.h"

#include "platform/ui/SysUtils.h"
#include "platform/win/WinMath.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <limits>

namespace kv {
namespace {

constexpr std::uint64_t kDay = 86400000;
constexpr std::uint64_t kHour = 3600000;
constexpr std::uint64_t kMinute = 60000;

[[gnu::format(printf, 1, 2)]] std::string format(const char* fmt, ...) {
    char buf[128];
    va_list args;
    va_start(args, fmt);
    const int n = std::vsnprintf(buf, sizeof buf, fmt, args);
    va_end(args);
    return n < 0 ? std::string() : std::string(buf, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof buf - 1));
}

// A duration of magnitude ms in the widest unit it reaches: d:hh:mm:ss, h:mm:ss or m:ss, with ".mmm".
std::string formatDuration(std::uint64_t ms, bool withMilliseconds) {
    using ull = unsigned long long;
    const ull days = ms / kDay, hours = ms % kDay / kHour, minutes = ms % kHour / kMinute;
    const ull seconds = ms % kMinute / 1000, millis = ms % 1000;
    if (ms >= kDay) {
        return withMilliseconds ? format("%llu:%2.2llu:%2.2llu:%2.2llu.%3.3llu", days, hours, minutes, seconds, millis)
                                : format("%llu:%2.2llu:%2.2llu:%2.2llu", days, hours, minutes, seconds);
    }
    if (ms >= kHour) {
        return withMilliseconds ? format("%llu:%2.2llu:%2.2llu.%3.3llu", hours, minutes, seconds, millis)
                                : format("%llu:%2.2llu:%2.2llu", hours, minutes, seconds);
    }
    return withMilliseconds ? format("%llu:%2.2llu.%3.3llu", minutes, seconds, millis)
                            : format("%llu:%2.2llu", minutes, seconds);
}

// The whole text as a decimal 32-bit integer (an optional sign, then digits only).
bool parseInt32(const std::string& text, std::int32_t& value) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') ++first;
    const auto [end, ec] = std::from_chars(first, last, value);
    return first != last && ec == std::errc() && end == last;
}

// The platform's MulDiv of (x + y) × b / c, where the sum is formed without overflow; a sum beyond 32 bits
// gives −1, the platform's answer for a result that does not fit.
std::int32_t mulDivSum(std::int64_t x, std::int64_t y, std::int32_t b, std::int32_t c) {
    const std::int64_t a = x + y;
    if (a < std::numeric_limits<std::int32_t>::min() || a > std::numeric_limits<std::int32_t>::max()) return -1;
    return win::MulDiv(static_cast<std::int32_t>(a), b, c);
}

std::uint64_t magnitude(std::int64_t v) {
    return v < 0 ? std::uint64_t(0) - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
}

} // namespace

void TimeDecode(std::int32_t ms, std::uint16_t& hours, std::uint16_t& minutes, std::uint16_t& seconds,
                std::uint16_t& milliseconds) {
    hours = minutes = seconds = milliseconds = 0;
    if (ms <= 0) return;
    const auto t = static_cast<std::uint32_t>(ms);
    hours = static_cast<std::uint16_t>(t / kHour);
    minutes = static_cast<std::uint16_t>(t % kHour / kMinute);
    seconds = static_cast<std::uint16_t>(t % kMinute / 1000);
    milliseconds = static_cast<std::uint16_t>(t % 1000);
}

std::string TimeToMask(std::int32_t ms) {
    std::uint16_t h, m, s, msec;
    TimeDecode(ms, h, m, s, msec);
    return format("%2.2d%2.2d%5.5d", h, m, s * 1000 + msec);
}

std::int32_t MaskToTime(const std::string& text) {
    std::int32_t a = 0;
    if (!parseInt32(text, a)) a = 0;
    return (a / 10000000) * 3600000 + ((a % 10000000) / 100000) * 60000 + a % 100000;
}

std::string TimeToStringEx(std::int32_t ms, bool withMilliseconds) { return TimeToString64Ex(ms, withMilliseconds); }
std::string TimeToString(std::int32_t ms) { return TimeToStringEx(ms, true); }

std::string TimeToString64Ex(std::int64_t ms, bool withMilliseconds) {
    const std::string text = formatDuration(magnitude(ms), withMilliseconds);
    return ms < 0 ? "-" + text : text;
}

std::string TimeToString64(std::int64_t ms) { return TimeToString64Ex(ms, true); }

std::int32_t DBToVolume(double db, std::int32_t maximum) {
    if (!(db > -110.0)) return 0;
    const double v = std::round(std::pow(10.0, db / 20.0) * Max(maximum, 1));
    return v >= std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                          : static_cast<std::int32_t>(v);
}

double VolumeToDB(std::int32_t volume, std::int32_t maximum) {
    if (volume == 0) return -110.0;
    return 20.0 * std::log10(std::fabs(static_cast<double>(volume)) / Max(maximum, 1));
}

std::string VolumeToStringShort(std::int32_t volume, std::int32_t maximum, std::int32_t decimals) {
    if (volume == 0) return "-Inf";
    return format("%2.*f", std::clamp(decimals, 0, 20), VolumeToDB(volume, maximum));
}

std::string VolumeToString(std::int32_t volume, std::int32_t maximum, std::int32_t decimals) {
    return VolumeToStringShort(volume, maximum, decimals) + " dB";
}

std::string PanningToString(std::int32_t pan, std::int32_t range) {
    if (range == 0) throw host::EDivByZero("Division by zero");
    const long long left = (std::int64_t(range) - pan) * 50 / range;
    const long long right = (std::int64_t(pan) + range) * 50 / range;
    return format("%lld:%lld", left, right);
}

void CalcVolume(std::int32_t range, std::int32_t volume, std::int32_t pan, std::int32_t& left,
                std::int32_t& right) {
    if (pan <= 0) {
        left = volume;
        right = mulDivSum(range, pan, volume, range);
    } else {
        left = mulDivSum(range, -std::int64_t(pan), volume, range);
        right = volume;
    }
}

std::int32_t CombineVolume(std::int32_t v, std::int32_t numerator, std::int32_t denominator) {
    return Min(win::MulDiv(v, numerator, denominator), denominator);
}

std::string FormatBigNumber(std::int32_t n) {
    const std::uint64_t m = magnitude(n);
    const unsigned g0 = m % 1000, g1 = m / 1000 % 1000, g2 = m / 1000000 % 1000, g3 = unsigned(m / 1000000000);
    std::string text;
    if (m < 1000) {
        text = format("%u", g0);
    } else if (m < 1000000) {
        text = format("%u.%3.3u", g1, g0);
    } else if (m < 1000000000) {
        text = format("%u.%3.3u.%3.3u", g2, g1, g0);
    } else {
        text = format("%u.%3.3u.%3.3u.%3.3u", g3, g2, g1, g0);
    }
    return n < 0 ? "-" + text : text;
}

} // namespace kv
