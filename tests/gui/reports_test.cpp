// Reports laid out on pages: what the PDF holds (read back with pdftotext), where it goes, what a
// failure to write it gives, and the users report from its window to the page.

#include <QApplication>
#include <QBuffer>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPdfWriter>
#include <QPainter>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <set>
#include <string>
#include <utility>

#include "gui/qt_reports.h"
#include "gui/report_pages.h"
#include "gui/report_preview.h"
#include "gui_support.h"
#include "platform/database.h"
#include "readers_admin/frm_funz_agg.h"
#include "support/report_files.h"

namespace vc {
namespace {

ReportData prova(int righe = 3) {
    ReportData d;
    d.title = "Elenco di prova";
    d.columns = {{"Cognome", "Cognome", 20}, {"Nome", "Nome", 16}, {"Carta", "Numero carta", 12}};
    const char* cognomi[] = {"Rossi", "Bianchi", "Nicolò"};
    for (int i = 0; i < righe; ++i)
        d.rows.push_back({cognomi[i % 3], "Nome " + std::to_string(i + 1), std::to_string(1000 + i)});
    return d;
}

QString testo(const std::string& pdf, int pagina = 0) { return test::pdfText(QString::fromStdString(pdf), pagina); }

struct Uscita {
    const char* nome;
    int destination;
    bool senzaFinestre;  // the renderer writes what would open a window to its own file
    bool sulFileDiStampa;
};

void PrintTo(const Uscita& u, std::ostream* os) { *os << u.nome; }

class Uscite : public ::testing::TestWithParam<Uscita> {};

TEST_P(Uscite, TheReportIsLaidOutWhereItsDestinationSays) {
    const Uscita& u = GetParam();
    test::TempDir dir;
    ReportData d = prova();
    d.destination = u.destination;
    d.printFile = dir.file("stampa.pdf");
    gui::QtReports reports(u.senzaFinestre ? dir.file("anteprima.pdf") : "");
    reports.render(d);

    const std::string atteso = u.sulFileDiStampa ? d.printFile : dir.file("anteprima.pdf");
    ASSERT_TRUE(std::filesystem::exists(atteso));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "one file only";
    if (!test::canReadPdf()) GTEST_SKIP() << "pdftotext is not installed";
    const QString t = testo(atteso);
    for (const char* parola : {"Elenco di prova", "Numero carta", "Cognome", "Bianchi", "Nicolò", "Nome 3", "1002",
                               "Pagina 1 di 1"})
        EXPECT_TRUE(t.contains(parola)) << parola << " not in:\n" << t.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    OgniDestinazione, Uscite,
    ::testing::Values(Uscita{"File", 2, false, true}, Uscita{"FileAncheSenzaFinestre", 2, true, true},
                      Uscita{"AnteprimaSenzaFinestre", 0, true, false},
                      Uscita{"StampanteSenzaFinestre", 1, true, false}),
    [](const ::testing::TestParamInfo<Uscita>& caso) { return std::string(caso.param.nome); });

TEST(QtReports, LongReportsRepeatTheHeadingsAndNumberEveryPage) {
    test::TempDir dir;
    ReportData d = prova(150);
    d.destination = 2;
    d.printFile = dir.file("lungo.pdf");
    gui::QtReports().render(d);
    if (!test::canReadPdf()) GTEST_SKIP() << "pdftotext is not installed";
    const QString seconda = testo(d.printFile, 2);
    EXPECT_TRUE(seconda.contains("Numero carta")) << seconda.toStdString();
    EXPECT_TRUE(seconda.contains("Pagina 2 di ")) << seconda.toStdString();
    EXPECT_FALSE(seconda.contains("Elenco di prova")) << "the title only on the first page";
    EXPECT_TRUE(testo(d.printFile).contains("Nome 150"));
}

TEST(QtReports, ThePreviewIsAModalWindowOfTheLaidOutPages) {
    ReportData d = prova(150);
    d.windowTitle = "Storico transiti";
    QString titolo;
    int pagine = 0;
    QTimer chiusura;  // closes the preview from inside its own loop, once it is up
    QObject::connect(&chiusura, &QTimer::timeout, [&] {
        auto* anteprima = dynamic_cast<gui::ReportPreview*>(QApplication::activeModalWidget());
        if (!anteprima) return;
        chiusura.stop();
        titolo = anteprima->windowTitle();
        pagine = anteprima->pages();
        anteprima->reject();
    });
    chiusura.start(0);
    gui::QtReports().render(d);
    EXPECT_EQ(titolo, "Storico transiti");
    EXPECT_GT(pagine, 1);
}

TEST(QtReports, AFileThatCannotBeWrittenIsAnOutputFailure) {
    struct Caso {
        const char* nome;
        int destination;
        std::string printFile, senzaFinestre;
    };
    const Caso casi[] = {
        {"print file in a missing folder", 2, "/nessuna/cartella/stampa.pdf", ""},
        {"no print file", 2, "", ""},
        {"preview file in a missing folder", 0, "", "/nessuna/cartella/anteprima.pdf"},
    };
    for (const Caso& c : casi) {
        SCOPED_TRACE(c.nome);
        ReportData d = prova();
        d.destination = c.destination;
        d.printFile = c.printFile;
        try {
            gui::QtReports(c.senzaFinestre).render(d);
            ADD_FAILURE() << "no ReportError";
        } catch (const ReportError& e) {
            EXPECT_EQ(e.number, ReportError::OutputFailed);
            EXPECT_FALSE(std::string(e.what()).empty());
        }
    }
}

// Pages that only count their painting: the preview and the outputs, on a report of any length.
class PagineContate final : public gui::PageSource {
public:
    PagineContate(int n, std::function<void(int)> onPaint) : n_(n), onPaint_(std::move(onPaint)) {}
    int pages() const override { return n_; }
    void paint(QPainter& p, int page) const override {
        p.drawText(QPointF(100, 100), QString("pagina %1").arg(page + 1));
        onPaint_(page);
    }

private:
    int n_;
    std::function<void(int)> onPaint_;
};

gui::Printable contate(int n, std::function<void(int)> onPaint) {
    return {"Storico del periodo 10/12/2026 - 10/12/2026", gui::reportPageLayout(prova()),
            [n, onPaint](const QPaintDevice&) { return std::make_unique<PagineContate>(n, onPaint); }};
}

QPushButton& pulsante(QWidget& w, const QString& testo) {
    for (QPushButton* b : w.findChildren<QPushButton*>())
        if (b->text() == testo) return *b;
    throw std::logic_error("no button " + testo.toStdString());
}

TEST(ReportPreview, ShowsAnyPageOfALongReportPaintingOnlyThatPage) {
    constexpr int n = 40000;
    std::multiset<int> dipinte;
    gui::ReportPreview anteprima(contate(n, [&](int page) { dipinte.insert(page); }), "Storico", ".");
    anteprima.show();
    anteprima.grab();
    auto* numero = anteprima.findChild<QLabel*>("pagina");
    EXPECT_EQ(numero->text(), "Pagina 1 di 40000");
    EXPECT_EQ(dipinte, std::multiset<int>{0}) << "page 1 only";
    EXPECT_FALSE(pulsante(anteprima, "Precedente").isEnabled());

    struct Passo {
        const char* pulsante;
        int pagina;
    };
    for (const Passo& p : {Passo{"Ultima", n - 1}, Passo{"Precedente", n - 2}, Passo{"Successiva", n - 1},
                           Passo{"Prima", 0}, Passo{"Successiva", 1}}) {
        SCOPED_TRACE(p.pulsante);
        dipinte.clear();
        pulsante(anteprima, p.pulsante).click();
        anteprima.grab();
        EXPECT_EQ(numero->text(), QString("Pagina %1 di 40000").arg(p.pagina + 1));
        EXPECT_EQ(dipinte, std::multiset<int>{p.pagina});
    }
    EXPECT_TRUE(pulsante(anteprima, "Successiva").isEnabled());
    anteprima.showPage(n - 1);
    EXPECT_FALSE(pulsante(anteprima, "Successiva").isEnabled());
    EXPECT_FALSE(pulsante(anteprima, "Ultima").isEnabled());
}

TEST(ReportPreview, TheReportOnTheScreen) {
    ReportData d = prova(150);
    d.title = "Storico del periodo 10/12/2026 - 10/12/2026";
    gui::ReportPreview anteprima(gui::printable(d), "Storico", ".");
    anteprima.resize(1200, 900);
    anteprima.show();
    test::screenshot(anteprima, "Anteprima_report");
    EXPECT_GT(anteprima.pages(), 1);
}

// Printing and the PDF stop at the progress window's "Annulla", after the page under way.
TEST(ReportOutputs, StopAtAnnulla) {
    test::TempDir dir;
    struct Caso {
        const char* nome;
        std::function<bool(const gui::Printable&)> scrivi;
    };
    const std::string pdf = dir.file("stampa.pdf");
    const Caso casi[] = {
        {"PDF", [&](const gui::Printable& r) { return gui::writePdf(r, pdf); }},
        {"printer",
         [&](const gui::Printable& r) {
             QPrinter printer(QPrinter::HighResolution);
             printer.setOutputFileName(QString::fromStdString(pdf));
             return gui::print(r, printer);
         }},
    };
    for (const Caso& c : casi) {
        SCOPED_TRACE(c.nome);
        int dipinte = 0;
        QString etichetta;
        const auto annulla = [&](int page) {
            ++dipinte;
            if (page != 2) return;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* progresso = qobject_cast<QProgressDialog*>(w)) {
                    etichetta = progresso->labelText();
                    pulsante(*progresso, "Annulla").click();
                }
        };
        EXPECT_FALSE(c.scrivi(contate(1000, annulla)));
        EXPECT_EQ(dipinte, 3);
        EXPECT_EQ(etichetta, "Pagina 3 di 1000");
        EXPECT_FALSE(std::filesystem::exists(pdf)) << "no half-written file";
    }
}

TEST(ReportOutputs, APdfIsNamedAfterItsTitleAsAFolderCanHoldIt) {
    const struct {
        std::string titolo, file;
    } casi[] = {
        {"Storico del periodo 10/12/2026 - 10/12/2026", "Storico del periodo 10-12-2026 - 10-12-2026.pdf"},
        {"Storico Tempi presenza   ", "Storico Tempi presenza.pdf"},
        {"Archivio utenti", "Archivio utenti.pdf"},
        {"a\\b:c*d?e\"f<g>h|i\tj", "a-b-c-d-e-f-g-h-i-j.pdf"},
        {"../segreto", "-segreto.pdf"},
        {" . ", "Report.pdf"},
        {"", "Report.pdf"},
        {"Entrate di Nicolò", "Entrate di Nicolò.pdf"},
        {std::string(300, 'x'), std::string(251, 'x') + ".pdf"},
        {std::string(250, 'x') + "òò", std::string(250, 'x') + ".pdf"},  // never half a character
    };
    for (const auto& c : casi) EXPECT_EQ(gui::pdfFileName(c.titolo), c.file) << c.titolo;
}

// "Salva PDF" offers the title as a file name in the folder given, writes there and says where.
TEST(ReportPreview, SavesThePdfWhereItSays) {
    test::TempDir dir;
    ReportData d = prova(40);
    d.title = "Storico del periodo 10/12/2026 - 10/12/2026";
    gui::ReportPreview anteprima(gui::printable(d), "Storico", QString::fromStdString(dir.path()));
    const std::string atteso = dir.file("Storico del periodo 10-12-2026 - 10-12-2026.pdf");
    EXPECT_EQ(anteprima.offeredPdf().toStdString(), atteso);

    QString offerto, messaggio;
    QTimer risposte;  // answers the file dialog, then the message, from inside their loops
    QObject::connect(&risposte, &QTimer::timeout, [&] {
        QWidget* w = QApplication::activeModalWidget();
        if (auto* file = qobject_cast<QFileDialog*>(w)) {
            offerto = file->selectedFiles().value(0);
            static_cast<QDialog*>(file)->accept();
        } else if (auto* box = qobject_cast<QMessageBox*>(w)) {
            messaggio = box->text();
            box->accept();
            risposte.stop();
        }
    });
    risposte.start(10);
    anteprima.show();
    pulsante(anteprima, "Salva PDF").click();
    EXPECT_EQ(offerto.toStdString(), atteso);
    EXPECT_TRUE(std::filesystem::exists(atteso));
    EXPECT_EQ(messaggio.toStdString(), "Il report è stato salvato nel file\n" + atteso);
    if (!test::canReadPdf()) GTEST_SKIP() << "pdftotext is not installed";
    EXPECT_TRUE(testo(atteso).contains("Nome 40"));
}

// A report of many pages still in its database, handed to the renderer as the report control
// hands it: the preview opens on page 1 and reads the rest between the operator's clicks.
class ReportDaLeggere : public ::testing::Test {
protected:
    static constexpr int n = 50000;  // more slices than the rows keep read back

