#pragma once
// Attendance: each person's entries paired with the exits that follow them.

#include <string>
#include <vector>

namespace vc {

// An accepted transit, as the attendance reads it from the history's working copy.
struct TransitoPresenza {
    std::string badge, cognome, nome;
    std::string verso;  // "In", "Out", "InOut", in any letter case
    double dataOra = 0;
};

// One attendance interval: an entry and its exit, or an entry or an exit alone.
struct Presenza {
    std::string cognome, nome, badge;
    double dataOraIn = 0, dataOraOut = 0;
    bool mancaIngresso = true, mancaUscita = true;
};

struct Accoppiamento {
    std::vector<Presenza> presenze;
    bool passaggiInOut = false;  // some two-way passages were met and left out
};

// Pairs transits sorted by surname, first name, badge and time. Within a badge every entry takes
// the first exit after it; an entry followed by another entry, or by no exit, stands alone; an
// exit with no entry pending stands alone; two-way passages take no part. The names written are
// those of the transit that began the run of the badge.
Accoppiamento AccoppiaTransiti(const std::vector<TransitoPresenza>& transiti);

}  // namespace vc
