#include "readers_admin/frm_funz_agg.h"

#include <algorithm>
#include <exception>

#include "common/comando_carta.h"
#include "common/text.h"
#include "common/val.h"
#include "core/link/reader_link.h"
#include "core/log/transit_log.h"
#include "core/main/frm_wait.h"
#include "core/main/main_status.h"
#include "core/schedule/imparziale.h"
#include "core/settings/settings_file.h"
#include "platform/layout.h"
#include "readers_admin/comandi_lettore.h"
#include "readers_admin/linea_libera.h"

namespace vc {

namespace {

void avviso(App& app, const char* testo, const char* titolo) { app.MsgBox(testo, mb::Exclamation, titolo); }
void informa(App& app, const char* testo) { app.MsgBox(testo, mb::Information, "Messaggio"); }

bool CiSonoLettori(App& app) {
    if (app.NumeroLettori >= 1) return true;
    avviso(app, "Non ci sono lettori.", "Attenzione");
    return false;
}

// A card is stored only on the readers it is enabled on, and only when it is an enabled
// stand-alone card; everywhere else it is deleted. Only a reader flag of exactly 1 stores it, as
// the cards window writes the flags; any other digit deletes it.
ComandoLettore ComandoCarta(const Recordset& carta, int numeroLettore, bool quattroCifre) {
    const bool abilitata =
        Val(Mid(carta.field("Lettore").str(), static_cast<std::size_t>(numeroLettore), 1)) == 1;
    const bool memorizza =
        abilitata && !carta.field("Flag_online").toBool() && carta.field("AbilitaCarta").toBool();
    return ComandoPerLettore(carta.field("NumeroCarta").str(), quattroCifre, memorizza, OpzioniDaRecord(carta));
}

// The failure text of a reply to "B" or "C", or nullptr when the reader took the card.
const char* ErroreProgrammazione(const std::string& risposta) {
    if (risposta.empty()) return "Periferica non connessa.";
    switch (StatoRisposta(risposta)) {
        case 'D': return "Errore nel traferimento dati.";
        case 'C': return "Errore nel codice applicazione.";
        case 'S': return nullptr;
        default: return "Risposta sconosciuta.";
    }
}

}  // namespace

FrmFunzAgg::FrmFunzAgg(App& app) : Form(app, kName), app_(app) {
    Disponi();
    wire(*this, {
        {Command1.Click, &FrmFunzAgg::Command1_Click},
        {Command2.Click, &FrmFunzAgg::Command2_Click},
        {Command3.Click, &FrmFunzAgg::Command3_Click},
        {Command4.Click, &FrmFunzAgg::Command4_Click},
        {Command5.Click, &FrmFunzAgg::Command5_Click},
        {Command6.Click, &FrmFunzAgg::Command6_Click},
        {Command7.Click, &FrmFunzAgg::Command7_Click},
        {Command8.Click, &FrmFunzAgg::Command8_Click},
        {Command9.Click, &FrmFunzAgg::Command9_Click},
        {Command10.Click, &FrmFunzAgg::Command10_Click},
    });
}

void FrmFunzAgg::Disponi() {
    setCaption("Varcanto - altre opzioni");
    geometry = {0, 0, 560, 400};
    const std::pair<CommandButton*, const char*> sinistra[] = {
        {&Command1, "Stampa archivio utenti"},
        {&Command10, "Scelta utenti per l'imparziale"},
        {&Command5, "Riazzera AntiPass-Back"},
        {&Command6, "Upload carte"},
        {&Command7, "Elimina storico da tutti i lettori"},
    };
    const std::pair<CommandButton*, const char*> destra[] = {
        {&Command2, "DownLoad storico"},
        {&Command3, "Archivio storico"},
        {&Command8, "Fasce orarie On Line"},
        {&Command9, "Password"},
    };
    int riga = 0;
    for (auto [bottone, testo] : sinistra) {
        bottone->setCaption(testo);
        bottone->place(20, 20 + riga++ * 58, 250, 46);
    }
    riga = 0;
    for (auto [bottone, testo] : destra) {
        bottone->setCaption(testo);
        bottone->place(290, 20 + riga++ * 58, 250, 46);
    }
    layOut({
        {Command4, "Ritorna alla pagina principale", {150, 330, 260, 46}},
        {Image1, "antipassback/vuoto", {0, 0, 32, 32}},
        {Image2, "antipassback/presenti", {0, 0, 32, 32}},
    });
    for (Image* i : {&Image1, &Image2}) i->setVisible(false);
    Data1.setVisible(false);
    Data2.setVisible(false);
}

void FrmFunzAgg::Form_Load() {
    Command5.setPicture(app_.imp.UtentiPresenti != 0 ? Image2.Picture : Image1.Picture);
}

void FrmFunzAgg::ApriSitoDb(Data& data, const char* tabella) {
    data.DatabaseName = app_.file("Varcanto.mdb");
    data.RecordSource = tabella;
    data.Refresh();
}

void FrmFunzAgg::Command1_Click() {
    ApriSitoDb(Data2, "Carte");
    if (Data2.recordset()->EOF_()) {
        avviso(app_, "Non ci sono utenti nel database.", "Attenzione");
        return;
    }
    try {
        Report& report = ReportUtenti(app_);
        report.DataFiles[0] = app_.file("Varcanto.mdb");
        report.ReportFileName = app_.file("Utenti.rpt");
        report.Destination = 0;
        report.setAction(1);
    } catch (const std::exception&) {
        app_.MsgBox("Problemi con la stampante.", mb::Critical, "Errore");
    }
}

void FrmFunzAgg::Command10_Click() {
    if (!app_.imp.FlagImparziale) {
        avviso(app_, "L'imparziale non è stato attivato.", "Messaggio");
        return;
    }
    // The draws yield: a second run or the way back in the middle would clear or abandon them.
    FormBusy occupata(*this);
    if (EseguiImparziale(app_, true)) informa(app_, "Operazione completata.");
}

void FrmFunzAgg::Command2_Click() {
    if (!CiSonoLettori(app_) || !LineaLibera(app_)) return;
    setEnabled(false);
    app_.form("FrmDownLoad").Show();
}

void FrmFunzAgg::Command3_Click() { app_.form("FrmViewStoria").Show(); }

void FrmFunzAgg::Command4_Click() {
    Unload();
    Form& principale = app_.form("FrmMain");
    principale.setEnabled(true);
    principale.Show();
}

void FrmFunzAgg::Command5_Click() {
    if (app_.imp.UtentiPresenti == 0) {
        informa(app_, "L'antipass-back è già azzerato.");
        return;
    }
    if (app_.MsgBox("Confermi l'azzeramento dell'antipass-back ?", mb::YesNo | mb::Question, "Domanda") != mb::Yes)
        return;
    // One statement for the whole table, after the passages decided before it that still wait.
    ApriSitoDb(Data1, "Presenti");
    AzzeraPresenti(app_);
    app_.imp.UtentiPresenti = 0;
    ScriviImpostazione(app_.file("Accessi.ini"), "Utenti", "0");
    ContaPresenti(app_).setCaption("0");
    RigaDiStato(app_).setCaption("");
    Command5.setPicture(Image1.Picture);
    informa(app_, "Operazione completata.");
}

void FrmFunzAgg::Command6_Click() {
    ApriSitoDb(Data2, "Carte");
    if (Data2.recordset()->EOF_()) {
        avviso(app_, "Il database delle carte è vuoto.", "Attenzione");
        return;
    }
    if (!CiSonoLettori(app_) || !LineaLibera(app_)) return;
    rifiutate_.clear();
    upload_ = {};
    Esito esito = Esito::Completata;
    {
        CorsaInterrompibile corsa(app_);
        FormBusy occupata(*this);
        esito = ProgrammaTutteLeCarte(corsa);
    }
    Show();
    if (esito == Esito::Completata) informa(app_, "Programmazione effettuata.");
    if (esito == Esito::Interrotta) informa(app_, TestoUploadInterrotto().c_str());
    if (!rifiutate_.empty()) avviso(app_, TestoCarteRifiutate(rifiutate_).c_str(), "Attenzione");
}

FrmFunzAgg::Esito FrmFunzAgg::ProgrammaTutteLeCarte(CorsaInterrompibile& corsa) {
    for (int i = 0; i < app_.NumeroLettori; ++i) {
        upload_ = {i, 0, Data2.recordset()->RecordCount()};
        app_.sys.loop.doEvents();
        if (corsa.fermata()) return Esito::Interrotta;
        if (const Esito esito = ProgrammaLettore(corsa); esito != Esito::Completata) return esito;
        Data2.Refresh();
    }
    return Esito::Completata;
}

FrmFunzAgg::Esito FrmFunzAgg::ProgrammaLettore(CorsaInterrompibile& corsa) {
    const int i = upload_.lettore;
    // Copied, as the cards are held: the exchanges yield, and a reload of the readers meanwhile
    // must not turn the upload to another address.
    const DatiLettore lettore = app_.Lettori[static_cast<std::size_t>(i)];
    const HeldRecordset carte(Data2);
    for (carte->MoveFirst(); !carte->EOF_(); carte->MoveNext(), ++upload_.carta) {
        app_.sys.clock.sleep(50);
        app_.sys.loop.doEvents();
        if (corsa.fermata()) return Esito::Interrotta;
        corsa.avanzamento(LettoreDi(i) + "\nCarta " + Num(upload_.carta + 1) + " di " + Num(upload_.carte));
        const ComandoLettore comando = ComandoCarta(*carte, i + 1, app_.imp.FlagQuattroCifre);
        if (comando.rifiutata) RifiutaCarta(*carte);
        if (const char* errore = ErroreProgrammazione(InviaAlLettore(app_, lettore, comando.testo))) {
            corsa.chiudi();
            Show();
            app_.MsgBox(errore, mb::Exclamation, TitoloLettore(i + 1, lettore));
            Data2.Refresh();
            return Esito::Fallita;
        }
    }
    return Esito::Completata;
}

// Reader k of n, where it is.
std::string FrmFunzAgg::LettoreDi(int i) const {
    return "Lettore " + Num(i + 1) + " di " + Num(app_.NumeroLettori) + " - situato presso " +
           Trim(app_.Lettori[static_cast<std::size_t>(i)].SituatoPresso);
}

// Which readers have every card, how far the one under way got, and how many got nothing.
std::string FrmFunzAgg::TestoUploadInterrotto() const {
    const auto [i, carta, carte] = upload_;
    std::string testo = "Programmazione interrotta." + app_.CrLf + "Lettori programmati con tutte le carte: " +
                        Num(i) + " su " + Num(app_.NumeroLettori) + ".";
    if (carta > 0)
        testo += app_.CrLf + TitoloLettore(i + 1, app_.Lettori[static_cast<std::size_t>(i)]) + ": programmate " +
                 Num(carta) + " carte su " + Num(carte) + ".";
    const int senza = app_.NumeroLettori - i - (carta > 0 ? 1 : 0);
    if (senza > 0) testo += app_.CrLf + "Lettori non programmati: " + Num(senza) + ".";
    return testo;
}

// Named once, however many readers it was meant for.
void FrmFunzAgg::RifiutaCarta(const Recordset& carta) {
    const std::string numero = carta.field("NumeroCarta").str();
    if (std::none_of(rifiutate_.begin(), rifiutate_.end(), [&](const auto& r) { return r.first == numero; }))
        rifiutate_.emplace_back(numero, OpzioniDaRecord(carta).Fascia);
}

void FrmFunzAgg::Command7_Click() {
    if (!CiSonoLettori(app_) || !LineaLibera(app_)) return;
    if (app_.MsgBox("Sei sicuro di eliminare dai tutti i lettori lo storico delle transazioni ?",
                    mb::YesNo | mb::Question, "Domanda") != mb::Yes)
        return;
    int cancellati = 0;
    Esito esito = Esito::Completata;
    {
        CorsaInterrompibile corsa(app_);
        FormBusy occupata(*this);
        esito = CancellaTuttiGliStorici(corsa, cancellati);
    }
    Show();
    if (esito == Esito::Fallita)
        app_.MsgBox("Errore di comunicazione.", mb::Exclamation,
                    TitoloLettore(cancellati + 1, app_.Lettori[static_cast<std::size_t>(cancellati)]));
    if (esito == Esito::Completata) informa(app_, "Cancellazione effettuata.");
    if (esito == Esito::Interrotta)
        informa(app_, ("Cancellazione interrotta." + app_.CrLf + "Lettori con lo storico cancellato: " +
                       Num(cancellati) + " su " + Num(app_.NumeroLettori) +
                       "; lo storico degli altri lettori è rimasto nella loro memoria.")
                          .c_str());
}

// 'cancellati' counts the readers erased, so it is also the index of the one that failed.
FrmFunzAgg::Esito FrmFunzAgg::CancellaTuttiGliStorici(CorsaInterrompibile& corsa, int& cancellati) {
    for (; cancellati < app_.NumeroLettori; ++cancellati) {
        app_.sys.loop.doEvents();
        if (corsa.fermata()) return Esito::Interrotta;
        corsa.avanzamento(LettoreDi(cancellati));
        app_.sys.clock.sleep(100);
        if (!RispostaAccettata(InviaAlLettore(app_, app_.Lettori[static_cast<std::size_t>(cancellati)], "E01")))
            return Esito::Fallita;
    }
    return Esito::Completata;
}

void FrmFunzAgg::Command8_Click() {
    if (!LineaLibera(app_)) return;
    Hide();
    app_.FasceDaCarte = false;
    app_.form("FrmFasceOnline").Show();
}

void FrmFunzAgg::Command9_Click() {
    Hide();
    app_.form("FrmGestPassw").Show();
}

}  // namespace vc
