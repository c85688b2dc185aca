#include "core/log/transit_log.h"

#include <optional>

#include "common/text.h"
#include "core/app.h"
#include "core/link/reader_link.h"
#include "core/main/main_status.h"
#include "core/log/transiti_sospesi.h"
#include "core/settings/settings_file.h"
#include "platform/cp1252.h"

namespace vc {

namespace {

const char* const Cause[] = {
    "Carta irregolare",
    "Badge non presente in archivio",
    "Codice impianto non valido",
    "Fuori fascia",
    "",
    "Non abilitato sul lettore",
    "Blocco da imparziale",
    "Blocco per anti pass back",
    "Non abilitato all' online",
    "Bloco per numero massimo",
    "Blocco per input non valido",
};

// How long a decision's write waits for another connection's lock: the line must not stop for it.
constexpr int AttesaDellaLinea = 100;

// One of the main window's data controls, bound to its table of the site database.
Recordset& Tabella(App& app, Data& d, const char* tabella) {
    const std::string db = app.file("Varcanto.mdb");
    if (!d.bound() || d.DatabaseName != db || d.RecordSource != tabella) {
        d.DatabaseName = db;
        d.RecordSource = tabella;
        d.Refresh();
    }
    return *d.recordset();
}

void ScriviUtenti(App& app) {
    ScriviImpostazione(app.file("Accessi.ini"), "Utenti", Num(app.imp.UtentiPresenti));
}

// The site database through the main window's "transiti" control; null when it cannot be opened.
Database* DatabaseDelSito(App& app) {
    try {
        Data& transiti = DatiTransiti(app);
        Tabella(app, transiti, "transiti");
        return &transiti.database();
    } catch (const DbError&) {
        return nullptr;
    }
}

// The decided transit could not be stored at once: the operator must see it, and whether it waits
// in the journal or, the disk refusing that too, in memory only.
void TransitoNonRegistrato(App& app, const std::string& badge, const std::string& nota, const std::string& errore,
                           bool suDisco) {
    RigaDiStato(app).setCaption(std::string(suDisco ? "TRANSITO IN ATTESA" : "TRANSITO NON REGISTRATO") + ": carta " +
                                badge + " (" + nota + ") - " + errore + app.CrLf + app.sys.clock.now().generalText());
}

void MostraSospesi(App& app) {
    Label& avviso = AvvisoSospesi(app);
    avviso.setCaption(sospesi::Avviso(app.Sospesi));
    avviso.setVisible(!app.Sospesi.voci.empty());
}

// Writes one decision at once when nothing waits before it for the same destination and the
// database takes it within 'attesaMs'; otherwise it joins what waits. Returns the fault that kept
// it waiting, if any.
std::optional<std::string> Registra(App& app, TransitoSospeso voce, int attesaMs) {
    TransitiSospesi& attesa = app.Sospesi;
    const std::string& cartella = app.sys.appPath;
    if (!attesa.letti) sospesi::Leggi(cartella, attesa);
    voce.quando = app.sys.clock.now().generalText();
    std::optional<std::string> errore;
    if (!sospesi::InAttesa(attesa, voce)) {
        Database* db = DatabaseDelSito(app);
        try {
            if (db) db->setBusyTimeout(attesaMs);
            if (!sospesi::Scrivi(cartella, voce, db, false))
                errore = "impossibile scrivere " + app.file(voce.tipo == 'S' ? "Storico.txt" : "Varcanto.mdb");
        } catch (const DbError& e) {
            errore = e.what();
        }
        if (db) db->setBusyTimeout(Database::DefaultBusyMs);
        if (!errore) return std::nullopt;
        sospesi::Accoda(cartella, attesa, std::move(voce));
    } else {
        // What was decided before goes first: this one waits behind it, and all may go now.
        sospesi::Accoda(cartella, attesa, std::move(voce));
        sospesi::Registra(cartella, attesa, DatabaseDelSito(app), 0);
    }
    MostraSospesi(app);
    return errore;
}

// A decided transit: written, or waiting (in the journal, or in memory while the disk refuses).
void Memorizza(App& app, TransitoSospeso voce, const std::string& nota) {
    const std::string badge = voce.badge;
    const std::optional<std::string> errore = Registra(app, std::move(voce), AttesaDellaLinea);
    if (errore) TransitoNonRegistrato(app, badge, nota, *errore, app.Sospesi.voci.back().suDisco);
}

TransitoSospeso Transito(App& app, const std::string& badge, const std::string& cognome, const std::string& nome,
                         const std::string& situatoPresso, bool passaggio, const std::string& stato,
                         const std::string& nota) {
    const DateTime ora = app.sys.clock.now();
    TransitoSospeso v;
    v.badge = badge;
    v.riga = {badge, cognome, nome, situatoPresso, ora.dateText(), ora.timeText(), passaggio ? "1" : "0", stato, nota};
    return v;
}

char Presenza(std::int16_t verso) { return verso == 1 ? '+' : verso == 0 ? '-' : ' '; }

// The count follows the decision: the person is inside (or out) from the moment it is taken.
void ContaPresenza(App& app, char presenza) {
    if (presenza == ' ') return;
    app.imp.UtentiPresenti += presenza == '+' ? 1 : -1;
    ScriviUtenti(app);
}

}  // namespace

const char* CausaRifiuto(std::int16_t codice) {
    return codice >= 0 && codice <= 10 ? Cause[codice] : "";
}

std::string RigaStorico(const std::string& badge, const std::string& cognome, const std::string& nome,
                        std::int16_t lettore, const std::string& situatoPresso, const std::string& data,
                        const std::string& ora, const std::string& stato) {
    // Columns count characters: align in the file's code page, one byte each.
    auto colonna = [](const std::string& t, std::size_t n) {
        return cp1252::toUtf8(Right(std::string(n, ' ') + cp1252::fromUtf8(t), n));
    };
    return badge + " " + colonna(nome, 14) + " " + colonna(cognome, 14) + "   " + Pad(lettore, 2) + " " +
           colonna(situatoPresso, 8) + " " + data + " " + ora + " Passaggio " + stato;
}

void ScriviTransito(App& app, const std::string& badge, const std::string& cognome, const std::string& nome,
                    std::int16_t lettore, const std::string& situatoPresso, const std::string& stato,
                    std::int16_t verso) {
    const char presenza = Presenza(verso);
    TransitoSospeso voce = Transito(app, badge, cognome, nome, situatoPresso, true, stato, "Passaggio");
    voce.presenza = presenza;
    ContaPresenza(app, presenza);
    if (!app.imp.FlagStoricoEsterno) return Memorizza(app, std::move(voce), "Passaggio");
    // The history file does not need the database: a database that cannot be opened must not
    // cost the line. The presence change still goes to the database, on its own.
    const auto& r = voce.riga;
    TransitoSospeso storico;
    storico.tipo = 'S';
    storico.badge = badge;
    storico.riga = {RigaStorico(badge, cognome, nome, lettore, situatoPresso, r[4], r[5], stato)};
    Memorizza(app, std::move(storico), "Passaggio");
    if (presenza == ' ') return;
    voce.tipo = 'P';
    voce.riga.clear();
    Memorizza(app, std::move(voce), "Passaggio");
}

void ScriviTransitoNegato(App& app, const std::string& prefisso, std::int16_t codice,
                          const std::string& situatoPresso, const std::string& stato, const std::string& badge,
                          const std::string& cognome, const std::string& nome) {
    ColoraLampade(app, colour::Red);
    // The record comes first: the all-off exchange and the beep take up to three seconds, and a
    // refusal the reader has carried out must not be lost to a crash in them.
    const std::string nota = CausaRifiuto(codice);
    Memorizza(app, Transito(app, badge, cognome, nome, situatoPresso, false, stato, nota), nota);
    std::string tuttoSpento = prefisso + "K000000000";
    invia_comando(app, tuttoSpento);
    if (app.imp.FlagBeep) {
        const Deadline fine(app.sys.clock, 1000);
        while (!fine.expired()) {
            app.sys.loop.yieldUntil(fine.endMs());
            app.sys.dialogs.beep();
        }
    }
}

bool controllo_antipassback(App& app, const std::string& badge, std::int16_t verso) {
    Recordset& rs = Tabella(app, DatiPresenti(app), "presenti");
    if (verso == 2) return false;
    std::optional<bool> dentro = sospesi::Dentro(app.Sospesi, badge);
    if (!dentro) {
        // The first row in table order with this trimmed number, found through its index.
        rs.FindFirst("trim(NumeroBadge) = ?1", {Value(Trim(badge))});
        dentro = !rs.NoMatch();
    }
    return verso == 1 ? *dentro : !*dentro;
}

void IndicizzaPresenti(Database& db) {
    db.tryExecute("CREATE INDEX IF NOT EXISTS presenti_trim_NumeroBadge ON presenti (trim(NumeroBadge))");
}

void AzzeraPresenti(App& app) {
    TransitoSospeso azzera;
    azzera.tipo = 'Z';
    Registra(app, std::move(azzera), Database::DefaultBusyMs);
}

void RiprovaSospesi(App& app, int attesaMs) {
    TransitiSospesi& attesa = app.Sospesi;
    if (attesa.letti && attesa.voci.empty()) return;
    sospesi::Registra(app.sys.appPath, attesa, DatabaseDelSito(app), attesaMs);
    MostraSospesi(app);
}

void RiallineaPresenti(App& app) {
    const long nellaTabella = sospesi::Presenti(app.Sospesi, Tabella(app, DatiPresenti(app), "presenti").RecordCount());
    if (nellaTabella == app.imp.UtentiPresenti) return;
    app.imp.UtentiPresenti = static_cast<std::int32_t>(nellaTabella);
    ScriviUtenti(app);
}

}  // namespace vc
