#pragma once
// The transit log and the count of people inside. Granted passages go to table "transiti", or
// to the history file "Storico.txt" while the external history is on; refusals always go to the
// table. A transit the log cannot store is shown in the main window's status line ("TRANSITO NON
// REGISTRATO"), never dropped in silence, and the decision carries on.

#include <cstdint>
#include <string>

namespace vc {

class App;
class Database;

// The refusal codes of the access decision and the cause each logs in "nota".
enum CodiceRifiuto : std::int16_t {
    CartaIrregolare = 0,
    BadgeNonPresente = 1,
    CodiceImpiantoNonValido = 2,
    FuoriFascia = 3,
    CartaNonAbilitata = 4,
    NonAbilitatoSulLettore = 5,
    BloccoImparziale = 6,
    BloccoAntiPassBack = 7,
    NonAbilitatoOnline = 8,
    BloccoNumeroMassimo = 9,
    BloccoInput = 10,
};
const char* CausaRifiuto(std::int16_t codice);

// A granted passage at reader 'lettore' (1-based).
void ScriviTransito(App& app, const std::string& badge, const std::string& cognome, const std::string& nome,
                    std::int16_t lettore, const std::string& situatoPresso, const std::string& stato);
// A refusal: red shapes, the record, the all-off command to the reader, the beep.
void ScriviTransitoNegato(App& app, const std::string& prefisso, std::int16_t codice,
                          const std::string& situatoPresso, const std::string& stato, const std::string& badge,
                          const std::string& cognome, const std::string& nome);
// Anti-pass-back: true refuses. At an "Out" reader (0) the person's record is removed during the
// check; an "InOut" reader (2) is not checked.
bool controllo_antipassback(App& app, const std::string& badge, std::int16_t verso);
// A person entered at an "In" reader.
void AggiungiPresente(App& app, const std::string& badge, std::int16_t verso);
// At start-up: the count of people inside as "presenti" has them. A crash between a change of the
// table and the write of its count leaves the two apart; the table is the record of who is inside.
void RiallineaPresenti(App& app);
// Gives a site database built before it the index anti-pass-back finds a person by. Without it
// (a database that cannot take it) the look-up still works, only slower.
void IndicizzaPresenti(Database& db);

// The history file line of a granted passage, without its quotes.
std::string RigaStorico(const std::string& badge, const std::string& cognome, const std::string& nome,
                        std::int16_t lettore, const std::string& situatoPresso, const std::string& data,
                        const std::string& ora, const std::string& stato);

}  // namespace vc
