#pragma once
// The keyboard unlock: F1 or the letter A on the main window drives the outputs of one reader
// chosen by the operator, with the outputs of the settings. Nothing is logged.

#include <cstdint>

namespace vc {

class App;

// Asks which reader (none to ask with a single reader) and unlocks it. Yields (platform/events.h).
void SbloccoDaTastiera(App& app);
// Sends the unlock command to the reader of table index 0-63.
void SbloccaLettore(App& app, std::int16_t& indice);

}  // namespace vc
