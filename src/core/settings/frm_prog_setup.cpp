#include "core/settings/frm_prog_setup.h"

#include <cstdio>

#include "common/text.h"
#include "common/val.h"
#include "core/main/main_status.h"
#include "core/readers/carica_lettori.h"
#include "core/settings/controlli_orario.h"
#include "core/settings/settings_file.h"
#include "platform/cp1252.h"
#include "platform/layout.h"

namespace vc {

namespace {

void avviso(App& app, const std::string& testo) { app.MsgBox(testo, mb::Exclamation, "Attenzione"); }

std::string esadecimale(std::int16_t v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%X", static_cast<unsigned>(static_cast<std::uint16_t>(v)));
    return std::string(buf) + "H";
}

bool cifreEsadecimali(const std::string& t) {
    return t.find_first_not_of("0123456789ABCDEFabcdef") == std::string::npos;
}

const char* siNo(bool v) { return v ? "Si" : "No"; }

// The records of a table, counted as the window does: last record's count, 0 when empty.
long conta(Data& d) {
    d.Refresh();
    Recordset& rs = *d.recordset();
    if (rs.EOF_()) return 0;
    rs.MoveLast();
    return rs.RecordCount();
}

}  // namespace

FrmProgSetup::FrmProgSetup(App& app) : Form(app, kName), app_(app) {
    Disponi();
    wire(*this, {
        {Check4.Click, &FrmProgSetup::Check4_Click},
        {Check5.Click, &FrmProgSetup::Check5_Click},
        {Check6.Click, &FrmProgSetup::Check6_Click},
        {Check7.Click, &FrmProgSetup::Check7_Click},
        {Check8.Click, &FrmProgSetup::Check8_Click},
        {Command1.Click, &FrmProgSetup::Command1_Click},
    });
}

void FrmProgSetup::Disponi() {
    setCaption("Varcanto - settaggio del programma");
    geometry = {0, 0, 760, 570};
    layOut({
        {Frame1, "Settaggio", {10, 10, 370, 500}},
        {Label1, "Porta seriale :", {12, 24, 110, 20}},
        {Label2, {125, 24, 40, 20}},
        {Check1, " Scheda K-880", {12, 50, 130, 22}},
        {Label3, "Indirizzo :", {150, 52, 70, 20}},
        {text1, {225, 50, 60, 22}, 4},
        {Check2, " Cancellare lo storico dopo il DownLoad", {12, 78, 346, 22}},
        {Label4, "Polling (sec) :", {12, 108, 110, 20}},
        {Text2, {125, 106, 40, 22}, 2},
        {Check3, " Controlla numero di ingressi", {12, 136, 220, 22}},
        {Label8, "Quanti :", {236, 138, 56, 20}},
        {Text3, {294, 136, 62, 22}, 5},
        {Label5, "Tempo di ritardo nella risposta del lettore :", {12, 166, 300, 20}},
        {Text4, {314, 164, 42, 22}, 2},
        {Option1, " Gestisce numeri di tessera a 3 cifre", {12, 194, 346, 22}},
        {Option2, " Gestisce numeri di tessera a 4 cifre", {12, 218, 346, 22}},
        {Check4, " Imposta fasce orarie nel sistema Stand Alone", {12, 248, 346, 22}},
        {Frame2, {12, 276, 346, 212}},

        {Frame4, "Altre opzioni", {390, 10, 360, 500}},
        {Check5, " Suoneria per la modalità On Line", {12, 24, 290, 22}},
        {Image1, "setup/beep", {310, 22, 26, 26}},
        {Check6, " Imparziale per l' On Line", {12, 52, 290, 22}},
        {Image2, "setup/imparziale", {310, 50, 26, 26}},
        {Label9, "Numero di persone da scegliere per ogni turno per l'imparziale", {12, 80, 270, 36}},
        {Text7, {290, 84, 50, 22}, 4},
        {Check7, " Storico dati On Line su file", {12, 124, 290, 22}},
        {Image3, "setup/storico", {310, 122, 26, 26}},
        {Check8, " Orario per l'imparziale", {12, 152, 210, 22}},
        {Text9, {230, 152, 62, 22}, 5},
        {Label11, "Output per l'imparziale ( 0, 1 oppure 2 )", {12, 182, 270, 20}},
        {Text10, {290, 180, 30, 22}, 1},
        {Frame5, "Sblocco da tastiera", {12, 212, 336, 60}},
        {Check9, "Output 1", {12, 26, 120, 22}},
        {Check10, "Output 2", {150, 26, 120, 22}},
        {Frame6, "Nome file archivio carte tessaro", {12, 284, 336, 90}},
        {Label10, "Inserire il nome del file (senza estensione)", {12, 26, 312, 20}},
        {Text8, {12, 52, 120, 22}, 8},

        {Command1, "Ritorna alla pagina principale", {250, 522, 260, 36}},
    });
    // The three stand-alone bands, one below the other in Frame2.
    for (int i = 0; i < 3; ++i) {
        Frame3[i].setCaption("Fascia " + Num(i + 1));
        Frame3[i].place(8, 14 + i * 64, 330, 58);
        Label6[i].setCaption("Da");
        Label6[i].place(12, 26, 24, 20);
        Text5[i].MaxLength = 5;
        Text5[i].place(40, 24, 62, 22);
        Label7[i].setCaption("a");
        Label7[i].place(116, 26, 16, 20);
        Text6[i].MaxLength = 5;
        Text6[i].place(136, 24, 62, 22);
    }
    Data1.setVisible(false);
    Data2.setVisible(false);
}

void FrmProgSetup::Form_Load() {
    LeggiImpostazioni(app_.file("Accessi.ini"), app_.imp, false, [this] { app_.sys.loop.doEvents(); });
    MostraImpostazioni();
}

void FrmProgSetup::MostraImpostazioni() {
    // Copied first: the check boxes' Click handlers write some of these back as they are set.
    const Impostazioni imp = app_.imp;
    auto spunta = [](CheckBox& c, bool v) { c.setValue(v ? 1 : 0); };
    text1.setText(esadecimale(imp.IndirizzoScheda485));
    spunta(Check2, imp.FlagCancellaStorico);
    Label2.setCaption(Num(imp.PortaSeriale));
    spunta(Check1, imp.SchedaK880);
    Text2.setText(Num(imp.TempoPolling));
    Text3.setText(Num(imp.MassimoIngressi));
    spunta(Check3, imp.FlagMassimoIngressi);
    Text4.setText(Num(imp.RitardoRisposta));
    (imp.FlagQuattroCifre ? Option2 : Option1).setValue(true);
    spunta(Check4, imp.UsaFasceOrarie);
    Check4_Click();  // the frame follows the box even when its value did not change
    const std::string* inizi[] = {&imp.OrarioInizio1, &imp.OrarioInizio2, &imp.OrarioInizio3};
    const std::string* fini[] = {&imp.OrarioFine1, &imp.OrarioFine2, &imp.OrarioFine3};
    for (int i = 0; i < 3; ++i) {
        Text5[i].setText(*inizi[i]);
        Text6[i].setText(*fini[i]);
    }
    spunta(Check5, imp.FlagBeep);
    spunta(Check6, imp.FlagImparziale);
    Text7.setText(Num(imp.NumeroImparziale));
    spunta(Check7, imp.FlagStoricoEsterno);
    Text8.setText(imp.FileTessaro);
    spunta(Check8, imp.FlagScattareAdOrario);
    Text9.setText(imp.OrarioImparziale);
    spunta(Check9, imp.FlagTastieraOutput1);
    spunta(Check10, imp.FlagTastieraOutput2);
    Text10.setText(Num(imp.OutputImparziale));
    // The pictures and the lock follow their boxes even when a value did not change.
    Check5_Click();
    Check6_Click();
    Check7_Click();
    Check8_Click();
    app_.imp = imp;
}

void FrmProgSetup::Check4_Click() { Frame2.setEnabled(Check4.checked()); }

void FrmProgSetup::Check5_Click() {
    app_.imp.FlagBeep = Check5.checked();
    Image1.setVisible(Check5.checked());
}

void FrmProgSetup::Check6_Click() {
    app_.imp.FlagImparziale = Check6.checked();
    Image2.setVisible(Check6.checked());
}

void FrmProgSetup::Check7_Click() {
    app_.imp.FlagStoricoEsterno = Check7.checked();
    Image3.setVisible(Check7.checked());
}

void FrmProgSetup::Check8_Click() { Text9.setLocked(!Check8.checked()); }

bool ControllaNomeFile(App& app, const std::string& nome) {
    if (nome.empty()) return true;
    if (cp1252::fromUtf8(nome).size() > 8) {
        avviso(app, "Il nome del file deve essere al massimo di 8 caratteri.");
        return false;
    }
    if (nome.find('.') != std::string::npos) {
        avviso(app, "Il nome del file non deve contenere il carattere punto.");
        return false;
    }
    return true;
}

bool FrmProgSetup::controllo_impostazioni() {
    const std::string db = app_.file("Varcanto.mdb");
    Data1.DatabaseName = db;
    Data1.RecordSource = "Carte";
    Data2.DatabaseName = db;
    Data2.RecordSource = "Fasce";

    auto errore = [this](const std::string& testo) {
        avviso(app_, testo);
        return false;
    };
    const std::string indirizzo = cp1252::fromUtf8(text1.Text());
    if (!IsNumeric(Text2.Text()) || Val(Text2.Text()) < 1) return errore("Errore nel campo POLLING.");
    if (indirizzo.size() != 4) return errore("Errore nel campo INDIRIZZO 485.");
    if (indirizzo[3] != 'H') return errore("INDIRIZZO 485 in esadecimale.");
    if (!cifreEsadecimali(indirizzo.substr(0, 3))) return errore("Errore nel campo INDIRIZZO 485.");
    if (!IsNumeric(Text3.Text())) return errore("Errore nel campo MASSIMO NUMERO INGRESSI.");
    if (!IsNumeric(Text4.Text())) return errore("Errore nel campo MASSIMO TEMPO DI RITARDO DEL LETTORE.");
    if (Val(Text4.Text()) < 1)
        return errore("Errore nel campo MASSIMO TEMPO DI RITARDO DEL LETTORE; deve essere maggiore di zero.");
    if (!IsNumeric(Text7.Text())) return errore("Errore nel campo NUMERO DI PERSONE PER L'IMPARZIALE.");
    if (Val(Text7.Text()) < 0)
        return errore("Errore nel campo NUMERO DI PERSONE PER L'IMPARZIALE; non può essere negativo.");

    long carte = 0, fasce = 0;
    try {
        carte = conta(Data1);
        fasce = conta(Data2);
    } catch (const DbError& e) {
        // Without the counts the random-check share cannot be checked.
        if (Check6.checked()) {
            app_.MsgBox(std::string("Impossibile contare utenti e turni: ") + e.what(), mb::Critical, "Errore");
            return false;
        }
    }
    if (Check6.checked() && Val(Text7.Text()) * static_cast<double>(fasce) > static_cast<double>(carte))
        return errore(
            "Il numero di persone per l'imparziale è maggiore del numero degli utenti presenti nel database.");
    if (!IsNumeric(Text10.Text()) || Val(Text10.Text()) < 0 || Val(Text10.Text()) > 2)
        return errore("Errore nell'output per l'imparziale. Inserire un numero da 0 a 2.");

    for (auto* fila : {&Text5, &Text6})
        for (int i = 0; i < 3; ++i)
            if (!controllo_orario(app_, (*fila)[i].Text())) return errore("Errore nella fascia " + Num(i + 1) + ".");
    for (int i = 0; i < 3; ++i)
        if (!controllo_fascia(app_, Text5[i].Text(), Text6[i].Text()))
            return errore("Errore nella fascia " + Num(i + 1) + ".");
    if (!controllo_orario(app_, Text9.Text())) return errore("Errore nell'orario dell'imparziale.");
    if (Check8.checked() && Text9.Text() == OrarioNonImpostato)
        return errore("Errore nell'orario dell'imparziale. Bisogna definire l'ora.");
    return ControllaNomeFile(app_, Text8.Text());
}

void FrmProgSetup::Command1_Click() {
    if (!controllo_impostazioni()) return;
    Salva();
}

// Writes the keys one by one, each followed by its shared setting. A key that cannot be written
// stops the save with a message and leaves the window open, so nothing is lost silently.
void FrmProgSetup::Salva() {
    const std::string file = app_.file("Accessi.ini");
    Impostazioni& imp = app_.imp;
    bool scritto = true;
    auto scrivi = [&](const char* key, const std::string& valore) {
        if (scritto && !ScriviImpostazione(file, key, valore)) scritto = false;
        return scritto;
    };
    auto flag = [&](const char* key, bool v, bool& setting) {
        if (scrivi(key, siNo(v))) setting = v;
        return scritto;
    };
    auto testo = [&](const char* key, const TextBox& t, std::string& setting) {
        if (scrivi(key, t.Text())) setting = t.Text();
        return scritto;
    };

    if (scrivi("Indirizzo485", text1.Text())) imp.IndirizzoScheda485 = RegolaIndirizzo(cp1252::fromUtf8(text1.Text()));
    flag("CancellaStorico", Check2.checked(), imp.FlagCancellaStorico);
    flag("SchedaK-880", Check1.checked(), imp.SchedaK880);
    if (scrivi("Polling", Text2.Text())) {
        imp.TempoPolling = CLng(Val(Text2.Text()));
        TimerPolling(app_).setInterval(IntervalloPolling(imp.TempoPolling, app_.NumeroLettori));
    }
    if (scrivi("MassimoNumeroIngressi", Text3.Text())) imp.MassimoIngressi = CLng(Val(Text3.Text()));
    flag("FlagMassimoNumeroIngressi", Check3.checked(), imp.FlagMassimoIngressi);
    if (scrivi("Ritardo", Text4.Text())) imp.RitardoRisposta = CInt(Val(Text4.Text()));
    flag("QuattroCifre", Option2.Value(), imp.FlagQuattroCifre);
    flag("FasceOrarie", Check4.checked(), imp.UsaFasceOrarie);
    flag("Beep", Check5.checked(), imp.FlagBeep);
    flag("Imparziale", Check6.checked(), imp.FlagImparziale);
    if (scrivi("NumeroImparziale", Text7.Text())) imp.NumeroImparziale = CInt(Val(Text7.Text()));
    flag("StoricoEsterno", Check7.checked(), imp.FlagStoricoEsterno);
    testo("FileTessaro", Text8, imp.FileTessaro);
    if (flag("ScattareAdOrario", Check8.checked(), imp.FlagScattareAdOrario)) Text9.setLocked(!Check8.checked());
    testo("OraImparziale", Text9, imp.OrarioImparziale);
    flag("TastieraOutput1", Check9.checked(), imp.FlagTastieraOutput1);
    flag("TastieraOutput2", Check10.checked(), imp.FlagTastieraOutput2);
    if (scrivi("AttivaOutput", Text10.Text())) imp.OutputImparziale = CInt(Val(Text10.Text()));
    testo("OrarioIniziale1", Text5[0], imp.OrarioInizio1);
    testo("OrarioIniziale2", Text5[1], imp.OrarioInizio2);
    testo("OrarioIniziale3", Text5[2], imp.OrarioInizio3);
    testo("OrarioFinale1", Text6[0], imp.OrarioFine1);
    testo("OrarioFinale2", Text6[1], imp.OrarioFine2);
    testo("OrarioFinale3", Text6[2], imp.OrarioFine3);
    CalcolaFasceAttive(imp);
    if (!scritto) {
        app_.MsgBox("Impossibile scrivere il file " + file + ".",
                    mb::Critical, "Errore");
        return;
    }
    Unload();
    app_.form("FrmMain").Show();
}

}  // namespace vc
