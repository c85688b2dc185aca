#include "core/access/polling.h"

#include <sstream>
#include <utility>

#include "common/archivio_carte.h"
#include "common/carte.h"
#include "common/text.h"
#include "common/val.h"
#include "core/app.h"
#include "core/link/reader_link.h"
#include "core/log/transit_log.h"
#include "core/main/main_status.h"
#include "core/settings/frm_prog_setup.h"
#include "platform/cp1252.h"
#include "platform/safe_file.h"

namespace vc {

namespace {

constexpr const char* TipoArchivio = "KOVA KV-P";

std::string Adesso(App& app) { return app.sys.clock.now().generalText(); }

// What one card read is decided on.
struct Lettura {
    std::int16_t numero;           // the reader's number, 1-based
    DatiLettore lettore;           // a copy: a reload of the readers meanwhile changes nothing here
    std::string prefisso;          // address and plant code
    std::string codice;            // the plant code as sent, 6 digits
    std::string luogo;             // the location, trimmed
    std::string risposta;          // the reply to the poll, framing included (bytes)
    std::string badge, cognome, nome;
};

class Decisione {
public:
    Decisione(App& app, Lettura& l) : app_(app), l_(l) {}
    void Esegui();

private:
    void Mostra(const std::string& testo) { RigaDiStato(app_).setCaption(testo); }
    std::string ConData(const std::string& testo) { return testo + app_.CrLf + Adesso(app_); }
    void Rifiuta(std::int16_t codice) {
        ScriviTransitoNegato(app_, l_.prefisso, codice, l_.lettore.SituatoPresso, l_.lettore.Stato, l_.badge,
                             l_.cognome, l_.nome);
    }
    HeldRecordset Carte();
    std::string NumeroDallaLettura() const;
    // The first check that refuses the card, with its status text; -1 when all pass.
    std::int16_t Controlli(const Recordset& carta, std::string& testo);
    bool InputValidi(const Recordset& carta) const;
    void Consenti(const Recordset& carta);
    void FermaPolling();

