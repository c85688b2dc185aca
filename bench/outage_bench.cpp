// outage_bench [--full-disk DIR] PROGRAM...: each PROGRAM (for instance this build's varcanto and
// one of the previous version) polls three simulated readers ("In", "Out", "InOut") on a fresh
// site while cards are shown at all three, and the site is hurt for a while:
//   lock       another process holds the site database's lock (BEGIN IMMEDIATE) for 10 s;
//   full disk  (with --full-disk DIR, a small file system the caller mounted there, e.g. a tmpfs)
//              a filler file takes every free byte for 5 s, then is deleted.
// Then the program is killed and the site read: what the readers were told (granted or refused)
// against what the site holds (database, history file, and the pending journal once written), and
// the longest time between two polls, overall and while hurt. The programs run in turns, side by
// side on the same machine.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/database.h"
#include "reader_sim/reader_sim.h"
#include "support/station_process.h"

namespace vc {
namespace {

namespace fs = std::filesystem;
using sim::PtyServer;
using test::LettoriProva;
using test::NumeroCarta;

// Another process takes the lock and keeps it for 'ms'.
pid_t Blocca(const std::string& sito, int ms) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        auto db = Database::open(sito + "/Varcanto.mdb");
        db->execute("BEGIN IMMEDIATE");
        ::usleep(static_cast<useconds_t>(ms) * 1000);
        ::_exit(0);
    }
    return pid;
}

struct Esito {
    int decisi = 0, memorizzati = 0, persi = 0, doppi = 0, inAttesa = 0;
    std::int64_t buco = 0, bucoFerito = 0;  // the longest time between two polls, ms
    int buchiOltre500 = 0;
};

class Prova {
public:
    Prova(std::string programma, std::string sito) : programma_(std::move(programma)), sito_(std::move(sito)) {
        test::PreparaSito(sito_, 2000, {{"Beep", "No"}});
        test::AggiungiLettori(sim_);
    }

    // 'ferisci' starts the harm at 'da' ms and 'guarisci' ends it at 'a' ms; the run lasts 'fine' ms.
    Esito Esegui(std::int64_t da, std::int64_t a, std::int64_t fine, const std::function<void()>& ferisci,
                 const std::function<void()>& guarisci) {
        test::StationProcess stazione(programma_, sito_, pty_.slavePath());
        const std::int64_t t0 = t0_ = PtyServer::nowMs();
        bool ferito = false, guarito = false;
        while (PtyServer::nowMs() - t0 < fine) {
            pty_.step(1);
            const std::int64_t ora = PtyServer::nowMs(), t = ora - t0;
            if (!ferito && t >= da) ferito = (ferisci(), true);
            if (ferito && !guarito && t >= a) guarito = (guarisci(), true);
            Osserva(ora, ferito && !guarito);
            Persone(ora);
        }
        stazione.kill();
        return Conta();
    }

private:
    struct Passaggio {
        std::string badge;
        int lettore;
        std::int64_t presentata;
        bool consegnata = false, deciso = false;
    };

