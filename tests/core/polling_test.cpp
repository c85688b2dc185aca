#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>

#include "core/access/polling.h"
#include "core/log/transit_log.h"
#include "core/main/frm_main.h"
#include "core/readers/carica_lettori.h"
#include "core/settings/frm_prog_setup.h"
#include "platform/profile.h"
#include "reader_sim/reader_sim.h"
#include "support/disk_full.h"
#include "support/fakes.h"

namespace vc {
namespace {

// Readers 1 "In" at INGRESSO, 2 "Out" at USCITA, 3 "InOut" at #VARCO, plant code 000123, card
// digits at positions 0-3 and the plant code at 4-9 of the card data. Each answers the poll with
// the card read queued for it, and the grant with "S" unless told otherwise.
class Decision : public ::testing::Test {
public:  // the case tables below prepare the fixture through these
    Decision() {
        const char* lettori[][3] = {{"In", "INGRESSO", "1"}, {"Out", "USCITA  ", "2"}, {"InOut", "#VARCO  ", "3"}};
        for (auto& l : lettori)
            s.sql(std::string("INSERT INTO Lettori (TipoLettore, SituatoPresso, CodiceImpianto, Ritardo, Stato, ") +
                  "PosCarta1, PosCarta2, PosCarta3, PosCarta4, PosCodice1, PosCodice2, PosCodice3, PosCodice4, "
                  "PosCodice5, PosCodice6, NumeroLoop, NumeroIndirizzo) VALUES ('KOVA KV-M1', '" + l[1] +
                  "', '000123', 3, '" + l[0] + "', 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 1, " + l[2] + ")");
        s.serial.onWrite = [this](const std::string& frame) { rispondi(frame); };
        s.start();
        pronto();
    }
    // The station killed and started again on the same site.
    void riavvia() {
        s.restart();
        pronto();
    }

    void pronto() {
        // The link reads the settings window, whose first load reads the file again: load it now,
        // so the settings the tests change stay changed.
        s.app().form<FrmProgSetup>();
        s.app().PollingAttivo = true;
        s.app().imp.FlagBeep = false;
    }
    // An enabled on-line card for every reader, output 1 on; 'modifiche' is an SQL SET list.
    void carta(const std::string& numero, const std::string& modifiche = "") {
        s.sql("INSERT INTO Carte (Cognome, Nome, NumeroCarta, AbilitaCarta, Output1, Flag_online, Lettore) VALUES "
              "('Rossi', 'Mario', '" + numero + "', 1, 1, 1, '" + std::string(64, '1') + "')");
        if (!modifiche.empty()) s.sql("UPDATE Carte SET " + modifiche + " WHERE rowid = (SELECT max(rowid) FROM Carte)");
    }
    // The next poll of reader 'n' reads this card data, with these input states.
    void presenta(int n, const std::string& dati, const std::string& input = "00") { letture_[n] = dati + "|" + input; }
    void poll(std::int16_t n) { polling_lettore(s.app(), n); }
    // Ten inside, and the settings window checking a maximum of ten.
    void pieno() {
        s.app().form<FrmProgSetup>().Check3.setValue(1);
        s.app().form<FrmProgSetup>().Text3.setText("10");
        s.app().imp.UtentiPresenti = 10;
    }

    std::vector<std::vector<std::pair<std::string, Value>>> transiti() {
        return Database::open(s.site.file("Varcanto.mdb"))->query("SELECT * FROM transiti ORDER BY indice");
    }
    std::string nota() {
        auto t = transiti();
        return t.empty() ? "<none>" : t.back()[8].second.str();
    }
    FrmMain& main() { return s.app().form<FrmMain>(); }
    bool inizia(const std::string& testo, const std::string& prefisso) { return testo.rfind(prefisso, 0) == 0; }