    ReportDaLeggere() {
        Database::create(dir.file("dati.mdb"))
            ->execute("CREATE TABLE Carte (Cognome TEXT, Nome TEXT, Carta TEXT); WITH RECURSIVE n(i) AS (SELECT 1 "
                      "UNION ALL SELECT i + 1 FROM n WHERE i < " + std::to_string(n) + ") INSERT INTO Carte "
                      "SELECT 'Cognome ' || i, 'Nome ' || i, 1000 + i FROM n");
    }

    // The pages of the whole report, laid out as the preview and the PDF lay them out.
    int pagine() {
        ReportData tutto = prova(0);
        ReportQuery(dir.file("dati.mdb"), sql, tutto.columns).read(tutto.rows);
        QBuffer nowhere;
        nowhere.open(QIODevice::WriteOnly);
        QPdfWriter pdf(&nowhere);
        pdf.setPageLayout(gui::reportPageLayout(tutto));
        return gui::ReportPages(tutto, pdf).pages();
    }

    // Renders the report; 'operatore' gets the preview at each turn of its loop until it closes,
    // and any message is answered (from a timer of its own: a timer's slot is never entered again
    // from the loops it runs).
    void anteprima(const std::function<void(gui::ReportPreview&)>& operatore) {
        QTimer turni, risposte;
        QObject::connect(&turni, &QTimer::timeout, [&] {
            auto* preview = dynamic_cast<gui::ReportPreview*>(QApplication::activeModalWidget());
            if (preview && preview->isVisible()) operatore(*preview);
        });
        QObject::connect(&risposte, &QTimer::timeout, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->accept();
        });
        turni.start(0);
        risposte.start(0);
        gui::QtReports().renderReading(d, *rest);
    }

