// An operator at random: clicks, typing, keys, title-bar closes, dialog answers and the passing of
// time, injected at the event loop's yields (as the front end's events arrive there) while
// simulated readers answer, dribble, stay silent or send garbage on the line. Each seed is one
// reproducible session on the fake clock. A session fails on an exception a handler lets out, a
// nested exchange on the line, a wait that does not end, a main window left hidden or disabled
// with no way back, or a database that fails its integrity check; the sanitizers add their own
// reports. A failure prints the seed and the last actions.
//
// VARCANTO_RANDOM_SEEDS (sessions), VARCANTO_RANDOM_ACTIONS (operator actions per session) and
// VARCANTO_RANDOM_FIRST_SEED size the run; VARCANTO_RANDOM_SEED replays one session and
// VARCANTO_RANDOM_JOURNAL says how many of its last actions a failure prints.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <exception>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "app/register_forms.h"
#include "common/site_folder.h"
#include "password/password_file.h"
#include "platform/database.h"
#include "platform/profile.h"
#include "reader_sim/reader_sim.h"
#include "support/fakes.h"

// Present only in a sanitized build: lets a sanitizer's report end with the session's journal.
extern "C" void __sanitizer_set_death_callback(void (*)(void)) __attribute__((weak));

namespace vc {
namespace {

long fromEnv(const char* name, long fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::strtol(v, nullptr, 10) : fallback;
}

// Text as the journal shows it: control characters escaped, long text cut.
std::string shown(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size() && i < 60; ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c >= 32 && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    if (s.size() > 60) out += "...(" + std::to_string(s.size()) + " bytes)";
    return "\"" + out + "\"";
}

// The last actions of the session running, kept for the failure report; also readable from a
// sanitizer's death callback, the terminate handler and the watchdog thread.
class Journal {
public:
    void begin(std::uint64_t seed) {
        std::lock_guard lock(mutex_);
        seed_ = seed;
        lines_.clear();
    }
    void add(std::string line) {
        std::lock_guard lock(mutex_);
        lines_.push_back(std::move(line));
        if (lines_.size() > keep_) lines_.pop_front();
    }
    std::string last() {
        std::lock_guard lock(mutex_);
        return std::to_string(seed_) + ": " + (lines_.empty() ? "" : lines_.back());
    }
    std::string dump() {
        std::unique_lock lock(mutex_, std::try_to_lock);
        std::ostringstream out;
        out << "random operator, seed " << seed_ << " (replay: VARCANTO_RANDOM_SEED=" << seed_
            << " and the same VARCANTO_RANDOM_ACTIONS); the last actions:\n";
        for (const auto& l : lines_) out << "  " << l << "\n";
        return out.str();
    }
    std::atomic<std::uint64_t> beats{0};  // rounds of the event loop, for the watchdog

private:
    std::mutex mutex_;
    std::uint64_t seed_ = 0;
    std::deque<std::string> lines_;
    const std::size_t keep_ = static_cast<std::size_t>(fromEnv("VARCANTO_RANDOM_JOURNAL", 80));
};

Journal& journal() {
    static Journal j;
    return j;
}

void printJournal() { std::fputs(journal().dump().c_str(), stderr); }

// Without a sanitizer, a crash still tells which session it was.
void onCrash(int signal) {
    printJournal();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// A handler that loops without ever yielding would hang the test silently: report it instead.
class Watchdog {
public:
    Watchdog()
        : thread_([this] {
              std::uint64_t last = journal().beats;
              int still = 0;
              while (!stop_) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(250));
                  const std::uint64_t now = journal().beats;
                  still = now == last ? still + 1 : 0;
                  last = now;
                  if (still == 4 * 120) {
                      std::fputs("a handler ran 120 s without yielding to the event loop\n", stderr);
                      printJournal();
                      std::abort();
                  }
              }
          }) {}
    ~Watchdog() {
        stop_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Thrown from the event loop's pump to end a failed session: not a std::exception, so no
// handler's error reporting takes it for a failed click.
struct Fine {};

// The multi-loop board: the loop it selects is the one the simulated readers hear on.
class SimBoard final : public PortIO {
public:
    explicit SimBoard(sim::Simulator& sim) : sim_(sim) {}
    void out(std::uint16_t, std::uint8_t v) override {
        if (v & 8) sim_.setLoop((v & 7) + 1);
        selected_ = true;
    }
    std::uint8_t in(std::uint16_t) override { return 0x60; }  // the transmitter is always empty
    // Before each frame: without the board's selection every reader is on one line.
    void frameSent() {
        if (!selected_) sim_.setLoop(0);
        selected_ = false;
    }

private:
    sim::Simulator& sim_;
    bool selected_ = false;
};

// The simulated readers on the serial line, and the check that exchanges never nest: each one
// flushes, writes, then reads at one depth of the event loop until its reply is whole. A write
// made deeper while a shallower exchange is still reading means two exchanges wait at once.
class SimLine final : public SerialLine {
public:
    SimLine(const Clock& clock, sim::Simulator& sim, SimBoard& board) : clock_(clock), sim_(sim), board_(board) {}
    void open(int port) override {
        if (port != 1) throw std::runtime_error("no such port");
        open_ = true;
        port_ = port;
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    int port() const override { return port_; }
    std::string readAvailable() override {
        watch(false);
        return sim_.take(clock_.monotonicMs());
    }
    void write(const std::string& bytes) override {
        watch(true);
        ++frames;
        board_.frameSent();
        sim_.receive(bytes, clock_.monotonicMs());
    }
    void reset() {
        open_ = false;
        written_.clear();
        mustWriteAt_ = -1;
    }

    std::function<int()> depth;
    std::function<void(const std::string&)> fault;
    long frames = 0;

private:
    struct Written {
        int depth;
        bool overtaken;  // a deeper write came while this exchange may still be reading
    };
    void watch(bool isWrite) {
        const int d = depth();
        if (mustWriteAt_ >= 0) {
            // Only a new exchange's flush may follow an overtaken one's reads at its depth.
            if (!(isWrite && d == mustWriteAt_))
                fault("nested exchange: an exchange was still waiting for its reply when another was written");
            mustWriteAt_ = -1;
        }
        if (isWrite) {
            std::erase_if(written_, [d](const Written& w) { return w.depth >= d; });
            for (auto& w : written_) w.overtaken = true;
            written_.push_back({d, false});
        } else {
            std::erase_if(written_, [d](const Written& w) { return w.depth > d; });
            if (!written_.empty() && written_.back().depth == d && written_.back().overtaken) mustWriteAt_ = d;
        }
    }

    const Clock& clock_;
    sim::Simulator& sim_;
    SimBoard& board_;
    bool open_ = false;
    int port_ = 0;
    std::vector<Written> written_;
    int mustWriteAt_ = -1;
};

class Session;

std::string nameOf(const Control& c) {
    return c.form().name() + "." + c.name() + (c.index() >= 0 ? "(" + std::to_string(c.index()) + ")" : "");
}

// Message and input boxes answered at random with one of their buttons.
class RandomDialogs final : public Dialogs {
public:
    explicit RandomDialogs(Session& s) : s_(s) {}
    int msgBox(const std::string& text, int style, const std::string& title) override;
    std::string inputBox(const std::string& prompt, const std::string& title, const std::string& initial) override;
    void beep() override {}
    void setBusyPointer(bool) override {}

private:
    Session& s_;
};

class Session {
public:
    Session(std::uint64_t seed, long actions) : rng_(seed), actionsWanted_(actions) {
        journal().begin(seed);
        line_.depth = [this] { return loop_ ? loop_->depth() : 0; };
        line_.fault = [this](const std::string& why) { fail(why); };
        prepareSite();
    }

    // Runs the session; returns what went wrong, or nothing.
    std::optional<std::string> run() {
        start();
        while (!fault_) {
            try {
                loop_->run([this] { return fault_ || (windingDown_ && settled()); });
                break;
            } catch (const ProgramEnd& end) {
                note("the program ended (code " + std::to_string(end.code) + "); started again on the same site");
                ++restarts_;
                stop();
                checkDatabases();
                if (!fault_) start();
            } catch (const Fine&) {
            } catch (const std::exception& e) {
                fail(std::string("exception out of the event loop: ") + e.what());
            }
        }
        stop();
        if (!fault_) checkDatabases();
        if (fault_) return *fault_ + "\n" + journal().dump();
        std::ostringstream summary;
        summary << actions_ << " actions, " << restarts_ << " restarts, " << line_.frames
                << " frames on the line, polling in " << pollingRounds_ * 100 / std::max(1L, rounds_)
                << "% of the rounds, yields " << deepest_ << " deep, windows:";
        for (const auto& w : windows_) summary << " " << w;
        note(summary.str());
        std::printf("seed %s\n", journal().last().c_str());
        return std::nullopt;
    }

    // ---- used by the dialogs ----
    void note(const std::string& line) {
        std::ostringstream out;
        out << "t=" << clock_.monotonicMs() / 1000.0 << "s d" << (loop_ ? loop_->depth() : 0) << " " << line;
        journal().add(out.str());
    }
    bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
    int below(int n) { return n <= 0 ? 0 : static_cast<int>(std::uniform_int_distribution<int>(0, n - 1)(rng_)); }
    template <class T>
    const T& pick(const std::vector<T>& v) {
        return v[static_cast<std::size_t>(below(static_cast<int>(v.size())))];
    }
    std::string text();
    void fail(const std::string& why) {
        if (!fault_) fault_ = why;
    }

private:
    void prepareSite();
    void start();
    void stop();
    void checkDatabases();
    void pump();
    bool settled();
    std::string screen();
    Form* target(bool windingDown);
    void act(bool windingDown);
    template <class C>
    std::vector<C*> operable(Form& f);
    void post(const Form& f, const std::string& what, std::function<void()> action);
    void timePasses(bool windingDown);
    void presentCard();

    test::TempDir site_;
    test::FakeClock clock_;
    sim::Simulator sim_;
    SimBoard board_{sim_};
    SimLine line_{clock_, sim_, board_};
    RandomDialogs dialogs_{*this};
    test::CapturingReports reports_;
    std::unique_ptr<EventLoop> loop_;
    std::unique_ptr<App> app_;
    std::vector<std::string> modals_;  // modal windows shown, innermost last
    // The actions still running (window, what), innermost last.
    std::vector<std::pair<std::string, std::string>> running_;
    // What each text box of a window held when the window first showed: values it accepts.
    std::map<std::string, std::map<std::string, std::string>> firstTexts_;

    std::mt19937_64 rng_;
    long actionsWanted_;
    long actions_ = 0;
    int restarts_ = 0, deepest_ = 0;
    long rounds_ = 0, pollingRounds_ = 0;
    std::set<std::string> windows_;  // those the operator acted on
    long windDownRounds_ = 0;
    bool windingDown_ = false;
    std::optional<std::string> fault_;
};

int RandomDialogs::msgBox(const std::string& text, int style, const std::string& title) {
    static const std::vector<std::vector<int>> answers = {
        {mb::OK}, {mb::OK, mb::Cancel}, {mb::Abort, mb::Retry, mb::Ignore}, {mb::Yes, mb::No, mb::Cancel},
        {mb::Yes, mb::No}, {mb::Retry, mb::Cancel}};
    const auto& choices = answers[static_cast<std::size_t>(std::min(mb::buttons(style), 5))];
    const int answer = s_.pick(choices);
    s_.note("  box [" + title + "] " + shown(text) + " -> " + std::to_string(answer));
    return answer;
}

std::string RandomDialogs::inputBox(const std::string& prompt, const std::string& title, const std::string&) {
    const std::string answer = s_.chance(0.3) ? "" : s_.text();
    s_.note("  input [" + title + "] " + shown(prompt) + " -> " + shown(answer));
    return answer;
}

// What an operator may type: numbers, times, quotes, NUL, other control characters, text in
// and out of code page 1252, and text far longer than any field.
std::string Session::text() {
    static const std::vector<std::string> pool = {
        "", "0", "1", "7", "0001", "0002", "0005", "9999", "12:30", "08:00", "##:##", "25:61", "-3", "3.5",
        "1e9", "99999999999999999999", "'", "''", "\"", "' OR '1'='1", "a'b\"c", "x' --", "Rossi", "Mario",
        "Turno", "PORTA1", "\xC3\xA8 \xC3\xA0 \xE2\x82\xAC", "\xE4\xB8\xAD", "\t", "\b", "\b\b\b\b", "\r", "12\r",
        std::string("a\0b", 3), std::string(1, '\0'), "%s%n", "\\", "[Impostazioni]", "=\r\n[x]", "Si", "No",
        "In", "Out", "InOut", "000123", "300H", "FFFF", "*", "?", "a/b", " "};
    const double r = std::uniform_real_distribution<double>(0, 1)(rng_);
    if (r < 0.65) return pick(pool);
    std::string t;
    if (r < 0.8) {
        for (int n = 1 + below(10); n > 0; --n) t += static_cast<char>('0' + below(10));
    } else if (r < 0.95) {
        for (int n = 1 + below(40); n > 0; --n) t += static_cast<char>(below(5) == 0 ? 1 + below(31) : 32 + below(95));
    } else {
        t.assign(static_cast<std::size_t>(200 + below(3000)), static_cast<char>('a' + below(26)));
    }
    return t;
}

void Session::prepareSite() {
    makeSiteFolder(VARCANTO_SITE_TEMPLATE, site_.path());
    const std::string ini = site_.file("Accessi.ini");
    auto setting = [&](const char* key, const std::string& value) {
        ASSERT_TRUE(profile::writeString("Impostazioni", key, value, ini));
    };
    setting("SchedaK-880", chance(0.5) ? "Si" : "No");
    setting("FasceOrarie", chance(0.5) ? "Si" : "No");
    setting("Imparziale", chance(0.3) ? "Si" : "No");
    setting("NumeroImparziale", "1");
    setting("FlagMassimoNumeroIngressi", chance(0.3) ? "Si" : "No");
    setting("MassimoNumeroIngressi", "2");
    if (chance(0.5)) {
        const auto valore = CodificaPassword("segreta");
        ASSERT_TRUE(valore);
        ASSERT_TRUE(profile::writeString(SezionePassword, ChiavePassword, *valore, site_.file("pswaccessi.txt")));
    }

    // Readers 1-5 at addresses 1-5 of loop 1, reader 6 at address 1 of loop 2: without the board
    // both readers at address 1 answer at once.
    auto db = Database::open(site_.file("Varcanto.mdb"));
    const std::vector<sim::ReaderConfig::Behaviour> behaviours = {
        sim::ReaderConfig::Behaviour::Normal,       sim::ReaderConfig::Behaviour::Normal,
        sim::ReaderConfig::Behaviour::Slow,         sim::ReaderConfig::Behaviour::Silent,
        sim::ReaderConfig::Behaviour::GarbageFirst, sim::ReaderConfig::Behaviour::WrongChecksum,
        sim::ReaderConfig::Behaviour::StatusC,      sim::ReaderConfig::Behaviour::StatusD};
    for (int n = 1; n <= 6; ++n) {
        const int loop = n == 6 ? 2 : 1, address = n == 6 ? 1 : n;
        db->execute("INSERT INTO Lettori (TipoLettore, SituatoPresso, CodiceImpianto, Ritardo, Stato, PosCarta1, "
                    "PosCarta2, PosCarta3, PosCarta4, PosCodice1, PosCodice2, PosCodice3, PosCodice4, PosCodice5, "
                    "PosCodice6, NumeroLoop, NumeroIndirizzo) VALUES ('KOVA KV-M1', 'PORTA" +
                    std::to_string(n) + "  ', '000123', 1, '" + pick(std::vector<std::string>{"In", "Out", "InOut"}) +
                    "', 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, " + std::to_string(loop) + ", " + std::to_string(address) + ")");
        sim::ReaderConfig c;
        c.loop = loop;
        c.address = address;
        c.plantCode = 123;
        c.behaviour = n == 1 ? sim::ReaderConfig::Behaviour::Normal : pick(behaviours);
        sim_.addReader(c);
    }
    db->execute("INSERT INTO Fasce (Nome, Lunedi, Martedi, Giovedi, Lun_1_da, Lun_1_a, Gio_1_da, Gio_1_a) "
                "VALUES ('Turno', 1, 1, 1, '08:00', '18:00', '09:00', '12:00')");
    db->execute("INSERT INTO Fasce (Nome, Domenica, Dom_1_da, Dom_1_a) VALUES ('Festivo', 1, '00:00', '23:59')");
    for (int n = 1; n <= 5; ++n)
        db->execute("INSERT INTO Carte (Cognome, Nome, NumeroCarta, AbilitaCarta, Flag_online, NomeFascia, Lettore, "
                    "Imparziale) VALUES ('Rossi" + std::to_string(n) + "', 'Mario', '000" + std::to_string(n) + "', " +
                    std::to_string(n % 4 != 0) + ", " + std::to_string(n % 2) + ", '" + (n % 3 ? "Turno" : "") +
                    "', '" + std::string(64, n == 5 ? '0' : '1') + "', " + std::to_string(n == 2) + ")");
    // Sometimes the session starts just before midnight.
    clock_.set(chance(0.2) ? DateTime{2026, 12, 10, 23, 58, 0} : DateTime{2026, 12, 10, 8 + below(10), below(60), 0});
}

void Session::start() {
    line_.reset();
    modals_.clear();
    running_.clear();
    loop_ = std::make_unique<EventLoop>(clock_);
    app_ = std::make_unique<App>(Services{clock_, *loop_, dialogs_, line_, board_, site_.path(), &reports_});
    registerForms(*app_);
    loop_->setErrorReporter([this](const std::exception& e) { fail(std::string("a handler threw: ") + e.what()); });
    app_->onFormLoaded = [this](Form& f) {
        firstTexts_.erase(f.name());
        f.setObserver([this](Form& form, Control* c) {
            if (c) return;
            std::erase(modals_, form.name());
            if (form.Visible() && form.modal()) modals_.push_back(form.name());
            if (form.Visible() && !firstTexts_.count(form.name())) {
                auto& texts = firstTexts_[form.name()];
                for (Control* k : form.controls())
                    if (auto* box = dynamic_cast<TextBox*>(k)) texts[nameOf(*box)] = box->Text();
            }
        });
    };
    loop_->setExternalPump([this] { pump(); });
    const bool polling = chance(0.8);
    loop_->post([this, polling] {
        Form& main = app_->form("FrmMain");
        main.Show();
        if (polling) static_cast<CommandButton*>(main.control("Command4"))->click();
    });
}

void Session::stop() {
    app_.reset();
    loop_.reset();
}

void Session::checkDatabases() {
    for (const char* name : {"Varcanto.mdb", "RepVarcanto.mdb"}) {
        try {
            const auto rows = Database::open(site_.file(name))->query("PRAGMA integrity_check");
            const std::string verdict = rows.empty() || rows[0].empty() ? "" : rows[0][0].second.str();
            if (verdict != "ok") fail(std::string(name) + " fails its integrity check: " + verdict);
        } catch (const std::exception& e) {
            fail(std::string(name) + " cannot be checked: " + e.what());
        }
    }
}

// Every round of the event loop, at any depth: maybe one operator action, as the front end's
// events would arrive there.
void Session::pump() {
    ++journal().beats;
    if (fault_) throw Fine{};
    const int depth = loop_->depth();
    deepest_ = std::max(deepest_, depth);
    ++rounds_;
    if (app_->PollingAttivo) ++pollingRounds_;
    if (windingDown_) {
        // Only closing and answering now: everything open must come to an end.
        if (++windDownRounds_ > 40000) {
            std::string why = "the main window stays hidden or disabled with no way back";
            if (!running_.empty()) {
                why = "a wait does not end; still running:";
                for (const auto& r : running_) why += " [" + r.second + "]";
            }
            fail(why + "\n" + screen());
            throw Fine{};
        }
        if (chance(0.3)) act(true);
        return;
    }
    // A real operator is slower than the yields of a deep stack of handlers.
    const double p = depth <= 1 ? 0.3 : std::max(0.01, 0.15 / (1 << std::min(depth - 2, 5)));
    if (!chance(p)) return;
    act(false);
    if (++actions_ >= actionsWanted_) {
        windingDown_ = true;
        note("winding down: closing what is open");
    }
}

bool Session::settled() {
    if (!app_->isLoaded("FrmMain")) return false;
    bool others = false;
    app_->forEachForm([&](Form& f) { others = others || (f.name() != "FrmMain" && f.Visible()); });
    Form& main = app_->form("FrmMain");
    return !others && main.Visible() && main.Enabled();
}

// The windows on the screen and what their controls show, for a report.
std::string Session::screen() {
    std::ostringstream out;
    app_->forEachForm([&](Form& f) {
        if (!f.Visible()) return;
        out << f.name() << (f.Enabled() ? "" : " (disabled)") << (f.modal() ? " (modal)" : "") << ":";
        for (Control* c : f.controls()) {
            const char* state = c->effectivelyEnabled() && c->effectivelyVisible() ? "" : "~";
            if (auto* t = dynamic_cast<TextBox*>(c))
                out << " " << state << c->name() << (c->index() >= 0 ? std::to_string(c->index()) : "") << "="
                    << shown(t->Text()) << (t->Locked() ? "L" : "");
            else if (auto* k = dynamic_cast<CheckBox*>(c))
                out << " " << state << c->name() << (c->index() >= 0 ? std::to_string(c->index()) : "") << "=" << k->Value();
        }
        out << "\n";
    });
    return out.str();
}

// The window the operator's input goes to: the innermost modal one when one is up (the others
// are blocked), otherwise any window on the screen.
Form* Session::target(bool windingDown) {
    for (auto it = modals_.rbegin(); it != modals_.rend(); ++it) {
        Form* modal = nullptr;
        app_->forEachForm([&](Form& f) {
            if (f.name() == *it && f.Visible() && f.modal()) modal = &f;
        });
        if (modal) return modal;
    }
    std::vector<Form*> visible;
    app_->forEachForm([&](Form& f) {
        if (f.Visible() && !(windingDown && f.name() == "FrmMain")) visible.push_back(&f);
    });
    return visible.empty() ? nullptr : pick(visible);
}

template <class C>
std::vector<C*> Session::operable(Form& f) {
    std::vector<C*> out;
    for (Control* c : f.controls())
        if (auto* x = dynamic_cast<C*>(c); x && x->effectivelyEnabled() && x->effectivelyVisible()) out.push_back(x);
    return out;
}

// The front end posts what the operator did; it runs in this round of the loop.
void Session::post(const Form& f, const std::string& what, std::function<void()> action) {
    note(what);
    windows_.insert(f.name());

    loop_->post([this, name = f.name(), what, action = std::move(action)] {
        if (fault_) return;
        running_.emplace_back(name, what);
        struct Done {
            std::vector<std::pair<std::string, std::string>>& r;
            ~Done() { r.pop_back(); }
        } done{running_};
        action();
    });
}

void Session::act(bool windingDown) {
    // Kinds of action with their weights, acting and winding down.
    enum Kind { Time, Card, Close, Key, Type, Choose, Click };
    static const int weights[2][7] = {{8, 4, 6, 4, 16, 6, 56}, {5, 0, 35, 0, 25, 5, 30}};
    int r = below(100);
    int kind = 0;
    while (r >= weights[windingDown][kind]) r -= weights[windingDown][kind++];
    Form* f = target(windingDown);
    if (!f || kind == Time) return timePasses(windingDown);
    if (kind == Card) return presentCard();
    const bool isMain = f->name() == "FrmMain";
    if (kind == Close) {
        // Leaving the program is rare, so the rest of a session is not always a fresh start.
        if (isMain && !chance(0.1)) return timePasses(false);
        return post(*f, "close " + f->name(), [f] { f->close(); });
    }
    if (kind == Key) {
        const bool f1 = chance(0.5);
        return post(*f, std::string(f1 ? "F1" : "key A") + " on " + f->name(), [f, f1] {
            if (f1)
                f->keyDown(key::F1, 0);
            else
                f->keyPress('A');
        });
    }
    if (kind == Type) {
        auto boxes = operable<TextBox>(*f);
        if (boxes.empty()) return timePasses(windingDown);
        TextBox* box = pick(boxes);
        // Winding down, the operator mends what a window refuses to close with: the box gets
        // back what it showed at first.
        std::string t = windingDown ? firstTexts_[f->name()][nameOf(*box)] : text();
        if (f->name() == "FrmChkPassw" && chance(0.6)) t = app_->PasswordCorrente + "\r";
        const int how = below(4);
        if (how == 0) return post(*f, "leave " + nameOf(*box), [box] { box->leave(); });
        if (how == 1 || windingDown) return post(*f, "retype " + nameOf(*box) + " " + shown(t), [box, t] { box->retype(t); });
        return post(*f, "type " + nameOf(*box) + " " + shown(t), [box, t] { box->type(t); });
    }
    if (kind == Choose) {
        auto combos = operable<ComboBox>(*f);
        auto tabs = operable<TabControl>(*f);
        if (!combos.empty() && (tabs.empty() || chance(0.7))) {
            ComboBox* c = pick(combos);
            const int i = below(c->ListCount() + 1) - 1;
            return post(*f, "choose " + std::to_string(i) + " in " + nameOf(*c), [c, i] { c->choose(i); });
        }
        if (!tabs.empty()) {
            TabControl* t = pick(tabs);
            const int i = below(static_cast<int>(t->TabCaptions.size()));
            return post(*f, "tab " + std::to_string(i) + " of " + nameOf(*t), [t, i] { t->choose(i); });
        }
        return timePasses(windingDown);
    }
    // Back at the main window, the operator mostly wants the readers polled again.
    if (isMain && !app_->PollingAttivo && chance(0.3)) {
        CommandButton* polling = static_cast<CommandButton*>(f->control("Command4"));
        return post(*f, "click " + nameOf(*polling), [polling] { polling->click(); });
    }
    std::vector<Control*> clickable;
    for (auto* b : operable<CommandButton>(*f))
        if (!(isMain && b->name() == "Command5") || chance(0.1)) clickable.push_back(b);
    for (auto* c : operable<CheckBox>(*f)) clickable.push_back(c);
    for (auto* o : operable<OptionButton>(*f)) clickable.push_back(o);
    if (clickable.empty()) return timePasses(windingDown);
    Control* c = pick(clickable);
    post(*f, "click " + nameOf(*c), [c] {
        if (auto* b = dynamic_cast<CommandButton*>(c)) b->click();
        if (auto* k = dynamic_cast<CheckBox*>(c)) k->click();
        if (auto* o = dynamic_cast<OptionButton*>(c)) o->click();
    });
}

// Time goes by: the timers come due (a poll, the timed outputs, the minute tick) and waits end.
void Session::timePasses(bool windingDown) {
    const int r = below(100);
    const int ms = windingDown || r < 60 ? 10 + below(200) : r < 95 ? 1000 + below(11000) : 60000 + below(60000);
    note("time passes " + std::to_string(ms) + " ms");
    clock_.advance(ms);
}

// A card at a reader: one of the site's, an unknown one, or one of another plant.
void Session::presentCard() {
    auto& readers = sim_.readers();
    sim::Reader& r = readers[static_cast<std::size_t>(below(static_cast<int>(readers.size())))];
    const std::string numero = pick(std::vector<std::string>{"0001", "0002", "0003", "0004", "0005", "0777"});
    const std::string impianto = chance(0.9) ? "000123" : "000999";
    note("card " + numero + "/" + impianto + " at the reader of loop " + std::to_string(r.config().loop) +
         ", address " + std::to_string(r.config().address));
    r.presentCard(sim::cardData(numero, impianto, {0, 1, 2, 3}, {4, 5, 6, 7, 8, 9}));
}

constexpr int kShards = 8;

class RandomOperator : public ::testing::TestWithParam<int> {};

TEST_P(RandomOperator, SessionsStaySound) {
    static Watchdog watchdog;
    if (__sanitizer_set_death_callback) {
        __sanitizer_set_death_callback(printJournal);
    } else {
        for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL}) std::signal(signal, onCrash);
    }
    std::set_terminate([] {
        std::fputs("terminate called\n", stderr);
        printJournal();
        std::abort();
    });

    const long actions = fromEnv("VARCANTO_RANDOM_ACTIONS", 5000);
    std::vector<std::uint64_t> seeds;
    if (const long one = fromEnv("VARCANTO_RANDOM_SEED", 0)) {
        if (GetParam() == 0) seeds.push_back(static_cast<std::uint64_t>(one));
    } else {
        const long first = fromEnv("VARCANTO_RANDOM_FIRST_SEED", 1), count = fromEnv("VARCANTO_RANDOM_SEEDS", 32);
        for (long s = first + GetParam(); s < first + count; s += kShards) seeds.push_back(static_cast<std::uint64_t>(s));
    }
    int failures = 0;
    for (const auto seed : seeds) {
        Session session(seed, actions);
        if (const auto fault = session.run()) {
            ADD_FAILURE() << *fault;
            if (++failures == 3) break;  // enough to go on with
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomOperator, ::testing::Range(0, kShards));

}  // namespace
}  // namespace vc
