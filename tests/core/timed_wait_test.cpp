#include "app/errors.h"
#include "app/frmMain.h"
#include "fake_window_system.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace pikorina::test {
namespace {

class TimedWait : public testing::Test {
  protected:
    // Starts 時間待ち(n) with the wall clock reading t0; returns the seconds it took.
    double WaitFrom(double t0, std::int32_t n) {
        ws.host.SetTimer(t0);
        const double start = ws.host.monotonic;
        form.時間待ち(n);
        return ws.host.monotonic - start;
    }
    FakeWindowSystem ws;
    frmMain form{ws, ws.host};
};

struct WaitRow {
    double t0;
    std::int32_t n;
    double endMark;
};
std::ostream& operator<<(std::ostream& os, const WaitRow& r) {
    return os << "t0 " << r.t0 << " n " << r.n;
}

class TimedWaitEnds : public TimedWait, public testing::WithParamInterface<WaitRow> {};

TEST_P(TimedWaitEnds, JustAfterTheClockPassesTheRoundedEndMark) {
    const WaitRow& row = GetParam();
    const double took = WaitFrom(row.t0, row.n);
    const double due = row.endMark - row.t0;
    EXPECT_GT(took, due) << "t0 " << row.t0 << " n " << row.n;
    // The pump sleeps whole milliseconds, rounded up.
    EXPECT_LE(took, due + 0.001 + ws.wakeLatency + 1e-6) << "t0 " << row.t0 << " n " << row.n;
}

INSTANTIATE_TEST_SUITE_P(Table, TimedWaitEnds,
                         testing::Values(WaitRow{10.3, 1, 11}, WaitRow{10.6, 1, 12},
                                         WaitRow{10.5, 2, 12}, // halves go to the even second
                                         WaitRow{11.5, 2, 14}, WaitRow{10.75, 0, 11},
                                         WaitRow{0.0, 1, 1}));

// The day clock can read up to one of its ticks behind the monotonic one. Whatever its tick,
// the program reading Timer() right after a wait sees the end mark behind it.
struct CoarseRow {
    double t0; // the true time at the start; the day clock reads it rounded down to its tick
    std::int32_t n;
    double tick;
};
std::ostream& operator<<(std::ostream& os, const CoarseRow& r) {
    return os << "t0 " << r.t0 << " n " << r.n << " tick " << r.tick;
}

class TimedWaitWithACoarseDayClock : public TimedWait,
                                     public testing::WithParamInterface<CoarseRow> {};

TEST_P(TimedWaitWithACoarseDayClock, EndsOnlyOnceTheDayClockHasPassedTheMark) {
    const CoarseRow& row = GetParam();
    ws.host.timerTick = row.tick;
    ws.wakeLatency = 0; // the pump wakes exactly when the monotonic clock reaches the mark
    const double endMark = std::nearbyint(std::floor(row.t0 / row.tick) * row.tick + row.n);
    const double took = WaitFrom(row.t0, row.n);
    EXPECT_GT(ws.host.Timer(), endMark);
    EXPECT_LE(took, endMark - row.t0 + row.tick + 0.002) << "waited past the day clock's tick";
}

INSTANTIATE_TEST_SUITE_P(Table, TimedWaitWithACoarseDayClock,
                         testing::Values(CoarseRow{10.31, 1, 1.0 / 64}, CoarseRow{10.3, 1, 1.0},
                                         CoarseRow{10.999, 2, 1.0 / 64},
                                         CoarseRow{85092.2, 1, 0.0156}));

TEST_F(TimedWait, EndsOnTheMonotonicClockWhenTheDayClockIsSetBack) {
    ws.host.SetTimer(500.25);
    ws.At(ws.host.monotonic + 0.3, [&] { ws.host.wallAtStart -= 3600; });
    const double start = ws.host.monotonic;
    form.時間待ち(2);
    EXPECT_NEAR(ws.host.monotonic - start, 1.75, 0.01);
}

TEST_F(TimedWait, WhoseEndMarkHasPassedReturnsWithoutPumping) {
    for (const auto& [t0, n] : {std::pair{10.25, 0}, std::pair{10.9, -1}, std::pair{10.2, -5}}) {
        ws.doEventsCalls = 0;
        EXPECT_EQ(WaitFrom(t0, n), 0.0);
        EXPECT_EQ(ws.doEventsCalls, 0) << "t0 " << t0 << " n " << n;
    }
}

TEST_F(TimedWait, AReadingEqualToTheEndMarkKeepsWaiting) {
    ws.wakeLatency = 0; // the pump wakes exactly at the end mark
    const double took = WaitFrom(10.25, 1);
    EXPECT_EQ(ws.doEventsCalls, 2);
    EXPECT_GT(took, 0.75);
}

TEST_F(TimedWait, OutsideThe32BitRangeIsAnOverflow) {
    ws.host.SetTimer(100);
    for (std::int32_t n : {std::numeric_limits<std::int32_t>::max(),
                           std::numeric_limits<std::int32_t>::max() - 50}) {
        try {
            form.時間待ち(n);
            FAIL() << n;
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), kErrOverflow);
        }
    }
    EXPECT_EQ(ws.doEventsCalls, 0);
}

TEST_F(TimedWait, StartedJustBeforeMidnightStillEndsOnTime) {
    EXPECT_NEAR(WaitFrom(86399.8, 1), 1.2, 0.01);
    EXPECT_NEAR(WaitFrom(86399.3, 2), 1.7, 0.01);
}

TEST_F(TimedWait, IgnoresTheWallClockBeingSetDuringIt) {
    ws.host.SetTimer(500.25);
    ws.At(ws.host.monotonic + 0.3, [&] { ws.host.wallAtStart -= 3600; });
    ws.At(ws.host.monotonic + 0.5, [&] { ws.host.wallAtStart += 7200; });
    const double start = ws.host.monotonic;
    form.時間待ち(2);
    EXPECT_NEAR(ws.host.monotonic - start, 1.75, 0.01);
}

TEST_F(TimedWait, RunsEventsThatArriveAndStillEndsOnTime) {
    int handled = 0;
    ws.host.SetTimer(20.4);
    ws.At(ws.host.monotonic + 0.1, [&] { ++handled; });
    ws.At(ws.host.monotonic + 0.1, [&] { ++handled; });
    ws.At(ws.host.monotonic + 0.5, [&] { ++handled; });
    ws.At(ws.host.monotonic + 5.0, [&] { ++handled; }); // after the wait
    const double start = ws.host.monotonic;
    form.時間待ち(1);
    EXPECT_EQ(handled, 3);
    EXPECT_NEAR(ws.host.monotonic - start, 0.6, 0.01);
}

TEST_F(TimedWait, AModalBoxHoldsItAndItEndsAtTheNextReadingAfter) {
    ws.host.SetTimer(30.25);
    // A handler that blocks for three seconds, as a message box the user reads does.
    ws.At(ws.host.monotonic + 0.2, [&] { ws.host.monotonic += 3.0; });
    const double start = ws.host.monotonic;
    form.時間待ち(1);
    EXPECT_EQ(ws.doEventsCalls, 1);
    EXPECT_NEAR(ws.host.monotonic - start, 3.2, 1e-9);
}

} // namespace
} // namespace pikorina::test
