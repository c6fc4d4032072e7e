#include "core/KvUtils.h"

#include "platform/ui/SysUtils.h"

#include <gtest/gtest.h>

#include <climits>

using namespace kv;

TEST(KvUtilsFormat, TimeTexts) {
    struct Case {
        std::int64_t ms;
        const char* withMs;
        const char* without;
    };
    const Case cases[] = {
        {0, "0:00.000", "0:00"},
        {59999, "0:59.999", "0:59"},
        {3599999, "59:59.999", "59:59"},
        {3600000, "1:00:00.000", "1:00:00"},
        {3723004, "1:02:03.004", "1:02:03"},
        {86400000, "1:00:00:00.000", "1:00:00:00"},
        {2 * 86400000LL + 3723004, "2:01:02:03.004", "2:01:02:03"},
        {-5250, "-0:05.250", "-0:05"},
        {INT64_MIN, "-106751991167:07:12:55.808", "-106751991167:07:12:55"},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.ms);
        EXPECT_EQ(TimeToString64Ex(t.ms, true), t.withMs);
        EXPECT_EQ(TimeToString64Ex(t.ms, false), t.without);
        EXPECT_EQ(TimeToString64(t.ms), t.withMs);
        if (t.ms >= INT_MIN && t.ms <= INT_MAX) {
            EXPECT_EQ(TimeToString(static_cast<std::int32_t>(t.ms)), t.withMs);
            EXPECT_EQ(TimeToStringEx(static_cast<std::int32_t>(t.ms), false), t.without);
        }
    }
}

TEST(KvUtilsFormat, TimeDecodeAndMasks) {
    std::uint16_t h, m, s, ms;
    TimeDecode(3723004, h, m, s, ms);
    EXPECT_EQ(h, 1);
    EXPECT_EQ(m, 2);
    EXPECT_EQ(s, 3);
    EXPECT_EQ(ms, 4);
    TimeDecode(-1, h, m, s, ms);
    EXPECT_EQ(h | m | s | ms, 0);

    EXPECT_EQ(TimeToMask(3723004), "010203004");
    EXPECT_EQ(TimeToMask(-7), "000000000");
    for (std::int32_t t : {0, 1, 59999, 3723004, 99 * 3600000 + 59 * 60000 + 59999}) {
        EXPECT_EQ(MaskToTime(TimeToMask(t)), t) << t;
    }
    EXPECT_EQ(MaskToTime("abc"), 0);
    EXPECT_EQ(MaskToTime(""), 0);
    EXPECT_EQ(MaskToTime("12 "), 0);
    EXPECT_EQ(MaskToTime("99999999999"), 0); // beyond 32 bits: not a number
}

TEST(KvUtilsFormat, BigNumbers) {
    struct Case {
        std::int32_t n;
        const char* text;
    };
    const Case cases[] = {{0, "0"},           {999, "999"},
                          {1000, "1.000"},    {1234567, "1.234.567"},
                          {1000000000, "1.000.000.000"}, {INT_MAX, "2.147.483.647"},
                          {-1234, "-1.234"},  {INT_MIN, "-2.147.483.648"}};
    for (const auto& t : cases) EXPECT_EQ(FormatBigNumber(t.n), t.text) << t.n;
}

TEST(KvUtilsFormat, VolumeAndPanning) {
    EXPECT_EQ(VolumeToStringShort(0, 16384, 1), "-Inf");
    EXPECT_EQ(VolumeToString(16384, 16384, 1), "0.0 dB");
    EXPECT_EQ(VolumeToString(8192, 16384, 2), "-6.02 dB");
    EXPECT_EQ(VolumeToStringShort(-16384, 16384, 0), " 0"); // the magnitude counts; "%2.*f" pads
    EXPECT_DOUBLE_EQ(VolumeToDB(0, 100), -110.0);
    EXPECT_DOUBLE_EQ(VolumeToDB(10, 0), 20.0); // maximum below 1 counts as 1
    for (std::int32_t v : {1, 100, 8192, 16384, 30000}) {
        EXPECT_EQ(DBToVolume(VolumeToDB(v, 16384), 16384), v) << v;
    }
    EXPECT_EQ(DBToVolume(-110, 16384), 0);
    EXPECT_EQ(DBToVolume(400, 16384), INT_MAX);

    EXPECT_EQ(PanningToString(0, 100), "50:50");
    EXPECT_EQ(PanningToString(-100, 100), "100:0");
    EXPECT_EQ(PanningToString(40, 100), "30:70");
    EXPECT_THROW(PanningToString(1, 0), host::EDivByZero);
}

TEST(KvUtilsFormat, VolumeSplitByPanning) {
    std::int32_t left = 0, right = 0;
    CalcVolume(100, 1000, -25, left, right);
    EXPECT_EQ(left, 1000);
    EXPECT_EQ(right, 750);
    CalcVolume(100, 1000, 25, left, right);
    EXPECT_EQ(left, 750);
    EXPECT_EQ(right, 1000);
    CalcVolume(3, 1, 1, left, right); // 2/3 rounds to nearest
    EXPECT_EQ(left, 1);
    CalcVolume(0, 1000, 5, left, right); // the platform answers −1 for a zero divisor
    EXPECT_EQ(left, -1);
    CalcVolume(INT_MAX, 1000, -INT_MAX, left, right);
    EXPECT_EQ(right, 0);
    CalcVolume(INT_MIN, 0, 1, left, right); // range − pan beyond 32 bits: the overflow answer, not 0
    EXPECT_EQ(left, -1);

    EXPECT_EQ(CombineVolume(8000, 3, 4), 4); // capped at the denominator
    EXPECT_EQ(CombineVolume(2, 3, 4), 2);    // 1.5 rounds away from zero
}
