#include "cards/frm_def_fasce.h"

#include "common/text.h"
#include "platform/layout.h"

namespace vc {

FrmDefFasce::FrmDefFasce(App& app) : Form(app, kName), app_(app) {
    setCaption("Fasce orarie Stand Alone");
    geometry = {0, 0, 300, 290};
    for (int k = 0; k < 3; ++k) {
        Frame1[k].setCaption("Fascia " + Num(k + 1));
        Frame1[k].place(10, 10 + k * 72, 280, 62);
        Label1[k].setCaption("Da");
        Label1[k].place(12, 28, 28, 20);
        text1[k].place(44, 26, 70, 24);
        Label2[k].setCaption("a");
        Label2[k].place(134, 28, 16, 20);
        Text2[k].place(156, 26, 70, 24);
    }
    layOut({
        {Command1, "Ok", {100, 234, 100, 36}},
    });
    wire(*this, {
        {Command1.Click, &FrmDefFasce::Command1_Click},
    });
}

void FrmDefFasce::Command1_Click() {
    Unload();
    Form& carte = app_.form("FrmCardsAbil");
    carte.setEnabled(true);
    carte.Show();
}

}  // namespace vc
