// The runtime's variant: one value of a small set of types, tagged with its type code. Used where a
// value of any simple type passes through one interface (registry values).
#pragma once

#include <cstdint>
#include <string>

namespace host {

using TVarType = std::uint16_t;
constexpr TVarType varEmpty = 0x0000;
constexpr TVarType varNull = 0x0001;
constexpr TVarType varSmallint = 0x0002;
constexpr TVarType varInteger = 0x0003;
constexpr TVarType varSingle = 0x0004;
constexpr TVarType varDouble = 0x0005;
constexpr TVarType varCurrency = 0x0006; // fixed point, 4 decimals
constexpr TVarType varDate = 0x0007;     // days since 1899-12-30, fraction = time of day
constexpr TVarType varOleStr = 0x0008;
constexpr TVarType varBoolean = 0x000B;
constexpr TVarType varByte = 0x0011;
constexpr TVarType varString = 0x0100;

// The runtime's currency: a fixed-point number with four decimals, held as the value times 10000.
struct TCurrency {
    std::int64_t units = 0;
    // Rounds to four decimals; a value outside the 64-bit range (or not a number) raises EConvertError.
    static TCurrency FromDouble(double value);
    double ToDouble() const { return double(units) / 10000.0; }
    bool operator==(const TCurrency&) const = default;
};

// The runtime's date and time: days since 1899-12-30, the fraction being the time of day.
using TDateTime = double;

class Variant {
  public:
    Variant() = default;
    static Variant Null() { return Variant(varNull); }
    Variant(std::int16_t v) : m_type(varSmallint), m_int(v) {}
    Variant(std::int32_t v) : m_type(varInteger), m_int(v) {}
    Variant(std::uint8_t v) : m_type(varByte), m_int(v) {}
    Variant(float v) : m_type(varSingle), m_real(v) {}
    Variant(double v) : m_type(varDouble), m_real(v) {}
    Variant(bool v) : m_type(varBoolean), m_int(v ? 1 : 0) {}
    Variant(std::string v) : m_type(varString), m_text(std::move(v)) {}
    Variant(const char* v) : m_type(varString), m_text(v) {}
    Variant(TCurrency v) : m_type(varCurrency), m_int(v.units) {}
    // Currency is held as its value times 10000, a date as days since 1899-12-30.
    static Variant Currency(double value);
    static Variant Date(TDateTime days);
    static Variant OleStr(std::string v);

    TVarType VarType() const { return m_type; }
    bool IsEmpty() const { return m_type == varEmpty; }
    bool IsNull() const { return m_type == varNull; }

    // Conversions as the runtime does them; a text that is not a number, and a real number outside the
    // 64-bit range, raise EConvertError. Reals round to the nearest integer.
    std::int64_t AsInteger() const;
    double AsDouble() const;
    bool AsBoolean() const;
    std::string AsString() const;
    std::int64_t CurrencyUnits() const; // the currency value times 10000
    TCurrency AsCurrency() const { return {CurrencyUnits()}; }

    bool operator==(const Variant& other) const;

  private:
    explicit Variant(TVarType type) : m_type(type) {}

    TVarType m_type = varEmpty;
    std::int64_t m_int = 0; // integers, Boolean, currency units
    double m_real = 0;      // single, double, date
    std::string m_text;
};

} // namespace host
