#include "core/readers/carica_lettori.h"

#include <algorithm>
#include <cmath>

#include "common/val.h"
#include "core/app.h"
#include "core/main/main_status.h"
#include "readers_admin/frm_conf_lettori.h"

namespace vc {

namespace {

std::int16_t intero(const Recordset& rs, const char* campo) { return CInt(rs.field(campo).toDouble()); }

void LeggiLettore(const Recordset& rs, DatiLettore& l) {
    l.TipoLettore = rs.field("TipoLettore").str();
    l.NumeroIndirizzo = intero(rs, "NumeroIndirizzo");
    l.NumeroLoop = intero(rs, "NumeroLoop");
    l.CodiceImpianto = CLng(Val(rs.field("CodiceImpianto").str()));
    l.Ritardo = intero(rs, "Ritardo");
    l.SituatoPresso = rs.field("SituatoPresso").str();
    l.PosCarta1 = intero(rs, "PosCarta1");
    l.PosCarta2 = intero(rs, "PosCarta2");
    l.PosCarta3 = intero(rs, "PosCarta3");
    l.PosCarta4 = intero(rs, "PosCarta4");
    l.PosCodice1 = intero(rs, "PosCodice1");
    l.PosCodice2 = intero(rs, "PosCodice2");
    l.PosCodice3 = intero(rs, "PosCodice3");
    l.PosCodice4 = intero(rs, "PosCodice4");
    l.PosCodice5 = intero(rs, "PosCodice5");
    l.PosCodice6 = intero(rs, "PosCodice6");
    const std::string stato = rs.field("Stato").str();
    l.CodiceVerso = stato == "Out" ? 0 : stato == "In" ? 1 : 2;
    l.Stato = stato;
}

}  // namespace

int IntervalloPolling(std::int32_t tempoPolling, int numeroLettori) {
    if (numeroLettori == 0) return 1000;
    const double ms = static_cast<double>(static_cast<std::int64_t>(tempoPolling) * 10) / numeroLettori;
    // Beyond the timer's range it runs at its longest interval.
    return static_cast<int>(std::clamp(std::nearbyint(ms), 0.0, 65535.0));
}

void CaricaLettori(App& app) {
    Data& data = DatiLettori(app);
    data.Refresh();
    Recordset& rs = *data.recordset();
    int i = 0;
    {
        // Until the walk ends the table is part old, part new: nothing may poll it meanwhile.
        const NoYield riempimento("the reader table is being refilled");
        // The table has room for 64 readers; the readers window never stores more.
        while (!rs.EOF_() && i < MaxLettori) {
            LeggiLettore(rs, app.Lettori[static_cast<std::size_t>(i)]);
            ++i;
            rs.MoveNext();
        }
    }
    data.Refresh();
    app.NumeroLettori = static_cast<std::int16_t>(i);
    TimerPolling(app).setInterval(IntervalloPolling(app.imp.TempoPolling, i));
}

}  // namespace vc
