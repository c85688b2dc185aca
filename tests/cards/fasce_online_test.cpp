#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "cards/frm_fasce_online.h"
#include "support/stand_in.h"
#include "support/fakes.h"

namespace vc {
namespace {

constexpr int Avviso = mb::Exclamation;

class SchedulesWindow : public ::testing::Test {
protected:
    SchedulesWindow() {
        // The openers stand in as empty windows: only what this window does to them is looked at.
        test::standIns(s.app(), {"FrmCardsAbil", "FrmFunzAgg"});
    }

    // A schedule whose Monday (when enabled) runs from 'da' to 'a'.
    void fascia(const std::string& nome, bool lunedi = false, const std::string& da = "##:##",
                const std::string& a = "##:##") {
        s.sql("INSERT INTO Fasce (Nome, Lunedi, Lun_1_da, Lun_1_a) VALUES (" + sqlQuote(nome) + ", " +
              (lunedi ? "1" : "0") + ", " + sqlQuote(da) + ", " + sqlQuote(a) + ")");
    }
    // A card carrying a schedule copy of its own: Tuesday on, Monday 07:00-09:00, Flag_fasce set.
    void carta(const std::string& numero, const std::string& nomeFascia) {
        s.sql("INSERT INTO Carte (NumeroCarta, NomeFascia, Flag_fasce, Martedi, Lun_1_da, Lun_1_a) VALUES (" +
              sqlQuote(numero) + ", " + (nomeFascia == "NULL" ? "NULL" : sqlQuote(nomeFascia)) +
              ", 1, 1, '07:00', '09:00')");
    }
    // One value of the site database.
    std::string valore(const std::string& query) {
        return Database::open(s.site.file("Varcanto.mdb"))->query(query).at(0).at(0).second.str();
    }
    // The schedules' names in record order.
    std::string nomi() { return valore("SELECT group_concat(Nome) FROM (SELECT Nome FROM Fasce ORDER BY rowid)"); }
    std::string schedaCarta(const std::string& numero) {
        return valore("SELECT NomeFascia || '|' || Flag_fasce || Lunedi || Martedi || '|' || Lun_1_da || '-' || "
                      "Lun_1_a || '|' || Dom_2_a FROM Carte WHERE NumeroCarta = " + sqlQuote(numero));
    }
    FrmFasceOnline& apri(bool daCarte = false) {
        s.app().FasceDaCarte = daCarte;
        auto& w = s.app().form<FrmFasceOnline>();
        w.Show();
        return w;
    }
    // Starts a new schedule named 'nome' with Monday ticked from 'da' to 'a'.
    void nuova(FrmFasceOnline& w, const std::string& nome, const std::string& da, const std::string& a) {
        w.Command1.click();
        w.Text5.type(nome);
        w.Check1[0].click();
        w.text1[0].retype(da);
        w.Text2[0].retype(a);
    }
    bool orariAbilitati(FrmFasceOnline& w, int i) {
        return w.text1[i].Enabled() && w.Text2[i].Enabled() && w.Text3[i].Enabled() && w.Text4[i].Enabled();
    }
    bool tuttiOrariAbilitati(FrmFasceOnline& w) {
        for (int i = 0; i < 7; ++i)
            if (!orariAbilitati(w, i)) return false;
        return true;
    }
    void attendeSoloChiusa(FrmFasceOnline& w) {
        EXPECT_FALSE(s.app().isLoaded("FrmWait"));
        EXPECT_TRUE(w.Enabled());
    }

