#pragma once
// The shared settings read from "Accessi.ini", section "Impostazioni".

#include <cstdint>
#include <string>

namespace vc {

struct Impostazioni {
    std::int16_t IndirizzoScheda485 = 0;
    bool FlagCancellaStorico = false;
    std::int16_t PortaSeriale = 0;
    bool SchedaK880 = false;
    std::int32_t TempoPolling = 0;
    std::int32_t MassimoIngressi = 0;
    bool FlagMassimoIngressi = false;
    std::int16_t RitardoRisposta = 0;
    bool FlagQuattroCifre = false;
    bool UsaFasceOrarie = false;
    bool FlagImparziale = true;
    std::int16_t NumeroImparziale = 0;
    bool FlagStoricoEsterno = true;
    std::string FileTessaro;
    bool FlagScattareAdOrario = true;
    std::string OrarioImparziale;
    bool FlagTastieraOutput1 = true;
    bool FlagTastieraOutput2 = true;
    std::int16_t OutputImparziale = 0;
    std::string OrarioInizio1, OrarioInizio2, OrarioInizio3;
    std::string OrarioFine1, OrarioFine2, OrarioFine3;
    std::int32_t UtentiPresenti = 0;
    bool FlagBeep = true;

    // Derived: band k is in use when neither of its times is "##:##".
    bool FasciaAttiva1 = true, FasciaAttiva2 = true, FasciaAttiva3 = true;
};

}  // namespace vc
