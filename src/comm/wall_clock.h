// The one clock of the terminal's time stamps and the log: local wall time in
// milliseconds since 1970 (log_time.h), read from QueryPerformanceCounter
// mapped to the wall clock. The counter gives the millisecond that the wall
// clock's tick (15.6 ms on Windows) blurs, and costs no date conversion.
#ifndef ZEVRIK_WALL_CLOCK_H
#define ZEVRIK_WALL_CLOCK_H

#include <cstdint>

// Any thread.
std::uint64_t fnWallClockMs();

#endif
