#pragma once
// Programming the reader shown by the readers window for stand-alone work: optional reset, then
// plant code and opening time, options, clock, data positions and the active time bands, one
// frame at a time, stopping at the first reply that is not an acceptance.

namespace vc {

class App;

// Reads what the readers window shows, not the table, so it programs what is displayed.
void programma_lettore(App& app);

}  // namespace vc