    std::vector<std::string> comandi;  // every command text received, without framing
    bool rispondeAlConsenso = true;
    std::string statoConsenso = "S";  // the status of the reply to a grant
    test::Station s;

private:
    void rispondi(const std::string& frame) {
        const std::string testo = test::commandText(frame);
        comandi.push_back(testo);
        const int indirizzo = std::stoi(testo.substr(0, 2));
        const char comando = testo.at(8);
        if (comando == 'D') {
            auto it = letture_.find(indirizzo);
            if (it == letture_.end()) return s.serial.deliver(sim::replyFrame(testo.substr(0, 2) + "N0000"), 5);
            const auto bar = it->second.find('|');
            const std::string dati = it->second.substr(0, bar), input = it->second.substr(bar + 1);
            letture_.erase(it);
            s.serial.deliver(sim::replyFrame(testo.substr(0, 2) + "I0" + input + "0" + dati), 5);
        } else if (comando == 'K' && testo.substr(9) == "000000000") {
            s.serial.deliver(sim::replyFrame(testo.substr(0, 2) + "S"), 5);
        } else if (comando == 'K' && rispondeAlConsenso) {
            s.serial.deliver(sim::replyFrame(testo.substr(0, 2) + statoConsenso), 5);
        }
    }
    std::map<int, std::string> letture_;
};

TEST_F(Decision, GrantDrivesTheDoorAndLogsThePassage) {
    carta("0012");
    presenta(1, "0012000123ABCD");
    poll(1);
    EXPECT_EQ(comandi.back(), "01000123K110001000");
    const auto t = transiti();
    ASSERT_EQ(t.size(), 1u);
    const char* attesi[] = {"0012", "Rossi", "Mario", "INGRESSO", "10/12/2026", "09:00", "1", "In", "Passaggio"};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(t[0][i].second.str(), attesi[i]) << t[0][i].first;
    EXPECT_TRUE(inizia(main().Label3.Caption(), "Carta 0012 - Accesso consentito - Rossi Mario\r\n10/12/2026 09:00:"))
        << main().Label3.Caption();
    EXPECT_TRUE(inizia(main().Label8.Caption(), "Stringa ricevuta : 0012000123ABCD  10/12/2026 09:00:"));
    EXPECT_EQ(main().Shape1.FillColor(), colour::Green);
    EXPECT_EQ(main().Label4.Caption(), "1");
    EXPECT_EQ(s.app().imp.UtentiPresenti, 1);
}

TEST_F(Decision, ChecksRefuseInTheirOrderWithTheirCodes) {
    struct Caso {
        const char* nome;
        std::function<void(Decision&)> prepara;
        int lettore;
        const char* stato;  // the start of Label3
        const char* nota;
    } casi[] = {
        {"unknown card", [](Decision&) {}, 1, "Carta non presente nel database \r\n", "Badge non presente in archivio"},
        {"other plant", [](Decision& d) { d.carta("0012"); d.presenta(1, "0012000999"); }, 1,
         "Codice impianto differente \r\n", "Codice impianto non valido"},
        {"disabled", [](Decision& d) { d.carta("0012", "AbilitaCarta = 0"); }, 1, "Carta 0012 non abilitata  \r\n", ""},
        {"not on this reader", [](Decision& d) { d.carta("0012", "Lettore = '1'"); }, 2,
         "Carta 0012 non abilitata sul lettore 2 situato presso USCITA", "Non abilitato sul lettore"},
        {"not on-line", [](Decision& d) { d.carta("0012", "Flag_online = 0"); }, 1,
         "Carta 0012 non abilitata all'On-Line \r\n", "Non abilitato all' online"},
        {"random check", [](Decision& d) { d.carta("0012", "Imparziale = 1"); d.s.app().imp.FlagImparziale = true; }, 3,
         "Carta 0012 accesso negato (imparziale attivo) \r\n", "Blocco da imparziale"},
        {"not inside at the exit", [](Decision& d) { d.carta("0012"); }, 2,
         "Carta 0012 - Accesso negato (antipass-back on) \r\n", "Blocco per anti pass back"},
        {"inputs", [](Decision& d) { d.carta("0012", "ControllaInput = 1, MetodoInput = 1, Input1 = 1"); }, 1,
         "Carta 0012 - Input non validi - Accesso negato\r\n", "Blocco per input non valido"},
        {"day off", [](Decision& d) { d.carta("0012", "flag_fasce = 1, Giovedi = 0"); }, 1,
         "Carta 0012 - Accesso negato - Giorno non abilitato (Giovedì)\r\n", "Fuori fascia"},
        {"out of band", [](Decision& d) { d.carta("0012", "flag_fasce = 1, Giovedi = 1, Gio_1_da = '10:00', Gio_1_a = '11:00'"); },
         1, "Carta 0012 - Accesso negato - Fuori fascia oraria (Giovedì)\r\n", "Fuori fascia"},
        {"maximum inside",
         [](Decision& d) {
             d.carta("0012");
             d.s.app().form<FrmProgSetup>().Check3.setValue(1);
             d.s.app().form<FrmProgSetup>().Text3.setText("");
         },
         1, "Carta 0012 - Accesso negato - Limite ingressi raggiunto", "Bloco per numero massimo"},
    };
    for (const auto& c : casi) {
        SCOPED_TRACE(c.nome);
        s.sql("DELETE FROM Carte");
        s.sql("DELETE FROM presenti");
        s.app().imp.UtentiPresenti = 0;
        presenta(c.lettore, "0012000123");
        c.prepara(*this);
        comandi.clear();
        poll(static_cast<std::int16_t>(c.lettore));
        EXPECT_TRUE(inizia(main().Label3.Caption(), c.stato)) << main().Label3.Caption();
        EXPECT_EQ(nota(), c.nota);
        EXPECT_EQ(comandi.back().substr(8), "K000000000");
        EXPECT_EQ(main().Shape2.FillColor(), colour::Red);
        EXPECT_EQ(s.app().imp.UtentiPresenti, 0);
        s.app().form<FrmProgSetup>().Check3.setValue(0);
    }
}

// The cards' recordset stays open between reads: each read must still decide on the cards as
// they are at that moment.
TEST_F(Decision, EachReadSeesTheCardsAsTheyAreNow) {
    auto passa = [this] {
        presenta(3, "0012000123");
        poll(3);
        return nota();
    };
    carta("0012");
    EXPECT_EQ(passa(), "Passaggio");
    s.sql("UPDATE Carte SET AbilitaCarta = 0");
    EXPECT_EQ(passa(), "");
    s.sql("DELETE FROM Carte");
    EXPECT_EQ(passa(), "Badge non presente in archivio");
    carta("0012");
    EXPECT_EQ(passa(), "Passaggio");
}

TEST_F(Decision, CardKnownByItsRawDataPassesAnyPlantCode) {
    carta("0077", "Stringa = 'X''Y\"Z000999'");
    presenta(1, "X'Y\"Z000999");
    poll(1);
    EXPECT_EQ(nota(), "Passaggio");
    EXPECT_EQ(transiti().back()[0].second.str(), "0077");
}

TEST_F(Decision, CardDataWithNulIsMatchedWhole) {
    carta("0012", "Stringa = 'AB'");
    presenta(1, std::string("AB\0" "0000123", 10));
    poll(1);
    EXPECT_EQ(nota(), "Badge non presente in archivio");
}

TEST_F(Decision, ThreeDigitCardNumbers) {
    s.app().imp.FlagQuattroCifre = false;
    carta("0123");
    presenta(1, "1239000123");
    poll(1);
    EXPECT_EQ(nota(), "Passaggio");
}

TEST_F(Decision, AntiPassBackFollowsTheReaders) {
    carta("0012");
    auto passa = [this](int n) {
        presenta(n, "0012000123");
        poll(static_cast<std::int16_t>(n));
        return nota();
    };
    EXPECT_EQ(passa(1), "Passaggio");
    EXPECT_EQ(passa(1), "Blocco per anti pass back");
    EXPECT_EQ(passa(3), "Passaggio");  // "InOut" never checks
    EXPECT_EQ(s.app().imp.UtentiPresenti, 1);
    EXPECT_EQ(passa(2), "Passaggio");
    EXPECT_EQ(s.app().imp.UtentiPresenti, 0);
    EXPECT_EQ(main().Label4.Caption(), "0");
    EXPECT_EQ(passa(2), "Blocco per anti pass back");
    EXPECT_EQ(profile::read("Impostazioni", "Utenti", "?", 10, s.site.file("Accessi.ini")), "0");
}

// The operator saves the readers window while the poll and the grant wait for their replies: the
// decision goes on with reader 1 as it was polled, "In" at INGRESSO.
TEST_F(Decision, AReloadOfTheReadersDuringTheExchangesChangesNothingDecided) {
    carta("0012");
    presenta(1, "0012000123");
    const auto rispondi = s.serial.onWrite;
    s.serial.onWrite = [&](const std::string& frame) {
        rispondi(frame);
        s.loop.post([this] {
            s.sql("UPDATE Lettori SET Stato = 'Out', SituatoPresso = 'ALTROVE' WHERE NumeroIndirizzo = 1");
            CaricaLettori(s.app());
        });
    };
    poll(1);
    ASSERT_EQ(s.app().Lettori[0].Stato, "Out") << "the reload ran during the exchanges";
    const auto t = transiti();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0][8].second.str(), "Passaggio");
    EXPECT_EQ(t[0][3].second.str(), "INGRESSO");
    EXPECT_EQ(t[0][7].second.str(), "In");
    EXPECT_EQ(s.app().imp.UtentiPresenti, 1);
}