    // The report again, none of its rows read, the full slices of them in the temporary file.
    void daCapo() {
        d.rows = ReportRows(0);  // as on a large site: the rows in the file
        rest = std::make_unique<ReportQuery>(dir.file("dati.mdb"), sql, d.columns);
    }

    test::TempDir dir;
    const std::string sql = "SELECT Cognome, Nome, Carta FROM Carte ORDER BY rowid";
    ReportData d = prova(0);
    std::unique_ptr<ReportQuery> rest;
};

TEST_F(ReportDaLeggere, ThePreviewShowsItsFirstPageThenCountsThePagesAsItReads) {
    const int tutte = pagine();
    ASSERT_GT(tutte, 500);
    daCapo();
    QStringList etichette;
    std::size_t lette = 0;
    anteprima([&](gui::ReportPreview& a) {
        const QString etichetta = a.findChild<QLabel*>("pagina")->text();
        if (etichette.isEmpty()) {
            a.grab();
            lette = d.rows.size();
        }
        if (etichette.isEmpty() || etichetta != etichette.back()) etichette << etichetta;
        if (!a.reading()) a.reject();
    });
    EXPECT_LT(lette, std::size_t{n}) << "page 1 was shown once all was read";
    ASSERT_GT(etichette.size(), 2) << etichette.join(" | ").toStdString();
    EXPECT_EQ(etichette.back(), QString("Pagina 1 di %1").arg(tutte));
    int prima = 0;
    for (const QString& e : etichette.mid(0, etichette.size() - 1)) {
        SCOPED_TRACE(e.toStdString());
        ASSERT_TRUE(e.startsWith("Pagina 1 di ") && e.endsWith("..."));
        const int finora = e.mid(12, e.size() - 15).toInt();
        EXPECT_GT(finora, prima);
        EXPECT_LT(finora, tutte);
        prima = finora;
    }
    EXPECT_EQ(d.rows.size(), std::size_t{n});
}

