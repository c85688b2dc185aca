// The administration windows against simulated readers on a pseudo-terminal: real serial line,
// real SQLite files in a site folder, real time. A reader is programmed from the readers window,
// every card into every reader from the other-options window, and the readers' stored transits
// are downloaded into "Storico"; the outcome is read back from the simulated readers and the
// database.

#include <gtest/gtest.h>

#include <chrono>

#include "core/main/frm_main.h"
#include "e2e/station_on_pty.h"
#include "core/settings/settings_file.h"
#include "platform/database.h"
#include "readers_admin/frm_conf_lettori.h"
#include "readers_admin/frm_down_load.h"
#include "readers_admin/frm_funz_agg.h"
#include "support/fakes.h"

namespace vc {
namespace {

using Riga = std::vector<std::string>;

// Two readers at addresses 1 and 2 of loop 1, plant code 000123; four cards: one enabled on
// both readers, one disabled, one enabled on reader 2 only, one on-line.
class AdminEndToEnd : public ::testing::Test, protected test::StationOnPty {
protected:
    AdminEndToEnd() {
        const std::string ini = site.file("Accessi.ini");
        for (auto [k, v] : {std::pair{"Beep", "No"}, {"Seriale", "1"}, {"Ritardo", "1"}, {"QuattroCifre", "Si"},
                            {"OrarioIniziale1", "07:30"}, {"OrarioFinale1", "12:00"}})
            ScriviImpostazione(ini, k, v);
        auto db = Database::open(site.file("Varcanto.mdb"));
        for (auto [indirizzo, presso] : {std::pair{"1", "INGRESSO"}, {"2", "USCITA  "}}) {
            db->execute(std::string("INSERT INTO Lettori (TipoLettore, SituatoPresso, CodiceImpianto, Ritardo, Stato, "
                                    "PosCarta1, PosCarta2, PosCarta3, PosCarta4, PosCodice1, PosCodice2, PosCodice3, "
                                    "PosCodice4, PosCodice5, PosCodice6, NumeroLoop, NumeroIndirizzo, RiscriviRam, "
                                    "TestInput, FasceOrarie) VALUES ('KOVA KV-M1', '") +
                        presso + "', '000123', 3, 'In', 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 1, " + indirizzo + ", 1, 0, 1)");
            sim.addReader({1, std::stoi(indirizzo), 123});
        }
        const std::string tutti(64, '1'), soloIl2 = "01" + std::string(62, '0');
        db->execute("INSERT INTO Carte (Cognome, Nome, NumeroCarta, AbilitaCarta, Flag_online, MetodoInput, "
                    "ControllaInput, Input1, Input2, SceltaFascia, Output1, Output2, Lettore) VALUES "
                    "('Rossi', 'Mario', '0001', 1, 0, 1, 1, 1, 0, 2, 1, 0, '" + tutti + "'), "
                    "('Bianchi', 'Anna', '0002', 0, 0, 0, 0, 0, 0, 0, 1, 0, '" + tutti + "'), "
                    "('Verdi', 'Luca', '0003', 1, 0, 0, 0, 0, 0, 0, 0, 0, '" + soloIl2 + "'), "
                    "('Neri', 'Ugo', '0004', 1, 1, 0, 0, 0, 0, 0, 1, 0, '" + tutti + "')");
        apriStazione();
    }

