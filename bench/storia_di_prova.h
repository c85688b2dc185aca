#pragma once
// A transit log of a real site's size, written straight into a started station's database:
// 'quanti' transits over the days ending 10/12/2026, 'alGiorno' a day, 2,000 badges, a refusal
// in every 17 and the three directions in turn.

#include <string>

#include "platform/database.h"
#include "support/fakes.h"

namespace vc::bench {

inline void ScriviStoria(test::Station& s, int quanti, int alGiorno) {
    auto db = Database::open(s.site.file("Varcanto.mdb"));
    Transaction t(*db);
    const std::string g = std::to_string(alGiorno);
    db->execute(
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < " + std::to_string(quanti - 1) +
        ") INSERT INTO transiti (NumeroBadge, Cognome, Nome, PosizioneLettore, Data, Ora, Passaggio, verso, nota) "
        "SELECT substr('000' || (i % 2000), -4), 'Cognome' || (i % 2000), 'Nome', 'INGRESSO', "
        "strftime('%d/%m/%Y', '2026-12-10', '-' || (i / " + g + ") || ' days'), "
        "printf('%02d:%02d', (i % " + g + ") * 1439 / " + g + " / 60, (i % " + g + ") * 1439 / " + g + " % 60), "
        "i % 17 <> 0, CASE i % 3 WHEN 0 THEN 'In' WHEN 1 THEN 'Out' ELSE 'InOut' END, "
        "CASE WHEN i % 17 = 0 THEN 'Fuori fascia' ELSE 'Passaggio' END FROM n");
    t.commit();
}

}  // namespace vc::bench
