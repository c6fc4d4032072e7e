#include "platform/ui/Variants.h"

#include "platform/ui/SysUtils.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>

namespace host {
namespace {

// Rounds to the nearest integer (halves away from zero); refuses what does not fit 64 bits.
std::int64_t roundToInt64(double value, const char* what) {
    double r = std::round(value);
    if (!(r >= -0x1p63 && r < 0x1p63)) {
        char text[64];
        std::snprintf(text, sizeof text, "%g", value);
        throw EConvertError(std::string(text) + " is out of the " + what + " range");
    }
    return static_cast<std::int64_t>(r);
}

std::string_view trimmed(const std::string& text) {
    std::string_view s(text);
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    if (s.size() > 1 && s.front() == '+' && s[1] != '-') s.remove_prefix(1);
    return s;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

TCurrency TCurrency::FromDouble(double value) {
    return {roundToInt64(value * 10000.0, "currency")};
}

Variant Variant::Currency(double value) {
    return Variant(TCurrency::FromDouble(value));
}

Variant Variant::Date(TDateTime days) {
    Variant v(varDate);
    v.m_real = days;
    return v;
}

Variant Variant::OleStr(std::string text) {
    Variant v(varOleStr);
    v.m_text = std::move(text);
    return v;
}

std::int64_t Variant::AsInteger() const {
    switch (m_type) {
    case varEmpty:
    case varNull:
        return 0;
    case varSingle:
    case varDouble:
    case varDate:
        return roundToInt64(m_real, "integer");
    case varCurrency: {
        // Halves away from zero, in integers so that no precision is lost.
        std::int64_t whole = m_int / 10000, rest = m_int % 10000;
        return rest >= 5000 ? whole + 1 : rest <= -5000 ? whole - 1 : whole;
    }
    case varOleStr:
    case varString: {
        std::string_view s = trimmed(m_text);
        std::int64_t value = 0;
        auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
        if (ec != std::errc() || end != s.data() + s.size() || s.empty())
            throw EConvertError("'" + m_text + "' is not a valid integer value");
        return value;
    }
    case varBoolean:
        return m_int ? -1 : 0;
    default:
        return m_int;
    }
}

double Variant::AsDouble() const {
    switch (m_type) {
    case varSingle:
    case varDouble:
    case varDate:
        return m_real;
    case varCurrency:
        return double(m_int) / 10000.0;
    case varOleStr:
    case varString: {
        std::string_view s = trimmed(m_text);
        double value = 0;
        auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
        if (ec != std::errc() || end != s.data() + s.size() || s.empty())
            throw EConvertError("'" + m_text + "' is not a valid floating point value");
        return value;
    }
    default:
        return double(AsInteger());
    }
}

bool Variant::AsBoolean() const {
    switch (m_type) {
    case varOleStr:
    case varString:
        if (equalsIgnoringCase(trimmed(m_text), "True")) return true;
        if (equalsIgnoringCase(trimmed(m_text), "False")) return false;
        return AsDouble() != 0;
    case varSingle:
    case varDouble:
    case varDate:
        return m_real != 0;
    default:
        return m_int != 0;
    }
}

std::string Variant::AsString() const {
    char buffer[64];
    switch (m_type) {
    case varEmpty:
    case varNull:
        return {};
    case varOleStr:
    case varString:
        return m_text;
    case varBoolean:
        return m_int ? "True" : "False";
    case varSingle:
    case varDouble:
    case varDate:
        std::snprintf(buffer, sizeof buffer, "%.15g", m_real);
        return buffer;
    case varCurrency:
        std::snprintf(buffer, sizeof buffer, "%.15g", double(m_int) / 10000.0);
        return buffer;
    default:
        return std::to_string(m_int);
    }
}

std::int64_t Variant::CurrencyUnits() const {
    return m_type == varCurrency ? m_int : TCurrency::FromDouble(AsDouble()).units;
}

bool Variant::operator==(const Variant& other) const {
    return m_type == other.m_type && m_int == other.m_int && m_real == other.m_real && m_text == other.m_text;
}

} // namespace host
