#include "core/log/transit_log.h"

#include <stdexcept>

#include "common/text.h"
#include "core/app.h"
#include "core/link/reader_link.h"
#include "core/settings/settings_file.h"
#include "platform/cp1252.h"
#include "platform/safe_file.h"

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

Label& StatoOnLine(App& app) { return app.control<Label>("FrmMain", "Label3"); }

void ColoraEsito(App& app, std::int32_t colore) {
    app.control<Shape>("FrmMain", "Shape1").setFillColor(colore);
    app.control<Shape>("FrmMain", "Shape2").setFillColor(colore);
}

// The main window's data control, bound to its table of the site database.
Recordset& Tabella(App& app, const char* data, const char* tabella) {
    Data& d = app.control<Data>("FrmMain", data);
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

// One record of "transiti", written at once (durable when Update returns).
void RegistraTransito(App& app, const std::string& badge, const std::string& cognome, const std::string& nome,
                      const std::string& situatoPresso, bool passaggio, const std::string& stato,
                      const std::string& nota) {
    const DateTime ora = app.sys.clock.now();
    Recordset& rs = Tabella(app, "Data2", "transiti");
    rs.AddNew();
    rs.setField("NumeroBadge", badge);
    rs.setField("Cognome", cognome);
    rs.setField("Nome", nome);
    rs.setField("PosizioneLettore", situatoPresso);
    rs.setField("Data", ora.dateText());
    rs.setField("Ora", ora.timeText());
    rs.setField("Passaggio", passaggio);
    rs.setField("verso", stato);
    rs.setField("nota", nota);
    try {
        rs.Update();
    } catch (...) {
        rs.CancelUpdate();
        throw;
    }
}

// The decided transit could not be stored: the operator must see it.
void TransitoNonRegistrato(App& app, const std::string& badge, const std::string& nota, const std::string& errore) {
    StatoOnLine(app).setCaption("TRANSITO NON REGISTRATO: carta " + badge + " (" + nota + ") - " + errore +
                                app.CrLf + app.sys.clock.now().generalText());
}

// The line is on the disk before the decision ends, as a database row is.
void AccodaStorico(App& app, const std::string& riga) {
    if (!safe_file::append(app.file("Storico.txt"), '"' + cp1252::fromUtf8(riga) + "\"\r\n"))
        throw std::runtime_error("impossibile scrivere " + app.file("Storico.txt"));
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
                    std::int16_t lettore, const std::string& situatoPresso, const std::string& stato) {
    try {
        // The history file does not need the database: a database that cannot be opened must
        // not cost the line.
        if (app.imp.FlagStoricoEsterno) {
            const DateTime ora = app.sys.clock.now();
            AccodaStorico(app, RigaStorico(badge, cognome, nome, lettore, situatoPresso, ora.dateText(),
                                           ora.timeText(), stato));
        } else {
            RegistraTransito(app, badge, cognome, nome, situatoPresso, true, stato, "Passaggio");
        }
    } catch (const std::exception& e) {
        TransitoNonRegistrato(app, badge, "Passaggio", e.what());
    }
}

void ScriviTransitoNegato(App& app, const std::string& prefisso, std::int16_t codice,
                          const std::string& situatoPresso, const std::string& stato, const std::string& badge,
                          const std::string& cognome, const std::string& nome) {
    ColoraEsito(app, colour::Red);
    // The record comes first: the all-off exchange and the beep take up to three seconds, and a
    // refusal the reader has carried out must not be lost to a crash in them.
    const std::string nota = CausaRifiuto(codice);
    try {
        RegistraTransito(app, badge, cognome, nome, situatoPresso, false, stato, nota);
    } catch (const std::exception& e) {
        TransitoNonRegistrato(app, badge, nota, e.what());
    }
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
    Recordset& rs = Tabella(app, "Data1", "presenti");
    if (verso == 2) return false;
    // The first row in table order with this trimmed number, found through its index.
    rs.FindFirst("trim(NumeroBadge) = ?1", {Value(Trim(badge))});
    if (rs.NoMatch()) return verso == 0;  // out without being inside
    if (verso == 1) return true;          // in while inside
    rs.Delete();
    --app.imp.UtentiPresenti;
    ScriviUtenti(app);
    return false;
}

void IndicizzaPresenti(Database& db) {
    db.tryExecute("CREATE INDEX IF NOT EXISTS presenti_trim_NumeroBadge ON presenti (trim(NumeroBadge))");
}

void AggiungiPresente(App& app, const std::string& badge, std::int16_t verso) {
    Recordset& rs = Tabella(app, "Data1", "presenti");
    if (verso != 1) return;
    rs.AddNew();
    rs.setField("NumeroBadge", Trim(badge));
    rs.Update();
    ++app.imp.UtentiPresenti;
    ScriviUtenti(app);
}

void RiallineaPresenti(App& app) {
    const long nellaTabella = Tabella(app, "Data1", "presenti").RecordCount();
    if (nellaTabella == app.imp.UtentiPresenti) return;
    app.imp.UtentiPresenti = static_cast<std::int32_t>(nellaTabella);
    ScriviUtenti(app);
}

}  // namespace vc
