#pragma once
// Time as the windows use it: the wall clock (date, time of day, seconds since midnight) and a
// monotonic millisecond count that every wait is measured on, so no wait hangs at midnight.

#include <cstdint>
#include <string>

namespace vc {

struct DateTime {
    int year = 2000, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0;
    // 1 = Sunday .. 7 = Saturday.
    int weekday() const;
    // "dd/mm/yyyy" and "hh:mm", the forms stored in the database and the files.
    std::string dateText() const;
    std::string timeText() const;
    // "dd/mm/yyyy hh:mm:ss", the date and time the status lines show.
    std::string generalText() const;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual DateTime now() const = 0;
    // Seconds since midnight, with fractions.
    virtual double secondsSinceMidnight() const = 0;
    virtual std::int64_t monotonicMs() const = 0;
    // Blocks the caller; runs no events.
    virtual void sleep(int ms) = 0;
    // Blocks until the descriptor 'fd' has input or 'ms' have passed, whichever is first; with
    // fd -1 only the time counts. Runs no events. The default returns at once: a fake clock,
    // whose time moves only when told, never waits.
    virtual void waitReadable(int fd, int ms) {
        (void)fd;
        (void)ms;
    }
    // Called by every doEvents(); a fake clock advances here.
    virtual void onDoEvents() {}
};

class SystemClock final : public Clock {
public:
    DateTime now() const override;
    double secondsSinceMidnight() const override;
    std::int64_t monotonicMs() const override;
    void sleep(int ms) override;
    void waitReadable(int fd, int ms) override;
};

// A point in monotonic time to wait until.
class Deadline {
public:
    Deadline(const Clock& clock, std::int64_t ms) : clock_(clock), end_(clock.monotonicMs() + ms) {}
    bool expired() const { return clock_.monotonicMs() >= end_; }
    void restart(std::int64_t ms) { end_ = clock_.monotonicMs() + ms; }
    std::int64_t endMs() const { return end_; }

private:
    const Clock& clock_;
    std::int64_t end_;
};

}  // namespace vc
