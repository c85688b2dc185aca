// The station against simulated readers on a pseudo-terminal: real serial line, real SQLite
// files in a site folder, real time. Cards are presented at the readers and the outcome is read
// back from the database, the settings file, the history file and the main window.

#include <gtest/gtest.h>

#include <fstream>

#include "core/main/frm_main.h"
#include "e2e/station_on_pty.h"
#include "core/settings/frm_prog_setup.h"
#include "core/settings/settings_file.h"
#include "platform/database.h"
#include "platform/profile.h"
#include "support/fakes.h"

namespace vc {
namespace {

const std::array<int, 4> PosCarta{0, 1, 2, 3};
const std::array<int, 6> PosCodice{4, 5, 6, 7, 8, 9};

class EndToEnd : public ::testing::Test, protected test::StationOnPty {
protected:
    EndToEnd() {
        const std::string ini = site.file("Accessi.ini");
        for (auto [k, v] : {std::pair{"Polling", "3"}, {"Beep", "No"}, {"StoricoEsterno", "No"}, {"Seriale", "1"}})
            ScriviImpostazione(ini, k, v);
        auto db = Database::open(site.file("Varcanto.mdb"));
        const char* lettori[][3] = {{"1", "INGRESSO", "In"}, {"2", "USCITA", "Out"}, {"3", "VARCO", "InOut"}};
        for (auto& l : lettori) {
            db->execute(std::string("INSERT INTO Lettori (TipoLettore, SituatoPresso, CodiceImpianto, Ritardo, Stato, "
                                    "PosCarta1, PosCarta2, PosCarta3, PosCarta4, PosCodice1, PosCodice2, PosCodice3, "
                                    "PosCodice4, PosCodice5, PosCodice6, NumeroLoop, NumeroIndirizzo) VALUES "
                                    "('KOVA KV-M1', ") +
                        sqlQuote((l[1] + std::string(8, ' ')).substr(0, 8)) + ", '000123', 3, '" + l[2] +
                        "', 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 1, " + l[0] + ")");
            sim.addReader({1, std::stoi(l[0]), 123});
        }
        const std::string tutti(64, '1');
        db->execute("INSERT INTO Carte (Cognome, Nome, NumeroCarta, AbilitaCarta, Output1, Output2, Flag_online, Lettore) "
                    "VALUES ('Rossi', 'Mario', '0001', 1, 1, 0, 1, '" + tutti + "'), "
                    "('Bianchi', 'Anna', '0002', 0, 1, 0, 1, '" + tutti + "'), "
                    "('Verdi', 'Luca', '0003', 1, 1, 0, 1, '" + std::string(64, '0') + "')");
        apriStazione();
    }

