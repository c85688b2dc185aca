#include "support/station_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "common/site_folder.h"
#include "core/log/transiti_sospesi.h"
#include "core/settings/settings_file.h"

extern char** environ;

namespace vc::test {

namespace fs = std::filesystem;

std::string NumeroCarta(int n) {
    const std::string s = std::to_string(n);
    return std::string(4 - s.size(), '0') + s;
}

void PreparaSito(const std::string& sito, int carte, const std::vector<std::pair<std::string, std::string>>& altre) {
    makeSiteFolder(VARCANTO_SITE_TEMPLATE, sito);
    const std::string ini = sito + "/Accessi.ini";
    for (auto [k, v] : {std::pair{"Polling", "6"}, {"Seriale", "1"}, {"Imparziale", "No"}})
        ScriviImpostazione(ini, k, v);
    for (const auto& [k, v] : altre) ScriviImpostazione(ini, k, v);
    auto db = Database::open(sito + "/Varcanto.mdb");
    for (const LettoreProva& l : LettoriProva)
        db->execute(std::string("INSERT INTO Lettori (TipoLettore, SituatoPresso, CodiceImpianto, Ritardo, Stato, "
                                "PosCarta1, PosCarta2, PosCarta3, PosCarta4, PosCodice1, PosCodice2, PosCodice3, "
                                "PosCodice4, PosCodice5, PosCodice6, NumeroLoop, NumeroIndirizzo) VALUES "
                                "('KOVA KV-M1', '") +
                    l.luogo + "', '000123', 3, '" + l.stato + "', 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 1, " +
                    std::to_string(l.indirizzo) + ")");
    Transaction t(*db);
    for (int n = 1; n <= carte; ++n)
        db->execute("INSERT INTO Carte (Cognome, Nome, NumeroCarta, AbilitaCarta, Output1, Flag_online, Lettore) "
                    "VALUES ('Prova', 'Carta', '" + NumeroCarta(n) + "', " + (n % 10 == 7 ? "0" : "1") + ", 1, 1, '" +
                    std::string(64, '1') + "')");
    t.commit();
}

void AggiungiLettori(sim::Simulator& sim) {
    for (const LettoreProva& l : LettoriProva) sim.addReader({1, l.indirizzo, 123});
}

StationProcess::StationProcess(const std::string& programma, const std::string& sito, const std::string& com1) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("VARCANTO_COM1", com1.c_str(), 1);
    posix_spawn_file_actions_t azioni;
    posix_spawn_file_actions_init(&azioni);
    posix_spawn_file_actions_addopen(&azioni, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&azioni, 2, "/dev/null", O_WRONLY, 0);
    std::string cartella = sito;
    char* argv[] = {const_cast<char*>("varcanto"), const_cast<char*>("--site"), cartella.data(),
                    const_cast<char*>("--polling"), nullptr};
    const int rc = posix_spawn(&pid_, programma.c_str(), &azioni, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&azioni);
    if (rc != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start " + programma);
    }
}

StationProcess::~StationProcess() { kill(); }

void StationProcess::kill() {
    if (pid_ < 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

SitoLetto LeggiSito(const std::string& sito, const std::string& copia) {
    fs::remove_all(copia);
    fs::create_directories(copia);
    for (const char* f : {"Varcanto.mdb", "Varcanto.mdb-wal", "Storico.txt", sospesi::Giornale})
        if (fs::exists(sito + "/" + f)) fs::copy_file(sito + "/" + f, copia + "/" + f);
    SitoLetto letto;
    letto.db = Database::open(copia + "/Varcanto.mdb");
    letto.integrita = letto.db->query("PRAGMA integrity_check").at(0).at(0).second.str();
    TransitiSospesi attesa;
    sospesi::Leggi(copia, attesa);
    letto.inAttesa = attesa.voci.size();
    letto.ancoraInAttesa = sospesi::Registra(copia, attesa, letto.db.get(), 0);
    return letto;
}

std::map<std::pair<std::string, std::string>, int> TransitiMemorizzati(Database& db) {
    std::map<std::pair<std::string, std::string>, int> memoria;
    for (auto& r : db.query("SELECT NumeroBadge, PosizioneLettore FROM transiti"))
        ++memoria[{r[0].second.str(), r[1].second.str()}];
    return memoria;
}

}  // namespace vc::test
