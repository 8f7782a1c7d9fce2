// The clocks the timed wait reads: the day clock the program shows its time by, and one that
// never jumps, for measuring how long something took.
#pragma once

#include <chrono>

namespace pikorina {

class Clock {
  public:
    virtual ~Clock() = default;

    // Seconds since local midnight, with a fraction; restarts at 0 at midnight.
    virtual double Timer() const = 0;
    // Seconds on a clock that never jumps.
    virtual double MonotonicSeconds() const {
        using namespace std::chrono;
        return duration<double>(steady_clock::now().time_since_epoch()).count();
    }
};

} // namespace pikorina
