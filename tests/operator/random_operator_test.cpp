// An operator at random: clicks, typing, keys, title-bar closes, dialog answers and the passing of
// time, injected at the event loop's yields (as the front end's events arrive there) while
// simulated readers answer, dribble, stay silent or send garbage on the line. Each seed is one
// reproducible session on the fake clock. A session fails on an exception a handler lets out, a
// nested exchange on the line, a frame to a reader not on the selected loop or not meant for it,
// a send asked for and dropped or doubled (command_log.h), a window's handler entered while
// another of its own runs, two administration windows open or one beside a usable main window
// (window_watch.h), a random check that marks more cards than it draws, a wait that does not end,
// a main window left hidden or disabled with no way back, or a database that fails its integrity
// check or its invariants; the sanitizers add their own reports. A failure prints the seed and
// the last actions.
//
// VARCANTO_RANDOM_SEEDS (sessions), VARCANTO_RANDOM_ACTIONS (operator actions per session) and
// VARCANTO_RANDOM_FIRST_SEED size the run; VARCANTO_RANDOM_SEED replays one session and
// VARCANTO_RANDOM_JOURNAL says how many of its last actions a failure prints. With
// VARCANTO_RANDOM_COVERAGE naming a folder, each shard writes there what its sessions reached;
// with VARCANTO_RANDOM_COVERAGE_CHECK naming it, RandomOperatorCoverage fails for what none of
// them reached (coverage.h). CI runs it after the shards.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <exception>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "app/register_forms.h"
#include "command_log.h"
#include "common/site_folder.h"
#include "common/text.h"
#include "common/val.h"
#include "core/link/reader_link.h"
#include "coverage.h"
#include "password/password_file.h"
#include "platform/database.h"
#include "platform/profile.h"
#include "reader_sim/reader_sim.h"
#include "sim_line.h"
#include "support/fakes.h"
#include "window_watch.h"

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

using operatore::CommandLog;
using operatore::Frame;
using operatore::SimBoard;
using operatore::SimLine;
using operatore::Target;

class Session;

std::string controlName(const Control& c) {
    return c.name() + (c.index() >= 0 ? "(" + std::to_string(c.index()) + ")" : "");
}
std::string nameOf(const Control& c) { return c.form().name() + "." + controlName(c); }

bool usable(const Control& c) { return c.effectivelyEnabled() && c.effectivelyVisible(); }

const char* const PromptSblocco = "Inserire il numero del lettore da sbloccare";

// Windows whose title-bar close is the click of one of their buttons, which may be off.
const std::map<std::string, std::string> CloseIsAButton = {
    {"FrmCardsAbil", "Command7"}, {"FrmConfLettori", "Command7"}, {"FrmUtilTessaro", "Command3"}};

std::string hhmm(int minutes) { return Pad(minutes / 60, 2) + ":" + Pad(minutes % 60, 2); }

// A card's code at an archive-type reader: what its archive file lists it by.
std::string archiveCode(const std::string& numero) { return "KP" + numero; }

// The next time of day at 'minutes' after midnight, today or tomorrow.
DateTime nextAt(const DateTime& now, int minutes) {
    std::tm t{};
    t.tm_year = now.year - 1900;
    t.tm_mon = now.month - 1;
    t.tm_mday = now.day + (now.hour * 60 + now.minute >= minutes ? 1 : 0);
    t.tm_hour = minutes / 60;
    t.tm_min = minutes % 60;
    const std::time_t at = timegm(&t);
    std::tm o{};
    gmtime_r(&at, &o);
    return DateTime{o.tm_year + 1900, o.tm_mon + 1, o.tm_mday, o.tm_hour, o.tm_min, 0};
}