    // Starts the station with polling off and opens an administration window from the main
    // window; there is no password on a new site.
    template <class Finestra>
    Finestra& apri(CommandButton FrmMain::*pulsante) {
        auto& m = app->form<FrmMain>();
        m.Show();
        EXPECT_TRUE(serial->isOpen());
        (m.*pulsante).click();
        auto& f = app->form<Finestra>();
        EXPECT_TRUE(f.Visible());
        return f;
    }
    std::vector<Riga> storico() {
        std::vector<Riga> righe;
        for (const auto& r : Database::open(site.file("Varcanto.mdb"))->query("SELECT * FROM Storico")) {
            righe.emplace_back();
            for (const auto& [campo, valore] : r) righe.back().push_back(valore.str());
        }
        return righe;
    }
};

sim::Parameters::Clock orologio(const DateTime& t) { return {t.minute, t.hour, t.day, t.month, t.year % 100}; }

TEST_F(AdminEndToEnd, ReaderProgrammedFromTheReadersWindowAfterAReset) {
    // Until the reset it answers to a code the station does not know.
    sim.readers()[0] = sim::Reader({1, 1, 456});
    auto& w = apri<FrmConfLettori>(&FrmMain::Command3);
    ASSERT_EQ(w.Text10.Text(), "1");

    dialogs.expectMsg("Vuoi resettare il lettore ?", mb::Question | mb::YesNoCancel, "Domanda", mb::Yes);
    dialogs.expectMsg("Programmazione effettuata.", mb::Information, "Messaggio");
    const DateTime prima = clock.now();
    w.Command6.click();
    const DateTime dopo = clock.now();
    EXPECT_TRUE(dialogs.allAnswered());
    EXPECT_TRUE(w.Enabled());
    EXPECT_FALSE(app->isLoaded("FrmWait"));

    const sim::Reader& r = sim.reader(1, 1);
    ASSERT_GE(r.commands.size(), 3u);
    EXPECT_EQ(r.commands[0], "W0100");
    EXPECT_EQ(r.commands[1], "01000000D");
    EXPECT_EQ(r.commands[2], "01000000A00012300006");
    EXPECT_EQ(r.plantCode(), 123);
    const sim::Parameters& p = r.parameters();
    EXPECT_EQ(p.openingTime, 6);
    EXPECT_EQ(p.options, (sim::Parameters::Options{.replyDelay = 1, .kind = '0', .rewriteRam = true, .bands = true,
                                                   .testInput = false}));
    ASSERT_TRUE(p.clock);
    EXPECT_TRUE(*p.clock == orologio(prima) || *p.clock == orologio(dopo));
    EXPECT_EQ(p.positions, (sim::Parameters::Positions{{0, 1, 2, 3}, {4, 5, 6, 7, 8, 9}}));
    EXPECT_EQ(p.bands[0], (sim::Parameters::Band{"07:30", "12:00"}));
    EXPECT_EQ(p.bands[1], std::nullopt);
    EXPECT_EQ(p.bands[2], std::nullopt);
    EXPECT_TRUE(sim.reader(1, 2).commands.empty());
}

TEST_F(AdminEndToEnd, EveryCardProgrammedIntoEveryReader) {
    // A card disabled since it was last programmed: the reader still holds it.
    sim.reader(1, 1).answer("01000123B00021001210");
    auto& f = apri<FrmFunzAgg>(&FrmMain::Command7);

    dialogs.expectMsg("Programmazione effettuata.", mb::Information, "Messaggio");
    f.Command6.click();
    EXPECT_TRUE(dialogs.allAnswered());
    EXPECT_TRUE(f.Enabled());

    using Memoria = std::map<std::string, std::string>;
    EXPECT_EQ(sim.reader(1, 1).cardMemory(), (Memoria{{"0001", "1001210"}}));
    EXPECT_EQ(sim.reader(1, 2).cardMemory(), (Memoria{{"0001", "1001210"}, {"0003", "0100000"}}));
    EXPECT_EQ(sim.reader(1, 2).commands, (std::vector<std::string>{"02000123B00011001210", "02000123C0002",
                                                                   "02000123B00030100000", "02000123C0004"}));
}

TEST_F(AdminEndToEnd, StoredTransitsDownloadedIntoStoricoAndErasedWhenAsked) {
    // Yesterday's transits carry yesterday's year whatever the day.
    const DateTime oggi = clock.now();
    const std::chrono::year_month_day ieri{
        std::chrono::sys_days{std::chrono::year{oggi.year} / oggi.month / oggi.day} - std::chrono::days{1}};
    const int giorno = static_cast<int>(static_cast<unsigned>(ieri.day()));
    const int mese = static_cast<int>(static_cast<unsigned>(ieri.month()));
    auto dueCifre = [](int n) { return (n < 10 ? "0" : "") + std::to_string(n); };
    const std::string data =
        dueCifre(giorno) + "/" + dueCifre(mese) + "/" + std::to_string(static_cast<int>(ieri.year()));
    sim.reader(1, 1).storeTransit({"0001", 8, 15, giorno, mese});
    sim.reader(1, 1).storeTransit({"0999", 8, 20, giorno, mese});
    sim.reader(1, 2).storeTransit({"0003", 17, 45, giorno, mese});
    const std::vector<Riga> scaricati = {
        {"0001", "Rossi", "Mario", "1", "INGRESSO", data, "08:15"},
        {"0999", "", "", "1", "INGRESSO", data, "08:20"},
        {"0003", "Verdi", "Luca", "2", "USCITA", data, "17:45"},
    };
    auto& f = apri<FrmFunzAgg>(&FrmMain::Command7);

    // First without erasing: the readers keep their transits and give them again next time.
    const struct {
        bool cancella;
        const char* etichetta;
    } giri[] = {
        {false, "Non cancello la memoria dopo il download"},
        {true, "Cancello la memoria dopo il download"},
    };
    std::vector<Riga> attese;
    for (const auto& g : giri) {
        test::control<CheckBox>(*app, "FrmProgSetup", "Check2").setValue(g.cancella ? 1 : 0);
        f.Command2.click();
        auto& d = app->form<FrmDownLoad>();
        ASSERT_TRUE(d.Visible());
        EXPECT_EQ(d.Label2.Caption(), g.etichetta);
        dialogs.expectMsg("Operazione completata.", mb::Information, "Messaggio");
        d.Command1.click();
        EXPECT_TRUE(dialogs.allAnswered()) << g.etichetta;
        EXPECT_FALSE(app->isLoaded("FrmDownLoad"));
        EXPECT_TRUE(f.Enabled() && f.Visible());

        attese.insert(attese.end(), scaricati.begin(), scaricati.end());
        EXPECT_EQ(storico(), attese) << g.etichetta;
        for (int n : {1, 2}) {
            const sim::Reader& r = sim.reader(1, n);
            EXPECT_EQ(r.storedTransits().empty(), g.cancella) << g.etichetta;
            EXPECT_EQ(r.commands.back(), r.prefix() + (g.cancella ? "E01" : "S")) << g.etichetta;
        }
    }
}

}  // namespace
}  // namespace vc
