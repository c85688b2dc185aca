#include "cards/frm_cards_abil.h"

#include "common/carte.h"
#include "common/text.h"
#include "common/val.h"
#include "platform/cp1252.h"
#include "platform/layout.h"
#include "platform/record_fields.h"
#include "readers_admin/frm_conf_lettori.h"

namespace vc {

namespace {

constexpr const char* NuovoUtenteCaption = "Nuovo utente";
constexpr const char* ModificaUtenteCaption = "Modifica utente";

bool soloCifre(const std::string& t) {
    return !t.empty() && t.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

FrmCardsAbil::FrmCardsAbil(App& app)
    : Form(app, kName),
      app_(app),
      pulsanti_{&Command1, &Command2, &Command3, &Command4, &Command5, &Command6, &Command7, &Command8,
                &Command9, &Command10, &Command11, &Command12, &Command13, &Command14, &Command15} {
    Disponi();
    wire(*this, {
        {Command1.Click, &FrmCardsAbil::Command1_Click},
        {Command2.Click, &FrmCardsAbil::Command2_Click},
        {Command3.Click, &FrmCardsAbil::Command3_Click},
        {Command4.Click, &FrmCardsAbil::Command4_Click},
        {Command5.Click, &FrmCardsAbil::Command5_Click},
        {Command7.Click, &FrmCardsAbil::Command7_Click},
        {Command8.Click, &FrmCardsAbil::Command8_Click},
        {Command9.Click, &FrmCardsAbil::Command9_Click},
        {Command10.Click, &FrmCardsAbil::Command10_Click},
        {Command11.Click, &FrmCardsAbil::Command11_Click},
        {Command12.Click, &FrmCardsAbil::Command12_Click},
        {Command13.Click, &FrmCardsAbil::Command13_Click},
        {Command14.Click, &FrmCardsAbil::Command14_Click},
        {Command15.Click, &FrmCardsAbil::Command15_Click},
        {Check4.Click, &FrmCardsAbil::Check4_Click},
        {Check5.Click, &FrmCardsAbil::Check5_Click},
    });
}

void FrmCardsAbil::Disponi() {
    setCaption("Varcanto - abilitazione carte");
    geometry = {0, 0, 780, 600};
    layOut({
        {Frame1, "Dati", {10, 10, 370, 210}},
        {Frame2, "Configurazione", {390, 10, 380, 210}},
        {Frame3, "Settaggio", {10, 20, 175, 76}},
        {Check1, "Carta abilitata", {10, 20, 155, 22}},
        {Check5, "On Line", {10, 46, 155, 22}},
        {Frame4, "Output", {195, 20, 175, 76}},
        {Check2, "Porta 1", {10, 20, 155, 22}},
        {Check3, "Porta 2", {10, 46, 155, 22}},
        {Frame5, "Input", {10, 102, 360, 98}},
        // The on-line schedule and the stand-alone band share one place: AbilitaOpzioniCarta shows one.
        {Frame6, "Fasce orarie e giorni di abilitazione per il funzionamento On Line", {10, 228, 760, 70}},
        {Label7, "Turno orario", {12, 30, 100, 20}},
        {Combo1, {116, 28, 300, 24}},
        {Check4, "Abilita", {440, 28, 120, 22}},
        {Frame11, "Scelta delle fasce orarie per il funzionamento Stand Alone", {10, 228, 760, 70}},
        {Command12, picture("nav/first"), {10, 308, 40, 32}},
        {Command2, picture("nav/previous"), {52, 308, 40, 32}},
        {Label6, {96, 314, 150, 22}},
        {Command1, picture("nav/next"), {250, 308, 40, 32}},
        {Command13, picture("nav/last"), {292, 308, 40, 32}},
        {Command7, "Ritorna alla pagina principale", {260, 548, 260, 36}},
    });
    Label6.alignment = 2;
    // A name typed, or none, is the card's schedule as much as one chosen from the list.
    Combo1.editable = true;

    struct Campo {
        Label& etichetta;
        TextBox& testo;
        const char* caption;
        int larghezza;
    } campi[] = {{Label1, text1, "Cognome :", 240},
                 {Label2, Text2, "Nome :", 240},
                 {Label3, Text3, "Indirizzo :", 240},
                 {Label4, Text4, "Numero carta :", 70},
                 {Label5, Text5, "Note :", 240}};
    int y = 26;
    for (auto& c : campi) {
        c.etichetta.setCaption(c.caption);
        c.etichetta.place(12, y + 2, 100, 20);
        c.testo.place(116, y, c.larghezza, 24);
        y += 36;
    }
    Text4.MaxLength = 4;

    struct Coppia {
        Frame& frame;
        OptionButton& si;
        OptionButton& no;
        const char* captionSi;
        const char* captionNo;
        int larghezza;
    } coppie[] = {{Frame7, Option1, Option2, "Controlla", "Non contr.", 102},
                  {Frame8, Option3, Option4, "And", "Or", 78},
                  {Frame9, Option5, Option6, "1 On", "1 Off", 78},
                  {Frame10, Option7, Option8, "2 On", "2 Off", 78}};
    int x = 8;
    for (auto& c : coppie) {
        c.frame.place(x, 18, c.larghezza, 72);
        c.si.setCaption(c.captionSi);
        c.si.place(6, 16, c.larghezza - 10, 22);
        c.no.setCaption(c.captionNo);
        c.no.place(6, 42, c.larghezza - 10, 22);
        x += c.larghezza + 3;
    }

    OptionButton* bande[] = {&Option9, &Option10, &Option11, &Option12};
    const char* captionBande[] = {"Fascia 1", "Fascia 2", "Fascia 3", "Attivo 24 ore"};
    for (int i = 0; i < 4; ++i) {
        bande[i]->setCaption(captionBande[i]);
        bande[i]->place(16 + i * 150, 30, 140, 22);
    }

    struct Pulsante {
        CommandButton& b;
        const char* caption;
    } riga[] = {{Command3, NuovoUtenteCaption},  {Command4, ModificaUtenteCaption},
                {Command5, "Elimina utente"},    {Command8, "Associa lettori"},
                {Command9, "Fasce orarie"},      {Command10, "Ricerca"},
                {Command11, "UpLoad carta"},     {Command14, "Imparziale"},
                {Command15, "Registra carta esterna"}};
    int i = 0;
    for (auto& p : riga) {
        p.b.setCaption(p.caption);
        p.b.place(10 + (i % 4) * 190, 352 + (i / 4) * 44, 180, 36);
        ++i;
    }
    Command6.place(10 + (i % 4) * 190, 352 + (i / 4) * 44, 180, 36);
    Data1.setVisible(false);
    Data2.setVisible(false);
}

void FrmCardsAbil::Form_Load() {
    const std::string db = app_.file("Varcanto.mdb");
    Data1.DatabaseName = db;
    Data1.RecordSource = "Carte";
    Data2.DatabaseName = db;
    Data2.RecordSource = "Fasce";
    BloccaCampiCarta();
    app_.ModificaAttiva = false;
    app_.NuovoUtente = false;
    try {
        Data1.Refresh();
        Data2.Refresh();
        RiempiTurni();
        if (!Data1.recordset()->EOF_()) {
            ContaCarte(app_.TotaleCarte);
            app_.PosizioneCarta = 1;
            MostraCarta();
            return;
        }
    } catch (const DbError& e) {
        ErroreDatabase(e);
    }
    StatoVuoto();
    AbilitaOpzioniCarta();
}

void FrmCardsAbil::RiempiTurni() {
    Combo1.Clear();
    const HeldRecordset fasce(Data2);
    for (; !fasce->EOF_(); fasce->MoveNext()) {
        Combo1.AddItem(Trim(fasce->field("Nome").str()));
        app_.sys.loop.doEvents();
    }
}

void FrmCardsAbil::ErroreDatabase(const DbError& e) {
    app_.MsgBox(std::string("Errore nell'archivio delle carte: ") + e.what(), mb::Critical, "Errore");
}

void FrmCardsAbil::Abilita(std::initializer_list<int> numeri, bool abilitati) {
    for (int n : numeri) pulsanti_.at(static_cast<std::size_t>(n - 1))->setEnabled(abilitati);
}

void FrmCardsAbil::StatoVuoto() {
    Abilita({4, 5, 6, 8, 9, 10, 11, 14, 15}, false);
    Label6.setCaption("0 Utenti");
    app_.PosizioneCarta = 0;
    app_.TotaleCarte = 0;
    PulisciCarta(0);
}

// ---- display ----

void FrmCardsAbil::Contatore() { Label6.setCaption(Num(app_.PosizioneCarta) + " / " + Num(app_.TotaleCarte)); }

void FrmCardsAbil::CaricaLettoriCarta() {
    const std::string lettore = Data1.recordset()->field("Lettore").str();
    for (std::size_t i = 0; i < app_.LettoriCarta.size(); ++i)
        app_.LettoriCarta[i] = CInt(Val(Mid(lettore, i + 1, 1)));
}

void FrmCardsAbil::MostraCarta() {
    Contatore();
    PresentaCarta();
    CaricaLettoriCarta();
    AbilitaOpzioniCarta();
}

void FrmCardsAbil::PortaAllaCarta(std::int16_t posizione) {
    Data1.Refresh();
    Recordset& rs = *Data1.recordset();
    for (int i = 1; i < posizione; ++i) rs.MoveNext();
    app_.PosizioneCarta = posizione;
}

// Every field of "Carte" the window shows, in the order it shows them; the save writes the same.
std::vector<FieldControl> FrmCardsAbil::CampiCarta() {
    return {
        {"Cognome", text1},
        {"Nome", Text2},
        {"Indirizzo", Text3},
        {"Note", Text5},
        {"NumeroCarta", Text4},
        {"AbilitaCarta", Check1},
        {"Flag_online", Check5},
        {"Output1", Check2},
        {"Output2", Check3},
        {"MetodoInput", Option3, Option4},
        {"Input1", Option5, Option6},
        {"Input2", Option7, Option8},
        {"ControllaInput", Option1, Option2},
        {"Flag_fasce", Check4},
        {"NomeFascia", Combo1, Trim},
        // A band outside 0..3 (or none stored) leaves the options as they were.
        {"SceltaFascia", {&Option12, &Option9, &Option10, &Option11}},
    };
}

void FrmCardsAbil::PresentaCarta() {
    const Recordset& rs = *Data1.recordset();
    showRecord(rs, CampiCarta());
    // Check4's handler follows only a change of the tick.
    Combo1.setEnabled(Check4.checked());
    app_.CartaImparziale = rs.field("Imparziale").toBool();
}

void FrmCardsAbil::PulisciCarta(int modo) {
    for (TextBox* t : {&text1, &Text2, &Text3, &Text4, &Text5}) t->setText("");
    Combo1.setText("");
    for (CheckBox* c : {&Check1, &Check2, &Check3, &Check4, &Check5}) c->setValue(0);
    for (OptionButton* o : {&Option1, &Option2, &Option3, &Option4, &Option5, &Option6, &Option7, &Option8,
                            &Option9, &Option10, &Option11, &Option12})
        o->setValue(false);
    if (modo != 1) return;
    for (CheckBox* c : {&Check1, &Check2, &Check3, &Check5}) c->setValue(1);
    for (OptionButton* o : {&Option2, &Option4, &Option5, &Option7, &Option12}) o->setValue(true);
}

void FrmCardsAbil::AbilitaOpzioniCarta() {
    Option12.setEnabled(true);
    const Impostazioni& imp = app_.imp;
    Option9.setEnabled(imp.UsaFasceOrarie && imp.FasciaAttiva1);
    Option10.setEnabled(imp.UsaFasceOrarie && imp.FasciaAttiva2);
    Option11.setEnabled(imp.UsaFasceOrarie && imp.FasciaAttiva3);
    const bool onLine = Check5.checked();
    Frame6.setVisible(onLine);
    Frame11.setVisible(!onLine);
    (onLine ? Frame6 : Frame11).setEnabled(app_.ModificaAttiva);
}

void FrmCardsAbil::Check4_Click() {
    Combo1.setEnabled(Check4.checked());
    Command9.setEnabled(Check4.checked());
}

void FrmCardsAbil::Check5_Click() {
    if (!app_.ModificaAttiva) return;
    Frame6.setEnabled(true);
    Frame11.setEnabled(true);
    Frame6.setVisible(Check5.checked());
    Frame11.setVisible(!Check5.checked());
    Command9.setEnabled(!Check5.checked() || Check4.checked());
}

void FrmCardsAbil::BloccaCampiCarta() {
    for (Frame* f : {&Frame1, &Frame2, &Frame6}) f->setEnabled(false);
}

void FrmCardsAbil::SbloccaCampiCarta() {
    for (Frame* f : {&Frame1, &Frame2, &Frame6}) f->setEnabled(true);
}

void FrmCardsAbil::ContaCarte(std::int16_t& conta) {
    Recordset& rs = *Data1.recordset();
    conta = 0;
    for (; !rs.EOF_(); rs.MoveNext()) ++conta;
    rs.MoveFirst();
}

// ---- navigation ----

void FrmCardsAbil::Vai(bool possibile, std::int16_t posizione, void (Recordset::*mossa)()) {
    if (!possibile) return;
    try {
        ((*Data1.recordset()).*mossa)();
        app_.PosizioneCarta = posizione;
        MostraCarta();
    } catch (const DbError& e) {
        ErroreDatabase(e);
    }
}

void FrmCardsAbil::Command1_Click() {
    Vai(app_.PosizioneCarta < app_.TotaleCarte, static_cast<std::int16_t>(app_.PosizioneCarta + 1),
        &Recordset::MoveNext);
}

void FrmCardsAbil::Command2_Click() {
    Vai(app_.PosizioneCarta >= 2, static_cast<std::int16_t>(app_.PosizioneCarta - 1), &Recordset::MovePrevious);
}

void FrmCardsAbil::Command12_Click() { Vai(app_.TotaleCarte != 0, 1, &Recordset::MoveFirst); }

void FrmCardsAbil::Command13_Click() { Vai(app_.TotaleCarte != 0, app_.TotaleCarte, &Recordset::MoveLast); }

// ---- new, edit, cancel, save ----

void FrmCardsAbil::Command3_Click() {
    if (Command3.Caption() == NuovoUtenteCaption)
        NuovaCarta();
    else
        AnnullaModifica();
}

void FrmCardsAbil::Command4_Click() {
    if (Command4.Caption() == ModificaUtenteCaption)
        ModificaCarta();
    else
        Salva();
}

void FrmCardsAbil::NuovaCarta() {
    Command3.setCaption("Annulla");
    Command4.setCaption("Salva dati");
    Abilita({4, 8}, true);
    Abilita({1, 2, 5, 6, 7, 9, 10, 11, 12, 13, 14, 15}, false);
    Label6.setCaption("Nuovo...");
    app_.NuovoUtente = true;
    app_.ModificaAttiva = true;
    app_.PosizioneSalvata = app_.PosizioneCarta;
    SbloccaCampiCarta();
    PulisciCarta(1);
    AbilitaOpzioniCarta();
    // A new card is enabled on no reader until the association window says otherwise.
    app_.LettoriCarta.fill(0);
}

void FrmCardsAbil::ModificaCarta() {
    Command3.setCaption("Annulla");
    Command4.setCaption("Salva dati");
    Abilita({1, 2, 5, 6, 7}, false);
    Command9.setEnabled(!Check5.checked() || Check4.checked());
    Abilita({10, 11, 12, 13, 14, 15}, false);
    Label6.setCaption("Modifica...");
    Command8.setEnabled(true);
    app_.NuovoUtente = false;
    app_.ModificaAttiva = true;
    app_.PosizioneSalvata = app_.PosizioneCarta;
    SbloccaCampiCarta();
    AbilitaOpzioniCarta();
}

void FrmCardsAbil::AnnullaModifica() {
    Command3.setCaption(NuovoUtenteCaption);
    Command4.setCaption(ModificaUtenteCaption);
    Abilita({1, 2, 7, 9, 12, 13}, true);
    app_.NuovoUtente = false;
    app_.ModificaAttiva = false;
    BloccaCampiCarta();
    if (app_.TotaleCarte != 0) {
        try {
            // The stored record is shown again: what was typed is dropped.
            PortaAllaCarta(app_.PosizioneSalvata);
            Contatore();
            PresentaCarta();
            CaricaLettoriCarta();
        } catch (const DbError& e) {
            ErroreDatabase(e);
        }
        Abilita({5, 6, 10, 11, 14, 15}, true);
    } else {
        StatoVuoto();
    }
    AbilitaOpzioniCarta();
}

HeldRecordset FrmCardsAbil::TrovaFascia(const std::string& nome) {
    const std::string cercato = Trim(nome);
    Data2.Refresh();
    const HeldRecordset fasce(Data2);
    for (; !fasce->EOF_(); fasce->MoveNext()) {
        app_.sys.loop.doEvents();
        if (Trim(fasce->field("Nome").str()) == cercato) return fasce;
    }
    return {};
}

bool FrmCardsAbil::controllo_dati_carta() {
    auto errore = [this](const char* testo) {
        app_.MsgBox(testo, mb::Exclamation, "Attenzione");
        return false;
    };
    constexpr const char* NumeroErrato = "Errore nei dati. Controllare il numero carta.";
    const std::string numero = Text4.Text();
    if (cp1252::fromUtf8(numero).size() > 4) return errore(NumeroErrato);
    if (!soloCifre(numero)) return errore(NumeroErrato);

    // Numbers collide by value ("0012" and "12"); a card being edited may keep its own.
    const std::int32_t valore = CLng(Val(numero));
    Data1.Refresh();
    Recordset& rs = *Data1.recordset();
    bool doppio = false;
    for (std::int16_t p = 1; p <= app_.TotaleCarte && !rs.EOF_(); ++p, rs.MoveNext()) {
        const bool propria = !app_.NuovoUtente && p == app_.PosizioneCarta;
        if (!propria && CLng(Val(rs.field("NumeroCarta").str())) == valore) {
            doppio = true;
            break;
        }
    }
    if (!app_.NuovoUtente) PortaAllaCarta(app_.PosizioneCarta);
    if (doppio) return errore("Numero di carta già assegnato.");

    Text4.setText(Right("0000" + numero, 4));
    if (Check5.checked() && Check4.checked() && !TrovaFascia(Combo1.Text()))
        return errore("Non è stato definito nessun turno per le fasce orarie.");
    return true;
}

void FrmCardsAbil::ScriviCarta(Recordset& rs) {
    saveRecord(rs, CampiCarta());
    std::string lettore;
    for (std::int16_t v : app_.LettoriCarta) lettore += Num(v);
    rs.setField("Lettore", lettore);
    // The card carries its own copy of the schedule, whether or not it applies it.
    if (const auto fascia = TrovaFascia(Combo1.Text()))
        CopiaFascia(*fascia, rs);
    else
        AzzeraFascia(rs);
}

void FrmCardsAbil::Salva() {
    // The validation and the write yield at every schedule and while the wait window is drawn:
    // an "Annulla" or a second "Salva dati" in the middle would drop or double the card.
    FormBusy occupata(*this);
    try {
        if (!controllo_dati_carta()) {
            AbilitaOpzioniCarta();
            return;
        }
        app_.form("FrmWait").Show();
        for (int i = 0; i < 100; ++i) app_.sys.loop.doEvents();
        // Held across the schedule walk of the write, which yields.
        const HeldRecordset carta(Data1);
        Recordset& rs = *carta;
        if (app_.NuovoUtente) {
            rs.AddNew();
            rs.setField("Imparziale", false);
        } else {
            rs.Edit();
        }
        try {
            ScriviCarta(rs);
            rs.Update();
        } catch (const DbError&) {
            rs.CancelUpdate();
            throw;
        }
        // A new card is the last record.
        if (app_.NuovoUtente) app_.PosizioneSalvata = ++app_.TotaleCarte;
        PortaAllaCarta(app_.PosizioneSalvata);
    } catch (const DbError& e) {
        // Nothing was stored: the window stays in its state with what was typed.
        if (app_.isLoaded("FrmWait")) app_.form("FrmWait").Unload();
        ErroreDatabase(e);
        AbilitaOpzioniCarta();
        return;
    }
    app_.form("FrmWait").Unload();
    Contatore();
    PresentaCarta();
    BloccaCampiCarta();
    AbilitaOpzioniCarta();
    CaricaLettoriCarta();
    for (CommandButton* b : pulsanti_) b->setEnabled(true);
    Command3.setCaption(NuovoUtenteCaption);
    Command4.setCaption(ModificaUtenteCaption);
    app_.NuovoUtente = false;
    app_.ModificaAttiva = false;
    AbilitaOpzioniCarta();
}

// ---- delete, return, companions ----

void FrmCardsAbil::Command5_Click() {
    try {
        // Held across the question, whatever runs while it waits.
        const HeldRecordset carta(Data1);
        Recordset& rs = *carta;
        if (rs.EOF_()) {
            app_.MsgBox("Non ci sono utenti nel database.", mb::Information, "Messaggio");
            return;
        }
        if (app_.MsgBox("Sei sicuro di voler eliminare l'utente ?", mb::YesNo | mb::Question, "Domanda") != mb::Yes)
            return;
        rs.Delete();
        Data1.Refresh();
        --app_.TotaleCarte;
        if (Data1.recordset()->EOF_()) {
            StatoVuoto();
            return;
        }
        app_.PosizioneCarta = 1;
        Contatore();
        PresentaCarta();
        CaricaLettoriCarta();
        // The card now shown needs its own frames: an on-line card's would stay up otherwise.
        AbilitaOpzioniCarta();
        Command15.setEnabled(true);
    } catch (const DbError& e) {
        ErroreDatabase(e);
    }
}

void FrmCardsAbil::Command7_Click() {
    app_.form("FrmMain").Show();
    Unload();
}

void FrmCardsAbil::Command8_Click() {
    Data& lettori = DatiLettori(app_);
    try {
        lettori.Refresh();
        if (lettori.recordset()->EOF_()) {
            app_.MsgBox("Non ci sono lettori memorizzati nel database.", mb::Exclamation, "Attenzione");
            return;
        }
    } catch (const DbError& e) {
        ErroreDatabase(e);
        return;
    }
    setEnabled(false);
    app_.form("FrmPassAbil").Show();
}

void FrmCardsAbil::Command10_Click() {
    setEnabled(false);
    app_.form("FrmCardSearch").Show();
}

}  // namespace vc
