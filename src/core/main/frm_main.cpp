#include "core/main/frm_main.h"

#include <filesystem>

#include "common/text.h"
#include "core/access/polling.h"
#include "core/link/reader_link.h"
#include "core/log/transit_log.h"
#include "core/main/frm_wait.h"
#include "core/main/sblocco_tastiera.h"
#include "core/readers/carica_lettori.h"
#include "core/schedule/imparziale.h"
#include "core/schedule/uscite_temporizzate.h"
#include "core/settings/settings_file.h"
#include "platform/layout.h"
#include "platform/profile.h"
#include "platform/safe_file.h"

namespace vc {

namespace {
constexpr int VersioneMaggiore = 1, VersioneMinore = 0;

std::string fotogramma(int i) { return "polling/" + std::to_string(i); }
std::string uscita(int i) { return "output/" + std::to_string(i); }
}  // namespace

FrmMain::FrmMain(App& app) : Form(app, kName), app_(app) {
    geometry = {0, 0, 640, 440};
    setCaption("Varcanto");
    layOut({
        {Label7, "Varcanto", {20, 8, 600, 44}},
        {Command1, "   Abilitazione  carte", {20, 70, 190, 44}},
        {Command2, "Impostazioni", {20, 124, 190, 44}},
        {Command3, " Configurazione  lettori", {20, 178, 190, 44}},
        {Command7, "Altre opzioni", {20, 232, 190, 44}},
        {Command5, "Uscita dal programma", {20, 376, 190, 44}},
        {Command8, {230, 376, 120, 44}},
        {Command4, "Polling", {230, 70, 120, 100}},
        {Label1, {358, 70, 22, 100}},
        {Command6, "Output automatico", {230, 186, 120, 100}},
        {Label2, {358, 186, 22, 100}},
        {Frame1, "On Line", {396, 62, 224, 130}},
        {Label3, {10, 24, 204, 96}},
        {Frame2, "AntiPass-Back", {396, 200, 224, 72}},
        {Label4, {10, 24, 204, 38}},
        {Shape1, {396, 284, 104, 32}},
        {Shape2, {516, 284, 104, 32}},
        {Label8, {230, 330, 390, 28}},
        {Label9, {20, 290, 360, 36}},
    });
    Label7.fontSize = 22;
    Label7.bold = true;
    Label7.alignment = 2;
    Command8.setVisible(false);  // a spare button that does nothing
    Label1.opaque = true;
    Label2.opaque = true;
    Label4.fontSize = 16;
    Label4.bold = true;
    Label4.alignment = 2;
    Label9.setForeColor(colour::Red);
    Label9.bold = true;
    Label9.setVisible(false);

    for (int i = 0; i < Image1.size(); ++i) {
        Image1[i].Picture = fotogramma(i);
        Image1[i].setVisible(false);
    }
    for (int i = 0; i < Image2.size(); ++i) {
        Image2[i].Picture = uscita(i);
        Image2[i].setVisible(false);
    }
    for (Data* d : {&Data1, &Data2, &Data3}) d->setVisible(false);
    Report1.setVisible(false);
    for (Timer* t : {&Timer1, &Timer2, &Timer3, &Timer4}) t->setEnabled(false);

    wire(*this, {
        {Command1.Click, &FrmMain::Command1_Click},
        {Command2.Click, &FrmMain::Command2_Click},
        {Command3.Click, &FrmMain::Command3_Click},
        {Command7.Click, &FrmMain::Command7_Click},
        {Command4.Click, &FrmMain::Command4_Click},
        {Command6.Click, &FrmMain::Command6_Click},
        {Command5.Click, &FrmMain::Command5_Click},
        {Timer1.TimerEvent, &FrmMain::Timer1_Timer},
    });
    Command8.Click = [] {};
    Timer2.TimerEvent = [this] { UsciteTemporizzate(app_); };
    Timer3.TimerEvent = [this] { ImparzialeAdOrario(app_); };
    Timer4.TimerEvent = [this] { RiprovaSospesi(app_); };
}

// Start-up: from the serial port on, a step that fails is skipped and the next one runs.
void FrmMain::Form_Load() {
    app_.CrLf = "\r\n";
    setCaption("Varcanto  - Versione " + Num(VersioneMaggiore) + "." + Num(VersioneMinore) + " - VT003");
    const std::string db = app_.file("Varcanto.mdb");
    const std::pair<Data*, const char*> tabelle[] = {{&Data1, "presenti"}, {&Data2, "transiti"}, {&Data3, "Carte"}};
    std::string errore;
    for (auto [data, tabella] : tabelle) {
        data->DatabaseName = db;
        data->RecordSource = tabella;
        if (std::string e; !data->tryRefresh(&e) && errore.empty()) errore = e;
    }
    if (Data1.bound()) IndicizzaPresenti(Data1.database());
    // Without its database the station cannot log a transit: say so before anything else.
    if (!errore.empty())
        app_.MsgBox("Impossibile aprire il database " + db + ": " + errore, mb::Critical, "Errore");
    app_.PercorsoDbReport = app_.file("RepVarcanto.mdb");
    app_.PercorsoDb = db;
    LeggiImpostazioniAllAvvio();

    auto passo = [](auto&& f) {
        try {
            f();
        } catch (const std::exception&) {
        }
    };
    passo([this] { ApriPortaSeriale(); });
    app_.PollingAttivo = false;
    app_.OutputAutomatico = false;
    // What the last run decided and could not write goes first, and counts among those inside.
    passo([this] { RiprovaSospesi(app_, Database::DefaultBusyMs); });
    passo([this] { RiallineaPresenti(app_); });
    Label4.setCaption(Num(app_.imp.UtentiPresenti));
    Label1.setBackColor(colour::Red);
    Label2.setBackColor(colour::Red);
    app_.FotogrammaPolling = 0;
    app_.LettoreCorrente = 1;
    Command4.setPicture(Image1[0].Picture);
    Command6.setPicture(Image2[0].Picture);
    Timer1.setEnabled(false);
    Timer2.setEnabled(false);
    Timer3.setEnabled(false);
    passo([this] { CaricaLettori(app_); });
    Timer2.setInterval(10000);
    Timer3.setInterval(60000);
    Timer1.setInterval(IntervalloPolling(app_.imp.TempoPolling, app_.NumeroLettori));
    if (app_.imp.FlagImparziale) passo([this] { EseguiImparziale(app_); });
    Timer3.setEnabled(true);
    Timer4.setEnabled(true);
    passo([this] { CopiaDatabaseReport(); });
}

// A settings file that cannot be read gives every setting its default, as a missing one does;
// the operator is told which file and why before the defaults take effect.
void FrmMain::LeggiImpostazioniAllAvvio() {
    const std::string file = app_.file("Accessi.ini");
    if (const std::optional<std::string> motivo = profile::problem(file))
        app_.MsgBox("Impossibile leggere il file delle impostazioni " + file + ": " + *motivo +
                        ". Il programma parte con le impostazioni predefinite.",
                    mb::Critical, "Attenzione");
    LeggiImpostazioni(file, app_.imp, true, [this] { app_.sys.loop.doEvents(); });
}

void FrmMain::ApriPortaSeriale() {
    SerialLine& linea = app_.sys.serial;
    if (linea.isOpen()) linea.close();
    try {
        linea.open(app_.imp.PortaSeriale);
    } catch (const std::exception&) {
        app_.MsgBox("Porta seriale " + Num(app_.imp.PortaSeriale) + " non funzionante.", mb::Critical,
                    "Attenzione");
    }
}

// The report database starts every run as a fresh copy of its template. A missing template
// leaves it as it was; one that cannot be read is reported and leaves it as it was too.
void FrmMain::CopiaDatabaseReport() {
    namespace fs = std::filesystem;
    const std::string modello = app_.PercorsoDbReport + ".schema";
    const safe_file::ReadResult copia = safe_file::read(modello);
    if (copia.status == safe_file::ReadResult::Status::Unusable)
        app_.MsgBox(safe_file::unreadable(modello, copia.why), mb::Critical, "Attenzione");
    if (copia.status != safe_file::ReadResult::Status::Read) return;
    // A journal left by the previous run belongs to the old file: it must not be replayed on the new one.
    for (const char* resto : {"-wal", "-shm", "-journal"}) fs::remove(app_.PercorsoDbReport + resto);
    safe_file::replace(app_.PercorsoDbReport, copia.content);
}

void FrmMain::Timer1_Timer() {
    if (++app_.FotogrammaPolling > 12) app_.FotogrammaPolling = 0;
    Command4.setPicture(Image1[app_.FotogrammaPolling].Picture);
    if (!app_.PollingAttivo || app_.NumeroLettori == 0) return;
    // Another handler's exchange is waiting for its reply: this tick leaves the line to it.
    if (app_.Linea.ScambioInCorso()) return;
    if (app_.LettoreCorrente > app_.NumeroLettori) app_.LettoreCorrente = 1;
    polling_lettore(app_, app_.LettoreCorrente);
    if (++app_.LettoreCorrente > app_.NumeroLettori) app_.LettoreCorrente = 1;
}

// Settings and reader configuration are open only while polling and automatic outputs are both off.
void FrmMain::AbilitaConfigurazione() {
    const bool libero = !app_.PollingAttivo && !app_.OutputAutomatico;
    Command2.setEnabled(libero);
    Command3.setEnabled(libero);
}

void FrmMain::Command4_Click() {
    app_.PollingAttivo = !app_.PollingAttivo;
    Timer1.setEnabled(app_.PollingAttivo);
    Label1.setBackColor(app_.PollingAttivo ? colour::Green : colour::Red);
    AbilitaConfigurazione();
}

void FrmMain::Command6_Click() {
    app_.OutputAutomatico = !app_.OutputAutomatico;
    Label2.setBackColor(app_.OutputAutomatico ? colour::Green : colour::Red);
    Command6.setPicture(Image2[app_.OutputAutomatico ? 1 : 0].Picture);
    Timer2.setEnabled(app_.OutputAutomatico);
    AbilitaConfigurazione();
}

// The main window takes no click until the window asked for is up: between the password
// window's close and this handler's end a yield may come, and a second window opened there would
// leave two administration windows sharing the state meant for one.
void FrmMain::ApriConPassword(const char* finestra) {
    {
        FormBusy attesa(*this);
        app_.form("FrmChkPassw").ShowModal();
    }
    if (!app_.AccessoConsentito) return;
    Hide();
    app_.form(finestra).Show();
}

void FrmMain::Command1_Click() { ApriConPassword("FrmCardsAbil"); }
void FrmMain::Command2_Click() { ApriConPassword("FrmProgSetup"); }
void FrmMain::Command3_Click() { ApriConPassword("FrmConfLettori"); }
void FrmMain::Command7_Click() { ApriConPassword("FrmFunzAgg"); }

void FrmMain::Command5_Click() { app_.End(); }

void FrmMain::Settaggio_output_lettore(std::int16_t scom) { vc::Settaggio_output_lettore(app_, scom); }

void FrmMain::Form_KeyDown(int keyCode, int) {
    if (keyCode == key::F1) SbloccoDaTastiera(app_);
}

void FrmMain::Form_KeyPress(int& keyAscii) {
    if (keyAscii == 'A' || keyAscii == 'a') SbloccoDaTastiera(app_);
}

void FrmMain::Form_QueryClose() { app_.End(); }

}  // namespace vc