TEST_F(Decision, UnacknowledgedGrantLogsNothing) {
    carta("0012");
    rispondeAlConsenso = false;
    presenta(1, "0012000123");
    poll(1);
    EXPECT_EQ(main().Label3.Caption(), "Errore di comunicazione col lettore.  Impossibile consentire passaggio");
    EXPECT_TRUE(transiti().empty());
    EXPECT_EQ(s.app().imp.UtentiPresenti, 0);
}

TEST_F(Decision, GrantRefusedByTheReaderShowsItsReply) {
    carta("0012");
    statoConsenso = "D";
    presenta(1, "0012000123");
    poll(1);
    EXPECT_EQ(main().Label3.Caption(), "Errore di comunicazione col lettore. " + sim::replyFrame("01D") +
                                           " Impossibile consentire passaggio");
    EXPECT_TRUE(transiti().empty());
    EXPECT_EQ(s.app().imp.UtentiPresenti, 0);
}

TEST_F(Decision, FirstCardOfANumberIsTheOneChecked) {
    carta("0012", "AbilitaCarta = 0");
    carta("0012");
    presenta(1, "0012000123");
    poll(1);
    EXPECT_EQ(nota(), "");  // refused as not enabled: the second card is never looked at
    EXPECT_EQ(transiti().back()[6].second.toInt(), 0);
}

