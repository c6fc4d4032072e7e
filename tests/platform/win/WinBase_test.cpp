#include "platform/win/ByteReader.h"
#include "platform/win/GlobalMemory.h"
#include "platform/win/Resources.h"

#include <gtest/gtest.h>

using namespace win;

TEST(WinByteReader, ReadsLittleEndianAndRefusesToReadPastTheEnd) {
    const std::uint8_t data[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
    ByteReader r(data);
    EXPECT_EQ(r.u16(), 0x0201);
    EXPECT_EQ(r.u32(), 0x06050403u);
    EXPECT_FALSE(r.u8().has_value());
    ByteReader r2(data);
    auto sub = r2.split(4);
    ASSERT_TRUE(sub);
    EXPECT_EQ(sub->u32(), 0x04030201u);
    EXPECT_FALSE(sub->u8());
    EXPECT_EQ(r2.remaining(), 2u);
    EXPECT_FALSE(r2.split(3));
}

TEST(WinByteReader, ShortRecordsAreZeroFilled) {
    const std::uint8_t data[] = {40, 0, 0, 0, 7, 0};
    ByteReader r(data);
    BITMAPINFOHEADER bih;
    ASSERT_TRUE(r.readRecord(bih, sizeof data));
    EXPECT_EQ(bih.biSize, 40u);
    EXPECT_EQ(bih.biWidth & 0xFFFF, 7);
    EXPECT_EQ(bih.biHeight, 0);
    EXPECT_FALSE(checkedSize(UINT64_MAX / 2, 4));
    EXPECT_EQ(checkedSize(10, 4, 40), 40u);
    EXPECT_FALSE(checkedSize(11, 4, 40));
}

TEST(WinGlobalMemory, BlocksKnowTheirSizeAndForeignPointersAreRefused) {
    HGLOBAL h = GlobalAlloc(GHND, 100);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalSize(h), 100u);
    auto* p = static_cast<std::uint8_t*>(GlobalLock(h));
    EXPECT_EQ(p[99], 0);
    h = GlobalReAlloc(h, 200, GMEM_ZEROINIT);
    EXPECT_EQ(GlobalSize(h), 200u);
    EXPECT_EQ(static_cast<std::uint8_t*>(h)[150], 0);
    int local = 0;
    EXPECT_EQ(GlobalSize(&local), 0u);
    EXPECT_EQ(GlobalFree(&local), &local);
    EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST(WinResources, StringTableLookupTruncatesToTheBuffer) {
    char buf[8];
    EXPECT_EQ(LoadStringA(GetModuleHandleA(nullptr), 28010, buf, sizeof buf), 7);
    EXPECT_STREQ(buf, "Open AV");
    EXPECT_EQ(LoadStringA(nullptr, 27999, buf, sizeof buf), 0);
}
