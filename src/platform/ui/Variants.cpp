#include "platform/ui/Variants.h"

#include "platform/ui/SysUtils.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace host {

Variant Variant::Currency(double value) {
    Variant v(varCurrency);
    v.m_int = std::llround(value * 10000.0);
    return v;
}

Variant Variant::Date(double days) {
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
    case varEmpty: case varNull: return 0;
    case varSingle: case varDouble: case varDate: return std::llround(m_real);
    case varCurrency: return std::llround(double(m_int) / 10000.0);
    case varOleStr: case varString: {
        std::int64_t value = 0;
        auto [end, ec] = std::from_chars(m_text.data(), m_text.data() + m_text.size(), value);
        if (ec != std::errc() || end != m_text.data() + m_text.size() || m_text.empty())
            throw EConvertError("'" + m_text + "' is not a valid integer value");
        return value;
    }
    case varBoolean: return m_int ? -1 : 0;
    default: return m_int;
    }
}

double Variant::AsDouble() const {
    switch (m_type) {
    case varSingle: case varDouble: case varDate: return m_real;
    case varCurrency: return double(m_int) / 10000.0;
    case varOleStr: case varString: {
        double value = 0;
        auto [end, ec] = std::from_chars(m_text.data(), m_text.data() + m_text.size(), value);
        if (ec != std::errc() || end != m_text.data() + m_text.size() || m_text.empty())
            throw EConvertError("'" + m_text + "' is not a valid floating point value");
        return value;
    }
    default: return double(AsInteger());
    }
}

bool Variant::AsBoolean() const {
    switch (m_type) {
    case varOleStr: case varString:
        if (m_text == "True" || m_text == "true" || m_text == "TRUE") return true;
        if (m_text == "False" || m_text == "false" || m_text == "FALSE") return false;
        return AsDouble() != 0;
    case varSingle: case varDouble: case varDate: return m_real != 0;
    default: return m_int != 0;
    }
}

std::string Variant::AsString() const {
    char buffer[64];
    switch (m_type) {
    case varEmpty: case varNull: return {};
    case varOleStr: case varString: return m_text;
    case varBoolean: return m_int ? "True" : "False";
    case varSingle: case varDouble: case varDate:
        std::snprintf(buffer, sizeof buffer, "%.15g", m_real);
        return buffer;
    case varCurrency:
        std::snprintf(buffer, sizeof buffer, "%.15g", double(m_int) / 10000.0);
        return buffer;
    default: return std::to_string(m_int);
    }
}

std::int64_t Variant::CurrencyUnits() const {
    return m_type == varCurrency ? m_int : std::llround(AsDouble() * 10000.0);
}

bool Variant::operator==(const Variant& other) const {
    return m_type == other.m_type && m_int == other.m_int && m_real == other.m_real && m_text == other.m_text;
}

} // namespace host
