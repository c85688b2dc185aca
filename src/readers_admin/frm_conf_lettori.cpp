#include "readers_admin/frm_conf_lettori.h"

#include "core/readers/carica_lettori.h"

namespace vc {

FrmConfLettori::FrmConfLettori(App& app) : Form(app, kName), app_(app) {
    setCaption("Varcanto - configurazione lettori");
    geometry = {0, 0, 640, 420};
    Data1.place(10, 380, 300, 28);
}

void FrmConfLettori::Form_Load() {
    Data1.DatabaseName = app_.file("Varcanto.mdb");
    Data1.RecordSource = "Lettori";
    Data1.tryRefresh();
}

// Closing hands the readers to polling at once.
void FrmConfLettori::Form_QueryClose() {
    Unload();
    try {
        CaricaLettori(app_);
    } catch (const DbError& e) {
        app_.MsgBox(std::string("Impossibile leggere i lettori: ") + e.what(), mb::Critical, "Errore");
    }
    app_.form("FrmMain").Show();
}

}  // namespace vc
