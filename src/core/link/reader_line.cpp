#include "core/link/reader_line.h"

#include <algorithm>
#include <stdexcept>

#include "core/link/frame.h"

namespace vc {

namespace {

// However a reader dribbles, an exchange ends this long after its first wait would have.
constexpr int OltreLaPrimaAttesaMs = 4000;

// The line-status register of COM1-COM4; other ports have none.
int RegistroStatoLinea(int porta) {
    switch (porta) {
        case 1: return 0x3FD;
        case 2: return 0x2FD;
        case 3: return 0x3ED;
        case 4: return 0x2ED;
        default: return 0;
    }
}

// Milliseconds the bytes take on the wire: 10 bits a byte at 4800 baud.
std::int64_t SulFiloMs(std::size_t bytes) { return static_cast<std::int64_t>(bytes) * 10 * 1000 / 4800; }

}  // namespace

ReaderLine::ReaderLine(SerialLine& serial, PortIO& ports, Clock& clock, EventLoop& loop, LineSettings& settings)
    : serial_(serial), ports_(ports), clock_(clock), loop_(loop), settings_(settings) {}

// Board mode: select the loop with the transmit bit, send, wait for the transmitter to empty,
// then turn the board to receive. The wait is bounded by the frame's time on the wire.
void ReaderLine::InviaConScheda(const std::string& frame, int loop) {
    const std::uint16_t scheda = settings_.IndirizzoScheda();
    const auto b = static_cast<std::uint8_t>(((loop - 1) | 8) & 0xFF);
    ports_.out(scheda, static_cast<std::uint8_t>(b | 16));
    serial_.write(frame);
    if (const int registro = RegistroStatoLinea(settings_.PortaSeriale())) {
        const std::int64_t sulFilo = SulFiloMs(frame.size());
        // The register cannot be waited on: the frame's own time on the wire is slept through,
        // less a margin, and only then is the register read without pause, so the board turns to
        // receive as soon as the last bit is out. Room is left for the UART's own buffer.
        const std::int64_t quasiFuori = clock_.monotonicMs() + sulFilo - 2;
        const Deadline fine(clock_, sulFilo + 100);
        while (!(ports_.in(static_cast<std::uint16_t>(registro)) & 64) && !fine.expired())
            loop_.yieldUntil(quasiFuori);
    }
    ports_.out(scheda, b);
}

std::string ReaderLine::Ricevi(Attese attese) {
    const std::int64_t limite = clock_.monotonicMs() + attese.primaMs + OltreLaPrimaAttesaMs;
    std::int64_t scadenza = clock_.monotonicMs() + attese.primaMs;
    std::string risposta;
    for (;;) {
        loop_.doEvents();
        const std::string pezzo = serial_.readAvailable();
        if (!pezzo.empty()) {
            risposta += pezzo;
            scadenza = clock_.monotonicMs() + attese.seguitoMs;
        }
        switch (ControllaFine(risposta)) {
            case FineRisposta::Completa: return risposta;
            case FineRisposta::TroppoLunga:
            case FineRisposta::Errata: return "";
            case FineRisposta::Attendi: break;
        }
        // Out of time, what came is judged as it is: a reply may have stopped right after its ENQ.
        if (clock_.monotonicMs() > scadenza || clock_.monotonicMs() >= limite)
            return RispostaValida(risposta) ? risposta : "";
        // Nothing to do until a byte comes, a timer falls due or the wait runs out (the reply
        // ends once the clock is past its deadline). A line without a descriptor is only looked
        // at again at the next yield.
        if (const int fd = serial_.descriptor(); fd >= 0) loop_.waitForWork(fd, std::min(scadenza + 1, limite));
    }
}

std::string ReaderLine::SullaLinea(const std::string& frame, int loop, Attese attese) {
    try {
        serial_.readAvailable();  // what came before this exchange is not its reply
        if (settings_.SchedaInstallata())
            InviaConScheda(frame, loop);
        else
            serial_.write(frame);
    } catch (const std::runtime_error&) {
        return "";  // the line refused the frame: no reply can come
    }
    return Ricevi(attese);
}

void ReaderLine::InviaInAttesa() {
    while (!occupata_ && !inviiInAttesa_.empty()) {
        const std::function<void()> invio = std::move(inviiInAttesa_.front());
        inviiInAttesa_.pop_front();
        invio();
    }
}

std::string ReaderLine::Scambio(std::string& testo, int loop, Attese attese) {
    testo = Incornicia(testo);
    if (occupata_) {
        // Refused. Whatever its caller set LoopCorrente to, it goes back to what the exchange under
        // way found, so that exchange's caller sends its next one (a poll's grant) where it meant.
        LoopCorrente = loopPrimaDelloScambio_;
        return "";
    }
    if (!serial_.isOpen()) return "";
    occupata_ = true;
    loopPrimaDelloScambio_ = LoopCorrente;
    std::string risposta;
    {
        struct Libera {
            bool& occupata;
            ~Libera() { occupata = false; }
        } libera{occupata_};
        risposta = SullaLinea(testo, loop, attese);
    }
    // Sends kept while the line was busy go out at the next yield, not here: the caller may have
    // its own next exchange to make at once (a poll's grant).
    if (!inviiInAttesa_.empty()) loop_.post([this] { InviaInAttesa(); });
    return risposta;
}

std::string ReaderLine::invia_comando(std::string& testo, int loop) { return Scambio(testo, loop, Standard); }
std::string ReaderLine::invia_comando_veloce(std::string& testo, int loop) { return Scambio(testo, loop, Veloce); }
std::string ReaderLine::invia_comando_medio(std::string& testo, int loop) { return Scambio(testo, loop, Medio); }
std::string ReaderLine::invia_comando(std::string& testo) { return invia_comando(testo, LoopCorrente); }
std::string ReaderLine::invia_comando_veloce(std::string& testo) { return invia_comando_veloce(testo, LoopCorrente); }
std::string ReaderLine::invia_comando_medio(std::string& testo) { return invia_comando_medio(testo, LoopCorrente); }

void ReaderLine::QuandoLineaLibera(std::function<void()> invio) {
    inviiInAttesa_.push_back(std::move(invio));
    InviaInAttesa();
}

}  // namespace vc
