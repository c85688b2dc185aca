#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <random>

#include "history/frm_view_storia.h"
#include "history/presenze.h"
#include "history/transiti_prova.h"

namespace vc {
namespace {

using test::Transito;

const std::string kMancante(17, '=');

class Attendance : public ::testing::Test {
protected:
    Attendance() {
        s.start();
        w = &s.app().form<FrmViewStoria>();
        w->OptInteraParziale[2].click();
    }
    // The whole log of 'transiti' through the history, then the attendance computation.
    void calcola(const std::vector<Transito>& transiti) {
        s.sql("DELETE FROM transiti");
        test::Scrivi(s, transiti);
        w->CmdPresenta.click();
        w->CmdCalcolaTempiPresenze.click();
    }
    // Each row as "entry exit hours:minutes", with the checks every row must pass.
    std::vector<std::string> presenze() {
        std::vector<std::string> out;
        for (const auto& r : test::Report(s, "SELECT cognome, numerobadge, mancaingresso, mancauscita, dataingresso, "
                                             "sdataingresso, dataUscita, sdataUscita, numeroore, numerominuti "
                                             "FROM presenze ORDER BY rowid")) {
            const bool senzaIngresso = r[2].second.toBool(), senzaUscita = r[3].second.toBool();
            EXPECT_EQ(senzaIngresso, r[5].second.str() == kMancante);
            EXPECT_EQ(senzaIngresso, r[4].second.isNull());
            EXPECT_EQ(senzaUscita, r[7].second.str() == kMancante);
            EXPECT_EQ(senzaUscita, r[6].second.isNull());
            EXPECT_EQ(senzaIngresso || senzaUscita, r[8].second.isNull());
            out.push_back(r[1].second.str() + " " + r[5].second.str() + " " + r[7].second.str() + " " +
                          r[8].second.str() + ":" + r[9].second.str());
        }
        return out;
    }
    test::Station s;
    FrmViewStoria* w = nullptr;
};

Transito T(const char* badge, const char* data, const char* ora, const char* verso, int passaggio = 1) {
    return {badge, badge[3] == '7' ? "Rossi" : "Verdi", "", data, ora, passaggio, verso};
}
constexpr const char* kOggi = "10/12/2026";

TEST_F(Attendance, EntriesPairWithTheNextExit) {
    struct Caso {
        const char* nome;
        std::vector<Transito> transiti;
        std::vector<std::string> presenze;
    } casi[] = {
        {"two pairs in a day",
         {T("0007", kOggi, "08:00", "In"), T("0007", kOggi, "12:30", "Out"), T("0007", kOggi, "13:30", "In"),
          T("0007", kOggi, "17:05", "Out")},
         {"0007 10/12/26-08:00:00 10/12/26-12:30:00 4:30", "0007 10/12/26-13:30:00 10/12/26-17:05:00 3:35"}},
        {"minutes across an hour", {T("0007", kOggi, "08:59", "In"), T("0007", kOggi, "10:01", "Out")},
         {"0007 10/12/26-08:59:00 10/12/26-10:01:00 1:2"}},
        {"two entries in a row",
         {T("0007", kOggi, "08:00", "In"), T("0007", kOggi, "09:00", "In"), T("0007", kOggi, "12:00", "Out")},
         {"0007 10/12/26-08:00:00 " + kMancante + " :", "0007 10/12/26-09:00:00 10/12/26-12:00:00 3:0"}},
        {"a lone exit as the last row",
         {T("0007", kOggi, "08:00", "In"), T("0007", kOggi, "09:00", "Out"), T("0012", kOggi, "10:00", "Out")},
         {"0007 10/12/26-08:00:00 10/12/26-09:00:00 1:0", "0012 " + kMancante + " 10/12/26-10:00:00 :"}},
        {"an exit before an entry", {T("0007", kOggi, "08:00", "Out"), T("0007", kOggi, "09:00", "In")},
         {"0007 " + kMancante + " 10/12/26-08:00:00 :", "0007 10/12/26-09:00:00 " + kMancante + " :"}},
        {"an exit after a pair",
         {T("0007", kOggi, "08:00", "In"), T("0007", kOggi, "09:00", "Out"), T("0007", kOggi, "10:00", "Out")},
         {"0007 10/12/26-08:00:00 10/12/26-09:00:00 1:0", "0007 " + kMancante + " 10/12/26-10:00:00 :"}},
        {"across midnight", {T("0007", "09/12/2026", "22:00", "In"), T("0007", kOggi, "06:15", "Out")},
         {"0007 09/12/26-22:00:00 10/12/26-06:15:00 8:15"}},
        {"another badge closes an entry", {T("0007", kOggi, "08:00", "In"), T("0012", kOggi, "09:00", "Out")},
         {"0007 10/12/26-08:00:00 " + kMancante + " :", "0012 " + kMancante + " 10/12/26-09:00:00 :"}},
        {"refusals take no part",
         {T("0007", kOggi, "08:00", "In"), T("0007", kOggi, "09:00", "Out", 0), T("0007", kOggi, "10:00", "Out")},
         {"0007 10/12/26-08:00:00 10/12/26-10:00:00 2:0"}},
        {"no transits", {}, {}},
    };
    for (const auto& c : casi) {
        SCOPED_TRACE(c.nome);
        calcola(c.transiti);
        EXPECT_EQ(presenze(), c.presenze);
        ASSERT_FALSE(s.reports.rendered.empty());
        EXPECT_EQ(s.reports.rendered.back().rows.size(), c.presenze.size());
    }
}

TEST_F(Attendance, TwoWayPassagesAreLeftOutWithAWarning) {
    s.dialogs.expectMsg(
        "Riscontrati passaggi da tornelli Inout. Sono stati considerati come non avvenuti. I dati di presenza "
        "potranno risultare non corretti",
        0, "Varcanto");
    calcola({T("0007", kOggi, "08:00", "In"), T("0007", kOggi, "09:00", "InOut"), T("0007", kOggi, "12:00", "Out"),
             T("0007", kOggi, "13:00", "InOut")});
    EXPECT_TRUE(s.dialogs.allAnswered());
    EXPECT_EQ(presenze(), std::vector<std::string>{"0007 10/12/26-08:00:00 10/12/26-12:00:00 4:0"});
}

// A card passed on to someone else keeps one run: only the badge separates runs.
TEST_F(Attendance, NamesComeFromTheTransitThatBeganTheRun) {
    calcola({{"0007", "Rossi", "Anna", kOggi, "08:00", 1, "In"}, {"0007", "Russo", "Ugo", kOggi, "09:00", 1, "Out"}});
    const auto righe = test::Report(s, "SELECT cognome, nome, numeroore FROM presenze");
    ASSERT_EQ(righe.size(), 1u);
    EXPECT_EQ(righe[0][0].second.str() + " " + righe[0][1].second.str(), "Rossi Anna");
    EXPECT_EQ(righe[0][2].second, Value(1));
}

// Surnames sort without regard to letter case, so a surname retyped in other capitals stays in
// its badge's run and a lower-case particle sorts where it reads.
TEST_F(Attendance, SurnamesSortWithoutRegardToLetterCase) {
    calcola({{"0012", "Esposito", "", kOggi, "08:00", 1, "In"}, {"0007", "ROSSI", "", kOggi, "08:00", 1, "In"},
             {"0007", "Rossi", "", kOggi, "12:00", 1, "Out"}, {"0031", "de Luca", "", kOggi, "09:00", 1, "In"},
             {"0044", "Ricci", "", kOggi, "10:00", 1, "Out"}});
    EXPECT_EQ(presenze(), (std::vector<std::string>{"0031 10/12/26-09:00:00 " + kMancante + " :",
                                                    "0012 10/12/26-08:00:00 " + kMancante + " :",
                                                    "0044 " + kMancante + " 10/12/26-10:00:00 :",
                                                    "0007 10/12/26-08:00:00 10/12/26-12:00:00 4:0"}));
}

TEST_F(Attendance, ReportIsTitledAfterTheHistory) {
    calcola({T("0007", kOggi, "08:00", "In"), T("0007", kOggi, "12:30", "Out")});
    ASSERT_FALSE(s.reports.rendered.empty());
    const ReportData& r = s.reports.rendered.back();
    EXPECT_EQ(w->Report1.Formulas[0], "Titolo = \"Storico totale Tempi presenza   \"");
    EXPECT_EQ(r.title, "Storico totale Tempi presenza   ");
    EXPECT_EQ(r.windowTitle, "Storico totale");
    const std::vector<std::string> riga = {"Rossi", "", "0007", "10/12/26-08:00:00", "10/12/26-12:30:00", "4", "30"};
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(r.rows[0], riga);
}

// A log of every kind of sequence (surnames in two letter cases, lower-case directions, transits
// of a badge within the same minute, refusals, two-way passages) writes to presenze the rows the
// pairing has always written: their digest was taken from its first form.
TEST_F(Attendance, AMixedLogWritesTheRowsItAlwaysWrote) {
    std::minstd_rand caso(15);
    const char* versi[] = {"In", "Out", "In", "Out", "InOut", "in", "OUT"};
    std::vector<Transito> log;
    for (int i = 0; i < 800; ++i) {
        const auto badge = static_cast<int>(caso() % 37);
        char b[8], ora[8];
        std::snprintf(b, sizeof b, "%04d", badge);
        std::snprintf(ora, sizeof ora, "%02d:%02d", static_cast<int>(caso() % 24), static_cast<int>(caso() % 4) * 15);
        log.push_back({b, badge % 5 == 0 ? (caso() % 2 ? "Rossi" : "ROSSI") : "Verdi" + std::to_string(badge % 7),
                       "n" + std::to_string(badge % 3), std::to_string(8 + static_cast<int>(caso() % 3)) + "/12/2026",
                       ora, caso() % 13 != 0, versi[caso() % 7]});
    }
    s.dialogs.expectMsgStartingWith("Riscontrati passaggi da tornelli Inout", 0, "Varcanto");
    calcola(log);
    std::uint64_t digest = 1469598103934665603ull;  // FNV-1a over every value of every row
    const auto righe = test::Report(s, "SELECT * FROM presenze ORDER BY rowid");
    for (const auto& riga : righe)
        for (const auto& [nome, valore] : riga)
            for (char c : nome + "=" + valore.str() + "|") digest = (digest ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    EXPECT_EQ(righe.size(), 486u);
    EXPECT_EQ(digest, 14560000409230474047ull);
}

// The transits reach the pairing sorted exactly as the database sorts them: names that differ only
// in letter case, letters against the signs between 'Z' and 'a', non-ASCII letters, a NUL byte,
// missing names, binary data, and many transits equal in every key, which keep their table order.
TEST(AttendanceOrder, TransitsComeInTheDatabasesOwnOrder) {
    auto db = Database::memory();
    db->execute("CREATE TABLE TEMP (Cognome TEXT, Nome TEXT, NumeroBadge TEXT, verso TEXT, dataora REAL, "
                "passaggio INTEGER)");
    const char* nomi[] = {"'Rossi'", "'ROSSI'", "'rossi'", "'Ross'", "'Rossi '", "''", "NULL", "'_rossi'",
                          "'[x'", "'\xc3\x80'", "'\xc3\xa0'", "'a' || char(0) || 'b'", "'a' || char(0) || 'c'",
                          "'a'", "X'61'", "X'42'"};
    const char* badge[] = {"'0007'", "'0012'", "'0007 '", "NULL", "X'30'"};
    const char* ore[] = {"46000.25", "46000.5", "46001", "NULL"};
    std::minstd_rand caso(7);
    auto uno = [&caso](const auto& tra) { return tra[caso() % std::size(tra)]; };
    for (int i = 0; i < 3000; ++i)
        db->execute(std::string("INSERT INTO TEMP VALUES (") + uno(nomi) + ", " + uno(nomi) + ", " + uno(badge) +
                    ", 'v" + std::to_string(i) + "', " + uno(ore) + ", " + (caso() % 5 ? "1" : "0") + ")");
    std::vector<std::string> atteso;
    db->forEachRow("SELECT verso FROM TEMP WHERE passaggio = 1 AND dataora IS NOT NULL ORDER BY Cognome COLLATE "
                   "NOCASE, Nome COLLATE NOCASE, NumeroBadge COLLATE NOCASE, dataora",
                   [&atteso](const Database::Row& r) { atteso.push_back(r.value(0).str()); });
    std::vector<std::string> letto;
    for (const TransitoPresenza& t : TransitiPresenza(*db)) letto.push_back(t.verso);
    ASSERT_GT(atteso.size(), 1000u);
    EXPECT_EQ(letto, atteso);
}

}  // namespace
}  // namespace vc
