// "Upload carte" of the other-options window: every card of "Carte" into every reader.
#include <gtest/gtest.h>

#include "core/main/frm_wait.h"
#include "core/readers/carica_lettori.h"
#include "readers_admin/frm_funz_agg.h"
#include "readers_admin/lettori_in_linea.h"

namespace vc {
namespace {

class UploadCarte : public ::testing::Test {
protected:
    UploadCarte() : linea(s, 2) {}
    // An enabled stand-alone card on every reader, all options off but the band; 'modifiche' is
    // an SQL SET list.
    void carta(const std::string& numero, const std::string& modifiche = "") {
        s.sql("INSERT INTO Carte (NumeroCarta, AbilitaCarta, Flag_online, SceltaFascia, Lettore) VALUES ('" + numero +
              "', 1, 0, 0, '" + std::string(64, '1') + "')");
        if (!modifiche.empty()) s.sql("UPDATE Carte SET " + modifiche + " WHERE rowid = (SELECT max(rowid) FROM Carte)");
    }
    void programma() { s.app().form<FrmFunzAgg>().Command6.click(); }

    test::Station s;
    test::LettoriInLinea linea;
};

TEST_F(UploadCarte, ReaderByReaderEveryCardInTableOrder) {
    carta("0003");
    carta("0001");
    carta("0002");
    bool occupata = false;
    linea.durante = [&] {
        occupata = !s.app().form<FrmFunzAgg>().Enabled() && s.app().form("FrmWait").Visible();
    };
    s.dialogs.expectMsg("Programmazione effettuata.", mb::Information, "Messaggio");
    programma();
    EXPECT_EQ(linea.comandi, (std::vector<std::string>{"01000123B00030100000", "01000123B00010100000",
                                                       "01000123B00020100000", "02000123B00030100000",
                                                       "02000123B00010100000", "02000123B00020100000"}));
    for (std::size_t k = 1; k < linea.istanti.size(); ++k) EXPECT_GE(linea.istanti[k] - linea.istanti[k - 1], 50);
    EXPECT_TRUE(occupata);
    EXPECT_TRUE(s.app().form<FrmFunzAgg>().Enabled());
    EXPECT_FALSE(s.app().isLoaded("FrmWait"));
}

// The readers window saved during the upload moves reader 1 to address 7: the cards still
// under way go on to the reader being programmed, at the address it was programmed at.
TEST_F(UploadCarte, AReloadOfTheReadersMidwayKeepsTheReaderUnderWay) {
    carta("0001");
    carta("0002");
    linea.alComando(1, [this] {
        s.sql("UPDATE Lettori SET NumeroIndirizzo = 7 WHERE NumeroIndirizzo = 1");
        CaricaLettori(s.app());
    });
    s.dialogs.expectMsg("Programmazione effettuata.", mb::Information, "Messaggio");
    programma();
    ASSERT_EQ(s.app().Lettori[0].NumeroIndirizzo, 7) << "the reload ran during the upload";
    EXPECT_EQ(linea.comandi, (std::vector<std::string>{"01000123B00010100000", "01000123B00020100000",
                                                       "02000123B00010100000", "02000123B00020100000"}));
}

TEST_F(UploadCarte, EachCardIsStoredOrDeletedByItsRecord) {
    struct Caso {
        const char* nome;
        const char* numero;
        const char* modifiche;
        bool quattroCifre;
        const char* lettore1;
        const char* lettore2;
    } casi[] = {
        {"all options", "0045",
         "SceltaFascia = 2, ControllaInput = 1, MetodoInput = 1, Input2 = 0, Input1 = 1, Output1 = 1, Output2 = 0",
         true, "B00451001210", "B00451001210"},
        {"inputs not checked, other outputs", "0045", "ControllaInput = 0, Input2 = 1, SceltaFascia = 3, Output2 = 1",
         true, "B00450110301", "B00450110301"},
        {"3-digit mode", "1234", "SceltaFascia = 1", false, "B2340100100", "B2340100100"},
        {"enabled on reader 2 only", "0045", "Lettore = '01'", true, "C0045", "B00450100000"},
        {"reader string too short", "0045", "Lettore = '1'", true, "B00450100000", "C0045"},
        {"a reader flag other than 1", "0045", "Lettore = '21'", true, "C0045", "B00450100000"},
        {"on-line card", "0045", "Flag_online = 1", true, "C0045", "C0045"},
        {"disabled card", "0045", "AbilitaCarta = 0", true, "C0045", "C0045"},
        {"disabled, 3 digits", "0045", "AbilitaCarta = 0", false, "C045", "C045"},
    };
    for (const auto& c : casi) {
        SCOPED_TRACE(c.nome);
        s.sql("DELETE FROM Carte");
        linea.comandi.clear();
        carta(c.numero, c.modifiche);
        s.app().imp.FlagQuattroCifre = c.quattroCifre;
        s.dialogs.expectMsg("Programmazione effettuata.", mb::Information, "Messaggio");
        programma();
        EXPECT_EQ(linea.a(1), std::vector<std::string>{c.lettore1});
        EXPECT_EQ(linea.a(2), std::vector<std::string>{c.lettore2});
    }
}

// A band no reader takes (a hand-edited database) would make a malformed frame: that card is
// deleted from every reader, also from those it is enabled on, where an entry stored before would
// still admit it stand-alone; every other card is sent, and one message names it.
TEST_F(UploadCarte, CardsWithABandOutOfRangeAreDeletedEverywhereAndTheOthersSent) {
    carta("0001");
    carta("0002", "SceltaFascia = 12");
    carta("0003", "SceltaFascia = -1, Lettore = '01'");
    carta("0004", "SceltaFascia = 3");
    s.dialogs.expectMsg("Programmazione effettuata.", mb::Information, "Messaggio");
    s.dialogs.expectMsg("Carta 0002: fascia oraria 12 non valida, la carta è stata cancellata dai lettori invece di "
                        "essere memorizzata.\n"
                        "Carta 0003: fascia oraria -1 non valida, la carta è stata cancellata dai lettori invece di "
                        "essere memorizzata.",
                        mb::Exclamation, "Attenzione");
    programma();
    EXPECT_EQ(linea.a(1), (std::vector<std::string>{"B00010100000", "C0002", "C0003", "B00040100300"}));
    EXPECT_EQ(linea.a(2), (std::vector<std::string>{"B00010100000", "C0002", "C0003", "B00040100300"}));
    EXPECT_TRUE(s.dialogs.allAnswered());
}

TEST_F(UploadCarte, StopsAtTheFirstReaderThatDoesNotAccept) {
    carta("0001");
    carta("0002");
    struct Caso {
        const char* risposta;  // reader 2's reply body, "" for silence
        const char* messaggio;
    } casi[] = {
        {"", "Periferica non connessa."},
        {"02D", "Errore nel traferimento dati."},
        {"02C", "Errore nel codice applicazione."},
        {"02s", "Risposta sconosciuta."},
        {"02I", "Risposta sconosciuta."},
    };
    for (const auto& c : casi) {
        SCOPED_TRACE(c.messaggio);
        linea.comandi.clear();
        linea.risposta = [&c](const std::string& t) { return t.substr(0, 2) == "02" ? c.risposta : t.substr(0, 2) + "S"; };
        s.dialogs.onShow = [this](const test::ScriptedDialogs::Box&) {
            EXPECT_FALSE(s.app().isLoaded("FrmWait") && s.app().form("FrmWait").Visible());
            EXPECT_TRUE(s.app().form<FrmFunzAgg>().Visible());
        };
        s.dialogs.expectMsg(c.messaggio, mb::Exclamation, "Lettore 2 - situato presso PORTA2");
        programma();
        EXPECT_EQ(linea.a(1).size(), 2u);
        EXPECT_EQ(linea.a(2).size(), 1u);
        EXPECT_TRUE(s.app().form<FrmFunzAgg>().Enabled());
    }
}

// The reader and the card under way, in the wait window whose "Annulla" stays usable while the
// other-options window is disabled; a nested handler that takes the wait window away (the daily
// random check shows and unloads it) does not take the progress and the stop with it.
TEST_F(UploadCarte, TheWaitWindowShowsTheReaderAndTheCardUnderWay) {
    carta("0001");
    carta("0002");
    carta("0003");
    std::vector<std::string> mostrati;
    linea.durante = [&] {
        FrmWait& w = s.app().form<FrmWait>();
        mostrati.push_back(w.Label2.Caption());
        EXPECT_EQ(w.Label1.Caption(), "    ATTENDERE  PREGO ");
        EXPECT_TRUE(w.Visible() && w.Command1.effectivelyVisible() && w.Command1.effectivelyEnabled());
        EXPECT_EQ(w.Command1.Caption(), "Annulla");
        EXPECT_FALSE(s.app().form<FrmFunzAgg>().Enabled());
        if (linea.comandi.size() == 2) s.loop.post([this] { s.app().form("FrmWait").Unload(); });
    };
    s.dialogs.expectMsg("Programmazione effettuata.", mb::Information, "Messaggio");
    programma();
    EXPECT_EQ(mostrati, (std::vector<std::string>{
                            "Lettore 1 di 2 - situato presso PORTA1\nCarta 1 di 3",
                            "Lettore 1 di 2 - situato presso PORTA1\nCarta 2 di 3",
                            "Lettore 1 di 2 - situato presso PORTA1\nCarta 3 di 3",
                            "Lettore 2 di 2 - situato presso PORTA2\nCarta 1 di 3",
                            "Lettore 2 di 2 - situato presso PORTA2\nCarta 2 di 3",
                            "Lettore 2 di 2 - situato presso PORTA2\nCarta 3 di 3",
                        }));
    EXPECT_FALSE(s.app().isLoaded("FrmWait"));
}

// Pressed while a command waits for its reply, the stop lets that command end, sends nothing
// more, and the closing message says which readers have every card, how far the one under way
// got and how many got none.
TEST_F(UploadCarte, AnnullaStopsAfterTheCommandUnderWayAndSaysHowFarItGot) {
    carta("0001");
    carta("0002");
    carta("0003");
    struct Caso {
        const char* nome;
        std::size_t al;  // pressed during this command (1-based)
        bool chiude;     // closes the wait window instead
        const char* messaggio;
    } casi[] = {
        {"during reader 1's second card", 2, false,
         "Programmazione interrotta.\r\nLettori programmati con tutte le carte: 0 su 2.\r\n"
         "Lettore 1 - situato presso PORTA1: programmate 2 carte su 3.\r\nLettori non programmati: 1."},
        {"closing the wait window at reader 1's last card", 3, true,
         "Programmazione interrotta.\r\nLettori programmati con tutte le carte: 1 su 2.\r\n"
         "Lettori non programmati: 1."},
        {"during reader 2's second card", 5, false,
         "Programmazione interrotta.\r\nLettori programmati con tutte le carte: 1 su 2.\r\n"
         "Lettore 2 - situato presso PORTA2: programmate 2 carte su 3."},
        {"during the very last card, when nothing is left to stop", 6, false, "Programmazione effettuata."},
    };
    for (const auto& c : casi) {
        SCOPED_TRACE(c.nome);
        linea.comandi.clear();
        linea.alComando(c.al, [&] {
            FrmWait& w = s.app().form<FrmWait>();
            if (c.chiude)
                w.close();
            else
                w.Command1.click();
            EXPECT_TRUE(w.Visible());  // until the run ends
        });
        s.dialogs.onShow = [this](const test::ScriptedDialogs::Box&) {
            EXPECT_FALSE(s.app().isLoaded("FrmWait"));
            EXPECT_TRUE(s.app().form<FrmFunzAgg>().Visible());
        };
        s.dialogs.expectMsg(c.messaggio, mb::Information, "Messaggio");
        programma();
        EXPECT_EQ(linea.comandi.size(), c.al);
        EXPECT_TRUE(s.app().form<FrmFunzAgg>().Enabled());
        EXPECT_TRUE(s.dialogs.allAnswered());
    }
}

TEST_F(UploadCarte, AnEmptyCardTableIsRefusedFirst) {
    s.app().PollingAttivo = true;
    s.dialogs.expectMsg("Il database delle carte è vuoto.", mb::Exclamation, "Attenzione");
    programma();
    EXPECT_TRUE(linea.comandi.empty());
}

}  // namespace
}  // namespace vc
