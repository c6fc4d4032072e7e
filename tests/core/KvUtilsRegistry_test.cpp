#include "core/KvUtils.h"

#include "platform/ui/Registry.h"
#include "support/TestRegistry.h"

#include <gtest/gtest.h>
#include <numeric>
#include <vector>

using namespace kv;
using host::Variant;
using win::HKEY_CURRENT_USER;

namespace {
const std::string Key = "Software\\Quillan\\Settings";
}

TEST(KvUtilsRegistry, EveryVariantTypeRoundTripsAsTheTypeItIsReadAs) {
    testsupport::freshRegistry();
    struct Case {
        const char* name;
        Variant saved, fallback, expected;
    };
    const Case cases[] = {
        {"smallint", Variant(std::int16_t(-5)), Variant(std::int16_t(0)), Variant(-5)},
        {"integer", Variant(-2000000000), Variant(0), Variant(-2000000000)},
        {"byte", Variant(std::uint8_t(200)), Variant(std::uint8_t(1)), Variant(200)},
        {"null", Variant::Null(), Variant(9), Variant(0)},
        {"single", Variant(1.5f), Variant(0.0f), Variant(1.5)},
        {"double", Variant(0.1), Variant(0.0), Variant(0.1)},
        {"currency", Variant::Currency(-12.3456), Variant::Currency(0), Variant::Currency(-12.3456)},
        {"date", Variant::Date(45000.5), Variant::Date(0), Variant::Date(45000.5)},
        {"string", Variant("Grüße"), Variant(""), Variant("Grüße")},
        {"olestr", Variant::OleStr("wide"), Variant::OleStr(""), Variant("wide")},
        {"boolean", Variant(true), Variant(false), Variant(true)},
    };
    for (const Case& c : cases)
        SaveInRegistry(HKEY_CURRENT_USER, Key, c.name, c.saved);
    for (const Case& c : cases) {
        Variant read = GetFromRegistry(HKEY_CURRENT_USER, Key, c.name, c.fallback);
        EXPECT_EQ(read, c.expected) << c.name << ": " << read.AsString() << " of type " << read.VarType();
    }
}

TEST(KvUtilsRegistry, MissingKeysAndValuesGiveTheDefaultAndEmptyVariantsAreNotWritten) {
    testsupport::freshRegistry();
    for (const Variant& fallback : {Variant(std::int16_t(3)), Variant(2.5f), Variant::OleStr("x"), Variant(),
                                    Variant::Currency(1), Variant(true)}) {
        EXPECT_EQ(GetFromRegistry(HKEY_CURRENT_USER, "Software\\Missing", "v", fallback), fallback);
        EXPECT_EQ(GetFromRegistry(HKEY_CURRENT_USER, "Software", "missing", fallback), fallback);
    }
    std::uint8_t buffer[4] = {1, 2, 3, 4};
    EXPECT_EQ(GetFromRegistryBinary(HKEY_CURRENT_USER, "Software\\Missing", "b", 0, nullptr), 0);
    EXPECT_EQ(GetFromRegistryBinary(HKEY_CURRENT_USER, "Software\\Missing", "b", 4, buffer), 0);
    EXPECT_EQ(buffer[0], 1);

    SaveInRegistry(HKEY_CURRENT_USER, Key, "empty", Variant());
    host::TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly(Key)); // the key is made all the same
    EXPECT_FALSE(reg.ValueExists("empty"));
}

TEST(KvUtilsRegistry, BinaryValuesReportTheirSizeAndNeverWritePastTheBuffer) {
    testsupport::freshRegistry();
    std::vector<std::uint8_t> stored(300);
    std::iota(stored.begin(), stored.end(), std::uint8_t(0));
    SaveInRegistryBinary(HKEY_CURRENT_USER, Key, "Options", std::int32_t(stored.size()), stored.data());
    SaveInRegistryBinary(HKEY_CURRENT_USER, Key, "None", 0, nullptr);

    EXPECT_EQ(GetFromRegistryBinary(HKEY_CURRENT_USER, Key, "Options", 0, nullptr), 300);
    EXPECT_EQ(GetFromRegistryBinary(HKEY_CURRENT_USER, Key, "None", 0, nullptr), 0);
    std::vector<std::uint8_t> whole(400, 0xEE);
    EXPECT_EQ(GetFromRegistryBinary(HKEY_CURRENT_USER, Key, "Options", 400, whole.data()), 300);
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), whole.begin()));
    EXPECT_EQ(whole[300], 0xEE);
    std::vector<std::uint8_t> part(16, 0xEE);
    EXPECT_EQ(GetFromRegistryBinary(HKEY_CURRENT_USER, Key, "Options", 8, part.data()), 8);
    EXPECT_EQ(part[7], 7);
    EXPECT_EQ(part[8], 0xEE);
    EXPECT_EQ(GetFromRegistryBinary(HKEY_CURRENT_USER, Key, "Options", -1, part.data()), 0);
    EXPECT_THROW(SaveInRegistryBinary(HKEY_CURRENT_USER, Key, "Bad", -1, part.data()),
                 host::ERegistryException);
}

TEST(KvUtilsRegistry, KeysIgnoreCaseAndOnlyPredefinedRootsAreTaken) {
    testsupport::freshRegistry();
    SaveInRegistry(HKEY_CURRENT_USER, Key, "Count", Variant(7));
    EXPECT_EQ(GetFromRegistry(HKEY_CURRENT_USER, "SOFTWARE\\quillan\\SETTINGS", "count", Variant(0)),
              Variant(7));
    EXPECT_EQ(GetFromRegistry(win::HKEY_LOCAL_MACHINE, Key, "Count", Variant(0)), Variant(0));
    // A root that is not a predefined key leaves the default root, the current user's.
    auto notARoot = reinterpret_cast<win::HKEY>(std::uintptr_t(0x80000007u));
    SaveInRegistry(notARoot, Key, "Other", Variant(8));
    EXPECT_EQ(GetFromRegistry(HKEY_CURRENT_USER, Key, "Other", Variant(0)), Variant(8));
    SaveInRegistry(win::HKEY_DYN_DATA, Key, "Dyn", Variant(9));
    EXPECT_EQ(GetFromRegistry(win::HKEY_DYN_DATA, Key, "Dyn", Variant(0)), Variant(9));
    EXPECT_EQ(GetFromRegistry(HKEY_CURRENT_USER, Key, "Dyn", Variant(0)), Variant(0));
}

TEST(KvUtilsRegistry, AValueOfAnotherTypeRaises) {
    testsupport::freshRegistry();
    SaveInRegistry(HKEY_CURRENT_USER, Key, "Name", Variant("text"));
    SaveInRegistry(HKEY_CURRENT_USER, Key, "Ratio", Variant(0.5));
    EXPECT_THROW(GetFromRegistry(HKEY_CURRENT_USER, Key, "Name", Variant(0)), host::ERegistryException);
    EXPECT_THROW(GetFromRegistry(HKEY_CURRENT_USER, Key, "Ratio", Variant(false)), host::ERegistryException);
    std::uint8_t buffer[8];
    EXPECT_EQ(GetFromRegistryBinary(HKEY_CURRENT_USER, Key, "Name", 0, nullptr), 5);
    EXPECT_THROW(GetFromRegistryBinary(HKEY_CURRENT_USER, Key, "Name", 8, buffer), host::ERegistryException);
    // A real stored by SaveInRegistry is 8 binary bytes, so it can be read as binary data.
    EXPECT_EQ(GetFromRegistryBinary(HKEY_CURRENT_USER, Key, "Ratio", 8, buffer), 8);
}
