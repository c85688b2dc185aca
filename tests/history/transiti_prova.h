#pragma once
// Transits written straight into the site database, and the report database's tables read back.

#include <string>
#include <vector>

#include "platform/database.h"
#include "support/fakes.h"

namespace vc::test {

struct Transito {
    std::string badge, cognome, nome, data, ora;
    int passaggio = 1;
    std::string verso = "In";
    std::string nota = "Passaggio";
    std::string posizione = "INGRESSO";
};

inline void Scrivi(Station& s, const std::vector<Transito>& transiti) {
    for (const auto& t : transiti)
        s.sql("INSERT INTO transiti (NumeroBadge, Cognome, Nome, PosizioneLettore, Data, Ora, Passaggio, verso, nota) "
              "VALUES (" + sqlQuote(t.badge) + ", " + sqlQuote(t.cognome) + ", " + sqlQuote(t.nome) + ", " +
              sqlQuote(t.posizione) + ", " + sqlQuote(t.data) + ", " + sqlQuote(t.ora) + ", " +
              std::to_string(t.passaggio) + ", " + sqlQuote(t.verso) + ", " + sqlQuote(t.nota) + ")");
}

inline std::vector<std::vector<std::pair<std::string, Value>>> Report(Station& s, const std::string& query) {
    return Database::open(s.app().PercorsoDbReport)->query(query);
}

}  // namespace vc::test
