#include "core/schedule/imparziale.h"

#include "core/app.h"

namespace vc {

// The draw itself comes with the random-check work; until then nothing is marked.
void AzzeraImparziale(App&) {}
bool ContaQuanti(App&) { return true; }
void SceltaImparziale(App&) {}

}  // namespace vc
