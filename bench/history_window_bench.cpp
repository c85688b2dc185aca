// The history window on the screen (offscreen) showing the whole log of a million transits:
// the time from the click on "Storia Completa" to the grid painted, and the program's peak memory.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QWidget>

#include <chrono>
#include <cstdlib>

#include "gui/form_window.h"
#include "gui/front_end.h"
#include "history/frm_view_storia.h"
#include "storia_di_prova.h"

namespace vc {
namespace {

double PiccoMiB() {
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return static_cast<double>(r.ru_maxrss) / 1024.0;
}

void BM_HistoryWindowWholeLog(benchmark::State& state) {
    test::Station s;
    s.clock.quantum = 0;
    s.start();
    bench::ScriviStoria(s, 1000000, 2740);
    gui::FrontEnd screen(s.app());
    auto& w = s.app().form<FrmViewStoria>();
    w.Show();
    for (int i = 0; i < 5; ++i) s.loop.doEvents();
    const double prima = PiccoMiB();
    for (auto _ : state) {
        w.OptInteraParziale[2].click();
        for (int i = 0; i < 5; ++i) s.loop.doEvents();
        screen.window(FrmViewStoria::kName)->grab();  // paints the grid's rows on view
    }
    state.counters["peak_MiB"] = PiccoMiB();
    state.counters["before_MiB"] = prima;
    state.SetLabel(w.Label3.Caption());
    w.Unload();
}
BENCHMARK(BM_HistoryWindowWholeLog)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
}  // namespace vc

#include "qt_bench_main.h"
