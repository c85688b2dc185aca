#include "core/settings/controlli_orario.h"

#include "common/text.h"
#include "common/val.h"
#include "core/app.h"
#include "platform/cp1252.h"

namespace vc {

namespace {

void avviso(App& app, const char* testo) { app.MsgBox(testo, mb::Exclamation, "Attenzione"); }

int valore(const std::string& parte) { return CInt(Val(parte)); }

}  // namespace

bool controllo_orario(App& app, const std::string& orario) {
    if (orario == OrarioNonImpostato) return true;
    // One byte per character, as the time boxes count them.
    const std::string t = cp1252::fromUtf8(orario);
    if (t.size() != 5 || t[2] != ':' || !IsNumeric(Mid(t, 1, 2)) || !IsNumeric(Mid(t, 4, 2))) {
        avviso(app, "Formato dell'orario HH:MM");
        return false;
    }
    const int ore = valore(Mid(t, 1, 2)), minuti = valore(Mid(t, 4, 2));
    if (ore >= 0 && ore <= 23 && minuti >= 0 && minuti <= 59) return true;
    avviso(app, "Errore nell'orario.");
    return false;
}

bool controllo_fascia(App& app, const std::string& da, const std::string& a) {
    const bool daVuoto = da == OrarioNonImpostato, aVuoto = a == OrarioNonImpostato;
    if (daVuoto && aVuoto) return true;
    if (!daVuoto && !aVuoto) {
        const std::string d = cp1252::fromUtf8(da), f = cp1252::fromUtf8(a);
        const int oreDa = valore(Mid(d, 1, 2)), minDa = valore(Mid(d, 4, 2));
        const int oreA = valore(Mid(f, 1, 2)), minA = valore(Mid(f, 4, 2));
        if (oreDa < oreA || (oreDa == oreA && minDa < minA)) return true;
    }
    avviso(app, "Errore nell'orario.");
    return false;
}

}  // namespace vc
