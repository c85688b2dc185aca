// The hot path of on-line operation: one access decision with a full card table (the same card,
// a different card at each read, and anti-pass-back with many people inside), and the durable
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

constexpr std::int16_t Varco = 1, Ingresso = 2, Uscita = 3;  // "InOut", "In", "Out"
constexpr int Carte = 32767;

// A station with 32,767 cards (card numbers 0000-9999, raw data RAW1-RAW32767) and three readers
// that answer at once, so the measure is the decision itself: from the moment the card-read reply
// is taken off the line to the moment the grant command is handed to it.
class Banco {
public:
    Banco() {
        s.clock.quantum = 0;
        const char* lettori[][3] = {{"VARCO", "InOut", "1"}, {"INGRESSO", "In", "2"}, {"USCITA", "Out", "3"}};
        for (auto& l : lettori)
            s.sql(std::string("INSERT INTO Lettori (TipoLettore, SituatoPresso, CodiceImpianto, Stato, PosCarta1, ") +
                  "PosCarta2, PosCarta3, PosCarta4, PosCodice1, PosCodice2, PosCodice3, PosCodice4, PosCodice5, "
                  "PosCodice6, NumeroLoop, NumeroIndirizzo) VALUES ('KOVA KV-M1', '" + l[0] + "', '000123', '" + l[1] +
                  "', 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 1, " + l[2] + ")");
        Transaction t(*db);
        for (int i = 1; i <= Carte; ++i) {
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
        // No refusal is expected, and none may beep on a clock that does not move.
        s.app().imp.FlagBeep = false;
    }

    // One poll of 'lettore' that reads 'dati'; returns the decision's time in seconds, or -1 when
    // it did not end in a grant.
    double decidi(const std::string& dati, std::int16_t lettore = Varco) {
        dati_ = dati;
        consenso_ = {};
        polling_lettore(s.app(), lettore);
        if (consenso_ < lettura_) return -1;
        return std::chrono::duration<double>(consenso_ - lettura_).count();
    }

    // 'quanti' people inside, none of them with a card number below 1000.
    void presenti(long quanti) {
        Transaction t(*db);
        db->execute("DELETE FROM presenti");
        for (long i = 0; i < quanti; ++i)
            db->execute("INSERT INTO presenti (NumeroBadge) VALUES ('" + std::to_string(1000 + i % 9000) + "')");
        t.commit();
    }

    test::Station s;
    std::shared_ptr<Database> db = Database::open(s.site.file("Varcanto.mdb"));

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

// The k-th card of a walk that visits every number (or raw data) once before it repeats, so no
// two reads in a row are of the same card.
std::string numero(long k, int quanti) { return std::to_string(10000 + (k * 7919) % quanti).substr(1); }
std::string dati(long k) { return numero(k, 1000) + "000123"; }

void BM_DecisionDifferentCard(benchmark::State& state) {
    Banco& b = banco();
    long k = 0;
    for (auto _ : state) misura(state, b.decidi(numero(++k, 10000) + "000123"));
}
BENCHMARK(BM_DecisionDifferentCard)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(200)->Repetitions(5);

void BM_DecisionDifferentRawData(benchmark::State& state) {
    Banco& b = banco();
    long k = 0;
    for (auto _ : state) misura(state, b.decidi("RAW" + std::to_string(1 + (++k * 7919) % Carte)));
}
BENCHMARK(BM_DecisionDifferentRawData)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(200)->Repetitions(5);

// Entering with state.range(0) people inside: anti-pass-back looks the card up among them. The
// card added by the grant is taken out again after the measure, so the number inside stays.
void BM_DecisionEnteringWithPeopleInside(benchmark::State& state) {
    Banco& b = banco();
    b.presenti(state.range(0));
    long k = 0;
    for (auto _ : state) {
        misura(state, b.decidi(dati(++k), Ingresso));
        b.db->execute("DELETE FROM presenti WHERE rowid = (SELECT max(rowid) FROM presenti)");
    }
}
BENCHMARK(BM_DecisionEnteringWithPeopleInside)
    ->Arg(0)->Arg(10000)->Arg(30000)
    ->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(100)->Repetitions(5);

// Leaving with state.range(0) people inside, the card among them as the latest to enter: the
// removal is a durable write inside the measure.
void BM_DecisionLeavingWithPeopleInside(benchmark::State& state) {
    Banco& b = banco();
    b.presenti(state.range(0));
    long k = 0;
    for (auto _ : state) {
        const std::string d = dati(++k);
        b.db->execute("INSERT INTO presenti (NumeroBadge) VALUES ('" + d.substr(0, 4) + "')");
        misura(state, b.decidi(d, Uscita));
    }
}
BENCHMARK(BM_DecisionLeavingWithPeopleInside)
    ->Arg(30000)
    ->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(100)->Repetitions(5);

void BM_DurableTransitInsert(benchmark::State& state) {
    Banco& b = banco();
    b.s.app().imp.FlagStoricoEsterno = false;
    for (auto _ : state) ScriviTransito(b.s.app(), "0012", "Rossi", "Mario", 1, "VARCO   ", "InOut", 2);
}
BENCHMARK(BM_DurableTransitInsert)->Unit(benchmark::kMicrosecond)->Iterations(200)->Repetitions(5);

}  // namespace
}  // namespace vc

BENCHMARK_MAIN();