    FrmMain& avvia() {
        auto& m = app->form<FrmMain>();
        m.Show();
        m.Command4.click();
        return m;
    }
    // Runs the station until 'fatto' holds, at most 'ms'.
    bool attendi(const std::function<bool()>& fatto, int ms = 5000) {
        const Deadline limite(clock, ms);
        while (!fatto() && !limite.expired()) loop.doEvents();
        return fatto();
    }
    // Presents a card and runs the station until 'fatto' holds. On a busy machine a poll can time
    // out after the reader has handed its card over; like a person at the door, the card is then
    // presented again.
    bool presentaFinche(int lettore, const std::string& dati, const std::function<bool()>& fatto) {
        for (int volta = 0; volta < 3; ++volta) {
            if (sim.reader(1, lettore).queuedCards() == 0) sim.reader(1, lettore).presentCard(dati);
            if (attendi(fatto, 2000)) return true;
        }
        return false;
    }
    std::vector<std::vector<std::pair<std::string, Value>>> transiti() {
        return Database::open(site.file("Varcanto.mdb"))->query("SELECT * FROM transiti ORDER BY indice");
    }
    // Presents a card at a reader and waits for its transit; returns its record.
    std::vector<std::pair<std::string, Value>> passa(int lettore, const std::string& numero,
                                                     const std::string& impianto = "000123") {
        const auto prima = transiti().size();
        EXPECT_TRUE(presentaFinche(lettore, sim::cardData(numero, impianto, PosCarta, PosCodice, 12),
                                   [&] { return transiti().size() > prima; }))
            << "no transit for " << numero;
        auto t = transiti();
        return t.size() > prima ? t.back() : std::vector<std::pair<std::string, Value>>{};
    }
    long presenti() { return static_cast<long>(Database::open(site.file("Varcanto.mdb"))->query("SELECT 1 FROM presenti").size()); }
    std::string utenti() { return profile::read("Impostazioni", "Utenti", "?", 10, site.file("Accessi.ini")); }
};

std::string campo(const std::vector<std::pair<std::string, Value>>& r, const char* nome) {
    for (auto& [n, v] : r)
        if (n == nome) return v.str();
    return "<missing " + std::string(nome) + ">";
}

TEST_F(EndToEnd, GrantsRefusalsAndPresenceFollowTheReaders) {
    auto& m = avvia();
    ASSERT_TRUE(serial->isOpen());

    auto t = passa(1, "0001");
    EXPECT_EQ(campo(t, "NumeroBadge"), "0001");
    EXPECT_EQ(campo(t, "Cognome"), "Rossi");
    EXPECT_EQ(campo(t, "PosizioneLettore"), "INGRESSO");
    EXPECT_EQ(campo(t, "Passaggio"), "1");
    EXPECT_EQ(campo(t, "verso"), "In");
    EXPECT_EQ(campo(t, "nota"), "Passaggio");
    EXPECT_EQ(campo(t, "Data"), clock.now().dateText());
    EXPECT_EQ(sim.reader(1, 1).outputs().text, "110001000");
    EXPECT_EQ(presenti(), 1);
    EXPECT_EQ(utenti(), "1");
    EXPECT_EQ(m.Label4.Caption(), "1");
    EXPECT_EQ(m.Shape1.FillColor(), colour::Green);

    t = passa(1, "0001");
    EXPECT_EQ(campo(t, "nota"), "Blocco per anti pass back");
    EXPECT_EQ(campo(t, "Passaggio"), "0");
    EXPECT_EQ(sim.reader(1, 1).outputs().text, "000000000");
    EXPECT_EQ(m.Shape1.FillColor(), colour::Red);

    t = passa(2, "0001");
    EXPECT_EQ(campo(t, "nota"), "Passaggio");
    EXPECT_EQ(campo(t, "verso"), "Out");
    EXPECT_EQ(presenti(), 0);
    EXPECT_EQ(utenti(), "0");
    EXPECT_EQ(m.Label4.Caption(), "0");
    EXPECT_EQ(campo(passa(2, "0001"), "nota"), "Blocco per anti pass back");

    struct Rifiuto {
        int lettore;
        const char *numero, *impianto, *nota, *badge;
    } rifiuti[] = {
        {3, "0002", "000123", "", "0002"},
        {3, "0003", "000123", "Non abilitato sul lettore", "0003"},
        {3, "0999", "000123", "Badge non presente in archivio", ""},
        {3, "0001", "000999", "Codice impianto non valido", ""},
    };
    for (const auto& r : rifiuti) {
        t = passa(r.lettore, r.numero, r.impianto);
        EXPECT_EQ(campo(t, "nota"), r.nota) << r.numero;
        EXPECT_EQ(campo(t, "NumeroBadge"), r.badge) << r.numero;
        EXPECT_EQ(campo(t, "verso"), "InOut");
    }
    EXPECT_TRUE(m.Label3.Caption().rfind("Codice impianto differente ", 0) == 0) << m.Label3.Caption();
    EXPECT_EQ(dialogs.shown.size(), 0u);
}

TEST_F(EndToEnd, ExternalHistoryGetsTheLineOfAGrant) {
    avvia();
    app->form<FrmProgSetup>().Check7.setValue(1);  // live, before any save
    const auto prima = transiti().size();
    const std::string storico = site.file("Storico.txt");
    ASSERT_TRUE(presentaFinche(3, sim::cardData("0001", "000123", PosCarta, PosCodice, 12),
                               [&] { return std::filesystem::exists(storico); }));
    std::ifstream f(storico, std::ios::binary);
    std::string riga((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    // The time may have turned a minute since: compare around it.
    const std::string inizio = "\"0001          Mario          Rossi   03 VARCO    " + clock.now().dateText() + " ";
    EXPECT_EQ(riga.substr(0, inizio.size()), inizio) << riga;
    EXPECT_EQ(riga.substr(inizio.size() + 5), " Passaggio InOut\"\r\n") << riga;
    EXPECT_EQ(transiti().size(), prima);
}

TEST_F(EndToEnd, SilentAndMisbehavingReadersDoNotStopPolling) {
    sim.readers()[0] = sim::Reader({1, 1, 123, "KOVA KV-M1", sim::ReaderConfig::Behaviour::Silent});
    sim.readers()[1] = sim::Reader({1, 2, 123, "KOVA KV-M1", sim::ReaderConfig::Behaviour::GarbageFirst});
    avvia();
    sim.reader(1, 2).presentCard(sim::cardData("0001", "000123", PosCarta, PosCodice, 12));
    auto t = passa(3, "0001");
    EXPECT_EQ(campo(t, "nota"), "Passaggio");
    EXPECT_TRUE(app->PollingAttivo);
}

}  // namespace
}  // namespace vc
