// "Stampa" on the whole log of a million transits (over 30,000 pages) and of three million, on the
// screen (offscreen): the time from the click to the preview's first page painted, the time until
// it knows its last page (it reads the rest of the report meanwhile), the report's page count, and
// the program's memory: its peak and what it still holds once the preview is closed, both beyond
// what it held before the click. The peak must not grow with the log. Side by side: the program's
// preview, closed once every page is known, at its first page, or once "Salva PDF" has written
// every page, and (on the million only) Qt's print preview, which lays out and records every page
// before it shows one.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QElapsedTimer>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <string>

#include "gui/front_end.h"
#include "gui/qt_reports.h"
#include "gui/report_pages.h"
#include "gui/qt_text.h"
#include "gui/report_preview.h"
#include "history/frm_view_storia.h"
#include "storia_di_prova.h"

namespace vc {
namespace {

// A line of /proc/self/status in MiB ("VmRSS", "VmHWM").
double StatoMiB(const std::string& voce) {
    std::ifstream status("/proc/self/status");
    for (std::string riga; std::getline(status, riga);)
        if (riga.rfind(voce + ":", 0) == 0) return std::stod(riga.substr(voce.size() + 1)) / 1024.0;
    return 0;
}

// The peak starts again from the memory held now.
void AzzeraPicco() { std::ofstream("/proc/self/clear_refs") << "5"; }

// The same pages in Qt's print preview.
class AnteprimaDiQt final : public ReportRenderer {
public:
    void render(const ReportData& d) override {
        QPrinter printer(QPrinter::HighResolution);
        printer.setPageLayout(gui::reportPageLayout(d));
        QPrintPreviewDialog dialog(&printer, QApplication::activeWindow());
        QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, [&d](QPrinter* target) {
            QPainter p(target);
            const gui::ReportPages pages(d, *target);
            for (int n = 0; n < pages.pages(); ++n) {
                if (n > 0) target->newPage();
                pages.paint(p, n);
            }
        });
        dialog.exec();
    }
};

// The number of pages the preview says it has, and whether it is still reading.
int Pagine(QDialog& anteprima) {
    if (auto* qt = anteprima.findChild<QPrintPreviewWidget*>()) return qt->pageCount();
    if (auto* nostra = dynamic_cast<gui::ReportPreview*>(&anteprima)) return nostra->pages();
    return 0;
}
bool Legge(QDialog& anteprima) {
    auto* nostra = dynamic_cast<gui::ReportPreview*>(&anteprima);
    return nostra && nostra->reading();
}

enum class Chiusura { AllUltimaPagina, AllaPrima, DopoIlPdf };

void StampaStoriaCompleta(benchmark::State& state, ReportRenderer& reports, Chiusura quando, int transiti) {
    test::Station s;
    s.clock.quantum = 0;
    s.start();
    bench::ScriviStoria(s, transiti, 2740);
    s.app().sys.reports = &reports;
    gui::FrontEnd screen(s.app());
    auto& w = s.app().form<FrmViewStoria>();
    w.Show();
    w.OptInteraParziale[2].click();
    for (int i = 0; i < 5; ++i) s.loop.doEvents();

    const std::string pdf = s.site.file("storico.pdf");
    double primaPagina = 0, tuttePagine = 0;
    int pagine = 0;
    QElapsedTimer orologio;
    QTimer chiusura;  // paints the preview once it is up, waits for its last page if asked, closes it
    QObject::connect(&chiusura, &QTimer::timeout, [&] {
        auto* anteprima = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!anteprima || !anteprima->isVisible()) return;
        if (primaPagina == 0) {
            anteprima->grab();
            primaPagina = static_cast<double>(orologio.nsecsElapsed()) / 1e9;
        }
        if (quando == Chiusura::AllUltimaPagina && Legge(*anteprima)) return;
        chiusura.stop();
        if (quando == Chiusura::DopoIlPdf) dynamic_cast<gui::ReportPreview&>(*anteprima).savePdfTo(gui::qs(pdf));
        tuttePagine = static_cast<double>(orologio.nsecsElapsed()) / 1e9;
        pagine = Pagine(*anteprima);
        anteprima->reject();
    });
    QTimer risposte;  // "Salva PDF" says where the file went
    QObject::connect(&risposte, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->accept();
    });
    risposte.start(0);
    const double prima = StatoMiB("VmRSS");
    AzzeraPicco();
    for (auto _ : state) {
        chiusura.start(0);
        orologio.start();
        w.CmdStampa.click();
    }
    state.counters["first_page_s"] = primaPagina;
    state.counters["closed_s"] = tuttePagine;
    state.counters["pages"] = pagine;
    state.counters["peak_MiB"] = StatoMiB("VmHWM") - prima;
    state.counters["kept_MiB"] = StatoMiB("VmRSS") - prima;
    state.counters["before_MiB"] = prima;
    if (quando == Chiusura::DopoIlPdf) state.counters["pdf_MiB"] = static_cast<double>(std::filesystem::file_size(pdf)) / (1 << 20);
    s.app().sys.reports = nullptr;
    w.Unload();
}

void BM_StampaStoriaCompleta_Anteprima(benchmark::State& state) {
    gui::QtReports reports;
    StampaStoriaCompleta(state, reports, Chiusura::AllUltimaPagina, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_StampaStoriaCompleta_Anteprima)
    ->Arg(1000000)
    ->Arg(3000000)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

void BM_StampaStoriaCompleta_AnteprimaChiusaAllaPrimaPagina(benchmark::State& state) {
    gui::QtReports reports;
    StampaStoriaCompleta(state, reports, Chiusura::AllaPrima, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_StampaStoriaCompleta_AnteprimaChiusaAllaPrimaPagina)
    ->Arg(1000000)
    ->Arg(3000000)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

void BM_StampaStoriaCompleta_SalvaPdf(benchmark::State& state) {
    gui::QtReports reports;
    StampaStoriaCompleta(state, reports, Chiusura::DopoIlPdf, 1000000);
}
BENCHMARK(BM_StampaStoriaCompleta_SalvaPdf)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

void BM_StampaStoriaCompleta_AnteprimaDiQt(benchmark::State& state) {
    AnteprimaDiQt reports;
    StampaStoriaCompleta(state, reports, Chiusura::AllUltimaPagina, 1000000);
}
BENCHMARK(BM_StampaStoriaCompleta_AnteprimaDiQt)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace
}  // namespace vc

#include "qt_bench_main.h"
