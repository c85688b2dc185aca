#include "core/main/frm_wait.h"

namespace vc {

FrmWait::FrmWait(App& app) : Form(app, kName) {
    geometry = {0, 0, 360, 90};
    Label1.setCaption("    ATTENDERE  PREGO ");
    Label1.setForeColor(colour::Yellow);
    Label1.setBackColor(colour::Red);
    Label1.opaque = true;
    Label1.alignment = 2;
    Label1.fontSize = 16;
    Label1.bold = true;
    Label1.place(10, 15, 340, 60);
}

}  // namespace vc
