#include <gtest/gtest.h>

#include <fstream>

#include "core/main/frm_main.h"
#include "core/readers/carica_lettori.h"
#include "core/schedule/imparziale.h"
#include "password/frm_chk_passw.h"
#include "password/password_file.h"
#include "platform/profile.h"
#include "support/fakes.h"

namespace vc {
namespace {

void aggiungiLettori(test::Station& s, int n, const char* stato = "In") {
    for (int i = 0; i < n; ++i)
        s.sql("INSERT INTO Lettori (TipoLettore, SituatoPresso, CodiceImpianto, Ritardo, Stato, NumeroLoop, "
              "NumeroIndirizzo) VALUES ('KOVA KV-M1', 'Ingresso', '000123', 3, '" +
              std::string(stato) + "', 1, " + std::to_string(i) + ")");
}

TEST(StartUp, PreparesTheWindowWithBothSwitchesOff) {
    test::Station s;
    s.setting("Utenti", "4");
    s.sql("INSERT INTO presenti (NumeroBadge) VALUES ('0001'), ('0002'), ('0003'), ('0004')");
    auto& m = static_cast<FrmMain&>(s.start());
    EXPECT_EQ(m.Caption(), "Varcanto  - Versione 1.0 - VT003");
    EXPECT_TRUE(s.serial.isOpen());
    EXPECT_EQ(m.Label4.Caption(), "4");
    EXPECT_EQ(m.Label1.BackColor(), colour::Red);
    EXPECT_EQ(m.Label2.BackColor(), colour::Red);
    EXPECT_EQ(m.Command4.Picture(), m.Image1[0].Picture);
    EXPECT_EQ(m.Command6.Picture(), m.Image2[0].Picture);
    EXPECT_FALSE(m.Timer1.running());
    EXPECT_FALSE(m.Timer2.running());
    EXPECT_TRUE(m.Timer3.running());
    EXPECT_EQ(m.Timer2.Interval(), 10000);
    EXPECT_EQ(m.Timer3.Interval(), 60000);
    EXPECT_EQ(m.Timer1.Interval(), 1000);  // no readers
    EXPECT_TRUE(m.Command2.Enabled());
    EXPECT_EQ(s.app().PercorsoDb, s.site.file("Varcanto.mdb"));
}

TEST(StartUp, PortThatCannotBeOpenedIsReportedAndStartUpGoesOn) {
    struct Caso {
        const char* seriale;  // nullptr: key missing
        const char* messaggio;
    } casi[] = {{"3", "Porta seriale 3 non funzionante."}, {nullptr, "Porta seriale 0 non funzionante."}};
    for (const auto& c : casi) {
        test::Station s;
        if (c.seriale) {
            s.setting("Seriale", c.seriale);
        } else {
            std::ofstream(s.site.file("Accessi.ini"), std::ios::trunc) << "[Impostazioni]\r\nPolling=10\r\n";
        }
        aggiungiLettori(s, 2);
        s.dialogs.expectMsg(c.messaggio, mb::Critical, "Attenzione");
        // Without its key the random check is on, and it finds no cards to draw from.
        if (!c.seriale) s.dialogs.expectMsg(ImparzialeImpossibile, mb::Critical, "Errore");
        auto& m = static_cast<FrmMain&>(s.start());
        EXPECT_FALSE(s.serial.isOpen());
        EXPECT_EQ(s.app().NumeroLettori, 2);  // the later steps still ran
        EXPECT_TRUE(m.Timer3.running());
    }
}

TEST(StartUp, MissingDatabaseIsReportedAndStartUpGoesOn) {
    for (const char* imparziale : {"No", "Si"}) {
        SCOPED_TRACE(imparziale);
        test::Station s;
        s.setting("Imparziale", imparziale);
        const auto rep = s.site.file("RepVarcanto.mdb");
        std::filesystem::remove(rep);
        std::filesystem::remove(s.site.file("Varcanto.mdb"));
        s.dialogs.expectMsgStartingWith("Impossibile aprire il database " + s.site.file("Varcanto.mdb") + ": ",
                                        mb::Critical, "Errore");
        Form* m = nullptr;
        ASSERT_NO_THROW(m = &s.start());
        // The random check failed on the database: its wait window is gone and the rest ran.
        EXPECT_FALSE(s.app().isLoaded("FrmWait") && s.app().form("FrmWait").Visible());
        EXPECT_TRUE(static_cast<FrmMain*>(m)->Timer3.running());
        EXPECT_TRUE(std::filesystem::exists(rep));
    }
}

TEST(StartUp, RandomCheckRunsOnceWhenEnabled) {
    test::Station s;
    s.setting("Imparziale", "Si");
    s.setting("NumeroImparziale", "1");
    s.sql("INSERT INTO Fasce (Nome) VALUES ('Turno')");
    for (const char* n : {"0001", "0002", "0003"})
        s.sql(std::string("INSERT INTO Carte (NumeroCarta, NomeFascia, Flag_online, AbilitaCarta, Imparziale) VALUES ('") +
              n + "', 'Turno', 1, 1, 1)");
    s.start();
    auto db = Database::open(s.site.file("Varcanto.mdb"));
    EXPECT_EQ(db->query("SELECT count(*) FROM Carte WHERE Imparziale <> 0")[0][0].second.toInt(), 1);
    EXPECT_EQ(db->query("SELECT Quanti FROM Fasce")[0][0].second.toInt(), 3);
    EXPECT_FALSE(s.app().isLoaded("FrmWait"));
}

TEST(StartUp, ReportDatabaseIsReplacedByItsTemplate) {
    test::Station s;
    const auto rep = s.site.file("RepVarcanto.mdb");
    std::ofstream(rep) << "old";
    std::ofstream(rep + "-wal") << "stale journal";
    s.start();
    EXPECT_EQ(std::filesystem::file_size(rep), std::filesystem::file_size(rep + ".schema"));
    EXPECT_FALSE(std::filesystem::exists(rep + "-wal"));
}

TEST(ReaderTable, PollingIntervalRule) {
    struct Caso {
        std::int32_t polling;
        int lettori;
        int ms;
    } casi[] = {{100, 8, 125}, {5, 4, 12}, {7, 4, 18}, {10, 4, 25}, {3, 64, 0}, {100, 0, 1000}, {10000, 1, 65535}};
    for (const auto& c : casi) EXPECT_EQ(IntervalloPolling(c.polling, c.lettori), c.ms) << c.polling << "/" << c.lettori;

    test::Station s;
    s.setting("Polling", "100");
    aggiungiLettori(s, 8);
    auto& m = static_cast<FrmMain&>(s.start());
    EXPECT_EQ(s.app().NumeroLettori, 8);
    EXPECT_EQ(m.Timer1.Interval(), 125);
}

TEST(ReaderTable, RecordsFollowTheRowsAndDirectionIsExact) {
    test::Station s;
    for (const char* stato : {"In", "Out", "InOut", "out"}) aggiungiLettori(s, 1, stato);
    s.start();
    App& a = s.app();
    ASSERT_EQ(a.NumeroLettori, 4);
    EXPECT_EQ(a.Lettori[0].CodiceVerso, 1);
    EXPECT_EQ(a.Lettori[1].CodiceVerso, 0);
    EXPECT_EQ(a.Lettori[2].CodiceVerso, 2);
    EXPECT_EQ(a.Lettori[3].CodiceVerso, 2);
    EXPECT_EQ(a.Lettori[3].Stato, "out");
    EXPECT_EQ(a.Lettori[0].CodiceImpianto, 123);
    EXPECT_EQ(a.Lettori[0].SituatoPresso, "Ingresso");
    EXPECT_EQ(a.Lettori[0].Ritardo, 3);

    // A reload with fewer readers keeps the old record but no longer counts it.
    s.sql("DELETE FROM Lettori WHERE Stato = 'out'");
    CaricaLettori(a);
    EXPECT_EQ(a.NumeroLettori, 3);
    EXPECT_EQ(a.Lettori[3].Stato, "out");
}

TEST(MainWindow, SwitchesEnableSettingsOnlyWhenBothAreOff) {
    test::Station s;
    auto& m = static_cast<FrmMain&>(s.start());
    m.Command4.click();
    EXPECT_TRUE(s.app().PollingAttivo);
    EXPECT_TRUE(m.Timer1.running());
    EXPECT_EQ(m.Label1.BackColor(), colour::Green);
    EXPECT_FALSE(m.Command2.Enabled());
    m.Command6.click();
    EXPECT_EQ(m.Command6.Picture(), m.Image2[1].Picture);
    EXPECT_TRUE(m.Timer2.running());
    m.Command4.click();  // polling off, outputs still on
    EXPECT_FALSE(m.Timer1.running());
    EXPECT_EQ(m.Label1.BackColor(), colour::Red);
    EXPECT_FALSE(m.Command2.Enabled());
    EXPECT_FALSE(m.Command3.Enabled());
    m.Command6.click();
    EXPECT_EQ(m.Label2.BackColor(), colour::Red);
    EXPECT_EQ(m.Command6.Picture(), m.Image2[0].Picture);
    EXPECT_TRUE(m.Command2.Enabled());
    EXPECT_TRUE(m.Command3.Enabled());
}

TEST(MainWindow, PollingTickAnimatesAndWalksTheReaders) {
    test::Station s;
    aggiungiLettori(s, 3);
    auto& m = static_cast<FrmMain&>(s.start());
    m.Timer1.setInterval(0);  // only the ticks below
    App& a = s.app();
    for (int i = 0; i < 13; ++i) m.Timer1_Timer();  // switched off: the frames turn, no reader moves
    EXPECT_EQ(a.FotogrammaPolling, 0);
    EXPECT_EQ(a.LettoreCorrente, 1);
    m.Command4.click();
    m.Timer1_Timer();
    EXPECT_EQ(a.FotogrammaPolling, 1);
    EXPECT_EQ(m.Command4.Picture(), m.Image1[1].Picture);
    EXPECT_EQ(a.LettoreCorrente, 2);
    m.Timer1_Timer();
    m.Timer1_Timer();
    EXPECT_EQ(a.LettoreCorrente, 1);
    // After a reload with fewer readers the next tick starts again from reader 1.
    a.LettoreCorrente = 3;
    a.NumeroLettori = 2;
    m.Timer1_Timer();
    EXPECT_EQ(a.LettoreCorrente, 2);
}

TEST(MainWindow, TimerTicksComeFromTheEventLoop) {
    test::Station s;
    s.setting("Polling", "10");
    aggiungiLettori(s, 4);
    auto& m = static_cast<FrmMain&>(s.start());
    m.Command4.click();
    s.clock.quantum = 25;  // one interval per round
    for (int i = 0; i < 4; ++i) s.loop.doEvents();
    EXPECT_EQ(s.app().FotogrammaPolling, 4);
}

TEST(MainWindow, AdministrationButtonsOpenTheirWindowWithoutPassword) {
    const std::pair<const char*, const char*> casi[] = {
        {"Command1", "FrmCardsAbil"}, {"Command2", "FrmProgSetup"}, {"Command3", "FrmConfLettori"}, {"Command7", "FrmFunzAgg"}};
    for (auto [pulsante, finestra] : casi) {
        test::Station s;
        Form& m = s.start();
        m.Show();
        static_cast<CommandButton*>(m.control(pulsante))->click();
        EXPECT_FALSE(m.Visible()) << pulsante;
        ASSERT_TRUE(s.app().isLoaded(finestra)) << pulsante;
        EXPECT_TRUE(s.app().form(finestra).Visible()) << pulsante;
        s.app().form(finestra).close();
        EXPECT_TRUE(m.Visible()) << finestra << " brings the main window back";
    }
}

TEST(MainWindow, ClickBetweenThePasswordAndItsWindowOpensNothingElse) {
    test::Station s;
    const auto valore = CodificaPassword("segreta");
    ASSERT_TRUE(valore);
    ASSERT_TRUE(profile::writeString(SezionePassword, ChiavePassword, *valore, s.site.file("pswaccessi.txt")));
    auto& m = static_cast<FrmMain&>(s.start());
    m.Show();
    // The password is accepted, and before the handler that asked for it goes on, a yield (a
    // poll's wait) hands the operator's next click to the main window.
    s.loop.post([&] {
        s.app().form<FrmChkPassw>().text1.type("segreta\r");
        m.Command7.click();
    });
    m.Command1.click();
    EXPECT_TRUE(s.app().form("FrmCardsAbil").Visible());
    EXPECT_FALSE(s.app().isLoaded("FrmFunzAgg"));
    EXPECT_FALSE(m.Visible());
    s.app().form("FrmCardsAbil").close();
    EXPECT_TRUE(m.Visible());
    EXPECT_TRUE(m.Enabled());
}

TEST(MainWindow, ExitEndsTheProgram) {
    test::Station s;
    auto& m = static_cast<FrmMain&>(s.start());
    m.Show();
    EXPECT_THROW(m.Command5.click(), ProgramEnd);
    EXPECT_THROW(m.close(), ProgramEnd);
}

}  // namespace
}  // namespace vc
