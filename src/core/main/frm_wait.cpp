#include "core/main/frm_wait.h"

#include "platform/layout.h"

namespace vc {

namespace {

// Without a run the window is the label alone; a run adds its progress and "Annulla" below it.
constexpr Geometry Sola{0, 0, 360, 90}, ConCorsa{0, 0, 360, 176};

}  // namespace

FrmWait::FrmWait(App& app) : Form(app, kName) {
    geometry = Sola;
    layOut({
        {Label1, "    ATTENDERE  PREGO ", {10, 15, 340, 60}},
        {Label2, {10, 82, 340, 38}},
        {Command1, "Annulla", {125, 128, 110, 36}},
    });
    Label1.setForeColor(colour::Yellow);
    Label1.setBackColor(colour::Red);
    Label1.opaque = true;
    Label1.alignment = 2;
    Label1.fontSize = 16;
    Label1.bold = true;
    Label2.alignment = 2;
    Label2.setVisible(false);
    Command1.setVisible(false);
    wire(*this, {
        {Command1.Click, &FrmWait::Command1_Click},
    });
}

void FrmWait::Segui(CorsaInterrompibile* corsa) {
    if (corsa_ == corsa) return;
    corsa_ = corsa;
    geometry = corsa ? ConCorsa : Sola;
    Label2.setVisible(corsa != nullptr);
    Command1.setVisible(corsa != nullptr);
    Command1.setEnabled(corsa && !corsa->fermata());
    notify(nullptr);
}

// Pressed once: the run stops at its next step.
void FrmWait::Command1_Click() {
    if (!corsa_) return;
    corsa_->ferma();
    Command1.setEnabled(false);
}

void FrmWait::Form_QueryClose() {
    if (corsa_)
        Command1_Click();
    else
        Unload();
}

CorsaInterrompibile::CorsaInterrompibile(App& app) : app_(app) { attesa(); }

CorsaInterrompibile::~CorsaInterrompibile() { chiudi(); }

FrmWait& CorsaInterrompibile::attesa() {
    auto& w = app_.form<FrmWait>();
    w.Segui(this);
    if (!w.Visible()) w.Show();
    return w;
}

void CorsaInterrompibile::avanzamento(const std::string& testo) {
    if (!chiusa_) attesa().Label2.setCaption(testo);
}

void CorsaInterrompibile::chiudi() {
    if (chiusa_) return;
    chiusa_ = true;
    if (app_.isLoaded(FrmWait::kName)) app_.form<FrmWait>().Unload();
}

}  // namespace vc
