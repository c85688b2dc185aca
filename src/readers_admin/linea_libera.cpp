#include "readers_admin/linea_libera.h"

#include "core/app.h"

namespace vc {

bool LineaLibera(App& app) {
    if (app.PollingAttivo) {
        app.MsgBox("Disabilitare prima il polling.", mb::Exclamation, "Messaggio");
        return false;
    }
    if (app.OutputAutomatico) {
        app.MsgBox("Disabilitare prima l'output automatico.", mb::Exclamation, "Messaggio");
        return false;
    }
    return true;
}

}  // namespace vc
