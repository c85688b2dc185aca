#pragma once
// The one user-interface thread's event loop. Everything runs in handlers called from here:
// posted input (the front end's clicks and keys, or a test's script) and due timer ticks.
// doEvents() is re-entrant, as the windows expect from their long waits; a timer whose handler
// is still running is not ticked again until it returns.

#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <vector>

#include "platform/clock.h"

namespace vc {

class Timer;

class EventLoop {
public:
    explicit EventLoop(Clock& clock) : clock_(clock) {}

    // Runs the front end's pending events, then the posted actions and due timers once.
    void doEvents();
    // Queues an action for the next doEvents().
    void post(std::function<void()> action);
    // Runs doEvents() until done() holds, waiting for work between idle rounds (waitForWork).
    // Throws std::runtime_error after idleLimit idle rounds when one is set (tests use this so a
    // modal window nobody answers fails instead of hanging).
    void runUntil(const std::function<bool()>& done);
    void setIdleLimit(long rounds) { idleLimit_ = rounds; }
    // The front end's own event processing, run at the start of every doEvents(). Its input is
    // one the loop cannot wait on, so a wait lasts at most 'everyMs' before the pump runs again.
    void setExternalPump(std::function<void()> pump, int everyMs = 1) {
        pump_ = std::move(pump);
        pumpEveryMs_ = everyMs;
    }
    // What a yield does once doEvents() has run: blocks until there is work, that is until 'fd'
    // (when not -1) has input, a timer falls due or the monotonic time reaches 'untilMs',
    // whichever comes first, and at most the pump's interval. Returns at once when posted
    // actions wait or a timer is already due. The blocking is the clock's, so on a fake clock
    // nothing blocks.
    void waitForWork(int fd, std::int64_t untilMs);
    // One round of a timed pause that lets events run: doEvents(), then waitForWork() until
    // 'untilMs' at the latest, so a pause never spins.
    void yieldUntil(std::int64_t untilMs) {
        doEvents();
        waitForWork(-1, untilMs);
    }
    // The program's main loop: runs until quit() holds, calling the idle hook after each round,
    // when no handler is running (the registry destroys unloaded windows there).
    void run(const std::function<bool()>& quit);
    void setIdleHook(std::function<void()> f) { idleHook_ = std::move(f); }
    // A handler that throws (a database failure nobody expected) is reported here and the loop
    // goes on, so one failed click or tick never stops the station. Without a reporter it throws.
    void setErrorReporter(std::function<void(const std::exception&)> f) { reporter_ = std::move(f); }
    // How deep doEvents() calls are nested right now (0 at the top).
    int depth() const { return depth_; }

    Clock& clock() { return clock_; }

    void addTimer(Timer* t);
    void removeTimer(Timer* t);
    // Re-arms a timer from now; called when its interval or enabled state changes.
    void armTimer(Timer* t);

private:
    bool runDue();
    void guarded(const std::function<void()>& f);
    std::int64_t nextTimerDue() const;

    struct Armed {
        Timer* timer;
        std::int64_t due;
        bool running;
    };
    Clock& clock_;
    std::deque<std::function<void()>> posted_;
    std::vector<Armed> timers_;
    std::function<void()> pump_;
    int pumpEveryMs_ = 1;
    std::function<void()> idleHook_;
    std::function<void(const std::exception&)> reporter_;
    int depth_ = 0;
    long idleLimit_ = 0;
};

}  // namespace vc
