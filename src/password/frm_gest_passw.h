#pragma once
// The password management window, opened from the other-options window: sets a password when
// none is set, otherwise changes or removes it. Every way out unloads it and brings the
// other-options window back.

#include "core/app.h"

namespace vc {

class FrmGestPassw final : public Form {
public:
    static constexpr const char* kName = "FrmGestPassw";
    explicit FrmGestPassw(App& app);

    // New-password mode.
    Frame Frame1{*this, "Frame1"};
    TextBox text1{*this, "text1", &Frame1};
    CommandButton Command1{*this, "Command1"};
    CommandButton Command2{*this, "Command2"};
    // Change/remove mode.
    Frame Frame2{*this, "Frame2"};
    Label Label1{*this, "Label1", &Frame2};
    TextBox Text2{*this, "Text2", &Frame2};
    Label Label2{*this, "Label2", &Frame2};
    TextBox Text3{*this, "Text3", &Frame2};
    CommandButton Command3{*this, "Command3"};
    CommandButton Command4{*this, "Command4"};
    CommandButton Command5{*this, "Command5"};

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();

protected:
    void Form_Load() override;
    void Form_QueryClose() override { Esci(); }

private:
    void CambiaPassword();
    void EliminaPassword();
    // Saves the password typed in 'box' and shows 'fatto'. Returns false, with the box emptied
    // for another try, when the password cannot be stored; true once it is saved or the write
    // failure has been reported.
    bool MemorizzaPassword(TextBox& box, const char* fatto, const char* azione);
    // Writes the stored value; a failure is reported as "la password non è stata " & azione.
    bool ScriviPassword(const std::string& valore, const char* azione);
    void Messaggio(const std::string& testo, int icona);
    void Esci();

    App& app_;
    std::int16_t ModalitaPassword = 0;  // 0 nothing chosen, 1 remove, 2 change
};

}  // namespace vc
