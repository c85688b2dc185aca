#pragma once
// The reader link: a command text becomes a frame (SOH, text, ENQ, checksum byte), goes out on
// the serial line (through the multi-loop board when it is fitted) and the reply comes back
// whole, framing included, or "" when there is no valid reply. One command, at most one reply,
// no retries.
//
// The caller's text is replaced by the frame as sent. Waits are measured on the monotonic clock;
// while one waits, window events run, and when none is pending it blocks on the line, the next
// timer and its own deadline. Exchanges never nest: one asked for while another is waiting (a
// click or a timer handled during the wait) returns "" at once, sends nothing and leaves
// LoopCorrente as the exchange under way found it. With the port not open an exchange returns ""
// at once.
//
// Each exchange goes out on its own loop of the multi-loop board: the one given, or LoopCorrente
// as it is when the exchange is asked for.
//
// Every exchange and QuandoLineaLibera yield: see platform/events.h.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace vc {

class App;

inline constexpr char SOH = 1, ENQ = 5;

std::string invia_comando(App& app, std::string& testo);         // 2.0 s, then 0.5 s per piece
std::string invia_comando_veloce(App& app, std::string& testo);  // 0.1 s / 0.1 s
std::string invia_comando_medio(App& app, std::string& testo);   // 1.2 s / 0.4 s
std::string invia_comando(App& app, std::string& testo, int loop);
std::string invia_comando_veloce(App& app, std::string& testo, int loop);
std::string invia_comando_medio(App& app, std::string& testo, int loop);

// For a send whose reply nobody waits on (a timed output, a keyboard unlock): runs 'invio' at
// once when the line is free, else keeps it until the exchange under way has ended and runs it at
// the next yield that finds the line free. Sends kept this way run in the order they were asked.
void QuandoLineaLibera(App& app, std::function<void()> invio);

// SOH & text & ENQ & the checksum byte (never 1 or 5).
std::string Incornicia(std::string_view testo);
// Whether a reply as received passes the frame and checksum checks.
bool RispostaValida(std::string_view risposta);
// The reply status: character 4 of a reply, or 0 for a reply shorter than that.
char StatoRisposta(std::string_view risposta);

// True while an exchange is waiting for its reply.
bool ScambioInCorso(const App& app);

}  // namespace vc