// What the operator does as soon as page 1 shows, while the rest is still being read.
TEST_F(ReportDaLeggere, WhileTheRestIsRead) {
    const int tutte = pagine();
    const std::string pdf = dir.file("storico.pdf");
    struct Caso {
        const char* nome;
        std::function<void(gui::ReportPreview&)> fa;
        std::function<void()> poi;
    };
    std::string errore;  // what the preview failed with
    const Caso casi[] = {
        {"rows that cannot be read back to paint a page close the preview with the cause",
         [&](gui::ReportPreview& a) {
             pulsante(a, "Ultima").click();
             EXPECT_GE(test::EmptyReportFiles(), 1);
             a.showPage(0);
             a.grab();
             QApplication::processEvents();
             if (a.isVisible()) {
                 ADD_FAILURE() << "the preview stayed open";
                 a.reject();
             }
         },
         [&] {
             EXPECT_EQ(errore.rfind("Impossibile leggere il file temporaneo del report", 0), 0u) << errore;
         }},
        {"Chiudi stops the reading",
         [](gui::ReportPreview& a) { pulsante(a, "Chiudi").click(); },
         [&] {
             const std::size_t lette = d.rows.size();
             EXPECT_LT(lette, std::size_t{n});
             EXPECT_FALSE(rest->done());
             for (int i = 0; i < 10; ++i) QApplication::processEvents();
             EXPECT_EQ(d.rows.size(), lette) << "nothing reads after closing";
         }},
        {"Ultima reads the rest and shows the last page",
         [&](gui::ReportPreview& a) {
             pulsante(a, "Ultima").click();
             EXPECT_EQ(a.findChild<QLabel*>("pagina")->text(), QString("Pagina %1 di %1").arg(tutte));
             EXPECT_FALSE(a.reading());
             EXPECT_FALSE(pulsante(a, "Ultima").isEnabled());
             a.reject();
         },
         [&] { EXPECT_EQ(d.rows.size(), std::size_t{n}); }},
        {"Salva PDF writes every page",
         [&](gui::ReportPreview& a) {
             EXPECT_TRUE(a.reading());
             EXPECT_TRUE(a.savePdfTo(QString::fromStdString(pdf)));
             a.reject();
         },
         [&] {
             if (!test::canReadPdf()) GTEST_SKIP() << "pdftotext is not installed";
             const QString ultima = testo(pdf, tutte);
             EXPECT_TRUE(ultima.contains(QString("Pagina %1 di %1").arg(tutte))) << ultima.toStdString();
             EXPECT_TRUE(ultima.contains("Nome 50000")) << ultima.toStdString();
             EXPECT_TRUE(testo(pdf, 1).contains(QString("Pagina 1 di %1").arg(tutte)));
             EXPECT_EQ(testo(pdf, tutte + 1).trimmed(), "") << "no page after the last";
         }},
    };
    for (const Caso& c : casi) {
        SCOPED_TRACE(c.nome);
        daCapo();
        bool fatto = false;
        errore.clear();
        try {
            anteprima([&](gui::ReportPreview& a) {
                if (!std::exchange(fatto, true)) c.fa(a);
            });
        } catch (const ReportError& e) {
            errore = e.what();
        }
        c.poi();
    }
}

