#include "history/frm_view_storia.h"

#include "common/text.h"
#include "common/val.h"
#include "history/date_storia.h"
#include "platform/layout.h"

namespace vc {

namespace {

const std::string kBase =
    "SELECT Cognome, Nome, NumeroBadge, Data, Ora, PosizioneLettore,verso, nota, passaggio FROM transiti ";
constexpr const char* kScriviPresenza =
    "INSERT INTO presenze (cognome, nome, numerobadge, mancaingresso, mancauscita, dataingresso, sdataingresso, "
    "dataUscita, sdataUscita, numeroore, numerominuti) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)";
// The history query's rows as TEMP keeps them, for the same criteria and order as the query.
const std::string kCopia =
    "INSERT INTO rapporto.TEMP (Cognome, Nome, Ora, NumeroBadge, Data, causale, nota, verso, dataora, passaggio) "
    "SELECT Cognome, Nome, Ora, NumeroBadge, Data, PosizioneLettore, nota, verso, DATAORA(Data, Ora), SINO(passaggio) "
    "FROM transiti ";

// What a mix of the kind boxes (1000 Passaggi, 100 Rifiuti, 10 OnLine, 1 OffLine) asks for: a
// condition, a message, and whether the message stops the query.
struct Tipo {
    const char* condizione = nullptr;
    const char* messaggio = nullptr;
    bool ferma = false;
};

Tipo TipoDi(int codice) {
    constexpr const char* kModalita = "Occorre almeno una selezione tra online e offline";
    // Off-line records are downloaded passages only: no refusal is ever among them.
    constexpr const char* kRifiutiOffLine =
        "Combinazione selezioni non valida. Nell' offline non sono registrati i rifiuti";
    switch (codice) {
    case 110: return {"  (nota <> 'OffLine') and  (Passaggio = false)"};
    case 1001: return {"nota = 'OffLine'"};
    case 1010: return {" (nota <> 'OffLine') and  (Passaggio = true)"};
    case 1011: return {"   (Passaggio = true)"};
    case 1110: return {"nota <> 'OffLine'"};
    case 1111: return {nullptr, "Attenzione ! Nell'offline non sono registrati i rifiuti"};
    case 100:
    case 1000:
    case 1100: return {nullptr, kModalita, true};
    case 101:
    case 111:
    case 1101: return {nullptr, kRifiutiOffLine, true};
    default: return {nullptr, "Occorre almeno una selezione tra Passaggi e Rifiuti", true};
    }
}

// Appends a condition, opening the WHERE clause or joining the one already there.
void Aggiungi(std::string& q, const std::string& condizione) {
    q += (q.find("WHERE") != std::string::npos ? " AND " : " WHERE ") + condizione;
}

}  // namespace

FrmViewStoria::FrmViewStoria(App& app) : Form(app, kName), app_(app) {
    Disponi();
    for (int i = 0; i < OptInteraParziale.size(); ++i)
        OptInteraParziale[i].Click = [this, i] { OptInteraParziale_Click(i); };
    for (int i = 0; i < OptSelSocio.size(); ++i) OptSelSocio[i].Click = [this, i] { OptSelSocio_Click(i); };
    wire(*this, {
        {CmdCambiaPeriodo.Click, &FrmViewStoria::CmdCambiaPeriodo_Click},
        {CmdPresenta.Click, &FrmViewStoria::CmdPresenta_Click},
        {CmdDelStorico.Click, &FrmViewStoria::CmdDelStorico_Click},
        {CmdStampa.Click, &FrmViewStoria::CmdStampa_Click},
        {CmdCalcolaTempiPresenze.Click, &FrmViewStoria::CmdCalcolaTempiPresenze_Click},
        {CmdEsci.Click, &FrmViewStoria::CmdEsci_Click},
        // Every kind box runs the query again.
        {ChkPassaggi.Click, &FrmViewStoria::CmdPresenta_Click},
        {ChkRifiuti.Click, &FrmViewStoria::CmdPresenta_Click},
        {ChkOnLine.Click, &FrmViewStoria::CmdPresenta_Click},
        {ChkOffLine.Click, &FrmViewStoria::CmdPresenta_Click},
        {ChkIngressi.Click, &FrmViewStoria::CmdPresenta_Click},
        {ChkUscite.Click, &FrmViewStoria::CmdPresenta_Click},
        {TxtNumeroBadge.Change, &FrmViewStoria::TxtNumeroBadge_Change},
        {TxtNumeroBadge.LostFocus, &FrmViewStoria::TxtNumeroBadge_LostFocus},
    });
    TxtNumeroBadge.KeyPress = [this](int& k) { TxtNumeroBadge_KeyPress(k); };
}

// Runs before the handlers are wired, so the initial boxes run no query.
void FrmViewStoria::Disponi() {
    setCaption("Storico");
    geometry = {0, 0, 1000, 650};
    layOut({
        {Frame1, "Periodo", {10, 10, 240, 140}},
        {CmdCambiaPeriodo, "CambiaPeriodo", {12, 100, 140, 28}},

        {FrameSelezioneDate, "Selezione date", {260, 10, 240, 100}},
        {Label1, "Data Iniziale", {12, 28, 100, 20}},
        {TxtDataIniziale, {116, 26, 110, 22}},
        {Label2, "Data Finale", {12, 62, 100, 20}},
        {TxtDataFinale, {116, 60, 110, 22}},

        {Frame2, "Badge", {510, 10, 220, 140}},
        {LblNumeroBadge, "Numero Badge", {12, 84, 100, 20}},
        {TxtNumeroBadge, {116, 82, 80, 22}},

        {Frame3, "Selezione", {740, 10, 250, 140}},
        {ChkPassaggi, "Passaggi", {12, 22, 110, 22}},
        {ChkRifiuti, "Rifiuti", {130, 22, 110, 22}},
        {ChkOnLine, "OnLine ", {12, 56, 110, 22}},
        {ChkOffLine, "OffLine", {130, 56, 110, 22}},
        {ChkIngressi, "In Ingresso", {12, 90, 110, 22}},
        {ChkUscite, "In Uscita", {130, 90, 110, 22}},

        {DBGrid1, {10, 160, 980, 400}},
        {Label3, "Records trovati : 0", {10, 568, 300, 22}},

        {CmdPresenta, "Cerca", {10, 600, 120, 34}},
        {CmdDelStorico, "Cancella storico", {140, 600, 150, 34}},
        {CmdStampa, "Stampa", {300, 600, 120, 34}},
        {CmdCalcolaTempiPresenze, "Tempi Presenza", {430, 600, 150, 34}},
        {CmdEsci, "Esci", {870, 600, 120, 34}},
    });
    const char* periodi[] = {"Solo Storia Odierna", "Storia Parziale", "Storia Completa"};
    for (int i = 0; i < OptInteraParziale.size(); ++i) {
        OptInteraParziale[i].setCaption(periodi[i]);
        OptInteraParziale[i].place(12, 22 + i * 24, 200, 22);
    }
    const char* badge[] = {"Tutti i badge", "Badge Singolo"};
    for (int i = 0; i < OptSelSocio.size(); ++i) {
        OptSelSocio[i].setCaption(badge[i]);
        OptSelSocio[i].place(12, 22 + i * 24, 190, 22);
    }
    // Every kind but the off-line records is shown at first.
    for (CheckBox* c : {&ChkPassaggi, &ChkRifiuti, &ChkOnLine, &ChkIngressi, &ChkUscite}) c->setValue(1);
    // The least widths of the first eight columns; every column widens to its heading and its rows.
    DBGrid1.columnWidths = {120, 113, 83, 77, 57, 91, 67, 153};
    CmdCalcolaTempiPresenze.setVisible(false);
    for (Data* d : {&Data1, &Data2, &DataPresenze}) d->setVisible(false);
    Report1.setVisible(false);
}

void FrmViewStoria::Form_Load() {
    const std::string oggi = app_.sys.clock.now().dateText();
    TxtDataFinale.setText(oggi);
    TxtDataIniziale.setText(oggi);
    Data1.DatabaseName = app_.PercorsoDb;
    Data2.DatabaseName = app_.PercorsoDbReport;
    Data2.RecordSource = "temp";
    DataPresenze.DatabaseName = app_.PercorsoDbReport;
    OptInteraParziale[0].setValue(true);
    OptSelSocio[0].setValue(true);
}

// ---- period and badge ----------------------------------------------------------------------

void FrmViewStoria::MostraPeriodo(bool visibile) {
    FrameSelezioneDate.setVisible(visibile);
    CmdCambiaPeriodo.setVisible(visibile);
}

void FrmViewStoria::OptInteraParziale_Click(int index) {
    switch (index) {
    case 0: {
        const DateTime oggi = app_.sys.clock.now();
        StoriaCompleta = false;
        DataIniziale = DataFinale = NumeroGiorno(oggi.year, oggi.month, oggi.day);
        MostraPeriodo(false);
        PresentaStoria();
        break;
    }
    case 1:
        StoriaCompleta = false;
        MostraPeriodo(true);
        CmdCambiaPeriodo_Click();
        break;
    case 2:
        StoriaCompleta = true;
        MostraPeriodo(false);
        PresentaStoria();
        break;
    }
}

void FrmViewStoria::CmdCambiaPeriodo_Click() {
    StoriaCompleta = false;
    MostraPeriodo(true);
    DBGrid1.setVisible(false);
    setCaption(std::string(10, ' '));
    Label3.setCaption("Records trovati : 0");
}

void FrmViewStoria::OptSelSocio_Click(int index) {
    BadgeSingolo = index == 1;
    LblNumeroBadge.setVisible(BadgeSingolo);
    TxtNumeroBadge.setVisible(BadgeSingolo);
    CmdPresenta_Click();
}

void FrmViewStoria::TxtNumeroBadge_Change() {
    DBGrid1.setVisible(false);
    setCaption(std::string(4, ' '));
}

void FrmViewStoria::TxtNumeroBadge_LostFocus() { CmdPresenta_Click(); }

void FrmViewStoria::TxtNumeroBadge_KeyPress(int& keyAscii) {
    if (keyAscii == key::Return) CmdPresenta_Click();
}

// The typed badge as the cards store it: four characters, zero-padded, the last four kept.
std::string FrmViewStoria::Badge() const { return Right("0000" + TxtNumeroBadge.Text(), 4); }

bool FrmViewStoria::ControllaData(const std::string& data) const {
    if (data.empty()) return true;
    const auto barra = data.find('/');
    if (barra == std::string::npos) return false;
    const auto seconda = data.find('/', barra + 1);
    const double mese = Val(data.substr(barra + 1, seconda == std::string::npos ? seconda : seconda - barra - 1));
    if (mese < 1 || mese > 12) return false;
    return ConvertiData(data, app_.sys.clock.now().year).has_value();
}

// The period typed in the date fields; the first field in error is told and gives false.
bool FrmViewStoria::LeggiDate() {
    const std::string inizio = TxtDataIniziale.Text(), fine = TxtDataFinale.Text();
    if (inizio.empty() || !ControllaData(inizio)) {
        app_.MsgBox("Data iniziale non valida");
        return false;
    }
    if (fine.empty() || !ControllaData(fine)) {
        app_.MsgBox("Data finale non valida");
        return false;
    }
    const int anno = app_.sys.clock.now().year;
    DataIniziale = *ConvertiData(inizio, anno);
    DataFinale = *ConvertiData(fine, anno);
    if (DataIniziale > DataFinale) {
        app_.MsgBox("La data finale non può essere antecedente alla finale");
        return false;
    }
    return true;
}

std::string FrmViewStoria::CondizionePeriodo() const {
    return " (cdbl(CDATE(Data)) >= " + Num(DataIniziale) + ") AND ( cdbl(CDATE(Data)) <= " + Num(DataFinale) + ")";
}

// ---- the query ---------------------------------------------------------------------------------

void FrmViewStoria::CmdPresenta_Click() {
    if (FrameSelezioneDate.Visible()) {
        if (!LeggiDate()) return;
        FrameSelezioneDate.setVisible(false);
    }
    PresentaStoria();
}

void FrmViewStoria::PresentaStoria() {
    SuDatabase([this] {
        setCaption("Aggiornamento in corso");
        FormBusy occupata(*this);
        Data1.RecordSource = kBase + " where verso ='AAAAAAAAAAAAAAAA' ";
        Data1.Refresh();
        DBGrid1.Refresh();
        IndiceGiorni();
        std::string criterio;
        if (BadgeSingolo) criterio += " WHERE (numerobadge = " + sqlQuote(Badge()) + ")";
        if (!StoriaCompleta) criterio += (BadgeSingolo ? " AND " : " WHERE") + CondizionePeriodo();
        if (!AggiungiCondizioni(criterio)) return;
        Occupato(true);
        criterio += " ORDER BY cdbl(cdate(Data)) ASC, Ora ASC, indice";
        Data1.RecordSource = kBase + criterio;
        Data2.Refresh();
        Data1.Refresh();
        CopiaInTemp(criterio);
        Recordset& rs = *Data1.recordset();
        if (rs.RecordCount() > 0) rs.MoveFirst();
        Data2.Refresh();
        DBGrid1.Refresh();
        Label3.setCaption("Records trovati : " + Num(rs.RecordCount()));
        std::string titolo = StoriaCompleta ? "Storico totale"
                                            : "Storico del periodo " + TestoData(DataIniziale) + " - " +
                                                  TestoData(DataFinale);
        if (BadgeSingolo) titolo += " Badge " + Badge();
        setCaption(titolo);
        DBGrid1.setVisible(true);
        Occupato(false);
    });
}

// The history's period criterion and order read the day of each transit through this index;
// a site made before it gets it the first time its history is shown.
void FrmViewStoria::IndiceGiorni() {
    // Without it the history is only slower: a database that cannot take it now is asked again.
    if (!indiceGiorni_)
        indiceGiorni_ = Data1.database().tryExecute("CREATE INDEX IF NOT EXISTS transiti_Giorno ON transiti (" +
                                                    dateSerialSql("Data") + ", Ora COLLATE NOCASE)");
}

// The kind and direction conditions from the check boxes; a mix that selects nothing is told and
// gives false.
bool FrmViewStoria::AggiungiCondizioni(std::string& q) {
    const int tipo = 1000 * ChkPassaggi.checked() + 100 * ChkRifiuti.checked() + 10 * ChkOnLine.checked() +
                     ChkOffLine.checked();
    const int verso = ChkIngressi.checked() + 10 * ChkUscite.checked();
    CmdCalcolaTempiPresenze.setVisible(true);
    if (verso == 0) {
        app_.MsgBox("Occorre almeno una selezione tra Ingressi ed Uscite");
        return false;
    }
    const Tipo t = TipoDi(tipo);
    if (t.messaggio) app_.MsgBox(t.messaggio);
    if (t.ferma) {
        Occupato(false);
        return false;
    }
    if (t.condizione) Aggiungi(q, t.condizione);
    if (verso == 1) Aggiungi(q, "(verso = 'In' or verso  = 'InOut')");
    if (verso == 10) Aggiungi(q, "(verso = 'Out' or verso  = 'InOut')");
    return true;
}

// TEMP becomes a copy of the rows the query finds, by the same criteria and in the same order,
// all in one statement; a failure leaves the previous copy.
void FrmViewStoria::CopiaInTemp(const std::string& criterio) {
    Database& db = Data1.database();
    db.define("DATAORA", 2, [](const std::vector<Value>& a) {
        const auto dataOra = DataOra(a[0].str(), a[1].str());
        return dataOra ? Value(*dataOra) : Value();
    });
    db.define("SINO", 1, [](const std::vector<Value>& a) { return Value(a[0].toBool()); });
    ConRapporto([&criterio](Database& d) {
        d.execute("DELETE FROM rapporto.TEMP");
        d.execute(kCopia + criterio);
    });
}

// Runs 'lavoro' on the site database with the report database attached as "rapporto", in one
// transaction: TEMP and the transits it copies change together or not at all. The transaction
// writes only what 'lavoro' writes, so the poll engine keeps logging while TEMP is refilled.
void FrmViewStoria::ConRapporto(const std::function<void(Database&)>& lavoro) {
    Database& db = Data1.database();
    db.execute("ATTACH DATABASE " + sqlQuote(Data2.DatabaseName) + " AS rapporto");
    try {
        // The report database is a scratch copy made afresh at every start: a refill does not
        // wait for the disk, and a large one is not written out page by page before it ends.
        db.execute("PRAGMA rapporto.synchronous = OFF; PRAGMA rapporto.cache_size = -65536");
        db.execute("BEGIN");
        lavoro(db);
        db.execute("COMMIT");
    } catch (...) {
        db.tryExecute("ROLLBACK");
        db.tryExecute("DETACH DATABASE rapporto");
        throw;
    }
    db.execute("DETACH DATABASE rapporto");
}

void FrmViewStoria::Occupato(bool occupato) {
    clessidra_ = occupato;
    app_.sys.dialogs.setBusyPointer(occupato);
}

bool FrmViewStoria::SuDatabase(const std::function<void()>& lavoro) {
    try {
        lavoro();
        return true;
    } catch (const DbError& e) {
        Occupato(false);
        app_.MsgBox(std::string("Errore nell'accesso all'archivio: ") + e.what(), mb::Critical, "Errore");
        return false;
    }
}

// ---- deletion ----------------------------------------------------------------------------------

void FrmViewStoria::CmdDelStorico_Click() {
    if (!SuDatabase([this] { Data1.Refresh(); })) return;
    CancellaStoria();
}

void FrmViewStoria::CancellaStoria() {
    setCaption("Cancellazione in corso");
    if (FrameSelezioneDate.Visible()) {
        if (!LeggiDate()) return;
        FrameSelezioneDate.setVisible(false);
    }
    const std::string domanda = StoriaCompleta ? "Cancellare complertamente storico ?"
                                               : "Cancellare storico da " + TestoData(DataIniziale) + " a " +
                                                     TestoData(DataFinale) + " ?";
    if (app_.MsgBox(domanda, mb::YesNo) != mb::Yes) {
        app_.MsgBox("Cancellazione annullata ");
        return;
    }
    FormBusy occupata(*this);
    Occupato(true);
    // Only the period limits the deletion: every badge, kind and direction of it goes. TEMP is
    // emptied with it, so printing and attendance never read transits that are gone.
    try {
        Data2.Refresh();
        ConRapporto([this](Database& db) {
            db.execute("DELETE FROM rapporto.TEMP");
            db.execute("delete * FROM transiti " + (StoriaCompleta ? "" : " WHERE" + CondizionePeriodo()));
        });
    } catch (const DbError& e) {
        Occupato(false);
        app_.MsgBox(std::string("Cancellazione non eseguita: nessun transito è stato cancellato e i dati da stampare "
                                "sono quelli di prima (") +
                        e.what() + ")",
                    mb::Critical, "Errore");
        return;
    }
    const bool aggiornato = SuDatabase([this] {
        Data1.Refresh();
        Data2.Refresh();
        DBGrid1.Refresh();
    });
    if (!aggiornato) return;
    // What is left is shown whole, even when the whole log was already the choice.
    if (OptInteraParziale[2].Value())
        OptInteraParziale_Click(2);
    else
        OptInteraParziale[2].setValue(true);
    Occupato(false);
}

// ---- printing and closing ----------------------------------------------------------------------

void FrmViewStoria::Stampa(const std::string& modello, const std::string& titolo) {
    try {
        Report1.DataFiles[0] = app_.PercorsoDbReport;
        Report1.WindowTitle = Caption();
        Report1.ReportFileName = app_.file(modello);
        Report1.Formulas[0] = "Titolo = \"" + titolo + "\"";
        Report1.Destination = 0;
        Report1.setAction(1);
    } catch (const ReportError& e) {
        app_.MsgBox("Errore nella produzione del report " + Num(e.number) + " " + e.what(), mb::Exclamation,
                    "Attenzione");
    }
}

void FrmViewStoria::CmdStampa_Click() {
    if (clessidra_) return;
    Stampa("giornata1new.rpt", Caption());
}

void FrmViewStoria::CmdEsci_Click() {
    if (!clessidra_) Unload();
}

// ---- attendance --------------------------------------------------------------------------------

void FrmViewStoria::CmdCalcolaTempiPresenze_Click() {
    bool inOut = false;
    const bool calcolato = SuDatabase([this, &inOut] {
        DataPresenze.RecordSource = "presenze";
        DataPresenze.Refresh();
        Database& report = DataPresenze.database();
        report.execute("PRAGMA synchronous = OFF");  // a scratch copy, made afresh at every start
        report.execute("PRAGMA cache_size = -65536");  // the new presenze stays in memory until the commit
        Transaction t(report);
        report.execute("delete * from presenze");
        DataPresenze.Refresh();
        const Accoppiamento a = AccoppiaTransiti(TransitiPresenza(report));
        for (const Presenza& p : a.presenze) ScriviPresenza(p);
        t.commit();
        inOut = a.passaggiInOut;
    });
    if (!calcolato) return;
    if (inOut)
        app_.MsgBox(
            "Riscontrati passaggi da tornelli Inout. Sono stati considerati come non avvenuti. I dati di presenza "
            "potranno risultare non corretti");
    Stampa("presenze.rpt", Caption() + " Tempi presenza   ");
}

// A missing entry or exit has no date and its text is a row of "=" instead; the time is there only
// when both ends are.
void FrmViewStoria::ScriviPresenza(const Presenza& p) {
    static const std::string kMancante(17, '=');
    auto data = [](bool manca, double dataOra) { return manca ? Value() : Value(dataOra); };
    auto testo = [](bool manca, double dataOra) { return Value(manca ? kMancante : TestoDataOra(dataOra)); };
    Value ore, minuti;
    if (!p.mancaIngresso && !p.mancaUscita) {
        const std::int64_t durata = MinutiTra(p.dataOraIn, p.dataOraOut);
        ore = Value(durata / 60);
        minuti = Value(durata % 60);
    }
    DataPresenze.database().executeWith(
        kScriviPresenza,
        {Value(p.cognome), Value(p.nome), Value(p.badge), Value(p.mancaIngresso), Value(p.mancaUscita),
         data(p.mancaIngresso, p.dataOraIn), testo(p.mancaIngresso, p.dataOraIn), data(p.mancaUscita, p.dataOraOut),
         testo(p.mancaUscita, p.dataOraOut), ore, minuti});
}

}  // namespace vc
