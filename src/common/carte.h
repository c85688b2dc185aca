#pragma once
// Rules of the card and schedule tables that every reader and writer of them shares.

#include <array>
#include <string>

namespace vc {

class Recordset;

// A card number as stored: zero-padded on the left to exactly 4 characters ("7" -> "0007").
std::string NumeroCartaArchivio(long numero);

// The card number of the digits a reader sends for a card (bytes of code page 1252, as on the
// line), as "Carte" stores it: UTF-8, with a "0" in front in the 3-digit mode. The poll engine and
// the download both read card numbers through it, so a transit downloaded names the card polling
// would find, whatever bytes the reader sent.
std::string NumeroCartaLetto(const std::string& cifre, bool quattroCifre);

// Character k (1-based) of a card's 64-character reader string: a card is enabled on reader k
// when the numeric value of that character is not 0; a missing character means not enabled.
bool AbilitataSulLettore(const std::string& lettore, int numeroLettore);

// The 35 schedule fields a card carries a copy of: 7 day flags, then 28 band times.
extern const std::array<const char*, 7> CampiGiorni;
extern const std::array<const char*, 28> CampiOrari;

// The day flag and the four times (band 1 from, to, band 2 from, to) of a weekday, 1 = Sunday.
struct GiornoFascia {
    const char* flag;
    std::array<const char*, 4> orari;
    const char* nome;  // as the refusal texts name it
};
const GiornoFascia& GiornoDellaSettimana(int weekday);

// Copies the 35 fields of a schedule record into the card being edited or added.
void CopiaFascia(const Recordset& fascia, Recordset& carta);
// A card without a schedule: every time "##:##", every day off.
void AzzeraFascia(Recordset& carta);

}  // namespace vc
