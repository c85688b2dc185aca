#include "readers_admin/comandi_lettore.h"

#include "common/text.h"
#include "core/app.h"
#include "core/link/reader_link.h"

namespace vc {

std::string InviaAlLettore(App& app, const DatiLettore& lettore, const std::string& comando) {
    app.Linea.LoopCorrente = lettore.NumeroLoop;
    std::string testo = PrefissoLettore(lettore) + comando;
    return invia_comando(app, testo);
}

bool RispostaAccettata(const std::string& risposta) {
    if (risposta.empty()) return false;
    const char stato = StatoRisposta(risposta);
    return stato != 'D' && stato != 'C';
}

}  // namespace vc
