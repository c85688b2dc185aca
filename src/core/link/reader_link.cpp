#include "core/link/reader_link.h"

#include <algorithm>

#include "core/app.h"
#include "core/settings/frm_prog_setup.h"

namespace vc {

namespace {

struct Attese {
    int primaMs, seguitoMs;
};

// A reply longer than this is garbage: no reader answers with more.
constexpr std::size_t MassimaRisposta = 512;
// However a reader dribbles, an exchange ends this long after its first wait would have.
constexpr int OltreLaPrimaAttesaMs = 4000;

// x = 5 XOR every byte from the start up to, not including, the first ENQ.
int XorFinoAEnq(std::string_view s) {
    int x = ENQ;
    for (char c : s) {
        if (c == ENQ) break;
        x ^= static_cast<unsigned char>(c);
    }
    return x;
}

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

// Board mode: select the loop with the transmit bit, send, wait for the transmitter to empty,
// then turn the board to receive. The wait is bounded by the frame's time on the wire.
void InviaConScheda(App& app, const std::string& frame, int loop) {
    PortIO& io = app.sys.ports;
    const auto scheda = static_cast<std::uint16_t>(app.imp.IndirizzoScheda485);
    const auto b = static_cast<std::uint8_t>(((loop - 1) | 8) & 0xFF);
    io.out(scheda, static_cast<std::uint8_t>(b | 16));
    app.sys.serial.write(frame);
    if (const int registro = RegistroStatoLinea(app.imp.PortaSeriale)) {
        const std::int64_t sulFilo = SulFiloMs(frame.size());
        // The register cannot be waited on: the frame's own time on the wire is slept through,
        // less a margin, and only then is the register read without pause, so the board turns to
        // receive as soon as the last bit is out. Room is left for the UART's own buffer.
        const std::int64_t quasiFuori = app.sys.clock.monotonicMs() + sulFilo - 2;
        const Deadline fine(app.sys.clock, sulFilo + 100);
        while (!(io.in(static_cast<std::uint16_t>(registro)) & 64) && !fine.expired())
            app.sys.loop.yieldUntil(quasiFuori);
    }
    io.out(scheda, b);
}

std::string Ricevi(App& app, Attese attese) {
    Clock& clock = app.sys.clock;
    const std::int64_t limite = clock.monotonicMs() + attese.primaMs + OltreLaPrimaAttesaMs;
    std::int64_t scadenza = clock.monotonicMs() + attese.primaMs;
    std::string risposta;
    for (;;) {
        app.sys.loop.doEvents();
        const std::string pezzo = app.sys.serial.readAvailable();
        if (!pezzo.empty()) {
            risposta += pezzo;
            scadenza = clock.monotonicMs() + attese.seguitoMs;
        }
        if (clock.monotonicMs() > scadenza || clock.monotonicMs() >= limite || risposta.size() > MassimaRisposta)
            break;
        if (risposta.size() >= 2 && risposta[risposta.size() - 2] == ENQ) break;
        // Nothing to do until a byte comes, a timer falls due or the wait runs out (the reply
        // ends once the clock is past its deadline). A line without a descriptor is only looked
        // at again at the next yield.
        if (const int fd = app.sys.serial.descriptor(); fd >= 0)
            app.sys.loop.waitForWork(fd, std::min(scadenza + 1, limite));
    }
    return risposta;
}

std::string SullaLinea(App& app, const std::string& frame, int loop, Attese attese) {
    try {
        app.sys.serial.readAvailable();  // what came before this exchange is not its reply
        if (ModoScheda(app))
            InviaConScheda(app, frame, loop);
        else
            app.sys.serial.write(frame);
    } catch (const std::runtime_error&) {
        return "";  // the line refused the frame: no reply can come
    }
    std::string risposta = Ricevi(app, attese);
    return RispostaValida(risposta) ? risposta : "";
}

void InviaInAttesa(App& app) {
    while (!app.LinkOccupato && !app.InviiInAttesa.empty()) {
        const std::function<void()> invio = std::move(app.InviiInAttesa.front());
        app.InviiInAttesa.pop_front();
        invio();
    }
}

std::string Scambio(App& app, std::string& testo, int loop, Attese attese) {
    testo = Incornicia(testo);
    if (app.LinkOccupato) {
        // Refused. Whatever its caller set LoopCorrente to, it goes back to what the exchange under
        // way found, so that exchange's caller sends its next one (a poll's grant) where it meant.
        app.LoopCorrente = app.LoopPrimaDelloScambio;
        return "";
    }
    if (!app.sys.serial.isOpen()) return "";
    app.LinkOccupato = true;
    app.LoopPrimaDelloScambio = app.LoopCorrente;
    std::string risposta;
    {
        struct Libera {
            App& a;
            ~Libera() { a.LinkOccupato = false; }
        } libera{app};
        risposta = SullaLinea(app, testo, loop, attese);
    }
    // Sends kept while the line was busy go out at the next yield, not here: the caller may have
    // its own next exchange to make at once (a poll's grant).
    if (!app.InviiInAttesa.empty()) app.sys.loop.post([&app] { InviaInAttesa(app); });
    return risposta;
}

constexpr Attese Standard{2000, 500}, Veloce{100, 100}, Medio{1200, 400};

}  // namespace

std::string Incornicia(std::string_view testo) {
    std::string frame;
    frame.reserve(testo.size() + 3);
    frame += SOH;
    frame += testo;
    frame += ENQ;
    int x = XorFinoAEnq(frame);
    if (x == 1 || x == 5) ++x;
    frame += static_cast<char>(x);
    return frame;
}

bool RispostaValida(std::string_view r) {
    if (r.size() < 2) return false;
    int x = XorFinoAEnq(r);
    if (r[r.size() - 2] == ENQ) {
        if (x == 2 || x == 5) ++x;
        return static_cast<unsigned char>(r.back()) == x;
    }
    // Stopped by the time-out right after its ENQ, without a checksum byte.
    return r.back() == ENQ && x == 0;
}

char StatoRisposta(std::string_view r) { return r.size() >= 4 ? r[3] : '\0'; }

bool ScambioInCorso(const App& app) { return app.LinkOccupato; }

std::string invia_comando(App& app, std::string& testo, int loop) { return Scambio(app, testo, loop, Standard); }
std::string invia_comando_veloce(App& app, std::string& testo, int loop) { return Scambio(app, testo, loop, Veloce); }
std::string invia_comando_medio(App& app, std::string& testo, int loop) { return Scambio(app, testo, loop, Medio); }
std::string invia_comando(App& app, std::string& testo) { return invia_comando(app, testo, app.LoopCorrente); }
std::string invia_comando_veloce(App& app, std::string& testo) { return invia_comando_veloce(app, testo, app.LoopCorrente); }
std::string invia_comando_medio(App& app, std::string& testo) { return invia_comando_medio(app, testo, app.LoopCorrente); }

void QuandoLineaLibera(App& app, std::function<void()> invio) {
    app.InviiInAttesa.push_back(std::move(invio));
    InviaInAttesa(app);
}

}  // namespace vc
