#pragma once
// The transit log and the count of people inside. Granted passages go to table "transiti", or
// to the history file "Storico.txt" while the external history is on; refusals always go to the
// table. A passage and the change of "presenti" decided with it are written together, in one
// transaction, once the reader has carried the decision out. What the database or the history
// file cannot take at once waits in the pending journal (core/log/transiti_sospesi.h) and is
// written later; the main window says so until nothing waits.

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

// A granted passage at reader 'lettore' (1-based), acknowledged by the reader whose direction is
// 'verso': at "In" (1) the person enters "presenti", at "Out" (0) leaves it, with the record.
void ScriviTransito(App& app, const std::string& badge, const std::string& cognome, const std::string& nome,
                    std::int16_t lettore, const std::string& situatoPresso, const std::string& stato,
                    std::int16_t verso);
// A refusal: red shapes, the record, the all-off command to the reader, the beep. Yields
// (platform/events.h).
void ScriviTransitoNegato(App& app, const std::string& prefisso, std::int16_t codice,
                          const std::string& situatoPresso, const std::string& stato, const std::string& badge,
                          const std::string& cognome, const std::string& nome);
// Anti-pass-back: true refuses: at an "In" reader (1) a person inside, at an "Out" reader (0) one
// who is not; an "InOut" reader (2) is not checked. Nothing changes here: the grant moves the person.
bool controllo_antipassback(App& app, const std::string& badge, std::int16_t verso);
// The anti-pass-back reset: nobody inside, after everything decided before it.
void AzzeraPresenti(App& app);
// Writes what waits in the journal, waiting at most 'attesaMs' for a lock, and shows what is left.
void RiprovaSospesi(App& app, int attesaMs = 0);
// At start-up: the count of people inside as "presenti" has them, with what waits to be written. A crash between a change of the
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
