#pragma once
// The reader line: a command text becomes a frame (frame.h), goes out on the serial line
// (through the multi-loop board when it is fitted) and the reply comes back whole, framing
// included, or "" when there is no valid reply. One command, at most one reply, no retries.
//
// The line is built from what it drives and nothing else: the serial line, the I/O ports of the
// board, the clock, the event loop and the few settings it reads (LineSettings). It holds the
// state of the exchanges: whether one is under way, the sends waiting for it to end, and the loop
// the next exchange goes on.
//
// The caller's text is replaced by the frame as sent. Waits are measured on the monotonic clock;
// while one waits, window events run (the exchange yields), and when none is pending it blocks on
// the line, the next timer and its own deadline. Exchanges never nest: one asked for while another
// is waiting (a click or a timer handled during the wait) returns "" at once, sends nothing and
// leaves LoopCorrente as the exchange under way found it. With the port not open an exchange
// returns "" at once.
//
// Each exchange goes out on its own loop of the multi-loop board: the one given, or LoopCorrente
// as it is when the exchange is asked for.

#include <cstdint>
#include <deque>
#include <functional>
#include <string>

#include "platform/clock.h"
#include "platform/events.h"
#include "platform/port_io.h"
#include "platform/serial.h"

namespace vc {

// What the line reads of the settings, at every exchange: the operator may change them while the
// station runs.
class LineSettings {
public:
    virtual ~LineSettings() = default;
    // The readers sit behind the multi-loop board.
    virtual bool SchedaInstallata() = 0;
    // The board's I/O port.
    virtual std::uint16_t IndirizzoScheda() = 0;
    // The serial port's number, which names the UART's line-status register.
    virtual int PortaSeriale() = 0;
};

class ReaderLine {
public:
    ReaderLine(SerialLine& serial, PortIO& ports, Clock& clock, EventLoop& loop, LineSettings& settings);
    ReaderLine(const ReaderLine&) = delete;
    ReaderLine& operator=(const ReaderLine&) = delete;

    std::string invia_comando(std::string& testo);         // 2.0 s, then 0.5 s per piece
    std::string invia_comando_veloce(std::string& testo);  // 0.1 s / 0.1 s
    std::string invia_comando_medio(std::string& testo);   // 1.2 s / 0.4 s
    std::string invia_comando(std::string& testo, int loop);
    std::string invia_comando_veloce(std::string& testo, int loop);
    std::string invia_comando_medio(std::string& testo, int loop);

    // For a send whose reply nobody waits on (a timed output, a keyboard unlock): runs 'invio' at
    // once when the line is free, else keeps it until the exchange under way has ended and runs it
    // at the next yield that finds the line free. Sends kept this way run in the order they were
    // asked.
    void QuandoLineaLibera(std::function<void()> invio);

    // True while an exchange is waiting for its reply.
    bool ScambioInCorso() const { return occupata_; }
    // True while a send kept by QuandoLineaLibera has not gone out yet.
    bool InviiInAttesa() const { return !inviiInAttesa_.empty(); }

    // The loop of the reader about to be addressed: callers set it from the reader's loop before
    // an exchange that names none.
    int LoopCorrente = 1;
    // A timed-outputs tick waits among the kept sends.
    bool UsciteInAttesa = false;

private:
    struct Attese {
        int primaMs, seguitoMs;
    };
    static constexpr Attese Standard{2000, 500}, Veloce{100, 100}, Medio{1200, 400};

    std::string Scambio(std::string& testo, int loop, Attese attese);
    std::string SullaLinea(const std::string& frame, int loop, Attese attese);
    void InviaConScheda(const std::string& frame, int loop);
    std::string Ricevi(Attese attese);
    void InviaInAttesa();

    SerialLine& serial_;
    PortIO& ports_;
    Clock& clock_;
    EventLoop& loop_;
    LineSettings& settings_;

    bool occupata_ = false;  // an exchange is waiting for its reply
    int loopPrimaDelloScambio_ = 1;  // LoopCorrente as the exchange under way found it
    std::deque<std::function<void()>> inviiInAttesa_;  // sends that found the line busy, oldest first
};

}  // namespace vc
