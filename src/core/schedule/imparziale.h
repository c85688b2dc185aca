#pragma once
// The random check ("imparziale"): each schedule's share of cards drawn and blocked at the
// readers marked for it. Callers seed the generator, then run the three steps in order.

namespace vc {

class App;

void AzzeraImparziale(App& app);
// False when there are no cards or no schedules to draw from.
bool ContaQuanti(App& app);
void SceltaImparziale(App& app);

}  // namespace vc
