#include "command_log.h"

#include <algorithm>

namespace vc::operatore {

namespace {

// How long a send nobody waits a reply for may wait its turn: longer than any run of exchanges
// the operator can start in one window.
constexpr std::int64_t BoundMs = 180'000;

const char* nameOf(CommandLog::Kind k) { return k == CommandLog::Kind::TimedOutput ? "timed output" : "keyboard unlock"; }

bool heardOn(int frameLoop, int loop) { return frameLoop == 0 || frameLoop == loop; }

// The command after the prefix, with '?' for any character.
bool like(const std::string& text, std::size_t from, const std::string& pattern) {
    if (text.size() != from + pattern.size()) return false;
    for (std::size_t i = 0; i < pattern.size(); ++i)
        if (pattern[i] != '?' && pattern[i] != text[from + i]) return false;
    return true;
}

bool isUnlock(const std::string& t) { return like(t, 8, "K1?000000?"); }
bool isTimedOutput(const std::string& t) { return like(t, 8, "O0?"); }
bool isPoll(const std::string& t) { return like(t, 8, "D"); }
bool isReset(const std::string& t) { return !t.empty() && t[0] == 'W'; }

}  // namespace

bool isGrant(const std::string& t) { return like(t, 8, "K1?000100?"); }

void CommandLog::ask(Kind kind, const Target& to) { asked_.push_back({kind, to, now()}); }

void CommandLog::outputsOff() {
    for (Asked& a : asked_)
        if (a.kind == Kind::TimedOutput) a.due = false;
}

void CommandLog::lineClosed() {
    for (Asked& a : asked_) a.due = false;
}

void CommandLog::restart() {
    asked_.clear();
    polled_.clear();
}

bool CommandLog::matches(const Asked& a, Kind kind, const Frame& f) {
    return a.kind == kind && heardOn(f.loop, a.to.loop) && f.text.compare(0, 8, a.to.prefix) == 0;
}

void CommandLog::frame(const Frame& f) {
    addressed(f);
    meant(f);
}

// The reader the frame is for exists on the loop the board selected.
void CommandLog::addressed(const Frame& f) {
    const auto all = targets();
    const bool reset = isReset(f.text);
    const bool found = std::any_of(all.begin(), all.end(), [&](const Target& t) {
        if (!heardOn(f.loop, t.loop)) return false;
        return reset ? f.text.compare(1, 2, t.prefix, 0, 2) == 0 : f.text.compare(0, t.prefix.size(), t.prefix) == 0;
    });
    if (!found)
        fault("\"" + f.text + "\" went out on loop " + std::to_string(f.loop) +
              ", where the station has no such reader");
}

// Some caller meant this command for this reader.
void CommandLog::meant(const Frame& f) {
    if (isReset(f.text) || f.text.size() < 8) return;
    const auto reader = std::make_pair(f.loop, f.text.substr(0, 8));
    if (isPoll(f.text)) {
        polled_[reader] = true;
        return;
    }
    if (isGrant(f.text)) {
        ++grants;
        if (!polled_[reader])
            fault("the grant \"" + f.text + "\" went out on loop " + std::to_string(f.loop) +
                  " to a reader not polled since its last grant");
        polled_[reader] = false;
        return;
    }
    const bool unlock = isUnlock(f.text);
    if (!unlock && !isTimedOutput(f.text)) return;
    const Kind kind = unlock ? Kind::Unlock : Kind::TimedOutput;
    ++(unlock ? unlocks : timedOutputs);
    const auto a = std::find_if(asked_.begin(), asked_.end(), [&](const Asked& x) { return matches(x, kind, f); });
    if (a == asked_.end()) {
        fault(std::string("the ") + nameOf(kind) + " \"" + f.text + "\" went out on loop " + std::to_string(f.loop) +
              " unasked, or once more than asked");
        return;
    }
    asked_.erase(a);
}

bool CommandLog::waiting() const {
    return std::any_of(asked_.begin(), asked_.end(), [](const Asked& a) { return a.due; });
}

void CommandLog::checkBound(bool atTheEnd) {
    for (const Asked& a : asked_)
        if (a.due && (atTheEnd || now() - a.at > BoundMs))
            return fault(std::string("the ") + nameOf(a.kind) + " for " + a.to.prefix + " on loop " +
                         std::to_string(a.to.loop) + " asked for " + std::to_string((now() - a.at) / 1000) +
                         " s ago never went out");
}

}  // namespace vc::operatore
