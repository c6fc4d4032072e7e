#include "platform/ui/Registry.h"

#include "support/TestRegistry.h"

#include <functional>
#include <gtest/gtest.h>

using namespace host;

namespace {

std::string messageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const ERegistryException& e) {
        return e.Message();
    }
    return "no exception";
}

} // namespace

TEST(TRegistry, TypedValuesRoundTripWithTheirStoredTypes) {
    testsupport::freshRegistry();
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("Software\\Quillan\\Typed", true));
        reg.WriteString("s", "text");
        reg.WriteInteger("i", -5);
        reg.WriteBool("b", true);
        reg.WriteFloat("f", 0.1);
        reg.WriteCurrency("c", TCurrency{-123456789012345});
        reg.WriteDateTime("d", 45000.25);
        const std::uint8_t blob[] = {9, 8, 7};
        reg.WriteBinaryData("x", blob, sizeof blob);
    }
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly("\\Software\\Quillan\\Typed"));
    EXPECT_EQ(reg.CurrentPath(), "Software\\Quillan\\Typed");
    EXPECT_EQ(reg.ReadString("s"), "text");
    EXPECT_EQ(reg.ReadInteger("i"), -5);
    EXPECT_TRUE(reg.ReadBool("b"));
    EXPECT_EQ(reg.ReadFloat("f"), 0.1);
    EXPECT_EQ(reg.ReadCurrency("c").units, -123456789012345);
    EXPECT_EQ(reg.ReadDateTime("d"), 45000.25);
    EXPECT_EQ(reg.GetDataType("s"), rdString);
    EXPECT_EQ(reg.GetDataType("i"), rdInteger);
    EXPECT_EQ(reg.GetDataType("f"), rdBinary);
    EXPECT_EQ(reg.GetDataSize("s"), 5);
    EXPECT_EQ(reg.GetDataSize("f"), 8);
    EXPECT_EQ(reg.GetDataSize("missing"), -1);
    std::uint8_t small[2], big[8] = {};
    EXPECT_EQ(reg.ReadBinaryData("x", big, sizeof big), 3);
    EXPECT_EQ(big[2], 7);
    EXPECT_THROW(reg.ReadBinaryData("x", small, sizeof small), ERegistryException);
    EXPECT_EQ(reg.ReadBinaryData("missing", small, sizeof small), 0);
    EXPECT_EQ(reg.ReadString("missing"), "");
    EXPECT_THROW(reg.ReadInteger("missing"), ERegistryException);
    // Opened for reading only.
    EXPECT_NE(messageOf([&] { reg.WriteInteger("i", 1); }).find("reading only"), std::string::npos);
}

TEST(TRegistry, AValueOfAnotherTypeRaisesWithAMessageNamingBoth) {
    testsupport::freshRegistry();
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Quillan\\Wrong", true));
    reg.WriteString("Count", "12");
    reg.WriteInteger("Number", 3);
    reg.WriteBinaryData("Short", "abcd", 4);
    struct Case {
        std::function<void()> read;
        std::string expected;
    };
    const Case cases[] = {
        {[&] { reg.ReadInteger("Count"); },
         "Invalid data type for 'Count': stored as REG_SZ of 3 bytes, read as an integer"},
        {[&] { reg.ReadString("Number"); },
         "Invalid data type for 'Number': stored as REG_DWORD of 4 bytes, read as a string"},
        {[&] { reg.ReadFloat("Short"); },
         "Invalid data type for 'Short': stored as REG_BINARY of 4 bytes, read as a real number (8 bytes)"},
        {[&] { reg.ReadCurrency("Number"); }, "Invalid data type for 'Number': stored as REG_DWORD of 4 "
                                              "bytes, read as a currency value (8 bytes)"},
        {[&] { reg.ReadBinary("Count"); },
         "Invalid data type for 'Count': stored as REG_SZ of 3 bytes, read as binary data"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(messageOf(c.read), c.expected);
}

TEST(TRegistry, RelativeAndAbsoluteKeysAndDeletingATree) {
    testsupport::freshRegistry();
    TRegistry reg;
    reg.SetRootKey(win::HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(reg.OpenKey("Software\\Tree", false));
    EXPECT_NE(messageOf([&] { reg.WriteInteger("x", 1); }).find("no key is open"), std::string::npos);
    ASSERT_TRUE(reg.OpenKey("Software\\Tree", true));
    ASSERT_TRUE(reg.OpenKey("A\\B", true)); // relative to the open key
    EXPECT_EQ(reg.CurrentPath(), "Software\\Tree\\A\\B");
    reg.WriteInteger("deep", 1);
    ASSERT_TRUE(reg.OpenKey("\\Software\\Tree", false));
    EXPECT_TRUE(reg.HasSubKeys());
    EXPECT_EQ(reg.GetKeyNames(), std::vector<std::string>{"A"});
    EXPECT_TRUE(reg.KeyExists("a\\b"));
    EXPECT_TRUE(reg.DeleteKey("\\Software\\Tree"));
    EXPECT_FALSE(reg.KeyExists("\\Software\\Tree"));
    reg.SetRootKey(win::HKEY_CURRENT_USER);
    EXPECT_FALSE(reg.KeyExists("\\Software\\Tree\\A"));
}
