#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>

#include "platform/database.h"
#include "platform/report.h"
#include "support/disk_full.h"
#include "support/fakes.h"
#include "support/fifo_watch.h"
#include "support/report_files.h"

namespace vc {
namespace {

TEST(Report, TemplateQueryAndTitle) {
    test::TempDir dir;
    auto db = Database::create(dir.file("dati.mdb"));
    db->execute("CREATE TABLE Carte (Cognome TEXT, Nome TEXT); INSERT INTO Carte VALUES ('Verdi', 'Luca'), ('Bianchi', 'Anna')");
    std::ofstream(dir.file("Utenti.rpt")) << "[Report]\nTitolo=Elenco utenti\nQuery=SELECT * FROM Carte ORDER BY Cognome\n"
                                             "Colonne=Cognome|Cognome|20;nome|Nome\n";
    std::array<std::string, 8> formule{};
    ReportData d = Report::Produce(dir.file("Utenti.rpt"), dir.file("dati.mdb"), formule);
    EXPECT_EQ(d.title, "Elenco utenti");
    ASSERT_EQ(d.columns.size(), 2u);
    EXPECT_EQ(d.columns[1].heading, "Nome");
    EXPECT_EQ(d.rows, (ReportRows{{"Bianchi", "Anna"}, {"Verdi", "Luca"}}));
    formule[0] = "Titolo = \"Storico dal 01/12/2026\"";
    EXPECT_EQ(Report::Produce(dir.file("Utenti.rpt"), dir.file("dati.mdb"), formule).title, "Storico dal 01/12/2026");
}

// Rows of every length, across the slices they are kept in, in memory and in the temporary file:
// each cell reads back as written, in order and out of order.
TEST(ReportRows, EveryCellReadsBackFromMemoryAndFromTheFile) {
    const auto testo = [](std::size_t r, std::size_t k) {
        if (r == 5 && k == 1) return std::string(3 << 20, 'x');  // longer than a slice's text
        return (r + k) % 7 == 0 ? std::string() : std::to_string(r) + std::string((r * 31 + k) % 40, char('a' + k));
    };
    const auto celle = [](std::size_t r) { return r % 11 == 0 ? 0 : 1 + r % 4; };
    constexpr std::size_t n = 200000;
    for (const std::size_t memoria : {ReportRows::DefaultMemory, std::size_t{4} << 20, std::size_t{0}}) {
        SCOPED_TRACE(memoria);
        ReportRows righe(memoria);
        for (std::size_t r = 0; r < n; ++r) {
            for (std::size_t k = 0; k < celle(r); ++k) righe.addCell(testo(r, k));
            righe.endRow();
        }
        ASSERT_EQ(righe.size(), n);
        EXPECT_EQ(righe.slicesOnDisk() > 0, memoria < ReportRows::DefaultMemory);
        const auto controlla = [&](std::size_t r) {
            ASSERT_EQ(righe.cells(r), celle(r)) << r;
            for (std::size_t k = 0; k < celle(r); ++k) ASSERT_EQ(righe.cell(r, k), testo(r, k)) << r << " " << k;
        };
        for (std::size_t r = 0; r < n; ++r) controlla(r);
        for (std::size_t r = n; r-- > 0;) controlla(r);
        for (std::size_t r = 0; r < n; r += 7919) controlla((r * 104729) % n);
    }
}

// A copy of the rows shares the file: both read right while either goes on adding rows.
TEST(ReportRows, CopiesShareTheFileAndGoOnApart) {
    const auto riga = [](std::size_t r) { return std::vector<std::string>{std::to_string(r), "riga " + std::to_string(r)}; };
    ReportRows prime(0);
    for (std::size_t r = 0; r < 20000; ++r) prime.push_back(riga(r));
    ReportRows copia = prime;
    for (std::size_t r = 20000; r < 40000; ++r) prime.push_back(riga(r));
    for (std::size_t r = 20000; r < 30000; ++r) copia.push_back({"altra " + std::to_string(r)});
    ASSERT_GT(copia.slicesOnDisk(), 0u);
    ASSERT_EQ(prime.size(), 40000u);
    ASSERT_EQ(copia.size(), 30000u);
    for (std::size_t r = 0; r < 40000; ++r) ASSERT_EQ(prime[r], riga(r)) << r;
    for (std::size_t r = 0; r < 30000; ++r)
        ASSERT_EQ(copia[r], r < 20000 ? riga(r) : std::vector<std::string>{"altra " + std::to_string(r)}) << r;
}

// No room for the temporary file: the operator is told where and why, and the rows already in
// stay readable. A file cut short under the rows is told too, not read as rows.
TEST(ReportRows, AFileThatCannotBeWrittenOrReadIsTold) {
    const auto righe = [](std::size_t n) {
        ReportRows r(0);
        for (std::size_t i = 0; i < n; ++i) r.push_back({"riga " + std::to_string(i)});
        return r;
    };
    const auto errore = [](const std::function<void()>& f) {
        try {
            f();
        } catch (const ReportError& e) {
            EXPECT_EQ(e.number, ReportError::DataFailed);
            return std::string(e.what());
        }
        return std::string("no ReportError");
    };
    test::TempDir dir;
    const std::string manca = dir.file("manca");
    ::setenv("TMPDIR", manca.c_str(), 1);
    EXPECT_EQ(errore([&] { righe(10000); }),
              "Impossibile creare il file temporaneo del report nella cartella " + manca + ": non esiste");

    ::setenv("TMPDIR", dir.path().c_str(), 1);
    ReportRows tenute(0);
    {
        const test::DiskFull pieno(dir.path());
        std::size_t n = 0;
        EXPECT_EQ(errore([&] {
                      for (; n < 10000; ++n) tenute.push_back({"riga " + std::to_string(n)});
                  }),
                  "Impossibile scrivere il file temporaneo del report nella cartella " + dir.path() + ": il disco è pieno");
        EXPECT_EQ(tenute.size(), n + 1) << "the row being added when the file failed is kept";
    }
    for (std::size_t i = 0; i < tenute.size(); ++i) ASSERT_EQ(tenute[i], std::vector<std::string>{"riga " + std::to_string(i)});

    const ReportRows tagliate = righe(20000);
    ASSERT_GT(tagliate.slicesOnDisk(), 0u);
    ASSERT_GE(test::EmptyReportFiles(), 1);
    EXPECT_EQ(errore([&] { tagliate.cell(0, 0); }),
              "Impossibile leggere il file temporaneo del report nella cartella " + dir.path() + ": errore di sistema 5 "
              "(Input/output error)");
    ::unsetenv("TMPDIR");
}

// The report's query read in slices, as the preview reads it between the window's events.
class ReportQueryTest : public ::testing::Test {
protected:
    void SetUp() override {
        db->execute("CREATE TABLE T (a TEXT, b INTEGER); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                    "FROM n WHERE i < 1000) INSERT INTO T SELECT 'riga ' || i, i FROM n");
    }
    ReportQuery query(const std::string& sql) { return ReportQuery(dir.file("dati.mdb"), sql, colonne); }

