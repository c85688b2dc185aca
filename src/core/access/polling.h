#pragma once
// The poll engine and the access decision: one reader per polling tick. A card read is
// identified in "Carte", checked in a fixed order, and granted (outputs, log, presence) or
// refused through the refusal logger. Every outcome is shown on the main window.

#include <cstdint>
#include <string>

namespace vc {

class App;

// Polls reader number 'lettore' (1-based) and decides on the card it reports, if any. Yields
// (platform/events.h).
void polling_lettore(App& app, std::int16_t& lettore);

// Whether now lies in band 1 or band 2 (ends included, minute resolution), or both are unset.
bool OraInFascia(App& app, const std::string& da1, const std::string& a1, const std::string& da2,
                 const std::string& a2);

// The card number of a card code in the card archive file: 4 characters, "####" when the code
// is not there, "????" when the file cannot be read.
std::string cerca_carta_file(App& app, const std::string& codice);

}  // namespace vc