    test::Station s;
};

TEST_F(SchedulesWindow, EmptyTableShowsAnEmptyReadOnlyWindow) {
    auto& w = apri();
    EXPECT_EQ(w.Caption(), "Varcanto - giorni e fasce orarie on line");
    EXPECT_EQ(w.Frame4.Caption(), "Database");
    EXPECT_EQ(w.Label5.Caption(), "0");
    EXPECT_EQ(w.Text5.Text(), "");
    EXPECT_FALSE(w.Command2.Enabled());
    EXPECT_FALSE(w.Command3.Enabled());
    EXPECT_FALSE(w.Frame1.Enabled());
    EXPECT_FALSE(w.Frame3.Enabled());
    for (auto* nav : {&w.Command5, &w.Command6, &w.Command7, &w.Command8}) {
        EXPECT_TRUE(nav->Enabled());
        nav->click();
    }
    EXPECT_EQ(w.Label5.Caption(), "0");
    attendeSoloChiusa(w);
}

TEST_F(SchedulesWindow, ShowsARecordReadOnlyWithTheTickRule) {
    s.sql("INSERT INTO Fasce (Nome, Lunedi, Martedi, Lun_1_da, Lun_1_a, Mer_2_da) "
          "VALUES (' Turno A ', 1, NULL, '08:00', '12:00', '##:##')");
    fascia("Turno B");
    auto& w = apri();
    EXPECT_EQ(w.Label5.Caption(), "1 / 2");
    EXPECT_EQ(w.Text5.Text(), " Turno A ");  // as stored
    EXPECT_EQ(w.Check1[0].Value(), 1);
    EXPECT_EQ(w.Check1[1].Value(), 0);  // a Null flag is off
    EXPECT_EQ(w.text1[0].Text(), "08:00");
    EXPECT_EQ(w.Text2[0].Text(), "12:00");
    EXPECT_EQ(w.Text3[2].Text(), "##:##");
    EXPECT_TRUE(orariAbilitati(w, 0));
    EXPECT_TRUE(orariAbilitati(w, 1));  // a tick that never changed leaves its boxes alone
    EXPECT_FALSE(w.text1[0].effectivelyEnabled());  // the frame keeps them read-only
    EXPECT_TRUE(w.Command2.Enabled());
    EXPECT_TRUE(w.Command3.Enabled());
    w.Command7.click();
    EXPECT_EQ(w.Check1[0].Value(), 0);
    EXPECT_FALSE(orariAbilitati(w, 0));
    w.Command5.click();
    EXPECT_TRUE(orariAbilitati(w, 0));
}

TEST_F(SchedulesWindow, NavigationCountsPositionsAndStopsAtTheEnds) {
    for (const char* nome : {"Uno", "Due", "Tre"}) fascia(nome);
    auto& w = apri();
    struct Passo {
        CommandButton FrmFasceOnline::*bottone;
        const char* contatore;
        const char* nome;
    } passi[] = {
        {&FrmFasceOnline::Command6, "1 / 3", "Uno"},  // previous at the first does nothing
        {&FrmFasceOnline::Command5, "1 / 3", "Uno"},
        {&FrmFasceOnline::Command7, "2 / 3", "Due"},
        {&FrmFasceOnline::Command8, "3 / 3", "Tre"},
        {&FrmFasceOnline::Command7, "3 / 3", "Tre"},  // next at the last does nothing
        {&FrmFasceOnline::Command8, "3 / 3", "Tre"},
        {&FrmFasceOnline::Command6, "2 / 3", "Due"},
        {&FrmFasceOnline::Command5, "1 / 3", "Uno"},
    };
    for (const auto& p : passi) {
        (w.*p.bottone).click();
        EXPECT_EQ(w.Label5.Caption(), p.contatore);
        EXPECT_EQ(w.Text5.Text(), p.nome);
    }
}

TEST_F(SchedulesWindow, NewEntryStartsBlankAndCancelReturnsToTheRecordShown) {
    for (const char* nome : {"Uno", "Due"}) fascia(nome, true, "08:00", "12:00");
    auto& w = apri();
    w.Command7.click();
    w.Command1.click();
    EXPECT_EQ(w.Command1.Caption(), "Annulla");
    EXPECT_EQ(w.Command2.Caption(), "Salva nuovo");
    EXPECT_EQ(w.Label5.Caption(), "Nuovo");
    for (auto* c : {&w.Command3, &w.Command4, &w.Command5, &w.Command6, &w.Command7, &w.Command8})
        EXPECT_FALSE(c->Enabled());
    EXPECT_TRUE(w.Frame1.Enabled());
    EXPECT_TRUE(w.Frame3.Enabled());
    EXPECT_EQ(w.Text5.Text(), "");
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(w.Check1[i].Value(), 0);
        EXPECT_EQ(w.Text4[i].Text(), "##:##");
        EXPECT_FALSE(orariAbilitati(w, i)) << i;  // Monday was ticked: its boxes close too
    }
    w.Check1[3].click();
    EXPECT_TRUE(orariAbilitati(w, 3));
    w.Text5.type("Tre");

