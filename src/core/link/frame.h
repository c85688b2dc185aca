#pragma once
// A reader frame: SOH, the command text, ENQ and one checksum byte. The checksum is 5 XOR every
// byte from the start up to, not including, the first ENQ; the station raises a raw 1 or 5 by
// one when it sends, a reader a raw 2 or 5 when it replies. Nothing here waits or touches a line:
// these are pure functions of the bytes.

#include <cstddef>
#include <string>
#include <string_view>

namespace vc {

inline constexpr char SOH = 1, ENQ = 5;

// A reply longer than this is garbage: no reader answers with more.
inline constexpr std::size_t MassimaRisposta = 512;

// SOH & text & ENQ & the checksum byte (never 1 or 5).
std::string Incornicia(std::string_view testo);
// Whether a reply as received passes the frame and checksum checks. A reply that stopped right
// after its ENQ, without a checksum byte, passes when its raw checksum is 0.
bool RispostaValida(std::string_view risposta);
// The reply status: character 4 of a reply, or 0 for a reply shorter than that.
char StatoRisposta(std::string_view risposta);

// What the bytes received so far of a reply tell the receiver to do next.
enum class FineRisposta {
    Attendi,      // no end yet: wait for more, or for the time-out
    Completa,     // ENQ and one byte after it, and the reply passes the checks
    TroppoLunga,  // past MassimaRisposta without an end
    Errata,       // ENQ and one byte after it, and the checks fail
};
// A reply ends by position: as soon as an ENQ is followed by exactly one more byte.
FineRisposta ControllaFine(std::string_view ricevuto);

}  // namespace vc
