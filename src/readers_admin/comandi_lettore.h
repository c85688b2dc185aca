#pragma once
// What the bulk reader operations (programming every card, erasing, downloading) share: one
// exchange with a reader and the verdict on its reply.

#include <string>

#include "core/readers/dati_lettore.h"

namespace vc {

class App;

// Sends prefix & 'comando' to the reader on its loop through the standard link; the reply, or "".
// Yields (platform/events.h).
std::string InviaAlLettore(App& app, const DatiLettore& lettore, const std::string& comando);

// The verdict on the replies whose content is not used ("Q", "E01"): no reply, a transfer error
// ("D") or a wrong plant code ("C") is a failure, anything else an acceptance.
bool RispostaAccettata(const std::string& risposta);

}  // namespace vc
