#pragma once
// One row of "Lettori" as the readers window would have written it: card digits at positions
// 0-3, plant code at 4-9 of the card data.

#include <string>

#include "support/fakes.h"

namespace vc::test {

struct RigaLettore {
    std::string tipo = "KOVA KV-M1";
    std::string situato = "PORTA   ";
    std::string codice = "000123";
    int ritardo = 5;
    std::string stato = "In";
    int loop = 1;
    int indirizzo = 3;
    int riscriviRam = 1;
    int testInput = 0;
    int fasce = 0;
};

inline void InserisciLettore(Station& s, const RigaLettore& r) {
    s.sql("INSERT INTO Lettori (TipoLettore, SituatoPresso, CodiceImpianto, Ritardo, Stato, PosCarta1, PosCarta2, "
          "PosCarta3, PosCarta4, PosCodice1, PosCodice2, PosCodice3, PosCodice4, PosCodice5, PosCodice6, NumeroLoop, "
          "NumeroIndirizzo, RiscriviRam, TestInput, FasceOrarie) VALUES ('" + r.tipo + "', '" + r.situato + "', '" +
          r.codice + "', " + std::to_string(r.ritardo) + ", '" + r.stato + "', 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, " +
          std::to_string(r.loop) + ", " + std::to_string(r.indirizzo) + ", " + std::to_string(r.riscriviRam) + ", " +
          std::to_string(r.testInput) + ", " + std::to_string(r.fasce) + ")");
}

}  // namespace vc::test
