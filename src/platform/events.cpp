#include "platform/events.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <stdexcept>

#include "platform/forms.h"

namespace vc {

namespace {

// Only a timer or the pump can bring work to an idle loop; this merely bounds its wait.
constexpr std::int64_t LongestIdleMs = 100;

}  // namespace

void EventLoop::post(std::function<void()> action) { posted_.push_back(std::move(action)); }

void EventLoop::addTimer(Timer* t) { timers_.push_back(Armed{t, 0, false}); }

void EventLoop::removeTimer(Timer* t) {
    std::erase_if(timers_, [t](const Armed& a) { return a.timer == t; });
}

void EventLoop::armTimer(Timer* t) {
    for (auto& a : timers_)
        if (a.timer == t) a.due = clock_.monotonicMs() + t->Interval();
}

#if !defined(NDEBUG) || defined(VARCANTO_YIELD_CHECKS)

namespace {

// The innermost open NoYield scope of this thread; each one links to the scope around it.
thread_local NoYield* innermost = nullptr;

}  // namespace

NoYield::NoYield(const char* reason) noexcept : reason_(reason), outer_(innermost) { innermost = this; }

// A scope may close out of order (a transaction's ends at its commit): it leaves the list wherever
// it stands in it.
NoYield::~NoYield() {
    NoYield** p = &innermost;
    while (*p && *p != this) p = &(*p)->outer_;
    if (*p) *p = outer_;
}

void NoYield::check() noexcept {
    if (!innermost) return;
    std::fputs("A handler yielded inside a scope that must not yield:", stderr);
    for (const NoYield* s = innermost; s; s = s->outer_) std::fprintf(stderr, "\n  %s", s->reason_);
    std::fputs("\n", stderr);
    std::abort();
}

#endif

void EventLoop::doEvents() {
    NoYield::check();
    ++depth_;
    struct Leave {
        EventLoop& l;
        ~Leave() { --l.depth_; }
    } leave{*this};
    clock_.onDoEvents();
    if (pump_) pump_();
    runDue();
}

// Returns true when something ran.
bool EventLoop::runDue() {
    bool ran = false;
    // Posted actions queued before this round; those they post wait for the next round.
    for (auto n = posted_.size(); n > 0 && !posted_.empty(); --n) {
        auto action = std::move(posted_.front());
        posted_.pop_front();
        guarded(action);
        ran = true;
    }
    // Timers may be added or removed by the handlers they run: look each one up afresh.
    std::vector<Timer*> due;
    const auto now = clock_.monotonicMs();
    for (auto& a : timers_)
        if (!a.running && a.timer->Enabled() && a.timer->Interval() > 0 && a.due <= now)
            due.push_back(a.timer);
    for (Timer* t : due) {
        auto it = std::find_if(timers_.begin(), timers_.end(), [t](const Armed& a) { return a.timer == t; });
        if (it == timers_.end() || it->running || !t->Enabled()) continue;
        it->running = true;
        it->due = clock_.monotonicMs() + t->Interval();
        struct Done {
            EventLoop& l;
            Timer* t;
            ~Done() {
                for (auto& a : l.timers_)
                    if (a.timer == t) a.running = false;
            }
        } done{*this, t};
        guarded([t] { t->fire(); });
        ran = true;
    }
    return ran;
}

// A timer whose handler is running cannot tick, so it wakes nobody.
std::int64_t EventLoop::nextTimerDue() const {
    std::int64_t next = std::numeric_limits<std::int64_t>::max();
    for (const auto& a : timers_)
        if (!a.running && a.timer->Enabled() && a.timer->Interval() > 0) next = std::min(next, a.due);
    return next;
}

void EventLoop::waitForWork(int fd, std::int64_t untilMs) {
    if (!posted_.empty()) return;
    const std::int64_t now = clock_.monotonicMs();
    std::int64_t wake = std::min(untilMs, nextTimerDue());
    if (pump_) wake = std::min(wake, now + pumpEveryMs_);
    if (wake <= now) return;
    clock_.waitReadable(fd, static_cast<int>(std::min<std::int64_t>(wake - now, INT_MAX)));
}

void EventLoop::guarded(const std::function<void()>& f) {
    if (!reporter_) return f();
    try {
        f();
    } catch (const std::exception& e) {
        reporter_(e);
    }
}

void EventLoop::runUntil(const std::function<bool()>& done) {
    long idle = 0;
    while (!done()) {
        const bool busy = !posted_.empty();
        doEvents();
        if (busy) {
            idle = 0;
            continue;
        }
        if (idleLimit_ > 0 && ++idle > idleLimit_)
            throw std::runtime_error("event loop idle: a modal wait was never answered");
        waitForWork(-1, clock_.monotonicMs() + LongestIdleMs);
    }
}

}  // namespace vc

namespace vc {

void EventLoop::run(const std::function<bool()>& quit) {
    while (!quit()) {
        doEvents();
        if (idleHook_) idleHook_();
        waitForWork(-1, clock_.monotonicMs() + LongestIdleMs);
    }
}

}  // namespace vc
