#pragma once
// One reader of the in-memory reader table.

#include <array>
#include <cstdint>
#include <string>

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
using TabellaLettori = std::array<DatiLettore, MaxLettori>;

}  // namespace vc
