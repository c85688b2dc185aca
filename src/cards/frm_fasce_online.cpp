#include "cards/frm_fasce_online.h"

#include "common/carte.h"
#include "common/text.h"
#include "core/settings/controlli_orario.h"
#include "platform/layout.h"

namespace vc {

namespace {

constexpr const char* NomiGiorni[7] = {"Lunedì", "Martedì", "Mercoledì", "Giovedì",
                                       "Venerdì", "Sabato", "Domenica"};

constexpr const char* ControllareGiorno[7] = {
    "Controllare il giorno LUNEDI'.",  "Controllare il giorno MARTEDI'.", "Controllare il giorno MERCOLEDI'.",
    "Controllare il giorno GIOVEDI'.", "Controllare il giorno VENERDI'.", "Controllare il giorno SABATO.",
    "Controllare il giorno DOMENICA."};

// The SET list that gives a card this copy of a schedule: the 7 day flags, then the 28 times.
std::string CopiaNellaCarta(const std::array<bool, 7>& giorni, const std::array<std::string, 28>& orari) {
    std::string set;
    for (std::size_t i = 0; i < giorni.size(); ++i)
        set += std::string(CampiGiorni[i]) + " = " + (giorni[i] ? "1, " : "0, ");
    for (std::size_t k = 0; k < orari.size(); ++k)
        set += std::string(CampiOrari[k]) + " = " + sqlQuote(orari[k]) + (k + 1 < orari.size() ? ", " : "");
    return set;
}

// The cards that carry a schedule: their name and the schedule's, blanks at both ends ignored,
// compared exactly. A Null name never matches.
std::string CarteDellaFascia(const std::string& nome) { return " WHERE TRIM(NomeFascia) = " + sqlQuote(Trim(nome)); }

}  // namespace

FrmFasceOnline::FrmFasceOnline(App& app) : Form(app, kName), app_(app) {
    Disponi();
    for (int i = 0; i < 7; ++i) Check1[i].Click = [this, i] { Check1_Click(i); };
    wire(*this, {
        {Command1.Click, &FrmFasceOnline::Command1_Click},
        {Command2.Click, &FrmFasceOnline::Command2_Click},
        {Command3.Click, &FrmFasceOnline::Command3_Click},
        {Command4.Click, &FrmFasceOnline::Command4_Click},
        {Command5.Click, &FrmFasceOnline::Command5_Click},
        {Command6.Click, &FrmFasceOnline::Command6_Click},
        {Command7.Click, &FrmFasceOnline::Command7_Click},
        {Command8.Click, &FrmFasceOnline::Command8_Click},
    });
}

void FrmFasceOnline::Disponi() {
    setCaption("Varcanto - giorni e fasce orarie on line");
    geometry = {0, 0, 770, 560};
    layOut({
        {Frame3, "Nome", {10, 8, 600, 58}},
        {Text5, {12, 24, 576, 22}},
        {Frame1, {10, 72, 600, 476}},
        {Frame4, "DataBase", {622, 52, 138, 62}},
        {Label5, {8, 26, 122, 22}},
    });
    for (int i = 0; i < 7; ++i) {
        Frame2[i].setCaption(NomiGiorni[i]);
        Frame2[i].place(10, 10 + i * 66, 580, 60);
        Check1[i].setCaption("Abilita");
        Check1[i].place(12, 26, 80, 22);
        const std::array<Label*, 4> etichette{&Label1[i], &Label2[i], &Label3[i], &Label4[i]};
        const std::array<TextBox*, 4> orari = OrariGiorno(i);
        for (int k = 0; k < 4; ++k) {
            // Two bands side by side, each "da" box "a" box.
            const int x = 110 + (k / 2) * 230 + (k % 2) * 110;
            etichette[static_cast<std::size_t>(k)]->setCaption(k % 2 == 0 ? "da" : "a");
            etichette[static_cast<std::size_t>(k)]->place(x, 28, 26, 20);
            orari[static_cast<std::size_t>(k)]->MaxLength = 5;
            orari[static_cast<std::size_t>(k)]->place(x + 28, 26, 62, 22);
        }
    }
    const std::array<CommandButton*, 4> navigazione{&Command5, &Command6, &Command7, &Command8};
    const char* figure[4] = {"nav/first", "nav/previous", "nav/next", "nav/last"};
    for (int k = 0; k < 4; ++k) {
        navigazione[static_cast<std::size_t>(k)]->setPicture(figure[k]);
        navigazione[static_cast<std::size_t>(k)]->place(622 + k * 35, 14, 33, 30);
    }
    Label5.setForeColor(colour::Red);
    Label5.alignment = 2;
    const std::array<CommandButton*, 4> comandi{&Command1, &Command2, &Command3, &Command4};
    const char* didascalie[4] = {"Nuovo", "Modifica", "Elimina", "Esci"};
    for (int k = 0; k < 4; ++k) {
        comandi[static_cast<std::size_t>(k)]->setCaption(didascalie[k]);
        comandi[static_cast<std::size_t>(k)]->place(622, 130 + k * 48, 138, 38);
    }
    Data1.setVisible(false);
    Data2.setVisible(false);
}

std::array<TextBox*, 4> FrmFasceOnline::OrariGiorno(int i) { return {&text1[i], &Text2[i], &Text3[i], &Text4[i]}; }

std::array<bool, 7> FrmFasceOnline::Giorni() {
    std::array<bool, 7> giorni{};
    for (int i = 0; i < 7; ++i) giorni[static_cast<std::size_t>(i)] = Check1[i].Value() != 0;
    return giorni;
}

std::array<std::string, 28> FrmFasceOnline::Orari() {
    std::array<std::string, 28> orari;
    for (int i = 0; i < 7; ++i)
        for (int k = 0; k < 4; ++k)
            orari[static_cast<std::size_t>(i * 4 + k)] = OrariGiorno(i)[static_cast<std::size_t>(k)]->Text();
    return orari;
}

// ---- load and display ----

void FrmFasceOnline::Form_Load() {
    const std::string db = app_.file("Varcanto.mdb");
    Data1.DatabaseName = db;
    Data1.RecordSource = "Fasce";
    Data2.DatabaseName = db;
    Data2.RecordSource = "Carte";
    Frame4.setCaption("Database");
    try {
        NumeroFasce = ContaFasce();
        ModoConsultazione();
        Data1.Refresh();
        PosizioneFascia = NumeroFasce != 0 ? 1 : 0;
        MostraPosizione();
    } catch (const DbError& e) {
        ChiudiAttesa();
        ErroreDatabase(e);
        // Without the table nothing can be shown or saved: only "Esci" is left.
        NumeroFasce = 0;
        ModoConsultazione();
        MostraPosizione();
        Command1.setEnabled(false);
    }
}

std::int16_t FrmFasceOnline::ContaFasce() {
    Data1.Refresh();
    MostraAttesa();
    std::int16_t n = 0;
    for (const HeldRecordset rs(Data1); !rs->EOF_(); ++n) {
        app_.sys.loop.doEvents();
        rs->MoveNext();
    }
    ChiudiAttesa();
    return n;
}

void FrmFasceOnline::MostraFascia(const Recordset& fascia) {
    Text5.setText(fascia.field("Nome").str());
    // Cleared first, then ticked: the tick rule opens exactly the boxes of the enabled days.
    for (int i = 0; i < 7; ++i) Check1[i].setValue(0);
    for (int i = 0; i < 7; ++i)
        if (fascia.field(CampiGiorni[static_cast<std::size_t>(i)]).toBool()) Check1[i].setValue(1);
    for (int i = 0; i < 7; ++i)
        for (int k = 0; k < 4; ++k) {
            const char* campo = CampiOrari[static_cast<std::size_t>(i * 4 + k)];
            OrariGiorno(i)[static_cast<std::size_t>(k)]->setText(fascia.field(campo).str());
        }
    Frame1.setEnabled(false);
    Frame3.setEnabled(false);
}

void FrmFasceOnline::PresentaFascia() { MostraFascia(*Data1.recordset()); }

void FrmFasceOnline::AggiornaContatore() { Label5.setCaption(Num(PosizioneFascia) + " / " + Num(NumeroFasce)); }

// The current record and its counter, or an empty window when there are no schedules.
void FrmFasceOnline::MostraPosizione() {
    if (NumeroFasce != 0) {
        PresentaFascia();
        AggiornaContatore();
        return;
    }
    PosizioneFascia = 0;
    PulisciCampiFascia();
    Label5.setCaption("0");
}

void FrmFasceOnline::PulisciCampiFascia() {
    Text5.setText("");
    for (int i = 0; i < 7; ++i) {
        for (TextBox* t : OrariGiorno(i)) t->setText("");
        Check1[i].setValue(0);
    }
    Frame1.setEnabled(false);
    Frame3.setEnabled(false);
}

void FrmFasceOnline::PreparaNuovaFascia() {
    Text5.setText("");
    for (int i = 0; i < 7; ++i) {
        Check1[i].setValue(0);
        for (TextBox* t : OrariGiorno(i)) {
            t->setText(OrarioNonImpostato);
            t->setEnabled(false);
        }
    }
    Frame1.setEnabled(true);
    Frame3.setEnabled(true);
}

void FrmFasceOnline::RiposizionaFascia() {
    Data1.Refresh();
    MostraAttesa(100);
    const HeldRecordset rs(Data1);
    for (int n = 1; n < PosizioneFasciaSalvata; ++n) {
        app_.sys.loop.doEvents();
        rs->MoveNext();
    }
    ChiudiAttesa();
}

void FrmFasceOnline::AbilitaOrari() {
    for (int i = 0; i < 7; ++i)
        for (TextBox* t : OrariGiorno(i)) t->setEnabled(true);
}

// ---- modes ----

void FrmFasceOnline::ModoModifica(const char* salva, const char* contatore) {
    Command1.setCaption("Annulla");
    Command2.setCaption(salva);
    Command2.setEnabled(true);
    for (CommandButton* c : {&Command3, &Command4, &Command5, &Command6, &Command7, &Command8}) c->setEnabled(false);
    Label5.setCaption(contatore);
    PosizioneFasciaSalvata = PosizioneFascia;
}

// Browsing: editing and deleting need a schedule to act on.
void FrmFasceOnline::ModoConsultazione() {
    Command1.setCaption("Nuovo");
    Command2.setCaption("Modifica");
    for (CommandButton* c : {&Command1, &Command4, &Command5, &Command6, &Command7, &Command8}) c->setEnabled(true);
    Command2.setEnabled(NumeroFasce != 0);
    Command3.setEnabled(NumeroFasce != 0);
}

void FrmFasceOnline::Check1_Click(int i) {
    for (TextBox* t : OrariGiorno(i)) t->setEnabled(Check1[i].Value() != 0);
}

void FrmFasceOnline::Command1_Click() {
    if (Command1.Caption() == "Nuovo") {
        ModoModifica("Salva nuovo", "Nuovo");
        PreparaNuovaFascia();
        return;
    }
    // Cancel: nothing is written; the record shown before comes back from the table.
    ModoConsultazione();
    try {
        if (NumeroFasce != 0) RiposizionaFascia();
        MostraPosizione();
    } catch (const DbError& e) {
        ChiudiAttesa();
        ErroreDatabase(e);
    }
    AbilitaOrari();
}

void FrmFasceOnline::Command2_Click() {
    if (Command2.Caption() == "Modifica") {
        ModoModifica("Salva modifica", "Modifica...");
        Frame1.setEnabled(true);
        Frame3.setEnabled(true);
        return;
    }
    if (!controllo_dati_fascia()) return;
    MostraAttesa(100);
    Salva();
    ChiudiAttesa();
}

// Writes the schedule and copies it into its cards, then shows it where it now stands. The two
// writes are one transaction: a failure leaves nothing written and the entry as typed, in its
// mode, so the operator can save it again; no card is left with a copy of a schedule that the
// table does not hold.
void FrmFasceOnline::Salva() {
    const bool nuova = Command2.Caption() == "Salva nuovo";
    try {
        Database& db = Data1.database();
        Transaction t(db);
        SalvaFascia();
        AggiornaCarteFascia(db);
        t.commit();
    } catch (const DbError& e) {
        ChiudiAttesa();
        ErroreDatabase(e);
        return;
    }
    try {
        if (nuova) {
            ++NumeroFasce;
            PosizioneFascia = NumeroFasce;
            Data1.Refresh();
            Data1.recordset()->MoveLast();
        } else {
            PosizioneFascia = PosizioneFasciaSalvata;
            RiposizionaFascia();
        }
        PresentaFascia();
    } catch (const DbError& e) {
        ChiudiAttesa();
        ErroreDatabase(e);
    }
    AggiornaContatore();
    ModoConsultazione();
    AbilitaOrari();
}

// The schedule and its removal from the cards go together, or neither does.
void FrmFasceOnline::Command3_Click() {
    const int risposta =
        app_.MsgBox("Sei sicuro di voler cancellare questa fascia oraria ?", mb::YesNo | mb::Question, "Domanda");
    const std::string nome = Text5.Text();
    if (risposta != mb::Yes) return;
    MostraAttesa(100);
    HeldRecordset fascia;
    long posizione = -1;
    try {
        Database& db = Data1.database();
        fascia = HeldRecordset(Data1);
        posizione = fascia->AbsolutePosition();
        Transaction t(db);
        fascia->Delete();
        TogliFasciaCarte(db, nome);
        t.commit();
    } catch (const DbError& e) {
        ChiudiAttesa();
        ErroreDatabase(e);
        // Rolled back: the schedule shown is there again, and current again.
        if (fascia && posizione >= 0) fascia->setAbsolutePosition(posizione);
        return;
    }
    try {
        --NumeroFasce;
        Data1.Refresh();
    } catch (const DbError& e) {
        ChiudiAttesa();
        ErroreDatabase(e);
    }
    ModoConsultazione();
    PosizioneFascia = 1;  // the first record is current after the refresh
    MostraPosizione();
    ChiudiAttesa();
}

void FrmFasceOnline::Command4_Click() {
    Unload();
    if (app_.FasceDaCarte) {
        Form& carte = app_.form("FrmCardsAbil");
        carte.setEnabled(true);
        carte.Show();
    } else {
        app_.form("FrmFunzAgg").Show();
    }
}

void FrmFasceOnline::Form_QueryClose() {
    if (Command4.effectivelyEnabled()) Command4_Click();
}

// ---- navigation ----

void FrmFasceOnline::Vai(bool possibile, void (Recordset::*mossa)(), std::int16_t posizione) {
    if (NumeroFasce <= 0 || !possibile) return;
    ((*Data1.recordset()).*mossa)();
    PresentaFascia();
    PosizioneFascia = posizione;
    AggiornaContatore();
}

void FrmFasceOnline::Command5_Click() { Vai(PosizioneFascia > 1, &Recordset::MoveFirst, 1); }
void FrmFasceOnline::Command6_Click() {
    Vai(PosizioneFascia > 1, &Recordset::MovePrevious, static_cast<std::int16_t>(PosizioneFascia - 1));
}
void FrmFasceOnline::Command7_Click() {
    Vai(PosizioneFascia < NumeroFasce, &Recordset::MoveNext, static_cast<std::int16_t>(PosizioneFascia + 1));
}
void FrmFasceOnline::Command8_Click() { Vai(PosizioneFascia < NumeroFasce, &Recordset::MoveLast, NumeroFasce); }

// ---- validation, save and propagation ----

bool FrmFasceOnline::controllo_dati_fascia() {
    auto avviso = [this](const char* testo) { app_.MsgBox(testo, mb::Exclamation, "Attenzione"); };
    if (Text5.Text().empty()) {
        avviso("Bisogna riempire il campo NOME.");
        return false;
    }
    // Every time of every day, ticked or not, before any band order.
    for (int i = 0; i < 7; ++i) {
        bool valido = true;
        for (TextBox* t : OrariGiorno(i)) valido = controllo_orario(app_, t->Text()) && valido;
        if (!valido) {
            avviso(ControllareGiorno[i]);
            return false;
        }
    }
    for (int i = 0; i < 7; ++i) {
        bool valido = controllo_fascia(app_, Text3[i].Text(), Text4[i].Text());
        valido = controllo_fascia(app_, text1[i].Text(), Text2[i].Text()) && valido;
        if (!valido) {
            avviso(ControllareGiorno[i]);
            return false;
        }
    }
    return true;
}

void FrmFasceOnline::SalvaFascia() {
    Recordset& rs = *Data1.recordset();
    if (Command2.Caption() == "Salva nuovo") {
        rs.AddNew();
        rs.setField("Quanti", Value(0));
    } else {
        rs.Edit();
    }
    try {
        rs.setField("Nome", Value(Text5.Text()));
        const std::array<bool, 7> giorni = Giorni();
        const std::array<std::string, 28> orari = Orari();
        for (std::size_t i = 0; i < giorni.size(); ++i) rs.setField(CampiGiorni[i], Value(giorni[i]));
        for (std::size_t k = 0; k < orari.size(); ++k) rs.setField(CampiOrari[k], Value(orari[k]));
        rs.Update();
    } catch (const DbError&) {
        rs.CancelUpdate();
        throw;
    }
}

// One statement for all the cards of the schedule: the same end state as updating them one by
// one, and all of them or none. Written through the connection of the schedule's own write, so
// that both are one transaction.
void FrmFasceOnline::AggiornaCarteFascia(Database& db) {
    Data2.Refresh();
    db.execute("UPDATE Carte SET " + CopiaNellaCarta(Giorni(), Orari()) + CarteDellaFascia(Text5.Text()));
}

void FrmFasceOnline::TogliFasciaCarte(Database& db, const std::string& nome) {
    Data2.Refresh();
    std::array<std::string, 28> nonImpostati;
    nonImpostati.fill(OrarioNonImpostato);
    db.execute("UPDATE Carte SET " + CopiaNellaCarta({}, nonImpostati) + ", Flag_fasce = 0, NomeFascia = ''" +
               CarteDellaFascia(nome));
}

// ---- wait window ----

// The operator's input to this window is ignored while the wait window is up, so a second
// click cannot start a second save or delete in the middle of the first.
void FrmFasceOnline::MostraAttesa(int cedimenti) {
    app_.form("FrmWait").Show();
    setEnabled(false);
    for (int n = 0; n < cedimenti; ++n) app_.sys.loop.doEvents();
}

void FrmFasceOnline::ChiudiAttesa() {
    if (app_.isLoaded("FrmWait")) app_.form("FrmWait").Unload();
    setEnabled(true);
}

void FrmFasceOnline::ErroreDatabase(const DbError& e) {
    app_.MsgBox(std::string("Errore del database: ") + e.what(), mb::Critical, "Errore");
}

}  // namespace vc
