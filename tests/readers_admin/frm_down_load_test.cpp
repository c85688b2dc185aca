#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>

#include "core/main/frm_wait.h"
#include "readers_admin/frm_down_load.h"
#include "readers_admin/frm_funz_agg.h"
#include "readers_admin/lettori_in_linea.h"

namespace vc {
namespace {

constexpr int Avviso = mb::Exclamation;

// Three readers; each holds the records queued for it ("Z" replies to "S", then "F").
class DownLoad : public ::testing::Test {
protected:
    DownLoad() : linea(s, 3) {
        linea.risposta = [this](const std::string& t) { return rispondi(t); };
        s.sql("INSERT INTO Carte (Cognome, Nome, NumeroCarta) VALUES ('Rossi', 'Mario', '0123')");
    }
    // A stored transit of reader n: the record's characters after the status.
    void registra(int n, const std::string& dati) { memoria[n].push_back(dati); }
    // Opens the window as the operator does, from the other-options window.
    FrmDownLoad& apri() {
        s.app().form<FrmFunzAgg>().Command2.click();
        return s.app().form<FrmDownLoad>();
    }
    void cancellaDopo(bool si) { test::control<CheckBox>(s.app(), "FrmProgSetup", "Check2").setValue(si ? 1 : 0); }
    void completa(FrmDownLoad& f) {
        s.dialogs.expectMsg("Operazione completata.", mb::Information, "Messaggio");
        f.Command1.click();
    }
    std::vector<std::vector<std::string>> storico() {
        std::vector<std::vector<std::string>> out;
        for (const auto& riga : Database::open(s.site.file("Varcanto.mdb"))->query("SELECT * FROM Storico")) {
            out.emplace_back();
            for (const auto& [campo, valore] : riga) out.back().push_back(valore.str());
        }
        return out;
    }

