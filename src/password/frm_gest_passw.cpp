#include "password/frm_gest_passw.h"

#include <initializer_list>

#include "common/site_folder.h"
#include "password/password_file.h"
#include "platform/layout.h"
#include "platform/profile.h"

namespace vc {

namespace {

// Window sizes are given in twips, 15 to a pixel.
constexpr int px(int twips) { return twips / 15; }

void preparaCasella(TextBox& box) {
    box.MaxLength = 16;
    box.PasswordChar = "*";
    box.setEnabled(false);
    box.setLocked(true);
}

void abilitaCasella(TextBox& box) {
    box.setEnabled(true);
    box.setLocked(false);
}

}  // namespace

FrmGestPassw::FrmGestPassw(App& app) : Form(app, kName), app_(app) {
    setCaption("Varcanto - gestione password");
    // 4230 twips wide, not the 3630 of the first design: at this font the frames' texts and the
    // buttons' captions were cut. Form_Load sets the height of each mode.
    geometry = {0, 0, px(4230), px(3720)};

    layOut({
        {Frame1, "Password", {8, 8, 266, 60}},
        {text1, {10, 24, 246, 24}},
        {Command1, "Inserisci password", {8, 76, 160, 34}},
        {Command2, "Ok", {176, 76, 98, 34}, defaultButton},

        {Frame2, "Password", {8, 8, 266, 124}},
        {Label1, "Inserisci la vecchia password", {10, 18, 246, 18}},
        {Text2, {10, 38, 246, 24}},
        {Label2, "Inserisci la nuova password", {10, 70, 246, 18}},
        {Text3, {10, 90, 246, 24}},
        {Command3, "Cambia password", {8, 140, 130, 34}},
        {Command4, "Elimina password", {144, 140, 130, 34}},
        {Command5, "Ok", {8, 182, 266, 34}, defaultButton},
    });

    for (TextBox* t : {&text1, &Text2, &Text3}) preparaCasella(*t);
    for (Control* c : std::initializer_list<Control*>{&Frame1, &Command1, &Command2, &Frame2, &Command3, &Command4,
                                                      &Command5})
        c->setVisible(false);

    wire(*this, {
        {Command1.Click, &FrmGestPassw::Command1_Click},
        {Command2.Click, &FrmGestPassw::Command2_Click},
        {Command3.Click, &FrmGestPassw::Command3_Click},
        {Command4.Click, &FrmGestPassw::Command4_Click},
        {Command5.Click, &FrmGestPassw::Command5_Click},
    });
}

void FrmGestPassw::Form_Load() {
    if (app_.PasswordPresente) {
        geometry.height = px(3720);
        Frame2.setVisible(true);
        Text2.setText("");
        Text3.setText("");
        ModalitaPassword = 0;
        for (CommandButton* b : {&Command3, &Command4, &Command5}) b->setVisible(true);
    } else {
        geometry.height = px(2400);
        Frame1.setVisible(true);
        text1.setText("");
        Command1.setVisible(true);
        Command2.setVisible(true);
    }
}

void FrmGestPassw::Command1_Click() {
    Messaggio("Ora inserite la password (al massimo 16 caratteri). Attenzione a non dimenticarla !", mb::Information);
    abilitaCasella(text1);
    Command1.setEnabled(false);
}

void FrmGestPassw::Command2_Click() {
    if (text1.Text().empty()) {
        app_.PasswordPresente = false;
        Messaggio("Non è stata inserita nessuna password.", mb::Information);
    } else if (!MemorizzaPassword(text1, "Password inserita.", "inserita")) {
        return;
    }
    Esci();
}

void FrmGestPassw::Command3_Click() {
    Messaggio("Inserisci prima la vecchia password, poi quella nuova; alla fine premi OK.", mb::OKOnly);
    abilitaCasella(Text2);
    abilitaCasella(Text3);
    ModalitaPassword = 2;
    Command3.setEnabled(false);
    Command4.setEnabled(false);
}

void FrmGestPassw::Command4_Click() {
    Messaggio("Inserisci la vecchia password e poi premi OK.", mb::Information);
    abilitaCasella(Text2);
    Text3.setBackColor(0xC0C0C0);  // stays disabled: no new password when removing
    ModalitaPassword = 1;
    Command3.setEnabled(false);
    Command4.setEnabled(false);
}

void FrmGestPassw::Command5_Click() {
    switch (ModalitaPassword) {
        case 2: CambiaPassword(); break;
        case 1: EliminaPassword(); break;
        default: Esci(); break;
    }
}

void FrmGestPassw::CambiaPassword() {
    if (Text2.Text() != app_.PasswordCorrente) {
        // One wrong old password per opening: the window closes.
        Messaggio("La vecchia password è sbagliata.", mb::Exclamation);
    } else if (Text3.Text().empty()) {
        Messaggio("Bisogna inserire la nuova password.", mb::Exclamation);
        return;
    } else if (!MemorizzaPassword(Text3, "La password è stata cambiata.", "cambiata")) {
        return;
    }
    Esci();
}

void FrmGestPassw::EliminaPassword() {
    if (Text2.Text() != app_.PasswordCorrente) {
        Messaggio("Password sbagliata.", mb::Exclamation);
    } else if (ScriviPassword(std::string(InizioPassword) + FinePassword, "disinserita")) {
        app_.PasswordCorrente = "";
        app_.PasswordPresente = false;
        Messaggio("La password è stata disinserita dal sistema.", mb::Information);
    }
    Esci();
}

bool FrmGestPassw::MemorizzaPassword(TextBox& box, const char* fatto, const char* azione) {
    const std::optional<std::string> valore = CodificaPassword(box.Text());
    // A control character can be raised to a line end, which would split the file's line.
    if (!valore || valore->find_first_of("\r\n") != std::string::npos) {
        Messaggio("La password contiene un carattere che non può essere memorizzato. "
                  "Usare lettere senza accento, cifre e segni comuni.",
                  mb::Exclamation);
        box.setText("");
        return false;
    }
    if (ScriviPassword(*valore, azione)) {
        app_.PasswordCorrente = box.Text();
        app_.PasswordPresente = true;
        Messaggio(fatto, mb::Information);
    }
    return true;
}

bool FrmGestPassw::ScriviPassword(const std::string& valore, const char* azione) {
    if (profile::writeString(SezionePassword, ChiavePassword, valore, app_.file("pswaccessi.txt"), ModoFilePassword))
        return true;
    Messaggio(std::string("Impossibile scrivere il file pswaccessi.txt: la password non è stata ") + azione + ".",
              mb::Critical);
    return false;
}

void FrmGestPassw::Messaggio(const std::string& testo, int icona) { app_.MsgBox(testo, icona, "Varcanto"); }

void FrmGestPassw::Esci() {
    Unload();
    app_.form("FrmFunzAgg").Show();
}

}  // namespace vc
