#include "readers_admin/frm_util_tessaro.h"

#include <filesystem>
#include <sstream>

#include "common/archivio_carte.h"
#include "common/text.h"
#include "common/val.h"
#include "core/link/reader_link.h"
#include "core/settings/frm_prog_setup.h"
#include "platform/layout.h"
#include "platform/safe_file.h"
#include "readers_admin/frm_conf_lettori.h"
#include "readers_admin/linea_libera.h"

namespace vc {

namespace {

// Record numbers have 3 digits.
constexpr int MassimoRecord = 1000;
constexpr int AttesaPollMs = 500;
constexpr int PausaCartaMs = 1000;

enum class Esito { Letto, Mancante, Illeggibile };

struct Archivio {
    Esito esito = Esito::Letto;
    std::vector<std::string> record;
    std::vector<std::size_t> righeStrane;  // lines that hold no record, skipped
    std::string motivo;                    // why it cannot be read, when Illeggibile
};

// Every record of an archive, yielding to window events before each. Blank lines are skipped
// silently, other lines that hold no record are noted: one odd line must not cost the good ones.
Archivio LeggiArchivio(App& app, const std::string& percorso) {
    const safe_file::ReadResult file = safe_file::read(percorso);
    if (file.status == safe_file::ReadResult::Status::Missing) return {Esito::Mancante, {}, {}, {}};
    if (file.status == safe_file::ReadResult::Status::Unusable) return {Esito::Illeggibile, {}, {}, file.why};
    std::istringstream f(file.content);
    Archivio a;
    std::string riga;
    for (std::size_t n = 1;; ++n) {
        app.sys.loop.doEvents();
        if (!std::getline(f, riga)) break;
        if (!riga.empty() && riga.back() == '\r') riga.pop_back();
        if (Trim(riga).empty()) continue;
        if (auto record = RecordArchivio(riga))
            a.record.push_back(std::move(*record));
        else
            a.righeStrane.push_back(n);
    }
    return a;
}

std::string ElencoRighe(const std::vector<std::size_t>& righe) {
    constexpr std::size_t Elencate = 10;
    std::string elenco;
    for (std::size_t i = 0; i < righe.size() && i < Elencate; ++i)
        elenco += (i ? ", " : "") + Num(static_cast<std::int64_t>(righe[i]));
    if (righe.size() > Elencate) elenco += " e altre " + Num(static_cast<std::int64_t>(righe.size() - Elencate));
    return elenco;
}

// The archive's last byte; nothing when it is empty.
std::optional<char> UltimoCarattere(const std::string& percorso) {
    const std::string testo = safe_file::read(percorso).content;
    if (testo.empty()) return std::nullopt;
    return testo.back();
}

bool AggiungiRecord(const std::string& percorso, const std::string& record) {
    return safe_file::append(percorso, RigaDaAccodare(UltimoCarattere(percorso), record));
}

}  // namespace

FrmUtilTessaro::FrmUtilTessaro(App& app) : Form(app, kName), app_(app) {
    Disponi();
    wire(*this, {
        {Command1.Click, &FrmUtilTessaro::Command1_Click},
        {Command2.Click, &FrmUtilTessaro::Command2_Click},
        {Command3.Click, &FrmUtilTessaro::Command3_Click},
        {Command4.Click, &FrmUtilTessaro::Command4_Click},
    });
}

// The building prompt and its stop button take the place of the idle buttons; the progress bar
// takes that of the back button while loading.
void FrmUtilTessaro::Disponi() {
    setCaption("Varcanto - utilities tessaro");
    geometry = {0, 0, 460, 190};
    layOut({
        {Command1, "Creazione file di archivio carte", {30, 20, 400, 40}},
        {Command2, "Programmazione carte per Tessaro", {30, 70, 400, 40}},
        {Command3, "Ritorna alla pagina Gestione Lettori", {30, 120, 400, 40}},
        {ProgressBar1, {30, 128, 400, 24}},
        {Label1, {30, 16, 400, 30}},
        {Label2, {30, 52, 400, 26}},
        {Command4, picture("tessaro/stop"), {200, 90, 60, 60}},
    });
    Label1.alignment = 2;
    Label1.fontSize = 14;
    Label1.bold = true;
    Label2.alignment = 2;
    Label2.fontSize = 12;
}

void FrmUtilTessaro::Form_Load() { MostraInattivo(); }

void FrmUtilTessaro::Form_QueryClose() {
    if (Enabled() && Command3.Visible()) Command3_Click();
}

void FrmUtilTessaro::MostraInattivo() {
    for (Control* c : std::initializer_list<Control*>{&Command1, &Command2, &Command3}) c->setVisible(true);
    for (Control* c : std::initializer_list<Control*>{&Command4, &Label1, &Label2, &ProgressBar1}) c->setVisible(false);
}

std::string FrmUtilTessaro::ChiediNomeFile() {
    std::string nome;
    do {
        app_.sys.loop.doEvents();
        nome = app_.InputBox("Inserisci il nome del file (senza estensione, al massimo 8 caratteri) :", "Nome file");
    } while (!ControllaNomeFile(app_, nome));
    return nome;
}

// Reads an archive; what keeps it from being used is told to the operator.
bool FrmUtilTessaro::Leggi(const std::string& percorso, std::vector<std::string>& record) {
    Archivio a = LeggiArchivio(app_, percorso);
    switch (a.esito) {
        case Esito::Letto:
            if (!a.righeStrane.empty())
                app_.MsgBox("Righe non valide nel file " + percorso + ", ignorate: " + ElencoRighe(a.righeStrane) + ".",
                            mb::Exclamation, "Attenzione");
            record = std::move(a.record);
            return true;
        case Esito::Mancante:
            app_.MsgBox("Il file non esiste.", mb::Exclamation, "Attenzione");
            return false;
        case Esito::Illeggibile:
            app_.MsgBox(safe_file::unreadable(percorso, a.motivo), mb::Critical, "Errore");
            return false;
    }
    return false;
}

// The reader shown by the readers window, its fields as they read there; its loop is selected.
std::string FrmUtilTessaro::PrefissoLettore() {
    auto& w = app_.form<FrmConfLettori>();
    app_.Linea.LoopCorrente = CInt(Val(w.Text9.Text()));
    return Right("00" + w.Text10.Text(), 2) + Right("000000" + w.Text4.Text(), 6);
}

bool FrmUtilTessaro::controllo_stringa(const std::string& codice, const std::string& percorso) {
    for (const std::string& r : LeggiArchivio(app_, percorso).record)
        if (Mid(r, 4, 6) == codice) return false;
    return true;
}

// Polls every half second until a card is read; false when the operator stops first.
bool FrmUtilTessaro::LeggiCarta(std::string& codice) {
    for (;;) {
        const Deadline attesa(app_.sys.clock, AttesaPollMs);
        while (!attesa.expired()) app_.sys.loop.yieldUntil(attesa.endMs());
        if (Interrompi) return false;
        std::string poll = PrefissoLettore() + "D";
        const std::string risposta = invia_comando_medio(app_, poll);
        // A card read without card data has nothing to register.
        if (StatoRisposta(risposta) == 'I' && risposta.size() > 10) {
            codice = risposta.substr(8, risposta.size() - 10);
            return true;
        }
    }
}

// A second to see the outcome, beeping all along when beeps are on.
void FrmUtilTessaro::Pausa() {
    const Deadline fine(app_.sys.clock, PausaCartaMs);
    while (!fine.expired()) {
        app_.sys.loop.yieldUntil(fine.endMs());
        if (app_.imp.FlagBeep) app_.sys.dialogs.beep();
    }
}

// The archive to build and its next record number; false when there is nothing to build. The
// window takes no click meanwhile: the name, the messages and the reading all yield.
bool FrmUtilTessaro::PreparaArchivio(std::string& percorso, int& prossimo) {
    FormBusy occupata(*this);
    if (!LineaLibera(app_)) return false;
    const std::string nome = ChiediNomeFile();
    if (nome.empty()) return false;
    percorso = app_.file(nome + ".txt");
    if (std::filesystem::exists(percorso)) {
        app_.MsgBox("Il file già esiste. I dati verranno messi in coda.", mb::Information, "Messaggio");
    } else if (!safe_file::append(percorso, "")) {
        app_.MsgBox("Impossibile scrivere il file " + percorso + ".", mb::Critical, "Errore");
        return false;
    }
    std::vector<std::string> record;
    if (!Leggi(percorso, record)) return false;
    prossimo = record.empty() ? 0 : static_cast<int>(Val(Left(record.back(), 3))) + 1;
    return true;
}

// While the cards are read only the prompt and its stop button show, however the run ends:
// the idle buttons would start a second run, or leave, inside this one.
class FrmUtilTessaro::Costruzione {
public:
    explicit Costruzione(FrmUtilTessaro& f) : f_(f) {
        for (Control* c : std::initializer_list<Control*>{&f.Command1, &f.Command2, &f.Command3}) c->setVisible(false);
        f.Command4.setEnabled(true);
        for (Control* c : std::initializer_list<Control*>{&f.Command4, &f.Label1, &f.Label2}) c->setVisible(true);
    }
    ~Costruzione() { f_.MostraInattivo(); }
    Costruzione(const Costruzione&) = delete;
    Costruzione& operator=(const Costruzione&) = delete;

private:
    FrmUtilTessaro& f_;
};

void FrmUtilTessaro::Command1_Click() {
    Interrompi = false;
    std::string percorso;
    int n = 0;
    if (!PreparaArchivio(percorso, n)) return;

    const Costruzione corsa(*this);
    for (;;) {
        // A 1001st record would repeat a number, and two cards would pass as one.
        if (n >= MassimoRecord) {
            app_.MsgBox("L'archivio è pieno: al massimo 1000 carte.", mb::Exclamation, "Attenzione");
            return;
        }
        Label1.setCaption("Passare la carta numero " + Num(n));
        Label2.setCaption("");
        app_.sys.loop.doEvents();
        std::string codice;
        if (!LeggiCarta(codice)) return;
        Label1.setCaption("");
        const bool valido = CodiceCartaValido(codice);
        const bool nuova = valido && controllo_stringa(codice, percorso);
        Command4.setEnabled(false);
        if (!valido) {
            Label2.setForeColor(colour::Red);
            Label2.setCaption("Codice della carta non valido: nulla è stato scritto nel file.");
        } else if (nuova) {
            if (!AggiungiRecord(percorso, Pad(n, 3) + codice)) {
                app_.MsgBox("Impossibile scrivere il file " + percorso + ".", mb::Critical, "Errore");
                return;
            }
            Label2.setForeColor(colour::Green);
            Label2.setCaption("Scrittura nel file Ok.");
            ++n;
        } else {
            Label2.setForeColor(colour::Black);
            Label2.setCaption("La carta è già in archivio.");
        }
        Pausa();
        Command4.setEnabled(true);
    }
}

// The building loop sees the request at the end of its current wait, before another poll, and
// puts the idle buttons back as it ends.
void FrmUtilTessaro::Command4_Click() {
    Command4.setEnabled(false);
    Interrompi = true;
}

void FrmUtilTessaro::Command2_Click() {
    // The name, the messages and the reading yield too: no click meanwhile.
    FormBusy occupata(*this);
    if (!LineaLibera(app_)) return;
    const std::string nome = ChiediNomeFile();
    if (nome.empty()) return;
    std::vector<std::string> record;
    if (!Leggi(app_.file(nome + ".txt"), record)) return;

    Command3.setVisible(false);
    ProgressBar1.Min = 0;
    ProgressBar1.Max = static_cast<int>(record.size());
    ProgressBar1.setValue(0);
    ProgressBar1.setVisible(true);
    app_.sys.dialogs.setBusyPointer(true);
    const std::string prefisso = PrefissoLettore();
    bool riuscito = true;
    for (std::size_t i = 0; i < record.size() && riuscito; ++i) {
        app_.sys.loop.doEvents();
        std::string testo = prefisso + "L" + record[i];
        riuscito = StatoRisposta(invia_comando(app_, testo)) == 'S';
        if (riuscito) ProgressBar1.setValue(static_cast<int>(i + 1));
    }
    app_.sys.dialogs.setBusyPointer(false);
    // Records already sent stay loaded in the reader.
    if (riuscito)
        app_.MsgBox("Programmazione effettuata.", mb::Information, "Messaggio");
    else
        app_.MsgBox("Errore di comunicazione con il Tessaro.", mb::Critical, "Errore");
    ProgressBar1.setVisible(false);
    Command3.setVisible(true);
}

void FrmUtilTessaro::Command3_Click() {
    Unload();
    auto& lettori = app_.form<FrmConfLettori>();
    lettori.setEnabled(true);
    lettori.Show();
}

}  // namespace vc
