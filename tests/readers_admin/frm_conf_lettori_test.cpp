#include <gtest/gtest.h>

#include <functional>

#include "core/main/frm_main.h"
#include "readers_admin/frm_conf_lettori.h"
#include "readers_admin/frm_util_tessaro.h"
#include "riga_lettore.h"
#include "support/fakes.h"

namespace vc {
namespace {

constexpr int Avviso = mb::Exclamation;

class ReadersWindow : public ::testing::Test {
protected:
    // The rows are written before start-up, which loads the window for the reader table.
    FrmConfLettori& apri() {
        s.start();
        auto& w = s.app().form<FrmConfLettori>();
        w.Show();
        return w;
    }
    void righe(int n) {
        for (int i = 0; i < n; ++i) {
            test::RigaLettore r;
            r.loop = 1 + i / 32;
            r.indirizzo = i % 32;
            test::InserisciLettore(s, r);
        }
    }
    std::vector<std::vector<std::pair<std::string, Value>>> lettori() {
        return Database::open(s.site.file("Varcanto.mdb"))->query("SELECT * FROM Lettori ORDER BY rowid");
    }
    // A new reader whose fields all pass, on loop 2 address 7.
    void nuovoValido(FrmConfLettori& w) {
        w.Command3.click();
        w.Combo1.choose(0);
        w.Text3.type("CASA");
        w.Text4.type("12");
        w.Text5.type("5");
        w.Combo2.choose(1);
        w.Text9.setText("2");
        w.Text10.type("7");
    }
    bool inInserimento(FrmConfLettori& w) { return w.Command4.Caption() == "Salva dati"; }
    test::Station s;
};

TEST_F(ReadersWindow, EmptyTableOffersOnlyANewReaderWithItsDefaults) {
    auto& w = apri();
    EXPECT_EQ(w.Caption(), "Varcanto - gestione lettori");
    EXPECT_EQ(w.Label11.Caption(), "Nessun lettore presente");
    EXPECT_FALSE(w.Command4.Enabled());
    EXPECT_FALSE(w.Command5.Enabled());
    EXPECT_FALSE(w.Command6.Enabled());
    EXPECT_EQ(w.Text7[0].Text(), "");
    EXPECT_EQ(w.Check1.Value(), 0);
    EXPECT_FALSE(w.Frame1.Enabled());
    EXPECT_FALSE(w.Text9.Enabled());  // no multi-loop board

    w.Command3.click();
    EXPECT_EQ(w.Label11.Caption(), "Nuovo...");
    EXPECT_EQ(w.Command3.Caption(), "Annulla");
    EXPECT_TRUE(w.Combo1.Visible());
    EXPECT_FALSE(w.Text2.Visible());
    for (int i = 0; i < 4; ++i) EXPECT_EQ(w.Text7[i].Text(), std::to_string(i));
    for (int i = 0; i < 6; ++i) EXPECT_EQ(w.Text8[i].Text(), std::to_string(i + 4));
    EXPECT_EQ(w.Check1.Value(), 1);
    EXPECT_EQ(w.Text9.Text(), "1");
    for (auto* c : {&w.Command1, &w.Command2, &w.Command5, &w.Command6, &w.Command7}) EXPECT_FALSE(c->Enabled());

    w.Command3.click();  // "Annulla" with no rows
    EXPECT_EQ(w.Label11.Caption(), "Nessun lettore presente");
    EXPECT_EQ(w.Command3.Caption(), "Nuovo lettore");
    EXPECT_EQ(w.Text7[0].Text(), "");
    EXPECT_FALSE(w.Command4.Enabled());
}

TEST_F(ReadersWindow, WithTheBoardTheLoopIsTypedByTheOperator) {
    s.setting("SchedaK-880", "Si");
    auto& w = apri();
    EXPECT_TRUE(w.Text9.Enabled());
    w.Command3.click();
    EXPECT_EQ(w.Text9.Text(), "");
}

TEST_F(ReadersWindow, ANewReaderIsStoredAsTheLastRowAndReachesPollingOnClose) {
    righe(4);
    auto& w = apri();
    EXPECT_EQ(w.Label11.Caption(), "Record 1 su 4");
    nuovoValido(w);
    w.Check2.click();
    w.Check3.click();
    w.Command4.click();

    EXPECT_EQ(w.Label11.Caption(), "Record 5 su 5");
    EXPECT_EQ(w.Command4.Caption(), "Modifica dati lettore");
    EXPECT_FALSE(w.Frame1.Enabled());
    EXPECT_EQ(w.Text4.Text(), "000012");
    const auto r = lettori();
    ASSERT_EQ(r.size(), 5u);
    const char* attesi[] = {"KOVA KV-M1", "CASA    ", "000012", "5", "Out", "0", "1", "2", "3", "4",
                            "5",          "6",        "7",      "8", "9",   "2", "7", "1", "1", "1"};
    for (std::size_t i = 0; i < 20; ++i) EXPECT_EQ(r[4][i].second.str(), attesi[i]) << r[4][i].first;

    s.app().form<FrmMain>().Hide();
    w.Command7.click();
    EXPECT_FALSE(s.app().isLoaded(FrmConfLettori::kName));
    EXPECT_TRUE(s.app().form<FrmMain>().Visible());
    ASSERT_EQ(s.app().NumeroLettori, 5);
    EXPECT_EQ(s.app().Lettori[4].NumeroLoop, 2);
    EXPECT_EQ(s.app().Lettori[4].NumeroIndirizzo, 7);
    EXPECT_EQ(s.app().Lettori[4].CodiceVerso, 0);
}

TEST_F(ReadersWindow, ValidationStopsAtTheFirstFaultInItsOrder) {
    righe(1);  // loop 1, address 0
    auto& w = apri();
    struct Caso {
        const char* nome;
        std::function<void(FrmConfLettori&)> cambia;
        const char* messaggio;
    } casi[] = {
        {"type in lower case", [](FrmConfLettori& f) { f.Combo1.setText("kova kv-p"); },
         "Errore nei dati. Controllare il 'tipo lettore'."},
        {"code not numeric", [](FrmConfLettori& f) { f.Text4.setText("12a"); },
         "Errore nei dati. Controllare il codice applicazione."},
        {"code of 7 digits", [](FrmConfLettori& f) { f.Text4.setText("1234567"); },
         "Errore nei dati. Controllare il codice applicazione."},
        {"negative code", [](FrmConfLettori& f) { f.Text4.setText("-12"); },
         "Errore nei dati. Controllare il codice applicazione."},
        {"fractional code", [](FrmConfLettori& f) { f.Text4.setText("1.5"); },
         "Errore nei dati. Controllare il codice applicazione."},
        {"no opening time", [](FrmConfLettori& f) { f.Text5.setText(""); },
         "Errore nei dati. Controllare il tempo di apertura."},
        {"opening time too long for the reader", [](FrmConfLettori& f) { f.Text5.setText("50"); },
         "Errore nei dati. Controllare il tempo di apertura."},
        {"direction in lower case", [](FrmConfLettori& f) { f.Combo2.setText("out"); },
         "Errore nei dati. Controllare il campo 'stato'"},
        {"card position missing", [](FrmConfLettori& f) { f.Text7[3].setText(""); },
         "Errore nei dati. Controllare le posizioni relative al numero carta."},
        {"card position -1", [](FrmConfLettori& f) { f.Text7[0].setText("-1"); },
         "Errore nei dati. Controllare le posizioni relative al numero carta."},
        {"code position 100", [](FrmConfLettori& f) { f.Text8[5].setText("100"); },
         "Errore nei dati. Controllare le posizioni relative al numero codice."},
        {"loop not numeric before address", [](FrmConfLettori& f) { f.Text9.setText("a"); f.Text10.setText(""); },
         "Errore nei dati. Controllare il numero del loop."},
        {"address not numeric before loop range", [](FrmConfLettori& f) { f.Text9.setText("9"); f.Text10.setText("x"); },
         "Errore nei dati. Controllare il numero dell'indirizzo."},
        {"loop 0", [](FrmConfLettori& f) { f.Text9.setText("0"); }, "Errore nei dati. Controllare il numero del loop."},
        {"loop 9", [](FrmConfLettori& f) { f.Text9.setText("9"); }, "Errore nei dati. Controllare il numero del loop."},
        {"address 32", [](FrmConfLettori& f) { f.Text10.setText("32"); },
         "Errore nei dati. Controllare il numero dell'indirizzo."},
        {"address taken", [](FrmConfLettori& f) { f.Text9.setText("1"); f.Text10.setText("0"); },
         "Indirizzo già assegnato."},
    };
    for (const auto& c : casi) {
        SCOPED_TRACE(c.nome);
        nuovoValido(w);
        c.cambia(w);
        s.dialogs.expectMsg(c.messaggio, Avviso, "Attenzione");
        w.Command4.click();
        EXPECT_TRUE(inInserimento(w));
        EXPECT_EQ(lettori().size(), 1u);
        w.Command3.click();  // "Annulla"
    }
}

TEST_F(ReadersWindow, BoundaryValuesPassAndTheCodeIsPaddedEvenWhenALaterFieldFails) {
    righe(1);
    auto& w = apri();
    nuovoValido(w);
    w.Text4.setText("0012");
    w.Combo2.setText("");
    s.dialogs.expectMsg("Errore nei dati. Controllare il campo 'stato'", Avviso, "Attenzione");
    w.Command4.click();
    EXPECT_EQ(w.Text4.Text(), "000012");

    w.Combo2.choose(2);
    w.Text3.setText("ABCDEFGH");
    w.Text5.setText("49");
    w.Text7[0].setText("99");
    w.Text8[0].setText("0");
    w.Text9.setText("8");
    w.Text10.setText("31");
    w.Command4.click();
    EXPECT_FALSE(inInserimento(w));
    const auto r = lettori();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[1][1].second.str(), "ABCDEFGH");
    EXPECT_EQ(r[1][4].second.str(), "InOut");
    EXPECT_EQ(r[1][5].second.toInt(), 99);
    EXPECT_EQ(r[1][15].second.toInt(), 8);
    EXPECT_EQ(r[1][16].second.toInt(), 31);
}

// Each field shown, then saved unchanged, comes back to its own column: every value of a row is
// different, and each pair of yes/no fields differs in one of the rows.
TEST_F(ReadersWindow, ShowingThenSavingARowKeepsEveryField) {
    struct Caso {
        const char* tipo;
        const char* stato;
        int riscriviRam, testInput, fasce;
    } casi[] = {{"TREN TR-C", "Out", 1, 0, 1}, {"KOVA KV-P", "InOut", 0, 1, 1}};
    for (const Caso& c : casi) {
        SCOPED_TRACE(c.tipo);
        test::Station st;
        test::RigaLettore r;
        r.tipo = c.tipo;
        r.situato = "Ingresso";
        r.codice = "004567";
        r.ritardo = 41;
        r.stato = c.stato;
        r.loop = 7;
        r.indirizzo = 23;
        r.riscriviRam = c.riscriviRam;
        r.testInput = c.testInput;
        r.fasce = c.fasce;
        test::InserisciLettore(st, r);
        st.sql("UPDATE Lettori SET PosCarta1 = 10, PosCarta2 = 11, PosCarta3 = 12, PosCarta4 = 13, PosCodice1 = 14, "
               "PosCodice2 = 15, PosCodice3 = 16, PosCodice4 = 17, PosCodice5 = 18, PosCodice6 = 19");
        auto riga = [&st] {
            std::vector<std::string> out;
            const auto righe = Database::open(st.site.file("Varcanto.mdb"))->query("SELECT * FROM Lettori");
            for (const auto& [campo, v] : righe.at(0)) out.push_back(campo + "=" + v.str());
            return out;
        };
        const auto prima = riga();
        st.start();
        auto& w = st.app().form<FrmConfLettori>();
        w.Show();
        w.Command4.click();
        w.Command4.click();
        EXPECT_EQ(w.Command4.Caption(), "Modifica dati lettore");
        EXPECT_EQ(riga(), prima);
    }
}

TEST_F(ReadersWindow, TheSixtyFifthReaderIsRefused) {
    for (int n : {63, 64}) {
        SCOPED_TRACE(n);
        test::Station st;
        for (int i = 0; i < n; ++i) {
            test::RigaLettore r;
            r.loop = 1 + i / 32;
            r.indirizzo = i % 32;
            test::InserisciLettore(st, r);
        }
        st.start();
        auto& w = st.app().form<FrmConfLettori>();
        if (n == 64) st.dialogs.expectMsg("Massimo 64 lettori.", Avviso, "Attenzione");
        w.Command3.click();
        EXPECT_EQ(w.Command3.Caption(), n == 64 ? "Nuovo lettore" : "Annulla");
        EXPECT_EQ(w.Label11.Caption(), n == 64 ? "Record 1 su 64" : "Nuovo...");
    }
}

TEST_F(ReadersWindow, EditSkipsItsOwnRowAndCancelReturnsToTheRowShown) {
    righe(3);
    auto& w = apri();
    w.Command1.click();
    w.Command1.click();
    w.Command1.click();  // already on the last row
    EXPECT_EQ(w.Label11.Caption(), "Record 3 su 3");
    w.Command2.click();
    EXPECT_EQ(w.Label11.Caption(), "Record 2 su 3");
    EXPECT_EQ(w.Text10.Text(), "1");

    w.Command4.click();
    EXPECT_EQ(w.Label11.Caption(), "Modifica...");
    EXPECT_EQ(w.Combo1.Text(), "KOVA KV-M1");
    w.Text3.setText("NUOVO");
    w.Command4.click();  // same loop and address as before: its own row does not count
    EXPECT_EQ(w.Label11.Caption(), "Record 2 su 3");
    EXPECT_EQ(lettori()[1][1].second.str(), "NUOVO   ");
    EXPECT_EQ(w.Text3.Text(), "NUOVO   ");

    w.Command3.click();  // "Nuovo lettore", then "Annulla"
    w.Command3.click();
    EXPECT_EQ(w.Label11.Caption(), "Record 2 su 3");
    EXPECT_EQ(w.Text10.Text(), "1");
    EXPECT_TRUE(w.Command5.Enabled());
    EXPECT_TRUE(w.Command7.Enabled());
}

TEST_F(ReadersWindow, DeleteAsksAndShowsTheFirstRowOrTheEmptyState) {
    righe(3);
    auto& w = apri();
    w.Command1.click();
    s.dialogs.expectMsg("Sei sicuro di voler eliminare il lettore ?", mb::Question | mb::YesNo, "Domanda", mb::No);
    w.Command5.click();
    EXPECT_EQ(lettori().size(), 3u);

    s.dialogs.expectMsg("Sei sicuro di voler eliminare il lettore ?", mb::Question | mb::YesNo, "Domanda", mb::Yes);
    w.Command5.click();
    ASSERT_EQ(lettori().size(), 2u);
    EXPECT_EQ(lettori()[1][16].second.toInt(), 2);  // the second row went
    EXPECT_EQ(w.Label11.Caption(), "Record 1 su 2");
    EXPECT_EQ(w.Text10.Text(), "0");

    for (int i = 0; i < 2; ++i) {
        s.dialogs.expectMsg("Sei sicuro di voler eliminare il lettore ?", mb::Question | mb::YesNo, "Domanda", mb::Yes);
        w.Command5.click();
    }
    EXPECT_EQ(w.Label11.Caption(), "Nessun lettore presente");
    EXPECT_FALSE(w.Command4.Enabled());
    EXPECT_FALSE(w.Command5.Enabled());
    EXPECT_FALSE(w.Command6.Enabled());
    EXPECT_EQ(w.Text10.Text(), "");

    // Closing hands the smaller table to polling.
    ASSERT_EQ(s.app().NumeroLettori, 3);
    w.close();
    EXPECT_EQ(s.app().NumeroLettori, 0);
    EXPECT_FALSE(s.app().isLoaded(FrmConfLettori::kName));
}

TEST_F(ReadersWindow, UtilitiesOnlyForTheArchiveReaderFamily) {
    righe(1);
    test::RigaLettore tessaro;
    tessaro.tipo = "KOVA KV-P";
    tessaro.indirizzo = 9;
    test::InserisciLettore(s, tessaro);
    auto& w = apri();
    EXPECT_FALSE(w.Command8.Visible());
    const int largo = w.Command6.geometry.width;
    w.Command1.click();
    EXPECT_TRUE(w.Command8.Visible());
    EXPECT_LT(w.Command6.geometry.width, largo);

    w.Command8.click();
    EXPECT_FALSE(w.Enabled());
    auto& u = s.app().form<FrmUtilTessaro>();
    EXPECT_TRUE(u.Visible());
    u.Command3.click();
    EXPECT_TRUE(w.Enabled());
    EXPECT_FALSE(s.app().isLoaded(FrmUtilTessaro::kName));

    // Deleting it leaves the first reader shown, without the button.
    s.dialogs.expectMsg("Sei sicuro di voler eliminare il lettore ?", mb::Question | mb::YesNo, "Domanda", mb::Yes);
    w.Command5.click();
    EXPECT_FALSE(w.Command8.Visible());
    EXPECT_EQ(w.Command6.geometry.width, largo);
}

TEST_F(ReadersWindow, TheTitleBarCloseWaitsForTheEntryToEnd) {
    auto& w = apri();
    w.Command3.click();
    w.close();
    EXPECT_TRUE(s.app().isLoaded(FrmConfLettori::kName));
    w.Command3.click();
    w.close();
    EXPECT_FALSE(s.app().isLoaded(FrmConfLettori::kName));
}

}  // namespace
}  // namespace vc