std::int64_t count(Database& db, const std::string& sql) { return db.query(sql).at(0).at(0).second.toInt(); }

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
        line_.onFrame = [this](const Frame& f) { heard(f); };
        line_.onRead = [this](const std::string& bytes) { replies_ += bytes, lastRead_ = bytes.size(); };
        line_.busyReads = [this] { return chance(0.3) ? 1 + below(3) : 0; };
        log_.fault = windows_.fault = [this](const std::string& why) { fail(why); };
        log_.targets = [this] { return targets(); };
        log_.now = [this] { return clock_.monotonicMs() - paused_; };
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
        if (!fault_) log_.checkBound(true);
        if (!fault_) checkDatabases();
        if (fault_) return *fault_ + "\n" + journal().dump();
        note(summary());
        std::printf("seed %s\n", journal().last().c_str());
        if (fromEnv("VARCANTO_RANDOM_SEED", 0)) printJournal();  // a replay shows its actions
        return std::nullopt;
    }

    // What this session reached.
    const operatore::Reached& reached() {
        reached_.states = states();
        return reached_;
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
    // The answer to the unlock's question: a reader's number, one out of range, or nothing. A
    // number in range asks for that reader's unlock.
    std::string unlockAnswer() {
        const int n = app_->NumeroLettori;
        const int k = below(n + 3) - 1;
        if (k >= 1 && k <= n) askUnlock(k - 1);
        return k < 0 ? "" : std::to_string(k);
    }
    void fail(const std::string& why) {
        if (!fault_) fault_ = why;
    }

private:
    void prepareSite();
    void prepareReaders(Database& db, const std::function<void(const char*, const std::string&)>& setting);
    void start();
    void stop();
    void loaded(Form& f);
    void checkStart();
    void checkDraw();
    void checkDatabases();
    void pump();
    bool settled();
    std::string screen();
    std::string summary();
    std::map<std::string, long> states() const;
    Form* target(bool windingDown);
    void act(bool windingDown);
    template <class C>
    std::vector<C*> operable(Form& f);
    void post(const Form& f, const std::string& what, const std::string& control, std::function<bool()> enters,
              std::function<void()> action);
    void timePasses(bool windingDown);
    void presentCard();
    std::vector<Target> targets();
    void askUnlock(int reader);
    void heard(const Frame& f);
    void replyEnds(bool flushed);

    test::TempDir site_;
    test::FakeClock clock_;
    sim::Simulator sim_;
    SimBoard board_{sim_};
    SimLine line_{clock_, sim_, board_};
    CommandLog log_;
    operatore::WindowWatch windows_;
    operatore::Reached reached_;
    RandomDialogs dialogs_{*this};
    test::CapturingReports reports_;
    std::unique_ptr<EventLoop> loop_;
    std::unique_ptr<App> app_;
    std::vector<std::string> modals_;  // modal windows shown, innermost last
    // What each text box of a window held when the window first showed: values it accepts.
    std::map<std::string, std::map<std::string, std::string>> firstTexts_;

    std::mt19937_64 rng_;
    long actionsWanted_;
    long actions_ = 0;
    int restarts_ = 0, deepest_ = 0;
    long rounds_ = 0, pollingRounds_ = 0;
    std::int64_t paused_ = 0;  // the time the operator let pass, not the station's own waits

    // The site: what this session's readers and settings hold.
    bool dateTxt_ = false;     // a timed-outputs file whose last line always applies
    bool dailyCheck_ = false;  // the random check runs daily at checkAt_
    int checkAt_ = 0;          // minutes after midnight
    std::string archivePrefix_;

    // The reply to the last frame, as the station read it; grants the readers acknowledged.
    std::string lastFrame_, replies_;
    std::size_t lastRead_ = 0;
    long acknowledged_ = 0, archivePolls_ = 0, draws_ = 0, stored_ = 0, bands_ = 0;
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
    const std::string answer = prompt == PromptSblocco ? s_.unlockAnswer() : s_.chance(0.3) ? "" : s_.text();
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
    // The stand-alone bands, in use and set, let the cards window offer them.
    const bool bands = chance(0.5);
    setting("FasceOrarie", bands ? "Si" : "No");
    const char* hours[][2] = {{"08:00", "12:00"}, {"13:00", "18:00"}, {"20:00", "22:00"}};
    for (int k = 0; bands && k < 3; ++k) {
        setting(("OrarioIniziale" + std::to_string(k + 1)).c_str(), hours[k][0]);
        setting(("OrarioFinale" + std::to_string(k + 1)).c_str(), hours[k][1]);
    }
    const bool imparziale = chance(0.4);
    setting("Imparziale", imparziale ? "Si" : "No");
    setting("NumeroImparziale", "1");
    dailyCheck_ = imparziale && chance(0.7);
    checkAt_ = 8 * 60 + below(12 * 60);
    setting("ScattareAdOrario", dailyCheck_ ? "Si" : "No");
    setting("OraImparziale", hhmm(checkAt_));
    setting("FlagMassimoNumeroIngressi", chance(0.3) ? "Si" : "No");
    setting("MassimoNumeroIngressi", "2");
    if (chance(0.5)) {
        const auto valore = CodificaPassword("segreta");
        ASSERT_TRUE(valore);
        ASSERT_TRUE(profile::writeString(SezionePassword, ChiavePassword, *valore, site_.file("pswaccessi.txt")));
    }
    // The timed outputs: the first lines never apply, the last one always does.
    dateTxt_ = chance(0.8);
    if (dateTxt_) {
        auto at = [](std::string line, std::size_t column, const std::string& text) {
            line.resize(std::max(line.size(), column - 1), ' ');
            return line + text;
        };
        const int from = below(24 * 60), to = std::min(24 * 60 - 1, from + below(6 * 60));
        std::ofstream(site_.file("Date.txt"), std::ios::binary)
            << at(at(at("Data 01/01", 25, "00:00"), 36, "23:59"), 42, " ") << "\r\n"
            << at(at("Domenica", 17, "00:00"), 28, "23:59") << "\r\n"
            << at(at(at("Orario", 17, hhmm(from)), 28, hhmm(to)), 34, "X") << "\r\n";
    }

    auto db = Database::open(site_.file("Varcanto.mdb"));
    prepareReaders(*db, setting);
    db->execute("INSERT INTO Fasce (Nome, Lunedi, Martedi, Giovedi, Lun_1_da, Lun_1_a, Gio_1_da, Gio_1_a) "
                "VALUES ('Turno', 1, 1, 1, '08:00', '18:00', '09:00', '12:00')");
    db->execute("INSERT INTO Fasce (Nome, Domenica, Dom_1_da, Dom_1_a) VALUES ('Festivo', 1, '00:00', '23:59')");
    for (int n = 1; n <= 5; ++n)
        db->execute("INSERT INTO Carte (Cognome, Nome, NumeroCarta, AbilitaCarta, Flag_online, NomeFascia, Lettore, "
                    "Imparziale) VALUES ('Rossi" + std::to_string(n) + "', 'Mario', '000" + std::to_string(n) + "', " +
                    std::to_string(n % 4 != 0) + ", " + std::to_string(n % 2) + ", '" + (n % 3 ? "Turno" : "") +
                    "', '" + std::string(64, n == 5 ? '0' : '1') + "', " + std::to_string(n == 2) + ")");
    // Cards off-line, so that the random check draws many times before it finds its card.
    for (int n = 6; n <= 25; ++n)
        db->execute("INSERT INTO Carte (Cognome, NumeroCarta, AbilitaCarta, Flag_online, NomeFascia) VALUES ('Bianchi" +
                    std::to_string(n) + "', '" + Pad(n + 100, 4) + "', 1, 0, 'Turno')");
    // Every grant written to the transit log, kept where the history window's deletion does not reach.
    db->execute("CREATE TABLE prova_passaggi (Passaggio INTEGER);"
                "CREATE TRIGGER prova_passaggi_registra AFTER INSERT ON transiti BEGIN "
                "INSERT INTO prova_passaggi VALUES (NEW.Passaggio); END");
    // Sometimes the session starts just before midnight.
    clock_.set(chance(0.2) ? DateTime{2026, 12, 10, 23, 58, 0} : DateTime{2026, 12, 10, 8 + below(10), below(60), 0});
}

