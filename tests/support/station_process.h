#pragma once
// The station program run as a process of its own on a site of three simulated readers, killed
// and its site read back: for the tests and benchmarks that hurt a running station (a kill, a
// held lock, a full disk) and judge what it stored against what the readers were told.

#include <sys/types.h>

#include <array>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/database.h"
#include "reader_sim/reader_sim.h"

namespace vc::test {

// The readers of the site, on loop 1: an entrance, an exit and a through gate.
struct LettoreProva {
    int indirizzo;
    const char* luogo;  // SituatoPresso, 8 characters
    const char* stato;
};
inline constexpr LettoreProva LettoriProva[] = {{1, "INGRESSO", "In"}, {2, "USCITA  ", "Out"}, {3, "VARCO   ", "InOut"}};
// Where a card's number and the site code sit in what the readers send.
inline constexpr std::array<int, 4> PosCarta{0, 1, 2, 3};
inline constexpr std::array<int, 6> PosCodice{4, 5, 6, 7, 8, 9};

// Card n's number: four digits.
std::string NumeroCarta(int n);

// Builds the site at 'sito': polling every 6 ms on COM1, no random check, the three readers above,
// and the on-line cards 0001..'carte', valid at every reader; every tenth one (those ending in 7)
// is not enabled. 'altre' sets more keys of the settings.
void PreparaSito(const std::string& sito, int carte,
                 const std::vector<std::pair<std::string, std::string>>& altre = {});
// The three readers above, on the simulator.
void AggiungiLettori(sim::Simulator& sim);

// The program started on 'sito' with COM1 on 'com1' (the simulator's pseudo-terminal), polling
// from the start, its output thrown away. It is killed (SIGKILL, as a power cut would stop it) by
// kill() or at the end of the scope.
class StationProcess {
public:
    // Throws std::runtime_error when the program cannot be started.
    StationProcess(const std::string& programma, const std::string& sito, const std::string& com1);
    ~StationProcess();
    StationProcess(const StationProcess&) = delete;
    StationProcess& operator=(const StationProcess&) = delete;

    void kill();

private:
    pid_t pid_ = -1;
};

// What a killed station's site holds, read on a copy at 'copia' (emptied first) once the pending
// journal is written there, as the next start writes it on the site itself.
struct SitoLetto {
    std::shared_ptr<Database> db;    // the copy's database, journal written
    std::string integrita;           // its integrity check as the kill left it: "ok" when sound
    std::size_t inAttesa = 0;        // passages found waiting in the journal
    std::size_t ancoraInAttesa = 0;  // of those, how many still wait once it is written
};
SitoLetto LeggiSito(const std::string& sito, const std::string& copia);

// How many transits the database holds per card and reader (NumeroBadge, PosizioneLettore).
std::map<std::pair<std::string, std::string>, int> TransitiMemorizzati(Database& db);

}  // namespace vc::test
