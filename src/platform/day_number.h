#pragma once
// Dates as the old databases count them: the day number since 30 December 1899 (so 1 January
// 2010 is 40179), the time of day as its fraction.

namespace vc {

struct DataCivile {
    int anno, mese, giorno;
};

// The day number of a calendar date (any valid Gregorian date).
long NumeroGiorno(int anno, int mese, int giorno);
// The calendar date of a day number.
DataCivile DataDaNumero(long numero);
int GiorniDelMese(int anno, int mese);

}  // namespace vc