// Readers 1-5 at addresses 1-5 of loop 1, reader 6 at address 1 of loop 2, each with its own
// plant code: without the board both readers at address 1 hear each frame, and only the plant
// code tells them apart. One of them is sometimes of the archive type, whose cards are looked up
// in the card archive. Each keeps a few transits it allowed while stand-alone, for the download.
void Session::prepareReaders(Database& db, const std::function<void(const char*, const std::string&)>& setting) {
    const std::vector<sim::ReaderConfig::Behaviour> behaviours = {
        sim::ReaderConfig::Behaviour::Normal,       sim::ReaderConfig::Behaviour::Normal,
        sim::ReaderConfig::Behaviour::Slow,         sim::ReaderConfig::Behaviour::Silent,
        sim::ReaderConfig::Behaviour::GarbageFirst, sim::ReaderConfig::Behaviour::WrongChecksum,
        sim::ReaderConfig::Behaviour::StatusC,      sim::ReaderConfig::Behaviour::StatusD};
    const int archive = chance(0.5) ? (chance(0.5) ? 1 : 2 + below(4)) : 0;
    // Some days every reader answers, so that runs over all of them (a download) go through.
    const bool allWell = chance(0.5);
    if (archive) {
        setting("FileTessaro", "archivio");
        std::ofstream f(site_.file("archivio.txt"), std::ios::binary);
        for (int n = 1; n <= 4; ++n) f << "\"" << Pad(n, 3) << archiveCode(Pad(n, 4)) << "\"\r\n";
    }
    for (int n = 1; n <= 6; ++n) {
        const int loop = n == 6 ? 2 : 1, address = n == 6 ? 1 : n, plant = 123 + (n - 1) * 111;
        const std::string type = n == archive ? "KOVA KV-P" : "KOVA KV-M1";
        db.execute("INSERT INTO Lettori (TipoLettore, SituatoPresso, CodiceImpianto, Ritardo, Stato, PosCarta1, "
                   "PosCarta2, PosCarta3, PosCarta4, PosCodice1, PosCodice2, PosCodice3, PosCodice4, PosCodice5, "
                   "PosCodice6, NumeroLoop, NumeroIndirizzo) VALUES ('" + type + "', 'PORTA" + std::to_string(n) +
                   "  ', '" + Pad(plant, 6) + "', 1, '" + pick(std::vector<std::string>{"In", "Out", "InOut"}) +
                   "', 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, " + std::to_string(loop) + ", " + std::to_string(address) + ")");
        sim::ReaderConfig c;
        c.loop = loop;
        c.address = address;
        c.plantCode = plant;
        c.type = type;
        c.behaviour = n == 1 || n == archive || allWell ? sim::ReaderConfig::Behaviour::Normal : pick(behaviours);
        sim::Reader& r = sim_.addReader(c);
        if (n == archive) archivePrefix_ = r.prefix();
        for (int k = 1 + below(3); k > 0; --k)
            r.storeTransit({pick(std::vector<std::string>{"0001", "0003", "0777"}), below(24), below(60), 1 + below(28),
                            1 + below(12)});
    }
}

