// The hot path of on-line operation: one access decision with a full card table, and the durable
// write of one transit.

#include <benchmark/benchmark.h>

#include <chrono>

#include "core/access/polling.h"
#include "core/log/transit_log.h"
#include "core/main/frm_main.h"
#include "core/readers/carica_lettori.h"
#include "core/settings/frm_prog_setup.h"
#include "platform/database.h"
#include "reader_sim/reader_sim.h"
#include "support/fakes.h"

namespace vc {
namespace {

using Steady = std::chrono::steady_clock;

// A station with 32,767 cards and one "InOut" reader that answers at once, so the measure is the
// decision itself: from the moment the card-read reply is taken off the line to the moment the
// grant command is handed to it.
class Banco {
public:
    Banco() {
        s.clock.quantum = 0;
        s.sql("INSERT INTO Lettori (TipoLettore, SituatoPresso, CodiceImpianto, Stato, PosCarta1, PosCarta2, PosCarta3, "
              "PosCarta4, PosCodice1, PosCodice2, PosCodice3, PosCodice4, PosCodice5, PosCodice6, NumeroLoop, "
              "NumeroIndirizzo) VALUES ('KOVA KV-M1', 'VARCO', '000123', 'InOut', 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 1, 1)");
        auto db = Database::open(s.site.file("Varcanto.mdb"));
        Transaction t(*db);
        for (int i = 1; i <= 32767; ++i) {
            const std::string n = std::to_string(10000 + i).substr(1);
            db->execute("INSERT INTO Carte (Cognome, Nome, NumeroCarta, Stringa, AbilitaCarta, Output1, Flag_online, "
                        "Lettore) VALUES ('Cognome" + n + "', 'Nome', '" + n.substr(n.size() - 4) + "', 'RAW" +
                        std::to_string(i) + "', 1, 1, 1, '" + std::string(64, '1') + "')");
        }
        t.commit();
        s.serial.onWrite = [this](const std::string& frame) { rispondi(frame); };
        s.start();
        s.app().form<FrmProgSetup>();
        s.app().PollingAttivo = true;
    }

    // One poll that reads 'dati'; returns the decision's time in seconds, or -1 when it did not
    // end in a grant.
    double decidi(const std::string& dati) {
        dati_ = dati;
        consenso_ = {};
        std::int16_t lettore = 1;
        polling_lettore(s.app(), lettore);
        if (consenso_ < lettura_) return -1;
        return std::chrono::duration<double>(consenso_ - lettura_).count();
    }

    test::Station s;

private:
    void rispondi(const std::string& frame) {
        const char comando = frame.at(9);
        if (comando == 'D') {
            s.serial.deliver(sim::replyFrame("01I0000" + dati_));
            lettura_ = Steady::now();  // the reply is on the line; the link takes it at its next read
        } else if (comando == 'K') {
            consenso_ = Steady::now();
            s.serial.deliver(sim::replyFrame("01S"));
        }
    }
    std::string dati_;
    Steady::time_point lettura_, consenso_;
};

Banco& banco() {
    static Banco b;
    return b;
}

void misura(benchmark::State& state, double secondi) {
    if (secondi < 0) return state.SkipWithError("the card was not granted");
    state.SetIterationTime(secondi);
}

void BM_DecisionByCardNumber(benchmark::State& state) {
    Banco& b = banco();
    for (auto _ : state) misura(state, b.decidi("2345000123"));
}
BENCHMARK(BM_DecisionByCardNumber)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(200)->Repetitions(5);

void BM_DecisionByRawData(benchmark::State& state) {
    Banco& b = banco();
    for (auto _ : state) misura(state, b.decidi("RAW30000"));
}
BENCHMARK(BM_DecisionByRawData)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(200)->Repetitions(5);

void BM_DurableTransitInsert(benchmark::State& state) {
    Banco& b = banco();
    b.s.app().imp.FlagStoricoEsterno = false;
    for (auto _ : state) ScriviTransito(b.s.app(), "0012", "Rossi", "Mario", 1, "VARCO   ", "InOut");
}
BENCHMARK(BM_DurableTransitInsert)->Unit(benchmark::kMicrosecond)->Iterations(200)->Repetitions(5);

}  // namespace
}  // namespace vc

BENCHMARK_MAIN();
