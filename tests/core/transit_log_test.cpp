#include <gtest/gtest.h>
#include <sqlite3.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "core/log/transit_log.h"
#include "core/main/frm_main.h"
#include "platform/profile.h"
#include "support/fakes.h"
#include "support/fsync_spy.h"

namespace vc {
namespace {

TEST(TransitLog, RefusalCauses) {
    const char* const attese[] = {"Carta irregolare", "Badge non presente in archivio", "Codice impianto non valido",
                                  "Fuori fascia", "", "Non abilitato sul lettore", "Blocco da imparziale",
                                  "Blocco per anti pass back", "Non abilitato all' online", "Bloco per numero massimo",
                                  "Blocco per input non valido"};
    for (std::int16_t c = 0; c <= 10; ++c) EXPECT_STREQ(CausaRifiuto(c), attese[c]) << c;
}

TEST(TransitLog, HistoryLineColumns) {
    const std::string riga = RigaStorico("0012", "Rossi", "Mario", 3, "INGRESSO", "07/12/2026", "08:05", "In");
    EXPECT_EQ(riga, "0012          Mario          Rossi   03 INGRESSO 07/12/2026 08:05 Passaggio In");
    EXPECT_EQ(riga.substr(37, 2), "03");
    EXPECT_EQ(riga.substr(66, 9), "Passaggio");
    // A long surname keeps its last 14 characters; accented letters count as one column.
    EXPECT_EQ(RigaStorico("1", "Abcdefghijklmnopqrst", "Niccolò", 12, "Via", "01/01/2027", "00:00", "Out"),
              "1        Niccolò ghijklmnopqrst   12      Via 01/01/2027 00:00 Passaggio Out");
}

class Presence : public ::testing::Test {
protected:
    Presence() { s.start(); }
    long presenti() {
        return Database::open(s.site.file("Varcanto.mdb"))->query("SELECT * FROM presenti").size();
    }
    std::string utenti() { return profile::read("Impostazioni", "Utenti", "?", 10, s.site.file("Accessi.ini")); }
    test::Station s;
};

TEST_F(Presence, AntiPassBackByDirection) {
    App& a = s.app();
    EXPECT_FALSE(controllo_antipassback(a, "0012", 1));  // not inside: may enter
    ScriviTransito(a, " 0012 ", "Rossi", "Mario", 1, "INGRESSO", "In", 1);
    EXPECT_EQ(presenti(), 1);
    EXPECT_EQ(utenti(), "1");
    EXPECT_TRUE(controllo_antipassback(a, "0012", 1));   // inside: refused at the entrance
    EXPECT_FALSE(controllo_antipassback(a, "0012", 2));  // an "InOut" reader never checks
    ScriviTransito(a, "0012", "Rossi", "Mario", 3, "VARCO   ", "InOut", 2);
    EXPECT_EQ(presenti(), 1);
    EXPECT_FALSE(controllo_antipassback(a, "0012", 0));  // inside: may leave, and is still inside
    EXPECT_EQ(presenti(), 1);
    ScriviTransito(a, "0012", "Rossi", "Mario", 2, "USCITA  ", "Out", 0);  // the exit took place
    EXPECT_EQ(presenti(), 0);
    EXPECT_EQ(utenti(), "0");
    EXPECT_TRUE(controllo_antipassback(a, "0012", 0));   // not inside: refused at the exit
}

// A kill between a change of "presenti" and the write of "Utenti" left the count one off for good.
TEST(PresenceAtStartUp, TheCountFollowsTheTableOfPeopleInside) {
    test::Station s;
    s.sql("INSERT INTO presenti (NumeroBadge) VALUES ('0007'), ('0008')");
    s.setting("Utenti", "3");
    auto& m = static_cast<FrmMain&>(s.start());
    EXPECT_EQ(s.app().imp.UtentiPresenti, 2);
    EXPECT_EQ(m.Label4.Caption(), "2");
    EXPECT_EQ(profile::read("Impostazioni", "Utenti", "?", 10, s.site.file("Accessi.ini")), "2");
}

TEST_F(Presence, CountIsNotClampedAtZero) {
    s.sql("INSERT INTO presenti (NumeroBadge) VALUES ('0007')");
    EXPECT_FALSE(controllo_antipassback(s.app(), "0007", 0));
    ScriviTransito(s.app(), "0007", "Rossi", "Mario", 2, "USCITA  ", "Out", 0);
    EXPECT_EQ(s.app().imp.UtentiPresenti, -1);
    EXPECT_EQ(utenti(), "-1");
}

// Rows written by other programs may hold blanks: a person is the first row, in table order,
// whose trimmed number is the trimmed badge; the passage that follows the check moves that row.
TEST_F(Presence, BadgesStoredWithBlanksAreFoundInTableOrder) {
    using Righe = std::vector<std::string>;
    struct Caso {
        const char* nome;
        Righe righe;
        const char* badge;
        std::int16_t verso;
        bool rifiuta;
        Righe restano;
    } casi[] = {
        {"leaving removes the first", {"0011", " 0012", "0012 ", "0012"}, "0012", 0, false, {"0011", "0012 ", "0012"}},
        {"entering while inside", {"0011", "0012  "}, " 0012", 1, true, {"0011", "0012  "}},
        {"only blanks are trimmed", {"00120", "012", "0 012"}, "0012", 1, false, {"00120", "012", "0 012", "0012"}},
        {"leaving without being inside", {"00120", "012"}, "0012", 0, true, {"00120", "012"}},
        {"an empty badge is a blank row", {"0011", "   ", ""}, "", 0, false, {"0011", ""}},
    };
    for (const Caso& c : casi) {
        SCOPED_TRACE(c.nome);
        s.sql("DELETE FROM presenti");
        for (const std::string& r : c.righe) s.sql("INSERT INTO presenti (NumeroBadge) VALUES ('" + r + "')");
        EXPECT_EQ(controllo_antipassback(s.app(), c.badge, c.verso), c.rifiuta);
        if (!c.rifiuta) ScriviTransito(s.app(), c.badge, "Rossi", "Mario", 1, "VARCO   ", "-", c.verso);
        Righe restano;
        for (const auto& r : Database::open(s.site.file("Varcanto.mdb"))->query("SELECT NumeroBadge FROM presenti ORDER BY rowid"))
            restano.push_back(r[0].second.str());
        EXPECT_EQ(restano, c.restano);
    }
}

// A site database built before the trimmed index gets it at start-up, and with it a look-up
// among 30,000 people inside reads a few index entries instead of every row.
TEST(PresenceIndex, AnOlderSiteGetsItAtStartUpAndLooksUpWithoutScanning) {
    test::Station s;
    s.sql("DROP INDEX presenti_trim_NumeroBadge");
    {
        auto db = Database::open(s.site.file("Varcanto.mdb"));
        Transaction t(*db);
        for (int i = 0; i < 30000; ++i) db->execute("INSERT INTO presenti (NumeroBadge) VALUES ('" + std::to_string(100000 + i) + "')");
        t.commit();
    }
    s.start();
    const auto indici = Database::open(s.site.file("Varcanto.mdb"))
                            ->query("SELECT sql FROM sqlite_master WHERE name = 'presenti_trim_NumeroBadge'");
    ASSERT_EQ(indici.size(), 1u);
    sqlite3* presenti = test::control<Data>(s.app(), "FrmMain", "Data1").database().handle();
    long passi = 0;
    sqlite3_progress_handler(presenti, 100, [](void* n) { return ++*static_cast<long*>(n), 0; }, &passi);
    EXPECT_FALSE(controllo_antipassback(s.app(), "129999", 0));
    EXPECT_TRUE(controllo_antipassback(s.app(), "0012", 0));
    sqlite3_progress_handler(presenti, 0, nullptr, nullptr);
    EXPECT_LT(passi, 20) << "about 100 virtual-machine steps per unit";
}

TEST_F(Presence, RefusalIsCarriedOutAndLogged) {
    auto& m = s.app().form<FrmMain>();
    ScriviTransitoNegato(s.app(), "01000123", CartaNonAbilitata, "Ingresso", "In", "0012", "Rossi", "Mario");
    EXPECT_EQ(m.Shape1.FillColor(), colour::Red);
    EXPECT_EQ(m.Shape2.FillColor(), colour::Red);
    ASSERT_EQ(s.serial.writes.size(), 1u);
    EXPECT_EQ(s.serial.writes[0].substr(1, 18), "01000123K000000000");
    EXPECT_GT(s.dialogs.beeps, 0);
    const auto righe = Database::open(s.site.file("Varcanto.mdb"))->query("SELECT * FROM transiti");
    ASSERT_EQ(righe.size(), 1u);
    const auto& r = righe[0];
    EXPECT_EQ(r[0].second.str(), "0012");
    EXPECT_EQ(r[3].second.str(), "Ingresso");
    EXPECT_EQ(r[4].second.str(), "10/12/2026");
    EXPECT_EQ(r[6].second.toInt(), 0);
    EXPECT_EQ(r[7].second.str(), "In");
    EXPECT_EQ(r[8].second.str(), "");
}

// A crash during the all-off exchange or the beep (up to three seconds) lost the refusal.
TEST_F(Presence, RefusalIsStoredBeforeTheAllOffAndTheBeep) {
    std::size_t righeAllOff = 99;
    s.serial.onWrite = [&](const std::string&) {
        righeAllOff = Database::open(s.site.file("Varcanto.mdb"))->query("SELECT * FROM transiti").size();
    };
    ScriviTransitoNegato(s.app(), "01000123", FuoriFascia, "Ingresso", "In", "0012", "Rossi", "Mario");
    EXPECT_EQ(righeAllOff, 1u);
    EXPECT_GT(s.dialogs.beeps, 0);
}

TEST_F(Presence, BeepLastsOneSecondAndCanBeSilenced) {
    const auto t0 = s.clock.monotonicMs();
    ScriviTransitoNegato(s.app(), "01000123", BadgeNonPresente, "Ingresso", "In", "", "", "");
    const auto t = s.clock.monotonicMs() - t0;
    EXPECT_GE(t, 2000 + 1000);  // the unanswered all-off, then the beep
    EXPECT_LE(t, 2000 + 1000 + 4 * s.clock.quantum);
    s.dialogs.beeps = 0;
    s.app().imp.FlagBeep = false;
    ScriviTransitoNegato(s.app(), "01000123", BadgeNonPresente, "Ingresso", "In", "", "", "");
    EXPECT_EQ(s.dialogs.beeps, 0);
}

// The beep's second let events run by spinning on doEvents(); it now blocks between rounds.
TEST_F(Presence, TheBeepsSecondBlocksBetweenRounds) {
    s.clock.quantum = 1;
    s.clock.onWait = [&](int, int ms) { s.clock.advance(ms); };
    const auto t0 = s.clock.monotonicMs();
    ScriviTransitoNegato(s.app(), "01000123", BadgeNonPresente, "Ingresso", "In", "", "", "");
    EXPECT_GE(s.clock.monotonicMs() - t0, 2000 + 1000);
    EXPECT_LT(s.dialogs.beeps, 50);
}

TEST_F(Presence, ExternalHistoryTakesGrantsNotRefusals) {
    s.app().imp.FlagStoricoEsterno = true;
    ScriviTransito(s.app(), "0012", "Rossi", "Mario", 3, "INGRESSO", "In", 2);
    ScriviTransitoNegato(s.app(), "01000123", BloccoAntiPassBack, "INGRESSO", "In", "0012", "Rossi", "Mario");
    std::ifstream f(s.site.file("Storico.txt"), std::ios::binary);
    std::string contenuto((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    EXPECT_EQ(contenuto, "\"0012          Mario          Rossi   03 INGRESSO 10/12/2026 09:00 Passaggio In\"\r\n");
    const auto righe = Database::open(s.site.file("Varcanto.mdb"))->query("SELECT nota FROM transiti");
    ASSERT_EQ(righe.size(), 1u);
    EXPECT_EQ(righe[0][0].second.str(), "Blocco per anti pass back");
}

// The line was flushed to the page cache only: a power cut could still take it. And a link planted
// under its name was followed.
TEST_F(Presence, HistoryLineIsOnTheDiskWhenTheGrantReturnsAndNeverWrittenThroughALink) {
    s.app().imp.FlagStoricoEsterno = true;
    const std::string storico = s.site.file("Storico.txt");
    {
        const test::FsyncSpy spia;
        ScriviTransito(s.app(), "0012", "Rossi", "Mario", 3, "INGRESSO", "In", 2);
        EXPECT_TRUE(spia.wasSynced(storico));
        EXPECT_TRUE(spia.wasSynced(s.site.path()));  // the new file's name
    }
    {
        const test::FsyncSpy spia;
        ScriviTransito(s.app(), "0012", "Rossi", "Mario", 3, "INGRESSO", "In", 2);
        EXPECT_EQ(spia.synced(), std::vector<std::string>{std::filesystem::canonical(storico).string()});
    }
    std::filesystem::remove(storico);
    const std::string altrove = s.site.file("altrove");
    std::filesystem::create_symlink(altrove, storico);
    ScriviTransito(s.app(), "0013", "Rossi", "Maria", 1, "INGRESSO", "In", 2);
    EXPECT_FALSE(std::filesystem::exists(altrove));
    EXPECT_NE(s.app().form<FrmMain>().Label3.Caption().find("TRANSITO IN ATTESA: carta 0013"), std::string::npos);
}

// The history kept on another disk behind a link the administrator made: every passage was
// refused and lost. Such a link is followed; one another user planted is not.
TEST_F(Presence, ExternalHistoryGoesThroughATrustedLinkOnly) {
    s.app().imp.FlagStoricoEsterno = true;
    test::TempDir altroDisco;
    const std::string storico = s.site.file("Storico.txt"), target = altroDisco.file("Storico.txt");
    std::ofstream(target) << "";
    std::filesystem::create_symlink(target, storico);
    ScriviTransito(s.app(), "0012", "Rossi", "Mario", 3, "INGRESSO", "In", 2);
    std::ifstream letto(target, std::ios::binary);
    std::string riga;
    ASSERT_TRUE(std::getline(letto, riga));
    EXPECT_NE(riga.find("0012"), std::string::npos) << riga;
    EXPECT_TRUE(std::filesystem::is_symlink(storico));
    if (::geteuid() != 0) GTEST_SKIP() << "only root can plant another user's link";
    ASSERT_EQ(::lchown(storico.c_str(), 4242, 4242), 0);
    const auto prima = std::filesystem::file_size(target);
    ScriviTransito(s.app(), "0013", "Rossi", "Maria", 1, "INGRESSO", "In", 2);
    EXPECT_EQ(std::filesystem::file_size(target), prima);
    EXPECT_NE(s.app().form<FrmMain>().Label3.Caption().find("TRANSITO IN ATTESA: carta 0013"), std::string::npos);
}

TEST_F(Presence, TransitTheDatabaseRefusesIsShownAndKept) {
    auto& m = s.app().form<FrmMain>();
    s.sql("CREATE TRIGGER no_insert BEFORE INSERT ON transiti BEGIN SELECT RAISE(FAIL, 'disco pieno'); END");
    ScriviTransito(s.app(), "0012", "Rossi", "Mario", 1, "INGRESSO", "In", 2);
    EXPECT_NE(m.Label3.Caption().find("TRANSITO IN ATTESA: carta 0012 (Passaggio)"), std::string::npos)
        << m.Label3.Caption();
    EXPECT_NE(m.Label3.Caption().find("disco pieno"), std::string::npos);
    s.app().imp.FlagStoricoEsterno = true;
    std::filesystem::create_directory(s.site.file("Storico.txt"));
    ScriviTransito(s.app(), "0013", "Rossi", "Maria", 1, "INGRESSO", "In", 2);
    EXPECT_NE(m.Label3.Caption().find("TRANSITO IN ATTESA: carta 0013"), std::string::npos) << m.Label3.Caption();
    EXPECT_EQ(s.app().Sospesi.voci.size(), 2u);
}

}  // namespace
}  // namespace vc
