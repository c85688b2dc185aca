// reader_sim: simulated card readers on a pseudo-terminal. Point the station's serial port at the
// path printed on the first line (VARCANTO_COMn) and it polls these readers as real ones.

#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "reader_sim/reader_sim.h"

namespace {

using vc::sim::ReaderConfig;
using Behaviour = ReaderConfig::Behaviour;

constexpr const char* Usage = R"(usage: reader_sim [options]

Opens a pseudo-terminal, prints "PTY <slave path>" as its first line and answers the frames
written there as the readers below would. Runs until SIGTERM or SIGINT.

Each reader answers the poll (D), the outputs (K, O), the card memory (B stores a card, C
deletes it), the programming (W reset, after which it answers to plant code 000000 until A
sets its code; N options, T clock, P data positions, F bands), the card archive (L) and the
download of its stored transits (Q probe, S one transit at a time, E01 erase).

  --reader LOOP:ADDR:PLANT[:TYPE[:BEHAVIOUR]]
                      adds a reader (repeatable). TYPE defaults to "KOVA KV-M1"; BEHAVIOUR is
                      normal (default), silent, slow, wrong-checksum, garbage-first, status-c
                      or status-d
  --card LOOP:ADDR:DATA
                      queues a card read (the raw data after the reply header) at start
  --transit LOOP:ADDR:CARD,DD/MM,HH:MM
                      stores a transit of card CARD in the reader's memory, for the
                      download (repeatable)
  --demo SECONDS      presents a random demo card to a random reader every SECONDS on average
  --demo-card NUMBER4:PLANT6
                      a card for the demo (repeatable)
  --positions C1,C2,C3,C4:P1,P2,P3,P4,P5,P6
                      where the demo puts the card digits and the plant code in the card data,
                      counted from 0 = first character of the data;
                      default 1,2,3,4:5,6,7,8,9,10
  --wire-time         answers as on a real line at 4800 8N1: each reply comes once the request
                      and then the reply itself have had their time on the wire (10 bits a
                      byte), instead of 5 ms after the request
  --link PATH         also makes PATH a symbolic link to the slave
  --help              this text

On SIGUSR1, and once more when it stops, it prints "POLLS <total>" and then one line
"POLLS LOOP:ADDR <count>" per reader: the polls (D) each reader has answered so far.
)";

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct DemoCard {
    std::string number, plant;
};

struct Options {
    std::vector<ReaderConfig> readers;
    std::vector<std::string> cards;     // LOOP:ADDR:DATA, applied once the readers exist
    std::vector<std::string> transits;  // LOOP:ADDR:CARD,DD/MM,HH:MM, likewise
    std::optional<double> demoSeconds;
    std::vector<DemoCard> demoCards;
    std::array<int, 4> posCarta{1, 2, 3, 4};
    std::array<int, 6> posCodice{5, 6, 7, 8, 9, 10};
    std::string link;
    bool wireTimed = false;
};

std::vector<std::string> fields(std::string_view s, char sep, std::size_t maxFields) {
    std::vector<std::string> out;
    while (out.size() + 1 < maxFields) {
        const std::size_t at = s.find(sep);
        if (at == std::string_view::npos) break;
        out.emplace_back(s.substr(0, at));
        s.remove_prefix(at + 1);
    }
    out.emplace_back(s);
    return out;
}

int integer(const std::string& s, const char* what) {
    int v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc{} || end != s.data() + s.size()) throw UsageError(std::string("bad ") + what + ": " + s);
    return v;
}

Behaviour behaviour(const std::string& name) {
    static const std::vector<std::pair<std::string, Behaviour>> names{
        {"normal", Behaviour::Normal},
        {"silent", Behaviour::Silent},
        {"slow", Behaviour::Slow},
        {"wrong-checksum", Behaviour::WrongChecksum},
        {"garbage-first", Behaviour::GarbageFirst},
        {"status-c", Behaviour::StatusC},
        {"status-d", Behaviour::StatusD},
    };
    for (const auto& [n, b] : names)
        if (n == name) return b;
    throw UsageError("unknown behaviour: " + name);
}

