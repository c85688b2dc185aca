#pragma once
// The one user-interface thread's event loop. Everything runs in handlers called from here:
// posted input (the front end's clicks and keys, or a test's script) and due timer ticks.
// doEvents() is re-entrant, as the windows expect from their long waits; a timer whose handler
// is still running is not ticked again until it returns.
//
// Yields. A call yields when other handlers may run before it returns; whatever its caller holds
// across it (a recordset's position or pending edit, a reference into a shared table such as
// App::Lettori, a window's state) may be changed, replaced or freed by them meanwhile.
//
// These calls yield:
// - EventLoop::doEvents, yieldUntil, runUntil and run; every other yield passes through doEvents;
// - modal waits: Form::ShowModal, App::MsgBox and App::InputBox (a box waits on
//   the operator for as long as it takes, so it counts as a yield whatever the front end runs);
// - every exchange with a reader: invia_comando, invia_comando_veloce, invia_comando_medio, and
//   QuandoLineaLibera, which may run its send at once;
// - every routine that calls one of them, directly or not: the poll of a reader and its decision,
//   the record of a refusal, the random check's draws, the reading of the settings file with a
//   progress callback, the windows' walks that call doEvents at each record, their uploads and
//   downloads.
// These never yield: the database (Database, Recordset, DataControl, Transaction), the clock
// (Clock::sleep blocks without running anything), post(), waitForWork(), timers' settings, the
// controls' properties and the site's files.
//
// So: what is used after a yield is held, not referred to. A recordset is kept in a HeldRecordset
// (data_control.h), a reader's record is copied; a plain Recordset& or a reference into a shared
// table lives only where nothing yields before its last use. A scope that must not yield at all
// says so with a NoYield, which fails the program when it does (see NoYield below).

#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <vector>

#include "platform/clock.h"

namespace vc {

class Timer;

// Marks the scope of a handler that must not yield (a write half done, a table being refilled,
// a transaction open): a yield inside it stops the program with this reason and those of the
// scopes around it. The check is built in the debug and test builds (NDEBUG not defined, or
// VARCANTO_YIELD_CHECKS); elsewhere NoYield costs nothing.
class NoYield {
public:
#if !defined(NDEBUG) || defined(VARCANTO_YIELD_CHECKS)
    static constexpr bool checked = true;
    explicit NoYield(const char* reason) noexcept;
    ~NoYield();
    // Called at every yield: aborts with the reasons when a marked scope is open.
    static void check() noexcept;
#else
    static constexpr bool checked = false;
    explicit NoYield(const char*) noexcept {}
    static void check() noexcept {}
#endif
    NoYield(const NoYield&) = delete;
    NoYield& operator=(const NoYield&) = delete;

private:
#if !defined(NDEBUG) || defined(VARCANTO_YIELD_CHECKS)
    const char* reason_;
    NoYield* outer_;
#endif
};

class EventLoop {
public:
    explicit EventLoop(Clock& clock) : clock_(clock) {}

    // Runs the front end's pending events, then the posted actions and due timers once. Fails
    // inside a NoYield scope.
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
