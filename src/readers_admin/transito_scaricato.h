#pragma once
// A transit as a reader hands it out in its "Z" reply to "S" during the download.

#include <optional>
#include <string>

#include "platform/clock.h"

namespace vc {

struct TransitoScaricato {
    std::string carta;                      // 4 characters: a 3-digit card gets a leading "0"
    std::string ora, minuto, giorno, mese;  // 2 digits each
    int anno = 0;                           // the reader sends none: the latest that is not after now
};

// The transit of a reply as received (framing included), or nothing when the record is not whole.
std::optional<TransitoScaricato> LeggiTransito(const std::string& risposta, bool quattroCifre, const DateTime& adesso);

}  // namespace vc