ReaderConfig readerOption(const std::string& arg) {
    const auto f = fields(arg, ':', 5);
    if (f.size() < 3) throw UsageError("--reader wants LOOP:ADDR:PLANT[:TYPE[:BEHAVIOUR]]");
    ReaderConfig c;
    c.loop = integer(f[0], "loop");
    c.address = integer(f[1], "address");
    c.plantCode = integer(f[2], "plant code");
    if (f.size() > 3 && !f[3].empty()) c.type = f[3];
    if (f.size() > 4) c.behaviour = behaviour(f[4]);
    return c;
}

template <std::size_t N>
std::array<int, N> positionList(const std::string& s) {
    const auto f = fields(s, ',', N + 1);
    if (f.size() != N) throw UsageError("--positions wants 4 card and 6 plant-code positions");
    std::array<int, N> out{};
    for (std::size_t k = 0; k < N; ++k) {
        out[k] = integer(f[k], "position");
        if (out[k] < 0 || out[k] > 99) throw UsageError("positions run from 0 to 99");
    }
    return out;
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string opt = argv[i];
        if (opt == "--help") {
            std::fputs(Usage, stdout);
            std::exit(0);
        }
        if (opt == "--wire-time") {
            o.wireTimed = true;
            continue;
        }
        if (i + 1 >= argc) throw UsageError("unknown option or missing value: " + opt);
        const std::string arg = argv[++i];
        if (opt == "--reader") {
            o.readers.push_back(readerOption(arg));
        } else if (opt == "--card") {
            o.cards.push_back(arg);
        } else if (opt == "--transit") {
            o.transits.push_back(arg);
        } else if (opt == "--demo") {
            char* end = nullptr;
            o.demoSeconds = std::strtod(arg.c_str(), &end);
            if (*end != '\0' || !(*o.demoSeconds > 0)) throw UsageError("--demo wants a positive number of seconds");
        } else if (opt == "--demo-card") {
            const auto f = fields(arg, ':', 2);
            if (f.size() != 2) throw UsageError("--demo-card wants NUMBER4:PLANT6");
            o.demoCards.push_back({f[0], f[1]});
        } else if (opt == "--positions") {
            const auto f = fields(arg, ':', 2);
            if (f.size() != 2) throw UsageError("--positions wants C1,C2,C3,C4:P1,...,P6");
            o.posCarta = positionList<4>(f[0]);
            o.posCodice = positionList<6>(f[1]);
        } else if (opt == "--link") {
            o.link = arg;
        } else {
            throw UsageError("unknown option: " + opt);
        }
    }
    if (o.demoSeconds && (o.readers.empty() || o.demoCards.empty()))
        throw UsageError("--demo needs at least one --reader and one --demo-card");
    return o;
}

void queueCard(vc::sim::Simulator& sim, const std::string& arg) {
    const auto f = fields(arg, ':', 3);
    if (f.size() != 3) throw UsageError("--card wants LOOP:ADDR:DATA");
    sim.reader(integer(f[0], "loop"), integer(f[1], "address")).presentCard(f[2]);
}

struct Range {
    int low, high;
    bool holds(int v) const { return v >= low && v <= high; }
};

// Two numbers joined by sep ("DD/MM", "HH:MM"), each within its range.
std::pair<int, int> pairOf(const std::string& s, char sep, Range first, Range second, const char* what) {
    if (const auto f = fields(s, sep, 2); f.size() == 2) {
        const int a = integer(f[0], what), b = integer(f[1], what);
        if (first.holds(a) && second.holds(b)) return {a, b};
    }
    throw UsageError(std::string("bad ") + what + ": " + s);
}

