// The explosion's pause: wait until the clock passes a whole second while the window stays
// responsive.
//
// The end mark is the whole second nearest to now + n (halves go to the even second), so a
// wait for n seconds lasts between n - 1/2 and n + 1/2 seconds. The start reading and the end
// mark come from the seconds-since-midnight clock, but the time that has passed is measured on
// a monotonic clock: a wait never hangs when the wall clock wraps at midnight, nor ends early
// when it is set back or forward. Between readings the thread sleeps in the event pump until an
// event arrives or the end mark passes, instead of spinning on the clock.
#include "app/errors.h"
#include "app/frmMain.h"

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
    const double t0 = ws_.Timer();
    const double m0 = ws_.MonotonicSeconds();
    const double endMark = RoundToInt32(t0 + n);
    for (;;) {
        const double t = t0 + (ws_.MonotonicSeconds() - m0);
        // Strictly greater: a reading equal to the end mark keeps waiting.
        if (t > endMark) return;
        ws_.DoEvents(endMark - t);
    }
}

} // namespace pikorina
