#include "readers_admin/frm_down_load.h"

#include "common/text.h"
#include "common/val.h"
#include "core/link/reader_link.h"
#include "readers_admin/comandi_lettore.h"

namespace vc {

namespace {

// The reader sends no year: a transit dated later than now (month and day, then hour and
// minute, compared as two-digit texts) was stored last year.
int AnnoDelTransito(const DateTime& adesso, const std::string& mese, const std::string& giorno,
                    const std::string& ora, const std::string& minuto) {
    const std::string data = mese + "/" + giorno, oggi = Pad(adesso.month, 2) + "/" + Pad(adesso.day, 2);
    const std::string orario = ora + ":" + minuto, orarioAdesso = Pad(adesso.hour, 2) + ":" + Pad(adesso.minute, 2);
    const bool annoScorso = data > oggi || (data == oggi && orario > orarioAdesso);
    return annoScorso ? adesso.year - 1 : adesso.year;
}

}  // namespace

FrmDownLoad::FrmDownLoad(App& app) : Form(app, kName), app_(app) {
    Disponi();
    Option1.Click = [this] { Option1_Click(); };
    Option2.Click = [this] { Option2_Click(); };
    Command1.Click = [this] { Command1_Click(); };
    Command2.Click = [this] { Command2_Click(); };
}

void FrmDownLoad::Disponi() {
    setCaption("Varcanto - downLoad");
    geometry = {0, 0, 460, 300};
    Frame1.setCaption("Opzioni");
    Frame1.place(10, 10, 440, 130);
    Option1.setCaption("Singolo lettore");
    Option1.place(12, 24, 200, 22);
    Option2.setCaption("Tutti i lettori");
    Option2.place(226, 24, 200, 22);
    Combo1.place(12, 60, 414, 24);
    Label1.place(10, 152, 440, 22);
    Label2.place(10, 180, 440, 22);
    Command1.setCaption("Ok");
    Command1.isDefault = true;
    Command1.place(70, 226, 140, 40);
    Command2.setCaption("Annulla");
    Command2.place(250, 226, 140, 40);
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
    Label2.setCaption(app_.control<CheckBox>("FrmProgSetup", "Check2").checked()
                          ? "Cancello la memoria dopo il download"
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
    app_.form("FrmWait").Show();
    // The memory is erased only once every chosen reader has been emptied into the table.
    int fallito = Sonda(*lettori);
    if (fallito < 0) fallito = Raccogli(*lettori);
    if (fallito < 0) fallito = CancellaMemorie(*lettori);
    app_.form("FrmWait").Unload();
    if (fallito >= 0) {
        app_.MsgBox("Errore di comunicazione.", mb::Exclamation,
                    "Lettore " + Num(fallito + 1) + " situato presso " +
                        Trim(app_.Lettori[static_cast<std::size_t>(fallito)].SituatoPresso));
        return;
    }
    app_.MsgBox("Operazione completata.", mb::Information, "Messaggio");
    Command2_Click();  // closes the window and brings the other-options window back
}

void FrmDownLoad::Command2_Click() {
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
    for (int i : lettori)
        if (!RispostaAccettata(InviaAlLettore(app_, app_.Lettori[static_cast<std::size_t>(i)], "Q"))) return i;
    return -1;
}

int FrmDownLoad::Raccogli(const std::vector<int>& lettori) {
    for (int i : lettori) {
        Data1.Refresh();
        for (;;) {
            app_.sys.clock.sleep(10);
            const std::string risposta = InviaAlLettore(app_, app_.Lettori[static_cast<std::size_t>(i)], "S");
            const char stato = StatoRisposta(risposta);
            if (stato == 'F') break;
            if (stato != 'Z') return i;
            Memorizza(i, risposta);
        }
    }
    return -1;
}

int FrmDownLoad::CancellaMemorie(const std::vector<int>& lettori) {
    if (!app_.control<CheckBox>("FrmProgSetup", "Check2").checked()) return -1;
    for (int i : lettori)
        if (!RispostaAccettata(InviaAlLettore(app_, app_.Lettori[static_cast<std::size_t>(i)], "E01"))) return i;
    return -1;
}

// Positions count from the SOH: 1-4 are the framing, the address echo and the status.
void FrmDownLoad::Memorizza(int lettore, const std::string& r) {
    const bool quattroCifre = app_.imp.FlagQuattroCifre;
    const std::string carta = quattroCifre ? Mid(r, 5, 4) : "0" + Mid(r, 5, 3);
    const std::size_t p = quattroCifre ? 9 : 8;
    const std::string ora = Mid(r, p, 2), minuto = Mid(r, p + 2, 2), giorno = Mid(r, p + 4, 2),
                      mese = Mid(r, p + 6, 2);
    Recordset& storico = *Data1.recordset();
    storico.AddNew();
    storico.setField("NumeroCarta", carta);
    const auto [cognome, nome] = Intestatario(carta);
    storico.setField("Cognome", cognome);
    storico.setField("Nome", nome);
    storico.setField("NumeroLettore", Num(lettore + 1));
    storico.setField("SituatoPresso", Trim(app_.Lettori[static_cast<std::size_t>(lettore)].SituatoPresso));
    const int anno = AnnoDelTransito(app_.sys.clock.now(), mese, giorno, ora, minuto);
    storico.setField("Data", giorno + "/" + mese + "/" + Pad(anno, 4));
    storico.setField("Ora", ora + ":" + minuto);
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

}  // namespace vc