void storeTransit(vc::sim::Simulator& sim, const std::string& arg) {
    const auto f = fields(arg, ':', 3);
    const auto t = f.size() == 3 ? fields(f[2], ',', 3) : std::vector<std::string>{};
    if (t.size() != 3) throw UsageError("--transit wants LOOP:ADDR:CARD,DD/MM,HH:MM");
    if (integer(t[0], "card") < 0 || t[0].size() > 4) throw UsageError("a card number has up to 4 digits: " + t[0]);
    const auto [day, month] = pairOf(t[1], '/', {1, 31}, {1, 12}, "date");
    const auto [hour, minute] = pairOf(t[2], ':', {0, 23}, {0, 59}, "time");
    sim.reader(integer(f[0], "loop"), integer(f[1], "address")).storeTransit({t[0], hour, minute, day, month});
}

void makeLink(const std::string& path, const std::string& target) {
    struct stat st{};
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) unlink(path.c_str());
    if (symlink(target.c_str(), path.c_str()) != 0) throw std::runtime_error("cannot create the link " + path);
}

volatile std::sig_atomic_t stopRequested = 0, countRequested = 0;
extern "C" void onSignal(int) { stopRequested = 1; }
extern "C" void onCount(int) { countRequested = 1; }

void printPolls(vc::sim::Simulator& sim) {
    std::int64_t total = 0;
    for (const vc::sim::Reader& r : sim.readers()) total += r.polls();
    std::printf("POLLS %lld\n", static_cast<long long>(total));
    for (const vc::sim::Reader& r : sim.readers())
        std::printf("POLLS %d:%d %lld\n", r.config().loop, r.config().address, static_cast<long long>(r.polls()));
    std::fflush(stdout);
}

// Card reads arrive as a Poisson process: exponential gaps with the requested mean.
class Demo {
public:
    Demo(const Options& o, vc::sim::Simulator& sim) : o_(o), sim_(sim), gap_(1.0 / (*o.demoSeconds * 1000.0)) {
        next_ = vc::sim::PtyServer::nowMs() + nextGap();
    }
    void tick(std::int64_t now) {
        if (now < next_) return;
        next_ = now + nextGap();
        auto& readers = sim_.readers();
        vc::sim::Reader& r = readers[pick(readers.size())];
        const DemoCard& c = o_.demoCards[pick(o_.demoCards.size())];
        const std::string data = vc::sim::cardData(c.number, c.plant, o_.posCarta, o_.posCodice);
        r.presentCard(data);
        std::printf("CARD %d:%d %s\n", r.config().loop, r.config().address, data.c_str());
        std::fflush(stdout);
    }

private:
    std::int64_t nextGap() { return static_cast<std::int64_t>(gap_(rng_)); }
    std::size_t pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }

    const Options& o_;
    vc::sim::Simulator& sim_;
    std::mt19937 rng_{std::random_device{}()};
    std::exponential_distribution<double> gap_;
    std::int64_t next_ = 0;
};

int run(const Options& o) {
    vc::sim::Simulator sim;
    sim.setWireTimed(o.wireTimed);
    for (const ReaderConfig& c : o.readers) sim.addReader(c);
    for (const std::string& card : o.cards) queueCard(sim, card);
    for (const std::string& transit : o.transits) storeTransit(sim, transit);

    vc::sim::PtyServer server(sim);
    if (!o.link.empty()) makeLink(o.link, server.slavePath());
    std::printf("PTY %s\n", server.slavePath().c_str());
    std::fflush(stdout);

    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    std::signal(SIGUSR1, onCount);
    std::optional<Demo> demo;
    if (o.demoSeconds) demo.emplace(o, sim);
    while (!stopRequested) {
        server.step(5);
        if (demo) demo->tick(vc::sim::PtyServer::nowMs());
        if (countRequested) {
            countRequested = 0;
            printPolls(sim);
        }
    }
    printPolls(sim);
    if (!o.link.empty()) unlink(o.link.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(parse(argc, argv));
    } catch (const UsageError& e) {
        std::fprintf(stderr, "reader_sim: %s\n%s", e.what(), Usage);
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "reader_sim: %s\n", e.what());
        return 1;
    }
}