    void Persone(std::int64_t ora) {
        for (int l = 0; l < 3; ++l) {
            if (corrente_[l] || ora < prossimo_[l]) continue;
            std::string badge = NumeroCarta(++ultima_);
            if (l == 1 && !dentro_.empty()) badge = *dentro_.begin(), dentro_.erase(dentro_.begin());
            sim_.reader(1, LettoriProva[l].indirizzo)
                .presentCard(sim::cardData(badge, "000123", test::PosCarta, test::PosCodice, 12));
            corrente_[l] = passaggi_.size();
            passaggi_.push_back({badge, l, ora});
        }
    }
    void Osserva(std::int64_t ora, bool ferito) {
        for (int l = 0; l < 3; ++l) {
            sim::Reader& r = sim_.reader(1, LettoriProva[l].indirizzo);
            for (; visti_[l] < r.commands.size(); ++visti_[l]) {
                const std::string& c = r.commands[visti_[l]];
                if (c.size() < 9) continue;
                if (c[8] == 'D') {
                    if (ultimoPoll_) {
                        const std::int64_t buco = ora - *ultimoPoll_;
                        esito_.buco = std::max(esito_.buco, buco);
                        if (ferito) esito_.bucoFerito = std::max(esito_.bucoFerito, buco);
                        esito_.buchiOltre500 += buco > 500;
                        if (buco > 500)
                            std::printf("  a poll gap of %lld ms, %lld ms after the start\n",
                                        static_cast<long long>(buco), static_cast<long long>(ora - t0_));
                    }
                    ultimoPoll_ = ora;
                }
                if (!corrente_[l]) continue;
                Passaggio& p = passaggi_[*corrente_[l]];
                if (c[8] == 'D' && r.queuedCards() == 0) p.consegnata = true;
                if (c[8] == 'K' && p.consegnata) {
                    p.deciso = true;
                    if (l == 0 && c.size() > 9 && c[9] == '1') dentro_.insert(p.badge);
                    corrente_[l].reset();
                    prossimo_[l] = ora + 150;
                }
            }
            // A card the station never decided on is given up after a while.
            if (corrente_[l] && ora - passaggi_[*corrente_[l]].presentata > 6000) corrente_[l].reset();
        }
    }
    Esito Conta() {
        // The journal, if any, written on a copy as the next start would.
        const std::string copia = sito_ + "-letto";
        const test::SitoLetto letto = test::LeggiSito(sito_, copia);
        esito_.inAttesa = static_cast<int>(letto.inAttesa);
        std::map<std::pair<std::string, std::string>, int> memoria = test::TransitiMemorizzati(*letto.db);
        for (const Passaggio& p : passaggi_) {
            if (!p.deciso) continue;
            const int n = memoria[{p.badge, LettoriProva[p.lettore].luogo}];
            ++esito_.decisi;
            esito_.memorizzati += n > 0;
            esito_.persi += n == 0;
            esito_.doppi += n > 1;
        }
        fs::remove_all(copia);
        return esito_;
    }

    std::string programma_, sito_;
    sim::Simulator sim_;
    PtyServer pty_{sim_};
    int ultima_ = 0;
    std::vector<Passaggio> passaggi_;
    std::array<std::optional<std::size_t>, 3> corrente_;
    std::array<std::int64_t, 3> prossimo_{};
    std::array<std::size_t, 3> visti_{};
    std::set<std::string> dentro_;
    std::optional<std::int64_t> ultimoPoll_;
    std::int64_t t0_ = 0;
    Esito esito_;
};

void Stampa(const char* prova, const std::string& programma, const Esito& e) {
    std::printf("%-9s %-40s decided %4d  stored %4d  lost %3d  doubled %2d  (waiting in the journal at the end %3d)  "
                "longest poll gap %5lld ms, %5lld ms while hurt, %d gaps over 500 ms\n",
                prova, programma.c_str(), e.decisi, e.memorizzati, e.persi, e.doppi, e.inAttesa,
                static_cast<long long>(e.buco), static_cast<long long>(e.bucoFerito), e.buchiOltre500);
    std::fflush(stdout);
}

}  // namespace
}  // namespace vc

int main(int argc, char** argv) {
    using namespace vc;
    std::string discoPiccolo;
    std::vector<std::string> programmi;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--full-disk" && i + 1 < argc) discoPiccolo = argv[++i];
        else programmi.push_back(a);
    }
    if (programmi.empty()) {
        std::fprintf(stderr, "usage: outage_bench [--full-disk DIR] PROGRAM...\n");
        return 2;
    }
    const std::string lavoro = fs::temp_directory_path() / ("outage_bench." + std::to_string(::getpid()));
    for (const std::string& p : programmi) {
        const std::string sito = lavoro + "/lock";
        fs::remove_all(sito);
        Prova prova(p, sito);
        pid_t blocco = -1;
        Stampa("lock", p, prova.Esegui(3000, 13000, 17000, [&] { blocco = Blocca(sito, 10000); },
                                       [&] { ::waitpid(blocco, nullptr, 0); }));
        fs::remove_all(sito);
    }
    if (!discoPiccolo.empty()) {
        for (const std::string& p : programmi) {
            const std::string sito = discoPiccolo + "/site", riempitivo = discoPiccolo + "/riempitivo";
            fs::remove_all(sito);
            Prova prova(p, sito);
            // Every free byte, down to the last one.
            auto riempi = [&] {
                const int fd = ::open(riempitivo.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
                const std::string blocco(1 << 16, '\0');
                for (std::size_t n : {std::size_t{1} << 16, std::size_t{4096}, std::size_t{1}})
                    while (::write(fd, blocco.data(), n) == static_cast<ssize_t>(n)) {
                    }
                ::close(fd);
            };
            Stampa("full disk", p, prova.Esegui(3000, 8000, 12000, riempi, [&] { fs::remove(riempitivo); }));
            fs::remove_all(sito);
        }
    }
    fs::remove_all(lavoro);
}
