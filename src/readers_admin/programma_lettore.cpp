#include "readers_admin/programma_lettore.h"

#include <vector>

#include "common/text.h"
#include "common/val.h"
#include "core/link/reader_link.h"
#include "core/main/frm_wait.h"
#include "readers_admin/frm_conf_lettori.h"
#include "readers_admin/linea_libera.h"

namespace vc {

namespace {

// After a reset the reader answers to this plant code until it is given its own.
constexpr const char* CodiceAzzerato = "000000";
constexpr int AttesaRiavvioMs = 100000;
constexpr int PausaTraComandiMs = 100;

class Programmazione {
public:
    Programmazione(App& app, FrmConfLettori& w)
        : app_(app),
          w_(w),
          aa_(Pad(CInt(Val(w.Text10.Text())), 2)),
          codice_(w.Text4.Text()),
          p8_(aa_ + codice_),
          fasce_(ComandiFasce()),
          parametri_(4 + static_cast<int>(fasce_.size())) {}

    void esegui(bool resetta) {
        app_.Linea.LoopCorrente = CInt(Val(w_.Text9.Text()));
        if (resetta && !Resetta()) return;
        if (!Invia(ComandoCodice(resetta)) || !Invia(ComandoOpzioni()) || !Invia(ComandoOrologio()) ||
            !Invia(ComandoPosizioni()))
            return;
        for (const std::string& fascia : fasce_)
            if (!Invia(fascia)) return;
        Chiudi();
        app_.MsgBox("Programmazione effettuata.", mb::Information, "Messaggio");
    }

private:
    // The reset reply carries its status at character 2. Any valid reply but a transfer error
    // means the reader restarts; it is polled with the cleared code until it answers.
    bool Resetta() {
        corsa_.avanzamento("Reset del lettore");
        std::string testo = "W" + aa_ + "00";
        const std::string risposta = invia_comando(app_, testo);
        if (risposta.empty()) return Fallisci("Periferica non connessa.", mb::Exclamation);
        if (Mid(risposta, 2, 1) == "D") return Fallisci("Errore nel trasferimento dati.", mb::Exclamation);
        resettato_ = true;
        const std::int64_t inizio = app_.sys.clock.monotonicMs();
        const Deadline limite(app_.sys.clock, AttesaRiavvioMs);
        std::string riavvio;
        do {
            app_.sys.loop.doEvents();
            if (corsa_.fermata()) return Interrompi();
            corsa_.avanzamento("Attesa del riavvio del lettore: " +
                               Num((app_.sys.clock.monotonicMs() - inizio) / 1000) + " s su " +
                               Num(AttesaRiavvioMs / 1000));
            std::string poll = aa_ + CodiceAzzerato + "D";
            riavvio = invia_comando(app_, poll);
        } while (riavvio.empty() && !limite.expired());
        if (riavvio.empty()) return Fallisci("Il lettore non risponde.", mb::Exclamation);
        return true;
    }

    std::string ComandoCodice(bool resettato) const {
        // Twice the opening time, in 16-bit arithmetic, as 2 digits.
        const auto tt = static_cast<std::int16_t>(CInt(Val(w_.Text5.Text())) * 2);
        return aa_ + (resettato ? CodiceAzzerato : codice_) + "A" + codice_ + "000" + Pad(tt, 2) +
               (app_.imp.FlagQuattroCifre ? "" : "00");
    }

    std::string ComandoOpzioni() const {
        const std::string tipo = w_.Text2.Text();
        const bool famigliaKova = tipo == "KOVA KV-M1" || tipo == "KOVA KV-P";
        return p8_ + "N" + Pad(app_.imp.RitardoRisposta, 2) + (famigliaKova ? "0" : "1") +
               (w_.Check1.checked() ? "0" : "1") + (w_.Check3.checked() ? "1" : "0") +
               (w_.Check2.checked() ? "1" : "0");
    }

    // The minute comes first; taken when the frame is built.
    std::string ComandoOrologio() const {
        const DateTime t = app_.sys.clock.now();
        return p8_ + "T" + Pad(t.minute, 2) + Pad(t.hour, 2) + Pad(t.day, 2) + Pad(t.month, 2) + Pad(t.year % 100, 2);
    }

