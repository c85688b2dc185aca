// Printing the history report: a report of history rows laid out and painted into a PDF, as
// the preview and the printer do; the figure is the time per row.

#include <benchmark/benchmark.h>

#include <QApplication>

#include <cstdlib>
#include <filesystem>

#include "gui/qt_reports.h"

namespace vc {
namespace {

ReportData Storico(int righe) {
    ReportData d;
    d.title = "Storico del periodo 11/11/2026 - 10/12/2026";
    d.columns = {{"Data", "Data", 10},   {"Ora", "Ora", 5},         {"NumeroBadge", "Badge", 6},
                 {"Cognome", "Cognome", 20}, {"Nome", "Nome", 16}, {"causale", "Lettore", 9},
                 {"verso", "Verso", 6},   {"nota", "Nota", 28}};
    for (int i = 0; i < righe; ++i)
        d.rows.push_back({"10/12/2026", "08:" + std::to_string(10 + i % 50), std::to_string(1000 + i % 2000),
                          "Cognome" + std::to_string(i % 2000), "Nome", "INGRESSO", i % 2 ? "In" : "Out",
                          i % 17 ? "Passaggio" : "Fuori fascia"});
    return d;
}

void BM_ReportPerRow(benchmark::State& state) {
    const int righe = static_cast<int>(state.range(0));
    const ReportData d = Storico(righe);
    const std::string pdf = (std::filesystem::temp_directory_path() / "vc-report-bench.pdf").string();
    gui::QtReports reports(pdf);
    for (auto _ : state) reports.render(d);
    // The inverted rate of thousands of rows: seconds per thousand rows, milliseconds per row.
    state.counters["per_row_ms"] = benchmark::Counter(static_cast<double>(state.iterations()) * righe / 1000.0,
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    std::filesystem::remove(pdf);
}
BENCHMARK(BM_ReportPerRow)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace vc

#include "qt_bench_main.h"
