#include "common/carte.h"

#include "common/text.h"
#include "common/val.h"
#include "platform/cp1252.h"
#include "platform/database.h"

namespace vc {

std::string NumeroCartaArchivio(long numero) { return Pad(numero, 4); }

std::string NumeroCartaLetto(const std::string& cifre, bool quattroCifre) {
    return cp1252::toUtf8(quattroCifre ? cifre : "0" + cifre);
}

bool AbilitataSulLettore(const std::string& lettore, int numeroLettore) {
    return numeroLettore >= 1 && Val(Mid(lettore, static_cast<std::size_t>(numeroLettore), 1)) != 0;
}

const std::array<const char*, 7> CampiGiorni = {"Lunedi", "Martedi", "Mercoledi", "Giovedi",
                                                "Venerdi", "Sabato", "Domenica"};

const std::array<const char*, 28> CampiOrari = {
    "Lun_1_da", "Lun_1_a", "Lun_2_da", "Lun_2_a", "Mar_1_da", "Mar_1_a", "Mar_2_da", "Mar_2_a",
    "Mer_1_da", "Mer_1_a", "Mer_2_da", "Mer_2_a", "Gio_1_da", "Gio_1_a", "Gio_2_da", "Gio_2_a",
    "Ven_1_da", "Ven_1_a", "Ven_2_da", "Ven_2_a", "Sab_1_da", "Sab_1_a", "Sab_2_da", "Sab_2_a",
    "Dom_1_da", "Dom_1_a", "Dom_2_da", "Dom_2_a"};

const GiornoFascia& GiornoDellaSettimana(int weekday) {
    static const GiornoFascia giorni[7] = {
        {"Domenica", {"Dom_1_da", "Dom_1_a", "Dom_2_da", "Dom_2_a"}, "Domenica"},
        {"Lunedi", {"Lun_1_da", "Lun_1_a", "Lun_2_da", "Lun_2_a"}, "Lunedì"},
        {"Martedi", {"Mar_1_da", "Mar_1_a", "Mar_2_da", "Mar_2_a"}, "Martedì"},
        {"Mercoledi", {"Mer_1_da", "Mer_1_a", "Mer_2_da", "Mer_2_a"}, "Mercoledì"},
        {"Giovedi", {"Gio_1_da", "Gio_1_a", "Gio_2_da", "Gio_2_a"}, "Giovedì"},
        {"Venerdi", {"Ven_1_da", "Ven_1_a", "Ven_2_da", "Ven_2_a"}, "Venerdì"},
        {"Sabato", {"Sab_1_da", "Sab_1_a", "Sab_2_da", "Sab_2_a"}, "Sabato"},
    };
    return giorni[(weekday - 1 + 7) % 7];
}

void CopiaFascia(const Recordset& fascia, Recordset& carta) {
    for (const char* campo : CampiGiorni) carta.setField(campo, Value(fascia.field(campo).toBool()));
    for (const char* campo : CampiOrari) carta.setField(campo, fascia.field(campo));
}

void AzzeraFascia(Recordset& carta) {
    for (const char* campo : CampiGiorni) carta.setField(campo, Value(false));
    for (const char* campo : CampiOrari) carta.setField(campo, Value("##:##"));
}

}  // namespace vc