void Session::start() {
    line_.reset();
    board_.reset();
    log_.restart();
    windows_.restart();
    lastFrame_.clear();
    modals_.clear();
    loop_ = std::make_unique<EventLoop>(clock_);
    app_ = std::make_unique<App>(Services{clock_, *loop_, dialogs_, line_, board_, site_.path(), &reports_});
    registerForms(*app_);
    for (const auto& name : app_->registeredForms()) reached_.windows.insert(name);
    loop_->setErrorReporter([this](const std::exception& e) { fail(std::string("a handler threw: ") + e.what()); });
    app_->onFormLoaded = [this](Form& f) { loaded(f); };
    loop_->setExternalPump([this] { pump(); });
    const bool polling = chance(0.8);
    loop_->post([this, polling] {
        Form& main = app_->form("FrmMain");
        checkStart();
        main.Show();
        if (polling) static_cast<CommandButton*>(main.control("Command4"))->click();
    });
}

void Session::stop() {
    replyEnds(false);
    app_.reset();
    loop_.reset();
}

// Each window as it loads: its changes are observed, and the main window's timers watched, so
// that what they ask for is known.
void Session::loaded(Form& f) {
    firstTexts_.erase(f.name());
    f.setObserver([this](Form& form, Control* c) {
        if (c) return;
        std::erase(modals_, form.name());
        if (!form.loaded()) return windows_.unloaded(form);
        // Its buttons as it shows: a spare one kept hidden is none the operator could press.
        for (Control* k : form.controls())
            if (dynamic_cast<CommandButton*>(k) && k->Visible()) reached_.buttons.insert(nameOf(*k));
        if (form.Visible() && form.modal()) modals_.push_back(form.name());
        if (form.Visible() && !firstTexts_.count(form.name())) {
            auto& texts = firstTexts_[form.name()];
            for (Control* k : form.controls())
                if (auto* box = dynamic_cast<TextBox*>(k)) texts[nameOf(*box)] = box->Text();
        }
    });
    if (f.name() != "FrmMain") return;
    // A tick of the timed outputs asks for an output setting at every reader, unless a tick
    // asked for earlier still waits its turn.
    auto& outputs = dynamic_cast<Timer&>(*f.control("Timer2"));
    outputs.TimerEvent = [this, tick = outputs.TimerEvent] {
        if (dateTxt_ && app_->OutputAutomatico && !app_->Linea.UsciteInAttesa && line_.isOpen())
            for (int i = 0; i < app_->NumeroLettori; ++i) {
                const DatiLettore& l = app_->Lettori[static_cast<std::size_t>(i)];
                log_.ask(CommandLog::Kind::TimedOutput, {l.NumeroLoop, PrefissoLettore(l)});
            }
        tick();
    };
    auto& minute = dynamic_cast<Timer&>(*f.control("Timer3"));
    minute.TimerEvent = [this, tick = minute.TimerEvent] {
        tick();
        checkDraw();
    };
}

