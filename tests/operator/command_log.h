#pragma once
// Who asked the station for which command, and what went out on the line. Every frame must go to
// a reader that exists on the loop the board selected for it, and be a command some caller meant
// for that reader: a grant follows a poll of the same reader; a timed output or a keyboard unlock
// (sends nobody waits a reply for) was asked for, goes out within a bound, and only once.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "sim_line.h"

namespace vc::operatore {

// A reader the station may address: its loop and its prefix (2-digit address, 6-digit plant code).
struct Target {
    int loop;
    std::string prefix;
};

// A poll's grant: the door opens.
bool isGrant(const std::string& text);

class CommandLog {
public:
    // The sends nobody waits a reply for.
    enum class Kind { TimedOutput, Unlock };

    std::function<void(const std::string&)> fault;
    std::function<std::vector<Target>()> targets;  // the readers the station may address now
    std::function<std::int64_t()> now;             // the station's own time, without the operator's pauses

    // A caller asked for a send of this kind to this reader.
    void ask(Kind kind, const Target& to);
    // The timed outputs went off: what they asked for and has not gone out need not (a tick
    // under way still sends to its last reader).
    void outputsOff();
    // The line closed: nothing asked for is still due.
    void lineClosed();
    // The station started again.
    void restart();
    // Every frame the station writes.
    void frame(const Frame& f);
    // Fails for a send asked for and still not out after the bound (at the end: still not out).
    void checkBound(bool atTheEnd);
    // A send asked for is still due.
    bool waiting() const;

    long timedOutputs = 0, unlocks = 0, grants = 0;

private:
    struct Asked {
        Kind kind;
        Target to;
        std::int64_t at;
        bool due = true;  // false: it may still go out, once, but need not
    };
    static bool matches(const Asked& a, Kind kind, const Frame& f);
    void addressed(const Frame& f);
    void meant(const Frame& f);

    std::vector<Asked> asked_;
    std::map<std::pair<int, std::string>, bool> polled_;  // (loop, prefix) -> polled since its last grant
};

}  // namespace vc::operatore
