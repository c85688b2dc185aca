#pragma once
// The reader commands that store a card ("B", with its stand-alone options) or delete it ("C")
// from a reader's memory. Both programming one card and programming every card send them.

#include <string>

namespace vc {

class Recordset;

// The seven option digits of "B", in the order the reader reads them.
struct OpzioniCarta {
    bool MetodoInput = false;     // "And": both inputs must be as expected
    bool ControllaInput = false;  // sent inverted: "0" when the inputs are checked
    bool Input2 = false;
    bool Input1 = false;
    std::string Fascia = "0";     // the stand-alone band digit, "0" for all day
    bool Output1 = false;
    bool Output2 = false;
};

// The options as a card record of "Carte" stores them.
OpzioniCarta OpzioniDaRecord(const Recordset& carta);

// The card field: the number's last 4 digits, or its last 3 in the 3-digit mode, zero-padded.
std::string CampoCarta(const std::string& numeroCarta, bool quattroCifre);

// The command after the reader prefix: "B" & card field & the option digits.
std::string ComandoMemorizzaCarta(const std::string& numeroCarta, bool quattroCifre, const OpzioniCarta& opzioni);
// The command after the reader prefix: "C" & card field.
std::string ComandoCancellaCarta(const std::string& numeroCarta, bool quattroCifre);

}  // namespace vc
