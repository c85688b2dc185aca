// The cards window's exchanges with the readers: programming the card shown into every reader,
// registering the raw code of an external card, and the random-check release beside them.

#include "cards/frm_cards_abil.h"

#include "common/comando_carta.h"
#include "common/text.h"
#include "common/val.h"
#include "core/link/reader_link.h"
#include "platform/cp1252.h"

namespace vc {

namespace {

constexpr const char* RegistraCaption = "Registra carta esterna";
constexpr const char* FinePassaggioCaption = "Fine passaggio carta esterna";

struct Esito {
    const char* testo = nullptr;  // nullptr: the reader accepted the command
    int icona = mb::Exclamation;
};

Esito EsitoProgrammazione(const std::string& risposta) {
    if (risposta.empty()) return {"Periferica non connessa."};
    switch (StatoRisposta(risposta)) {
        case 'D': return {"Errore nel trasferimento dati."};
        case 'C': return {"Errore nel codice applicazione."};
        case 'S': return {};
        default: return {"Risposta sconosciuta.", mb::Critical};
    }
}

}  // namespace

// ---- programming the card shown into every reader ----

void FrmCardsAbil::Command11_Click() {
    auto avviso = [this](const char* testo, const char* titolo) { app_.MsgBox(testo, mb::Exclamation, titolo); };
    if (Check5.checked()) return avviso("Carta abilitata all' On Line", "Messaggio");
    if (app_.NumeroLettori == 0) return avviso("Non ci sono lettori memorizzati nel database.", "Attenzione");
    if (app_.PollingAttivo) return avviso("Disabilitare prima il polling.", "Messaggio");
    if (app_.OutputAutomatico) return avviso("Disabilitare prima l'output automatico.", "Messaggio");
    FormBusy occupata(*this);
    upload_carta();
}

void FrmCardsAbil::upload_carta() {
    app_.form("FrmWait").Show();
    auto fine = [this](const std::string& testo, int stile, const std::string& titolo) {
        app_.form("FrmWait").Unload();
        Show();
        app_.MsgBox(testo, stile, titolo);
    };
    try {
        const Recordset& carta = *Data1.recordset();
        const std::string lettore = carta.field("Lettore").str();
        const bool memorizza = !carta.field("Flag_online").toBool() && carta.field("AbilitaCarta").toBool();
        // The options as the window shows them; with no band chosen, the stored one. A stored band
        // no reader takes leaves the band options of the card shown before: that card's band is
        // not this one's, so the card is refused rather than stored with it.
        OpzioniCarta opzioni = OpzioniDaRecord(carta);
        const std::string fasciaMemorizzata = opzioni.Fascia;
        opzioni.MetodoInput = Option3.Value();
        opzioni.ControllaInput = Option1.Value();
        opzioni.Input2 = Option7.Value();
        opzioni.Input1 = Option5.Value();
        if (FasciaValida(fasciaMemorizzata)) {
            if (Option9.Value()) opzioni.Fascia = "1";
            if (Option10.Value()) opzioni.Fascia = "2";
            if (Option11.Value()) opzioni.Fascia = "3";
            if (Option12.Value()) opzioni.Fascia = "0";
        }
        opzioni.Output1 = Check2.checked();
        opzioni.Output2 = Check3.checked();
        const bool quattroCifre = app_.imp.FlagQuattroCifre;
        bool rifiutata = false;

        for (int i = 0; i < app_.NumeroLettori; ++i) {
            const DatiLettore l = app_.Lettori[static_cast<std::size_t>(i)];  // the exchange yields
            const int n = i + 1;
            app_.Linea.LoopCorrente = l.NumeroLoop;
            const bool abilitata = memorizza && Val(Mid(lettore, static_cast<std::size_t>(n), 1)) == 1;
            const ComandoLettore comando = ComandoPerLettore(Text4.Text(), quattroCifre, abilitata, opzioni);
            rifiutata = rifiutata || comando.rifiutata;
            std::string testo = PrefissoLettore(l) + comando.testo;
            const Esito esito = EsitoProgrammazione(invia_comando(app_, testo));
            if (esito.testo) return fine(esito.testo, esito.icona, TitoloLettore(n, l));
        }
        if (rifiutata)
            return fine(TestoCarteRifiutate({{Text4.Text(), opzioni.Fascia}}), mb::Exclamation, "Attenzione");
    } catch (const DbError& e) {
        app_.form("FrmWait").Unload();
        Show();
        return ErroreDatabase(e);
    }
    fine("Programmazione della carta effettuata.", mb::Information, "Messaggio");
}

// ---- external card registration ----

void FrmCardsAbil::Command15_Click() {
    if (Command15.Caption() == RegistraCaption) {
        RegistraCartaEsterna();
        return;
    }
    // The waiting registration sees the caption change and ends.
    app_.MsgBox("Nessuna carta è stata passata.", mb::Information, "Messaggio");
    Command15.setCaption(RegistraCaption);
}

void FrmCardsAbil::RegistraCartaEsterna() {
    auto avviso = [this](const char* testo, const char* titolo) { app_.MsgBox(testo, mb::Exclamation, titolo); };
    if (app_.NumeroLettori < 1) return avviso("Non ci sono lettori.", "Attenzione");
    if (!Check5.checked()) return avviso("Opzione valida solo con l'On Line", "Attenzione");
    if (app_.PollingAttivo) return avviso("Disabilitare prima il polling.", "Messaggio");
    if (app_.OutputAutomatico) return avviso("Disabilitare prima l'output automatico.", "Messaggio");
    try {
        // Held across the wait for the card, which yields.
        const HeldRecordset carta(Data1);
        Recordset& rs = *carta;
        rs.FindFirst("NumeroCarta=" + sqlQuote(Text4.Text()));
        if (rs.NoMatch()) {
            app_.MsgBox("Il numero di carta non esiste.", mb::Information, "Messaggio");
            return;
        }
        app_.MsgBox("Ora bisogna passare la carta su uno qualunque dei lettori presenti nella rete.",
                    mb::Information, "Messaggio");
        Command15.setCaption(FinePassaggioCaption);

        // The card looked up must stay the current record until its data are stored: while the
        // wait lets the window run, only the stop button is left to press.
        std::array<bool, 15> abilitati{};
        for (std::size_t i = 0; i < pulsanti_.size(); ++i) {
            abilitati[i] = pulsanti_[i]->Enabled();
            pulsanti_[i]->setEnabled(pulsanti_[i] == &Command15);
        }
        auto ripristina = [&] {
            for (std::size_t i = 0; i < pulsanti_.size(); ++i) pulsanti_[i]->setEnabled(abilitati[i]);
        };
        std::string risposta;
        DatiLettore lettore;
        if (!AttendiCartaEsterna(risposta, lettore)) {
            ripristina();
            return;
        }
        try {
            rs.Edit();
            rs.setField("Stringa", cp1252::toUtf8(Mid(risposta, 9, risposta.size() - 10)));
            rs.Update();
        } catch (const DbError&) {
            rs.CancelUpdate();
            ripristina();
            Command15.setCaption(RegistraCaption);
            throw;
        }
        app_.MsgBox("Registrazione carta esterna OK !", mb::Information, "Messaggio");
        std::string spegni = PrefissoLettore(lettore) + "K000000000";
        app_.Linea.LoopCorrente = lettore.NumeroLoop;
        invia_comando_veloce(app_, spegni);
        ripristina();
        Command15.setCaption(RegistraCaption);
    } catch (const DbError& e) {
        ErroreDatabase(e);
    }
}

// Polls the readers in turn, without pause, until one reports a card (true, with its reply and
// reader's record as it was polled) or the operator stops the wait (false).
bool FrmCardsAbil::AttendiCartaEsterna(std::string& risposta, DatiLettore& lettore) {
    for (int i = 0;; ++i) {
        app_.sys.loop.doEvents();
        if (Command15.Caption() != FinePassaggioCaption || app_.NumeroLettori < 1) return false;
        if (i >= app_.NumeroLettori) i = 0;
        const DatiLettore l = app_.Lettori[static_cast<std::size_t>(i)];  // the poll yields
        std::string comando = PrefissoLettore(l) + "D";
        app_.Linea.LoopCorrente = l.NumeroLoop;
        risposta = invia_comando_veloce(app_, comando);
        // A card read carries its data between the 8 header characters and the last 2; a reply
        // without any would store an empty code that every empty read would match.
        if (StatoRisposta(risposta) == 'I' && risposta.size() > 10) {
            lettore = l;
            return true;
        }
    }
}

// ---- random-check release ----

void FrmCardsAbil::Command14_Click() {
    auto avviso = [this](const char* testo) { app_.MsgBox(testo, mb::Exclamation, "Messaggio"); };
    if (!Check5.checked()) return avviso("L'imparziale funziona solo in modalità On Line.");
    if (!app_.imp.FlagImparziale) return avviso("L'imparziale non è stato attivato.");
    if (!app_.CartaImparziale) return avviso("L'utente non è stato scelto per l'imparziale.");
    if (app_.MsgBox("Deselezionare l'utente dall'imparziale ?", mb::YesNo | mb::Question, "Domanda") != mb::Yes)
        return;
    RilasciaImparziale();
}

void FrmCardsAbil::RilasciaImparziale() {
    try {
        Recordset& rs = *Data1.recordset();
        rs.MoveFirst();
        rs.FindFirst("NumeroCarta = " + sqlQuote(Text4.Text()));
        if (rs.NoMatch()) {
            // Back to the card shown, so that navigation goes on from it.
            PortaAllaCarta(app_.PosizioneCarta);
            app_.MsgBox("Errore! Riprovare...", mb::Critical, "Errore");
            return;
        }
        rs.Edit();
        rs.setField("Imparziale", false);
        rs.Update();
    } catch (const DbError& e) {
        ErroreDatabase(e);
        return;
    }
    app_.CartaImparziale = false;
    app_.MsgBox("Utente riabilitato.", mb::Information, "Messaggio");
}

}  // namespace vc
