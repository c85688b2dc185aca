// The history window over a year of transits (a million rows): one query of the log and the
// refill of the report database's TEMP with the rows found.

#include <benchmark/benchmark.h>

#include "history/frm_view_storia.h"
#include "platform/database.h"
#include "support/fakes.h"

namespace vc {
namespace {

constexpr int kTransiti = 1000000;
constexpr int kAlGiorno = 2740;  // a year of days ending today, 10/12/2026

class Banco {
public:
    Banco() {
        s.clock.quantum = 0;
        s.start();
        auto db = Database::open(s.site.file("Varcanto.mdb"));
        Transaction t(*db);
        db->execute(
            "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < " + std::to_string(kTransiti - 1) +
            ") INSERT INTO transiti (NumeroBadge, Cognome, Nome, PosizioneLettore, Data, Ora, Passaggio, verso, nota) "
            "SELECT substr('000' || (i % 2000), -4), 'Cognome' || (i % 2000), 'Nome', 'INGRESSO', "
            "strftime('%d/%m/%Y', '2026-12-10', '-' || (i / " + std::to_string(kAlGiorno) + ") || ' days'), "
            "printf('%02d:%02d', (i % " + std::to_string(kAlGiorno) + ") * 1439 / " + std::to_string(kAlGiorno) +
            " / 60, (i % " + std::to_string(kAlGiorno) + ") * 1439 / " + std::to_string(kAlGiorno) + " % 60), "
            "i % 17 <> 0, CASE i % 3 WHEN 0 THEN 'In' WHEN 1 THEN 'Out' ELSE 'InOut' END, "
            "CASE WHEN i % 17 = 0 THEN 'Fuori fascia' ELSE 'Passaggio' END FROM n");
        t.commit();
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

Banco& banco() {
    static Banco b;
    return b;
}

void misura(benchmark::State& state, const std::string& inizio) {
    Banco& b = banco();
    state.SetLabel(b.periodo(inizio));
    for (auto _ : state) b.w->PresentaStoria();
}

void BM_HistoryQueryToday(benchmark::State& state) { misura(state, "10/12/2026"); }
BENCHMARK(BM_HistoryQueryToday)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_HistoryQueryMonth(benchmark::State& state) { misura(state, "11/11/2026"); }
BENCHMARK(BM_HistoryQueryMonth)->Unit(benchmark::kMillisecond)->Iterations(2)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace vc

BENCHMARK_MAIN();