    App& app_;
    Lettura& l_;
};

// The recordset over "Carte" is live: each find reads the table as it is at that moment, so the
// look-ups see every change without the recordset being opened again at each card read.
HeldRecordset Decisione::Carte() {
    Data& carte = DatiCarte(app_);
    if (!carte.bound()) carte.Refresh();
    return HeldRecordset(carte);
}

std::string Decisione::NumeroDallaLettura() const {
    const DatiLettore& d = l_.lettore;
    auto at = [this](int pos) { return Mid(l_.risposta, static_cast<std::size_t>(pos + 9), 1); };
    const bool quattroCifre = app_.imp.FlagQuattroCifre;
    const std::string cifre =
        at(d.PosCarta1) + at(d.PosCarta2) + at(d.PosCarta3) + (quattroCifre ? at(d.PosCarta4) : "");
    return NumeroCartaLetto(cifre, quattroCifre);
}

bool Decisione::InputValidi(const Recordset& carta) const {
    const int in1 = CInt(Val(Mid(l_.risposta, 6, 1))), in2 = CInt(Val(Mid(l_.risposta, 7, 1)));
    const bool ok1 = in1 == (carta.field("Input1").toBool() ? 1 : 0);
    const bool ok2 = in2 == (carta.field("Input2").toBool() ? 1 : 0);
    return carta.field("MetodoInput").toBool() ? ok1 && ok2 : ok1 || ok2;
}

std::int16_t Decisione::Controlli(const Recordset& carta, std::string& testo) {
    const std::string& b = l_.badge;
    const std::int16_t verso = l_.lettore.CodiceVerso;
    if (!carta.field("AbilitaCarta").toBool()) {
        testo = ConData("Carta " + b + " non abilitata  ");
        return CartaNonAbilitata;
    }
    if (!AbilitataSulLettore(carta.field("Lettore").str(), l_.numero)) {
        testo = "Carta " + b + " non abilitata sul lettore " + Num(l_.numero) + " situato presso " + l_.luogo;
        return NonAbilitatoSulLettore;
    }
    if (!carta.field("Flag_online").toBool()) {
        testo = ConData("Carta " + b + " non abilitata all'On-Line ");
        return NonAbilitatoOnline;
    }
    // The random check blocks only at readers marked for it with a leading "#".
    if (l_.luogo.rfind('#', 0) == 0 && carta.field("Imparziale").toBool() && app_.imp.FlagImparziale) {
        testo = ConData("Carta " + b + " accesso negato (imparziale attivo) ");
        return BloccoImparziale;
    }
    if (controllo_antipassback(app_, b, verso)) {
        testo = ConData("Carta " + b + " - Accesso negato (antipass-back on) ");
        return BloccoAntiPassBack;
    }
    if (carta.field("ControllaInput").toBool() && !InputValidi(carta)) {
        testo = ConData("Carta " + b + " - Input non validi - Accesso negato");
        return BloccoInput;
    }
    if (carta.field("flag_fasce").toBool()) {
        const GiornoFascia& g = GiornoDellaSettimana(app_.sys.clock.now().weekday());
        if (!carta.field(g.flag).toBool()) {
            testo = ConData("Carta " + b + " - Accesso negato - Giorno non abilitato (" + g.nome + ")");
            return FuoriFascia;
        }
        if (!OraInFascia(app_, carta.field(g.orari[0]).str(), carta.field(g.orari[1]).str(),
                         carta.field(g.orari[2]).str(), carta.field(g.orari[3]).str())) {
            testo = ConData("Carta " + b + " - Accesso negato - Fuori fascia oraria (" + g.nome + ")");
            return FuoriFascia;
        }
    }
    // The maximum inside is read live from the settings window, at "In" readers only.
    if (MassimoIngressiAttivo(app_) && verso == 1 && app_.imp.UtentiPresenti >= Val(MassimoIngressiScritto(app_))) {
        testo = "Carta " + b + " - Accesso negato - Limite ingressi raggiunto";
        return BloccoNumeroMassimo;
    }
    return -1;
}

void Decisione::Consenti(const Recordset& carta) {
    const std::string o1 = carta.field("Output1").toBool() ? "1" : "0";
    const std::string o2 = carta.field("Output2").toBool() ? "1" : "0";
    app_.sys.clock.sleep(10);
    std::string comando = l_.prefisso + "K1" + o1 + "000100" + o2;
    const std::string risposta = invia_comando(app_, comando);
    if (StatoRisposta(risposta) != 'S') {
        Mostra("Errore di comunicazione col lettore. " + cp1252::toUtf8(risposta) + " Impossibile consentire passaggio");
        return;
    }
    Mostra(ConData("Carta " + l_.badge + " - Accesso consentito - " + l_.cognome + " " + l_.nome));
    ColoraLampade(app_, colour::Green);
    ScriviTransito(app_, l_.badge, l_.cognome, l_.nome, l_.numero, l_.lettore.SituatoPresso, l_.lettore.Stato,
                   l_.lettore.CodiceVerso);
    ContaPresenti(app_).setCaption(Num(app_.imp.UtentiPresenti));
}

// The card archive is missing: polling stops exactly as when the operator switches it off.
// A file that is there but cannot be read is named with its cause.
void Decisione::FermaPolling() {
    const std::string file = app_.file(app_.imp.FileTessaro + ".txt");
    const std::optional<std::string> motivo = safe_file::problem(file);
    app_.MsgBox(motivo ? safe_file::unreadable(file, *motivo) + " Il polling sarà bloccato."
                       : "Il file dove ricercare le carte per i lettori Tessaro non esiste. Il polling sarà bloccato.",
                mb::Critical, "Errore");
    if (app_.PollingAttivo) PremiPolling(app_);
}

void Decisione::Esegui() {
    const std::string& r = l_.risposta;
    const std::string datiCarta = Mid(r, 9, r.size() - 10);
    StringaRicevuta(app_).setCaption("Stringa ricevuta : " + cp1252::toUtf8(datiCarta) + "  " + Adesso(app_));
    // Held for the whole decision: the grant and the log yield while the line waits.
    const HeldRecordset carta = Carte();
    Recordset& rs = *carta;

    const bool archivio = l_.lettore.TipoLettore == TipoArchivio;
    const std::string numero = archivio ? cerca_carta_file(app_, Mid(r, 9, 6)) : NumeroDallaLettura();
    if (archivio && numero == "????") return FermaPolling();
    const DatiLettore& d = l_.lettore;
    std::string impianto;
    for (int p : {d.PosCodice1, d.PosCodice2, d.PosCodice3, d.PosCodice4, d.PosCodice5, d.PosCodice6})
        impianto += Mid(r, static_cast<std::size_t>(p + 9), 1);
    if (archivio && numero == "####") {
        Mostra(ConData("Carta non riconosciuta "));
        return Rifiuta(CartaIrregolare);
    }

    rs.FindFirst("Stringa = ?1", {Value(cp1252::toUtf8(datiCarta))});
    std::string numeroCarta;
    if (!rs.NoMatch()) {
        numeroCarta = rs.field("NumeroCarta").str();
    } else if (archivio || impianto == l_.codice) {
        numeroCarta = numero;
    } else {
        Mostra(ConData("Codice impianto differente "));
        return Rifiuta(CodiceImpiantoNonValido);
    }
    rs.FindFirst("NumeroCarta = ?1", {Value(numeroCarta)});
    if (rs.NoMatch()) {
        Mostra(ConData("Carta non presente nel database "));
        return Rifiuta(BadgeNonPresente);
    }
    l_.badge = rs.field("NumeroCarta").str();
    l_.cognome = rs.field("Cognome").str();
    l_.nome = rs.field("Nome").str();

    std::string testo;
    if (const std::int16_t codice = Controlli(rs, testo); codice >= 0) {
        Mostra(testo);
        return Rifiuta(codice);
    }
    Consenti(rs);
}

}  // namespace

bool OraInFascia(App& app, const std::string& da1, const std::string& a1, const std::string& da2,
                 const std::string& a2) {
    const DateTime t = app.sys.clock.now();
    // (hour, minute) pairs compared hour first: a minute written past 59 does not carry into the hour.
    const std::pair<double, double> adesso{t.hour, t.minute};
    auto orario = [](const std::string& hhmm) { return std::pair{Val(Mid(hhmm, 1, 2)), Val(Mid(hhmm, 4, 2))}; };
    auto impostata = [](const std::string& da, const std::string& a) { return da != "##:##" && a != "##:##"; };
    auto contiene = [&](const std::string& da, const std::string& a) {
        return impostata(da, a) && orario(da) <= adesso && adesso <= orario(a);
    };
    if (contiene(da1, a1) || contiene(da2, a2)) return true;
    return !impostata(da1, a1) && !impostata(da2, a2);
}

std::string cerca_carta_file(App& app, const std::string& codice) {
    const safe_file::ReadResult archivio = safe_file::read(app.file(app.imp.FileTessaro + ".txt"));
    if (archivio.status != safe_file::ReadResult::Status::Read) return "????";
    std::istringstream f(archivio.content);
    // A line that holds no record is skipped, as the utilities window skips it.
    std::string riga;
    while (std::getline(f, riga)) {
        const auto record = RecordArchivio(riga);
        if (record && Mid(*record, 4, 6) == codice) return "0" + Mid(*record, 1, 3);
    }
    return "####";
}

void polling_lettore(App& app, std::int16_t& numero) {
    app.sys.loop.doEvents();
    if (!app.PollingAttivo || app.NumeroLettori == 0) return;
    app.sys.clock.sleep(10);
    app.sys.loop.doEvents();

    // The decision reads the reader's record from its own copy, never from the table: a handler
    // run during the exchanges may load the table again.
    const DatiLettore& d = app.Lettori[static_cast<std::size_t>(numero - 1)];
    Lettura l{numero, d, PrefissoLettore(d), Pad(d.CodiceImpianto, 6),
              Trim(d.SituatoPresso), "", "", "", ""};
    app.Linea.LoopCorrente = l.lettore.NumeroLoop;
    std::string poll = l.prefisso + "D";
    const bool archivio = l.lettore.TipoLettore == TipoArchivio;
    l.risposta = archivio ? invia_comando_medio(app, poll) : invia_comando_veloce(app, poll);
    // A card read too short to hold any card data is treated as no card at all.
    if (StatoRisposta(l.risposta) != 'I' || l.risposta.size() < 10) return;
    try {
        Decisione(app, l).Esegui();
    } catch (const DbError& e) {
        // The database failed mid-decision: say so, end this tick, keep polling.
        RigaDiStato(app).setCaption(std::string("Errore del database: ") + e.what() + app.CrLf + Adesso(app));
    }
}

}  // namespace vc
