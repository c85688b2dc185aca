#include <gtest/gtest.h>

#include <filesystem>

#include "support/stand_in.h"
#include "core/main/frm_main.h"
#include "core/main/frm_wait.h"
#include "core/schedule/imparziale.h"
#include "platform/profile.h"
#include "readers_admin/frm_funz_agg.h"
#include "readers_admin/lettori_in_linea.h"

namespace vc {
namespace {

constexpr int Avviso = mb::Exclamation, Info = mb::Information, Domanda = mb::YesNo | mb::Question;

class AltreOpzioni : public ::testing::Test {
protected:
    explicit AltreOpzioni(int lettori = 3) : linea(s, lettori) {}
    FrmFunzAgg& finestra() { return s.app().form<FrmFunzAgg>(); }
    FrmMain& principale() { return s.app().form<FrmMain>(); }
    long righe(const std::string& tabella) {
        return static_cast<long>(Database::open(s.site.file("Varcanto.mdb"))
                                     ->query("SELECT count(*) FROM " + tabella)[0][0].second.toInt());
    }
    // The windows this one opens stand in for themselves here.
    void finte(std::initializer_list<const char*> nomi) { test::standIns(s.app(), nomi); }

    test::Station s;
    test::LettoriInLinea linea;
};

class SenzaLettori : public AltreOpzioni {
protected:
    SenzaLettori() : AltreOpzioni(0) {}
};

TEST_F(AltreOpzioni, UsersReportGoesToThePreviewFromTheSiteTemplate) {
    s.sql("INSERT INTO Carte (Cognome, Nome, NumeroCarta, AbilitaCarta, Flag_online) VALUES "
          "('Verdi', 'Anna', '0002', 0, 1), ('Bianchi', 'Luca', '0001', 1, 0)");
    finestra().Command1.click();
    ASSERT_EQ(s.reports.rendered.size(), 1u);
    const ReportData& r = s.reports.rendered[0];
    EXPECT_EQ(r.title, "Archivio utenti");
    EXPECT_EQ(r.destination, 0);
    ASSERT_GE(r.columns.size(), 3u);
    EXPECT_EQ(r.columns[0].heading, "Carta");
    ASSERT_EQ(r.rows.size(), 2u);
    EXPECT_EQ(r.rows[0][0], "0001");
    EXPECT_EQ(r.rows[0][1], "Bianchi");
    EXPECT_EQ(r.rows[1][2], "Anna");
    const Report& report = principale().Report1;
    EXPECT_EQ(report.ReportFileName, s.site.file("Utenti.rpt"));
    EXPECT_EQ(report.DataFiles[0], s.site.file("Varcanto.mdb"));
}

TEST_F(AltreOpzioni, UsersReportWithoutUsersOrTemplate) {
    s.dialogs.expectMsg("Non ci sono utenti nel database.", Avviso, "Attenzione");
    finestra().Command1.click();
    s.sql("INSERT INTO Carte (Cognome, NumeroCarta) VALUES ('Rossi', '0001')");
    std::filesystem::remove(s.site.file("Utenti.rpt"));
    s.dialogs.expectMsg("Problemi con la stampante.", mb::Critical, "Errore");
    finestra().Command1.click();
    EXPECT_TRUE(s.reports.rendered.empty());
    EXPECT_TRUE(finestra().Enabled());
}

TEST_F(AltreOpzioni, RandomCheckOnDemand) {
    s.dialogs.expectMsg("L'imparziale non è stato attivato.", Avviso, "Messaggio");
    finestra().Command10.click();

    s.app().imp.FlagImparziale = true;
    s.app().imp.NumeroImparziale = 1;
    s.sql("INSERT INTO Fasce (Nome) VALUES ('Turno')");
    s.sql("INSERT INTO Carte (NumeroCarta, NomeFascia, Flag_online, AbilitaCarta) VALUES ('0001', 'Turno', 1, 1)");
    s.dialogs.onShow = [this](const test::ScriptedDialogs::Box&) {
        EXPECT_FALSE(s.app().isLoaded("FrmWait") && s.app().form("FrmWait").Visible());
    };
    s.dialogs.expectMsg("Operazione completata.", Info, "Messaggio");
    finestra().Command10.click();
    EXPECT_EQ(righe("Carte WHERE Imparziale <> 0"), 1);
    EXPECT_EQ(test::control<Label>(s.app(), "FrmWait", "Label1").Caption(), "ATTENDERE PREGO");

    // With no schedule nothing can be drawn, and the marks stay cleared.
    s.sql("DELETE FROM Fasce");
    s.dialogs.expectMsg(ImparzialeImpossibile, mb::Critical, "Errore");
    finestra().Command10.click();
    EXPECT_EQ(righe("Carte WHERE Imparziale <> 0"), 0);
}

TEST_F(AltreOpzioni, ClicksDuringTheDrawsAreIgnored) {
    s.app().imp.FlagImparziale = true;
    s.app().imp.NumeroImparziale = 1;
    for (const char* turno : {"Giorno", "Notte"}) {
        s.sql(std::string("INSERT INTO Fasce (Nome) VALUES ('") + turno + "')");
        for (int k = 0; k < 3; ++k)
            s.sql(std::string("INSERT INTO Carte (NumeroCarta, NomeFascia, Flag_online, AbilitaCarta) VALUES ('000") +
                  std::to_string(k) + "', '" + turno + "', 1, 1)");
    }
    for (CommandButton FrmFunzAgg::*pulsante : {&FrmFunzAgg::Command10, &FrmFunzAgg::Command4}) {
        FrmFunzAgg& f = finestra();
        s.loop.post([&] { (f.*pulsante).click(); });
        s.dialogs.expectMsg("Operazione completata.", Info, "Messaggio");
        f.Command10.click();
        EXPECT_EQ(righe("Carte WHERE Imparziale <> 0"), 2);
        EXPECT_TRUE(f.loaded() && f.Enabled());
        EXPECT_TRUE(s.dialogs.allAnswered());
    }
}

// The daily run comes due while the one asked for is drawing: it must not draw on top of it.
TEST_F(AltreOpzioni, TheDailyRunDoesNotDrawInsideTheRunAskedFor) {
    Impostazioni& imp = s.app().imp;
    imp.FlagImparziale = imp.FlagScattareAdOrario = true;
    imp.NumeroImparziale = 1;
    s.clock.set({2026, 12, 10, 9, 30, 0});
    imp.OrarioImparziale = "09:30";
    s.sql("INSERT INTO Fasce (Nome) VALUES ('Turno')");
    for (int k = 0; k < 4; ++k)
        s.sql("INSERT INTO Carte (NumeroCarta, NomeFascia, Flag_online, AbilitaCarta) VALUES ('000" +
              std::to_string(k) + "', 'Turno', 1, 1)");
    FrmMain& m = principale();
    s.loop.post([&] { m.Timer3.fire(); });
    s.dialogs.expectMsg("Operazione completata.", Info, "Messaggio");
    finestra().Command10.click();
    EXPECT_EQ(righe("Carte WHERE Imparziale <> 0"), 1);
    EXPECT_TRUE(s.dialogs.allAnswered());
    // Once the run is over, the daily one draws again.
    m.Timer3.fire();
    EXPECT_EQ(righe("Carte WHERE Imparziale <> 0"), 1);
    EXPECT_FALSE(s.app().form("FrmWait").Visible());
}

TEST_F(AltreOpzioni, AntiPassBackReset) {
    struct Caso {
        const char* nome;
        int presenti;
        int risposta;  // 0: no question expected
        bool azzerato;
    } casi[] = {
        {"confirmed", 2, mb::Yes, true},
        {"declined", 2, mb::No, false},
        {"nobody counted, rows left", 0, 0, false},
    };
    for (const auto& c : casi) {
        SCOPED_TRACE(c.nome);
        s.sql("DELETE FROM presenti");
        s.sql("INSERT INTO presenti (NumeroBadge) VALUES ('0001'), ('0002')");
        s.app().imp.UtentiPresenti = c.presenti;
        s.setting("Utenti", std::to_string(c.presenti));
        principale().Label4.setCaption(std::to_string(c.presenti));
        principale().Label3.setCaption("Accesso consentito");
        FrmFunzAgg& f = finestra();
        const std::string nessuno = f.Image1.Picture, qualcuno = f.Image2.Picture;
        EXPECT_NE(nessuno, qualcuno);
        EXPECT_EQ(f.Command5.Picture(), c.presenti ? qualcuno : nessuno);
        if (c.risposta) {
            s.dialogs.expectMsg("Confermi l'azzeramento dell'antipass-back ?", Domanda, "Domanda", c.risposta);
            if (c.azzerato) s.dialogs.expectMsg("Operazione completata.", Info, "Messaggio");
        } else {
            s.dialogs.expectMsg("L'antipass-back è già azzerato.", Info, "Messaggio");
        }
        f.Command5.click();
        EXPECT_EQ(righe("presenti"), c.azzerato ? 0 : 2);
        const int attesi = c.azzerato ? 0 : c.presenti;
        EXPECT_EQ(s.app().imp.UtentiPresenti, attesi);
        EXPECT_EQ(profile::read("Impostazioni", "Utenti", "", 10, s.site.file("Accessi.ini")), std::to_string(attesi));
        EXPECT_EQ(principale().Label4.Caption(), std::to_string(attesi));
        EXPECT_EQ(principale().Label3.Caption(), c.azzerato ? "" : "Accesso consentito");
        EXPECT_EQ(f.Command5.Picture(), attesi ? qualcuno : nessuno);
        f.Unload();
    }
}

TEST_F(AltreOpzioni, EraseSendsE01ToEveryReaderAfterAPause) {
    bool occupata = false;
    linea.durante = [&] {
        occupata = !finestra().Enabled() && s.app().isLoaded("FrmWait") && s.app().form("FrmWait").Visible();
    };
    s.dialogs.expectMsg("Sei sicuro di eliminare dai tutti i lettori lo storico delle transazioni ?", Domanda,
                        "Domanda", mb::Yes);
    s.dialogs.expectMsg("Cancellazione effettuata.", Info, "Messaggio");
    const std::int64_t inizio = s.clock.monotonicMs();
    finestra().Command7.click();
    EXPECT_EQ(linea.comandi, (std::vector<std::string>{"01000123E01", "02000123E01", "03000123E01"}));
    EXPECT_GE(linea.istanti[0] - inizio, 100);
    EXPECT_TRUE(occupata);
    EXPECT_TRUE(finestra().Enabled());
    EXPECT_FALSE(s.app().isLoaded("FrmWait"));

    // Declined: nothing is sent and nothing is said.
    linea.comandi.clear();
    s.dialogs.expectMsg("Sei sicuro di eliminare dai tutti i lettori lo storico delle transazioni ?", Domanda,
                        "Domanda", mb::No);
    finestra().Command7.click();
    EXPECT_TRUE(linea.comandi.empty());
}

TEST_F(AltreOpzioni, EraseStopsAtTheFirstReaderThatFails) {
    for (const char* risposta : {"02C", "02D", ""}) {
        SCOPED_TRACE(risposta);
        linea.comandi.clear();
        linea.risposta = [risposta](const std::string& t) { return t.substr(0, 2) == "02" ? risposta : t.substr(0, 2) + "S"; };
        s.dialogs.expectMsg("Sei sicuro di eliminare dai tutti i lettori lo storico delle transazioni ?", Domanda,
                            "Domanda", mb::Yes);
        s.dialogs.expectMsg("Errore di comunicazione.", Avviso, "Lettore 2 - situato presso PORTA2");
        finestra().Command7.click();
        EXPECT_EQ(linea.comandi, (std::vector<std::string>{"01000123E01", "02000123E01"}));
        EXPECT_TRUE(finestra().Enabled());
        EXPECT_TRUE(finestra().Visible());
        EXPECT_FALSE(s.app().isLoaded("FrmWait"));
    }
}

// Each reader in turn in the wait window; "Annulla" lets the erase under way end, then says how
// many readers were erased and that the others keep their transits.
TEST_F(AltreOpzioni, EraseShowsTheReaderUnderWayAndStopsAtAnnulla) {
    std::vector<std::string> mostrati;
    linea.durante = [&] {
        mostrati.push_back(s.app().form<FrmWait>().Label2.Caption());
        if (linea.comandi.size() == 2) s.loop.post([this] { s.app().form<FrmWait>().Command1.click(); });
    };
    s.dialogs.expectMsg("Sei sicuro di eliminare dai tutti i lettori lo storico delle transazioni ?", Domanda,
                        "Domanda", mb::Yes);
    s.dialogs.expectMsg("Cancellazione interrotta.\r\nLettori con lo storico cancellato: 2 su 3; lo storico degli "
                        "altri lettori è rimasto nella loro memoria.",
                        Info, "Messaggio");
    finestra().Command7.click();
    EXPECT_EQ(linea.comandi, (std::vector<std::string>{"01000123E01", "02000123E01"}));
    EXPECT_EQ(mostrati, (std::vector<std::string>{"Lettore 1 di 3 - situato presso PORTA1",
                                                  "Lettore 2 di 3 - situato presso PORTA2"}));
    EXPECT_TRUE(finestra().Enabled() && finestra().Visible());
    EXPECT_FALSE(s.app().isLoaded("FrmWait"));
}

// The window is disabled behind the wait window during these runs; its title-bar close used to
// take the operator back to the main window while the run went on.
TEST_F(AltreOpzioni, ATitleBarCloseDuringARunIsIgnored) {
    struct Caso {
        const char* nome;
        CommandButton FrmFunzAgg::*pulsante;
        bool chiede;  // the erase asks first
        const char* fine;
    } casi[] = {
        {"Upload carte", &FrmFunzAgg::Command6, false, "Programmazione effettuata."},
        {"Elimina storico", &FrmFunzAgg::Command7, true, "Cancellazione effettuata."},
    };
    s.sql("INSERT INTO Carte (NumeroCarta, AbilitaCarta, Flag_online, SceltaFascia, Lettore) VALUES ('0001', 1, 0, 0, '1')");
    principale().Hide();
    FrmFunzAgg& f = finestra();
    f.Show();
    linea.durante = [&] {
        if (linea.comandi.size() == 1) s.loop.post([&] { f.close(); });
    };
    for (const auto& c : casi) {
        SCOPED_TRACE(c.nome);
        linea.comandi.clear();
        if (c.chiede)
            s.dialogs.expectMsg("Sei sicuro di eliminare dai tutti i lettori lo storico delle transazioni ?", Domanda,
                                "Domanda", mb::Yes);
        s.dialogs.expectMsg(c.fine, Info, "Messaggio");
        (f.*c.pulsante).click();
        EXPECT_EQ(linea.comandi.size(), 3u);
        ASSERT_TRUE(f.loaded());
        EXPECT_TRUE(f.Visible() && f.Enabled());
        EXPECT_FALSE(principale().Visible());
    }
}

TEST_F(AltreOpzioni, LineOperationsRefuseWhilePollingOrOutputsRun) {
    s.sql("INSERT INTO Carte (NumeroCarta, Lettore) VALUES ('0001', '111')");
    struct Stato {
        bool polling, output;
        const char* messaggio;
    } stati[] = {
        {true, true, "Disabilitare prima il polling."},
        {false, true, "Disabilitare prima l'output automatico."},
    };
    finte({"FrmFasceOnline"});
    for (const auto& st : stati)
        for (CommandButton FrmFunzAgg::*bottone :
             {&FrmFunzAgg::Command2, &FrmFunzAgg::Command6, &FrmFunzAgg::Command7, &FrmFunzAgg::Command8}) {
            SCOPED_TRACE(st.messaggio + std::string(" ") + (finestra().*bottone).name());
            s.app().PollingAttivo = st.polling;
            s.app().OutputAutomatico = st.output;
            s.dialogs.expectMsg(st.messaggio, Avviso, "Messaggio");
            (finestra().*bottone).click();
            EXPECT_TRUE(finestra().Enabled());
            EXPECT_TRUE(finestra().loaded());
        }
    EXPECT_TRUE(linea.comandi.empty());
    EXPECT_FALSE(s.app().isLoaded("FrmDownLoad"));
    EXPECT_FALSE(s.app().isLoaded("FrmFasceOnline"));
}

TEST_F(SenzaLettori, ReaderOperationsNeedReaders) {
    s.sql("INSERT INTO Carte (NumeroCarta) VALUES ('0001')");
    for (CommandButton FrmFunzAgg::*bottone : {&FrmFunzAgg::Command2, &FrmFunzAgg::Command6, &FrmFunzAgg::Command7}) {
        s.dialogs.expectMsg("Non ci sono lettori.", Avviso, "Attenzione");
        (finestra().*bottone).click();
    }
    EXPECT_FALSE(s.app().isLoaded("FrmDownLoad"));
}

TEST_F(AltreOpzioni, OpensTheOtherWindowsAndGoesBack) {
    finte({"FrmViewStoria", "FrmFasceOnline", "FrmGestPassw"});
    FrmMain& m = principale();
    m.Hide();
    finestra().Show();

    s.app().PollingAttivo = true;  // the history needs no free line
    finestra().Command3.click();
    EXPECT_TRUE(s.app().form("FrmViewStoria").Visible());
    EXPECT_TRUE(finestra().Visible() && finestra().Enabled());
    s.app().PollingAttivo = false;

    finestra().Command2.click();
    EXPECT_TRUE(s.app().form("FrmDownLoad").Visible());
    EXPECT_FALSE(finestra().Enabled());
    s.app().form("FrmDownLoad").Unload();
    finestra().setEnabled(true);

    s.app().FasceDaCarte = true;
    finestra().Command8.click();
    EXPECT_FALSE(s.app().FasceDaCarte);
    EXPECT_TRUE(s.app().form("FrmFasceOnline").Visible());
    EXPECT_FALSE(finestra().Visible());
    finestra().Show();

    finestra().Command9.click();
    EXPECT_TRUE(s.app().form("FrmGestPassw").Visible());
    EXPECT_FALSE(finestra().Visible());
    finestra().Show();

    m.setEnabled(false);
    finestra().Command4.click();
    EXPECT_FALSE(s.app().isLoaded("FrmFunzAgg"));
    EXPECT_TRUE(m.Visible() && m.Enabled());

    // Closing the window is the same way back.
    m.Hide();
    finestra().Show();
    finestra().close();
    EXPECT_FALSE(s.app().isLoaded("FrmFunzAgg"));
    EXPECT_TRUE(m.Visible());
}

// A title-bar close queued while the window was up reaches it after it made way for a
// companion window: the main window must not come back beside that companion.
TEST_F(AltreOpzioni, ACloseThatArrivesAfterTheWindowMadeWayIsIgnored) {
    finte({"FrmFasceOnline", "FrmGestPassw"});
    struct Caso {
        const char* nome;
        CommandButton FrmFunzAgg::*pulsante;
        const char* compagna;
    } casi[] = {{"passwords", &FrmFunzAgg::Command9, "FrmGestPassw"}, {"schedules", &FrmFunzAgg::Command8, "FrmFasceOnline"}};
    for (const auto& c : casi) {
        SCOPED_TRACE(c.nome);
        principale().Hide();
        FrmFunzAgg& f = finestra();
        f.Show();
        s.loop.post([&] { (f.*c.pulsante).click(); });
        s.loop.post([&] { f.close(); });
        s.loop.doEvents();
        EXPECT_TRUE(s.app().form(c.compagna).Visible());
        EXPECT_TRUE(f.loaded());
        EXPECT_FALSE(principale().Visible());
        s.app().form(c.compagna).Unload();
    }
}

}  // namespace
}  // namespace vc
