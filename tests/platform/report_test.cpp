#include <gtest/gtest.h>

#include <fstream>

#include "platform/database.h"
#include "platform/report.h"
#include "support/fakes.h"
#include "support/fifo_watch.h"

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
    EXPECT_EQ(d.rows, (std::vector<std::vector<std::string>>{{"Bianchi", "Anna"}, {"Verdi", "Luca"}}));
    formule[0] = "Titolo = \"Storico dal 01/12/2026\"";
    EXPECT_EQ(Report::Produce(dir.file("Utenti.rpt"), dir.file("dati.mdb"), formule).title, "Storico dal 01/12/2026");
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
