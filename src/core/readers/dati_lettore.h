#pragma once
// One reader of the in-memory reader table.

#include <array>
#include <cstdint>
#include <string>

#include "common/text.h"

namespace vc {

struct DatiLettore {
    std::string TipoLettore;
    std::int16_t NumeroIndirizzo = 0;
    std::int16_t NumeroLoop = 0;
    std::int32_t CodiceImpianto = 0;
    std::int16_t Ritardo = 0;
    std::string SituatoPresso;
    std::int16_t PosCarta1 = 0, PosCarta2 = 0, PosCarta3 = 0, PosCarta4 = 0;
    std::int16_t PosCodice1 = 0, PosCodice2 = 0, PosCodice3 = 0, PosCodice4 = 0, PosCodice5 = 0,
                 PosCodice6 = 0;
    std::int16_t CodiceVerso = 2;  // 0 "Out", 1 "In", 2 otherwise
    std::string Stato;
};

constexpr int MaxLettori = 64;

// The 2-digit address and the 6-digit plant code every command text starts with.
inline std::string PrefissoLettore(const DatiLettore& l) { return Pad(l.NumeroIndirizzo, 2) + Pad(l.CodiceImpianto, 6); }

// "Lettore n - situato presso <location>", the title of a reader's failure message.
inline std::string TitoloLettore(int numero, const DatiLettore& l) {
    return "Lettore " + Num(numero) + " - situato presso " + Trim(l.SituatoPresso);
}
using TabellaLettori = std::array<DatiLettore, MaxLettori>;

}  // namespace vc
