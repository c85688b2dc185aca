#include "readers_admin/frm_conf_lettori.h"

#include <array>

#include "common/text.h"
#include "common/val.h"
#include "core/readers/carica_lettori.h"
#include "core/settings/frm_prog_setup.h"
#include "platform/cp1252.h"
#include "platform/layout.h"
#include "platform/record_fields.h"
#include "readers_admin/frm_util_tessaro.h"
#include "readers_admin/programma_lettore.h"

namespace vc {

namespace {

constexpr const char* TipoArchivio = "KOVA KV-P";
constexpr std::array<const char*, 3> Tipi = {"KOVA KV-M1", TipoArchivio, "TREN TR-C"};
constexpr std::array<const char*, 3> Stati = {"In", "Out", "InOut"};
constexpr std::array<const char*, 4> CampiCarta = {"PosCarta1", "PosCarta2", "PosCarta3", "PosCarta4"};
constexpr std::array<const char*, 6> CampiCodice = {"PosCodice1", "PosCodice2", "PosCodice3",
                                                    "PosCodice4", "PosCodice5", "PosCodice6"};
constexpr std::int16_t MassimoLettori = 64;
// "Programma" narrows to make room for "Utilities" beside it.
constexpr int ProgrammaLargo = 149, ProgrammaStretto = 72;

const char* const NuovoLettoreCaption = "Nuovo lettore";
const char* const ModificaCaption = "Modifica dati lettore";

template <std::size_t N>
bool unoDi(const std::string& t, const std::array<const char*, N>& ammessi) {
    for (const char* a : ammessi)
        if (t == a) return true;
    return false;
}

std::int16_t intero(const TextBox& t) { return CInt(Val(t.Text())); }
// A number typed in a box is stored as the whole number it reads as.
Value Intero(const std::string& testo) { return CInt(Val(testo)); }

// Every box numeric, then every value in 0..99: all are read before the verdict.
template <int N>
bool posizioniValide(const ControlArray<TextBox, N>& caselle) {
    bool numeriche = true;
    for (int i = 0; i < N; ++i) numeriche = IsNumeric(caselle[i].Text()) && numeriche;
    if (!numeriche) return false;
    for (int i = 0; i < N; ++i)
        if (Val(caselle[i].Text()) < 0 || Val(caselle[i].Text()) > 99) return false;
    return true;
}

// A plant code of at most 6 characters that reads as a whole number of at most 6 digits: a sign
// or a fraction would not come out as the 6 digits the readers expect.
bool CodiceValido(const std::string& testo) {
    if (!IsNumeric(testo) || cp1252::fromUtf8(testo).size() > 6) return false;
    const double codice = Val(testo);
    return codice >= 0 && codice <= 999999 && codice == static_cast<double>(static_cast<std::int64_t>(codice));
}

// The location is stored as exactly 8 characters, cut or filled with blanks.
std::string Situato(const std::string& testo) {
    return cp1252::toUtf8(Left(cp1252::fromUtf8(testo) + std::string(8, ' '), 8));
}

}  // namespace

FrmConfLettori::FrmConfLettori(App& app) : Form(app, kName), app_(app) {
    Disponi();
    wire(*this, {
        {Command1.Click, &FrmConfLettori::Command1_Click},
        {Command2.Click, &FrmConfLettori::Command2_Click},
        {Command3.Click, &FrmConfLettori::Command3_Click},
        {Command4.Click, &FrmConfLettori::Command4_Click},
        {Command5.Click, &FrmConfLettori::Command5_Click},
        {Command6.Click, &FrmConfLettori::Command6_Click},
        {Command7.Click, &FrmConfLettori::Command7_Click},
        {Command8.Click, &FrmConfLettori::Command8_Click},
    });
}

void FrmConfLettori::Disponi() {
    setCaption("Varcanto - gestione lettori");
    geometry = {0, 0, 650, 450};
    layOut({
        {Frame1, "Dati", {10, 10, 310, 180}},
        {Label1, "Tipo lettore :", {12, 26, 120, 20}},
        {Text2, {136, 24, 160, 22}},
        {Combo1, {136, 24, 160, 22}},
        {Label2, "Situato presso :", {12, 58, 120, 20}},
        {Text3, {136, 56, 100, 22}, 8},
        {Label3, "Codice applic. :", {12, 90, 120, 20}},
        {Text4, {136, 88, 80, 22}, 6},
        {Label4, "Tempo apertura :", {12, 122, 120, 20}},
        {Text5, {136, 120, 40, 22}, 2},
        {Label5, "Stato lettore :", {12, 152, 120, 20}},
        {Text6, {136, 150, 80, 22}},
        {Combo2, {136, 150, 80, 22}},

        {Frame2, "Posizione dei dati", {10, 200, 310, 90}},
        {Label6, "Carta :", {12, 26, 60, 20}},
        {Label7, "Codice :", {12, 58, 60, 20}},

        {Frame3, "Indirizzo", {330, 10, 310, 84}},
        {Label8, "Numero del loop :", {12, 26, 230, 20}},
        {Text9, {250, 24, 40, 22}, 2},
        {Label9, "Indirizzo all'interno del loop :", {12, 54, 230, 20}},
        {Text10, {250, 52, 40, 22}, 2},

        {Frame6, "Configurazione", {330, 100, 310, 90}},
        {Check1, "Riscrivi Ram", {12, 22, 200, 20}},
        {Check2, "Test Input", {12, 42, 200, 20}},
        {Check3, "Fasce orarie", {12, 62, 200, 20}},

        {Frame4, "Gestione Database", {330, 200, 310, 180}},
        {Command1, "Up", {12, 24, 138, 30}},
        {Command2, "Down", {160, 24, 138, 30}},
        {Command3, NuovoLettoreCaption, {12, 62, 286, 30}},
        {Command4, ModificaCaption, {12, 98, 286, 30}},
        {Command5, "Elimina lettore", {12, 134, 138, 30}},
        {Label11, {160, 140, 138, 20}},

        {Command6, "Programma", {10, 300, ProgrammaLargo, 36}},
        {Command8, "Utilities", {10 + ProgrammaStretto + 5, 300, ProgrammaStretto, 36}},
        {Command7, "Ritorna alla pagina principale", {10, 392, 630, 40}},
    });
    for (const char* t : Tipi) Combo1.AddItem(t);
    for (const char* s : Stati) Combo2.AddItem(s);
    for (int i = 0; i < 4; ++i) {
        Text7[i].MaxLength = 2;
        Text7[i].place(76 + i * 36, 24, 32, 22);
    }
    for (int i = 0; i < 6; ++i) {
        Text8[i].MaxLength = 2;
        Text8[i].place(76 + i * 36, 56, 32, 22);
    }
    Label11.alignment = 2;
    Data1.setVisible(false);
}

bool FrmConfLettori::SchedaK880() { return ModoScheda(app_); }

void FrmConfLettori::Form_Load() {
    Data1.DatabaseName = app_.file("Varcanto.mdb");
    Data1.RecordSource = "Lettori";
    // Without the table the window opens empty; the reader table's loader reports the fault.
    const bool letta = Data1.tryRefresh();
    BloccaCampiLettore();
    Combo1.setVisible(false);
    Combo2.setVisible(false);
    Text2.setVisible(true);
    Text6.setVisible(true);
    Text9.setEnabled(SchedaK880());
    MostraUtilities(false);
    if (!letta || Data1.recordset()->EOF_()) {
        TabellaVuota();
        return;
    }
    app_.TotaleLettori = ContaLettori();
    app_.PosizioneRecordLettore = 1;
    Contatore();
    PresentaLettore();
}

void FrmConfLettori::Form_QueryClose() {
    if (Enabled() && Command7.Enabled()) Command7_Click();
}

void FrmConfLettori::BloccaCampiLettore() {
    for (Frame* f : {&Frame1, &Frame2, &Frame3, &Frame6}) f->setEnabled(false);
}

void FrmConfLettori::SbloccaCampiLettore() {
    for (Frame* f : {&Frame1, &Frame2, &Frame3, &Frame6}) f->setEnabled(true);
}

std::int16_t FrmConfLettori::ContaLettori() {
    Data1.Refresh();
    std::int16_t n = 0;
    for (Recordset& rs = *Data1.recordset(); !rs.EOF_(); rs.MoveNext()) ++n;
    Data1.Refresh();
    return n;
}

// Rows are reached as the window counts them: from the first, one by one.
void FrmConfLettori::VaiAlLettore(std::int16_t posizione) {
    Data1.Refresh();
    Recordset& rs = *Data1.recordset();
    for (int i = 1; i < posizione; ++i) rs.MoveNext();
}

// Every field of "Lettori" the window shows, in the order it shows and saves them.
std::vector<FieldControl> FrmConfLettori::CampiLettore() {
    std::vector<FieldControl> campi = {
        {"TipoLettore", Text2}, {"SituatoPresso", Text3, Situato}, {"CodiceImpianto", Text4},
        {"Ritardo", Text5, Intero}, {"Stato", Text6},
    };
    for (int i = 0; i < 4; ++i) campi.push_back({CampiCarta[static_cast<std::size_t>(i)], Text7[i], Intero});
    for (int i = 0; i < 6; ++i) campi.push_back({CampiCodice[static_cast<std::size_t>(i)], Text8[i], Intero});
    campi.insert(campi.end(), {{"NumeroLoop", Text9, Intero},
                               {"NumeroIndirizzo", Text10, Intero},
                               {"RiscriviRam", Check1},
                               {"TestInput", Check2},
                               {"FasceOrarie", Check3}});
    return campi;
}

void FrmConfLettori::PresentaLettore() {
    showRecord(*Data1.recordset(), CampiLettore());
    MostraUtilities(Text2.Text() == TipoArchivio);
}

void FrmConfLettori::MostraUtilities(bool si) {
    Command6.geometry.width = si ? ProgrammaStretto : ProgrammaLargo;
    notify(&Command6);
    Command8.setVisible(si);
}

void FrmConfLettori::PulisciCampiLettore(int modo) {
    for (TextBox* t : {&Text2, &Text3, &Text4, &Text5, &Text6, &Text9, &Text10}) t->setText("");
    for (int i = 0; i < 4; ++i) Text7[i].setText("");
    for (int i = 0; i < 6; ++i) Text8[i].setText("");
    for (CheckBox* c : {&Check1, &Check2, &Check3}) c->setValue(0);
    if (modo != 1) return;
    for (int i = 0; i < 4; ++i) Text7[i].setText(Num(i));
    for (int i = 0; i < 6; ++i) Text8[i].setText(Num(i + 4));
    Check1.setValue(1);
    if (!SchedaK880()) Text9.setText("1");
}

void FrmConfLettori::Contatore() {
    Label11.setCaption("Record " + Num(app_.PosizioneRecordLettore) + " su " + Num(app_.TotaleLettori));
}

// An empty table shows empty fields and leaves nothing to edit, delete or program.
void FrmConfLettori::TabellaVuota() {
    Label11.setCaption("Nessun lettore presente");
    for (CommandButton* c : {&Command4, &Command5, &Command6}) c->setEnabled(false);
    app_.TotaleLettori = 0;
    app_.PosizioneRecordLettore = 0;
    PulisciCampiLettore(0);
    MostraUtilities(false);
}

// A new row or an edit: only "Annulla" and "Salva dati" stay usable.
void FrmConfLettori::ModoInserimento(const char* contatore) {
    Command3.setCaption("Annulla");
    Command4.setCaption("Salva dati");
    Command4.setEnabled(true);
    for (CommandButton* c : {&Command1, &Command2, &Command5, &Command6, &Command7, &Command8}) c->setEnabled(false);
    Label11.setCaption(contatore);
    Text2.setVisible(false);
    Text6.setVisible(false);
    Combo1.setVisible(true);
    Combo2.setVisible(true);
    SbloccaCampiLettore();
}

void FrmConfLettori::ModoConsultazione() {
    for (CommandButton* c : {&Command1, &Command2, &Command7}) c->setEnabled(true);
    Command3.setCaption(NuovoLettoreCaption);
    Command4.setCaption(ModificaCaption);
    Text2.setVisible(true);
    Text6.setVisible(true);
    Combo1.setVisible(false);
    Combo2.setVisible(false);
    BloccaCampiLettore();
    app_.NuovoLettore = false;
}

void FrmConfLettori::Command1_Click() {
    if (app_.PosizioneRecordLettore >= app_.TotaleLettori) return;
    Data1.recordset()->MoveNext();
    PresentaLettore();
    ++app_.PosizioneRecordLettore;
    Contatore();
}

void FrmConfLettori::Command2_Click() {
    if (app_.PosizioneRecordLettore <= 1) return;
    Data1.recordset()->MovePrevious();
    PresentaLettore();
    --app_.PosizioneRecordLettore;
    Contatore();
}

void FrmConfLettori::Command3_Click() {
    if (Command3.Caption() == NuovoLettoreCaption) {
        if (app_.TotaleLettori >= MassimoLettori) {
            app_.MsgBox("Massimo 64 lettori.", mb::Exclamation, "Attenzione");
            return;
        }
        ModoInserimento("Nuovo...");
        Combo1.setText("");
        Combo2.setText("");
        PulisciCampiLettore(1);
        app_.NuovoLettore = true;
        app_.PosizioneSalvata = app_.PosizioneRecordLettore;
        return;
    }
    ModoConsultazione();
    if (app_.TotaleLettori == 0) return TabellaVuota();
    app_.PosizioneRecordLettore = app_.PosizioneSalvata;
    VaiAlLettore(app_.PosizioneRecordLettore);
    for (CommandButton* c : {&Command5, &Command6, &Command8}) c->setEnabled(true);
    Contatore();
    PresentaLettore();
}

void FrmConfLettori::Command4_Click() {
    if (Command4.Caption() != ModificaCaption) return Salva();
    ModoInserimento("Modifica...");
    app_.NuovoLettore = false;
    app_.PosizioneSalvata = app_.PosizioneRecordLettore;
    Combo1.setText(Text2.Text());
    Combo2.setText(Text6.Text());
}

void FrmConfLettori::Salva() {
    Text2.setText(Combo1.Text());
    Text6.setText(Combo2.Text());
    try {
        if (!controllo_dati_lettore()) return;
        ScriviLettore();
    } catch (const DbError& e) {
        // Nothing was written: the window stays in entry mode with what was typed.
        app_.MsgBox(std::string("Impossibile salvare il lettore: ") + e.what(), mb::Critical, "Errore");
        return;
    }
    if (app_.NuovoLettore) ++app_.TotaleLettori;
    // A new row is the last in the table's order.
    app_.PosizioneRecordLettore = app_.NuovoLettore ? app_.TotaleLettori : app_.PosizioneSalvata;
    app_.PosizioneSalvata = app_.PosizioneRecordLettore;
    VaiAlLettore(app_.PosizioneRecordLettore);
    Contatore();
    PresentaLettore();
    ModoConsultazione();
    for (CommandButton* c : {&Command3, &Command4, &Command5, &Command6, &Command8}) c->setEnabled(true);
}

void FrmConfLettori::ScriviLettore() {
    Recordset& rs = *Data1.recordset();
    if (app_.NuovoLettore)
        rs.AddNew();
    else
        rs.Edit();
    try {
        saveRecord(rs, CampiLettore());
        rs.Update();
    } catch (const DbError&) {
        if (rs.editing()) rs.CancelUpdate();
        throw;
    }
    Data1.Refresh();
}

void FrmConfLettori::Command5_Click() {
    if (!Data1.bound() || Data1.recordset()->EOF_()) {
        app_.MsgBox("Non ci sono lettori nel database.", mb::Information, "Messaggio");
        return;
    }
    if (app_.MsgBox("Sei sicuro di voler eliminare il lettore ?", mb::Question | mb::YesNo, "Domanda") != mb::Yes)
        return;
    try {
        Data1.recordset()->Delete();
        Data1.Refresh();
    } catch (const DbError& e) {
        app_.MsgBox(std::string("Impossibile eliminare il lettore: ") + e.what(), mb::Critical, "Errore");
        return;
    }
    --app_.TotaleLettori;
    if (Data1.recordset()->EOF_()) return TabellaVuota();
    Command6.setEnabled(true);
    app_.PosizioneRecordLettore = 1;
    Contatore();
    PresentaLettore();
}

void FrmConfLettori::Command6_Click() {
    if (!Data1.bound() || Data1.recordset()->EOF_()) {
        app_.MsgBox("Non ci sono lettori nel database.", mb::Information, "Messaggio");
        return;
    }
    FormBusy occupata(*this);
    programma_lettore(app_);
}

// The utilities window enables this one again when it closes.
void FrmConfLettori::Command8_Click() {
    setEnabled(false);
    app_.form<FrmUtilTessaro>().Show();
}

// The reader table is reloaded while this window, whose data control it reads, is still loaded.
void FrmConfLettori::Command7_Click() {
    try {
        CaricaLettori(app_);
    } catch (const DbError& e) {
        app_.MsgBox(std::string("Impossibile leggere i lettori: ") + e.what(), mb::Critical, "Errore");
    }
    Unload();
    app_.form("FrmMain").Show();
}

bool FrmConfLettori::controllo_dati_lettore() {
    auto errore = [this](const char* testo) {
        app_.MsgBox(testo, mb::Exclamation, "Attenzione");
        return false;
    };
    if (!unoDi(Text2.Text(), Tipi)) return errore("Errore nei dati. Controllare il 'tipo lettore'.");
    if (!CodiceValido(Text4.Text())) return errore("Errore nei dati. Controllare il codice applicazione.");
    Text4.setText(Pad(static_cast<std::int64_t>(Val(Text4.Text())), 6));
    // The reader takes twice the opening time in 2 digits.
    if (!IsNumeric(Text5.Text()) || intero(Text5) < 0 || intero(Text5) > 49)
        return errore("Errore nei dati. Controllare il tempo di apertura.");
    if (!unoDi(Text6.Text(), Stati)) return errore("Errore nei dati. Controllare il campo 'stato'");
    if (!posizioniValide(Text7)) return errore("Errore nei dati. Controllare le posizioni relative al numero carta.");
    if (!posizioniValide(Text8))
        return errore("Errore nei dati. Controllare le posizioni relative al numero codice.");
    if (!IsNumeric(Text9.Text())) return errore("Errore nei dati. Controllare il numero del loop.");
    if (!IsNumeric(Text10.Text())) return errore("Errore nei dati. Controllare il numero dell'indirizzo.");
    if (Val(Text9.Text()) < 1 || Val(Text9.Text()) > 8)
        return errore("Errore nei dati. Controllare il numero del loop.");
    if (Val(Text10.Text()) < 0 || Val(Text10.Text()) > 31)
        return errore("Errore nei dati. Controllare il numero dell'indirizzo.");
    if (!IndirizzoLibero(intero(Text9), intero(Text10))) return errore("Indirizzo già assegnato.");
    return true;
}

// No other row on the same loop and address. The row being edited is not another row.
bool FrmConfLettori::IndirizzoLibero(std::int16_t loop, std::int16_t indirizzo) {
    Data1.Refresh();
    Recordset& rs = *Data1.recordset();
    bool libero = true;
    for (std::int16_t pos = 1; pos <= app_.TotaleLettori && !rs.EOF_(); ++pos, rs.MoveNext()) {
        const bool altro = app_.NuovoLettore || pos != app_.PosizioneRecordLettore;
        if (altro && CInt(rs.field("NumeroLoop").toDouble()) == loop &&
            CInt(rs.field("NumeroIndirizzo").toDouble()) == indirizzo) {
            libero = false;
            break;
        }
    }
    if (!app_.NuovoLettore) VaiAlLettore(app_.PosizioneRecordLettore);
    return libero;
}

}  // namespace vc
