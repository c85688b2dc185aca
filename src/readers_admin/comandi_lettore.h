#pragma once
// What the bulk reader operations (programming every card, erasing, downloading) share: the
// reader prefix, the reader's title in their messages, and one exchange with a reader.

#include <string>

#include "core/readers/dati_lettore.h"

namespace vc {

class App;

// The 2-digit address and the 6-digit plant code every command text starts with.
std::string PrefissoLettore(const DatiLettore& lettore);

// "Lettore n - situato presso <location>", the title of a reader's failure message.
std::string TitoloLettore(int numero, const DatiLettore& lettore);

// Sends prefix & 'comando' to the reader on its loop through the standard link; the reply, or "".
std::string InviaAlLettore(App& app, const DatiLettore& lettore, const std::string& comando);

// The verdict on the replies whose content is not used ("Q", "E01"): no reply, a transfer error
// ("D") or a wrong plant code ("C") is a failure, anything else an acceptance.
bool RispostaAccettata(const std::string& risposta);

}  // namespace vc
