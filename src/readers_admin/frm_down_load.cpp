#include "readers_admin/frm_down_load.h"

#include "common/carte.h"
#include "common/text.h"
#include "common/val.h"
#include "core/link/reader_link.h"
#include "core/main/frm_wait.h"
#include "core/settings/frm_prog_setup.h"
#include "platform/layout.h"
#include "readers_admin/comandi_lettore.h"
#include "readers_admin/transito_scaricato.h"

namespace vc {

// The run's state for as long as it lasts, however it ends: the wait window is up, the choices
// and "Ok" are locked, "Annulla" (or the close) is left, to stop the run as the wait window's does.
class FrmDownLoad::Corsa {
public:
    explicit Corsa(FrmDownLoad& f) : f_(f), attesa_(f.app_) {
        f_.corsa_ = &attesa_;
        f_.cancellati_ = 0;
        f_.scartati_.clear();
        f_.nonCancellati_.clear();
        Blocca(false);
    }
    ~Corsa() {
        f_.corsa_ = nullptr;
        Blocca(true);
    }
    Corsa(const Corsa&) = delete;
    Corsa& operator=(const Corsa&) = delete;

private:
    void Blocca(bool abilitati) {
        f_.Frame1.setEnabled(abilitati);
        f_.Command1.setEnabled(abilitati);
        f_.Command2.setEnabled(true);
    }
    FrmDownLoad& f_;
    CorsaInterrompibile attesa_;
};

FrmDownLoad::FrmDownLoad(App& app) : Form(app, kName), app_(app) {
    Disponi();
    wire(*this, {
        {Option1.Click, &FrmDownLoad::Option1_Click},
        {Option2.Click, &FrmDownLoad::Option2_Click},
        {Command1.Click, &FrmDownLoad::Command1_Click},
        {Command2.Click, &FrmDownLoad::Command2_Click},
    });
}

void FrmDownLoad::Disponi() {
    setCaption("Varcanto - downLoad");
    geometry = {0, 0, 460, 300};
    layOut({
        {Frame1, "Opzioni", {10, 10, 440, 130}},
        {Option1, "Singolo lettore", {12, 24, 200, 22}},
        {Option2, "Tutti i lettori", {226, 24, 200, 22}},
        {Combo1, {12, 60, 414, 24}},
        {Label1, {10, 152, 440, 22}},
        {Label2, {10, 180, 440, 22}},
        {Command1, "Ok", {70, 226, 140, 40}, defaultButton},
        {Command2, "Annulla", {250, 226, 140, 40}},
    });
    Data1.setVisible(false);
    Data2.setVisible(false);
}

void FrmDownLoad::Form_Load() {
    Option2.setValue(true);
    for (int i = 0; i < app_.NumeroLettori; ++i)
        Combo1.AddItem("Lettore " + Num(i + 1) + " - situato presso : " +
                       app_.Lettori[static_cast<std::size_t>(i)].SituatoPresso);
    Combo1.setEnabled(false);
    Label1.setCaption("Numero lettori : " + Num(app_.NumeroLettori));
    Label2.setCaption(CancellaDopoScarico(app_) ? "Cancello la memoria dopo il download"
                                                : "Non cancello la memoria dopo il download");
}

void FrmDownLoad::Option1_Click() { Combo1.setEnabled(Option1.Value()); }
void FrmDownLoad::Option2_Click() { Combo1.setEnabled(!Option2.Value()); }

void FrmDownLoad::Command1_Click() {
    for (auto [data, tabella] : {std::pair{&Data1, "Storico"}, std::pair{&Data2, "Carte"}}) {
        data->DatabaseName = app_.file("Varcanto.mdb");
        data->RecordSource = tabella;
    }
    const auto lettori = LettoriScelti();
    if (!lettori) return;
    int esito = Completata;
    try {
        esito = Scarica(*lettori);
    } catch (const DbError& e) {
        // As at a reader's failure: the rows stored so far stay, nothing is erased, and the
        // window stays until "Annulla".
        AvvisaScartati();
        app_.MsgBox(std::string("Errore del database: ") + e.what(), mb::Critical, "Errore");
        return;
    }
    AvvisaScartati();
    if (esito == Interrotta) {
        AvvisaInterruzione(lettori->size());
        return Chiudi();
    }
    if (esito >= 0) {
        app_.MsgBox("Errore di comunicazione.", mb::Exclamation,
                    "Lettore " + Num(esito + 1) + " situato presso " +
                        Trim(app_.Lettori[static_cast<std::size_t>(esito)].SituatoPresso));
        return;
    }
    app_.MsgBox(TestoCompletata(), mb::Information, "Messaggio");
    Chiudi();
}

// The memory is erased only once every chosen reader has been emptied into the table.
int FrmDownLoad::Scarica(const std::vector<int>& lettori) {
    Corsa corsa(*this);
    int esito = Sonda(lettori);
    if (esito == Completata) esito = Raccogli(lettori);
    if (esito == Completata) esito = CancellaMemorie(lettori);
    return esito;
}

// During a run the stop is taken at the next exchange; the run then says so and closes.
void FrmDownLoad::Command2_Click() {
    if (corsa_) {
        corsa_->ferma();
        Command2.setEnabled(false);
        return;
    }
    Chiudi();
}

void FrmDownLoad::Chiudi() {
    Unload();
    Form& opzioni = app_.form("FrmFunzAgg");
    opzioni.setEnabled(true);
    opzioni.Show();
}

std::optional<std::vector<int>> FrmDownLoad::LettoriScelti() {
    double scelto = 0;
    if (Option1.Value()) {
        if (Combo1.Text().empty()) {
            app_.MsgBox("Scegliere il lettore.", mb::Exclamation, "Errore");
            return std::nullopt;
        }
        scelto = Val(Mid(Combo1.Text(), 9));  // the text after "Lettore "
        if (scelto < 1 || scelto > app_.NumeroLettori) {
            app_.MsgBox("Il lettore impostato non esiste.", mb::Exclamation, "Errore");
            return std::nullopt;
        }
    }
    std::vector<int> lettori;
    for (int i = 0; i < app_.NumeroLettori; ++i)
        if (Option2.Value() || (Option1.Value() && i == scelto - 1)) lettori.push_back(i);
    return lettori;
}

int FrmDownLoad::Sonda(const std::vector<int>& lettori) {
    for (int i : lettori) {
        if (corsa_->fermata()) return Interrotta;
        if (!RispostaAccettata(InviaAlLettore(app_, app_.Lettori[static_cast<std::size_t>(i)], "Q"))) return i;
    }
    return Completata;
}

int FrmDownLoad::Raccogli(const std::vector<int>& lettori) {
    const bool quattroCifre = app_.imp.FlagQuattroCifre;
    for (int i : lettori) {
        Data1.Refresh();
        for (;;) {
            if (corsa_->fermata()) return Interrotta;
            app_.sys.clock.sleep(10);
            const std::string risposta = InviaAlLettore(app_, app_.Lettori[static_cast<std::size_t>(i)], "S");
            const char stato = StatoRisposta(risposta);
            if (stato == 'F') break;
            if (stato != 'Z') return i;
            if (const auto transito = LeggiTransito(risposta, quattroCifre, app_.sys.clock.now()))
                Memorizza(i, *transito);
            else
                ++scartati_[i];
        }
    }
    return Completata;
}

int FrmDownLoad::CancellaMemorie(const std::vector<int>& lettori) {
    if (!CancellaDopoScarico(app_)) return Completata;
    for (int i : lettori) {
        if (corsa_->fermata()) return Interrotta;
        // The records left out are still in the reader's memory, and only there.
        if (scartati_.count(i)) {
            nonCancellati_.push_back(i);
            continue;
        }
        if (!RispostaAccettata(InviaAlLettore(app_, app_.Lettori[static_cast<std::size_t>(i)], "E01"))) return i;
        ++cancellati_;
    }
    return Completata;
}

void FrmDownLoad::Memorizza(int lettore, const TransitoScaricato& t) {
    Recordset& storico = *Data1.recordset();
    storico.AddNew();
    storico.setField("NumeroCarta", t.carta);
    const auto [cognome, nome] = Intestatario(t.carta);
    storico.setField("Cognome", cognome);
    storico.setField("Nome", nome);
    storico.setField("NumeroLettore", Num(lettore + 1));
    storico.setField("SituatoPresso", Trim(app_.Lettori[static_cast<std::size_t>(lettore)].SituatoPresso));
    storico.setField("Data", t.giorno + "/" + t.mese + "/" + Pad(t.anno, 4));
    storico.setField("Ora", t.ora + ":" + t.minuto);
    storico.Update();
}

std::pair<std::string, std::string> FrmDownLoad::Intestatario(const std::string& numeroCarta) {
    Data2.Refresh();
    Recordset& carte = *Data2.recordset();
    if (carte.EOF_()) return {"", ""};
    carte.FindFirst("NumeroCarta = " + sqlQuote(numeroCarta));
    if (carte.NoMatch()) return {"", ""};
    return {carte.field("Cognome").str(), carte.field("Nome").str()};
}

// One line per reader that sent records that were not whole, with how many were left out.
void FrmDownLoad::AvvisaScartati() {
    if (scartati_.empty()) return;
    std::string testo = "Alcuni transiti ricevuti non erano validi e non sono stati memorizzati:";
    for (auto [i, quanti] : scartati_)
        testo += app_.CrLf + "Lettore " + Num(i + 1) + " situato presso " +
                 Trim(app_.Lettori[static_cast<std::size_t>(i)].SituatoPresso) + ": " + Num(quanti) +
                 " record scartati";
    app_.MsgBox(testo, mb::Exclamation, "Attenzione");
}

std::string FrmDownLoad::TestoCompletata() const {
    std::string testo = "Operazione completata.";
    if (nonCancellati_.empty()) return testo;
    std::string elenco;
    for (int i : nonCancellati_) elenco += (elenco.empty() ? "" : ", ") + Num(i + 1);
    return testo + app_.CrLf + "La memoria dei lettori con record scartati non è stata cancellata (lettori " +
           elenco + ").";
}

void FrmDownLoad::AvvisaInterruzione(std::size_t scelti) {
    std::string testo = "Download interrotto. I transiti già scaricati sono stati memorizzati; ";
    if (cancellati_ == 0)
        testo += "la memoria dei lettori non è stata cancellata.";
    else
        testo += "lettori con la memoria cancellata: " + Num(cancellati_) + " su " + Num(scelti) + ".";
    app_.MsgBox(testo, mb::Information, "Messaggio");
}

}  // namespace vc
