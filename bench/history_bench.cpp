// The history window over a year of transits (a million rows): one query of the log and the
// refill of the report database's TEMP with the rows found, for a day, a month and the whole log;
// and the attendance computed from 100,000 transits in TEMP.

#include <benchmark/benchmark.h>

#include "history/frm_view_storia.h"
#include "storia_di_prova.h"

namespace vc {
namespace {

class Banco {
public:
    Banco(int transiti, int alGiorno) {
        s.clock.quantum = 0;
        s.start();
        bench::ScriviStoria(s, transiti, alGiorno);
        w = &s.app().form<FrmViewStoria>();
    }

    // The period from 'inizio' to today; returns the rows found.
    std::string periodo(const std::string& inizio) {
        w->OptInteraParziale[1].click();
        w->CmdCambiaPeriodo.click();
        w->TxtDataIniziale.setText(inizio);
        w->CmdPresenta.click();
        return w->Label3.Caption();
    }

    test::Station s;
    FrmViewStoria* w = nullptr;
};

Banco& anno() {
    static Banco b(1000000, 2740);
    return b;
}

void misura(benchmark::State& state, const std::string& inizio) {
    Banco& b = anno();
    state.SetLabel(inizio.empty() ? (b.w->OptInteraParziale[2].click(), b.w->Label3.Caption()) : b.periodo(inizio));
    for (auto _ : state) b.w->PresentaStoria();
}

void BM_HistoryQueryToday(benchmark::State& state) { misura(state, "10/12/2026"); }
BENCHMARK(BM_HistoryQueryToday)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_HistoryQueryMonth(benchmark::State& state) { misura(state, "11/11/2026"); }
BENCHMARK(BM_HistoryQueryMonth)->Unit(benchmark::kMillisecond)->Iterations(2)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_HistoryQueryWhole(benchmark::State& state) { misura(state, ""); }
BENCHMARK(BM_HistoryQueryWhole)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true);

// The click on "Tempi Presenza" with the whole log of 100,000 transits in TEMP.
void BM_Attendance100k(benchmark::State& state) {
    static Banco b(100000, 2740);
    b.w->OptInteraParziale[2].click();
    state.SetLabel(b.w->Label3.Caption());
    for (auto _ : state) {
        // The log holds two-way passages, so every computation warns about them.
        b.s.dialogs.expectMsgStartingWith("Riscontrati passaggi da tornelli Inout", 0, "Varcanto");
        b.w->CmdCalcolaTempiPresenze.click();
        state.PauseTiming();
        b.s.reports.rendered.clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Attendance100k)->Unit(benchmark::kMillisecond)->Iterations(2)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace vc

BENCHMARK_MAIN();
