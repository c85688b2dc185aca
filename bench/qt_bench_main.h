#pragma once
// main() of a benchmark that needs the Qt front end: an offscreen application prepared as the
// program prepares its own, then the registered benchmarks.

#include <benchmark/benchmark.h>

#include <QApplication>

#include <cstdlib>

#include "gui/front_end.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication qt(argc, argv);
    vc::gui::prepareApplication(qt);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
