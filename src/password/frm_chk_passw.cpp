#include "password/frm_chk_passw.h"

#include "common/text.h"
#include "password/password_file.h"
#include "platform/layout.h"
#include "platform/profile.h"
#include "platform/safe_file.h"

namespace vc {

FrmChkPassw::FrmChkPassw(App& app) : Form(app, kName), app_(app) {
    setCaption("Varcanto - password");
    geometry = {0, 0, 300, 150};
    layOut({
        {Frame1, "Inserisci la password", {12, 10, 276, 70}},
        {text1, {14, 28, 248, 26}, 16},
        {Command1, "Ok", {100, 94, 100, 36}, defaultButton},
    });
    text1.PasswordChar = "*";
    wire(*this, {
        {Command1.Click, &FrmChkPassw::Command1_Click},
    });
    text1.KeyPress = [this](int& key) {
        if (key != key::Return) return;
        key = 0;
        Command1_Click();
    };
}

void FrmChkPassw::Form_Load() {
    // A file that cannot be read holds no password: the check below fails and ends the program,
    // after the operator is told what is wrong with the file.
    const std::string file = app_.file("pswaccessi.txt");
    if (const std::optional<std::string> motivo = profile::problem(file))
        app_.MsgBox(safe_file::unreadable(file, *motivo), mb::Critical, "Errore");
    const std::string valore = LeggiPassword(file);
    if (valore == std::string(InizioPassword) + FinePassword) {
        app_.PasswordPresente = false;
        app_.PasswordCorrente = "";
        app_.AccessoConsentito = true;
        return;
    }
    app_.AccessoConsentito = false;
    app_.PasswordCorrente = DecodificaPassword(app_, valore);
    Tentativi = 0;
}

void FrmChkPassw::Form_Activate() {
    if (app_.AccessoConsentito) Unload();
}

void FrmChkPassw::Command1_Click() {
    if (text1.Text() == app_.PasswordCorrente) {
        app_.PasswordPresente = true;
        app_.AccessoConsentito = true;
        Unload();
        return;
    }
    ++Tentativi;
    if (Tentativi < 3) {
        app_.MsgBox("Password sbagliata. " + Num(3 - Tentativi) + " tentativi rimasti.", mb::Critical, "Attenzione");
        text1.setText("");
        return;
    }
    app_.MsgBox("Password sbagliata.", mb::Critical, "Attenzione");
    text1.setText("");
    app_.AccessoConsentito = false;
    Unload();
}

}  // namespace vc
