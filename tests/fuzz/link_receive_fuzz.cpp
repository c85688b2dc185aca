// The receive path on the fake clock: one exchange whose reply comes as pieces at chosen times,
// on the plain line or through the multi-loop board. Whatever comes, the exchange ends within its
// bound, returns "" or a checked reply made of the bytes received in their order, writes its
// frame once and leaves the line free on the loop it found.
//
// Input: a byte of options (bits 0-1 the wait variant, bit 2 the board, bit 3 a transmitter that
// never reports empty), then pieces: a gap byte (10 ms units from the piece before, the first from
// the write) and a chunk of bytes.

#include "core/link/frame.h"
#include "core/link/reader_line.h"
#include "fuzz/fuzz.h"
#include "reader_sim/reader_sim.h"

namespace vc::fuzz {

namespace {

struct Pezzo {
    int dopoMs;
    std::string dati;
};

Seed Risposta(std::uint8_t opzioni, const std::vector<Pezzo>& pezzi) {
    Seed s;
    s.byte(opzioni);
    for (const auto& p : pezzi) s.byte(static_cast<std::uint8_t>(p.dopoMs / 10)).chunk(p.dati);
    return s;
}

}  // namespace

std::vector<std::string> Seeds() {
    // As the link's tests answer: whole, in pieces within and beyond the second wait, with junk
    // before or after, endless garbage, and silence; on the plain line and through the board.
    const std::string r = sim::replyFrame("01I0110123456789"), s = sim::replyFrame("01S");
    std::vector<std::string> seeds;
    for (std::uint8_t opzioni : {0, 1, 2, 4, 12}) {
        seeds.push_back(Risposta(opzioni, {{10, s}}));
        seeds.push_back(Risposta(opzioni, {{30, r.substr(0, 5)}, {90, r.substr(5, 5)}, {90, r.substr(10)}}));
        seeds.push_back(Risposta(opzioni, {{30, r.substr(0, 5)}, {150, r.substr(5)}}));
        seeds.push_back(Risposta(opzioni, {{10, "\x7F" + s}}));
        seeds.push_back(Risposta(opzioni, {{10, s + "x"}}));
        seeds.push_back(Risposta(opzioni, {{10, "garbage"}, {50, "garbage"}, {50, "garbage"}, {50, "garbage"}}));
        seeds.push_back(Risposta(opzioni, {}));
    }
    return seeds;
}

namespace {

struct Variante {
    std::string (ReaderLine::*invia)(std::string&);
    int primaMs;
};
constexpr Variante Varianti[] = {{&ReaderLine::invia_comando, 2000},
                                 {&ReaderLine::invia_comando_veloce, 100},
                                 {&ReaderLine::invia_comando_medio, 1200},
                                 {&ReaderLine::invia_comando, 2000}};

// The longest an exchange may take past its first wait: the cut-off of a dribbling reply, the
// board's wait for the transmitter, and a few quanta of the fake clock.
constexpr std::int64_t OltreMs = 4000 + 1000 + 100;

}  // namespace

}  // namespace vc::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vc;
    static test::LineRig rig;  // one line for the whole run, as a station keeps its own
    test::LineRig& s = rig;
    fuzz::Input in(data, size);
    const std::uint8_t opzioni = in.byte();
    const fuzz::Variante& v = fuzz::Varianti[opzioni & 3];
    s.settings.scheda = (opzioni & 4) != 0;
    s.ports.lineStatus = (opzioni & 8) ? 0 : 0x60;

    std::vector<std::pair<std::int64_t, std::string>> pezzi;
    std::string inviato;
    std::int64_t t = 0;
    while (!in.empty()) {
        t += in.byte() * 10;
        pezzi.emplace_back(t, in.chunk());
        inviato += pezzi.back().second;
    }
    s.serial.writes.clear();
    s.serial.onWrite = [&pezzi](const std::string&) {
        for (const auto& [dopo, dati] : pezzi) s.serial.deliver(dati, dopo);
    };
    s.line.LoopCorrente = 1;
    std::string testo = "01000123D";
    const std::int64_t inizio = s.clock.monotonicMs();
    const std::string risposta = (s.line.*v.invia)(testo);
    const std::int64_t durata = s.clock.monotonicMs() - inizio;

    fuzz::check(durata <= v.primaMs + fuzz::OltreMs, "an exchange ends within its bound");
    fuzz::check(risposta.empty() || RispostaValida(risposta), "a reply returned passes the checks");
    fuzz::check(inviato.compare(0, risposta.size(), risposta) == 0, "a reply is the bytes received, in order");
    fuzz::check(s.serial.writes.size() == 1 && s.serial.writes[0] == Incornicia("01000123D"),
                "the frame is written once");
    fuzz::check(!s.line.ScambioInCorso() && s.line.LoopCorrente == 1, "the line is left free on its loop");

    // What is still on its way belongs to no later exchange.
    s.serial.onWrite = nullptr;
    s.clock.advance(t + 1);
    s.serial.readAvailable();
    return 0;
}
