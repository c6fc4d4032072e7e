#include "core/KvUtils.h"
#include "platform/ui/MessagePump.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

using namespace kv;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

struct Stats {
    double min = -1, max = -1, avg = -1;
};

Stats parse(const std::string& text, const char* label) {
    Stats s;
    const std::string format = std::string(label) + "  Min: %lf Max: %lf Avg: %lf";
    EXPECT_EQ(std::sscanf(text.c_str(), format.c_str(), &s.min, &s.max, &s.avg), 3) << text;
    return s;
}

// A message pump with a queue of messages that are "waiting"; the application terminates after a
// given number of them has been processed.
class FakePump : public host::IMessagePump {
  public:
    int waiting = 0;
    int processed = 0;
    int terminateAfter = -1;
    std::uint32_t longestWait = 0;

    bool WaitForInput(std::uint32_t ms) override {
        longestWait = std::max(longestWait, ms);
        if (waiting > 0) return true;
        std::this_thread::sleep_for(milliseconds(ms));
        return false;
    }
    void ProcessMessages() override {
        processed += waiting;
        waiting = 0;
    }
    bool Terminated() override { return terminateAfter >= 0 && processed >= terminateAfter; }
};

struct PumpInstalled {
    explicit PumpInstalled(host::IMessagePump* p) : previous(host::SetMessagePump(p)) {}
    ~PumpInstalled() { host::SetMessagePump(previous); }
    host::IMessagePump* previous;
};

long long msSince(Clock::time_point t) {
    return std::chrono::duration_cast<milliseconds>(Clock::now() - t).count();
}

} // namespace

TEST(KvUtilsTiming, ExactTimeIsInMicroseconds) {
    const std::int64_t a = TimeGetExactTime();
    std::this_thread::sleep_for(milliseconds(20));
    const std::int64_t d = TimeGetExactTime() - a;
    EXPECT_GE(d, 20000);
    EXPECT_LT(d, 5000000);
}

TEST(KvUtilsTiming, MeasurementKeepsMinimumMaximumAndAverage) {
    InitTimeMeasure();
    // Stopping without a start measures nothing (and divides by nothing).
    Stats s0 = parse(StopTimeMeasure(1), "Time:");
    EXPECT_EQ(s0.min, 2147483647.0);
    EXPECT_EQ(s0.max, 0.0);
    EXPECT_EQ(s0.avg, 0.0);

    StartTimeMeasure();
    std::this_thread::sleep_for(milliseconds(2));
    const Stats s1 = parse(StopTimeMeasure(1), "Time:");
    EXPECT_GE(s1.min, 2000.0);
    EXPECT_EQ(s1.max, s1.min);
    EXPECT_EQ(s1.avg, s1.min);

    StartTimeMeasure();
    std::this_thread::sleep_for(milliseconds(20));
    const Stats s2 = parse(StopTimeMeasure(0), "Time:"); // n below 1 counts as 1
    EXPECT_EQ(s2.min, s1.min);
    EXPECT_GE(s2.max, 20000.0);
    EXPECT_DOUBLE_EQ(s2.avg, (s1.min + s2.max) / 2);

    StartTimeMeasure();
    const Stats s3 = parse(StopTimeMeasure(4), "Time:");
    EXPECT_LT(s3.min * 4, s1.min);
    EXPECT_DOUBLE_EQ(s3.max * 4, s2.max);
    EXPECT_NEAR(s3.avg * 4 * 3, s1.min + s2.max + s3.min * 4, 1e-3);

    InitTimeMeasure();
    EXPECT_EQ(parse(StopTimeMeasure(1), "Time:").min, 2147483647.0);
}

TEST(KvUtilsTiming, CycleMeasurementCountsProcessorCycles) {
    InitCyclesMeasure();
    StartCyclesMeasure();
    std::this_thread::sleep_for(milliseconds(1));
    const Stats s = parse(StopCyclesMeasure(1), "CPU-Cycles:");
    EXPECT_GT(s.min, 0.0);
    EXPECT_EQ(s.max, s.min);
}

TEST(KvUtilsTiming, DelaySleepsOrKeepsProcessingMessages) {
    struct Row {
        std::int32_t ms;
        bool processMessages;
        bool withPump;
        int waiting, terminateAfter; // messages waiting; processed messages after which the application ends
        long long minMs, maxMs;
        int processed;
    } rows[] = {
        {0, true, true, 1, -1, 0, 200, 0}, // nothing to wait for
        {-5, true, true, 1, -1, 0, 200, 0},
        {30, false, true, 1, -1, 30, 2000, 0}, // a plain sleep leaves the messages alone
        {30, true, false, 0, -1, 30, 2000, 0}, // no pump installed: a plain sleep
        {60, true, true, 3, -1, 60, 2000, 3},  // messages processed, then the rest of the time waited
        {5000, true, true, 2, 2, 0, 2500, 2},  // the application terminates
    };
    for (const Row& r : rows) {
        FakePump pump;
        pump.waiting = r.waiting;
        pump.terminateAfter = r.terminateAfter;
        PumpInstalled installed(r.withPump ? &pump : nullptr);
        const auto t0 = Clock::now();
        Delay(r.ms, r.processMessages);
        const auto ms = msSince(t0);
        EXPECT_GE(ms, r.minMs) << r.ms;
        EXPECT_LT(ms, r.maxMs) << r.ms;
        EXPECT_EQ(pump.processed, r.processed) << r.ms;
        EXPECT_LE(pump.longestWait, std::uint32_t(std::max(r.ms, 0))) << r.ms;
    }
}
