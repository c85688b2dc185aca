#pragma once
// The random check ("imparziale"): for every on-line schedule, a number of its card holders is
// drawn at random and their cards are marked; the access decision blocks a marked card at the
// readers whose location begins with "#". Callers seed the generator (Randomize), then run the
// three steps in order. The routines work on the settings window's data controls on "Carte"
// and "Fasce".

namespace vc {

class App;

// Seeds the application's random generator from the clock.
void Randomize(App& app);

// Clears every card's mark.
void AzzeraImparziale(App& app);
// Counts each schedule's eligible cards into its "Quanti"; false when "Carte" or "Fasce" is empty.
bool ContaQuanti(App& app);
// Marks the cards drawn for every schedule. Yields (platform/events.h).
void SceltaImparziale(App& app);

inline constexpr const char* ImparzialeImpossibile =
    "Impossibile eseguire la routine dell'imparziale. Il database degli utenti e/o dei turni di lavoro è vuoto.";

// One whole run behind the wait window: seed, clear, count, draw (or the message when there is
// nothing to draw from); true when the cards were drawn. With 'etichetta' the wait window says
// "IMPARZIALE IN AZIONE" meanwhile. The wait window is gone when it returns or throws. While a
// run is drawing, another does nothing and returns false: the one under way draws afresh. The
// draws yield (platform/events.h).
bool EseguiImparziale(App& app, bool etichetta = false);
// The daily run, from the main window's minute timer, at the set time.
void ImparzialeAdOrario(App& app);

}  // namespace vc
