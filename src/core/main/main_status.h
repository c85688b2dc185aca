#pragma once
// What the rest of the station reads and writes of the main window: its status line, lamps and
// count, the users report, the polling timer and switch, and the data controls on the site
// database. Each touch
// loads the window (hidden) when it is not loaded yet, as every first touch of a window does.

#include <cstdint>

#include "core/main/frm_main.h"

namespace vc {

// The status of the last decision, and of whatever went wrong in the background.
inline Label& RigaDiStato(App& app) { return app.form<FrmMain>().Label3; }
// The last card string received from a reader.
inline Label& StringaRicevuta(App& app) { return app.form<FrmMain>().Label8; }
// How many people are inside.
inline Label& ContaPresenti(App& app) { return app.form<FrmMain>().Label4; }
// The lasting notice of decided passages not yet written.
inline Label& AvvisoSospesi(App& app) { return app.form<FrmMain>().Label9; }
// Both lamps of the last decision in one colour.
inline void ColoraLampade(App& app, std::int32_t colore) {
    FrmMain& f = app.form<FrmMain>();
    f.Shape1.setFillColor(colore);
    f.Shape2.setFillColor(colore);
}
// The timer that polls the readers.
inline Timer& TimerPolling(App& app) { return app.form<FrmMain>().Timer1; }
// The users report, printed from the other-options window.
inline Report& ReportUtenti(App& app) { return app.form<FrmMain>().Report1; }
// The polling switch, pressed as the operator presses it.
inline void PremiPolling(App& app) { app.form<FrmMain>().Command4.Click(); }
// The data controls on "presenti", "transiti" and "Carte".
inline Data& DatiPresenti(App& app) { return app.form<FrmMain>().Data1; }
inline Data& DatiTransiti(App& app) { return app.form<FrmMain>().Data2; }
inline Data& DatiCarte(App& app) { return app.form<FrmMain>().Data3; }

}  // namespace vc