    // Each position p as the byte 128 + p: the card digits (3 or 4), then the six code characters.
    std::string ComandoPosizioni() const {
        auto byte = [](const TextBox& t) {
            return static_cast<char>(static_cast<unsigned char>(128 + CInt(Val(t.Text()))));
        };
        std::string testo = p8_ + "P";
        const int cifre = app_.imp.FlagQuattroCifre ? 4 : 3;
        for (int i = 0; i < cifre; ++i) testo += byte(w_.Text7[i]);
        for (int i = 0; i < 6; ++i) testo += byte(w_.Text8[i]);
        return testo;
    }

    // Only with "Fasce orarie" checked, and only the bands in use.
    std::vector<std::string> ComandiFasce() const {
        std::vector<std::string> comandi;
        if (!w_.Check3.checked()) return comandi;
        const Impostazioni& imp = app_.imp;
        const struct {
            bool attiva;
            const std::string& da;
            const std::string& a;
        } fasce[] = {{imp.FasciaAttiva1, imp.OrarioInizio1, imp.OrarioFine1},
                     {imp.FasciaAttiva2, imp.OrarioInizio2, imp.OrarioFine2},
                     {imp.FasciaAttiva3, imp.OrarioInizio3, imp.OrarioFine3}};
        for (int k = 0; k < 3; ++k) {
            const auto& f = fasce[k];
            if (f.attiva)
                comandi.push_back(p8_ + "F" + Num(k + 1) + Mid(f.da, 1, 2) + Mid(f.da, 4, 2) + Mid(f.a, 1, 2) +
                                  Mid(f.a, 4, 2));
        }
        return comandi;
    }

    bool Invia(std::string testo) {
        if (corsa_.fermata()) return Interrompi();
        corsa_.avanzamento("Invio dei parametri: comando " + Num(accettati_ + 1) + " di " + Num(parametri_));
        app_.sys.clock.sleep(PausaTraComandiMs);
        const std::string risposta = invia_comando(app_, testo);
        if (risposta.empty()) return Fallisci("Periferica non connessa.", mb::Exclamation);
        switch (StatoRisposta(risposta)) {
            case 'S': ++accettati_; return true;
            case 'D': return Fallisci("Errore nel trasferimento dati.", mb::Exclamation);
            case 'C': return Fallisci("Errore nel codice applicazione.", mb::Exclamation);
            default: return Fallisci("Risposta sconosciuta.", mb::Critical);
        }
    }

    // The wait window goes and the readers window comes to the front before any closing message.
    void Chiudi() {
        corsa_.chiudi();
        w_.Show();
    }

    bool Fallisci(const char* testo, int icona) {
        Chiudi();
        app_.MsgBox(testo, icona, "Attenzione");
        return false;
    }

    // What the reader took before the stop; the rest was not sent.
    bool Interrompi() {
        Chiudi();
        app_.MsgBox("Programmazione interrotta." + app_.CrLf +
                        (resettato_ ? "Il lettore è stato resettato." + app_.CrLf : std::string()) +
                        "Parametri accettati dal lettore: " + Num(accettati_) + " su " + Num(parametri_) +
                        "; gli altri non sono stati inviati.",
                    mb::Information, "Messaggio");
        return false;
    }

    App& app_;
    FrmConfLettori& w_;
    const std::string aa_, codice_, p8_;
    const std::vector<std::string> fasce_;  // the band commands to send
    const int parametri_;                   // the frames after the reset
    CorsaInterrompibile corsa_{app_};
    bool resettato_ = false;  // the reader accepted the reset
    int accettati_ = 0;       // frames after the reset the reader accepted
};

}  // namespace

void programma_lettore(App& app) {
    if (!LineaLibera(app)) return;
    auto& w = app.form<FrmConfLettori>();
    const int risposta = app.MsgBox("Vuoi resettare il lettore ?", mb::Question | mb::YesNoCancel, "Domanda");
    if (risposta == mb::Cancel) return;
    Programmazione(app, w).esegui(risposta == mb::Yes);
}

}  // namespace vc