// The readers the station may address now: those of its reader table, and the one the readers
// window shows (its programming and the card-archive utilities address that one by its fields,
// and by no plant code once it is reset).
std::vector<Target> Session::targets() {
    std::vector<Target> out;
    for (int i = 0; i < app_->NumeroLettori; ++i) {
        const DatiLettore& l = app_->Lettori[static_cast<std::size_t>(i)];
        out.push_back({l.NumeroLoop, PrefissoLettore(l)});
    }
    if (app_->isLoaded("FrmConfLettori")) {
        Form& w = app_->form("FrmConfLettori");
        auto field = [&w](const char* name) { return dynamic_cast<TextBox&>(*w.control(name)).Text(); };
        const int loop = CInt(Val(field("Text9")));
        const std::string address = Pad(CInt(Val(field("Text10"))), 2);
        for (const std::string& code : {field("Text4"), Right("000000" + field("Text4"), 6), std::string("000000")}) {
            out.push_back({loop, address + code});
            out.push_back({loop, Right("00" + field("Text10"), 2) + code});
        }
    }
    return out;
}

void Session::askUnlock(int reader) {
    const DatiLettore& l = app_->Lettori[static_cast<std::size_t>(reader)];
    if (line_.isOpen()) log_.ask(CommandLog::Kind::Unlock, {l.NumeroLoop, PrefissoLettore(l)});
}

void Session::heard(const Frame& f) {
    replyEnds(true);
    lastFrame_ = f.text;
    if (!archivePrefix_.empty() && f.text == archivePrefix_ + "D") ++archivePolls_;
    log_.frame(f);
}

// The exchange of the last frame is over: a grant whose reply the station read whole, with the
// reader's "done", opened the door. Before the next frame the station flushes the line: that last
// read belongs to no reply.
void Session::replyEnds(bool flushed) {
    if (operatore::isGrant(lastFrame_)) {
        const std::string reply = flushed ? replies_.substr(0, replies_.size() - lastRead_) : replies_;
        if (RispostaValida(reply) && StatoRisposta(reply) == 'S') ++acknowledged_;
    }
    lastFrame_.clear();
    replies_.clear();
    lastRead_ = 0;
}

// Right after each start: the count of people inside is the table's, in the settings file too.
void Session::checkStart() {
    try {
        auto db = Database::open(site_.file("Varcanto.mdb"));
        const std::int64_t inside = count(*db, "SELECT count(*) FROM presenti");
        const std::string utenti = profile::read("Impostazioni", "Utenti", "", 256, site_.file("Accessi.ini"));
        if (app_->imp.UtentiPresenti != inside || (!utenti.empty() && utenti != std::to_string(inside)))
            fail("after a start \"presenti\" holds " + std::to_string(inside) + " rows, the count is " +
                 std::to_string(app_->imp.UtentiPresenti) + " and \"Utenti\" is \"" + utenti + "\"");
    } catch (const std::exception& e) {
        fail(std::string("the site database cannot be checked after a start: ") + e.what());
    }
    checkDraw();
}

