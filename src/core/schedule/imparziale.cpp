#include "core/schedule/imparziale.h"

#include <cmath>

#include "common/text.h"
#include "common/val.h"
#include "core/app.h"
#include "core/main/frm_wait.h"
#include "core/settings/frm_prog_setup.h"

namespace vc {

namespace {

// One of the settings window's data controls, bound afresh to a table of the site database.
Data& Tabella(App& app, Data& d, const char* tabella) {
    d.DatabaseName = app.file("Varcanto.mdb");
    d.RecordSource = tabella;
    d.Refresh();
    return d;
}

// A card belongs to a schedule when it is on-line, enabled and names the schedule, blanks at
// both ends ignored on both sides.
std::string Idonee(const std::string& nomeFascia) {
    return "Flag_online <> 0 AND AbilitaCarta <> 0 AND TRIM(NomeFascia) = " + sqlQuote(Trim(nomeFascia));
}

long Conta(Database& db, const std::string& condizione) {
    return static_cast<long>(db.query("SELECT count(*) FROM Carte WHERE " + condizione).at(0).at(0).second.toInt());
}

// Draws P distinct eligible cards, each draw uniform over the whole table; a card that is not
// eligible or already marked is drawn again. The draw stops early when no unmarked eligible card
// is left, so schedules sharing a name cannot make it run for ever. The k-th card is read by one
// query rather than by walking k records, and the generator, seeded once per run, is not reseeded
// at every draw: a reseed from a clock that has not moved would only repeat the last draw.
void Estrai(App& app, Database& db, const std::string& idonee, long totale, long quanti) {
    long restanti = std::min(quanti, Conta(db, idonee + " AND Imparziale = 0"));
    std::uniform_real_distribution<double> uniforme(0.0, 1.0);
    while (restanti > 0) {
        app.sys.loop.doEvents();
        const long k = static_cast<long>(std::floor(static_cast<double>(totale) * uniforme(app.Casuale) + 1));
        const auto scelta = db.query("SELECT rowid, (" + idonee + ") AND Imparziale = 0 FROM Carte ORDER BY rowid "
                                     "LIMIT 1 OFFSET " + Num(k - 1));
        if (scelta.empty() || !scelta[0][1].second.toBool()) continue;
        db.execute("UPDATE Carte SET Imparziale = 1 WHERE rowid = " + scelta[0][0].second.str());
        --restanti;
    }
}

}  // namespace

void Randomize(App& app) {
    const auto adesso = static_cast<std::uint64_t>(app.sys.clock.secondsSinceMidnight() * 1000.0);
    app.Casuale.seed(static_cast<std::uint32_t>(adesso ^ static_cast<std::uint64_t>(app.sys.clock.monotonicMs())));
}

// One statement for the whole table: the same end state as clearing card by card, without a
// durable write per card while polling waits.
void AzzeraImparziale(App& app) {
    Tabella(app, DatiCarteImparziale(app), "Carte").database().execute("UPDATE Carte SET Imparziale = 0");
}

bool ContaQuanti(App& app) {
    Data& carte = Tabella(app, DatiCarteImparziale(app), "Carte");
    if (carte.recordset()->EOF_()) return false;
    Data& fasce = Tabella(app, DatiFasceImparziale(app), "Fasce");
    Recordset& rs = *fasce.recordset();
    if (rs.EOF_()) return false;
    const NoYield conteggio("the schedules are walked and edited in place");
    for (rs.MoveFirst(); !rs.EOF_(); rs.MoveNext()) {
        const long quanti = Conta(carte.database(), Idonee(rs.field("Nome").str()));
        rs.Edit();
        rs.setField("Quanti", static_cast<std::int64_t>(CInt(static_cast<double>(quanti))));
        rs.Update();
    }
    return true;
}

void SceltaImparziale(App& app) {
    Data& carte = Tabella(app, DatiCarteImparziale(app), "Carte");
    if (carte.recordset()->EOF_()) return;
    carte.recordset()->MoveLast();
    const long totale = CInt(static_cast<double>(carte.recordset()->RecordCount()));
    Data& fasce = Tabella(app, DatiFasceImparziale(app), "Fasce");
    // Held across the draws, which yield.
    const HeldRecordset turni(fasce);
    Recordset& rs = *turni;
    const long persone = app.imp.NumeroImparziale;
    for (rs.MoveFirst(); !rs.EOF_(); rs.MoveNext()) {
        const std::string idonee = Idonee(rs.field("Nome").str());
        const long quanti = static_cast<long>(Val(rs.field("Quanti").str()));
        // Every eligible card at once: the same marks as editing them one by one.
        if (quanti <= persone)
            carte.database().execute("UPDATE Carte SET Imparziale = 1 WHERE " + idonee);
        else
            Estrai(app, carte.database(), idonee, totale, persone);
    }
}

bool EseguiImparziale(App& app, bool etichetta) {
    // The draws yield: a run begun meanwhile (the daily one coming due during the one asked for)
    // would clear and draw again under the first, which then marks its share on top.
    if (app.ImparzialeInCorso) return false;
    app.ImparzialeInCorso = true;
    struct Fine {
        bool& inCorso;
        ~Fine() { inCorso = false; }
    } fine{app.ImparzialeInCorso};
    Randomize(app);
    if (etichetta) MessaggioAttesa(app).setCaption("IMPARZIALE IN AZIONE");
    app.form("FrmWait").Show();
    // Whatever fails (a missing or unreadable database), the wait window must not stay on screen.
    auto chiudiAttesa = [&] {
        if (app.isLoaded("FrmWait")) app.form("FrmWait").Unload();
        if (etichetta) MessaggioAttesa(app).setCaption("ATTENDERE PREGO");
    };
    bool estratti = false;
    try {
        AzzeraImparziale(app);
        estratti = ContaQuanti(app);
        if (estratti) SceltaImparziale(app);
    } catch (...) {
        chiudiAttesa();
        throw;
    }
    chiudiAttesa();
    if (!estratti) app.MsgBox(ImparzialeImpossibile, mb::Critical, "Errore");
    return estratti;
}

void ImparzialeAdOrario(App& app) {
    if (!app.imp.FlagScattareAdOrario || !app.imp.FlagImparziale) return;
    if (Trim(app.imp.OrarioImparziale) != app.sys.clock.now().timeText()) return;
    EseguiImparziale(app, true);
}

}  // namespace vc