// The random check blocks only at "#" readers; the maximum inside applies only at "In" readers.
TEST_F(Decision, BlocksApplyOnlyAtTheirReaders) {
    struct Caso {
        const char* nome;
        std::function<void(Decision&)> prepara;
        int lettore;
        const char* nota;
    } casi[] = {
        {"random check at a plain location", [](Decision& d) { d.carta("0012", "Imparziale = 1"); }, 1, "Passaggio"},
        {"random check at a # location", [](Decision& d) { d.carta("0012", "Imparziale = 1"); }, 3,
         "Blocco da imparziale"},
        {"random check switched off", [](Decision& d) { d.carta("0012", "Imparziale = 1"); d.s.app().imp.FlagImparziale = false; },
         3, "Passaggio"},
        {"maximum reached at an In reader", [](Decision& d) { d.carta("0012"); d.pieno(); }, 1, "Bloco per numero massimo"},
        {"maximum reached at an Out reader",
         [](Decision& d) {
             d.carta("0012");
             d.pieno();
             d.s.sql("INSERT INTO presenti (NumeroBadge) VALUES ('0012')");
         },
         2, "Passaggio"},
        {"maximum reached at an InOut reader", [](Decision& d) { d.carta("0012"); d.pieno(); }, 3, "Passaggio"},
        {"one below the maximum", [](Decision& d) { d.carta("0012"); d.pieno(); d.s.app().imp.UtentiPresenti = 9; }, 1,
         "Passaggio"},
    };
    for (const auto& c : casi) {
        SCOPED_TRACE(c.nome);
        s.sql("DELETE FROM Carte");
        s.sql("DELETE FROM presenti");
        s.app().imp.UtentiPresenti = 0;
        s.app().imp.FlagImparziale = true;
        presenta(c.lettore, "0012000123");
        c.prepara(*this);
        poll(static_cast<std::int16_t>(c.lettore));
        EXPECT_EQ(nota(), c.nota) << main().Label3.Caption();
        s.app().form<FrmProgSetup>().Check3.setValue(0);
    }
}

