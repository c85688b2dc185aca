#pragma once
// Decided passages that the site database or the history file could not take at once. Each waits
// in memory and in the pending journal "TransitiSospesi.txt" of the site folder (appended and
// forced to disk before its decision ends, never through a link) until it is written where it
// belongs: in decision order and exactly once, by the next attempt that finds the database
// writable, or at the next start. Each destination keeps its own order: a history file that
// refuses lines does not hold back the database.
//
// Journal: UTF-8 text, one record per line, fields separated by TAB; a backslash, TAB, CR or LF
// inside a field is written \\, \t, \r, \n. The first field is the record's kind, the second the
// passage's id, unique across runs:
//   R id quando presenza badge NumeroBadge Cognome Nome PosizioneLettore Data Ora Passaggio verso nota
//                                 a row of "transiti" and the change of "presenti" decided with it
//   P id quando presenza badge    a change of "presenti" alone (the passage went to the history file)
//   S id quando presenza badge riga   a line of "Storico.txt", without its quotes ('presenza' empty)
//   Z id quando                   the anti-pass-back reset: "presenti" emptied
//   A id dimensione               the line of S id is being appended to a history file that size
//   D id                          written where it belongs
// 'presenza' is "+" (entered), "-" (left) or empty; 'quando' is when it was decided. A journal
// whose every record is done is removed. A replay writes the id of each database passage to table
// "sospesi_registrati" in the transaction of its rows, so a replay killed halfway writes nothing
// twice; a history line is known to be in when the file has grown past the size its A record noted.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vc {

class Database;

// One passage (or reset) waiting to be written.
struct TransitoSospeso {
    char tipo = 'R';                // 'R', 'P', 'S' or 'Z' as in the journal
    std::string id, quando;
    char presenza = ' ';            // '+', '-' or ' '
    std::string badge;              // the card; whose presence changes
    std::vector<std::string> riga;  // R: the nine fields of "transiti"; S: the history line
    bool suDisco = false;           // its record is in the journal
    std::optional<std::int64_t> storicoDa;  // S: the history file's size noted before its append
};

// What waits on one site, oldest first.
struct TransitiSospesi {
    std::vector<TransitoSospeso> voci;
    bool letti = false;  // the journal has been read
    std::string seme;    // makes this run's ids unlike any other run's
    std::uint64_t progressivo = 0;
};

namespace sospesi {

constexpr const char* Giornale = "TransitiSospesi.txt";

// Reads what the journal of the site folder 'cartella' still holds to be written.
void Leggi(const std::string& cartella, TransitiSospesi& attesa);
// Writes one passage where it belongs, now (into the database 'db', which may be missing): false
// when the history file refuses it; throws DbError when the database does. A passage from the
// journal is written at most once, whatever came before.
bool Scrivi(const std::string& cartella, TransitoSospeso& v, Database* db, bool dalGiornale);
// Whether something waits to be written where 'v' goes (the database, or the history file).
bool InAttesa(const TransitiSospesi& attesa, const TransitoSospeso& v);
// Adds a passage to what waits, with a new id, and to the journal with every earlier one that only
// memory held.
void Accoda(const std::string& cartella, TransitiSospesi& attesa, TransitoSospeso v);
// Writes what waits, oldest first; the first passage the database (waiting at most 'attesaMs' for
// a lock) or the history file refuses keeps every later one of the same destination waiting.
// Removes the journal once nothing is left. Returns how many wait.
std::size_t Registra(const std::string& cartella, TransitiSospesi& attesa, Database* db, int attesaMs);

// Whether the card is inside according to the changes that wait (none: nullopt).
std::optional<bool> Dentro(const TransitiSospesi& attesa, const std::string& badge);
// The people inside once what waits is written, from the rows of "presenti" now.
long Presenti(const TransitiSospesi& attesa, long nellaTabella);
// The main window's notice while something waits: how many, since when, the last card.
std::string Avviso(const TransitiSospesi& attesa);

}  // namespace sospesi

}  // namespace vc
