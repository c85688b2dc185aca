#include "core/main/finestra_vuota.h"

namespace vc {

FinestraVuota::FinestraVuota(App& app, const std::string& name, const std::string& caption)
    : Form(app, name), app_(app) {
    setCaption(caption);
    geometry = {0, 0, 420, 200};
}

void FinestraVuota::Form_QueryClose() {
    Unload();
    app_.form("FrmMain").Show();
}

}  // namespace vc
