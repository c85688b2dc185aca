#include "platform/clock.h"

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

namespace vc {

int DateTime::weekday() const {
    // Zeller-free: days since a known Sunday (1 January 2006).
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = 12;
    std::time_t tt = timegm(&t);
    std::tm out{};
    gmtime_r(&tt, &out);
    return out.tm_wday + 1;
}

std::string DateTime::dateText() const {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", day % 100, month % 100, year % 10000);
    return buf;
}

std::string DateTime::timeText() const {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d:%02d", hour % 100, minute % 100);
    return buf;
}

std::string DateTime::generalText() const {
    char buf[8];
    std::snprintf(buf, sizeof buf, ":%02d", second % 100);
    return dateText() + " " + timeText() + buf;
}

DateTime SystemClock::now() const {
    std::time_t tt = std::time(nullptr);
    std::tm t{};
    localtime_r(&tt, &t);
    return DateTime{t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

double SystemClock::secondsSinceMidnight() const {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t tt = system_clock::to_time_t(now);
    std::tm t{};
    localtime_r(&tt, &t);
    double frac = duration<double>(now.time_since_epoch()).count();
    frac -= static_cast<double>(static_cast<std::int64_t>(frac));
    return t.tm_hour * 3600.0 + t.tm_min * 60.0 + t.tm_sec + frac;
}

std::int64_t SystemClock::monotonicMs() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SystemClock::sleep(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void SystemClock::waitReadable(int fd, int ms) {
    if (ms <= 0) return;
    const auto end = monotonicMs() + ms;
    pollfd p{fd, POLLIN, 0};
    for (;;) {
        const auto left = end - monotonicMs();
        if (left <= 0) return;
        const int r = ::poll(&p, fd >= 0 ? 1 : 0, static_cast<int>(left));
        if (r < 0 && errno == EINTR) continue;
        // A descriptor that reports only a hang-up or an error will never bring input: the rest
        // of the time is slept, not spun away.
        if (r > 0 && !(p.revents & POLLIN)) {
            sleep(static_cast<int>(end - monotonicMs()));
        }
        return;
    }
}

}  // namespace vc