// After a run of the random check: no schedule has more marked cards than it draws.
void Session::checkDraw() {
    try {
        auto db = Database::open(site_.file("Varcanto.mdb"));
        const long persons = std::max<long>(0, app_->imp.NumeroImparziale);
        const auto rows = db->query(
            "SELECT TRIM(f.Nome), count(DISTINCT f.rowid), count(DISTINCT c.rowid) FROM Fasce f LEFT JOIN Carte c "
            "ON c.Flag_online <> 0 AND c.AbilitaCarta <> 0 AND c.Imparziale <> 0 AND TRIM(c.NomeFascia) = TRIM(f.Nome) "
            "GROUP BY TRIM(f.Nome)");
        for (const auto& r : rows) {
            const auto marked = r.at(2).second.toInt();
            if (marked > 0) ++draws_;
            if (marked > persons * r.at(1).second.toInt())
                fail("the random check marked " + r.at(2).second.str() + " cards of the schedule \"" +
                     r.at(0).second.str() + "\", which draws " + std::to_string(persons));
        }
    } catch (const std::exception& e) {
        fail(std::string("the random check's marks cannot be checked: ") + e.what());
    }
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
    try {
        auto db = Database::open(site_.file("Varcanto.mdb"));
        for (const auto& r : db->query("SELECT TRIM(NumeroBadge), count(*) FROM presenti GROUP BY 1 HAVING count(*) > 1"))
            fail("\"presenti\" holds the badge " + r.at(0).second.str() + " " + r.at(1).second.str() + " times");
        // Every grant a reader acknowledged has its record: in the log, or in the history file
        // when the history is kept outside.
        std::int64_t recorded = count(*db, "SELECT count(*) FROM prova_passaggi WHERE Passaggio <> 0");
        std::ifstream history(site_.file("Storico.txt"), std::ios::binary);
        for (std::string line; std::getline(history, line);) ++recorded;
        if (recorded != acknowledged_)
            fail(std::to_string(acknowledged_) + " grants acknowledged by the readers, " + std::to_string(recorded) +
                 " recorded");
        stored_ = count(*db, "SELECT count(*) FROM Storico");
    } catch (const std::exception& e) {
        fail(std::string("the site database's invariants cannot be checked: ") + e.what());
    }
}

