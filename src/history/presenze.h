#pragma once
// Attendance: each person's entries paired with the exits that follow them.

#include <cstdint>
#include <string>
#include <vector>

namespace vc {

class Database;

// How a name field was stored. The report database sorts a missing one first and binary data after
// every text; its text columns hold no numbers.
enum class Specie : std::uint8_t { Nulla, Testo, Binaria };

// An accepted transit, as the attendance reads it from the history's working copy.
struct TransitoPresenza {
    std::string badge, cognome, nome;
    std::string verso;  // "In", "Out", "InOut", in any letter case
    double dataOra = 0;
    Specie specieBadge = Specie::Testo, specieCognome = Specie::Testo, specieNome = Specie::Testo;
};

// Sorts transits by surname, first name, badge and time exactly as the report database's ORDER BY
// over those columns does: by kind first; texts byte by byte with only A-Z folded to a-z, up to
// a NUL byte of the first, a text that begins another before it; binary data byte by byte.
// Transits equal in all four keep the order they came in, as the database's sort keeps its scan
// order.
void OrdinaTransiti(std::vector<TransitoPresenza>& transiti);

// The accepted transits of the report database's TEMP that have a time, in the order above. They
// are read in table order and sorted here: the database's own sort of a large TEMP took most of the
// computation.
std::vector<TransitoPresenza> TransitiPresenza(Database& report);

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