    test::Station s;
    test::LettoriInLinea linea;
    std::map<int, std::deque<std::string>> memoria;
    std::map<std::string, std::string> guasti;  // command (after the prefix) -> reply body for reader 2
    // A reader that answers every "S" with the same record; a thousand of them, so that a run
    // nobody stops still ends.
    std::map<int, std::string> ripete;

private:
    std::string rispondi(const std::string& t) {
        const std::string indirizzo = t.substr(0, 2), comando = t.substr(8);
        if (indirizzo == "02" && guasti.count(comando)) return guasti[comando];
        if (comando != "S") return indirizzo + "S";
        if (auto r = ripete.find(std::stoi(indirizzo)); r != ripete.end() && ripetuti_++ < 1000)
            return indirizzo + "Z" + r->second;
        auto& coda = memoria[std::stoi(indirizzo)];
        if (coda.empty()) return indirizzo + "F";
        const std::string dati = coda.front();
        coda.pop_front();
        return indirizzo + "Z" + dati;
    }
    int ripetuti_ = 0;
};

TEST_F(DownLoad, OpensOnAllReadersWithTheEraseSetting) {
    for (bool cancella : {false, true}) {
        cancellaDopo(cancella);
        FrmDownLoad& f = apri();
        EXPECT_EQ(f.Caption(), "Varcanto - downLoad");
        EXPECT_TRUE(f.Option2.Value());
        EXPECT_FALSE(f.Option1.Value());
        EXPECT_FALSE(f.Combo1.Enabled());
        ASSERT_EQ(f.Combo1.ListCount(), 3);
        EXPECT_EQ(f.Combo1.List(1), "Lettore 2 - situato presso : PORTA2  ");
        EXPECT_EQ(f.Label1.Caption(), "Numero lettori : 3");
        EXPECT_EQ(f.Label2.Caption(), cancella ? "Cancello la memoria dopo il download"
                                               : "Non cancello la memoria dopo il download");
        f.Option1.click();
        EXPECT_TRUE(f.Combo1.Enabled());
        f.Option2.click();
        EXPECT_FALSE(f.Combo1.Enabled());
        f.Command2.click();
        EXPECT_FALSE(s.app().isLoaded("FrmDownLoad"));
        EXPECT_TRUE(s.app().form<FrmFunzAgg>().Enabled() && s.app().form<FrmFunzAgg>().Visible());
    }
}

TEST_F(DownLoad, EveryReaderIntoStoricoWithTheHoldersName) {
    s.clock.set({2027, 1, 5, 10, 0, 0});
    registra(1, "0123" "0815" "3112");
    registra(1, "0777" "0930" "0401");
    registra(3, "0123" "1200" "0201");
    FrmDownLoad& f = apri();
    completa(f);
    EXPECT_EQ(linea.comandi, (std::vector<std::string>{"01000123Q", "02000123Q", "03000123Q", "01000123S",
                                                       "01000123S", "01000123S", "02000123S", "03000123S",
                                                       "03000123S"}));
    EXPECT_EQ(storico(), (std::vector<std::vector<std::string>>{
                             {"0123", "Rossi", "Mario", "1", "PORTA1", "31/12/2026", "08:15"},
                             {"0777", "", "", "1", "PORTA1", "04/01/2027", "09:30"},
                             {"0123", "Rossi", "Mario", "3", "PORTA3", "02/01/2027", "12:00"}}));
    EXPECT_FALSE(s.app().isLoaded("FrmDownLoad"));
    EXPECT_FALSE(s.app().isLoaded("FrmWait"));
    EXPECT_TRUE(s.app().form<FrmFunzAgg>().Enabled() && s.app().form<FrmFunzAgg>().Visible());
}

TEST_F(DownLoad, ARecordDatedAfterNowIsFromLastYear) {
    struct Caso {
        const char* nome;
        const char* record;  // hour, minute, day, month
        const char* data;
    } casi[] = {
        {"earlier today", "0859" "1012", "10/12/2026"},
        {"this very minute", "0900" "1012", "10/12/2026"},
        {"later today", "0901" "1012", "10/12/2025"},
        {"yesterday", "2359" "0912", "09/12/2026"},
        {"tomorrow", "0000" "1112", "11/12/2025"},
    };
    s.clock.set({2026, 12, 10, 9, 0, 0});
    for (const auto& c : casi) registra(1, std::string("0123") + c.record);
    completa(apri());
    const auto righe = storico();
    ASSERT_EQ(righe.size(), std::size(casi));
    for (std::size_t k = 0; k < righe.size(); ++k) EXPECT_EQ(righe[k][5], casi[k].data) << casi[k].nome;
}

TEST_F(DownLoad, ThreeDigitRecordsStartOnePositionEarlier) {
    s.app().imp.FlagQuattroCifre = false;
    registra(1, "123" "0815" "0112");
    completa(apri());
    EXPECT_EQ(storico(), (std::vector<std::vector<std::string>>{
                             {"0123", "Rossi", "Mario", "1", "PORTA1", "01/12/2026", "08:15"}}));
}

TEST_F(DownLoad, SingleReaderFromTheList) {
    registra(3, "0123" "0815" "0112");
    FrmDownLoad& f = apri();
    f.Option1.click();
    f.Combo1.choose(2);
    completa(f);
    EXPECT_EQ(linea.comandi, (std::vector<std::string>{"03000123Q", "03000123S", "03000123S"}));
    EXPECT_EQ(storico().size(), 1u);
}

TEST_F(DownLoad, AWrongReaderChoiceSendsNothing) {
    FrmDownLoad& f = apri();
    f.Option1.click();
    s.dialogs.expectMsg("Scegliere il lettore.", Avviso, "Errore");
    f.Command1.click();
    f.Combo1.setText("Lettore 4 - situato presso : ALTROVE");
    s.dialogs.expectMsg("Il lettore impostato non esiste.", Avviso, "Errore");
    f.Command1.click();
    EXPECT_TRUE(linea.comandi.empty());
    EXPECT_TRUE(s.app().isLoaded("FrmDownLoad"));
}

TEST_F(DownLoad, EraseAfterEveryDownloadWhenTheSettingAsks) {
    cancellaDopo(true);
    registra(2, "0123" "0815" "0112");
    completa(apri());
    const std::vector<std::string> fine(linea.comandi.end() - 3, linea.comandi.end());
    EXPECT_EQ(fine, (std::vector<std::string>{"01000123E01", "02000123E01", "03000123E01"}));
    EXPECT_EQ(linea.a(2), (std::vector<std::string>{"Q", "S", "S", "E01"}));

    cancellaDopo(false);
    linea.comandi.clear();
    completa(apri());
    EXPECT_EQ(linea.comandi.size(), 6u);  // a probe and an "S" each, no erase
}

TEST_F(DownLoad, AReaderThatFailsStopsTheRun) {
    using Comandi = std::vector<std::string>;
    const Comandi sondato{"Q"}, scaricato{"Q", "S", "S"}, cancellato{"Q", "S", "S", "E01"};
    struct Caso {
        const char* nome;
        const char* comando;  // reader 2's command that fails
        const char* risposta;
        std::size_t righe;    // rows stored (reader 1's one record)
        Comandi lettore1, lettore2, lettore3;
    } casi[] = {
        {"probe refused", "Q", "02D", 0, sondato, {"Q"}, {}},
        {"probe wrong plant", "Q", "02C", 0, sondato, {"Q"}, {}},
        {"probe silent", "Q", "", 0, sondato, {"Q"}, {}},
        {"record garbled", "S", "02X", 1, scaricato, {"Q", "S"}, sondato},
        {"record silent", "S", "", 1, scaricato, {"Q", "S"}, sondato},
        {"erase refused", "E01", "02C", 1, cancellato, {"Q", "S", "E01"}, {"Q", "S"}},
    };
    cancellaDopo(true);
    for (const auto& c : casi) {
        SCOPED_TRACE(c.nome);
        s.sql("DELETE FROM Storico");
        linea.comandi.clear();
        guasti = {{c.comando, c.risposta}};
        memoria.clear();
        registra(1, "0123" "0815" "0112");
        FrmDownLoad& f = apri();
        s.dialogs.expectMsg("Errore di comunicazione.", Avviso, "Lettore 2 situato presso PORTA2");
        f.Command1.click();
        EXPECT_EQ(storico().size(), c.righe);
        EXPECT_EQ(linea.a(1), c.lettore1);
        EXPECT_EQ(linea.a(2), c.lettore2);
        EXPECT_EQ(linea.a(3), c.lettore3);
        EXPECT_TRUE(s.app().isLoaded("FrmDownLoad"));
        EXPECT_FALSE(s.app().isLoaded("FrmWait"));
        EXPECT_FALSE(s.app().form<FrmFunzAgg>().Enabled());
        f.Command2.click();
    }
}

// Before, the second run's exchanges were refused while the first one waited, and the first run
// was told its reader had failed.
TEST_F(DownLoad, ASecondOkDuringTheRunIsIgnored) {
    cancellaDopo(true);
    registra(1, "0123" "0815" "0112");
    registra(3, "0777" "0930" "0201");
    FrmDownLoad& f = apri();
    linea.alComando(4, [&] { f.Command1.click(); });  // during reader 1's first "S"
    completa(f);
    EXPECT_EQ(linea.comandi, (std::vector<std::string>{"01000123Q", "02000123Q", "03000123Q", "01000123S",
                                                       "01000123S", "02000123S", "03000123S", "03000123S",
                                                       "01000123E01", "02000123E01", "03000123E01"}));
    EXPECT_EQ(storico().size(), 2u);
    EXPECT_FALSE(s.app().isLoaded("FrmDownLoad"));
    EXPECT_TRUE(s.dialogs.allAnswered());
}

// A reader that never runs out of records: the stop ends the run after the exchange under way,
// keeps every record received, erases nothing, says so and only then closes the window.
TEST_F(DownLoad, AnnullaOrTheCloseStopsARunThatWouldNeverEnd) {
    struct Caso {
        const char* nome;
        std::function<void(FrmDownLoad&)> fai;
    } casi[] = {
        {"Annulla", [](FrmDownLoad& f) { f.Command2.click(); }},
        {"the title-bar close", [](FrmDownLoad& f) { f.close(); }},
        {"the wait window's Annulla", [this](FrmDownLoad&) { s.app().form<FrmWait>().Command1.click(); }},
    };
    cancellaDopo(true);
    for (const auto& c : casi) {
        SCOPED_TRACE(c.nome);
        s.sql("DELETE FROM Storico");
        linea.comandi.clear();
        ripete = {{1, "0123" "0815" "0112"}};
        FrmDownLoad& f = apri();
        linea.alComando(3 + 5, [&] {  // the three probes, then reader 1's fifth "S"
            c.fai(f);
            EXPECT_TRUE(s.app().isLoaded("FrmDownLoad")) << "closed before the run ended";
        });
        s.dialogs.expectMsg("Download interrotto. I transiti già scaricati sono stati memorizzati; la memoria dei "
                            "lettori non è stata cancellata.",
                            mb::Information, "Messaggio");
        s.dialogs.onShow = [&](const test::ScriptedDialogs::Box&) {
            EXPECT_FALSE(s.app().isLoaded("FrmWait"));
            EXPECT_TRUE(s.app().isLoaded("FrmDownLoad"));
        };
        f.Command1.click();
        s.dialogs.onShow = nullptr;
        EXPECT_EQ(linea.comandi.size(), 3u + 5u);
        EXPECT_EQ(linea.a(1), (std::vector<std::string>{"Q", "S", "S", "S", "S", "S"}));
        EXPECT_EQ(storico().size(), 5u);
        EXPECT_FALSE(s.app().isLoaded("FrmDownLoad"));
        EXPECT_FALSE(s.app().isLoaded("FrmWait"));
        EXPECT_TRUE(s.app().form<FrmFunzAgg>().Enabled() && s.app().form<FrmFunzAgg>().Visible());
    }
}

TEST_F(DownLoad, AStopDuringTheEraseSaysWhichReadersWereErased) {
    cancellaDopo(true);
    FrmDownLoad& f = apri();
    linea.alComando(3 + 3 + 1, [&] { f.Command2.click(); });  // during reader 1's "E01"
    s.dialogs.expectMsg("Download interrotto. I transiti già scaricati sono stati memorizzati; lettori con la "
                        "memoria cancellata: 1 su 3.",
                        mb::Information, "Messaggio");
    f.Command1.click();
    EXPECT_EQ(linea.a(1).back(), "E01");
    EXPECT_EQ(linea.a(2).back(), "S");
    EXPECT_FALSE(s.app().isLoaded("FrmDownLoad"));
}

// Only whole records are stored; the others are counted per reader and told at the end, before
// the closing message, and the run goes on.
TEST_F(DownLoad, MalformedRecordsAreSkippedAndCountedPerReader) {
    struct Record {
        const char* nome;
        bool quattroCifre;
        std::string dati;  // after the status
        bool valido;
    } casi[] = {
        {"whole", true, "0123" "0815" "3112", true},
        {"last minute of the year", true, "9999" "2359" "3112", true},
        {"card 0000 at midnight", true, "0000" "0000" "0101", true},
        {"with more after it", true, "0123" "0815" "3112" "77", true},
        {"nothing after the status", true, "", false},
        {"card only", true, "0123", false},
        {"a digit short", true, "0123" "0815" "311", false},
        {"letters in the hour", true, "0123" "AB15" "3112", false},
        {"a blank in the day", true, "0123" "0815" " 112", false},
        {"a sign in the month", true, "0123" "0815" "31-2", false},
        {"three-digit card, whole", false, "123" "0815" "3112", true},
        {"three-digit card, a digit short", false, "123" "0815" "311", false},
    };
    for (bool quattroCifre : {true, false}) {
        SCOPED_TRACE(quattroCifre ? "4-digit cards" : "3-digit cards");
        s.app().imp.FlagQuattroCifre = quattroCifre;
        s.sql("DELETE FROM Storico");
        memoria.clear();
        std::size_t validi = 0, scartati = 0;
        for (const auto& c : casi) {
            if (c.quattroCifre != quattroCifre) continue;
            registra(1, c.dati);
            registra(3, c.dati);
            (c.valido ? validi : scartati) += 1;
        }
        registra(3, quattroCifre ? "0555" "1010" "0101" : "555" "1010" "0101");
        FrmDownLoad& f = apri();
        const std::string n = std::to_string(scartati);
        s.dialogs.expectMsg("Alcuni transiti ricevuti non erano validi e non sono stati memorizzati:\r\n"
                            "Lettore 1 situato presso PORTA1: " + n + " record scartati\r\n"
                            "Lettore 3 situato presso PORTA3: " + n + " record scartati",
                            Avviso, "Attenzione");
        completa(f);
        const auto righe = storico();
        ASSERT_EQ(righe.size(), 2 * validi + 1);
        std::size_t k = 0;
        for (const auto& c : casi) {
            if (c.quattroCifre != quattroCifre || !c.valido) continue;
            SCOPED_TRACE(c.nome);
            const std::string carta = quattroCifre ? c.dati.substr(0, 4) : "0" + c.dati.substr(0, 3);
            const std::size_t p = quattroCifre ? 4 : 3;
            EXPECT_EQ(righe[k][0], carta);
            EXPECT_EQ(righe[k][6], c.dati.substr(p, 2) + ":" + c.dati.substr(p + 2, 2));
            EXPECT_EQ(righe[k][5].substr(0, 5), c.dati.substr(p + 4, 2) + "/" + c.dati.substr(p + 6, 2));
            ++k;
        }
    }
}

// A reader that sent records that were not whole keeps them in its memory: with the erase box
// checked it is not erased, and the closing message says which readers were left so.
TEST_F(DownLoad, AReaderWithRecordsLeftOutIsNotErased) {
    cancellaDopo(true);
    registra(1, "0123" "0815" "0112");
    registra(2, "0123" "08");
    registra(2, "0123" "0930" "0112");
    registra(3, "0123" "AB15" "0112");
    FrmDownLoad& f = apri();
    s.dialogs.expectMsg("Alcuni transiti ricevuti non erano validi e non sono stati memorizzati:\r\n"
                        "Lettore 2 situato presso PORTA2: 1 record scartati\r\n"
                        "Lettore 3 situato presso PORTA3: 1 record scartati",
                        Avviso, "Attenzione");
    s.dialogs.expectMsg("Operazione completata.\r\nLa memoria dei lettori con record scartati non è stata "
                        "cancellata (lettori 2, 3).",
                        mb::Information, "Messaggio");
    f.Command1.click();
    EXPECT_EQ(linea.a(1), (std::vector<std::string>{"Q", "S", "S", "E01"}));
    EXPECT_EQ(linea.a(2), (std::vector<std::string>{"Q", "S", "S", "S"}));
    EXPECT_EQ(linea.a(3), (std::vector<std::string>{"Q", "S", "S"}));
    EXPECT_EQ(storico().size(), 2u);
    EXPECT_TRUE(s.dialogs.allAnswered());

    // Without the erase box the message says nothing of it.
    cancellaDopo(false);
    registra(2, "0123" "08");
    s.dialogs.expectMsgStartingWith("Alcuni transiti ricevuti", Avviso, "Attenzione");
    completa(apri());
}

// The card digits are code page 1252 bytes on the line, as polling reads them: a transit names the
// card "Carte" holds, in UTF-8, whatever bytes the reader sent.
TEST_F(DownLoad, CardNumbersAreReadFromTheLineAsPollingReadsThem) {
    s.sql("INSERT INTO Carte (Cognome, Nome, NumeroCarta) VALUES ('Bianchi', 'Anna', '€123'), "
          "('Verdi', 'Luca', '0è12')");
    for (bool quattroCifre : {true, false}) {
        SCOPED_TRACE(quattroCifre ? "4-digit cards" : "3-digit cards");
        s.app().imp.FlagQuattroCifre = quattroCifre;
        s.sql("DELETE FROM Storico");
        registra(1, quattroCifre ? "\x80" "123" "0815" "0112" : "\xE8" "12" "0815" "0112");
        completa(apri());
        const auto righe = storico();
        ASSERT_EQ(righe.size(), 1u);
        const std::vector<std::string> carta(righe[0].begin(), righe[0].begin() + 3);
        EXPECT_EQ(carta, quattroCifre ? (std::vector<std::string>{"€123", "Bianchi", "Anna"})
                                      : (std::vector<std::string>{"0è12", "Verdi", "Luca"}));
    }
}

// A database that refuses the rows: the run stops as at a reader's failure, says so, and leaves
// neither the wait window up nor the other-options window locked; nothing is erased.
TEST_F(DownLoad, ADatabaseErrorStopsTheRunAndLeavesNothingLocked) {
    cancellaDopo(true);
    registra(1, "0123" "0815" "0112");
    s.sql("CREATE TRIGGER blocca BEFORE INSERT ON Storico BEGIN SELECT RAISE(ABORT, 'bloccato'); END");
    FrmDownLoad& f = apri();
    s.dialogs.expectMsgStartingWith("Errore del database: ", mb::Critical, "Errore");
    try {
        f.Command1.click();
    } catch (const std::exception& e) {
        ADD_FAILURE() << "escaped the handler: " << e.what();
    }
    EXPECT_FALSE(s.app().isLoaded("FrmWait"));
    EXPECT_EQ(linea.a(1), (std::vector<std::string>{"Q", "S"}));
    ASSERT_TRUE(s.app().isLoaded("FrmDownLoad"));
    EXPECT_TRUE(f.Command1.Enabled() && f.Frame1.Enabled() && f.Command2.Enabled());
    f.Command2.click();
    EXPECT_TRUE(s.app().form<FrmFunzAgg>().Enabled() && s.app().form<FrmFunzAgg>().Visible());
    EXPECT_TRUE(s.dialogs.allAnswered());
}

}  // namespace
}  // namespace vc