// Every round of the event loop, at any depth: the checks, then maybe one operator action, as
// the front end's events would arrive there.
void Session::pump() {
    ++journal().beats;
    if (fault_) throw Fine{};
    const int depth = loop_->depth();
    deepest_ = std::max(deepest_, depth);
    ++rounds_;
    if (app_->PollingAttivo) ++pollingRounds_;
    if (!app_->OutputAutomatico) log_.outputsOff();
    if (!line_.isOpen()) log_.lineClosed();
    log_.checkBound(false);
    windows_.check(*app_);
    if (fault_) throw Fine{};
    if (windingDown_) {
        // Only closing and answering now: everything open must come to an end.
        if (++windDownRounds_ > 40000) {
            std::string why = "the main window stays hidden or disabled with no way back";
            if (!windows_.idle()) why = "a wait does not end; still running:" + windows_.running();
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

// The main window alone on the screen, usable, with nothing left to send.
bool Session::settled() {
    if (!app_->isLoaded("FrmMain") || app_->Linea.ScambioInCorso() || app_->Linea.InviiInAttesa() || log_.waiting())
        return false;
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

std::map<std::string, long> Session::states() const {
    return {{"archive-reader-polled", archivePolls_}, {"download-records-stored", stored_},
            {"timed-outputs-sent", log_.timedOutputs}, {"transmitter-wait-yielded", board_.busyReads},
            {"bands-enabled", bands_},         {"random-check-drawn", draws_},
            {"grants-acknowledged", acknowledged_}, {"keyboard-unlocks-sent", log_.unlocks}};
}

// The session in numbers, then each window with the controls the operator acted on.
std::string Session::summary() {
    std::ostringstream out;
    out << actions_ << " actions, " << restarts_ << " restarts, " << line_.frames << " frames on the line, polling in "
        << pollingRounds_ * 100 / std::max(1L, rounds_) << "% of the rounds, yields " << deepest_ << " deep;";
    for (const auto& [state, n] : states()) out << " " << state << " " << n;
    out << "; acted on:";
    std::string window;
    for (const auto& a : reached_.acted) {
        const auto dot = a.find('.');
        if (dot == std::string::npos) {
            out << (window.empty() ? "" : "]") << " " << a << "[";
            window = a;
        } else {
            out << " " << a.substr(dot + 1);
        }
    }
    if (!window.empty()) out << "]";
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

// The front end posts what the operator did; it runs in this round of the loop. 'enters' tells,
// when it runs, whether it reaches one of the window's handlers (a disabled or hidden control
// ignores it).
void Session::post(const Form& f, const std::string& what, const std::string& control, std::function<bool()> enters,
                   std::function<void()> action) {
    note(what);
    loop_->post([this, name = f.name(), what, control, enters = std::move(enters), action = std::move(action)] {
        if (fault_) return;
        const bool entered = enters();
        if (entered) {
            reached_.acted.insert(name);
            reached_.acted.insert(name + "." + control);
            if (name == "FrmCardsAbil" && (control == "Option9" || control == "Option10" || control == "Option11"))
                ++bands_;
        }
        windows_.begin(name, control, what, entered);
        struct Done {
            operatore::WindowWatch& w;
            ~Done() { w.end(); }
        } done{windows_};
        action();
        if (entered && name == "FrmFunzAgg" && control == "Command10") checkDraw();
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
        auto enters = [f] {
            if (!f->Enabled()) return false;
            const auto b = CloseIsAButton.find(f->name());
            return b == CloseIsAButton.end() || usable(*f->control(b->second));
        };
        return post(*f, "close " + f->name(), "close", enters, [f] { f->close(); });
    }
    if (kind == Key) {
        const bool f1 = chance(0.5);
        auto enters = [f, isMain] { return isMain && f->Enabled(); };
        return post(*f, std::string(f1 ? "F1" : "key A") + " on " + f->name(), "key", enters, [this, f, f1, isMain] {
            // With one reader the key unlocks it without asking.
            if (isMain && f->Enabled() && app_->NumeroLettori == 1) askUnlock(0);
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
        if (how == 0)
            return post(*f, "leave " + nameOf(*box), controlName(*box),
                        [box] { return usable(*box) && box->LostFocus != nullptr; }, [box] { box->leave(); });
        auto enters = [box] { return usable(*box) && !box->Locked(); };
        if (how == 1 || windingDown)
            return post(*f, "retype " + nameOf(*box) + " " + shown(t), controlName(*box), enters,
                        [box, t] { box->retype(t); });
        return post(*f, "type " + nameOf(*box) + " " + shown(t), controlName(*box), enters, [box, t] { box->type(t); });
    }
    if (kind == Choose) {
        auto combos = operable<ComboBox>(*f);
        auto tabs = operable<TabControl>(*f);
        if (!combos.empty() && (tabs.empty() || chance(0.7))) {
            ComboBox* c = pick(combos);
            const int i = below(c->ListCount() + 1) - 1;
            return post(*f, "choose " + std::to_string(i) + " in " + nameOf(*c), controlName(*c),
                        [c, i] { return usable(*c) && i != c->ListIndex() && i < c->ListCount(); },
                        [c, i] { c->choose(i); });
        }
        if (!tabs.empty()) {
            TabControl* t = pick(tabs);
            const int i = below(static_cast<int>(t->TabCaptions.size()));
            return post(*f, "tab " + std::to_string(i) + " of " + nameOf(*t), controlName(*t),
                        [t, i] { return usable(*t) && i != t->Tab(); }, [t, i] { t->choose(i); });
        }
        return timePasses(windingDown);
    }
    // In the download window the operator mostly starts the run, or stops it.
    if (f->name() == "FrmDownLoad" && chance(0.5)) {
        auto* run = static_cast<CommandButton*>(f->control(chance(0.7) ? "Command1" : "Command2"));
        return post(*f, "click " + nameOf(*run), run->name(), [run] { return usable(*run); }, [run] { run->click(); });
    }
    // Back at the main window, the operator mostly wants the readers polled again.
    if (isMain && !app_->PollingAttivo && chance(0.3)) {
        CommandButton* polling = static_cast<CommandButton*>(f->control("Command4"));
        return post(*f, "click " + nameOf(*polling), "Command4", [polling] { return usable(*polling); },
                    [polling] { polling->click(); });
    }
    std::vector<Control*> clickable;
    for (auto* b : operable<CommandButton>(*f))
        if (!(isMain && b->name() == "Command5") || chance(0.1)) clickable.push_back(b);
    for (auto* c : operable<CheckBox>(*f)) clickable.push_back(c);
    for (auto* o : operable<OptionButton>(*f)) clickable.push_back(o);
    if (clickable.empty()) return timePasses(windingDown);
    Control* c = pick(clickable);
    auto enters = [c] {
        if (!usable(*c)) return false;
        auto* o = dynamic_cast<OptionButton*>(c);
        return !o || !o->Value();
    };
    post(*f, "click " + nameOf(*c), controlName(*c), enters, [c] {
        if (auto* b = dynamic_cast<CommandButton*>(c)) b->click();
        if (auto* k = dynamic_cast<CheckBox*>(c)) k->click();
        if (auto* o = dynamic_cast<OptionButton*>(c)) o->click();
    });
}

// Time goes by: the timers come due (a poll, the timed outputs, the minute tick) and waits end;
// now and then the day comes round to the random check's time, at any depth of the handlers.
void Session::timePasses(bool windingDown) {
    if (dailyCheck_ && !windingDown && chance(0.05)) {
        // A minute before it, then the minute goes by: the minute tick is due at the check's time.
        const DateTime before = nextAt(clock_.now(), checkAt_ - 1);
        note("the clock comes round to the random check's time, " + hhmm(checkAt_) + " after " + before.dateText());
        clock_.set(before);
        clock_.advance(60000);
        paused_ += 60000;
        return;
    }
    const int r = below(100);
    const int ms = windingDown || r < 60 ? 10 + below(200) : r < 95 ? 1000 + below(11000) : 60000 + below(60000);
    note("time passes " + std::to_string(ms) + " ms");
    clock_.advance(ms);
    paused_ += ms;
}

// A card at a reader: one of the site's, an unknown one, or one of another plant; now and then
// the reader also keeps a transit it allowed while stand-alone.
void Session::presentCard() {
    auto& readers = sim_.readers();
    sim::Reader& r = readers[static_cast<std::size_t>(below(static_cast<int>(readers.size())))];
    const std::string numero = pick(std::vector<std::string>{"0001", "0002", "0003", "0004", "0005", "0777"});
    const bool archive = r.prefix() == archivePrefix_;
    const std::string plant = chance(0.9) ? Pad(r.config().plantCode, 6) : "999999";
    note("card " + numero + (archive ? " (archive code)" : "/" + plant) + " at the reader of loop " +
         std::to_string(r.config().loop) + ", address " + std::to_string(r.config().address));
    r.presentCard(archive ? archiveCode(numero) + std::string(10, '0')
                          : sim::cardData(numero, plant, {0, 1, 2, 3}, {4, 5, 6, 7, 8, 9}));
    if (chance(0.2)) r.storeTransit({numero, below(24), below(60), 1 + below(28), 1 + below(12)});
}

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
    const long first = fromEnv("VARCANTO_RANDOM_FIRST_SEED", 1), count = fromEnv("VARCANTO_RANDOM_SEEDS", 32);
    const long one = fromEnv("VARCANTO_RANDOM_SEED", 0);
    std::vector<std::uint64_t> seeds;
    if (one) {
        if (GetParam() == 0) seeds.push_back(static_cast<std::uint64_t>(one));
    } else {
        for (long s = first + GetParam(); s < first + count; s += operatore::kShards)
            seeds.push_back(static_cast<std::uint64_t>(s));
    }
    operatore::Reached reached;
    reached.run = "seeds " + std::to_string(first) + "+" + std::to_string(count) + ", actions " + std::to_string(actions);
    int failures = 0;
    for (const auto seed : seeds) {
        Session session(seed, actions);
        if (const auto fault = session.run()) {
            ADD_FAILURE() << *fault;
            if (++failures == 3) break;  // enough to go on with
        }
        reached.add(session.reached());
    }
    const char* dir = std::getenv("VARCANTO_RANDOM_COVERAGE");
    if (dir && *dir && !one) {
        EXPECT_TRUE(operatore::write(operatore::shardFile(dir, GetParam()), reached)) << "cannot write " << dir;
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomOperator, ::testing::Range(0, operatore::kShards));

// Once every shard has run (ctest runs this after them): every window, every command button of
// every window and every deep state was reached by at least one session.
TEST(RandomOperatorCoverage, EveryWindowButtonAndStateReached) {
    const char* dir = std::getenv("VARCANTO_RANDOM_COVERAGE_CHECK");
    if (!dir || !*dir) GTEST_SKIP() << "VARCANTO_RANDOM_COVERAGE_CHECK names no folder of shard files";
    operatore::Reached all;
    for (int shard = 0; shard < operatore::kShards; ++shard) {
        const auto r = operatore::read(operatore::shardFile(dir, shard));
        ASSERT_TRUE(r) << "shard " << shard << " wrote nothing in " << dir;
        if (shard > 0) {
            EXPECT_EQ(r->run, all.run) << "shard " << shard << " is of another run";
        }
        all.run = r->run;
        all.add(*r);
    }
    std::ostringstream report;
    for (const auto& [state, n] : all.states) report << " " << state << " " << n;
    std::printf("random operator, %s; reached:%s\n", all.run.c_str(), report.str().c_str());
    for (const auto& m : all.missing()) ADD_FAILURE() << m;
}

}  // namespace
}  // namespace vc