    test::TempDir dir;
    std::shared_ptr<Database> db = Database::create(dir.file("dati.mdb"));
    const std::vector<ReportColumn> colonne{{"b", "B"}, {"manca", "X"}, {"A", "A"}};
};

TEST_F(ReportQueryTest, SlicesGiveTheRowsOfTheMomentItBegan) {
    ReportRows tutte;
    EXPECT_TRUE(query("SELECT a, b FROM T ORDER BY rowid").read(tutte));
    ASSERT_EQ(tutte.size(), 1000u);
    EXPECT_EQ(tutte[999], (std::vector<std::string>{"1000", "", "riga 1000"}));

    ReportQuery q = query("SELECT a, b FROM T ORDER BY rowid");
    ReportRows righe;
    EXPECT_FALSE(q.read(righe, 300));
    EXPECT_EQ(righe.size(), 300u);
    db->execute("DELETE FROM T WHERE b > 500; INSERT INTO T VALUES ('nuova', 0)");  // the station logs on
    for (int fette = 1; !q.read(righe, 300); ++fette) ASSERT_LT(fette, 10);
    EXPECT_TRUE(q.done());
    EXPECT_EQ(righe, tutte);
    EXPECT_TRUE(q.read(righe, 300));
    EXPECT_EQ(righe.size(), 1000u) << "nothing more after the last row";
}

// A report cut short by a failure would print as if whole: the failure stays.
TEST_F(ReportQueryTest, AFailureMidwayIsNeverTakenForTheEnd) {
    ReportQuery q = query("SELECT a, CASE WHEN b = 500 THEN abs(-9223372036854775807 - 1) ELSE b END AS b FROM T");
    ReportRows righe;
    EXPECT_FALSE(q.read(righe, 300));
    for (int volta = 0; volta < 2; ++volta) {
        try {
            q.read(righe, 300);
            ADD_FAILURE() << "no ReportError";
        } catch (const ReportError& e) {
            EXPECT_EQ(e.number, ReportError::DataFailed);
            EXPECT_NE(std::string(e.what()).find("overflow"), std::string::npos) << e.what();
        }
    }
    EXPECT_FALSE(q.done());
}

TEST(Report, FailuresCarryANumber) {
    test::TempDir dir;
    std::array<std::string, 8> formule{};
    auto numero = [&](const std::string& file) {
        try {
            Report::Produce(file, dir.file("nessuno.mdb"), formule);
        } catch (const ReportError& e) {
            return e.number;
        }
        return 0;
    };
    EXPECT_EQ(numero(dir.file("manca.rpt")), ReportError::TemplateMissing);
    std::ofstream(dir.file("vuoto.rpt")) << "[Report]\n";
    EXPECT_EQ(numero(dir.file("vuoto.rpt")), ReportError::TemplateInvalid);
    std::ofstream(dir.file("ok.rpt")) << "[Report]\nQuery=SELECT 1\nColonne=x\n";
    EXPECT_EQ(numero(dir.file("ok.rpt")), ReportError::DataFailed);
}

// A pipe planted as a template hung the report in open.
TEST(Report, ATemplateThatIsNoFileIsRefusedWithItsCause) {
    test::TempDir dir;
    const std::string file = dir.file("Utenti.rpt");
    test::FifoWatch watch({file});
    try {
        Report::Produce(file, dir.file("nessuno.mdb"), {});
        FAIL() << "no error";
    } catch (const ReportError& e) {
        EXPECT_EQ(e.number, ReportError::TemplateInvalid);
        EXPECT_EQ(std::string(e.what()), "Impossibile leggere il file " + file + ": è una pipe.");
    }
    EXPECT_EQ(watch.opened(), std::vector<std::string>{});
}

}  // namespace
}  // namespace vc
