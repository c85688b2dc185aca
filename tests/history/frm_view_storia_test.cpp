#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "history/frm_view_storia.h"
#include "history/transiti_prova.h"

namespace vc {
namespace {

using test::Transito;

const std::string kBase =
    "SELECT Cognome, Nome, NumeroBadge, Data, Ora, PosizioneLettore,verso, nota, passaggio FROM transiti ";
const std::string kOrdine = " ORDER BY cdbl(cdate(Data)) ASC, Ora ASC, indice";
const std::string kOggi = " (cdbl(CDATE(Data)) >= 46366) AND ( cdbl(CDATE(Data)) <= 46366)";  // 10/12/2026

// The first name of each transit is its tag, so a list of rows reads as a word.
const std::vector<Transito> kStoria = {
    {"0007", "Rossi", "a", "10/12/2026", "08:00", 1, "In"},
    {"0007", "Rossi", "b", "10/12/2026", "12:00", 1, "Out", "Passaggio", "USCITA  "},
    {"0012", "Bianchi", "c", "10/12/2026", "08:30", 0, "InOut", "Fuori fascia"},
    {"0012", "Bianchi", "d", "09/12/2026", "07:00", 1, "InOut", "OffLine"},
    {"0007", "Rossi", "e", "01/11/2026", "09:00", 1, "In"},
    {"2345", "Verdi", "f", "10/12/2026", "07:30", 1, "Out", "Passaggio", "USCITA  "},
    {"0007", "Rossi", "g", "10/12/2026", "08:00", 1, "Out"},
    {"0012", "Bianchi", "h", "08/12/2026", "18:00", 1, "InOut"},
};

class HistoryWindow : public ::testing::Test {
protected:
    HistoryWindow() {
        s.start();
        test::Scrivi(s, kStoria);
    }
    FrmViewStoria& apri() { return s.app().form<FrmViewStoria>(); }
    FrmViewStoria& riapri(FrmViewStoria& w) {
        w.Unload();
        return apri();
    }
    // The tags of the rows in TEMP, in their order.
    std::string temp() {
        std::string tags;
        for (const auto& r : test::Report(s, "SELECT Nome FROM TEMP ORDER BY rowid")) tags += r[0].second.str();
        return tags;
    }
    std::string transiti() {
        std::string tags;
        auto db = Database::open(s.site.file("Varcanto.mdb"));
        for (const auto& r : db->query("SELECT Nome FROM transiti ORDER BY Nome")) tags += r[0].second.str();
        return tags;
    }
    void avviso(const std::string& testo) { s.dialogs.expectMsg(testo, 0, "Varcanto"); }
    void domanda(const std::string& testo, int risposta) { s.dialogs.expectMsg(testo, mb::YesNo, "Varcanto", risposta); }
    test::Station s;
};

TEST_F(HistoryWindow, OpensOnTodaysOnLineHistory) {
    auto& w = apri();
    EXPECT_EQ(w.Data1.RecordSource, kBase + " WHERE" + kOggi + " AND nota <> 'OffLine'" + kOrdine);
    EXPECT_EQ(temp(), "fagcb");  // by time, then in the order written
    EXPECT_EQ(w.Caption(), "Storico del periodo 10/12/2026 - 10/12/2026");
    EXPECT_EQ(w.Label3.Caption(), "Records trovati : 5");
    EXPECT_EQ(w.TxtDataIniziale.Text(), "10/12/2026");
    EXPECT_FALSE(w.FrameSelezioneDate.Visible());
    EXPECT_FALSE(w.CmdCambiaPeriodo.Visible());
    EXPECT_FALSE(w.TxtNumeroBadge.Visible());
    EXPECT_TRUE(w.CmdCalcolaTempiPresenze.Visible());
    EXPECT_TRUE(w.DBGrid1.Visible());
    EXPECT_TRUE(w.Enabled());
    EXPECT_FALSE(s.dialogs.busy);

    const auto righe = test::Report(s, "SELECT * FROM TEMP ORDER BY rowid");
    const std::vector<std::pair<std::string, Value>> verdi = {
        {"Cognome", "Verdi"}, {"Nome", "f"},       {"Ora", "07:30"}, {"NumeroBadge", "2345"},
        {"Data", "10/12/2026"}, {"causale", "USCITA  "}, {"nota", "Passaggio"}, {"verso", "Out"},
        {"dataora", 46366 + 450 / 1440.0}, {"passaggio", 1}};
    EXPECT_EQ(righe.at(0), verdi);
    EXPECT_EQ(righe.at(3)[9].second, Value(0));  // the refusal
}

TEST_F(HistoryWindow, FiltersBecomeOneQuery) {
    struct Caso {
        const char* nome;
        std::function<void(FrmViewStoria&, test::ScriptedDialogs&)> scegli;
        std::string condizioni;  // between the base and the order
        const char* righe;
        const char* titolo;
    } casi[] = {
        {"one badge, zero-padded",
         [](FrmViewStoria& w, test::ScriptedDialogs&) {
             w.OptSelSocio[1].click();
             w.TxtNumeroBadge.type("7\r");
         },
         " WHERE (numerobadge = '0007') AND " + kOggi + " AND nota <> 'OffLine'", "agb",
         "Storico del periodo 10/12/2026 - 10/12/2026 Badge 0007"},
        {"a long badge keeps its last four digits",
         [](FrmViewStoria& w, test::ScriptedDialogs&) {
             w.OptSelSocio[1].click();
             w.TxtNumeroBadge.type("12345\r");
         },
         " WHERE (numerobadge = '2345') AND " + kOggi + " AND nota <> 'OffLine'", "f",
         "Storico del periodo 10/12/2026 - 10/12/2026 Badge 2345"},
        {"a quote in the badge is only text",
         [](FrmViewStoria& w, test::ScriptedDialogs&) {
             w.OptSelSocio[1].click();
             w.TxtNumeroBadge.type("1'='1\r");
         },
         " WHERE (numerobadge = '''=''1') AND " + kOggi + " AND nota <> 'OffLine'", "",
         "Storico del periodo 10/12/2026 - 10/12/2026 Badge '='1"},
        {"whole log, every kind, entries only",
         [](FrmViewStoria& w, test::ScriptedDialogs& d) {
             w.ChkUscite.click();
             w.OptInteraParziale[2].click();
             d.expectMsg("Attenzione ! Nell'offline non sono registrati i rifiuti", 0, "Varcanto");
             w.ChkOffLine.click();
         },
         " WHERE (verso = 'In' or verso  = 'InOut')", "ehdac", "Storico totale"},
        {"a period, exits only",
         [](FrmViewStoria& w, test::ScriptedDialogs&) {
             w.OptInteraParziale[1].click();
             w.TxtDataIniziale.setText("09/12/2026");
             w.ChkIngressi.click();
         },
         " WHERE (cdbl(CDATE(Data)) >= 46365) AND ( cdbl(CDATE(Data)) <= 46366) AND nota <> 'OffLine' AND "
         "(verso = 'Out' or verso  = 'InOut')",
         "fgcb", "Storico del periodo 09/12/2026 - 10/12/2026"},
        {"off-line passages",
         [](FrmViewStoria& w, test::ScriptedDialogs&) {
             w.ChkRifiuti.click();
             w.ChkOffLine.click();
             w.ChkOnLine.click();
             w.OptInteraParziale[2].click();
         },
         " WHERE nota = 'OffLine'", "d", "Storico totale"},
        {"on-line passages",
         [](FrmViewStoria& w, test::ScriptedDialogs&) { w.ChkRifiuti.click(); },
         " WHERE" + kOggi + " AND  (nota <> 'OffLine') and  (Passaggio = true)", "fagb",
         "Storico del periodo 10/12/2026 - 10/12/2026"},
        {"refusals",
         [](FrmViewStoria& w, test::ScriptedDialogs&) { w.ChkPassaggi.click(); },
         " WHERE" + kOggi + " AND   (nota <> 'OffLine') and  (Passaggio = false)", "c",
         "Storico del periodo 10/12/2026 - 10/12/2026"},
        {"every passage, on and off line",
         [](FrmViewStoria& w, test::ScriptedDialogs&) {
             w.ChkRifiuti.click();
             w.ChkOffLine.click();
             w.OptInteraParziale[2].click();
         },
         " WHERE    (Passaggio = true)", "ehdfagb", "Storico totale"},
    };
    FrmViewStoria* w = &apri();
    for (const auto& c : casi) {
        SCOPED_TRACE(c.nome);
        c.scegli(*w, s.dialogs);
        EXPECT_EQ(w->Data1.RecordSource, kBase + c.condizioni + kOrdine);
        EXPECT_EQ(temp(), c.righe);
        EXPECT_EQ(w->Caption(), c.titolo);
        EXPECT_EQ(w->Label3.Caption(), "Records trovati : " + std::to_string(std::string(c.righe).size()));
        EXPECT_TRUE(s.dialogs.allAnswered());
        w = &riapri(*w);
    }
}

TEST_F(HistoryWindow, ChoicesThatSelectNothingAreRefused) {
    struct Caso {
        std::function<void(FrmViewStoria&)> prima;
        CheckBox FrmViewStoria::*ultima;
        const char* messaggio;
    } casi[] = {
        {[](FrmViewStoria& w) { w.ChkPassaggi.click(); }, &FrmViewStoria::ChkRifiuti,
         "Occorre almeno una selezione tra Passaggi e Rifiuti"},
        {[](FrmViewStoria&) {}, &FrmViewStoria::ChkOnLine, "Occorre almeno una selezione tra online e offline"},
        {[](FrmViewStoria& w) { w.ChkPassaggi.click(); }, &FrmViewStoria::ChkOffLine,
         "Combinazione selezioni non valida. Nell' offline non sono registrati i rifiuti"},
        {[](FrmViewStoria& w) { w.ChkIngressi.click(); }, &FrmViewStoria::ChkUscite,
         "Occorre almeno una selezione tra Ingressi ed Uscite"},
    };
    FrmViewStoria* w = &apri();
    for (const auto& c : casi) {
        SCOPED_TRACE(c.messaggio);
        c.prima(*w);
        const std::string prima = temp();
        avviso(c.messaggio);
        ((*w).*c.ultima).click();
        EXPECT_TRUE(s.dialogs.allAnswered());
        EXPECT_EQ(w->Data1.recordset()->RecordCount(), 0);  // the grid is left empty
        EXPECT_EQ(temp(), prima);
        EXPECT_EQ(w->Caption(), "Aggiornamento in corso");
        EXPECT_TRUE(w->Enabled());
        EXPECT_FALSE(s.dialogs.busy);
        w = &riapri(*w);
    }
}

TEST_F(HistoryWindow, PeriodDatesAreChecked) {
    struct Caso {
        const char *inizio, *fine, *messaggio, *titolo;
    } casi[] = {
        {"", "10/12/2026", "Data iniziale non valida", nullptr},
        {"01/13/2010", "10/12/2026", "Data iniziale non valida", nullptr},
        {"10122026", "10/12/2026", "Data iniziale non valida", nullptr},
        {"31/02/2026", "10/12/2026", "Data iniziale non valida", nullptr},
        {"10/12/2026", "", "Data finale non valida", nullptr},
        {"10/12/2026", "1/0/2026", "Data finale non valida", nullptr},
        {"11/12/2026", "10/12/2026", "La data finale non può essere antecedente alla finale", nullptr},
        {"1/5", "10/12/26", nullptr, "Storico del periodo 01/05/2026 - 10/12/2026"},
        {" 9/12/2026 ", "09/12/2026", nullptr, "Storico del periodo 09/12/2026 - 09/12/2026"},
    };
    FrmViewStoria* w = &apri();
    for (const auto& c : casi) {
        SCOPED_TRACE(std::string(c.inizio) + " - " + c.fine);
        w->OptInteraParziale[1].click();
        EXPECT_EQ(w->Caption(), std::string(10, ' '));
        EXPECT_EQ(w->Label3.Caption(), "Records trovati : 0");
        EXPECT_FALSE(w->DBGrid1.Visible());
        w->TxtDataIniziale.setText(c.inizio);
        w->TxtDataFinale.setText(c.fine);
        if (c.messaggio) avviso(c.messaggio);
        w->CmdPresenta.click();
        EXPECT_TRUE(s.dialogs.allAnswered());
        EXPECT_EQ(w->FrameSelezioneDate.Visible(), c.messaggio != nullptr);
        if (c.titolo) {
            EXPECT_EQ(w->Caption(), c.titolo);
        }
        w = &riapri(*w);
    }
}

TEST_F(HistoryWindow, TodaysDeletionTakesEveryBadgeAndKind) {
    auto& w = apri();
    w.OptSelSocio[1].click();
    w.TxtNumeroBadge.type("7\r");
    w.ChkRifiuti.click();
    domanda("Cancellare storico da 10/12/2026 a 10/12/2026 ?", mb::Yes);
    w.CmdDelStorico.click();
    EXPECT_EQ(transiti(), "deh");
    // What is left is shown whole, with the badge and boxes chosen.
    EXPECT_TRUE(w.OptInteraParziale[2].Value());
    EXPECT_EQ(temp(), "e");
    EXPECT_EQ(w.Caption(), "Storico totale Badge 0007");
    EXPECT_TRUE(w.Enabled());
    EXPECT_FALSE(s.dialogs.busy);
}

TEST_F(HistoryWindow, DeletionCanBeRefused) {
    auto& w = apri();
    domanda("Cancellare storico da 10/12/2026 a 10/12/2026 ?", mb::No);
    avviso("Cancellazione annullata ");
    w.CmdDelStorico.click();
    EXPECT_EQ(transiti(), "abcdefgh");
    EXPECT_EQ(temp(), "fagcb");
}

TEST_F(HistoryWindow, PeriodDeletionChecksTheDatesFirst) {
    auto& w = apri();
    w.OptInteraParziale[1].click();
    w.TxtDataIniziale.setText("");
    avviso("Data iniziale non valida");
    w.CmdDelStorico.click();
    EXPECT_EQ(w.Caption(), "Cancellazione in corso");
    EXPECT_EQ(transiti(), "abcdefgh");

    w.TxtDataIniziale.setText("9/12/2026");
    domanda("Cancellare storico da 09/12/2026 a 10/12/2026 ?", mb::Yes);
    w.CmdDelStorico.click();
    EXPECT_EQ(transiti(), "eh");
    EXPECT_FALSE(w.FrameSelezioneDate.Visible());
    EXPECT_EQ(temp(), "eh");
}

TEST_F(HistoryWindow, WholeLogDeletionEmptiesItAndShowsIt) {
    auto& w = apri();
    w.OptInteraParziale[2].click();
    ASSERT_EQ(w.Label3.Caption(), "Records trovati : 7");
    domanda("Cancellare complertamente storico ?", mb::Yes);
    w.CmdDelStorico.click();
    EXPECT_EQ(transiti(), "");
    EXPECT_EQ(temp(), "");
    EXPECT_EQ(w.Label3.Caption(), "Records trovati : 0");
    EXPECT_EQ(w.Caption(), "Storico totale");
}

// The report database busy elsewhere: the deletion is not done at all, so TEMP never holds
// transits that are gone, and the message says so.
TEST_F(HistoryWindow, DeletionWithTheReportDatabaseBusyDeletesNothing) {
    auto& w = apri();
    auto altro = Database::open(s.app().PercorsoDbReport);
    altro->execute("BEGIN IMMEDIATE");
    domanda("Cancellare storico da 10/12/2026 a 10/12/2026 ?", mb::Yes);
    s.dialogs.expectMsgStartingWith(
        "Cancellazione non eseguita: nessun transito è stato cancellato e i dati da stampare sono quelli di prima (",
        mb::Critical, "Errore");
    w.CmdDelStorico.click();
    EXPECT_TRUE(s.dialogs.allAnswered());
    altro->execute("ROLLBACK");
    EXPECT_EQ(transiti(), "abcdefgh");
    EXPECT_EQ(temp(), "fagcb");
    EXPECT_TRUE(w.Enabled());
    EXPECT_FALSE(s.dialogs.busy);
}

TEST_F(HistoryWindow, PrintHandsTheShownRowsToTheReport) {
    auto& w = apri();
    w.CmdStampa.click();
    ASSERT_EQ(s.reports.rendered.size(), 1u);
    const ReportData& r = s.reports.rendered[0];
    EXPECT_EQ(w.Report1.Formulas[0], "Titolo = \"Storico del periodo 10/12/2026 - 10/12/2026\"");
    EXPECT_EQ(r.title, "Storico del periodo 10/12/2026 - 10/12/2026");
    EXPECT_EQ(r.windowTitle, r.title);
    EXPECT_EQ(r.destination, 0);
    ASSERT_EQ(r.rows.size(), 5u);
    const std::vector<std::string> verdi = {"10/12/2026", "07:30", "2345", "Verdi", "f", "USCITA  ", "Out", "Passaggio"};
    EXPECT_EQ(r.rows[0], verdi);
}

TEST_F(HistoryWindow, ReportErrorsAreTold) {
    auto& w = apri();
    std::filesystem::remove(s.site.file("giornata1new.rpt"));
    s.dialogs.expectMsgStartingWith("Errore nella produzione del report 1 ", mb::Exclamation, "Attenzione");
    w.CmdStampa.click();
    EXPECT_TRUE(s.dialogs.allAnswered());
    EXPECT_TRUE(s.reports.rendered.empty());
}

TEST_F(HistoryWindow, DatabaseFailureLeavesTheWindowUsable) {
    auto& w = apri();
    Database::open(s.app().PercorsoDbReport)->execute("DROP TABLE TEMP");
    s.dialogs.expectMsgStartingWith("Errore nell'accesso all'archivio: ", mb::Critical, "Errore");
    w.CmdPresenta.click();
    EXPECT_TRUE(s.dialogs.allAnswered());
    EXPECT_TRUE(w.Enabled());
    EXPECT_FALSE(s.dialogs.busy);
    w.CmdEsci.click();
    EXPECT_FALSE(s.app().isLoaded(FrmViewStoria::kName));
}

}  // namespace
}  // namespace vc
