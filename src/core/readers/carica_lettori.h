#pragma once
// The in-memory reader table, loaded from table "Lettori" through the readers window's data
// control; reader k is the k-th row in the table's own order.

#include <cstdint>

namespace vc {

class App;

// Fills the reader table and NumeroLettori, and sets the polling timer's interval (whether it
// runs is unchanged). Throws DbError when "Lettori" cannot be read.
void CaricaLettori(App& app);

// The polling timer's interval: one round over all readers takes TempoPolling hundredths of a
// second; 1000 ms with no readers.
int IntervalloPolling(std::int32_t tempoPolling, int numeroLettori);

}  // namespace vc