TEST_F(Decision, NothingToDoOnAnIdleOrShortReply) {
    carta("0012");
    poll(1);  // idle reply
    presenta(2, "", "");  // "I" too short to hold card data
    poll(2);
    EXPECT_TRUE(transiti().empty());
    EXPECT_EQ(main().Label3.Caption(), "");
    EXPECT_EQ(comandi.size(), 2u);
}

TEST_F(Decision, DatabaseFailureEndsTheTickAndPollingGoesOn) {
    s.sql("DROP TABLE Carte");
    presenta(1, "0012000123");
    poll(1);
    EXPECT_TRUE(inizia(main().Label3.Caption(), "Errore del database: ")) << main().Label3.Caption();
    EXPECT_TRUE(s.app().PollingAttivo);
}

TEST_F(Decision, BandEndsAreIncluded) {
    struct Caso {
        int ora, minuto;
        const char *da1, *a1, *da2, *a2;
        bool dentro;
    } casi[] = {
        {8, 0, "08:00", "12:30", "##:##", "##:##", true},  {12, 30, "08:00", "12:30", "##:##", "##:##", true},
        {7, 59, "08:00", "12:30", "##:##", "##:##", false}, {12, 31, "08:00", "12:30", "##:##", "##:##", false},
        {15, 0, "08:00", "12:30", "14:00", "18:00", true},  {3, 0, "##:##", "##:##", "##:##", "##:##", true},
        {23, 0, "22:00", "06:00", "##:##", "##:##", false}, {9, 0, "##:##", "12:00", "##:##", "##:##", true},
        // Hour first, then minute, on the digits as written: a minute past 59 does not carry.
        {8, 0, "07:90", "08:30", "##:##", "##:##", true},   {9, 0, "08:00", "08:75", "##:##", "##:##", false},
    };
    for (const auto& c : casi) {
        s.clock.set({2026, 12, 10, c.ora, c.minuto, 59});
        EXPECT_EQ(OraInFascia(s.app(), c.da1, c.a1, c.da2, c.a2), c.dentro) << c.ora << ":" << c.minuto << " " << c.da1;
    }
}

class ArchiveReader : public Decision {
protected:
    ArchiveReader() {
        s.sql("UPDATE Lettori SET TipoLettore = 'KOVA KV-P' WHERE NumeroIndirizzo = 1");
        CaricaLettori(s.app());
        s.app().imp.FileTessaro = "ARCHIVIO";
    }
};

TEST_F(ArchiveReader, CardNumberComesFromTheArchive) {
    std::ofstream(s.site.file("ARCHIVIO.txt"), std::ios::binary) << "\"001ZZZZZZ\"\r\n\"012A1B2C3\"\r\n";
    carta("0012");
    presenta(1, "A1B2C3zzzz");
    poll(1);
    EXPECT_EQ(nota(), "Passaggio");
    presenta(1, "QQQQQQzzzz");
    poll(1);
    EXPECT_TRUE(inizia(main().Label3.Caption(), "Carta non riconosciuta \r\n"));
    EXPECT_EQ(nota(), "Carta irregolare");
}

// The look-up reads the archive as the utilities do: a line that holds no record is passed over,
// and the last line counts without its CR LF.
TEST_F(ArchiveReader, OddLinesAreSkippedAndTheLastLineNeedsNoEnd) {
    std::ofstream(s.site.file("ARCHIVIO.txt"), std::ios::binary) << "xyzQQQQQQ\r\n\r\n\"012A1B2C3\"";
    carta("0012");
    presenta(1, "QQQQQQzzzz");
    poll(1);
    EXPECT_EQ(nota(), "Carta irregolare");
    presenta(1, "A1B2C3zzzz");
    poll(1);
    EXPECT_EQ(nota(), "Passaggio");
}

TEST_F(ArchiveReader, IsPolledThroughTheMediumLink) {
    s.serial.onWrite = nullptr;  // no reader answers
    const std::pair<std::int16_t, int> casi[] = {{1, 1200}, {2, 100}};  // "KOVA KV-P", then "KOVA KV-M1"
    for (auto [lettore, ms] : casi) {
        const auto t0 = s.clock.monotonicMs();
        poll(lettore);
        const auto t = s.clock.monotonicMs() - t0;
        EXPECT_GE(t, 10 + ms) << lettore;
        EXPECT_LE(t, 10 + ms + 4 * s.clock.quantum) << lettore;
    }
}