    w.Command1.click();
    EXPECT_EQ(w.Command1.Caption(), "Nuovo");
    EXPECT_EQ(w.Command2.Caption(), "Modifica");
    EXPECT_EQ(w.Label5.Caption(), "2 / 2");
    EXPECT_EQ(w.Text5.Text(), "Due");
    EXPECT_EQ(w.Check1[0].Value(), 1);
    EXPECT_EQ(w.Check1[3].Value(), 0);
    EXPECT_TRUE(tuttiOrariAbilitati(w));  // all open again; the frame keeps them read-only
    EXPECT_FALSE(w.Frame1.Enabled());
    for (auto* c : {&w.Command1, &w.Command2, &w.Command3, &w.Command4, &w.Command5, &w.Command8})
        EXPECT_TRUE(c->Enabled());
    EXPECT_EQ(valore("SELECT count(*) FROM Fasce"), "2");
    attendeSoloChiusa(w);
}

TEST_F(SchedulesWindow, CancellingANewEntryOnAnEmptyTableClearsTheWindow) {
    auto& w = apri();
    w.Command1.click();
    w.Text5.type("X");
    w.Command1.click();
    EXPECT_EQ(w.Label5.Caption(), "0");
    EXPECT_EQ(w.Text5.Text(), "");
    EXPECT_EQ(w.text1[0].Text(), "");
    EXPECT_FALSE(w.Command2.Enabled());
    EXPECT_FALSE(w.Command3.Enabled());
    EXPECT_FALSE(w.Frame3.Enabled());
}

TEST_F(SchedulesWindow, EditCancelDiscardsWhatWasTyped) {
    for (const char* nome : {"Uno", "Due", "Tre"}) fascia(nome, true, "08:00", "12:00");
    auto& w = apri();
    w.Command7.click();
    w.Command2.click();
    EXPECT_EQ(w.Command1.Caption(), "Annulla");
    EXPECT_EQ(w.Command2.Caption(), "Salva modifica");
    EXPECT_EQ(w.Label5.Caption(), "Modifica...");
    EXPECT_TRUE(w.Frame1.Enabled());
    w.Text5.retype("Cambiato");
    w.text1[0].retype("09:30");
    w.Command1.click();
    EXPECT_EQ(w.Label5.Caption(), "2 / 3");
    EXPECT_EQ(w.Text5.Text(), "Due");
    EXPECT_EQ(w.text1[0].Text(), "08:00");
    EXPECT_EQ(nomi(), "Uno,Due,Tre");
}

TEST_F(SchedulesWindow, ValidationReportsInOrderAndKeepsTheEntry) {
    struct Caso {
        const char* nome;
        std::function<void(FrmFasceOnline&)> scrivi;
        std::vector<const char*> messaggi;
    } casi[] = {
        {"empty name first", [](FrmFasceOnline& w) { w.Text5.setText(""); w.text1[0].setText("x"); },
         {"Bisogna riempire il campo NOME."}},
        {"every bad time of the day, then the day",
         [](FrmFasceOnline& w) { w.text1[0].setText("8:00"); w.Text2[0].setText("25:00"); },
         {"Formato dell'orario HH:MM", "Errore nell'orario.", "Controllare il giorno LUNEDI'."}},
        {"an unticked day is checked too", [](FrmFasceOnline& w) { w.Text4[6].setText("24:00"); },
         {"Errore nell'orario.", "Controllare il giorno DOMENICA."}},
        {"band 2 out of order",
         [](FrmFasceOnline& w) {
             w.text1[2].setText("08:00"); w.Text2[2].setText("12:00");
             w.Text3[2].setText("14:00"); w.Text4[2].setText("13:00");
         },
         {"Errore nell'orario.", "Controllare il giorno MERCOLEDI'."}},
        {"a band half set, both bands checked",
         [](FrmFasceOnline& w) { w.text1[4].setText("08:00"); w.Text4[4].setText("18:00"); },
         {"Errore nell'orario.", "Errore nell'orario.", "Controllare il giorno VENERDI'."}},
        {"times of every day before any band order",
         [](FrmFasceOnline& w) {
             w.text1[0].setText("12:00"); w.Text2[0].setText("08:00");
             w.Text3[1].setText("ab:cd");
         },
         {"Formato dell'orario HH:MM", "Controllare il giorno MARTEDI'."}},
    };
    auto& w = apri();
    for (const auto& c : casi) {
        SCOPED_TRACE(c.nome);
        w.Command1.click();
        w.Text5.type("Turno");
        c.scrivi(w);
        for (const char* m : c.messaggi) s.dialogs.expectMsg(m, Avviso, "Attenzione");
        w.Command2.click();
        EXPECT_TRUE(s.dialogs.allAnswered());
        EXPECT_EQ(w.Command2.Caption(), "Salva nuovo");
        EXPECT_EQ(w.Label5.Caption(), "Nuovo");
        w.Command1.click();
    }
    EXPECT_EQ(valore("SELECT count(*) FROM Fasce"), "0");
}

TEST_F(SchedulesWindow, SavedNewScheduleComesLastAndIsCopiedIntoItsCards) {
    fascia("Uno");
    carta("0001", "Notte");
    carta("0002", "  Notte ");
    carta("0003", "notte");
    carta("0004", "NULL");
    carta("0005", "");
    auto& w = apri();
    nuova(w, " Notte", "22:00", "23:59");
    w.Text3[0].retype("00:00");  // band 2 starts at midnight
    w.Text4[0].retype("06:00");
    // A second click while the save waits must not add the schedule twice.
    s.loop.post([&w] { w.Command2.click(); });
    w.Command2.click();

    EXPECT_EQ(w.Label5.Caption(), "2 / 2");
    EXPECT_EQ(w.Command1.Caption(), "Nuovo");
    EXPECT_EQ(w.Command2.Caption(), "Modifica");
    EXPECT_EQ(w.Text5.Text(), " Notte");
    EXPECT_TRUE(tuttiOrariAbilitati(w));
    attendeSoloChiusa(w);
    EXPECT_EQ(valore("SELECT count(*) FROM Fasce"), "2");
    EXPECT_EQ(valore("SELECT Nome || '|' || Quanti || Lunedi || Martedi || '|' || Lun_1_da || Lun_2_a || Dom_1_da "
                     "FROM Fasce WHERE rowid = 2"),
              " Notte|010|22:0006:00##:##");
    EXPECT_EQ(schedaCarta("0001"), "Notte|110|22:00-23:59|##:##");
    EXPECT_EQ(schedaCarta("0002"), "  Notte |110|22:00-23:59|##:##");  // blanks at both ends ignored
    EXPECT_EQ(schedaCarta("0003"), "notte|101|07:00-09:00|##:##");    // letter case counts
    EXPECT_EQ(schedaCarta("0005"), "|101|07:00-09:00|##:##");
    EXPECT_EQ(valore("SELECT Lun_1_da FROM Carte WHERE NumeroCarta = '0004'"), "07:00");
}

TEST_F(SchedulesWindow, EditSaveStaysAtItsPositionAndARenameLeavesTheCards) {
    for (const char* nome : {"Uno", "Due", "Tre"}) fascia(nome, true, "08:00", "12:00");
    carta("0001", "Due");
    carta("0002", "Tre");
    auto& w = apri();
    w.Command7.click();
    w.Command2.click();
    w.Check1[6].click();
    w.Text2[0].retype("13:00");
    w.Command2.click();
    EXPECT_EQ(w.Label5.Caption(), "2 / 3");
    EXPECT_EQ(w.Text5.Text(), "Due");
    EXPECT_EQ(w.Text2[0].Text(), "13:00");
    EXPECT_EQ(w.Check1[6].Value(), 1);
    EXPECT_EQ(schedaCarta("0001"), "Due|110|08:00-13:00|##:##");
    EXPECT_EQ(valore("SELECT Domenica FROM Carte WHERE NumeroCarta = '0001'"), "1");

    w.Command7.click();
    w.Command2.click();
    w.Text5.retype("Tre bis");
    w.text1[0].retype("10:00");
    w.Command2.click();
    EXPECT_EQ(w.Label5.Caption(), "3 / 3");
    EXPECT_EQ(valore("SELECT Nome || Quanti FROM Fasce WHERE rowid = 3"), "Tre bis0");
    EXPECT_EQ(schedaCarta("0002"), "Tre|101|07:00-09:00|##:##");
}

TEST_F(SchedulesWindow, BlankNameIsSavedAndMatchesTheCardsWithoutASchedule) {
    carta("0001", "");
    carta("0002", "Giorno");
    auto& w = apri();
    nuova(w, "   ", "08:00", "17:00");
    w.Command2.click();
    EXPECT_EQ(valore("SELECT '[' || Nome || ']' FROM Fasce"), "[   ]");
    EXPECT_EQ(schedaCarta("0001"), "|110|08:00-17:00|##:##");  // name and flag stay as they were
    EXPECT_EQ(schedaCarta("0002"), "Giorno|101|07:00-09:00|##:##");
}

TEST_F(SchedulesWindow, DeleteAsksAndStripsTheScheduleFromItsCards) {
    for (const char* nome : {"Uno", "Due", "Tre"}) fascia(nome, true, "08:00", "12:00");
    carta("0001", " Due");
    carta("0002", "Uno");
    auto& w = apri();
    w.Command7.click();
    const char* domanda = "Sei sicuro di voler cancellare questa fascia oraria ?";
    s.dialogs.expectMsg(domanda, mb::YesNo | mb::Question, "Domanda", mb::No);
    w.Command3.click();
    EXPECT_EQ(w.Label5.Caption(), "2 / 3");
    EXPECT_EQ(valore("SELECT count(*) FROM Fasce"), "3");

    s.dialogs.expectMsg(domanda, mb::YesNo | mb::Question, "Domanda", mb::Yes);
    w.Command3.click();
    EXPECT_EQ(w.Label5.Caption(), "1 / 2");
    EXPECT_EQ(w.Text5.Text(), "Uno");
    EXPECT_EQ(nomi(), "Uno,Tre");
    EXPECT_EQ(schedaCarta("0001"), "|000|##:##-##:##|##:##");
    EXPECT_EQ(schedaCarta("0002"), "Uno|101|07:00-09:00|##:##");
    attendeSoloChiusa(w);
}

TEST_F(SchedulesWindow, DeletingTheOnlyScheduleLeavesTheWindowEmpty) {
    fascia("Unica");
    auto& w = apri();
    s.dialogs.expectMsg("Sei sicuro di voler cancellare questa fascia oraria ?", mb::YesNo | mb::Question,
                        "Domanda", mb::Yes);
    w.Command3.click();
    EXPECT_EQ(w.Label5.Caption(), "0");
    EXPECT_EQ(w.Text5.Text(), "");
    EXPECT_FALSE(w.Command2.Enabled());
    EXPECT_FALSE(w.Command3.Enabled());
    EXPECT_TRUE(w.Command1.Enabled());
    EXPECT_TRUE(w.Command4.Enabled());
    EXPECT_EQ(valore("SELECT count(*) FROM Fasce"), "0");
}

TEST_F(SchedulesWindow, DatabaseFailuresAreReportedAndAScheduleAndItsCardsChangeTogether) {
    fascia("Uno");
    carta("0001", "Due");
    s.sql("CREATE TRIGGER blocca BEFORE INSERT ON Fasce BEGIN SELECT RAISE(ABORT, 'bloccato'); END");
    auto& w = apri();
    nuova(w, "Due", "08:00", "12:00");
    s.dialogs.expectMsgStartingWith("Errore del database: ", mb::Critical, "Errore");
    w.Command2.click();
    EXPECT_EQ(w.Command2.Caption(), "Salva nuovo");  // nothing written: the entry stays
    EXPECT_EQ(w.Text5.Text(), "Due");
    attendeSoloChiusa(w);

    // The cards cannot take the copy: the schedule is not written either, and the entry stays to
    // be saved again once the cards can be written.
    s.sql("DROP TRIGGER blocca");
    s.sql("CREATE TRIGGER blocca BEFORE UPDATE ON Carte BEGIN SELECT RAISE(ABORT, 'bloccato'); END");
    s.dialogs.expectMsgStartingWith("Errore del database: ", mb::Critical, "Errore");
    w.Command2.click();
    EXPECT_EQ(w.Command2.Caption(), "Salva nuovo");
    EXPECT_EQ(nomi(), "Uno");
    EXPECT_EQ(schedaCarta("0001"), "Due|101|07:00-09:00|##:##");
    attendeSoloChiusa(w);
    s.sql("DROP TRIGGER blocca");
    w.Command2.click();
    EXPECT_EQ(w.Label5.Caption(), "2 / 2");
    EXPECT_EQ(w.Command2.Caption(), "Modifica");
    EXPECT_EQ(nomi(), "Uno,Due");
    EXPECT_EQ(schedaCarta("0001"), "Due|110|08:00-12:00|##:##");

    // An edit whose cards cannot be written leaves the schedule as it was.
    s.sql("CREATE TRIGGER blocca BEFORE UPDATE ON Carte BEGIN SELECT RAISE(ABORT, 'bloccato'); END");
    w.Command2.click();
    w.Text2[0].retype("13:00");
    s.dialogs.expectMsgStartingWith("Errore del database: ", mb::Critical, "Errore");
    w.Command2.click();
    EXPECT_EQ(w.Command2.Caption(), "Salva modifica");
    EXPECT_EQ(valore("SELECT Lun_1_a FROM Fasce WHERE Nome = 'Due'"), "12:00");

    // Nor is a schedule deleted while its cards keep it: it stays, shown and current.
    w.Command1.click();  // cancel the edit
    s.dialogs.expectMsg("Sei sicuro di voler cancellare questa fascia oraria ?", mb::YesNo | mb::Question,
                        "Domanda", mb::Yes);
    s.dialogs.expectMsgStartingWith("Errore del database: ", mb::Critical, "Errore");
    w.Command3.click();
    EXPECT_EQ(nomi(), "Uno,Due");
    EXPECT_EQ(schedaCarta("0001"), "Due|110|08:00-12:00|##:##");
    EXPECT_EQ(w.Label5.Caption(), "2 / 2");
    attendeSoloChiusa(w);
    s.sql("DROP TRIGGER blocca");
    s.dialogs.expectMsg("Sei sicuro di voler cancellare questa fascia oraria ?", mb::YesNo | mb::Question,
                        "Domanda", mb::Yes);
    w.Command3.click();
    EXPECT_EQ(nomi(), "Uno");
    EXPECT_EQ(schedaCarta("0001"), "|000|##:##-##:##|##:##");
    EXPECT_TRUE(s.dialogs.allAnswered());
}

TEST_F(SchedulesWindow, EsciReturnsToTheOpener) {
    fascia("Uno");
    apri().Command4.click();
    EXPECT_FALSE(s.app().isLoaded(FrmFasceOnline::kName));
    EXPECT_TRUE(s.app().form("FrmFunzAgg").Visible());
    EXPECT_FALSE(s.app().isLoaded("FrmCardsAbil"));

    // Opened by the cards window as a view: only "Esci" is left, and it brings the cards back.
    Form& carte = s.app().form("FrmCardsAbil");
    carte.setEnabled(false);
    auto& w = apri(true);
    for (auto* c : {&w.Command1, &w.Command2, &w.Command3, &w.Command5, &w.Command6, &w.Command7, &w.Command8})
        c->setEnabled(false);
    w.close();  // the title bar leaves like "Esci"
    EXPECT_FALSE(s.app().isLoaded(FrmFasceOnline::kName));
    EXPECT_TRUE(carte.Enabled());
    EXPECT_TRUE(carte.Visible());
}

TEST_F(SchedulesWindow, TitleBarCloseIsRefusedWhileAnEntryIsOpen) {
    auto& w = apri();
    w.Command1.click();
    w.close();
    EXPECT_TRUE(s.app().isLoaded(FrmFasceOnline::kName));
    w.Command1.click();
    w.close();
    EXPECT_FALSE(s.app().isLoaded(FrmFasceOnline::kName));
    EXPECT_TRUE(s.app().form("FrmFunzAgg").Visible());
}

}  // namespace
}  // namespace vc
