#include "core/main/sblocco_tastiera.h"

#include "common/text.h"
#include "common/val.h"
#include "core/app.h"
#include "core/link/reader_link.h"

namespace vc {

void SbloccaLettore(App& app, std::int16_t& indice) {
    const DatiLettore& l = app.Lettori[static_cast<std::size_t>(indice)];
    std::string comando = PrefissoLettore(l) + "K1" +
                          (app.imp.FlagTastieraOutput1 ? "1" : "0") + "000000" +
                          (app.imp.FlagTastieraOutput2 ? "1" : "0");
    // The key's handler returns at once and the unlock goes out from the event loop: the main
    // window must not take clicks inside its own handler while the exchange waits. A key pressed
    // while a poll waits for its reply has the unlock go out as soon as the line is free, rather
    // than being lost.
    app.sys.loop.post([&app, comando, loop = l.NumeroLoop] {
        app.Linea.QuandoLineaLibera([&app, comando, loop]() mutable { invia_comando(app, comando, loop); });
    });
}

void SbloccoDaTastiera(App& app) {
    if (app.NumeroLettori < 1) return;
    std::int16_t indice = 0;
    if (app.NumeroLettori > 1) {
        const double scelto = Val(app.InputBox("Inserire il numero del lettore da sbloccare"));
        if (scelto < 1 || scelto > app.NumeroLettori) return;
        indice = CInt(scelto - 1);
    }
    SbloccaLettore(app, indice);
}

}  // namespace vc
