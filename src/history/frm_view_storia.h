#pragma once
// The history window: the transit log filtered by period, badge, kind and direction, shown in a
// grid and copied into the report database's TEMP, which its printout and the attendance read.
// It also deletes the transits of a period and computes the attendance times.

#include "core/app.h"
#include "history/presenze.h"

namespace vc {

class FrmViewStoria final : public Form {
public:
    static constexpr const char* kName = "FrmViewStoria";
    explicit FrmViewStoria(App& app);

    Frame Frame1{*this, "Frame1"};
    ControlArray<OptionButton, 3> OptInteraParziale{*this, "OptInteraParziale", &Frame1};
    CommandButton CmdCambiaPeriodo{*this, "CmdCambiaPeriodo", &Frame1};
    Frame FrameSelezioneDate{*this, "FrameSelezioneDate"};
    Label Label1{*this, "Label1", &FrameSelezioneDate};
    TextBox TxtDataIniziale{*this, "TxtDataIniziale", &FrameSelezioneDate};
    Label Label2{*this, "Label2", &FrameSelezioneDate};
    TextBox TxtDataFinale{*this, "TxtDataFinale", &FrameSelezioneDate};
    Frame Frame2{*this, "Frame2"};
    ControlArray<OptionButton, 2> OptSelSocio{*this, "OptSelSocio", &Frame2};
    Label LblNumeroBadge{*this, "LblNumeroBadge", &Frame2};
    TextBox TxtNumeroBadge{*this, "TxtNumeroBadge", &Frame2};
    Frame Frame3{*this, "Frame3"};
    CheckBox ChkPassaggi{*this, "ChkPassaggi", &Frame3};
    CheckBox ChkRifiuti{*this, "ChkRifiuti", &Frame3};
    CheckBox ChkOnLine{*this, "ChkOnLine", &Frame3};
    CheckBox ChkOffLine{*this, "ChkOffLine", &Frame3};
    CheckBox ChkIngressi{*this, "ChkIngressi", &Frame3};
    CheckBox ChkUscite{*this, "ChkUscite", &Frame3};
    CommandButton CmdPresenta{*this, "CmdPresenta"};
    CommandButton CmdDelStorico{*this, "CmdDelStorico"};
    CommandButton CmdStampa{*this, "CmdStampa"};
    CommandButton CmdCalcolaTempiPresenze{*this, "CmdCalcolaTempiPresenze"};
    CommandButton CmdEsci{*this, "CmdEsci"};
    Label Label3{*this, "Label3"};
    Data Data1{*this, "Data1"};
    Data Data2{*this, "Data2"};
    Data DataPresenze{*this, "DataPresenze"};
    DataGrid DBGrid1{*this, "DBGrid1", Data1};
    Report Report1{*this, "Report1"};

    // The period, as day numbers, both ends included.
    long DataIniziale = 0;
    long DataFinale = 0;
    bool StoriaCompleta = false;  // no period: the whole log
    bool BadgeSingolo = false;    // only the badge typed in TxtNumeroBadge

    // Builds and runs the history query and refills TEMP with its rows.
    void PresentaStoria();
    // Deletes every transit of the period (or all of them), after asking.
    void CancellaStoria();
    // True for an empty text or a date text the window accepts.
    bool ControllaData(const std::string& data) const;
    // Appends one attendance interval to presenze.
    void ScriviPresenza(const Presenza& p);

    void OptInteraParziale_Click(int index);
    void OptSelSocio_Click(int index);
    void CmdCambiaPeriodo_Click();
    void CmdPresenta_Click();
    void CmdDelStorico_Click();
    void CmdStampa_Click();
    void CmdCalcolaTempiPresenze_Click();
    void CmdEsci_Click();
    void TxtNumeroBadge_Change();
    void TxtNumeroBadge_KeyPress(int& keyAscii);
    void TxtNumeroBadge_LostFocus();

protected:
    void Form_Load() override;

private:
    void Disponi();
    void MostraPeriodo(bool visibile);
    bool LeggiDate();
    std::string Badge() const;
    std::string CondizionePeriodo() const;
    bool AggiungiCondizioni(std::string& q);
    void IndiceGiorni();
    void CopiaInTemp(const std::string& criterio);
    void ConRapporto(const std::function<void(Database&)>& lavoro);
    void Occupato(bool occupato);
    void Stampa(const std::string& modello, const std::string& titolo);
    // Runs a query or a deletion; a database failure is told, leaves the window usable and gives
    // false.
    bool SuDatabase(const std::function<void()>& lavoro);

    App& app_;
    bool clessidra_ = false;  // the hourglass: a query or a deletion is running
    bool indiceGiorni_ = false;
};

}  // namespace vc
