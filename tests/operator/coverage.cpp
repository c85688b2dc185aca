#include "coverage.h"

#include <fstream>
#include <sstream>

namespace vc::operatore {

namespace {

// The deep states every run must reach. A download that stores records needs every chosen
// reader to answer after all the operator did to them, which 32 sessions do not always bring
// about: it is reported, not required.
const char* const States[] = {"archive-reader-polled", "timed-outputs-sent", "transmitter-wait-yielded",
                              "bands-enabled", "random-check-drawn", "grants-acknowledged", "keyboard-unlocks-sent"};

}  // namespace

void Reached::add(const Reached& o) {
    windows.insert(o.windows.begin(), o.windows.end());
    buttons.insert(o.buttons.begin(), o.buttons.end());
    acted.insert(o.acted.begin(), o.acted.end());
    for (const auto& [state, n] : o.states) states[state] += n;
}

std::vector<std::string> Reached::missing() const {
    std::vector<std::string> out;
    for (const auto& w : windows)
        if (!acted.count(w)) out.push_back("window " + w + " never acted on");
    for (const auto& b : buttons)
        if (!acted.count(b)) out.push_back("button " + b + " never clicked while it could be");
    for (const char* s : States)
        if (!states.count(s) || states.at(s) == 0) out.push_back(std::string("state ") + s + " never reached");
    return out;
}

std::string shardFile(const std::string& dir, int shard) { return dir + "/shard" + std::to_string(shard) + ".txt"; }

bool write(const std::string& file, const Reached& r) {
    std::ofstream f(file, std::ios::trunc);
    f << "run " << r.run << "\n";
    for (const auto& w : r.windows) f << "window " << w << "\n";
    for (const auto& b : r.buttons) f << "button " << b << "\n";
    for (const auto& a : r.acted) f << "acted " << a << "\n";
    for (const auto& [state, n] : r.states) f << "state " << state << " " << n << "\n";
    return static_cast<bool>(f.flush());
}

std::optional<Reached> read(const std::string& file) {
    std::ifstream f(file);
    if (!f) return std::nullopt;
    Reached r;
    for (std::string line; std::getline(f, line);) {
        const auto space = line.find(' ');
        const std::string kind = line.substr(0, space), rest = space == std::string::npos ? "" : line.substr(space + 1);
        if (kind == "run") r.run = rest;
        if (kind == "window") r.windows.insert(rest);
        if (kind == "button") r.buttons.insert(rest);
        if (kind == "acted") r.acted.insert(rest);
        if (kind == "state") {
            std::istringstream in(rest);
            std::string state;
            long n = 0;
            in >> state >> n;
            r.states[state] += n;
        }
    }
    return r;
}

}  // namespace vc::operatore