TEST_F(ArchiveReader, MissingArchiveStopsPolling) {
    auto& m = main();
    s.app().PollingAttivo = false;
    m.Command4.click();  // switched on by the operator
    ASSERT_TRUE(m.Timer1.running());
    s.dialogs.expectMsg("Il file dove ricercare le carte per i lettori Tessaro non esiste. Il polling sarà bloccato.",
                        mb::Critical, "Errore");
    presenta(1, "A1B2C3zzzz");
    poll(1);
    EXPECT_FALSE(s.app().PollingAttivo);
    EXPECT_FALSE(m.Timer1.running());
    EXPECT_EQ(m.Label1.BackColor(), colour::Red);
    EXPECT_TRUE(m.Command2.Enabled());
    EXPECT_TRUE(transiti().empty());
}

// ---- what a refused exit leaves, and decisions the disk or the database cannot take at once ----

std::string Giornale(test::Station& s) { return s.site.file("TransitiSospesi.txt"); }

long Presenti(test::Station& s, const std::string& badge) {
    return static_cast<long>(Database::open(s.site.file("Varcanto.mdb"))
                                 ->query("SELECT 1 FROM presenti WHERE NumeroBadge = " + sqlQuote(badge))
                                 .size());
}

// The exit's check took the person out of "presenti" at once, whatever the later checks and the
// reader then did: the person was still inside, and was refused at the next real exit.
TEST_F(Decision, AnExitThatDoesNotHappenKeepsThePersonInside) {
    struct Caso {
        const char* nome;
        const char* carta;  // SQL SET list for the card
        const char* input;
        bool conferma;      // the reader acknowledges the grant
    } casi[] = {
        {"weekday not enabled", "flag_fasce = 1, Giovedi = 0", "00", true},
        {"inputs not valid", "ControllaInput = 1, Input1 = 1, Input2 = 1, MetodoInput = 1", "00", true},
        {"grant not acknowledged", "", "00", false},
    };
    int n = 10;
    for (const Caso& c : casi) {
        SCOPED_TRACE(c.nome);
        const std::string badge = "00" + std::to_string(++n);
        carta(badge, c.carta);
        s.sql("INSERT INTO presenti (NumeroBadge) VALUES ('" + badge + "')");
        s.app().imp.UtentiPresenti = 1;
        rispondeAlConsenso = c.conferma;
        presenta(2, badge + "000123", c.input);
        poll(2);
        EXPECT_EQ(Presenti(s, badge), 1);
        EXPECT_EQ(s.app().imp.UtentiPresenti, 1);
        // Back to a card that may leave: the next exit goes through, and then it is out.
        s.sql("UPDATE Carte SET flag_fasce = 0, ControllaInput = 0 WHERE NumeroCarta = '" + badge + "'");
        rispondeAlConsenso = true;
        presenta(2, badge + "000123");
        poll(2);
        EXPECT_EQ(nota(), "Passaggio");
        EXPECT_EQ(Presenti(s, badge), 0);
        EXPECT_EQ(s.app().imp.UtentiPresenti, 0);
        s.sql("DELETE FROM presenti");
    }
}

