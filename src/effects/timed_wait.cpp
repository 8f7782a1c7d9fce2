// The explosion's pause: wait until the clock passes a whole second while the window stays
// responsive.
//
// The end mark is the whole second nearest to now + n (halves go to the even second), so a
// wait for n seconds lasts between n - 1/2 and n + 1/2 seconds. The start reading and the end
// mark come from the seconds-since-midnight clock, but the time that has passed is measured on
// a monotonic clock: a wait never hangs when the wall clock wraps at midnight, nor ends early
// when it is set forward. Between readings the thread sleeps in the event pump until an event
// arrives or the end mark passes, instead of spinning on the clock.
//
// Once the monotonic clock says the time is up, the wait also waits for the day clock to pass
// the mark, so that whatever runs next and reads Timer() sees the mark behind it. The two clocks
// disagree at that moment by up to one tick of the day clock (about 15.6 ms on Windows), which
// is never as long as a second: a day clock a whole second or more behind was set back or
// wrapped at midnight, and then the monotonic clock alone decides.
#include "app/errors.h"
#include "app/frmMain.h"

#include <algorithm>
#include <cmath>

namespace pikorina {
namespace {

// Rounds half to even, like every conversion of a fraction to a whole number here; a result
// outside the 32-bit range is an overflow.
std::int32_t RoundToInt32(double value) {
    const double rounded = std::nearbyint(value);
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) throw RuntimeError(kErrOverflow);
    return static_cast<std::int32_t>(rounded);
}

} // namespace

void frmMain::時間待ち(std::int32_t n) {
    // While the day clock catches up, it is read again after this long at the least.
    constexpr double kDayClockPoll = 0.001;
    const double t0 = host_.Timer();
    const double m0 = host_.MonotonicSeconds();
    const double endMark = RoundToInt32(t0 + n);
    for (;;) {
        const double t = t0 + (host_.MonotonicSeconds() - m0);
        // Strictly greater: a reading equal to the end mark keeps waiting.
        if (!(t > endMark)) {
            ws_.DoEvents(endMark - t);
            continue;
        }
        const double day = host_.Timer();
        if (day > endMark || t - day >= 1) return;
        ws_.DoEvents(std::max(endMark - day, kDayClockPoll));
    }
}

} // namespace pikorina