// The other-options window runs the users report on the site's own template and database.
class ReportUtenti : public ::testing::Test {
protected:
    void stampa(const std::string& pdf) {
        gui::QtReports reports(pdf);
        s.app().sys.reports = &reports;
        s.sql("INSERT INTO Carte (Cognome, Nome, NumeroCarta, AbilitaCarta, Flag_online) VALUES "
              "('Verdi', 'Anna', '0002', 0, 1), ('Bianchi', 'Luca', '0001', 1, 0)");
        s.start();
        s.app().form<FrmFunzAgg>().Command1.click();
        s.app().sys.reports = nullptr;
    }
    test::Station s;
};

TEST_F(ReportUtenti, FromTheWindowToThePage) {
    std::filesystem::create_directories(VARCANTO_SCREENSHOTS);
    const std::string pdf = std::string(VARCANTO_SCREENSHOTS) + "/Report_Utenti.pdf";
    std::filesystem::remove(pdf);
    stampa(pdf);
    EXPECT_TRUE(s.dialogs.shown.empty());
    ASSERT_TRUE(std::filesystem::exists(pdf));
    if (!test::canReadPdf()) GTEST_SKIP() << "pdftotext is not installed";
    const QString t = testo(pdf);
    for (const char* parola : {"Archivio utenti", "Fascia oraria", "Bianchi", "Verdi", "Luca", "0002"})
        EXPECT_TRUE(t.contains(parola)) << parola << " not in:\n" << t.toStdString();
    EXPECT_LT(t.indexOf("Bianchi"), t.indexOf("Verdi")) << "ordered by surname";
}

TEST_F(ReportUtenti, APageThatCannotBeWrittenIsThePrinterMessage) {
    s.dialogs.expectMsg("Problemi con la stampante.", mb::Critical, "Errore");
    stampa("/nessuna/cartella/Utenti.pdf");
    EXPECT_TRUE(s.dialogs.allAnswered());
}

}  // namespace
}  // namespace vc