// A write the database or the disk could not take lost the passage although the door opened, and
// the person let in was refused at the exit; at an "In" reader the presence's error reached the
// tick as a bare "Errore del database".
TEST_F(Decision, APassageTheDatabaseOrTheDiskRefusesWaitsAndIsWrittenOnceLater) {
    struct Guasto {
        const char* nome;
        std::function<std::shared_ptr<void>(test::Station&)> inizia;  // the fault lasts while it is held
        bool suDisco;  // the journal can take the passage meanwhile
    } guasti[] = {
        {"another connection holds the lock",
         [](test::Station& st) -> std::shared_ptr<void> {
             auto altro = Database::open(st.site.file("Varcanto.mdb"));
             altro->execute("BEGIN IMMEDIATE");
             return altro;
         },
         true},
        {"the database fails to write",
         [](test::Station& st) -> std::shared_ptr<void> {
             st.sql("CREATE TRIGGER guasto BEFORE INSERT ON transiti BEGIN SELECT RAISE(FAIL, 'disk I/O error'); END");
             return std::shared_ptr<void>(nullptr, [&st](void*) { st.sql("DROP TRIGGER guasto"); });
         },
         true},
        {"the disk is full",
         [](test::Station& st) -> std::shared_ptr<void> { return std::make_shared<test::DiskFull>(st.site.path()); },
         false},
    };
    struct Lettore {
        int numero;
        const char* luogo;
        long dentroDopo;  // rows of "presenti" for the card once written
    } lettori[] = {{1, "INGRESSO", 1}, {2, "USCITA  ", 0}, {3, "#VARCO  ", 1}};
    for (const Guasto& g : guasti) {
        for (const Lettore& l : lettori) {
            SCOPED_TRACE(std::string(g.nome) + " at " + l.luogo);
            test::Station& st = s;  // the fault's closures outlive no case
            st.sql("DELETE FROM transiti");
            st.sql("DELETE FROM presenti");
            st.sql("DELETE FROM Carte");
            carta("0012");
            if (l.numero != 1) st.sql("INSERT INTO presenti (NumeroBadge) VALUES ('0012')");
            st.app().imp.UtentiPresenti = l.numero == 1 ? 0 : 1;
            {
                const auto guasto = g.inizia(st);
                comandi.clear();
                presenta(l.numero, "0012000123");
                poll(static_cast<std::int16_t>(l.numero));
                EXPECT_EQ(comandi.back().substr(8, 2), "K1");  // the door opened
                EXPECT_TRUE(inizia(main().Label3.Caption(), std::string(g.suDisco ? "TRANSITO IN ATTESA"
                                                                                  : "TRANSITO NON REGISTRATO") +
                                                                ": carta 0012 (Passaggio) - "))
                    << main().Label3.Caption();
                EXPECT_TRUE(main().Label9.Visible());
                EXPECT_NE(main().Label9.Caption().find("1 in attesa dal 10/12/2026"), std::string::npos)
                    << main().Label9.Caption();
                EXPECT_NE(main().Label9.Caption().find("carta 0012"), std::string::npos);
                EXPECT_EQ(std::filesystem::exists(Giornale(st)), g.suDisco);
                // The next card overwrites the status line, not the notice; the person let in
                // may leave meanwhile.
                if (l.numero == 1) {
                    presenta(2, "0012000123");
                    poll(2);
                    EXPECT_EQ(comandi.back().substr(8, 2), "K1");
                    EXPECT_NE(main().Label9.Caption().find("2 in attesa"), std::string::npos)
                        << main().Label9.Caption();
                }
            }
            if (g.suDisco) riavvia();
            else RiprovaSospesi(st.app());
            EXPECT_FALSE(main().Label9.Visible());
            EXPECT_FALSE(std::filesystem::exists(Giornale(st)));
            const auto t = transiti();
            ASSERT_EQ(t.size(), l.numero == 1 ? 2u : 1u);
            EXPECT_EQ(t[0][3].second.str(), l.luogo);
            EXPECT_EQ(Presenti(s, "0012"), l.numero == 1 ? 0 : l.dentroDopo);
            EXPECT_EQ(st.app().imp.UtentiPresenti, l.numero == 1 ? 0 : l.dentroDopo);
            riavvia();  // and never twice
            EXPECT_EQ(transiti().size(), t.size());
        }
    }
}

// Every decision waited the 2 s busy time-out of another connection's lock, the line stopped.
TEST_F(Decision, TheLineDoesNotWaitOnAnotherConnectionsLock) {
    carta("0012");
    carta("0013");
    carta("0014");
    auto altro = Database::open(s.site.file("Varcanto.mdb"));
    altro->execute("BEGIN IMMEDIATE");
    const auto inizio = std::chrono::steady_clock::now();
    for (const char* b : {"0012", "0013", "0014"}) {
        presenta(1, std::string(b) + "000123");
        poll(1);
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - inizio);
    EXPECT_LT(ms.count(), 1000) << "three decisions under a lock";  // each waited 2,000 before
    altro->execute("COMMIT");
    RiprovaSospesi(s.app());
    EXPECT_EQ(transiti().size(), 3u);
    EXPECT_EQ(s.app().imp.UtentiPresenti, 3);
}

}  // namespace
}  // namespace vc
