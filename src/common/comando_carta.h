#pragma once
// The reader commands that store a card ("B", with its stand-alone options) or delete it ("C")
// from a reader's memory. Both programming one card and programming every card send them.

#include <optional>
#include <string>
#include <utility>
#include <vector>

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

// A band digit a reader takes: exactly one of "0" to "3".
bool FasciaValida(const std::string& fascia);

// The command after the reader prefix: "B" & card field & the option digits. Nothing when the
// band is not one a reader takes (a value a hand-edited database can hold): the frame would come
// out malformed, so such a card is never stored in a reader.
std::optional<std::string> ComandoMemorizzaCarta(const std::string& numeroCarta, bool quattroCifre,
                                                 const OpzioniCarta& opzioni);
// The command after the reader prefix: "C" & card field.
std::string ComandoCancellaCarta(const std::string& numeroCarta, bool quattroCifre);

// What one reader is sent for a card: the store command when 'memorizza', else the delete. A card
// to be stored with a band no reader takes is refused and deleted instead: an entry stored before
// would go on admitting it stand-alone, so it is left in no reader.
struct ComandoLettore {
    std::string testo;       // after the reader prefix
    bool rifiutata = false;  // the store was refused for the band
};
ComandoLettore ComandoPerLettore(const std::string& numeroCarta, bool quattroCifre, bool memorizza,
                                 const OpzioniCarta& opzioni);

// The cards refused by a programming run for their band, as (card number, stored band).
using CarteRifiutate = std::vector<std::pair<std::string, std::string>>;
// The operator's message naming them, one card a line; the first ten named, the rest counted.
std::string TestoCarteRifiutate(const CarteRifiutate& carte);

}  // namespace vc
