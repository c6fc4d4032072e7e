#include "platform/ui/SysUtils.h"
#include "platform/ui/Variants.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace host;

TEST(Variant, ConvertsToIntegersRoundingHalvesAwayFromZero) {
    struct Case {
        Variant value;
        std::int64_t expected;
    };
    const Case cases[] = {
        {Variant(2.5), 3},
        {Variant(-2.5), -3},
        {Variant(2.4f), 2},
        {Variant::Currency(1.5), 2},
        {Variant::Currency(-1.5), -2},
        {Variant::Currency(-1.4999), -1},
        {Variant(" 42 "), 42},
        {Variant("+7"), 7},
        {Variant("-7"), -7},
        {Variant(true), -1},
        {Variant(std::uint8_t(255)), 255},
        {Variant::Null(), 0},
        {Variant::Date(45000.75), 45001},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.value.AsInteger(), c.expected) << c.value.AsString();
}

TEST(Variant, RefusesWhatIsNoNumberOrDoesNotFit) {
    for (const Variant& v : {Variant("x"), Variant(""), Variant("1 2"), Variant("+-1"), Variant(1e300),
                             Variant(std::numeric_limits<double>::quiet_NaN()), Variant(-0x1p64)})
        EXPECT_THROW(v.AsInteger(), EConvertError) << v.AsString();
    EXPECT_THROW(Variant::Currency(1e20), EConvertError);
    EXPECT_THROW(Variant("1e300").CurrencyUnits(), EConvertError);
    EXPECT_THROW(Variant("abc").AsDouble(), EConvertError);
}

TEST(Variant, BooleansFromTextIgnoreCaseAndFromNumbersTestForZero) {
    EXPECT_TRUE(Variant("tRuE").AsBoolean());
    EXPECT_FALSE(Variant(" FALSE").AsBoolean());
    EXPECT_TRUE(Variant("2").AsBoolean());
    EXPECT_FALSE(Variant("0.0").AsBoolean());
    EXPECT_TRUE(Variant(0.5).AsBoolean());
    EXPECT_FALSE(Variant::Currency(0).AsBoolean());
    EXPECT_THROW(Variant("maybe").AsBoolean(), EConvertError);
}

TEST(Variant, CurrencyKeepsFourDecimalsExactly) {
    EXPECT_EQ(Variant::Currency(1.23456).CurrencyUnits(), 12346);
    TCurrency big{922337203685477580}; // near the top of the range, beyond a double's precision
    Variant v(big);
    EXPECT_EQ(v.VarType(), varCurrency);
    EXPECT_EQ(v.AsCurrency(), big);
    EXPECT_EQ(Variant(2.5).AsCurrency().units, 25000);
    EXPECT_EQ(Variant::Currency(-0.00005).CurrencyUnits(), -1);
    EXPECT_EQ(Variant::Currency(12.5).AsString(), "12.5");
}

TEST(Variant, TypesTextsAndEquality) {
    EXPECT_EQ(Variant(std::int16_t(-3)).VarType(), varSmallint);
    EXPECT_EQ(Variant(7).VarType(), varInteger);
    EXPECT_EQ(Variant("a").VarType(), varString);
    EXPECT_EQ(Variant::OleStr("a").VarType(), varOleStr);
    EXPECT_EQ(Variant::Date(1.5).AsDouble(), 1.5);
    EXPECT_EQ(Variant(false).AsString(), "False");
    EXPECT_EQ(Variant(0.1).AsString(), "0.1");
    EXPECT_TRUE(Variant().IsEmpty());
    EXPECT_TRUE(Variant::Null().IsNull());
    EXPECT_EQ(Variant::Null().AsString(), "");
    EXPECT_EQ(Variant(5), Variant(5));
    EXPECT_FALSE(Variant(5) == Variant(std::int16_t(5))); // same value, another type
    EXPECT_FALSE(Variant("a") == Variant::OleStr("a"));
}
